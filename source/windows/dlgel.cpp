#include "dlgel.h"

#include "dlgcomm.h"
#include "resource.h"

HWND hwndEL;

namespace {

void DlgELEnd(HWND hwnd)
{
    hwndEL = nullptr;
    DestroyWindow(hwnd);
}

// Listing and editing effects has no function yet: the list's notifications
// and the buttons are accepted and do nothing.
INT_PTR CALLBACK DlgELWndProc(HWND hwndDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG: hwndEL = hwndDlg; return 0;
    case WM_CLOSE: DlgELEnd(hwndDlg); return 1;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: DlgELEnd(hwndDlg); return 1;
        default: return 0;
        }
    default: return 0;
    }
}

}  // namespace

void ELEdit()
{
    if (hwndEL != nullptr) {
        if (IsIconic(hwndEL))
            ShowWindow(hwndEL, SW_RESTORE);
        BringWindowToTop(hwndEL);
        return;
    }
    CreateDialogParamA(hInst, MAKEINTRESOURCEA(DLG_EL), hwndMain, DlgELWndProc, 0);
}
