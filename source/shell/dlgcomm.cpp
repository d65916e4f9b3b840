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

// Length bytes of ANSI text (-1: up to and with its terminator) as wide text.
std::wstring Widen(const char* Text, int Length)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, Text, Length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, Text, Length, wide.data(), n);
    return wide;
}

// A filter list's bytes: pairs of texts each ended by a NUL, then a final NUL.
int FilterLength(const char* Filters)
{
    const char* end = Filters;
    while (*end != '\0')
        end += std::strlen(end) + 1;
    return static_cast<int>(end - Filters) + 1;
}

// Runs the open or save dialog on wide texts; the choice lands in Files.
BOOL RunFileDialog(bool Save, HWND Owner, const char* Title, const char* Filters, const char* DefExt, WCHAR* Files,
                   int maxFiles, DWORD Flags, OPENFILENAMEW* Result)
{
    const std::wstring title = DlgWide(Title), filters = Widen(Filters, FilterLength(Filters));
    const std::wstring ext = DlgWide(DefExt != nullptr ? DefExt : "");
    Files[0] = L'\0';
    OPENFILENAMEW& ofn = *Result;
    ofn = OPENFILENAMEW{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Owner;
    ofn.hInstance = hInst;
    ofn.lpstrFilter = filters.c_str();
    ofn.lpstrFile = Files;
    ofn.nMaxFile = static_cast<DWORD>(maxFiles);
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = DefExt != nullptr ? ext.c_str() : nullptr;
    ofn.Flags = Flags | (Save ? kSaveFlags : kOpenFlags);
    return Save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
}

// The chosen file's ANSI form into FileName; a name without one is refused.
int ChosenFile(HWND Owner, BOOL Chosen, const WCHAR* Path, char* FileName, int maxFileName)
{
    FileName[0] = '\0';
    if (!Chosen)
        return 0;
    const ANSINAME kind = AnsiPath(Path, FileName, static_cast<std::size_t>(maxFileName));
    if (kind == ANSI_NAME || kind == ANSI_SHORT)
        return 1;
    char reason[200];
    char msg[300];
    ErrorMsg(Owner, kind == ANSI_TOOLONG ? "The path of the chosen file is too long."
                                         : StrFormat(msg, sizeof msg, "Tandem cannot use the chosen file: %s.",
                                                     DlgNoAnsiName(reason, sizeof reason)));
    return 0;
}

}  // namespace

std::wstring DlgWide(const char* Text) { return Widen(Text, static_cast<int>(std::strlen(Text))); }

const char* DlgNoAnsiName(char* Text, std::size_t Size)
{
    return StrFormat(Text, Size,
                     "the name (or a folder's on the way) has characters outside this system's code page (%u) and "
                     "the drive keeps no short 8.3 names",
                     GetACP());
}

int GetOpenFileName2(HWND Owner, const char* Title, const char* Filters, char* FileName, int maxFileName)
{
    WCHAR path[MAX_PATH];
    OPENFILENAMEW ofn;
    const BOOL chosen = RunFileDialog(false, Owner, Title, Filters, nullptr, path, MAX_PATH, 0, &ofn);
    return ChosenFile(Owner, chosen, path, FileName, maxFileName);
}

int GetSaveFileName2(HWND Owner, const char* Title, const char* Filters, char* FileName, const char* DefExt,
                     int maxFileName, DWORD Flags)
{
    WCHAR path[MAX_PATH];
    OPENFILENAMEW ofn;
    const BOOL chosen = RunFileDialog(true, Owner, Title, Filters, DefExt, path, MAX_PATH, Flags, &ofn);
    return ChosenFile(Owner, chosen, path, FileName, maxFileName);
}

int GetOpenFileNames(HWND Owner, const char* Title, const char* Filters, WCHAR* Files, int maxFiles, int* OnlyOne)
{
    OPENFILENAMEW ofn;
    const int result = RunFileDialog(false, Owner, Title, Filters, nullptr, Files, maxFiles, OFN_ALLOWMULTISELECT, &ofn);
    *OnlyOne = result && ofn.nFileOffset < std::wcslen(Files) ? 1 : 0;
    return result;
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

int SelectDirectory(HWND hwndOwner, WCHAR* Directory)
{
    WCHAR displayName[MAX_PATH];
    BROWSEINFOW info{};
    info.hwndOwner = hwndOwner;
    info.pszDisplayName = displayName;
    info.lpszTitle = L"Select a folder:";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST items = SHBrowseForFolderW(&info);
    if (items == nullptr)
        return 0;
    if (!SHGetPathFromIDListW(items, Directory))
        Directory[0] = L'\0';
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
