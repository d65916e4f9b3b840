// The track list window (DLG_TL): the table of every track and the commands
// that fill and maintain it, and the database file commands. Modeless,
// at most one. Windows only.
#pragma once

#include "platform.h"

struct SONG;


// Opens the window, or restores and raises the open one.
void TLEdit();
// Rebuilds every row and the total line.
void DlgTLFillTable();
// Rewrites the total line with the measuring's progress, and every row's
// texts (after measurements arrived).
void DlgTLShowProgress();
void DlgTLRedrawRows();
SONG* DlgTLGetItem(int NO);
// The next row after *StartNo matching Mask (LVNI_ALL, LVNI_FOCUSED,
// LVNI_SELECTED), stored back into *StartNo; -1 when none.
int DlgTLGetNextIdx(int* StartNo, int Mask);
SONG* DlgTLGetNextSong(int* StartNo, int Mask);
int DlgTLGetFocusedIdx();
// The focused row's track; null without a focused row or while closed.
SONG* DlgTLGetFocusedSong();

// Saves the library where it came from when that needs no answer: 1 when
// it is saved or has nothing to save, 0 when it needs one (no path, a file
// that failed to load, a failed write: GetLastError() tells the write's reason).
int DlgTLStoreLibrary();
// Saves the library where it came from; when it cannot be (no path, a file
// that failed to load, a failed write) and it is not empty, asks: Save as,
// Don't save, or back. 0 when the user went back or cancelled the save dialog.
int DlgTLKeepLibrary(HWND Owner);
// Reads the database at Path into the library and refreshes the windows; a
// damaged file is reported over Owner and left as it is. A file that cannot
// be opened (a missing drive) is named, with the empty library shown: the
// user may try again, open another file, or go on. 1 on success.
int DlgTLLoadDBase(HWND Owner, const char* Path);
// The command "Open database" for a chosen path, from any window: refused
// while the library is busy, keeps the open library first, then loads.
int DlgTLOpenDBaseFile(HWND Owner, const char* Path);
