#include "fnthr.h"

#include "defs.h"
#include "dlghooks.h"
#include "fnana.h"
#include "fnlang.h"
#include "fnmix.h"
#include "string2.h"
#include "winamp.h"
#include "wm.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace {

std::atomic<bool> ThreadsRunning{false};

// The running mix, kept by the mixer thread between passes.
struct {
    int VolAct;        // outgoing slot's level when the mix began
    int VolPas;        // incoming slot's level when the mix began
    int FadeDir;       // 1 fade-in, 0 duo, 2 fade-out, 3 finish
    std::int32_t FadeStart;     // incoming position at which the running phase began
    std::int32_t TheFadeStart;  // incoming position at which the whole mix began
    int OldFading;     // fading flag at the end of the previous pass
} Fade;

// What this pass of the mixer thread read itself, after the last change of
// players: the information thread may still store a position of the player
// that was active before.
struct {
    unsigned Change;  // the mixer's change count when the pass began; its reads hold while it stays
    int Fading;
    std::uint32_t ActPos;
    int ActStatus;
    std::uint32_t PasPos;  // the incoming position of the last step
    bool PasStill;         // it did not advance since the step before
    bool Finished;         // this pass finished the change: the players have swapped since the reads
} Pass;

// The watchdog's memory, kept by the mixer thread.
struct {
    std::uint32_t PlayedPos;  // the active player's last position read while it played
    unsigned PlayedChange;    // the change count of that read
    DWORD PlayingSince;       // since when it plays without a break; 0: it does not
    DWORD PlayedFor;          // how long it had played at that read
    int Failures;             // starts of the watchdog in a row whose track did not get to play
    unsigned AskChange;       // the change count when it last asked for a start
    unsigned OwnChange;       // the change count right after its last start
    DWORD NextLook;           // when the idle players are next asked how they are
} Watch;
// While the watchdog waits before its next start, the tick of that start;
// the status display tells it.
std::atomic<bool> WatchWaiting{false};
std::atomic<DWORD> WatchRetryAt{0};

constexpr int FADEDIR_DUO = 0;
constexpr int FADEDIR_IN = 1;
constexpr int FADEDIR_OUT = 2;
constexpr int FADEDIR_FINISH = 3;

// A track that plays less than this without a break could not play: a
// start of the watchdog counts as failed until one plays longer. After
// MAXI_WATCH_FAILURES failed starts in a row it waits before the next,
// doubling from WATCH_WAIT_MS up to WATCH_WAIT_MAX_MS.
constexpr DWORD WATCH_PLAYED_MS = 500;
constexpr int MAXI_WATCH_FAILURES = 3;
constexpr DWORD WATCH_WAIT_MS = 1000;
constexpr DWORD WATCH_WAIT_MAX_MS = 16000;
// A player that stopped this close to its track's length (which it tells in
// whole seconds) reached the end; one stopped earlier was stopped from its window.
constexpr std::uint32_t WATCH_END_SLACK_MS = 1000 + 2 * MIX_IDLE_INTERVAL_MS;
// How often the players the mixer does not read in every pass are asked how they are.
constexpr DWORD WATCH_LOOK_MS = 1000;
constexpr int MAXL_STATUSTEXT = 40;

// What the display showed last; shared with the rare pass on the
// user-interface thread, hence atomic. Start values make the first pass
// write every field.
struct {
    std::atomic<std::uint32_t> OldPos{static_cast<std::uint32_t>(-2)};
    std::atomic<std::uint32_t> OldRemain{static_cast<std::uint32_t>(-2)};
    std::atomic<int> OldFading{0};
    std::atomic<int> OldStatus{-1};
    std::atomic<int> OTestPlayerState{-1};
    std::atomic<int> OldBeat{-2};
} Shown;

void WriteTime(HWND hwnd, std::int32_t ms)
{
    char text[20];
    WMSetText(hwnd, strtimefrmt(ms, text, 1, 0));
}

// How far the incoming track has got into the running phase.
std::int32_t PhasePos(std::uint32_t P) { return static_cast<std::int32_t>(P) - Fade.FadeStart; }

// Thousandths of a phase of length Len, within 0..1000 for the volume, so a
// position short of the phase start (a player not yet moving) never gives a
// negative level. No division by a zero length.
std::int64_t PhasePerc(std::int32_t FadePos, std::uint32_t Len)
{
    if (Len == 0 || FadePos <= 0)
        return FadePos > 0 ? 1000 : 0;
    const std::int64_t perc = static_cast<std::int64_t>(FadePos) * 1000 / Len;
    return perc > 1000 ? 1000 : perc;
}

