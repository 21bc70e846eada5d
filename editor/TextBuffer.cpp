#include "editor/TextBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/Utf8.h"

namespace {

// Splits text at LF; a CR right before an LF belongs to the break.
std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        size_t end = (lf > start && text[lf - 1] == '\r') ? lf - 1 : lf;
        parts.emplace_back(text.substr(start, end - start));
        start = lf + 1;
    }
}

// The position after text (LF breaks) inserted at from.
TextPos EndOf(TextPos from, const std::string &text)
{
    size_t lines = std::count(text.begin(), text.end(), '\n');
    if (lines == 0) return {from.line, from.col + static_cast<int>(text.size())};
    size_t last = text.rfind('\n');
    return {from.line + static_cast<int>(lines), static_cast<int>(text.size() - last - 1)};
}

// Line feeds for CR LF, as the buffer keeps an inserted text.
std::string WithLineFeeds(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

int failureCountdown = 0;

void CheckFailureSeam()
{
    if (failureCountdown > 0 && --failureCountdown == 0) throw std::bad_alloc();
}

} // namespace

void FailTextChangeAfter(int count) { failureCountdown = std::max(count, 0); }

TextBuffer::TextBuffer() : lines_(1) {}

TextPos TextBuffer::End() const
{
    int last = LineCount() - 1;
    return {last, static_cast<int>(lines_[last].size())};
}

TextPos TextBuffer::Clamp(TextPos pos) const
{
    if (pos.line < 0) return {0, 0};
    if (pos.line >= LineCount()) return End();
    const std::string &line = lines_[pos.line];
    if (pos.col < 0) pos.col = 0;
    pos.col = static_cast<int>(utf8::Snap(line, std::min<size_t>(pos.col, line.size())));
    return pos;
}

void TextBuffer::MarkChanged(int line) { changedLine_ = std::min(changedLine_, line); }

void TextBuffer::SetText(std::string_view text)
{
    CheckFailureSeam();
    lines_ = SplitLines(text);
    bytes_ = 0;
    longest_ = 0;
    for (const std::string &line : lines_) {
        bytes_ += line.size();
        longest_ = std::max(longest_, line.size());
    }
    changedLine_ = 0;
}

TextPos TextBuffer::Insert(TextPos at, std::string_view text)
{
    CheckFailureSeam();
    at = Clamp(at);
    if (text.find('\n') == std::string_view::npos) {
        std::string &line = lines_[at.line];
        line.insert(static_cast<size_t>(at.col), text);  // all or nothing
        MarkChanged(at.line);
        bytes_ += text.size();
        longest_ = std::max(longest_, line.size());
        return {at.line, at.col + static_cast<int>(text.size())};
    }
    // Everything that allocates comes first; the buffer changes after it,
    // by swaps and moves that cannot fail.
    std::vector<std::string> parts = SplitLines(text);
    const std::string &line = lines_[at.line];
    std::string first;
    first.reserve(at.col + parts.front().size());
    first.append(line, 0, at.col);
    first += parts.front();
    TextPos end{at.line + static_cast<int>(parts.size()) - 1, static_cast<int>(parts.back().size())};
    parts.back().append(line, at.col, std::string::npos);
    lines_.reserve(lines_.size() + parts.size() - 1);
    size_t added = first.size() - at.col;
    longest_ = std::max(longest_, first.size());
    for (size_t i = 1; i < parts.size(); ++i) {
        added += parts[i].size();
        longest_ = std::max(longest_, parts[i].size());
    }
    std::string &target = lines_[at.line];
    bytes_ += added - (target.size() - at.col);
    target.swap(first);
    lines_.insert(lines_.begin() + at.line + 1, std::make_move_iterator(parts.begin() + 1),
                  std::make_move_iterator(parts.end()));
    MarkChanged(at.line);
    return end;
}

