#include "fnmix.h"

#include "defs.h"
#include "fnana.h"
#include "fncomm.h"
#include "fndb.h"
#include "fnlang.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnsong.h"
#include "loudness.h"
#include "string2.h"
#include "winamp.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

std::atomic<HWND> hwndMixDestWnd{nullptr};

// The effective end of a current item that was released while it played:
// its track plays on and still mixes into the next item at that point.
std::atomic<std::uint32_t> DroppedCurEnd{0};
// The same for an incoming item released during its mix, until it is current.
std::uint32_t DroppedNextEnd = 0;

// An item queued while a mix runs, waiting for the change to finish.
std::atomic<bool> PendingSet{false};
std::atomic<PLI*> PendingNext{nullptr};

std::atomic<int> UserStopped{1};
std::atomic<unsigned> ChangeCount{0};
// The user-interface thread is loading the passive player; a change step
// sent to it meanwhile (Windows runs sent messages while it waits for a
// player) would start or swap a half-loaded player.
std::atomic<int> Loading{0};
// The change count right after the worker's step last served, when that step
// made a change; 0 when it made none. Only the mixer thread asks for steps.
std::atomic<unsigned> WorkerMade{0};

// Items whose track was missing when the mixer came to them, newest last.
constexpr int MAXI_SKIPPED = 64;
std::array<const PLI*, MAXI_SKIPPED> Skipped{};
std::atomic<int> SkippedCount{0};

// The measured loudness of the track each player holds (NaN: not known),
// kept by value, so a track deleted while loaded is never read again.
struct SLOTLOUDNESS {
    std::atomic<double> Lufs{std::numeric_limits<double>::quiet_NaN()};
};
std::array<SLOTLOUDNESS, MAXI_WINAMP> SlotLoudness;

void SendVolume(int Idx, int Value)
{
    const bool level = StateGetLevel() && Idx >= 0 && Idx < MAXI_WINAMP;
    WAmpCmSetVolume(Idx, level ? LoudLevelVolume(Value, SlotLoudness[Idx].Lufs, LOUD_TARGET) : Value);
}

constexpr int MAXL_MISSINGMSG = 1024;  // holds title, path, place and the fixed text whole

void SetBeatLights(const PLI* pli)
{
    const SONG* song = PLIGetSong(pli);
    const std::uint32_t beats = song != nullptr && song->Bounds.iNoBeats > 0 ? song->Bounds.iNoBeats : 1;
    MixerState.Beat.lOffs = PLIGetBeatOffs(pli);
    MixerState.Beat.lLen = PLIGetBeatLen(pli) / beats;
}

std::uint32_t CurrentItemEnd()
{
    const PLI* cur = StateGetCurPLI();
    return cur != nullptr ? PLIGetEnd(cur) : DroppedCurEnd.load();
}

// Reads the facts of a track added without reading them, keeping what the
// user entered when adding it (its place) and giving it a main part.
void ReadDeferredInfos(SONG* Song)
{
    char fileName[MAXL_PATH + 1];
    char place[MAXL_PLACE + 1];
    StrCopy(fileName, Song->Desc.cFileName);
    StrCopy(place, Song->Desc.cPlace);
    ReadSongInfos(fileName, Song, 0);
    StrCopy(Song->Desc.cPlace, place);
    if (Song->Bounds.timMain.lStart == 0 && Song->Bounds.timMain.lEnd == 0)
        Song->Bounds.timMain.lEnd = Song->General.lLength;
    Song->General.bInfoNotRead = 0;
}

// Whether the track's file is there; a track added without its facts gets them now.
bool Present(SONG* Song)
{
    if (Song == nullptr || !FileExists(SongGetFileName(Song)))
        return false;
    if (Song->General.bInfoNotRead)
        ReadDeferredInfos(Song);
    return true;
}

// The mixer holds items only while the library tells it before it releases one.
void CheckDropHook()
{
    if (PLGetDropHook() != MixDropPLI) {
        std::fputs("Tandem: the mixer holds playlist items but MixInit was never called\n", stderr);
        std::abort();
    }
}

