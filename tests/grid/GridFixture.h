// A real grid window inside a real parent, fed with results of the real
// server, for the grid's tests.
#pragma once

#include "TestSupport.h"

#include <string>
#include <vector>

#include "grid/GridInternal.h"
#include "query/ResultCapture.h"
#include "querywindow/WindowRecords.h"

// WM_NOTIFY codes the test parent received, in order.
extern std::vector<int> GridNotifications;

class GridFixture : public testing::Test {
protected:
    static MYSQL *mysql;
    static HWND parent;
    HWND grid = nullptr;
    GRIDBUFFER *buffer = nullptr;

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    OUTPUTDATA *State() const { return StateOf<OUTPUTDATA>(grid); }
    // Captures the query's result and attaches it, as batch completion does.
    void Show(const std::string &sql);
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

    void Press(POINT p);
    void Release(POINT p);
    // Moves the system pointer to a client point and reports the move.
    void MoveTo(POINT p);
    void Click(POINT p);
    void Key(WPARAM key, bool shift = false, bool control = false);
    LRESULT Command(int id);

    void EmptyTheClipboard();
};
