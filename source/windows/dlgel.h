// The background/effect list window (DLG_EL); nothing in the program opens
// it yet. Windows only.
#pragma once

#include "platform.h"

extern HWND hwndEL;

void ELEdit();