void Pend(PLI* pli)
{
    CheckDropHook();
    PendingNext = pli;
    PendingSet = true;
}

void ForgetSkipped(const PLI* pli)
{
    const int count = SkippedCount;
    const auto end = Skipped.begin() + count;
    const auto found = std::find(Skipped.begin(), end, pli);
    if (found == end)
        return;
    std::copy(found + 1, end, found);
    SkippedCount = count - 1;
}

void NoteSkipped(PLI* pli)
{
    ForgetSkipped(pli);
    int count = SkippedCount;
    if (count == MAXI_SKIPPED) {
        std::copy(Skipped.begin() + 1, Skipped.end(), Skipped.begin());
        --count;
    }
    Skipped[static_cast<std::size_t>(count)] = pli;
    SkippedCount = count + 1;
    MixSendMsg(MIXMSG_SKIPPED, reinterpret_cast<WPARAM>(pli), 0);
}

// The item the mixer queues itself, with no one to ask: pli, or when its
// track is missing the first following one that is there (drawn at random
// with shuffle), within one round of the playlist. Each missing one is
// listed. Leaving, an item about to be released, is passed over.
PLI* FirstPresent(PLI* pli, const PLI* Leaving = nullptr)
{
    PL* pl = MainGetCurrentPL();
    for (int tries = PLGetCount(pl) + 1; pli != nullptr && tries > 0; --tries) {
        if (pli != Leaving && Present(PLIGetSong(pli))) {
            ForgetSkipped(pli);
            return pli;
        }
        if (pli != Leaving)
            NoteSkipped(pli);
        pli = StateGetShuffle() && PLGetCount(pl) > 0 ? PLGetRandomPLI(pl) : PLGetFollower(pl, pli, StateGetRepeat());
    }
    return nullptr;
}

// Queues pli into the passive player (null: nothing, leaving the player as
// it is); during a mix it waits for the change to finish instead, so the
// incoming player is never reloaded.
void Place(PLI* pli)
{
    CheckDropHook();
    if (StateGetFading()) {
        Pend(pli);
    } else {
        ++Loading;
        StateSetNextPLI(pli);
        if (pli != nullptr) {
            MixLoadSong(StateGetPasPlayer(), PLIGetSong(pli), PLIGetStart(pli));
            MixPreparePLIPlay(StateGetPasPlayer(), pli);
        }
        MixRecalcBeat(pli);
        --Loading;
    }
    if (pli != nullptr)
        DBSetCurrentPLI(MainGetDB(), pli);
    MixSendMsg(MIXMSG_NEXTPLI, reinterpret_cast<WPARAM>(pli), 0);
}

// Whether the passive player holds the next item, paused at its start. One
// that lost it is loaded again; one that vanished or hangs is not ready.
bool PassiveReady()
{
    const int state = WAmpCmIsPlaying(StateGetPasPlayer());
    if (state == PLAYSTAT_PAUSED)
        return true;
    if (state == PLAYSTAT_NONE)
        return false;
    Place(FirstPresent(StateGetNextPLI()));
    return StateGetNextPLI() != nullptr && WAmpCmIsPlaying(StateGetPasPlayer()) == PLAYSTAT_PAUSED;
}

bool DriveOfFile(const SONG* Song, const char* Root)
{
    const char* file = SongGetFileName(Song);
    return Song != nullptr && file[0] != '\0' && file[1] == ':' &&
           std::toupper(static_cast<unsigned char>(file[0])) == std::toupper(static_cast<unsigned char>(Root[0]));
}

// A player started again in its slot gets the slot's level and balance.
void RestoreSlot(int Slot)
{
    if (Slot >= MAXI_WINAMP)
        return;
    SendVolume(Slot, StateGetVolume(Slot));
    WAmpCmSetPanning(Slot, StateGetPanning(Slot));
}

}  // namespace

void MixInit()
{
    PLSetDropHook(MixDropPLI);
    WAmpSetReviveHook(RestoreSlot);
    DroppedCurEnd = 0;
    DroppedNextEnd = 0;
    PendingSet = false;
    PendingNext = nullptr;
    UserStopped = 1;
    SkippedCount = 0;
}

