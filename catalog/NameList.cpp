#include "catalog/NameCache.h"

#include "base/TextFold.h"
#include "query/SqlNames.h"

namespace {

std::string_view Entry(const std::string &text, const std::vector<uint32_t> &starts, size_t i)
{
    size_t begin = starts[i];
    size_t end = i + 1 < starts.size() ? starts[i + 1] - 1 : text.size() - 1;
    return std::string_view(text).substr(begin, end - begin);
}

} // namespace

std::string_view NameList::At(size_t i) const { return i < Starts.size() ? Entry(Text, Starts, i) : std::string_view(); }

// Most names fold to themselves (lower-case ASCII): their folded copy is
// the text itself, and no second block is kept.
std::string_view NameList::FoldedAt(size_t i) const
{
    if (i >= Starts.size()) return std::string_view();
    return SeparateFolded ? Entry(Folded, FoldedStarts, i) : Entry(Text, Starts, i);
}

void NameList::Reserve(size_t names, size_t bytes)
{
    Starts.reserve(names);
    Quoting.reserve(names);
    Text.reserve(bytes + names);
}

void NameList::Add(std::string_view name)
{
    std::string folded = fold::Utf8(name);
    if (!SeparateFolded && folded != name) {
        // The first name that folds to something else: from here on the
        // folded names are kept apart, those before it copied as they are.
        SeparateFolded = true;
        Folded = Text;
        FoldedStarts = Starts;
    }
    Starts.push_back((uint32_t)Text.size());
    Text.append(name).push_back('\0');
    Quoting.push_back(NameNeedsQuoting(name));
    if (SeparateFolded) {
        FoldedStarts.push_back((uint32_t)Folded.size());
        Folded.append(folded).push_back('\0');
    }
}

// One search through the whole block rather than one per name: a filter
// over 100,000 names is a single pass of memory.
void NameList::Find(std::string_view foldedNeedle, std::vector<uint32_t> &indexes) const
{
    indexes.clear();
    if (foldedNeedle.empty()) {
        indexes.resize(Starts.size());
        for (size_t i = 0; i < Starts.size(); i++) indexes[i] = (uint32_t)i;
        return;
    }
    if (foldedNeedle.find('\0') != std::string_view::npos) return;
    const std::string &block = SeparateFolded ? Folded : Text;
    const std::vector<uint32_t> &starts = SeparateFolded ? FoldedStarts : Starts;
    std::string_view all(block);
    size_t index = 0;
    size_t at = all.find(foldedNeedle);
    while (at != std::string_view::npos) {
        // Matches come in order: the name holding this one is found by
        // walking on from the last.
        while (index + 1 < starts.size() && starts[index + 1] <= at) index++;
        indexes.push_back((uint32_t)index);
        if (++index >= starts.size()) break;
        at = all.find(foldedNeedle, starts[index]);
    }
}

long NameList::IndexOf(std::string_view name) const
{
    for (size_t i = 0; i < Starts.size(); i++)
        if (At(i) == name) return (long)i;
    return -1;
}

size_t NameList::MemoryBytes() const
{
    return Text.capacity() + Folded.capacity() + (Starts.capacity() + FoldedStarts.capacity()) * sizeof(uint32_t) +
           Quoting.capacity() / 8;
}
