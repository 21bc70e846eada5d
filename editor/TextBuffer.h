// The editor's text without any window: lines of UTF-8 bytes, edits by
// position, and the undo history.
//
// Positions here count from 0: line index and byte offset in the line. The
// window converts them to the 1-based lines and columns of the messages.
// A line holds its bytes without the line break; CR LF and LF both break
// lines on the way in, CR LF is written on the way out, and a lone CR stays
// an ordinary byte of its line (so such files load and save unchanged).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TextPos {
    int line = 0;
    int col = 0;  // byte offset in the line
};
inline bool operator==(TextPos a, TextPos b) { return a.line == b.line && a.col == b.col; }
inline bool operator!=(TextPos a, TextPos b) { return !(a == b); }
inline bool operator<(TextPos a, TextPos b) { return a.line < b.line || (a.line == b.line && a.col < b.col); }
inline bool operator<=(TextPos a, TextPos b) { return !(b < a); }

struct Selection {
    TextPos anchor;
    TextPos caret;
    TextPos Start() const { return caret < anchor ? caret : anchor; }
    TextPos End() const { return caret < anchor ? anchor : caret; }
    bool Empty() const { return anchor == caret; }
};
inline bool operator==(const Selection &a, const Selection &b) { return a.anchor == b.anchor && a.caret == b.caret; }
inline bool operator!=(const Selection &a, const Selection &b) { return !(a == b); }

// Lines in a vector: an edit inside a line touches that line only; adding or
// removing lines moves the line records after it (32 bytes each, not the
// text), about a millisecond for 200,000 lines.
class TextBuffer {
public:
    TextBuffer();

    int LineCount() const { return static_cast<int>(lines_.size()); }
    const std::string &Line(int index) const { return lines_[index]; }
    TextPos End() const;
    // The position moved into the text and onto a character boundary.
    TextPos Clamp(TextPos pos) const;

    // Replaces everything (LF or CR LF breaks). The text stays as it was if
    // this or Insert or Erase throws (std::bad_alloc).
    void SetText(std::string_view text);
    // Inserts text (LF or CR LF breaks) at a valid position; returns the
    // position after it.
    TextPos Insert(TextPos at, std::string_view text);
    // Removes [from, to) and returns the removed text with LF breaks.
    std::string Erase(TextPos from, TextPos to);

    // Text of [from, to) with CR LF (crlf) or LF breaks.
    std::string Text(TextPos from, TextPos to, bool crlf) const;
    // The same into out, which has room for Length(from, to, crlf) bytes;
    // returns that length. Allocates nothing, so that a large text can be
    // copied into a buffer that is already there.
    size_t CopyText(TextPos from, TextPos to, bool crlf, char *out) const;
    size_t Length(TextPos from, TextPos to, bool crlf) const;
    std::string WholeText(bool crlf) const { return Text({0, 0}, End(), crlf); }
    size_t WholeLength(bool crlf) const;

    // The first line whose text or position changed since the last
    // ResetChangedLine(); INT32_MAX when none did. The lexer's state cache
    // is valid up to this line.
    int ChangedLine() const { return changedLine_; }
    void ResetChangedLine() { changedLine_ = INT32_MAX; }
    // An upper bound of the longest line in bytes (grows with edits, exact
    // after SetText).
    size_t LongestLine() const { return longest_; }

private:
    void MarkChanged(int line);

    std::vector<std::string> lines_;
    size_t bytes_ = 0;  // sum of the lines' lengths
    int changedLine_ = 0;
    size_t longest_ = 0;
};

// The text plus its undo history. Each user action is one step; a run of
// typed characters (or of Backspaces, or of Deletes) at consecutive
// positions merges into one step.
class TextDocument {
public:
    enum StepKind { Other, Typing, Backspace, DeleteForward };

    TextBuffer &Buffer() { return buffer_; }
    const TextBuffer &Buffer() const { return buffer_; }

    // Starts a step; edits until EndStep belong to it. A Typing, Backspace
    // or DeleteForward step merges into the previous one of the same kind
    // when it continues where that one ended.
    void BeginStep(StepKind kind, const Selection &before);
    void EndStep(const Selection &after);

    TextPos Insert(TextPos at, std::string_view text);
    void Erase(TextPos from, TextPos to);

    // Takes back the edits of the open step after one of them failed (threw),
    // so that the text is as before the step, and closes it; false when no
    // step is open. A step that merged into the previous one is only closed
    // (its one edit either happened whole or not at all). selection gets the
    // selection to restore.
    bool AbortStep(Selection *selection);

    // Replaces the text and forgets the history.
    void SetText(std::string_view text);
    // Ends merging: the next typed character starts a new step.
    void BreakMerge() { mergeable_ = false; }

    bool CanUndo() const { return undoCount_ > 0; }
    bool CanRedo() const { return undoCount_ < steps_.size(); }
    // Undoes or redoes one step; returns the selection to restore.
    bool Undo(Selection *selection);
    bool Redo(Selection *selection);

private:
    struct Action {
        bool insert;
        TextPos from;
        std::string text;
    };
    struct Step {
        StepKind kind;
        std::vector<Action> actions;
        Selection before;
        Selection after;
    };
    Step *Current();
    // Room for one more action in the open step, made before the buffer
    // changes so that recording the change cannot fail after it.
    void ReserveAction();
    // Applies an action to the buffer, or takes it back (inverse).
    void Apply(const Action &action, bool inverse);

    TextBuffer buffer_;
    std::vector<Step> steps_;
    size_t undoCount_ = 0;  // steps_[0, undoCount_) can be undone
    bool open_ = false;
    bool openedNew_ = false;  // the open step is new (did not merge)
    bool mergeable_ = false;
};

// Failures: a change that needs more memory than there is throws
// std::bad_alloc. TextBuffer's SetText, Insert and Erase change nothing when
// they throw; TextDocument's Insert, Erase, Undo and Redo keep the text and
// the history in agreement (an edit is recorded whole or not at all), and
// AbortStep takes back a half-done step.
//
// Test seam: the count-th TextBuffer change (SetText, Insert or Erase) from
// now on, 1 being the next one, throws std::bad_alloc before it changes
// anything, as one needing more memory than there is would. 0 turns it off.
void FailTextChangeAfter(int count);