void MixSetDestWindow(HWND hwnd) { hwndMixDestWnd = hwnd; }

HWND MixGetDestWindow() { return hwndMixDestWnd; }

LRESULT MixSendMsg(UINT Msg, WPARAM wParam, LPARAM lParam)
{
    const HWND dest = hwndMixDestWnd;
    return dest != nullptr ? SendMessageA(dest, Msg, wParam, lParam) : 0;
}

void MixPlay(int Idx)
{
    switch (WAmpCmIsPlaying(Idx)) {
    case 0:
        WAmpBtPlay(Idx);
        break;
    case 1:
        break;
    case 3:
        WAmpBtPause(Idx);
        break;
    default:
        MixSendMsg(MIXMSG_CANTPLAY, static_cast<WPARAM>(Idx), 0);
        break;
    }
}

void MixStop(int Idx, int Pause)
{
    if (!Pause)
        WAmpBtStop(Idx);
    else if (WAmpCmIsPlaying(Idx) == 1)
        WAmpBtPause(Idx);
    MixSendMsg(MIXMSG_STOPPED, static_cast<WPARAM>(Idx), 0);
}

void MixStopAll(int Pause)
{
    for (int i = 0; i < MAXI_WINAMP; ++i)
        MixStop(i, Pause);
}

void MixKillAll()
{
    for (int i = 0; i < MAXI_WINAMP; ++i)
        WAmpKill(i);
}

SONG* MixLoadSong(int Idx, SONG* Song, unsigned StartPos)
{
    WAmpCmSetVolume(Idx, 0);
    WAmpBtPause(Idx);
    WAmpBtStop(Idx);
    WAmpCmDeletePlayList(Idx);
    if (Song != nullptr) {
        WAmpCmPlayFile(Idx, SongGetFileName(Song));
        WAmpBtPlay(Idx);
        WAmpBtPause(Idx);
    }
    if (Idx >= 0 && Idx < MAXI_WINAMP)
        SlotLoudness[Idx].Lufs = AnaGetLoudness(Song);
    SendVolume(Idx, StateGetVolume(Idx));
    WAmpCmJump(Idx, StartPos);
    return Song;
}

int MixCheckSong(HWND hwndParent, int, SONG* Song)
{
    if (Song == nullptr)
        return 0;
    while (!Present(Song)) {
        char msg[MAXL_MISSINGMSG];
        const char drive = Song->General.bOnRemovable ? MixGetFreeRemovableDrive() : 0;
        SongFormatMissing(Song, drive, msg, sizeof msg);
        if (MessageBoxA(hwndParent, msg, strWarning, MB_ICONWARNING | MB_RETRYCANCEL) != IDRETRY)
            return 0;
    }
    return 1;
}

void MixPreparePLIPlay(int Idx, PLI* pli)
{
    if (pli == nullptr)
        return;
    if (pli->Option.iFade != 2) {
        StateSetFade(pli->Option.iFade != 0);
        MixSendMsg(MIXMSG_FADE, static_cast<WPARAM>(StateGetFade()), 0);
    }
    if (pli->Option.iDuo != 2) {
        StateSetDuo(pli->Option.iDuo != 0);
        MixSendMsg(MIXMSG_DUO, static_cast<WPARAM>(StateGetDuo()), 0);
    }
    if (pli->UpdFlag.bVolume) {
        const int volume = std::clamp(pli->Override.iVolume, 0, MAX_VOLUME);
        MixSetVolume(Idx, volume);
        MixSendMsg(MIXMSG_VOLUME, static_cast<WPARAM>(Idx), volume);
    }
    if (pli->UpdFlag.bFade) {
        StateSetFadeType(pli->Override.iFadeType);
        MixSendMsg(MIXMSG_FADETYPE, static_cast<WPARAM>(pli->Override.iFadeType), 0);
    }
    if (pli->UpdFlag.bLengths) {
        // A damaged file's length must not make a mix that never ends.
        const std::uint32_t fadeLen = std::min(pli->Override.lFadeLen, MIX_MAX_LENGTH_MS);
        const std::uint32_t duoLen = std::min(pli->Override.lDuoLen, MIX_MAX_LENGTH_MS);
        StateSetFadeLen(fadeLen);
        StateSetDuoLen(duoLen);
        MixSendMsg(MIXMSG_FADELEN, fadeLen, 0);
        MixSendMsg(MIXMSG_DUOLEN, duoLen, 0);
    }
    MixRecalcBeat(StateGetNextPLI());
}

