#include "defs.h"

#include "string2.h"

MIXERSTATE MixerState;

namespace {

template <class T>
void Zero(std::atomic<T>& field)
{
    field.store(T{});
}

template <class T, std::size_t N>
void Zero(std::array<std::atomic<T>, N>& fields)
{
    for (auto& field : fields)
        field.store(T{});
}

template <class... Fields>
void ZeroAll(Fields&... fields)
{
    (Zero(fields), ...);
}

bool IsIndex(int Idx) { return Idx >= 0 && Idx <= SLOT_COMMON; }

}  // namespace

void StateReset()
{
    MIXERSTATE& s = MixerState;
    s.cRecent[0] = '\0';
    s.Beat.iBeat = 0;
    s.Status.bPlayingIntro = 0;
    ZeroAll(s.Beat.lOffs, s.Beat.lLen, s.Beat.lLastPos, s.Beat.lFirstPos, s.ppliCurSong, s.ppliNextSong);
    ZeroAll(s.Options.bRepeat, s.Options.bShuffle, s.Options.bEffect, s.Options.bDuo, s.Options.bFade,
            s.Options.bSubFade, s.Options.bIntro, s.Options.bBeats, s.Options.bLevel);
    ZeroAll(s.FadeVolPan.iFadeType, s.FadeVolPan.lFadeLen, s.FadeVolPan.lFadeLeft, s.FadeVolPan.lDuoLen,
            s.FadeVolPan.lTotalFadeLen, s.FadeVolPan.iVolume, s.FadeVolPan.iPanning, s.FadeVolPan.bVolRel,
            s.FadeVolPan.bPanRel);
    ZeroAll(s.Status.bTesting, s.Status.bFading, s.Status.bStart, s.Status.bMixEnabled, s.Status.bSeeking,
            s.Status.iActPlayer, s.Status.iPasPlayer, s.Status.iActEff, s.Status.iPasEff, s.Status.iTest,
            s.Status.iPlayStat, s.Status.iCntrFlag, s.Status.lPos, s.Status.lLen, s.Status.lRemain);
}

void StateRecalcTotalFadeLen()
{
    std::uint32_t total = 0;
    if (StateGetFade()) {
        const int type = StateGetFadeType();
        total = StateGetFadeLen() * (((type & FADE_OUT_BIT) != 0) + ((type & FADE_IN_BIT) != 0));
    }
    if (StateGetDuo())
        total += StateGetDuoLen();
    StateSetTotalFadeLen(total);
}

