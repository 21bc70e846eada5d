#include "editor/TextBuffer.h"

#include <algorithm>

#include "editor/Utf8.h"

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

} // namespace

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
    at = Clamp(at);
    MarkChanged(at.line);
    std::string &line = lines_[at.line];
    if (text.find('\n') == std::string_view::npos) {
        line.insert(static_cast<size_t>(at.col), text);
        bytes_ += text.size();
        longest_ = std::max(longest_, line.size());
        return {at.line, at.col + static_cast<int>(text.size())};
    }
    std::vector<std::string> parts = SplitLines(text);
    std::string tail = line.substr(at.col);
    line.resize(at.col);
    line += parts.front();
    TextPos end{at.line + static_cast<int>(parts.size()) - 1, static_cast<int>(parts.back().size())};
    parts.back() += tail;
    size_t added = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        added += parts[i].size();
        longest_ = std::max(longest_, i == 0 ? line.size() : parts[i].size());
    }
    bytes_ += added - tail.size();
    lines_.insert(lines_.begin() + at.line + 1, std::make_move_iterator(parts.begin() + 1),
                  std::make_move_iterator(parts.end()));
    return end;
}

std::string TextBuffer::Erase(TextPos from, TextPos to)
{
    from = Clamp(from);
    to = Clamp(to);
    if (to < from) std::swap(from, to);
    if (from == to) return {};
    MarkChanged(from.line);
    std::string removed = Text(from, to, false);
    if (from.line == to.line) {
        lines_[from.line].erase(from.col, to.col - from.col);
    } else {
        std::string &first = lines_[from.line];
        first.resize(from.col);
        first += lines_[to.line].substr(to.col);
        lines_.erase(lines_.begin() + from.line + 1, lines_.begin() + to.line + 1);
    }
    bytes_ -= removed.size() - std::count(removed.begin(), removed.end(), '\n');
    return removed;
}

std::string TextBuffer::Text(TextPos from, TextPos to, bool crlf) const
{
    from = Clamp(from);
    to = Clamp(to);
    if (to < from) std::swap(from, to);
    std::string out;
    out.reserve(Length(from, to, crlf));
    for (int i = from.line; i <= to.line; ++i) {
        const std::string &line = lines_[i];
        size_t start = i == from.line ? from.col : 0;
        size_t end = i == to.line ? to.col : line.size();
        out.append(line, start, end - start);
        if (i != to.line) out += crlf ? "\r\n" : "\n";
    }
    return out;
}

size_t TextBuffer::Length(TextPos from, TextPos to, bool crlf) const
{
    from = Clamp(from);
    to = Clamp(to);
    if (to < from) std::swap(from, to);
    if (from.line == 0 && to == End()) return WholeLength(crlf);
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

void TextDocument::BeginStep(StepKind kind, const Selection &before)
{
    if (kind != Other && mergeable_ && undoCount_ > 0 && undoCount_ == steps_.size() &&
        steps_.back().kind == kind && steps_.back().after == before) {
        open_ = true;
        return;
    }
    steps_.resize(undoCount_);
    steps_.push_back(Step{kind, {}, before, before});
    ++undoCount_;
    open_ = true;
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

TextPos TextDocument::Insert(TextPos at, std::string_view text)
{
    bool implicit = !open_;
    if (implicit) BeginStep(Other, {at, at});
    at = buffer_.Clamp(at);
    TextPos end = buffer_.Insert(at, text);
    std::string normal = text.find('\r') == std::string_view::npos ? std::string(text) : buffer_.Text(at, end, false);
    Step *step = Current();
    if (!step->actions.empty() && step->kind == Typing && step->actions.back().insert &&
        EndOf(step->actions.back().from, step->actions.back().text) == at) {
        step->actions.back().text += normal;
    } else {
        step->actions.push_back(Action{true, at, std::move(normal)});
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
    std::string removed = buffer_.Erase(from, to);
    Step *step = Current();
    Action *last = step->actions.empty() ? nullptr : &step->actions.back();
    if (last && !last->insert && step->kind == Backspace && last->from == to) {
        last->text = removed + last->text;
        last->from = from;
    } else if (last && !last->insert && step->kind == DeleteForward && last->from == from) {
        last->text += removed;
    } else {
        step->actions.push_back(Action{false, from, std::move(removed)});
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

bool TextDocument::Undo(Selection *selection)
{
    if (open_ || !CanUndo()) return false;
    Step &step = steps_[--undoCount_];
    for (auto it = step.actions.rbegin(); it != step.actions.rend(); ++it) {
        if (it->insert)
            buffer_.Erase(it->from, EndOf(it->from, it->text));
        else
            buffer_.Insert(it->from, it->text);
    }
    *selection = step.before;
    mergeable_ = false;
    return true;
}

bool TextDocument::Redo(Selection *selection)
{
    if (open_ || !CanRedo()) return false;
    Step &step = steps_[undoCount_++];
    for (const Action &action : step.actions) {
        if (action.insert)
            buffer_.Insert(action.from, action.text);
        else
            buffer_.Erase(action.from, EndOf(action.from, action.text));
    }
    *selection = step.after;
    mergeable_ = false;
    return true;
}