int MixLoadPLI(HWND Sender, int Idx, PLI* pli)
{
    if (pli == nullptr || !MixCheckSong(Sender, Idx, PLIGetSong(pli)))
        return 0;
    MixLoadSong(Idx, PLIGetSong(pli), PLIGetStart(pli));
    MixPreparePLIPlay(Idx, pli);
    return 1;
}

void MixSetNextPLI(HWND Sender, PLI* pli)
{
    // The prompt's message loop may start or finish a change meanwhile;
    // what to do with the item is decided after it.
    if (pli != nullptr && !MixCheckSong(Sender, StateGetPasPlayer(), PLIGetSong(pli))) {
        DBSetCurrentPLI(MainGetDB(), pli);
        return;
    }
    ForgetSkipped(pli);
    Place(pli);
}

PLI* MixGetQueuedPLI() { return PendingSet ? PendingNext.load() : StateGetNextPLI(); }

PLI* MixGetNextPLI()
{
    PL* pl = MainGetCurrentPL();
    if (StateGetShuffle() && PLGetCount(pl) > 0)
        return PLGetRandomPLI(pl);
    return PLGetFollower(pl, PLGetCurrentPLI(pl), StateGetRepeat());
}

void MixSkip(HWND Sender) { MixSetNextPLI(Sender, MixGetNextPLI()); }

void MixChangeNextPLI(HWND)
{
    PLI* pli = PendingSet.exchange(false) ? PendingNext.exchange(nullptr) : MixGetNextPLI();
    Place(FirstPresent(pli));
}

void MixChangeCurrentPLI()
{
    PLI* cur = StateGetNextPLI();
    StateSetCurPLI(cur);
    DroppedCurEnd = cur == nullptr ? DroppedNextEnd : 0;
    DroppedNextEnd = 0;
    PLMarkPlayed(MainGetCurrentPL(), cur);
    StateSetLen(PLIGetLength(cur));
    SetBeatLights(cur);
    MixSendMsg(MIXMSG_CURRENTPLI, reinterpret_cast<WPARAM>(cur), 0);
}

void MixChangePlayers()
{
    const int act = StateGetActPlayer();
    StateSetActPlayer(StateGetPasPlayer());
    StateSetPasPlayer(act);
    MixSendMsg(MIXMSG_ACTPLAYER, static_cast<WPARAM>(StateGetActPlayer()), 0);
}

void MixNext(HWND Sender)
{
    if (StateGetFading())
        return;
    // Ending a STOP is a change: a player stopped from its window is then no
    // longer taken for held, and the watchdog cuts to the item when this
    // NEXT cannot (the passive player gone or hung).
    if (UserStopped.exchange(0))
        ++ChangeCount;
    if (StateGetNextPLI() == nullptr) {
        MixFadeDone(Sender);
        return;
    }
    if (!PassiveReady())
        return;
    ++ChangeCount;
    const int pas = StateGetPasPlayer();
    if (StateGetFade() && (StateGetFadeType() & FADE_IN_BIT))
        WAmpCmSetVolume(pas, 0);
    MixPlay(pas);
    if (StateGetFade() || StateGetDuo())
        MixFadeStart();
    else
        MixFadeDone(Sender);
}

