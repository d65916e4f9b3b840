// Player control: the commands sent to the player programs by window
// messages, and the registry of running player windows.
//
// A player is addressed by its registration number NO (0, 1, 2, ...); player
// slot i of the mixer is registration i. A command to a number without a
// registered window sends nothing; WAmpCall then returns -1.
#pragma once

#include "platform.h"

#include <atomic>
#include <thread>

// WM_USER command codes (data in wParam, code in lParam).
constexpr int IPC_GETVERSION = 0;
constexpr int IPC_PLAYFILE = 100;
constexpr int IPC_DELETE = 101;
constexpr int IPC_STARTPLAY = 102;
constexpr int IPC_CHDIR = 103;
constexpr int IPC_ISPLAYING = 104;
constexpr int IPC_GETOUTPUTTIME = 105;
constexpr int IPC_JUMPTOTIME = 106;
constexpr int IPC_WRITEPLAYLIST = 120;
constexpr int IPC_SETPLAYLISTPOS = 121;
constexpr int IPC_SETVOLUME = 122;
constexpr int IPC_SETPANNING = 123;
constexpr int IPC_GETLISTLENGTH = 124;
constexpr int IPC_GETLISTPOS = 125;
constexpr int IPC_GETINFO = 126;
constexpr int IPC_GETEQDATA = 127;
constexpr int IPC_SETEQDATA = 128;
constexpr int IPC_SETSKIN = 200;
constexpr int IPC_GETSKIN = 201;
constexpr int IPC_EXECPLUG = 202;
constexpr int IPC_GETPLAYLISTFILE = 211;
constexpr int IPC_GETPLAYLISTTITLE = 212;

// WM_COMMAND identifiers.
constexpr int WINAMP_OPTIONS_PREFS = 40012;
constexpr int WINAMP_OPTIONS_AOT = 40019;
constexpr int WINAMP_FILE_PLAY = 40029;
constexpr int WINAMP_OPTIONS_EQ = 40036;
constexpr int WINAMP_OPTIONS_PLEDIT = 40040;
constexpr int WINAMP_HELP_ABOUT = 40041;
constexpr int WINAMP_BUTTON1 = 40044;
constexpr int WINAMP_BUTTON2 = 40045;
constexpr int WINAMP_BUTTON3 = 40046;
constexpr int WINAMP_BUTTON4 = 40047;
constexpr int WINAMP_BUTTON5 = 40048;
constexpr int WINAMP_VOLUMEUP = 40058;
constexpr int WINAMP_VOLUMEDOWN = 40059;
constexpr int WINAMP_FFWD5S = 40060;
constexpr int WINAMP_REW5S = 40061;
constexpr int WINAMP_BUTTON1_SHIFT = 40144;
constexpr int WINAMP_BUTTON2_SHIFT = 40145;
constexpr int WINAMP_BUTTON3_SHIFT = 40146;
constexpr int WINAMP_BUTTON4_SHIFT = 40147;
constexpr int WINAMP_BUTTON5_SHIFT = 40148;
constexpr int WINAMP_BUTTON1_CTRL = 40154;
constexpr int WINAMP_BUTTON2_CTRL = 40155;
constexpr int WINAMP_BUTTON3_CTRL = 40156;
constexpr int WINAMP_BUTTON4_CTRL = 40157;
constexpr int WINAMP_BUTTON5_CTRL = 40158;

// The window class every player program owns.
inline constexpr char WAMP_WINDOWCLASS[] = "WinAmp v1.x";
constexpr int MAXL_WAMPPATH = 260;

// ---- registry of player windows ----

// How long a command waits for a player's answer; a player that lets it
// pass is taken for hung and gets nothing more until it is started again
// or answers WAmpInstRevive's probe, which waits WAMP_PROBE_TIMEOUT_MS.
constexpr unsigned WAMP_CALL_TIMEOUT_MS = 300;
constexpr unsigned WAMP_PROBE_TIMEOUT_MS = 500;
// How long a started player has to show its window.
constexpr unsigned WAMP_REVIVE_WAIT_MS = 5000;
// A player that is gone again this soon after it was started again (or
// that showed no window) is started again only after a pause, doubling
// from WAMP_RESTART_PAUSE_MS up to WAMP_RESTART_PAUSE_MAX_MS.
constexpr unsigned WAMP_RESTART_GRACE_MS = 3000;
constexpr unsigned WAMP_RESTART_PAUSE_MS = 1000;
constexpr unsigned WAMP_RESTART_PAUSE_MAX_MS = 60000;

struct WAMPINST {
    std::atomic<HWND> Window;  // replaced when the player is started again
    unsigned Version;
    std::atomic<unsigned> ProcessID;
    int NO;
    WAMPINST* Next;
    std::atomic<int> Hung;  // a command went unanswered: nothing is sent to it
    HANDLE Process;         // the player's process when Tandem started it (ours to end), else null
    // Starting it again, in the background.
    std::thread Restarter;
    std::atomic<bool> Restarting;
    std::atomic<DWORD> LastStart;  // when the last restart ended
    int YoungDeaths;
};

struct WAMPINSTLIST {
    WAMPINST* First;
    WAMPINST* Last;
    std::atomic<WAMPINST*> Current;  // lookup hint, shared by three threads; read once per lookup
    int Instances;
};

extern WAMPINSTLIST WAmpInstList;
extern char WAmpPath[MAXL_WAMPPATH];
extern char SkinName[MAXL_WAMPPATH];

