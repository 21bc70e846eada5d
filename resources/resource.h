// Identifiers shared by the resource script and the code.
#pragma once

#define IDR_MAINMENU 1000
#define IDR_GRIDMENU 1001
#define IDR_ACCELERATORS 1003
#define IDD_SELECTDATABASE 1000
#define IDB_TOOLBAR 200
#define IDI_FRAME 100
#define IDI_QUERYWINDOW 200
