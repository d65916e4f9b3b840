// The track times dialog (DLG_TT): the main part, intro and rhythm section
// of a track, with tests on the test player. Modal. Windows only.
#pragma once

#include "platform.h"

struct SONG;

// 1 when the dialog ended with OK (the song then holds the edited copy).
int TTEdit(HWND Owner, SONG* Song);