std::string TextBuffer::Erase(TextPos from, TextPos to)
{
    CheckFailureSeam();
    from = Clamp(from);
    to = Clamp(to);
    if (to < from) std::swap(from, to);
    if (from == to) return {};
    std::string removed = Text(from, to, false);
    if (from.line == to.line) {
        lines_[from.line].erase(from.col, to.col - from.col);
    } else {
        std::string &first = lines_[from.line];
        const std::string &last = lines_[to.line];
        first.reserve(from.col + (last.size() - to.col));  // the one allocation, before any change
        first.resize(from.col);
        first.append(last, to.col, std::string::npos);
        lines_.erase(lines_.begin() + from.line + 1, lines_.begin() + to.line + 1);
    }
    MarkChanged(from.line);
    bytes_ -= removed.size() - std::count(removed.begin(), removed.end(), '\n');
    return removed;
}

std::string TextBuffer::Text(TextPos from, TextPos to, bool crlf) const
{
    std::string out(Length(from, to, crlf), '\0');
    CopyText(from, to, crlf, &out[0]);
    return out;
}

size_t TextBuffer::CopyText(TextPos from, TextPos to, bool crlf, char *out) const
{
    from = Clamp(from);
    to = Clamp(to);
    if (to < from) std::swap(from, to);
    char *at = out;
    for (int i = from.line; i <= to.line; ++i) {
        const std::string &line = lines_[i];
        size_t start = i == from.line ? from.col : 0;
        size_t end = i == to.line ? to.col : line.size();
        memcpy(at, line.data() + start, end - start);
        at += end - start;
        if (i == to.line) break;
        if (crlf) *at++ = '\r';
        *at++ = '\n';
    }
    return static_cast<size_t>(at - out);
}

size_t TextBuffer::Length(TextPos from, TextPos to, bool crlf) const
{
    from = Clamp(from);
    to = Clamp(to);
    if (to < from) std::swap(from, to);
    if (from == TextPos{0, 0} && to == End()) return WholeLength(crlf);
    size_t length = 0;
    for (int i = from.line; i <= to.line; ++i) {
        size_t start = i == from.line ? from.col : 0;
        size_t end = i == to.line ? to.col : lines_[i].size();
        length += end - start;
    }
    return length + static_cast<size_t>(to.line - from.line) * (crlf ? 2 : 1);
}

size_t TextBuffer::WholeLength(bool crlf) const
{
    return bytes_ + static_cast<size_t>(LineCount() - 1) * (crlf ? 2 : 1);
}

TextDocument::Step *TextDocument::Current() { return open_ ? &steps_[undoCount_ - 1] : nullptr; }

void TextDocument::ReserveAction()
{
    std::vector<Action> &actions = Current()->actions;
    if (actions.size() == actions.capacity()) actions.reserve(std::max<size_t>(4, actions.size() * 2));
}

void TextDocument::BeginStep(StepKind kind, const Selection &before)
{
    if (kind != Other && mergeable_ && undoCount_ > 0 && undoCount_ == steps_.size() &&
        steps_.back().kind == kind && steps_.back().after == before) {
        open_ = true;
        openedNew_ = false;
        return;
    }
    steps_.resize(undoCount_);
    steps_.push_back(Step{kind, {}, before, before});
    ++undoCount_;
    open_ = true;
    openedNew_ = true;
}

void TextDocument::EndStep(const Selection &after)
{
    if (!open_) return;
    Step &step = steps_[undoCount_ - 1];
    open_ = false;
    if (step.actions.empty()) {
        steps_.pop_back();
        --undoCount_;
        return;
    }
    step.after = after;
    mergeable_ = step.kind != Other;
}

bool TextDocument::AbortStep(Selection *selection)
{
    if (!open_) return false;
    open_ = false;
    mergeable_ = false;
    Step &step = steps_[undoCount_ - 1];
    if (!openedNew_) {
        *selection = step.after;
        return true;
    }
    *selection = step.before;
    try {
        while (!step.actions.empty()) {
            Apply(step.actions.back(), true);
            step.actions.pop_back();
        }
    } catch (...) {
        // What could not be taken back stays a step of its own, so the text
        // and the history still agree.
        step.after = step.before;
        return true;
    }
    steps_.pop_back();
    --undoCount_;
    return true;
}