void MixCut(HWND Sender)
{
    if (StateGetFading() || UserStopped)
        return;
    if (StateGetNextPLI() != nullptr) {
        if (!PassiveReady()) {
            // The passive player is gone or hangs: the active one, which
            // plays nothing, takes the item rather than wait for it.
            if (WAmpCmIsPlaying(StateGetActPlayer()) == PLAYSTAT_NONE)
                return;
            MixChangePlayers();
            Place(FirstPresent(StateGetNextPLI()));
            if (StateGetNextPLI() == nullptr)
                return;
        }
        MixPlay(StateGetPasPlayer());
    }
    MixFadeDone(Sender);
}

void MixFadeAbort()
{
    if (!StateGetFading())
        return;
    ++ChangeCount;
    StateSetFading(0);
    if (PendingSet.exchange(false))
        Place(FirstPresent(PendingNext.exchange(nullptr)));
}

void MixReload()
{
    if (!StateGetFading() && StateGetNextPLI() != nullptr)
        PassiveReady();
}

void MixStopByUser()
{
    UserStopped = 1;
    ++ChangeCount;
    WAmpBtStop(StateGetActPlayer());
}

int MixGetUserStopped() { return UserStopped; }

unsigned MixGetChangeCount() { return ChangeCount; }

bool MixIsSkipped(const PLI* pli)
{
    const auto end = Skipped.begin() + SkippedCount;
    return pli != nullptr && std::find(Skipped.begin(), end, pli) != end;
}

int MixGetSkippedCount() { return SkippedCount; }

int MixIsPlayingItem() { return StateGetCurPLI() != nullptr || DroppedCurEnd != 0; }

unsigned MixChangeFromWorker(int Change, unsigned Count)
{
    WorkerMade = 0;
    if (MixGetDestWindow() != nullptr)
        MixSendMsg(MIXMSG_CHANGE, static_cast<WPARAM>(Change), static_cast<LPARAM>(Count));
    else
        MixOnChangeMsg(static_cast<WPARAM>(Change), static_cast<LPARAM>(Count));
    return WorkerMade.exchange(0);
}

void MixOnChangeMsg(WPARAM Change, LPARAM Count)
{
    if (Loading || static_cast<unsigned>(Count) != ChangeCount)
        return;
    const HWND sender = MixGetDestWindow();
    switch (Change) {
    case MIXCHANGE_NEXT: MixNext(sender); break;
    case MIXCHANGE_DONE: MixFadeDone(sender); break;
    case MIXCHANGE_CUT: MixCut(sender); break;
    case MIXCHANGE_ABORT: MixFadeAbort(); break;
    case MIXCHANGE_RELOAD: MixReload(); break;
    case MIXCHANGE_HELD: UserStopped = 1; break;
    default: break;
    }
    if (ChangeCount != static_cast<unsigned>(Count))
        WorkerMade = ChangeCount.load();
}

void MixFadeStart() { StateSetFading(1); }

// The mix is over once the players have swapped: the new passive player is
// free to take the next item.
void MixFadeDone(HWND Sender)
{
    StateSetMixEnabled(0);
    ++ChangeCount;
    MixStop(StateGetActPlayer(), 1);
    MixChangeCurrentPLI();
    MixChangePlayers();
    StateSetFading(0);
    MixChangeNextPLI(Sender);
    UserStopped = 0;  // the new active player plays
    StateSetMixEnabled(1);
}

void MixSetVolume(int Idx, int Value)
{
    SendVolume(Idx, Value);
    StateSetVolume(Idx, Value);
}

void MixSetLevel(int On)
{
    StateSetLevel(On);
    for (int i = 0; i < MAXI_WINAMP; ++i)
        SendVolume(i, StateGetVolume(i));
}

void MixSetPanning(int Idx, int Value)
{
    WAmpCmSetPanning(Idx, Value);
    StateSetPanning(Idx, Value);
}

void MixSetFadeType(int FadeType) { StateSetFadeType(FadeType); }

