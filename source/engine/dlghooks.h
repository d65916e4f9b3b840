// What the worker threads need from the windows. The window modules define
// these (the control panel, the track times dialog, the playlist item
// editor); the native test support defines stand-ins.
#pragma once

#include "platform.h"

#include <atomic>

// The control panel's fields that the status display writes. They are set
// before the panel becomes the mixer's destination window, and the display
// writes them only once there is one.
struct STATUSWINDOWS {
    HWND hwndTBSONGPOS;
    HWND hwndEDELAPSED;
    HWND hwndSTREMAINING;
    HWND hwndEDREMAINING;
    HWND hwndEDSTATUS;
    HWND hwndRBBEAT1;
    HWND hwndRBBEAT2;
};
extern STATUSWINDOWS StatusWindows;

// The open track times dialog and playlist item editor; null while closed.
extern std::atomic<HWND> hwndTT;
extern std::atomic<HWND> hwndPLI;

void DlgMainSetTestPlayerState(int Playing);
void DlgTTFreshTestPos(const char* Pos);
void DlgTTBeatTest(unsigned Pos);
void DlgPLIFreshTestPos(const char* PosS);
