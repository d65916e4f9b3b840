// The control panel (DLG_MAIN): the program's main window, a modal dialog
// for the whole run. Windows only.
#pragma once

#include "platform.h"

struct PLI;


INT_PTR CALLBACK DlgMainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A second start of the program sends the control panel WM_COPYDATA with
// this tag and a terminated database path; the panel opens that database
// (once no dialog of it is open) and answers whether it took the request.
inline constexpr ULONG_PTR MAIN_COPYDATA_OPENDB = 0x54444230;
inline constexpr LRESULT MAIN_OPENDB_REFUSED = 0;  // not the full path of an existing file
inline constexpr LRESULT MAIN_OPENDB_TAKEN = 1;
inline constexpr LRESULT MAIN_OPENDB_WAIT = 2;  // another request waits: ask again later
// Opens the database at Path in place of the current one, unless a dialog
// that may hold library records is open (then it says so).
void MainOpenDatabase(const char* Path);

void DlgMainSetVolume(int Idx, int Value, int Redraw, int Store);
void DlgMainSetCommonVolume(int CommValue);
void DlgMainSetPanning(int Idx, int Value, int Redraw, int Store);
void DlgMainSetCommonPanning(int CommValue);
void DlgMainSetFade(int Value, int Update);
void DlgMainSetDuo(int Value, int Update);
void DlgMainSetFadeType(int FadeType, int Update);
void DlgMainSetFadeLen(unsigned Value, int Update);
void DlgMainSetDuoLen(unsigned Value, int Update);
void DlgMainSetCurrentSong(PLI* Song);
void DlgMainSetNextSong(PLI* pli);
void DlgMainSetActivePlayer(int Value);
void DlgMainSetEDREMAININGTRACK(int Remaining);
void DlgMainSetEDTOTAL(unsigned Time);
void DlgMainSetEDREMAINING(unsigned Pos);
void DlgMainSetSTREMAINING(const char* Title);
void DlgMainFreshTotal();
void DlgMainAnalysed();
// Window setup and the handlers behind the window procedure.
void DlgMainGetHWNDs();
void DlgMainInit();
void DlgMainInitButtons();
void DlgMainMMProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void DlgMainHScroll(WPARAM wParam, LPARAM lParam);
void DlgMainVScroll(WPARAM wParam, LPARAM lParam);
void DlgMainEditChangeComboBox(WPARAM wParam, LPARAM lParam);
void DlgMainSelChangeComboBox(WPARAM wParam, LPARAM lParam);
void DlgMainToggleCommonPlayer(HWND hwnd);
void DlgMainSkipNext();
void DlgMainNext();
void DlgMainPause();
