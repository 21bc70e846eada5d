// Entry of every test program: the client library is loaded first, as the
// program itself does, and the common controls are initialised.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "server/mysql.h"

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    LoadClientLibrary("");
    InitCommonControls();
    int result = RUN_ALL_TESTS();
    UnloadClientLibrary();
    return result;
}
