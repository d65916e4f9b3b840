// Functions the dialogs share: the common file dialogs with fixed flags,
// number lists in combo boxes, bitmaps on buttons, the folder browser and
// window icons. Windows only.
#pragma once

#include "platform.h"

#include <array>
#include <cstddef>
#include <string>

// The module instance every resource is loaded from (set by WinMain).
extern HINSTANCE hInst;
// The control panel, owner of the other windows; null until it opens.
extern HWND hwndMain;
// The library windows (the track list, the playlist editor), each null
// while closed; their modules keep them.
extern HWND hwndTL;
extern HWND hwndPL;

// The dialog or message box of Tandem that waits for the user: the innermost
// one over the control panel or a library window; null when none is open.
HWND DlgOpenDialog();
// Refuses (with a message over Owner) while a dialog or prompt that may
// hold a track, item or playlist is open; true then.
bool DlgLibraryBusy(HWND Owner);
// Tells the open playlist editor that the library changed under it: Replaced
// when it was replaced whole, else when tracks were edited.
constexpr UINT WM_LIBRARYCHANGED = WM_APP + 2;  // wParam: Replaced
void DlgLibraryChanged(int Replaced);
// Posted to the control panel when measurements of tracks wait to be collected.
constexpr UINT WM_ANALYSED = WM_APP + 5;

// The file dialogs show every name; what they return reaches Tandem in the
// ANSI form its records keep (AnsiPath, fncomm.h).
// Why a name has no ANSI form, for the user (one line, no final stop).
const char* DlgNoAnsiName(char* Text, std::size_t Size);
// The open-file dialog for one file; FileName receives its ANSI form
// (maxFileName bytes). Nonzero when the user confirmed a name that has one;
// any other is refused with a message over Owner.
int GetOpenFileName2(HWND Owner, const char* Title, const char* Filters, char* FileName, int maxFileName);
// The save-file dialog likewise; the platform asks before an existing file is overwritten.
int GetSaveFileName2(HWND Owner, const char* Title, const char* Filters, char* FileName, const char* DefExt,
                     int maxFileName, DWORD Flags);
// The open-file dialog for several files, wide: Files (maxFiles characters)
// receives one full path (*OnlyOne 1) or a folder, NUL, names each ended by
// NUL, final NUL (*OnlyOne 0). Nonzero when the user confirmed.
int GetOpenFileNames(HWND Owner, const char* Title, const char* Filters, WCHAR* Files, int maxFiles, int* OnlyOne);
// ANSI text as wide text.
std::wstring DlgWide(const char* Text);
// Appends Min, Min + Step, ... up to Max as decimal texts (Step > 0).
void ComboFillInt(HWND hwnd, int Min, int Max, int Step);
void ButtonSetImage(HWND hwnd, int ID);
// One control's place in a window's layout table (client pixels).
struct PLACEMENT {
    int Id;
    int X, Y, Width, Height;
};
// Moves and repaints every control of the table.
template <std::size_t N>
void DlgApplyLayout(HWND hwnd, const std::array<PLACEMENT, N>& Layout)
{
    for (const PLACEMENT& p : Layout)
        MoveWindow(GetDlgItem(hwnd, p.Id), p.X, p.Y, p.Width, p.Height, TRUE);
}

// Virtual list views (LVS_OWNERDATA): the window keeps its rows, the control
// only their count and their selection and focus.
// Sets the row count; with Keep the selection, focus and scroll position stay.
void LVSetRowCount(HWND List, int Count, int Keep);
void LVSetRowState(HWND List, int Row, UINT State, UINT Mask);
// The answer to LVN_GETDISPINFO: Text, cut to the control's buffer.
void LVDispText(NMLVDISPINFOA* Info, const char* Text);
// A row's first column; Buffer holds LVROWTEXTMAX characters for a text built there.
constexpr std::size_t LVROWTEXTMAX = 512;
using LVROWTEXT = const char* (*)(int Row, char* Buffer);
// Type-ahead: answers LVN_ODFINDITEM (ANSI, or wide as Wine sends it) to the
// dialog with the first of Count rows from the start row on, wrapping, whose
// text begins with the typed text in any letter case, or -1. Nonzero when
// Header was that request (the dialog procedure returns it).
int LVAnswerFind(HWND Dialog, const NMHDR* Header, int Count, LVROWTEXT RowText);

// Sets the trackbar's range and puts the thumb at Value, drawn there even
// when Value equals the position the trackbar had before the range.
void TrackbarSetRange(HWND hwnd, int Min, int Max, int Value);
// Lets the user pick a folder, named whole; Directory holds MAX_PATH characters. Nonzero on a choice.
int SelectDirectory(HWND hwndOwner, WCHAR* Directory);
// The window's big icon from icon resource ID.
void DlgSetIcon(HWND hwnd, int ID);
