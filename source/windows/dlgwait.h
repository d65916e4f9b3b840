// The please-wait window (DLG_WAIT): two lines of progress text while the
// user-interface thread is busy. Windows only.
#pragma once

#include "platform.h"

extern HWND hwndWait;

void DlgWaitShow(HWND Parent, const char* Message, const char* Message2);
// Line 1 for No == 1, line 2 otherwise; repainted at once.
void DlgWaitMsg(int No, const char* Message);
void DlgWaitHide();