// Registers Wnd under the next number; returns the new count.
int WAmpInstAdd(HWND Wnd);
// Points a registration at Wnd and its process (a player started again keeps its number).
void WAmpInstSetWindow(WAMPINST* Inst, HWND Wnd);
// Null for a number outside 0 .. Instances - 1.
WAMPINST* WAmpInstGet(int NO);
// Waits for the restarts under way, then frees every registration; returns how many there were.
int WAmpInstFreeAll();
int WAmpGetInstances();
// Whether registration NO's player window has gone or hangs.
int WAmpInstGone(int NO);
// Starts registration NO's player again in the background when it has gone
// or hangs, and returns at once: 1 when it has a live window now. A hung
// player that answers the probe is kept; one that does not is ended when
// Tandem started it. Only a window of the started process is registered,
// then the hook restores the slot's settings.
int WAmpInstRevive(int NO);
// Waits for the restarts under way (call it from the thread that asks for them).
void WAmpInstWaitRevivals();
using WAMPREVIVEHOOK = void (*)(int NO);
void WAmpSetReviveHook(WAMPREVIVEHOOK Hook);
// Registers every "WinAmp v1.x" window not registered yet, in search order,
// so that no two numbers share a player; returns the total.
int WAmpCheck();
// Reads the open command of the player's file class, cuts off its document
// placeholder and starts it Instances times, minimised, each time waiting
// until the player takes input. Where no player is registered (the keys
// missing, or the command empty) it starts tplayer.exe beside this program
// instead. With neither, or a command that does not fit whole, it starts
// nothing and WAmpPath is empty. The command is read and started wide;
// WAmpPath holds it as ANSI text.
void WAmpRun(int Instances);
// Why the last WAmpRun's start failed: the system's error code, 0 when none did.
DWORD WAmpGetRunError();
// Closes the window of registration Idx; the registration stays. Returns Instances.
int WAmpKill(int Idx);
int WAmpGetProfileInt(const char* Section, const char* Key, int Default);
int WAmpWriteProfileString(const char* Section, const char* Key, const char* Value);

// ---- senders ----

// WM_USER with wParam Data and lParam Command; the player's answer, or -1
// for a number without window, a hung player, or one that does not answer
// within WAMP_CALL_TIMEOUT_MS.
int WAmpCall(int NO, unsigned Data, int Command);
// One WAmpCall per byte (sign-extended to 32 bits), then one with 0.
void WAmpCallStr(int NO, const char* Data, int Command);
// WM_COMMAND with wParam Command; nothing for a number without window.
void WAmpCall2(int NO, int Command);

// ---- WM_USER commands ----

unsigned WAmpCmGetVersion(int NO);
void WAmpCmPlayFile(int NO, const char* Name);
void WAmpCmDeletePlayList(int NO);
void WAmpCmStartPlay(int NO);
void WAmpCmChangeDir(int NO, const char* Dir);
int WAmpCmIsPlaying(int NO);
unsigned WAmpCmGetSongPos(int NO);
unsigned WAmpCmGetSongLen(int NO);
int WAmpCmJump(int NO, unsigned msec);
void WAmpCmWritePlayList(int NO);
void WAmpCmSetPlayListPos(int NO, int Pos);
void WAmpCmSetVolume(int NO, int Value);
void WAmpCmSetPanning(int NO, int Value);
int WAmpCmGetPlayListLength(int NO);
int WAmpCmGetPlayListPos(int NO);
int WAmpCmGetSRate(int NO);
int WAmpCmGetBRate(int NO);
int WAmpCmGetNCh(int NO);
int WAmpCmGetEQ(int NO, int Item);
int WAmpCmSetEQ(int NO, int Item);
void WAmpCmSetSkin(int NO, const char* Name);
// Returns SkinName, which a player in another process cannot fill.
char* WAmpCmGetSkin(int NO);
void WAmpCmExecPlugIn(int NO, const char* PlugIn);
// The player answers with an address in its own process, which is never
// read here: both send the command and return null.
const char* WAmpCmGetPlayListFile(int NO, int Item);
const char* WAmpCmGetPlayListTitle(int NO, int Item);

// ---- WM_COMMAND commands ----

void WAmpCmPrefs(int NO);
void WAmpCmAlwaysOnTop(int NO);
void WAmpCmLoadFile(int NO);
void WAmpCmEQWindow(int NO);
void WAmpCmPlayListWindow(int NO);
void WAmpCmAbout(int NO);
void WAmpCmVolumeUp(int NO);
void WAmpCmVolumeDown(int NO);
void WAmpCmForward5s(int NO);
void WAmpCmRewind5s(int NO);

// The five transport buttons, plain, with Shift and with Ctrl.
void WAmpBtPrev(int NO);
void WAmpBtPlay(int NO);
void WAmpBtPause(int NO);
void WAmpBtStop(int NO);
void WAmpBtNext(int NO);
void WAmpBtShPrev(int NO);
void WAmpBtShPlay(int NO);
void WAmpBtShPause(int NO);
void WAmpBtShStop(int NO);
void WAmpBtShNext(int NO);
void WAmpBtCtrlPrev(int NO);
void WAmpBtCtrlPlay(int NO);
void WAmpBtCtrlPause(int NO);
void WAmpBtCtrlStop(int NO);
void WAmpBtCtrlNext(int NO);
