#include "editor/CompletionFilter.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/TextFold.h"

namespace {

bool IsNameByte(unsigned char c) { return isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

uint32_t Append(std::string &block, const char *text, uint32_t length)
{
    uint32_t at = static_cast<uint32_t>(block.size());
    if (text && length) block.append(text, length);
    return at;
}

bool BeginsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

} // namespace

void CompletionCandidates::Assign(const EDITORCOMPLETIONITEM *items, uint32_t count, const char *const *labels,
                                  uint32_t labelCount)
{
    texts.clear();
    folded.clear();
    inserts.clear();
    entries.clear();
    foldedAt.clear();
    while (!steps.empty()) DropLastStep();
    shown.clear();
    kindLabels.assign(labels, labels + (labels ? labelCount : 0));
    size_t textBytes = 0;
    for (uint32_t i = 0; i < count; i++) textBytes += items[i].TextLength;
    texts.reserve(textBytes);
    folded.reserve(textBytes);
    entries.reserve(count);
    foldedAt.reserve(count + 1);
    for (uint32_t i = 0; i < count; i++) {
        const EDITORCOMPLETIONITEM &item = items[i];
        Entry entry{};
        entry.textLength = item.TextLength;
        entry.text = Append(texts, item.Text, item.TextLength);
        foldedAt.push_back(static_cast<uint32_t>(folded.size()));
        if (item.Folded)
            folded.append(item.Folded, item.FoldedLength);
        else
            fold::AppendUtf8(folded, std::string_view(item.Text, item.TextLength));
        entry.insert = item.Insert ? Append(inserts, item.Insert, item.InsertLength) : UINT32_MAX;
        entry.insertLength = item.InsertLength;
        entry.kind = item.Kind;
        entry.flags = item.Flags;
        entries.push_back(entry);
    }
    foldedAt.push_back(static_cast<uint32_t>(folded.size()));
}

std::string_view CompletionCandidates::Insert(uint32_t i) const
{
    const Entry &entry = entries[i];
    return entry.insert == UINT32_MAX ? Text(i) : Slice(inserts, entry.insert, entry.insertLength);
}

std::string_view CompletionCandidates::KindLabel(uint32_t i) const
{
    uint16_t kind = entries[i].kind;
    return kind < kindLabels.size() ? std::string_view(kindLabels[kind]) : std::string_view();
}

// A name that begins with the longer text began with the shorter one (only
// what was added need be compared); one that contains it (not at its start)
// was in either group.
void CompletionCandidates::Narrow(const Step *from, Step &to)
{
    std::string_view typed = to.typed;
    auto contains = [&](uint32_t i) { return Folded(i).find(typed) != std::string_view::npos; };
    if (!from) {
        for (uint32_t i = 0; i < entries.size(); i++) {
            if (BeginsWith(Folded(i), typed))
                to.begins.push_back(i);
            else if (contains(i))
                to.contains.push_back(i);
        }
        return;
    }
    size_t known = from->typed.size();
    std::string_view added = typed.substr(known);
    fromBegins.clear();
    to.begins.reserve(from->begins.size());
    for (uint32_t i : from->begins) {
        std::string_view name = Folded(i);
        if (name.size() >= typed.size() && memcmp(name.data() + known, added.data(), added.size()) == 0)
            to.begins.push_back(i);
        else if (contains(i))
            fromBegins.push_back(i);
    }
    // Both in the given order: merged, they keep it.
    fromContains.clear();
    for (uint32_t i : from->contains)
        if (contains(i)) fromContains.push_back(i);
    to.contains.resize(fromBegins.size() + fromContains.size());
    std::merge(fromBegins.begin(), fromBegins.end(), fromContains.begin(), fromContains.end(), to.contains.begin());
}

// The last step undone, its arrays kept for the next: a few are enough,
// since typing and Backspace move one step at a time.
void CompletionCandidates::DropLastStep()
{
    if (spareSteps.size() < 4) spareSteps.push_back(std::move(steps.back()));
    steps.pop_back();
}

CompletionCandidates::Step CompletionCandidates::NewStep(std::string_view typed)
{
    Step step;
    if (!spareSteps.empty()) {
        step = std::move(spareSteps.back());
        spareSteps.pop_back();
        step.begins.clear();
        step.contains.clear();
    }
    step.typed = std::string(typed);
    return step;
}

void CompletionCandidates::Filter(std::string_view typed)
{
    // Nothing typed: every candidate, in order, with no step to keep.
    if (typed.empty()) {
        while (!steps.empty()) DropLastStep();
        shown.resize(entries.size());
        for (uint32_t i = 0; i < shown.size(); i++) shown[i] = i;
        return;
    }
    while (!steps.empty() && !BeginsWith(typed, steps.back().typed)) DropLastStep();
    if (steps.empty() || steps.back().typed != typed) {
        Step step = NewStep(typed);
        Narrow(steps.empty() ? nullptr : &steps.back(), step);
        steps.push_back(std::move(step));
    }
    const Step &step = steps.back();
    shown.resize(step.begins.size() + step.contains.size());
    std::copy(step.begins.begin(), step.begins.end(), shown.begin());
    std::copy(step.contains.begin(), step.contains.end(), shown.begin() + step.begins.size());
}

int CompletionCandidates::RowOf(uint32_t index) const
{
    auto found = std::find(shown.begin(), shown.end(), index);
    return found == shown.end() ? -1 : static_cast<int>(found - shown.begin());
}

std::string_view FilterPart(std::string_view typed)
{
    if (!typed.empty() && IsOpeningQuote(static_cast<unsigned char>(typed[0]))) typed.remove_prefix(1);
    return typed;
}

bool IsOpeningQuote(uint32_t c) { return c == '`' || c == '"' || c == '\'' || c == '['; }

bool ContinuesTypedPart(std::string_view typed, uint32_t codePoint)
{
    unsigned char opening = typed.empty() ? 0 : static_cast<unsigned char>(typed[0]);
    if (IsOpeningQuote(opening)) {
        uint32_t closing = opening == '[' ? ']' : opening;
        return codePoint != closing && codePoint != '\n' && codePoint != '\r';
    }
    return codePoint >= 0x80 || IsNameByte(static_cast<unsigned char>(codePoint));
}

std::string InTypedCase(std::string_view insert, std::string_view typed)
{
    std::string out(insert);
    bool anyLetter = false, anyUpper = false;
    for (unsigned char c : typed) {
        if (isalpha(c)) anyLetter = true;
        if (isupper(c)) anyUpper = true;
    }
    if (anyLetter && !anyUpper)
        for (char &c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}
