// Driving another process's windows as a user would: buttons, menu
// commands, texts, trackbars, check boxes, list views (read through memory
// in the target process), message boxes and the common file dialogs.
//
// Controls are named by their dialog and control id. Every call that may
// make the target open a modal window (a message box, a file dialog) must
// be the posted variant: a sent message would not return until that window
// closed.
#pragma once

#include "platform.h"

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// The class of dialogs, message boxes and the common dialogs.
inline constexpr char kDialogClass[] = "#32770";

// Told of a window that takes too long to answer one message (hung); by
// default it is written to the error output, the tests make it a failure.
using HANGREPORT = void (*)(const std::string& What);
void SetHangReport(HANGREPORT Report);

// ---- controls ----

// A visible, enabled top-level dialog with the caption (any, for null)
// that passes test, the first in Z order; null after timeoutMs.
HWND WaitForDialog(const char* caption, int timeoutMs, const std::function<bool(HWND)>& test);
// The dialog's child with the id; null when there is none.
inline HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }
// The first descendant that passes test, or of the class (and the id,
// unless -1), in depth-first order; null when none.
HWND FindDescendant(HWND parent, const std::function<bool(HWND)>& test);
HWND FindDescendant(HWND parent, const char* className, int id = -1);

// Presses the button: BM_CLICK, which the button turns into BN_CLICKED to
// its parent. Returns once the parent handled it; false for no such control.
bool Click(HWND dialog, int id);
// The same, returning at once (for buttons that open a modal window).
bool ClickPosted(HWND dialog, int id);
// A menu or accelerator command: WM_COMMAND with the id, as the menu sends it.
void SendCommand(HWND window, int id);
inline void PostCommand(HWND window, int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// Resizes the window; its client area's width and height then.
SIZE Resize(HWND window, int width, int height);
// The control's rectangle in the dialog's client area: left, top, width, height.
std::vector<int> Placement(HWND dialog, int id);

// ---- texts ----

// WM_GETTEXT of any window, in any process.
std::string WindowText(HWND window);
inline std::string ControlText(HWND dialog, int id) { return WindowText(Control(dialog, id)); }
// WM_SETTEXT; an edit control tells its parent EN_CHANGE as after typing.
bool SetControlText(HWND dialog, int id, const std::string& text);
// The edit field of a drop-down combo box, set as typing would set it
// (the combo box tells its parent CBN_EDITCHANGE), then left (CBN_KILLFOCUS)
// unless Leave is false.
bool SetComboText(HWND dialog, int id, const std::string& text, bool leave = true);
// Polls the window's text until it equals expected or timeoutMs passed;
// returns the text last read, so a failing comparison shows it.
std::string WaitForText(HWND window, const std::string& expected, int timeoutMs);

// ---- trackbars, check boxes and radio buttons ----

// How far the trackbar's thumb stands from the middle of the control, in pixels.
int TrackbarThumbOffCentre(HWND trackbar);
// BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE; -1 for no such control.
int CheckState(HWND dialog, int id);
// Clicks the check box unless it already is as on says.
inline bool SetCheck(HWND dialog, int id, bool on) { return (CheckState(dialog, id) == BST_CHECKED) == on || Click(dialog, id); }

// Selects folder in the shell's folder browser. The browser reads the path
// only from its own memory, and one still filling its tree may drop the first
// request, so it is asked three times.
bool BrowseTo(HWND browser, const std::wstring& folder);

// ---- list views ----

int ListViewCount(HWND listView);
// The first columns cells of the row (column 0 is the item's own text), the
// cells of one column row by row, and the text of one cell; empty cells when
// they cannot be read.
std::vector<std::string> ListViewRow(HWND listView, int row, int columns);
std::vector<std::string> ListViewColumn(HWND listView, int column);
std::string ListViewText(HWND listView, int row, int column);
// The selected rows in order.
std::vector<int> ListViewSelection(HWND listView);
// Makes row the one selected and focused row, as a click on it does; the
// list view tells its parent LVN_ITEMCHANGED.
bool ListViewSelect(HWND listView, int row);
// Sets the LVIS_ bits of mask on the row (every row for -1) to those of
// state, as clicks with Ctrl held do; the list view tells its parent.
bool ListViewSetState(HWND listView, int row, UINT state, UINT mask);

// ---- message boxes and file dialogs ----

// The message box with the caption (any, when null), or null after
// timeoutMs. The dialog a box stands over is disabled and never matches.
inline HWND FindMessageBox(const char* caption, int timeoutMs) { return WaitForDialog(caption, timeoutMs, [](HWND) { return true; }); }
// The box's message (its first static control with text).
std::string MessageBoxText(HWND box);
// Presses the dialog's or box's button IDOK, IDCANCEL, IDRETRY, IDYES, IDNO,
// ...; true once the dialog is gone.
bool Answer(HWND dialog, int buttonId, int timeoutMs = 5000);

// The open or save dialog with the caption, or null after timeoutMs.
HWND FindFileDialog(const char* caption, int timeoutMs);
// Types the name into the dialog's file name field (a path, a folder, or a pattern).
bool SetFileDialogName(HWND dialog, const std::string& name);
// Types the name into the open or save dialog with the caption, once it is
// there (within findMs), and presses Open/Save; true once the dialog closed
// (a folder opens in the dialog instead, and a refused name brings a message box).
bool SubmitFileDialog(const char* caption, const std::string& name, int findMs = 20000);

}  // namespace e2e
