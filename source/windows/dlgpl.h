// The playlist editor (DLG_PL): the items of the current playlist and the
// commands that build, order and queue them. Modeless, at most one.
// Windows only.
#pragma once

#include "platform.h"

struct PLI;


void PLEdit();
// Refills the table from the current playlist (after the library changed under it).
void DlgPLFillTable();
// Rewrites every row's text, the title and the information lines (after a track edit).
void DlgPLRefresh();
// Focuses pli's row when the editor is open and pli stands in the current playlist.
void DlgPLSetFocusedPLI(PLI* pli);
