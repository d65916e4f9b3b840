#include "dlgplc.h"

#include "dlgcomm.h"
#include "fncomm.h"
#include "list.h"
#include "resource.h"
#include "wm.h"

namespace {

// Set by every LICEdit for the length of its run.
LIST* DlgLICList;
LICGETNAMEPROC DlgLICGetNameProc;
const char* DlgLICTitle;
void* DlgLICResult;

HWND Rows(HWND hwnd) { return GetDlgItem(hwnd, LBLIST); }

// Row i shows the record at list position i, hidden records included.
void DlgLICInit(HWND hwnd)
{
    LISTITEM* key = nullptr;
    for (void* record = ListFindFirstItem(DlgLICList, &key); record != nullptr;
         record = ListFindNextItem(DlgLICList, &key)) {
        const char* name = DlgLICGetNameProc(record);
        LBAddString(Rows(hwnd), name != nullptr ? name : "");
    }
    WMSetText(hwnd, DlgLICTitle != nullptr ? DlgLICTitle : "");
    SetFocus(Rows(hwnd));
}

void DlgLICOk(HWND hwnd)
{
    const int row = LBGetCurSel(Rows(hwnd));
    DlgLICResult = row >= 0 ? ListGetItemByIdx(DlgLICList, row) : nullptr;
    EndDialog(hwnd, 1);
}

INT_PTR CALLBACK DlgLICWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: DlgLICInit(hwnd); return 0;
    case WM_CLOSE: EndDialog(hwnd, 0); return 1;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: DlgLICOk(hwnd); return 1;
        case IDCANCEL: EndDialog(hwnd, 0); return 1;
        case BTRENAME: MissingFunction(); return 0;
        default: return 0;
        }
    default: return 0;
    }
}

}  // namespace

void* LICEdit(HWND Owner, LIST* List, LICGETNAMEPROC GetNameProc, const char* Title)
{
    if (List == nullptr || GetNameProc == nullptr)
        return nullptr;
    DlgLICList = List;
    DlgLICGetNameProc = GetNameProc;
    DlgLICTitle = Title;
    DlgLICResult = nullptr;
    return DialogBoxParamA(hInst, MAKEINTRESOURCEA(DLG_SELECT), Owner, DlgLICWndProc, 0) == 1 ? DlgLICResult
                                                                                                  : nullptr;
}
