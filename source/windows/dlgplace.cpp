#include "dlgplace.h"

#include "dlgcomm.h"
#include "resource.h"
#include "wm.h"

namespace {

PLACEDATA* DlgPlaceData;

// Both callers pass a record cleared to zero, so the template's empty field
// and unchecked boxes are the record's state.
void DlgPlaceInitDialog(HWND hwnd)
{
    const int enable = DlgPlaceData->bDisableRecursive ? 0 : 1;
    WMEnable(GetDlgItem(hwnd, CBREADSUBDIRS), enable);
    WMEnable(GetDlgItem(hwnd, STREADSUBDIRS), enable);
    SetFocus(GetDlgItem(hwnd, EDPLACE));
}

void DlgPlaceIDOK(HWND hwnd)
{
    WMGetText(GetDlgItem(hwnd, EDPLACE), sizeof DlgPlaceData->cPlace, DlgPlaceData->cPlace);
    DlgPlaceData->bRecursive = BMGetCheck(GetDlgItem(hwnd, CBREADSUBDIRS)) == BST_CHECKED ? 1 : 0;
    DlgPlaceData->bDontReadInfos = BMGetCheck(GetDlgItem(hwnd, CBNOINFOS)) == BST_CHECKED ? 1 : 0;
}

INT_PTR CALLBACK DlgPlaceWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: DlgPlaceInitDialog(hwnd); return 0;
    case WM_CLOSE: EndDialog(hwnd, 0); return 1;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: DlgPlaceIDOK(hwnd); EndDialog(hwnd, 1); return 1;
        case IDCANCEL: EndDialog(hwnd, 0); return 1;
        default: return 0;
        }
    default: return 0;
    }
}

}  // namespace

int PlaceEdit(HWND Owner, PLACEDATA* Data)
{
    DlgPlaceData = Data;
    return DialogBoxParamA(hInst, MAKEINTRESOURCEA(DLG_PLACE), Owner, DlgPlaceWndProc, 0) == 1 ? 1 : 0;
}
