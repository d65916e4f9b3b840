#include "dlgcomm.h"

#include "fncomm.h"
#include "string2.h"
#include "wm.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

HINSTANCE hInst;
HWND hwndMain;

namespace {

constexpr DWORD kOpenFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
constexpr DWORD kSaveFlags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;

OPENFILENAMEA FileDialog(HWND Owner, const char* Title, const char* Filters, char* FileName, int maxFileName)
{
    FileName[0] = '\0';
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Owner;
    ofn.hInstance = hInst;
    ofn.lpstrFilter = Filters;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = FileName;
    ofn.nMaxFile = static_cast<DWORD>(maxFileName);
    ofn.lpstrTitle = Title;
    return ofn;
}

}  // namespace

int GetOpenFileName2(HWND Owner, const char* Title, const char* Filters, char* FileName, int maxFileName, DWORD Flags,
                     int* OnlyOne)
{
    OPENFILENAMEA ofn = FileDialog(Owner, Title, Filters, FileName, maxFileName);
    ofn.Flags = Flags | kOpenFlags;
    const int result = GetOpenFileNameA(&ofn);
    *OnlyOne = result && ofn.nFileOffset < std::strlen(FileName) ? 1 : 0;
    return result;
}

int GetSaveFileName2(HWND Owner, const char* Title, const char* Filters, char* FileName, const char* DefExt,
                     int maxFileName, DWORD Flags)
{
    char fileTitle[MAX_PATH];
    OPENFILENAMEA ofn = FileDialog(Owner, Title, Filters, FileName, maxFileName);
    ofn.lpstrFileTitle = fileTitle;
    ofn.nMaxFileTitle = sizeof fileTitle;
    ofn.lpstrDefExt = DefExt;
    ofn.Flags = Flags | kSaveFlags;
    return GetSaveFileNameA(&ofn);
}

void ComboFillInt(HWND hwnd, int Min, int Max, int Step)
{
    if (Step <= 0)
        return;
    for (long long value = Min; value <= Max; value += Step) {
        char text[12];
        CBAddString(hwnd, StrFormat(text, sizeof text, "%d", static_cast<int>(value)));
    }
}

void LVSetRowCount(HWND List, int Count, int Keep)
{
    if (!Keep)
        LVMDeleteAllItems(List);
    SendMessageA(List, LVM_SETITEMCOUNT, static_cast<WPARAM>(Count), Keep ? LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL : 0);
    InvalidateRect(List, nullptr, TRUE);
}

void LVSetRowState(HWND List, int Row, UINT State, UINT Mask)
{
    LVITEMA item{};
    item.state = State;
    item.stateMask = Mask;
    LVMSetItemState(List, Row, &item);
}

void LVDispText(NMLVDISPINFOA* Info, const char* Text)
{
    if ((Info->item.mask & LVIF_TEXT) != 0 && Info->item.pszText != nullptr && Info->item.cchTextMax > 0)
        StrCopy(Info->item.pszText, static_cast<std::size_t>(Info->item.cchTextMax), Text != nullptr ? Text : "");
}

namespace {

// The typed text of a find request as ANSI text; false for a request without one.
bool FindRequestText(const NMHDR* Header, char* Text, int Size)
{
    if (Header->code == LVN_ODFINDITEMA) {
        const char* typed = reinterpret_cast<const NMLVFINDITEMA*>(Header)->lvfi.psz;
        StrCopy(Text, static_cast<std::size_t>(Size), typed);
        return typed != nullptr;
    }
    const wchar_t* typed = reinterpret_cast<const NMLVFINDITEMW*>(Header)->lvfi.psz;
    return typed != nullptr && WideCharToMultiByte(CP_ACP, 0, typed, -1, Text, Size, nullptr, nullptr) > 0;
}

bool RowMatches(const char* Text, const char* Typed, bool Partial)
{
    const int typed = static_cast<int>(std::strlen(Typed));
    const int text = static_cast<int>(std::strlen(Text));
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, Text, Partial ? std::min(text, typed) : text, Typed,
                          typed) == CSTR_EQUAL;
}