void ReportVolume(int Slot, int Volume) { MixSendMsg(MIXMSG_VOLUME, static_cast<WPARAM>(Slot), Volume); }

void SetAndReportVolume(int Slot, int Volume)
{
    MixSetVolume(Slot, Volume);
    ReportVolume(Slot, Volume);
}

bool PhaseOver(std::int32_t FadePos, std::uint32_t Len) { return static_cast<std::int64_t>(FadePos) > Len; }

void FadeIn(std::uint32_t P, int Pas)
{
    const std::uint32_t len = StateGetFadeLen();
    if (!StateGetFade() || !(StateGetFadeType() & FADE_IN_BIT)) {
        Fade.FadeDir = FADEDIR_DUO;
        return;
    }
    const std::int32_t pos = PhasePos(P);
    if (PhaseOver(pos, len)) {
        Fade.FadeStart += static_cast<std::int32_t>(len);
        Fade.FadeDir = FADEDIR_DUO;
        ReportVolume(Pas, Fade.VolPas);
    } else {
        SetAndReportVolume(Pas, static_cast<int>(Fade.VolPas * PhasePerc(pos, len) / 1000));
    }
}

void Duo(std::uint32_t P)
{
    const std::uint32_t len = StateGetDuoLen();
    if (!StateGetDuo()) {
        Fade.FadeDir = FADEDIR_OUT;
        return;
    }
    if (PhaseOver(PhasePos(P), len)) {
        Fade.FadeStart += static_cast<std::int32_t>(len);
        Fade.FadeDir = FADEDIR_OUT;
    }
}

void FadeOut(std::uint32_t P, int Act)
{
    const std::uint32_t len = StateGetFadeLen();
    if (!StateGetFade() || !(StateGetFadeType() & FADE_OUT_BIT)) {
        Fade.FadeDir = FADEDIR_FINISH;
        return;
    }
    const std::int32_t pos = PhasePos(P);
    if (PhaseOver(pos, len)) {
        ReportVolume(Act, 0);
        Fade.FadeDir = FADEDIR_FINISH;
    } else {
        SetAndReportVolume(Act, static_cast<int>(Fade.VolAct * (1000 - PhasePerc(pos, len)) / 1000));
    }
}

// The outgoing player is paused before its level is restored, so it never
// sounds again at full level on the way out.
void Finish(int Act, int Pas)
{
    MixStop(Act, 1);
    ReportVolume(Act, Fade.VolAct);
    SetAndReportVolume(Pas, Fade.VolPas);
    MixChangeFromWorker(MIXCHANGE_DONE, Pass.Change);
    Pass.Finished = true;
}

// Asks the user-interface thread for a step, on this pass's reads; the
// change count right after it, or 0 when it changed nothing.
unsigned Ask(int Change) { return MixChangeFromWorker(Change, Pass.Change); }

// Whether the active player plays within MIX_NEAR_START_MS of the mix start.
bool NearStart()
{
    return StateGetPlayStatus() == PLAYSTAT_PLAYING && static_cast<std::int32_t>(StateGetRemain()) < MIX_NEAR_START_MS;
}

// The mixer thread's pause is short while a mix runs or is near; the
// information thread's only while one is near, since a fade step needs just
// the incoming position, which the mixer thread reads itself.
unsigned MixerPollInterval() { return StateGetFading() || NearStart() ? MIX_POLL_INTERVAL_MS : MIX_IDLE_INTERVAL_MS; }
unsigned InfoPollInterval() { return NearStart() ? MIX_POLL_INTERVAL_MS : MIX_IDLE_INTERVAL_MS; }

// The default timer tick of Windows (about 15.6 ms) would make the short
// pause three times too long; fine timing is asked for only while it is used.
void FineTimer(bool On)
{
    static bool held = false;
    if (On == held)
        return;
    held = On;
    if (On)
        timeBeginPeriod(1);
    else
        timeEndPeriod(1);
}

// During a mix: an incoming player that vanished or hangs calls the change
// off (both players get their levels back, the outgoing plays on); an
// incoming track that ended, or an outgoing player that vanished or hangs,
// finishes it now.
void WatchMix(int Act, int Pas, bool ActGone)
{
    // A player that answers no position has stopped, vanished or hangs.
    if (static_cast<std::int32_t>(Pass.PasPos) < 0 && WAmpInstGone(Pas)) {
        WAmpInstRevive(Pas);
        ReportVolume(Act, Fade.VolAct);
        ReportVolume(Pas, Fade.VolPas);
        Ask(MIXCHANGE_ABORT);
        Fade.OldFading = 0;
    } else if (ActGone || (Pass.PasStill && WAmpCmIsPlaying(Pas) == PLAYSTAT_STOPPED)) {
        Fade.FadeDir = FADEDIR_FINISH;
        Fade.OldFading = 0;
        Finish(Act, Pas);
    }
}