TextPos TextDocument::Insert(TextPos at, std::string_view text)
{
    bool implicit = !open_;
    if (implicit) BeginStep(Other, {at, at});
    TextPos end;
    try {
        at = buffer_.Clamp(at);
        std::string normal = WithLineFeeds(text);
        Step *step = Current();
        Action *last = step->actions.empty() ? nullptr : &step->actions.back();
        bool merge = last && step->kind == Typing && last->insert && EndOf(last->from, last->text) == at;
        if (merge)
            last->text.reserve(last->text.size() + normal.size());
        else
            ReserveAction();
        end = buffer_.Insert(at, text);
        // Nothing below can fail: the room was made above.
        if (merge)
            last->text += normal;
        else
            step->actions.push_back(Action{true, at, std::move(normal)});
    } catch (...) {
        if (implicit) {
            Selection ignored;
            AbortStep(&ignored);
        }
        throw;
    }
    if (implicit) EndStep({end, end});
    return end;
}

void TextDocument::Erase(TextPos from, TextPos to)
{
    from = buffer_.Clamp(from);
    to = buffer_.Clamp(to);
    if (to < from) std::swap(from, to);
    if (from == to) return;
    bool implicit = !open_;
    if (implicit) BeginStep(Other, {from, to});
    try {
        size_t length = buffer_.Length(from, to, false);
        Step *step = Current();
        Action *last = step->actions.empty() ? nullptr : &step->actions.back();
        bool before = last && !last->insert && step->kind == Backspace && last->from == to;
        bool after = last && !last->insert && step->kind == DeleteForward && last->from == from;
        std::string joined;
        if (before)
            joined.reserve(length + last->text.size());
        else if (after)
            last->text.reserve(last->text.size() + length);
        else
            ReserveAction();
        std::string removed = buffer_.Erase(from, to);
        // Nothing below can fail: the room was made above.
        if (before) {
            joined += removed;
            joined += last->text;
            last->text.swap(joined);
            last->from = from;
        } else if (after) {
            last->text += removed;
        } else {
            step->actions.push_back(Action{false, from, std::move(removed)});
        }
    } catch (...) {
        if (implicit) {
            Selection ignored;
            AbortStep(&ignored);
        }
        throw;
    }
    if (implicit) EndStep({from, from});
}

void TextDocument::SetText(std::string_view text)
{
    buffer_.SetText(text);
    steps_.clear();
    undoCount_ = 0;
    open_ = false;
    mergeable_ = false;
}

void TextDocument::Apply(const Action &action, bool inverse)
{
    if (action.insert != inverse)
        buffer_.Insert(action.from, action.text);
    else
        buffer_.Erase(action.from, EndOf(action.from, action.text));
}

bool TextDocument::Undo(Selection *selection)
{
    if (open_ || !CanUndo()) return false;
    const Step &step = steps_[undoCount_ - 1];
    size_t done = 0, count = step.actions.size();
    try {
        for (; done < count; ++done) Apply(step.actions[count - 1 - done], true);
    } catch (...) {
        // Puts back what was taken back: the step stays to be undone.
        while (done > 0) {
            --done;
            Apply(step.actions[count - 1 - done], false);
        }
        throw;
    }
    --undoCount_;
    *selection = step.before;
    mergeable_ = false;
    return true;
}

bool TextDocument::Redo(Selection *selection)
{
    if (open_ || !CanRedo()) return false;
    const Step &step = steps_[undoCount_];
    size_t done = 0;
    try {
        for (; done < step.actions.size(); ++done) Apply(step.actions[done], false);
    } catch (...) {
        while (done > 0) Apply(step.actions[--done], true);
        throw;
    }
    ++undoCount_;
    *selection = step.after;
    mergeable_ = false;
    return true;
}