int FindRow(const NMLVFINDITEMA* Find, const char* Typed, int Count, LVROWTEXT RowText)
{
    const UINT flags = Find->lvfi.flags;
    if ((flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || Typed[0] == '\0' || Count <= 0)
        return -1;
    const int start = Find->iStart >= 0 && Find->iStart < Count ? Find->iStart : 0;
    const int rows = (flags & LVFI_WRAP) != 0 ? Count : Count - start;
    char buffer[LVROWTEXTMAX];
    for (int i = 0; i < rows; ++i) {
        const int row = (start + i) % Count;
        buffer[0] = '\0';
        if (RowMatches(RowText(row, buffer), Typed, (flags & LVFI_PARTIAL) != 0))
            return row;
    }
    return -1;
}

}  // namespace

int LVAnswerFind(HWND Dialog, const NMHDR* Header, int Count, LVROWTEXT RowText)
{
    if (Header->code != LVN_ODFINDITEMA && Header->code != LVN_ODFINDITEMW)
        return 0;
    char typed[MAX_PATH];
    const auto* find = reinterpret_cast<const NMLVFINDITEMA*>(Header);  // the same layout but for the text
    const int row = FindRequestText(Header, typed, sizeof typed) ? FindRow(find, typed, Count, RowText) : -1;
    SetWindowLongPtrA(Dialog, DWLP_MSGRESULT, row);
    return 1;
}

// A trackbar recomputes its thumb only when the position changes.
void TrackbarSetRange(HWND hwnd, int Min, int Max, int Value)
{
    TBMSetRange(hwnd, Min, Max);
    TBMSetPos(hwnd, 0, Value != Min ? Min : Max);
    TBMSetPos(hwnd, 1, Value);
}

void ButtonSetImage(HWND hwnd, int ID)
{
    HANDLE image = LoadImageA(hInst, MAKEINTRESOURCEA(ID), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT);
    BMSetImage(hwnd, IMAGE_BITMAP, image);
}

int SelectDirectory(HWND hwndOwner, char* Directory)
{
    char displayName[MAX_PATH];
    BROWSEINFOA info{};
    info.hwndOwner = hwndOwner;
    info.pszDisplayName = displayName;
    info.lpszTitle = "Select a folder:";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST items = SHBrowseForFolderA(&info);
    if (items == nullptr)
        return 0;
    if (!SHGetPathFromIDListA(items, Directory))
        Directory[0] = '\0';
    CoTaskMemFree(items);
    return 1;
}

void DlgSetIcon(HWND hwnd, int ID)
{
    HICON icon = LoadIconA(hInst, MAKEINTRESOURCEA(ID));
    if (icon != nullptr)
        WMSetIcon(hwnd, ICON_BIG, icon);
}

// A modal dialog or prompt disables the window it stands over; each of them
// may hold a track or an item.
HWND DlgOpenDialog()
{
    for (HWND window : {hwndMain, hwndTL, hwndPL}) {
        if (window == nullptr || IsWindowEnabled(window))
            continue;
        HWND dialog = window;
        for (HWND popup = GetLastActivePopup(dialog); popup != nullptr && popup != dialog && !IsWindowEnabled(dialog);
             popup = GetLastActivePopup(dialog))
            dialog = popup;
        return dialog;
    }
    return nullptr;
}

bool DlgLibraryBusy(HWND Owner)
{
    if (DlgOpenDialog() == nullptr)
        return false;
    // Over the dialog that disabled Owner: closing a box re-enables its owner.
    ErrorMsg(GetLastActivePopup(Owner),
             "Close the open dialogs and messages of Tandem first: they may use what this command releases.");
    return true;
}

void DlgLibraryChanged(int Replaced)
{
    if (hwndPL != nullptr)
        SendMessageA(hwndPL, WM_LIBRARYCHANGED, static_cast<WPARAM>(Replaced), 0);
}