// Every WATCH_LOOK_MS, the players not read in every pass: a passive one
// that lost the next item gets it again, and any that vanished or hangs,
// also one this look found hung, is started again. False while the passive
// player that holds the next item is not there.
bool WatchIdlePlayers(int Pas)
{
    const DWORD now = GetTickCount();
    const bool queued = StateGetNextPLI() != nullptr;
    if (static_cast<std::int32_t>(now - Watch.NextLook) >= 0) {
        Watch.NextLook = now + WATCH_LOOK_MS;
        if (queued && !WAmpInstGone(Pas) && WAmpCmIsPlaying(Pas) != PLAYSTAT_PAUSED)
            Ask(MIXCHANGE_RELOAD);
        for (int slot = 0; slot < MAXI_WINAMP; ++slot)
            if (slot != StateGetActPlayer() && WAmpInstGone(slot))
                WAmpInstRevive(slot);
    }
    if (!queued || !WAmpInstGone(Pas))
        return true;
    Watch.NextLook = now;  // it gets the item as soon as it is back
    return false;
}

// Whether the stopped active player ended by itself: it could not play
// (never seen playing, or only just: no sound device, no codec), or it
// stopped within reach of its track's end.
bool EndedByItself()
{
    if (Watch.PlayedChange != Pass.Change || Watch.PlayedFor < WATCH_PLAYED_MS)
        return true;
    const unsigned seconds = WAmpCmGetSongLen(StateGetActPlayer());
    return seconds > 0xFFFFFFFFu / 1000 || Watch.PlayedPos + WATCH_END_SLACK_MS >= seconds * 1000;
}

// Counts a start of the watchdog; false while it waits after too many failed
// ones. Only its own starts in a row count: one it asked for that has not
// come yet is asked again, and any other change since its last start ends
// the row, also a single one that took the place of a start it asked for
// (the user's NEXT with nothing queued). A player that vanished or hangs
// hands over without the wait: it tells nothing of whether tracks can play.
bool WatchMayStart(DWORD Now, bool ActGone)
{
    if (Watch.Failures > 0 && Pass.Change == Watch.AskChange)
        return true;
    if (Pass.Change != Watch.OwnChange) {
        Watch.Failures = 0;
        WatchWaiting = false;
    }
    if (Watch.Failures >= MAXI_WATCH_FAILURES && !ActGone) {
        if (!WatchWaiting) {
            const int doublings = std::min(Watch.Failures - MAXI_WATCH_FAILURES, 4);
            WatchRetryAt = Now + std::min(WATCH_WAIT_MS << doublings, WATCH_WAIT_MAX_MS);
            WatchWaiting = true;
        }
        if (static_cast<std::int32_t>(Now - WatchRetryAt) < 0)
            return false;
    }
    WatchWaiting = false;
    ++Watch.Failures;
    Watch.AskChange = Pass.Change;
    return true;
}

void WatchStart()
{
    if (const unsigned made = Ask(MIXCHANGE_CUT))
        Watch.OwnChange = made;
}

// The active player while no mix runs. One that ended, vanished or hangs
// while an item plays, and one that plays nothing while an item waits,
// hands over to the next item at once (played by itself when the passive
// player is not there); one stopped from its own window counts as the
// user's STOP, and the user's PAUSE and STOP stay.
void WatchActive(bool ActGone, bool PasHere)
{
    const DWORD now = GetTickCount();
    if (Pass.ActStatus == PLAYSTAT_PLAYING) {
        if (Watch.PlayingSince == 0 || Watch.PlayedChange != Pass.Change)
            Watch.PlayingSince = now != 0 ? now : 1;
        Watch.PlayedPos = Pass.ActPos;
        Watch.PlayedChange = Pass.Change;
        Watch.PlayedFor = now - Watch.PlayingSince;
        if (Watch.PlayedFor >= WATCH_PLAYED_MS) {
            Watch.Failures = 0;
            WatchWaiting = false;
        }
        return;
    }
    Watch.PlayingSince = 0;
    if (MixGetUserStopped() || (ActGone && !PasHere))
        return;
    if (MixIsPlayingItem() && !ActGone) {
        if (Pass.ActStatus != PLAYSTAT_STOPPED)
            return;
        if (!EndedByItself()) {
            Ask(MIXCHANGE_HELD);
            return;
        }
    } else if (!MixIsPlayingItem() && StateGetNextPLI() == nullptr) {
        return;
    }
    if (WatchMayStart(now, ActGone))
        WatchStart();
}

}  // namespace

