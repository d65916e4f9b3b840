// The new-playlist dialog (DLG_NEWPL). Windows only.
#pragma once

#include "platform.h"

// On OK: the name (Name holds 31 characters) and the "Only delete items and
// rename" choice, returns 1; otherwise 0 with Name and *Delete untouched.
int PLNEdit(HWND Owner, char* Name, int* Delete);