int StateGetActPlayer() { return MixerState.Status.iActPlayer; }
void StateSetActPlayer(int Value) { MixerState.Status.iActPlayer = Value; }
int StateGetPasPlayer() { return MixerState.Status.iPasPlayer; }
void StateSetPasPlayer(int Value) { MixerState.Status.iPasPlayer = Value; }
int StateGetActEff() { return MixerState.Status.iActEff; }
void StateSetActEff(int Value) { MixerState.Status.iActEff = Value; }
int StateGetPasEff() { return MixerState.Status.iPasEff; }
void StateSetPasEff(int Value) { MixerState.Status.iPasEff = Value; }
int StateGetTest() { return MixerState.Status.iTest; }
void StateSetTest(int Value) { MixerState.Status.iTest = Value; }
std::uint32_t StateGetPos() { return MixerState.Status.lPos; }
void StateSetPos(std::uint32_t Value) { MixerState.Status.lPos = Value; }
std::uint32_t StateGetLen() { return MixerState.Status.lLen; }
void StateSetLen(std::uint32_t Value) { MixerState.Status.lLen = Value; }
std::uint32_t StateGetRemain() { return MixerState.Status.lRemain; }
void StateSetRemain(std::uint32_t Value) { MixerState.Status.lRemain = Value; }
PLI* StateGetCurPLI() { return MixerState.ppliCurSong; }
void StateSetCurPLI(PLI* Value) { MixerState.ppliCurSong = Value; }
PLI* StateGetNextPLI() { return MixerState.ppliNextSong; }
void StateSetNextPLI(PLI* Value) { MixerState.ppliNextSong = Value; }
int StateGetSeeking() { return MixerState.Status.bSeeking; }
void StateSetSeeking(int Value) { MixerState.Status.bSeeking = Value; }
int StateGetRepeat() { return MixerState.Options.bRepeat; }
void StateSetRepeat(int Value) { MixerState.Options.bRepeat = Value; }
int StateGetShuffle() { return MixerState.Options.bShuffle; }
void StateSetShuffle(int Value) { MixerState.Options.bShuffle = Value; }
int StateGetLevel() { return MixerState.Options.bLevel; }
void StateSetLevel(int Value) { MixerState.Options.bLevel = Value; }
int StateGetBeats() { return MixerState.Options.bBeats; }
void StateSetBeats(int Value) { MixerState.Options.bBeats = Value; }
int StateGetIntro() { return MixerState.Options.bIntro; }
void StateSetIntro(int Value) { MixerState.Options.bIntro = Value; }
int StateGetSubFade() { return MixerState.Options.bSubFade; }
void StateSetSubFade(int Value) { MixerState.Options.bSubFade = Value; }
int StateGetEffect() { return MixerState.Options.bEffect; }
void StateSetEffect(int Value) { MixerState.Options.bEffect = Value; }
int StateGetFading() { return MixerState.Status.bFading; }
void StateSetFading(int Value) { MixerState.Status.bFading = Value; }
int StateGetMixEnabled() { return MixerState.Status.bMixEnabled; }
void StateSetMixEnabled(int Value) { MixerState.Status.bMixEnabled = Value; }
int StateGetPlayStatus() { return MixerState.Status.iPlayStat; }
void StateSetPlayStatus(int Value) { MixerState.Status.iPlayStat = Value; }
int StateGetTesting() { return MixerState.Status.bTesting; }
void StateSetTesting(int Value) { MixerState.Status.bTesting = Value; }
int StateGetStart() { return MixerState.Status.bStart; }
void StateSetStart(int Value) { MixerState.Status.bStart = Value; }
int StateGetCntrFlag() { return MixerState.Status.iCntrFlag; }
void StateSetCntrFlag(int Value) { MixerState.Status.iCntrFlag = Value; }
int StateGetVolRel() { return MixerState.FadeVolPan.bVolRel; }
void StateSetVolRel(int Value) { MixerState.FadeVolPan.bVolRel = Value; }
int StateGetPanRel() { return MixerState.FadeVolPan.bPanRel; }
void StateSetPanRel(int Value) { MixerState.FadeVolPan.bPanRel = Value; }
std::uint32_t StateGetFadeLeft() { return MixerState.FadeVolPan.lFadeLeft; }
void StateSetFadeLeft(std::uint32_t Value) { MixerState.FadeVolPan.lFadeLeft = Value; }
std::uint32_t StateGetTotalFadeLen() { return MixerState.FadeVolPan.lTotalFadeLen; }
void StateSetTotalFadeLen(std::uint32_t Value) { MixerState.FadeVolPan.lTotalFadeLen = Value; }
std::uint32_t StateGetBeatFirst() { return MixerState.Beat.lFirstPos; }
void StateSetBeatFirst(std::uint32_t Value) { MixerState.Beat.lFirstPos = Value; }
std::uint32_t StateGetBeatLast() { return MixerState.Beat.lLastPos; }
void StateSetBeatLast(std::uint32_t Value) { MixerState.Beat.lLastPos = Value; }

// The five settings below feed the total fade length.
int StateGetFade() { return MixerState.Options.bFade; }
void StateSetFade(int Value)
{
    MixerState.Options.bFade = Value;
    StateRecalcTotalFadeLen();
}
int StateGetDuo() { return MixerState.Options.bDuo; }
void StateSetDuo(int Value)
{
    MixerState.Options.bDuo = Value;
    StateRecalcTotalFadeLen();
}
int StateGetFadeType() { return MixerState.FadeVolPan.iFadeType; }
void StateSetFadeType(int Value)
{
    MixerState.FadeVolPan.iFadeType = Value;
    StateRecalcTotalFadeLen();
}
std::uint32_t StateGetFadeLen() { return MixerState.FadeVolPan.lFadeLen; }
void StateSetFadeLen(std::uint32_t Value)
{
    MixerState.FadeVolPan.lFadeLen = Value;
    StateRecalcTotalFadeLen();
}
std::uint32_t StateGetDuoLen() { return MixerState.FadeVolPan.lDuoLen; }
void StateSetDuoLen(std::uint32_t Value)
{
    MixerState.FadeVolPan.lDuoLen = Value;
    StateRecalcTotalFadeLen();
}

// Out-of-range indices read 0 and write nothing, so a bad slot can never
// reach past the arrays.
int StateGetVolume(int Idx) { return IsIndex(Idx) ? MixerState.FadeVolPan.iVolume[Idx].load() : 0; }
void StateSetVolume(int Idx, int Value)
{
    if (IsIndex(Idx))
        MixerState.FadeVolPan.iVolume[Idx] = Value;
}
int StateGetPanning(int Idx) { return IsIndex(Idx) ? MixerState.FadeVolPan.iPanning[Idx].load() : 0; }
void StateSetPanning(int Idx, int Value)
{
    if (IsIndex(Idx))
        MixerState.FadeVolPan.iPanning[Idx] = Value;
}

char* StateGetRecent() { return MixerState.cRecent; }
void StateSetRecent(const char* Path) { StrCopy(MixerState.cRecent, Path); }
