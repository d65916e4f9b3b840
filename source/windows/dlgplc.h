// The list chooser (DLG_SELECT): pick one record of any list. Windows only.
#pragma once

#include "platform.h"

struct LIST;

using LICGETNAMEPROC = const char* (*)(void* Record);

// The chosen record; null after Cancel or with no row selected.
void* LICEdit(HWND Owner, LIST* List, LICGETNAMEPROC GetNameProc, const char* Title);
