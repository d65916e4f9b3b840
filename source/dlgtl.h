// The track list window (DLG_TL): the table of every track and the commands
// that fill and maintain it, and the database file commands. Modeless,
// at most one. Windows only.
#pragma once

#include "platform.h"

struct SONG;

extern HWND hwndTL;  // null while the window is closed

// Opens the window, or restores and raises the open one.
void TLEdit();
// Rebuilds every row and the total line.
void DlgTLFillTable();
SONG* DlgTLGetItem(int NO);
// The next row after *StartNo matching Mask (LVNI_ALL, LVNI_FOCUSED,
// LVNI_SELECTED), stored back into *StartNo; -1 when none.
int DlgTLGetNextIdx(int* StartNo, int Mask);
SONG* DlgTLGetNextSong(int* StartNo, int Mask);
int DlgTLGetFocusedIdx();
// The focused row's track; null without a focused row or while closed.
SONG* DlgTLGetFocusedSong();
