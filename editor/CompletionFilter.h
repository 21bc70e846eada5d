// The candidates of a completion list and their filtering by the typed
// text, without a window: names that begin with it first, then those that
// contain it, each group in the order the candidates were given. Built for
// a million candidates: texts packed in blocks, the result an array of
// indexes, and a narrowing step filtering only the previous step's result
// (a name that contains "ab" contains "a"), the steps kept so that
// Backspace finds its result again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/CodeMaxControl.h"

class CompletionCandidates {
public:
    // Copies the items (folding those given without their folded form).
    void Assign(const EDITORCOMPLETIONITEM *items, uint32_t count, const char *const *kindLabels, uint32_t kindCount);
    size_t Count() const { return entries.size(); }
    std::string_view Text(uint32_t i) const { return Slice(texts, entries[i].text, entries[i].textLength); }
    std::string_view Insert(uint32_t i) const;
    std::string_view KindLabel(uint32_t i) const;
    bool TypedCase(uint32_t i) const { return (entries[i].flags & EDITORCOMPLETIONITEM_TYPEDCASE) != 0; }

    // Shows the candidates for a typed text (folded by fold::Utf8).
    void Filter(std::string_view foldedTyped);
    const std::vector<uint32_t> &Shown() const { return shown; }
    // The row of candidate index in Shown(), or -1.
    int RowOf(uint32_t index) const;

private:
    struct Entry {
        uint32_t text, textLength, insert, insertLength;
        uint16_t kind, flags;
    };
    struct Step {
        std::string typed;
        std::vector<uint32_t> begins, contains;
    };
    static std::string_view Slice(const std::string &block, uint32_t at, uint32_t length)
    {
        return std::string_view(block.data() + at, length);
    }
    // The folded texts' offsets apart from the entries: a narrowing step
    // reads only these and the texts, a sixth of the memory a step through
    // the entries would.
    std::string_view Folded(uint32_t i) const { return Slice(folded, foldedAt[i], foldedAt[i + 1] - foldedAt[i]); }
    void Narrow(const Step *from, Step &to);
    Step NewStep(std::string_view typed);
    void DropLastStep();

    std::string texts, folded, inserts;
    std::vector<Entry> entries;
    std::vector<uint32_t> foldedAt; // where each folded text begins, and the end of the last
    std::vector<std::string> kindLabels;
    std::vector<Step> steps;  // each typed text extends the one before
    // Steps undone by Backspace, kept for their memory: a step over a
    // million names is megabytes, and memory new to the process costs more
    // than the filtering.
    std::vector<Step> spareSteps;
    std::vector<uint32_t> fromBegins, fromContains; // Narrow's scratch
    std::vector<uint32_t> shown;
};

// The filter text of a typed part: without its opening quote.
std::string_view FilterPart(std::string_view typed);
// An opening quote: ` " ' or [.
bool IsOpeningQuote(uint32_t c);
// Whether a character may continue the typed part: a name's character, or
// after an opening quote anything but its closing one (] for [).
bool ContinuesTypedPart(std::string_view typed, uint32_t codePoint);
// The insert text in the case of the typed part (EDITORCOMPLETIONITEM_TYPEDCASE).
std::string InTypedCase(std::string_view insert, std::string_view typed);
