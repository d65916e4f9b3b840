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
constexpr UINT MIXMSG_CHANGE = WM_USER + 6;        // MIXCHANGE_..., change count: run that step on the receiver's thread
constexpr UINT MIXMSG_SKIPPED = WM_USER + 7;       // PLI, 0: its track is missing and the mixer went past it
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
// hands its steps over with MIXMSG_CHANGE and waits. The receiver refuses a
// step asked for on reads older than the last change, or while it is
// loading the passive player itself; the mixer thread asks again if it must.
constexpr int MIXCHANGE_NEXT = 0;    // MixNext
constexpr int MIXCHANGE_DONE = 1;    // MixFadeDone
constexpr int MIXCHANGE_CUT = 2;     // MixCut
constexpr int MIXCHANGE_ABORT = 3;   // MixFadeAbort
constexpr int MIXCHANGE_RELOAD = 4;  // MixReload
constexpr int MIXCHANGE_HELD = 5;    // the active player was stopped from its own window: as the user's STOP

// Registers the mixer with the library, which then tells it before it
// releases an item (the mixer refuses to hold items until then), and with
// the player registry, which tells it of a player started again. Forgets
// what the mixer held, as at process start.
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
// The missing-track prompt, asked again on Retry: 1 when the file is there.
// Its message loop runs what the program is sent meanwhile.
int MixCheckSong(HWND hwndParent, int WAmpInst, SONG* Song);
void MixPreparePLIPlay(int Idx, PLI* pli);
int MixLoadPLI(HWND Sender, int Idx, PLI* pli);
// The user queues pli: a missing track brings the prompt, and Cancel keeps
// what was queued (the playlist goes on from pli, so SKIP goes past it).
// While a mix runs the item waits until the change is finished, so the
// incoming player is never reloaded under the fade.
void MixSetNextPLI(HWND Sender, PLI* pli);
// The item the user will hear after the current one: the one waiting for a
// running mix to finish, else the next item.
PLI* MixGetQueuedPLI();
PLI* MixGetNextPLI();
void MixSkip(HWND Sender);
// The mixer chooses the next item itself: a missing track is skipped to its
// follower without asking, and listed (MIXMSG_SKIPPED, MixIsSkipped).
void MixChangeNextPLI(HWND Sender);
void MixChangeCurrentPLI();
void MixChangePlayers();
// Does nothing while a mix runs (that change completes as planned); while
// the passive player is gone or hangs it only ends the user's STOP, and the
// watchdog then cuts to the next item.
void MixNext(HWND Sender);
// The change to the next item at once, whatever the fade settings: the
// active player ended, vanished or hangs, or nothing plays while an item
// waits. Not after the user's STOP.
void MixCut(HWND Sender);
// The incoming player vanished or hangs during the mix: the change is
// called off and the outgoing track plays on; a request made during the mix
// is served now.
void MixFadeAbort();
// Loads the next item again into a passive player that lost it (started
// again, or stopped from its window).
void MixReload();
// The user's STOP: the active player stays stopped until the next change.
// Mixing starts so too, until the first NEXT.
void MixStopByUser();
int MixGetUserStopped();
// Counts the changes of players and items, the user's STOP and its end: a
// worker tells by it whether what it read still holds.
unsigned MixGetChangeCount();
// Whether the mixer went past pli because its track is missing; how many such items it holds.
bool MixIsSkipped(const PLI* pli);
int MixGetSkippedCount();
// Whether a track of the playlist plays: the current item's, or that of a
// current item released while it played.
int MixIsPlayingItem();
// Worker side: runs the step through the destination window, or here when
// there is none; Count is the change count its reads were made under.
// Returns the change count right after the step, or 0 when it changed nothing.
unsigned MixChangeFromWorker(int Change, unsigned Count);
// Receiver side of MIXMSG_CHANGE.
void MixOnChangeMsg(WPARAM Change, LPARAM Count);
void MixFadeStart();
void MixFadeDone(HWND Sender);
// Sets a player's volume as the user sees it; while levelling is on the
// player gets it scaled by the measured loudness of the track it holds.
void MixSetVolume(int Idx, int Value);
// Levelling on or off, at once for the tracks the players hold.
void MixSetLevel(int On);
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
