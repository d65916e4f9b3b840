#include "dlgpln.h"

#include "dlgcomm.h"
#include "fndb.h"
#include "fnpl.h"
#include "resource.h"
#include "string2.h"
#include "wm.h"

namespace {

// The answers of the last OK; they last for the whole run.
char DlgPLNName[MAXL_PLNAME + 1];
int DlgPLNDelete;

HWND Control(HWND hwnd, int Id) { return GetDlgItem(hwnd, Id); }

// The field proposes the current list's name; with no list yet, the name
// typed last.
void DlgPLNInit(HWND hwnd)
{
    const PL* current = MainGetCurrentPL();
    const HWND name = Control(hwnd, EDNAME);
    BMSetCheck(Control(hwnd, CBDELETE), DlgPLNDelete ? BST_CHECKED : BST_UNCHECKED);
    SendMessageA(name, EM_LIMITTEXT, MAXL_PLNAME, 0);
    WMSetText(name, current != nullptr ? PLGetName(current) : DlgPLNName);
    SendMessageA(name, EM_SETSEL, 0, -1);
    SetFocus(name);
}

void DlgPLNOk(HWND hwnd)
{
    DlgPLNDelete = BMGetCheck(Control(hwnd, CBDELETE)) == BST_CHECKED ? 1 : 0;
    WMGetText(Control(hwnd, EDNAME), sizeof DlgPLNName, DlgPLNName);
    EndDialog(hwnd, 1);
}

INT_PTR CALLBACK DlgPLNWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: DlgPLNInit(hwnd); return 0;
    case WM_CLOSE: EndDialog(hwnd, 0); return 1;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: DlgPLNOk(hwnd); return 1;
        case IDCANCEL: EndDialog(hwnd, 0); return 1;
        default: return 0;
        }
    default: return 0;
    }
}

}  // namespace

int PLNEdit(HWND Owner, char* Name, int* Delete)
{
    if (DialogBoxParamA(hInst, MAKEINTRESOURCEA(DLG_NEWPL), Owner, DlgPLNWndProc, 0) != 1)
        return 0;
    if (Name != nullptr)
        StrCopy(Name, MAXL_PLNAME + 1, DlgPLNName);
    if (Delete != nullptr)
        *Delete = DlgPLNDelete;
    return 1;
}