void InitThreads()
{
    ThreadsRunning = true;
    MixerState.Threads.hInfo = std::thread(InfoThread, nullptr);
    MixerState.Threads.hMixer = std::thread(MixerThread, nullptr);
}

void DoneThreads()
{
    if (MixerState.Threads.hInfo.joinable())
        MixerState.Threads.hInfo.detach();
    if (MixerState.Threads.hMixer.joinable())
        MixerState.Threads.hMixer.detach();
}

void StopThreads()
{
    ThreadsRunning = false;
    if (MixerState.Threads.hInfo.joinable())
        MixerState.Threads.hInfo.join();
    if (MixerState.Threads.hMixer.joinable())
        MixerState.Threads.hMixer.join();
}

unsigned InfoThread(void*)
{
    while (ThreadsRunning) {
        ShowStatus();
        Sleep(InfoPollInterval());
    }
    return 0;
}

unsigned MixerThread(void*)
{
    while (ThreadsRunning) {
        MainMixer();
        const unsigned interval = MixerPollInterval();
        const bool mixing = interval == MIX_POLL_INTERVAL_MS;
        FineTimer(mixing);
        AnaHold(mixing);  // background measuring waits while a mix runs or is near
        Sleep(interval);
    }
    FineTimer(false);
    AnaHold(false);
    return 0;
}

void MainMixer()
{
    FadeMixer();
    SongMixer();
}

void ReadStatus()
{
    const int act = StateGetActPlayer();
    StateSetPos(WAmpCmGetSongPos(act));
    StateSetPlayStatus(WAmpCmIsPlaying(act));
    if (StateGetFading())
        StateSetPlayStatus(PLAYSTAT_FADING);
    StateSetRemain(StateGetBeatLast() - StateGetPos());
}

void SongMixer()
{
    if (!StateGetMixEnabled() || Pass.Finished || Pass.Change != MixGetChangeCount())
        return;
    const int act = StateGetActPlayer();
    const int pas = StateGetPasPlayer();
    // A vanished or hung player answers nothing; it is started again in the background.
    const bool actGone = Pass.ActStatus == PLAYSTAT_NONE;
    if (actGone)
        WAmpInstRevive(act);
    if (Pass.Fading) {
        WatchMix(act, pas, actGone);
        return;
    }
    const bool pasHere = WatchIdlePlayers(pas);
    if (Pass.ActStatus == PLAYSTAT_PLAYING &&
        static_cast<std::int32_t>(Pass.ActPos) > static_cast<std::int32_t>(StateGetBeatLast())) {
        if (pasHere)
            Ask(MIXCHANGE_NEXT);
    } else {
        WatchActive(actGone, pasHere);
    }
}

void FadeMixer()
{
    const int act = StateGetActPlayer();
    const int pas = StateGetPasPlayer();
    Pass.Change = MixGetChangeCount();
    Pass.Finished = false;
    Pass.Fading = StateGetFading();
    Pass.ActPos = WAmpCmGetSongPos(act);
    Pass.ActStatus = WAmpCmIsPlaying(act);
    StateSetPos(Pass.ActPos);
    if (Pass.Fading) {
        const std::uint32_t P = WAmpCmGetSongPos(pas);
        Pass.PasStill = Fade.OldFading && static_cast<std::int32_t>(P) <= static_cast<std::int32_t>(Pass.PasPos);
        Pass.PasPos = P;
        if (!Fade.OldFading) {
            Fade.VolAct = StateGetVolume(act);
            Fade.VolPas = StateGetVolume(pas);
            Fade.FadeDir = FADEDIR_IN;
            Fade.FadeStart = Fade.TheFadeStart = static_cast<std::int32_t>(StateGetBeatFirst());
        }
        if (Fade.FadeDir == FADEDIR_IN)
            FadeIn(P, pas);
        if (Fade.FadeDir == FADEDIR_DUO)
            Duo(P);
        if (Fade.FadeDir == FADEDIR_OUT)
            FadeOut(P, act);
        if (Fade.FadeDir == FADEDIR_FINISH)
            Finish(act, pas);
        const std::int64_t done = static_cast<std::int32_t>(P) - static_cast<std::int64_t>(Fade.TheFadeStart);
        const std::int64_t left = static_cast<std::int64_t>(StateGetTotalFadeLen()) - (done > 0 ? done : 0);
        StateSetFadeLeft(static_cast<std::uint32_t>(left > 0 ? left : 0));
    }
    // A finished change has cleared the flag: the next one begins afresh even
    // when it starts before this thread looks again.
    Fade.OldFading = Pass.Fading && Fade.FadeDir != FADEDIR_FINISH;
}

