#include "fnthr.h"

#include "defs.h"
#include "dlghooks.h"
#include "fnlang.h"
#include "fnmix.h"
#include "string2.h"
#include "winamp.h"
#include "wm.h"

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
    int Fading;
    std::uint32_t ActPos;
    int ActStatus;
    std::uint32_t PasPos;  // the incoming position of the last step
    bool PasStill;         // it did not advance since the step before
} Pass;

constexpr int FADEDIR_DUO = 0;
constexpr int FADEDIR_IN = 1;
constexpr int FADEDIR_OUT = 2;
constexpr int FADEDIR_FINISH = 3;

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
    MixChangeFromWorker(MIXCHANGE_DONE);
}

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

// The active player stopped or vanished by itself while an item is current:
// its track ended early, its length was wrong, or it was closed or crashed.
bool ActiveLost()
{
    return MixIsPlayingItem() && !MixGetUserStopped() &&
           (Pass.ActStatus == PLAYSTAT_STOPPED || Pass.ActStatus == PLAYSTAT_NONE);
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
        FineTimer(interval == MIX_POLL_INTERVAL_MS);
        Sleep(interval);
    }
    FineTimer(false);
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
    if (!StateGetMixEnabled())
        return;
    if (Pass.Fading) {
        // The incoming player vanished or its track ended: its position would
        // hold the mix for ever. A paused one holds it until it moves again.
        const int pas = StateGetPasPlayer();
        if (WAmpInstGone(pas) || (Pass.PasStill && WAmpCmIsPlaying(pas) == PLAYSTAT_STOPPED)) {
            WAmpInstRevive(pas);
            Fade.FadeDir = FADEDIR_FINISH;
            Fade.OldFading = 0;
            Finish(StateGetActPlayer(), pas);
        }
        return;
    }
    if (Pass.ActStatus == PLAYSTAT_PLAYING &&
        static_cast<std::int32_t>(Pass.ActPos) > static_cast<std::int32_t>(StateGetBeatLast())) {
        MixChangeFromWorker(MIXCHANGE_NEXT);
    } else if (ActiveLost()) {
        // Started again here, not on the user-interface thread, which must not wait.
        WAmpInstRevive(StateGetActPlayer());
        WAmpInstRevive(StateGetPasPlayer());
        MixChangeFromWorker(MIXCHANGE_CUT);
    }
}

void FadeMixer()
{
    const int act = StateGetActPlayer();
    const int pas = StateGetPasPlayer();
    Pass.Fading = StateGetFading();
    Pass.ActPos = WAmpCmGetSongPos(act);
    Pass.ActStatus = WAmpCmIsPlaying(act);
    StateSetPos(Pass.ActPos);
    if (Pass.Fading) {
        const std::uint32_t P = WAmpCmGetSongPos(pas);
        Pass.PasStill = static_cast<std::int32_t>(P) <= static_cast<std::int32_t>(Pass.PasPos);
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
    if (status != Shown.OldStatus && status >= 0 && status < MAXI_PLAYSTATE) {
        WMSetText(StatusWindows.hwndEDSTATUS, strPlayState[status]);
        Shown.OldStatus = status;
    }
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
