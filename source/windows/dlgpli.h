// The playlist item editor (DLG_PLI): a modal dialog over a working copy of
// one item. Windows only.
#pragma once

#include "platform.h"

struct PLI;

// 1 when the dialog ended with OK (the item then holds the edited copy).
int PLIEdit(HWND Owner, PLI* Item);
