// The track information dialog (DLG_TP): a modal dialog over a working copy
// of one track. Windows only.
#pragma once

#include "platform.h"

struct SONG;

extern HWND hwndTP;  // null while the dialog is closed

// 1 when the dialog ended with OK (the track then holds the edited copy).
int TPEdit(HWND Owner, SONG* Data);
