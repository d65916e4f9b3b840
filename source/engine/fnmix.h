// Mixer control operations: load a playlist item into a player, start, pause
// and stop players, choose and queue the next item, start and finish a mix,
// swap the two main players, set volumes and panning, forward the player
// window buttons, and ask the user for a missing track.
//
// The control panel and the library windows call these on the user-interface
// thread; the mixer thread calls MixNext and MixFadeDone. Every change a
// window must show is reported to the destination window by a message.
#pragma once

#include "platform.h"

#include <cstdint>

struct PL;
struct PLI;
struct SONG;

// How long before the end of its file a track hands over at the latest: its
// player must still be playing when the mixer next reads its position.
constexpr std::uint32_t MIX_FILE_END_MARGIN_MS = 50;
// The longest fade or duo phase accepted, typed or from an item's override.
constexpr std::uint32_t MIX_MAX_LENGTH_MS = 3600000;

// Notifications to the destination window (wParam, lParam as noted).
constexpr UINT MIXMSG_STOPPED = WM_USER + 1;       // slot, 0
constexpr UINT MIXMSG_NEXTPLI = WM_USER + 2;       // next PLI or null, 0
constexpr UINT MIXMSG_CURRENTPLI = WM_USER + 3;    // current PLI or null, 0
constexpr UINT MIXMSG_ACTPLAYER = WM_USER + 4;     // new active slot, 0
constexpr UINT MIXMSG_CANTPLAY = WM_USER + 5;      // slot, 0
constexpr UINT MIXMSG_CHANGE = WM_USER + 6;        // MIXCHANGE_..., 0: run that step on the receiver's thread
constexpr UINT MIXMSG_VOLUME = WM_USER + 9;        // slot, volume 0..255; the receiver applies it
constexpr UINT MIXMSG_FADETYPE = WM_USER + 11;     // fade type, 0
constexpr UINT MIXMSG_FADE = WM_USER + 12;         // fade switch, 0
constexpr UINT MIXMSG_FADELEN = WM_USER + 13;      // fade length ms, 0
constexpr UINT MIXMSG_DUOLEN = WM_USER + 14;       // duo length ms, 0
constexpr UINT MIXMSG_DUO = WM_USER + 15;          // duo switch, 0

// Player-window control codes of MixControlIndWAmp.
constexpr int WACMEQ = 0;
constexpr int WACMAOT = 2;
constexpr int WACMPREFS = 3;
constexpr int WACMABOUT = 4;
constexpr int WACMVOL = 5;
constexpr int WACMPAN = 6;

// A change of item reads and writes playlists, so it always runs on the
// thread that owns the library (the destination window's): the mixer thread
// hands MixNext and MixFadeDone over with MIXMSG_CHANGE and waits.
constexpr int MIXCHANGE_NEXT = 0;
constexpr int MIXCHANGE_DONE = 1;
constexpr int MIXCHANGE_CUT = 2;

// Registers the mixer with the library, which then tells it before it
// releases an item; the mixer refuses to hold items until then.
void MixInit();
void MixSetDestWindow(HWND hwnd);
HWND MixGetDestWindow();
// Sends synchronously to the destination window; dropped while there is none.
LRESULT MixSendMsg(UINT Msg, WPARAM wParam, LPARAM lParam);

void MixPlay(int Idx);
void MixStop(int Idx, int Pause);
void MixStopAll(int Pause);
void MixKillAll();
SONG* MixLoadSong(int Idx, SONG* Song, unsigned StartPos);
int MixCheckSong(HWND hwndParent, int WAmpInst, SONG* Song);
void MixPreparePLIPlay(int Idx, PLI* pli);
int MixLoadPLI(HWND Sender, int Idx, PLI* pli);
// While a mix runs the item waits until the change is finished, so the
// incoming player is never reloaded under the fade.
void MixSetNextPLI(HWND Sender, PLI* pli);
// The item the user will hear after the current one: the one waiting for a
// running mix to finish, else the next item.
PLI* MixGetQueuedPLI();
PLI* MixGetNextPLI();
void MixSkip(HWND Sender);
void MixChangeNextPLI(HWND Sender);
void MixChangeCurrentPLI();
void MixChangePlayers();
// Does nothing while a mix runs: that change completes as planned.
void MixNext(HWND Sender);
// The change to the next item at once, whatever the fade settings: the
// active player stopped by itself or vanished.
void MixCut(HWND Sender);
// The user's STOP: the active player stays stopped until the next change.
void MixStopByUser();
int MixGetUserStopped();
// Whether a track of the playlist plays: the current item's, or that of a
// current item released while it played.
int MixIsPlayingItem();
// Worker side: runs the step through the destination window, or here when there is none.
void MixChangeFromWorker(int Change);
// Receiver side of MIXMSG_CHANGE.
void MixOnChangeMsg(WPARAM Change);
void MixFadeStart();
void MixFadeDone(HWND Sender);
void MixSetVolume(int Idx, int Value);
void MixSetPanning(int Idx, int Value);
void MixSetFadeType(int FadeType);
// Places the mix start one mix length before the current item's end, and
// never later than MIX_FILE_END_MARGIN_MS before the end of its file.
void MixRecalcBeat(PLI* pli);
void MixControlIndWAmp(int Code, int Idx, int Value, HWND Sender);
void MixControlWAmp(int Code, int Mask, int Value, HWND Sender);
int MixDriveUsed(const char* Root);
char MixGetFreeRemovableDrive();

// The library calls this before it releases a playlist item of pl (Alone: by
// itself; else with its playlist or the whole database). The next item is
// replaced by the one that followed it in the current playlist when it goes
// alone, else by null; while a mix runs that replacement waits for the end of
// the change, and the incoming track plays on. As the current item, the
// current item becomes null and the playing track plays on, no longer an item.
void MixDropPLI(PL* pl, const PLI* pli, bool Alone);
