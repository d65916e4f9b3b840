// The control panel (DLG_MAIN): the program's main window, a modal dialog
// for the whole run. Windows only.
#pragma once

#include "platform.h"

struct PLI;

extern HWND hwndMain;

INT_PTR CALLBACK DlgMainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

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
