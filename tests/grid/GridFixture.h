// A real grid window inside a real parent, fed with result buffers made by
// hand, for the grid's tests.
#pragma once

#include "TestSupport.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/WindowState.h"
#include "grid/GridInternal.h"
#include "results/ResultBuffer.h"

// WM_NOTIFY codes the test parent received, in order.
extern std::vector<int> GridNotifications;

// A cell of a buffer made by hand: its bytes, or SQL NULL.
using HandCell = std::optional<std::string>;
// A buffer holding what a capture of a result with these column names and
// cells holds: the shared "NULL" text, lengths kept in rows with a zero
// byte, and the widths of the widest texts (TextWidths, ColWidths capped).
// The columns named in numberColumns (digits '0' to '9') hold numbers.
GRIDBUFFER *MakeBuffer(const std::vector<std::string> &names, int rows,
                       const std::function<HandCell(int row, int column)> &cell,
                       const std::string &numberColumns = "");
GRIDBUFFER *MakeBuffer(const std::vector<std::string> &names, const std::vector<std::vector<HandCell>> &rows,
                       const std::string &numberColumns = "");
// One number column "id" holding 1 to rows.
GRIDBUFFER *MakeIds(int rows);
// Texts in columns c1, c2 ...: each column's one letter ('a', 'b' ...)
// repeated length times, in every row.
GRIDBUFFER *MakeRepeats(int columns, int length, int rows);

class GridFixture : public testing::Test {
protected:
    static HWND parent;
    HWND grid = nullptr;
    GRIDBUFFER *buffer = nullptr;

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    OUTPUTDATA *State() const { return StateOf<OUTPUTDATA>(grid); }
    // Attaches the buffer, as batch completion does; the fixture frees it.
    void Show(GRIDBUFFER *made);
    // Attaches nothing.
    void ShowNothing();
    // Sizes the grid window so that its client area is as close as the
    // scroll bars allow to the given size; returns the client rectangle.
    RECT Resize(int width, int height);
    RECT Client() const;

    // Client point inside a data cell (row, column), near its top-left.
    POINT CellPoint(int row, int column) const;
    POINT HeaderPoint(int column) const;
    POINT RowNumberPoint(int row) const;
    int ColumnLeft(int column) const; // client x of the column's left edge
    int SlotTop(int slot) const;

    // keys: MK_ flags besides the button (MK_CONTROL for Ctrl).
    void Press(POINT p, WPARAM keys = 0);
    void Release(POINT p);
    // Moves the system pointer to a client point and reports the move.
    void MoveTo(POINT p);
    void Click(POINT p, WPARAM keys = 0);
    void Key(WPARAM key, bool shift = false, bool control = false);
    LRESULT Command(int id);

    void EmptyTheClipboard();
};
