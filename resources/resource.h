// Identifiers shared by the resource script and the code.
#pragma once

// Menus, accelerators, bitmaps, icons.
#define IDR_MAINMENU 1000
#define IDR_GRIDMENU 1001
#define IDR_ACCELERATORS 1003
#define IDB_TOOLBAR 200
#define IDI_FRAME 100
#define IDI_QUERYWINDOW 200

// Dialogs. The connect and About dialogs are named resources.
#define IDD_SELECTDATABASE 1000

// Connect dialog controls.
#define IDC_HOST 100
#define IDC_USER 101
#define IDC_PASSWORD 102
#define IDC_STARTSERVER 103
#define IDC_SAVEPASSWORD 104
#define IDC_DATABASE 105
#define IDC_CONNECTIONNAME 106
#define IDC_SAVECONNECTION 107
#define IDC_DELETECONNECTION 108
#define IDC_CONNECTIONNOTE 109
// TLS and the SSH tunnel.
#define IDC_TLSMODE 110
#define IDC_TLSCA 111
#define IDC_TLSFINGERPRINT 112
#define IDC_FINGERPRINTLABEL 113
#define IDC_SSHHOST 114
#define IDC_SSHUSER 115
#define IDC_SSHKEY 116

// About box: "Vintrel v" and the version resource's product version.
#define IDC_ABOUTVERSION 100

// Select-database dialog.
#define IDC_DATABASELIST 100

// Commands of the menus, the toolbar and the accelerators.
#define CMD_CONNECT 100
#define CMD_DISCONNECT 101
#define CMD_DISCONNECTALL 102
#define CMD_OPEN 104
#define CMD_SAVE 105
#define CMD_SAVEAS 106
#define CMD_EXIT 107
#define CMD_UNDO 108
#define CMD_CUT 109
#define CMD_COPY 110
#define CMD_PASTE 111
#define CMD_DELETE 112
#define CMD_SELECTALL 113
#define CMD_CLEARWINDOW 114
#define CMD_SHOWRESULTS 115
#define CMD_FIND 116
#define CMD_REPLACE 117
#define CMD_EXECUTE 118
#define CMD_CASCADE 119
#define CMD_TILEVERTICAL 120
#define CMD_ABOUT 121
#define CMD_REDO 123
#define CMD_NEWBLANK 170
#define CMD_NEWDATABASE 171
#define CMD_NEWTABLE 172
#define CMD_NEWINDEX 173
#define CMD_NEWFUNCTION 174
#define CMD_NEWPROCEDURE 175
#define CMD_NEWTEMPLATE 176
#define CMD_INSERTFROMFILE 177
#define CMD_INSERTDATABASE 178
#define CMD_INSERTTABLE 179
#define CMD_INSERTINDEX 180
#define CMD_INSERTFUNCTION 181
#define CMD_INSERTPROCEDURE 182
#define CMD_CHANGEDATABASE 183
#define CMD_HELPCONTENTS 184
#define CMD_CANCELQUERY 185
#define CMD_COPYWITHNAMES 186
#define CMD_NEXTRESULTTAB 187
#define CMD_PREVIOUSRESULTTAB 188
#define CMD_COMPLETENAME 205
// The object browser (ids 195 to 199 are its own).
#define CMD_OBJECTBROWSER 195
// The grid's context menu: the order of its rows.
#define CMD_SORTASCENDING 190
#define CMD_SORTDESCENDING 191
#define CMD_ORIGINALORDER 192

// Query > History... and its dialog (a named resource, "HistoryDialog").
#define CMD_HISTORY 200
#define IDC_HISTORYSEARCH 200
#define IDC_HISTORYSERVER 201
#define IDC_HISTORYDATABASE 202
#define IDC_HISTORYLIST 203
#define IDC_HISTORYCOPY 204
#define IDC_HISTORYDELETE 205
#define IDC_HISTORYCOUNT 206