void FadeMixerReset()
{
    Fade = {};
    Pass = {};
    Watch = {};
    WatchWaiting = false;
}

void ShowStatus()
{
    ReadStatus();
    // The panel's fields exist once it is the destination window.
    if (MixGetDestWindow() == nullptr)
        return;
    ShowStatusActPlayer();
    ShowStatusTestPlayer();
    ShowStatusBeat();
}

void ShowStatusActPlayer()
{
    const std::uint32_t P = StateGetPos();
    const std::uint32_t oldPos = Shown.OldPos;
    if (P != oldPos) {
        const std::int32_t elapsed = static_cast<std::int32_t>(P) < 0 ? 0 : static_cast<std::int32_t>(P);
        if (P / 1000 != oldPos / 1000 && !StateGetSeeking())
            TBMSetPos(StatusWindows.hwndTBSONGPOS, 1, elapsed / 1000);
        WriteTime(StatusWindows.hwndEDELAPSED, elapsed);
        Shown.OldPos = P;
    }
    const auto R = static_cast<std::int32_t>(StateGetRemain());
    if (static_cast<std::uint32_t>(R) != Shown.OldRemain && !StateGetSeeking()) {
        const int fading = StateGetFading() != 0;
        if (fading != Shown.OldFading) {
            WMSetText(StatusWindows.hwndSTREMAINING, Shown.OldFading == 0 ? "Fade left" : "Remaining");
            Shown.OldFading = fading;
        }
        Shown.OldRemain = static_cast<std::uint32_t>(R);
        WriteTime(StatusWindows.hwndEDREMAINING, fading ? static_cast<std::int32_t>(StateGetFadeLeft()) : (R < 0 ? 0 : R));
    }
    const int status = StateGetPlayStatus();
    if (status < 0 || status >= MAXI_PLAYSTATE)
        return;
    // With the play state: the watchdog's wait before its next start, and the missing tracks skipped.
    const auto wait = static_cast<std::int32_t>(WatchRetryAt - GetTickCount());
    const int seconds = WatchWaiting && wait > 0 ? (wait + 999) / 1000 : 0;
    const int skipped = std::min(MixGetSkippedCount(), 999);
    const int shown = (seconds * 1000 + skipped) * MAXI_PLAYSTATE + status;
    if (shown == Shown.OldStatus)
        return;
    char text[MAXL_STATUSTEXT];
    if (seconds > 0)
        StrFormat(text, sizeof text, "Retry in %d s", seconds);
    else if (skipped > 0)
        StrFormat(text, sizeof text, "%s, %d missing", strPlayState[status], skipped);
    else
        StrCopy(text, strPlayState[status]);
    WMSetText(StatusWindows.hwndEDSTATUS, text);
    Shown.OldStatus = shown;
}

void ShowStatusTestPlayer()
{
    const int test = StateGetTest();
    const int state = WAmpCmIsPlaying(test);
    if (state != Shown.OTestPlayerState) {
        Shown.OTestPlayerState = state;
        DlgMainSetTestPlayerState(state != PLAYSTAT_STOPPED);
    }
    if (state != PLAYSTAT_PLAYING)
        return;
    const std::uint32_t pos = WAmpCmGetSongPos(test);
    char text[20];
    strtimefrmt(static_cast<std::int32_t>(pos), text, 1, 0);
    if (hwndTT.load() != nullptr) {
        DlgTTFreshTestPos(text);
        DlgTTBeatTest(pos);
    }
    if (hwndPLI.load() != nullptr)
        DlgPLIFreshTestPos(text);
}

void ShowStatusBeat()
{
    const std::uint32_t len = MixerState.Beat.lLen;
    if (len == 0)
        return;
    const int beat = static_cast<int>(((StateGetPos() - MixerState.Beat.lOffs) / len) % 2);
    if (beat != Shown.OldBeat) {
        BMSetCheck(StatusWindows.hwndRBBEAT1, beat == 1);
        BMSetCheck(StatusWindows.hwndRBBEAT2, beat == 0);
        Shown.OldBeat = beat;
    }
}

void ShowStatusReset()
{
    Shown.OldPos = static_cast<std::uint32_t>(-2);
    Shown.OldRemain = static_cast<std::uint32_t>(-2);
    Shown.OldFading = 0;
    Shown.OldStatus = -1;
    Shown.OTestPlayerState = -1;
    Shown.OldBeat = -2;
}