namespace {

// A player stops by itself at the end of its file, and a change starts only
// while the outgoing player plays: a mix-start position at the very end of
// the file would never be passed, and the playlist would stop unattended.
std::uint32_t BeforeFileEnd(std::uint32_t Last)
{
    const SONG* song = PLIGetSong(StateGetCurPLI());
    const std::uint32_t length = song != nullptr ? song->General.lLength : 0;
    if (length <= MIX_FILE_END_MARGIN_MS)
        return Last;
    const std::uint32_t latest = length - MIX_FILE_END_MARGIN_MS;
    return static_cast<std::int32_t>(Last) > static_cast<std::int32_t>(latest) ? latest : Last;
}

}  // namespace

void MixRecalcBeat(PLI* pli)
{
    StateSetBeatFirst(PLIGetStart(pli));
    StateSetBeatLast(BeforeFileEnd(CurrentItemEnd() - StateGetTotalFadeLen()));
}

void MixControlIndWAmp(int Code, int Idx, int Value, HWND)
{
    switch (Code) {
    case WACMEQ:
        WAmpCmEQWindow(Idx);
        break;
    case WACMAOT:
        WAmpCmAlwaysOnTop(Idx);
        break;
    case WACMPREFS:
        WAmpCmPrefs(Idx);
        break;
    case WACMABOUT:
        WAmpCmAbout(Idx);
        break;
    case WACMVOL:
        SendVolume(Idx, Value);
        break;
    case WACMPAN:
        WAmpCmSetPanning(Idx, Value);
        break;
    default:
        break;
    }
}

void MixControlWAmp(int Code, int Mask, int Value, HWND Sender)
{
    if (Mask == 0) {
        MixControlIndWAmp(Code, StateGetActPlayer(), Value, Sender);
        return;
    }
    auto bits = static_cast<unsigned>(Mask);
    for (int i = 0; bits != 0; ++i, bits >>= 1)
        if (bits & 1)
            MixControlIndWAmp(Code, i, Value, Sender);
}

int MixDriveUsed(const char* Root)
{
    if (Root == nullptr || Root[0] == '\0')
        return 0;
    return DriveOfFile(PLIGetSong(StateGetCurPLI()), Root) || DriveOfFile(PLIGetSong(StateGetNextPLI()), Root);
}

char MixGetFreeRemovableDrive()
{
    constexpr DWORD kRootsSize = 130;
    char roots[kRootsSize + 2] = {};
    const DWORD length = GetLogicalDriveStringsA(kRootsSize, roots);
    if (length == 0 || length > kRootsSize)
        return 0;
    for (const char* root = roots; *root != '\0'; root += std::char_traits<char>::length(root) + 1)
        if (DriveRemovable(root) && !MixDriveUsed(root))
            return static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    return 0;
}

void MixDropPLI(PL* pl, const PLI* pli, bool Alone)
{
    if (pli == nullptr)
        return;
    ForgetSkipped(pli);
    PLI* follower = Alone ? PLGetFollower(pl, pli, StateGetRepeat()) : nullptr;
    if (follower == pli)
        follower = nullptr;
    // The playlist goes on from what takes the item's place, so SKIP does not start over.
    if (follower != nullptr && PLGetCurrentPLI(pl) == pli)
        PLSetCurrentPLI(pl, follower);
    if (PendingSet && PendingNext == pli)
        PendingNext = follower;
    if (StateGetNextPLI() == pli) {
        StateSetNextPLI(nullptr);
        if (StateGetFading()) {
            // The item is already playing in: it plays on and becomes current
            // at the end of the change, which queues what followed it.
            DroppedNextEnd = PLIGetEnd(pli);
            if (!PendingSet)
                Pend(follower);
            MixSendMsg(MIXMSG_NEXTPLI, reinterpret_cast<WPARAM>(MixGetQueuedPLI()), 0);
        } else {
            PLI* next = FirstPresent(follower, pli);
            if (next == nullptr)
                MixLoadSong(StateGetPasPlayer(), nullptr, 0);  // the released item's track must not play
            Place(next);
        }
    }
    if (StateGetCurPLI() == pli) {
        DroppedCurEnd = PLIGetEnd(pli);
        StateSetCurPLI(nullptr);
        MixerState.Beat.lLen = 0;
        MixSendMsg(MIXMSG_CURRENTPLI, 0, 0);
    }
}
