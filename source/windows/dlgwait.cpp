#include "dlgwait.h"

#include "dlgcomm.h"
#include "resource.h"
#include "wm.h"

HWND hwndWait;

namespace {

void SetPointer(LPCSTR Cursor) { SetCursor(LoadCursorA(nullptr, Cursor)); }

void DlgWaitClose(HWND hwnd)
{
    DestroyWindow(hwnd);
    hwndWait = nullptr;
}

INT_PTR CALLBACK DlgWaitWndProc(HWND hwnd, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_CLOSE: DlgWaitClose(hwnd); return 1;
    default: return 0;
    }
}

}  // namespace

void DlgWaitShow(HWND Parent, const char* Message, const char* Message2)
{
    if (hwndWait == nullptr)
        hwndWait = CreateDialogParamA(hInst, MAKEINTRESOURCEA(DLG_WAIT), Parent, DlgWaitWndProc, 0);
    if (hwndWait == nullptr)
        return;
    DlgWaitMsg(1, Message);
    DlgWaitMsg(2, Message2);
    SetPointer(IDC_WAIT);
}

// The caller keeps this thread busy, so no paint message would come before it ends.
void DlgWaitMsg(int No, const char* Message)
{
    if (hwndWait == nullptr)
        return;
    WMSetText(GetDlgItem(hwndWait, No == 1 ? STMSG : STMSG2), Message != nullptr ? Message : "");
    UpdateWindow(hwndWait);
}

void DlgWaitHide()
{
    if (hwndWait == nullptr)
        return;
    SendMessageA(hwndWait, WM_CLOSE, 0, 0);
    SetPointer(IDC_ARROW);
}
