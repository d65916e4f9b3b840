// The mixer state: every run-time setting and status of the mixing engine,
// with one accessor per field.
//
// Three threads share the record without locks. Every shared field is a
// std::atomic of its 32-bit type (or a pointer), read and written whole;
// readers tolerate values from different moments.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

struct PLI;

// Player slots; slot i is driven through player registration i.
constexpr int MAXI_WINAMP = 5;
constexpr int SLOT_PL1 = 0;
constexpr int SLOT_PL2 = 1;
constexpr int SLOT_EF1 = 2;
constexpr int SLOT_EF2 = 3;
constexpr int SLOT_TEST = 4;
constexpr int SLOT_COMMON = 5;  // only in the volume and panning arrays

// Volume and panning as the players take them.
constexpr int MAX_VOLUME = 255;
constexpr int MIN_PANNING = -128;
constexpr int MAX_PANNING = 127;

// Fade types: bit 0 = the outgoing player fades out, bit 1 = the incoming fades in.
constexpr int FADE_MAN = 0;
constexpr int FADE_OUT = 1;
constexpr int FADE_IN = 2;
constexpr int FADE_OVER = 3;
constexpr int FADE_OUT_BIT = 1;
constexpr int FADE_IN_BIT = 2;

// Play status codes (texts: strPlayState).
constexpr int PLAYSTAT_NONE = -1;
constexpr int PLAYSTAT_STOPPED = 0;
constexpr int PLAYSTAT_PLAYING = 1;
constexpr int PLAYSTAT_FADING = 2;
constexpr int PLAYSTAT_PAUSED = 3;

constexpr int MAXL_PATH = 256;
constexpr int MAXL_RECENT = 256;

struct MIXERSTATE {
    char cRecent[MAXL_RECENT + 1];
    struct {
        std::thread hInfo;
        std::thread hMixer;
    } Threads;
    struct {
        std::atomic<std::uint32_t> lOffs;      // the current track's first beat, for the beat lights
        std::atomic<std::uint32_t> lLen;       // one beat's length; 0: no lights
        std::atomic<std::uint32_t> lLastPos;   // mix start: the change begins once the active player passes it
        std::atomic<std::uint32_t> lFirstPos;  // where the incoming item starts; the mix is timed from there
        int iBeat;
    } Beat;
    std::atomic<PLI*> ppliCurSong;
    std::atomic<PLI*> ppliNextSong;
    struct {
        std::atomic<int> bRepeat;
        std::atomic<int> bShuffle;
        std::atomic<int> bEffect;
        std::atomic<int> bDuo;
        std::atomic<int> bFade;
        std::atomic<int> bSubFade;
        std::atomic<int> bIntro;
        std::atomic<int> bBeats;
        std::atomic<int> bLevel;  // players' volumes scaled by their tracks' measured loudness
    } Options;
    struct {
        std::atomic<int> iFadeType;
        std::atomic<std::uint32_t> lFadeLen;
        std::atomic<std::uint32_t> lFadeLeft;
        std::atomic<std::uint32_t> lDuoLen;
        std::atomic<std::uint32_t> lTotalFadeLen;
        std::array<std::atomic<int>, 6> iVolume;
        std::array<std::atomic<int>, 6> iPanning;
        std::atomic<int> bVolRel;
        std::atomic<int> bPanRel;
    } FadeVolPan;
    struct {
        std::atomic<int> bTesting;
        std::atomic<int> bFading;
        std::atomic<int> bStart;
        std::atomic<int> bMixEnabled;
        int bPlayingIntro;
        std::atomic<int> bSeeking;
        std::atomic<int> iActPlayer;
        std::atomic<int> iPasPlayer;
        std::atomic<int> iActEff;
        std::atomic<int> iPasEff;
        std::atomic<int> iTest;
        std::atomic<int> iPlayStat;
        std::atomic<int> iCntrFlag;
        std::atomic<std::uint32_t> lPos;
        std::atomic<std::uint32_t> lLen;
        std::atomic<std::uint32_t> lRemain;
    } Status;
};

extern MIXERSTATE MixerState;

// Resets every field to zero, as at process start (tests use it between cases).
void StateReset();

// The length of a mix, the one rule both the mix-start position and the
// "Fade left" display follow: a fade length for each player that fades (both
// for FADE_OVER, one for FADE_OUT and FADE_IN, none for FADE_MAN, where the
// outgoing track plays at its level until the duo ends) while the fade
// switch is on, plus the duo length while the duo switch is on. Runs after
// every change of those five settings.
void StateRecalcTotalFadeLen();

int StateGetActPlayer();
void StateSetActPlayer(int Value);
int StateGetPasPlayer();
void StateSetPasPlayer(int Value);
int StateGetActEff();
void StateSetActEff(int Value);
int StateGetPasEff();
void StateSetPasEff(int Value);
int StateGetTest();
void StateSetTest(int Value);
std::uint32_t StateGetPos();
void StateSetPos(std::uint32_t Value);
std::uint32_t StateGetLen();
void StateSetLen(std::uint32_t Value);
std::uint32_t StateGetRemain();
void StateSetRemain(std::uint32_t Value);
PLI* StateGetCurPLI();
void StateSetCurPLI(PLI* Value);
PLI* StateGetNextPLI();
void StateSetNextPLI(PLI* Value);
int StateGetSeeking();
void StateSetSeeking(int Value);
int StateGetRepeat();
void StateSetRepeat(int Value);
int StateGetShuffle();
void StateSetShuffle(int Value);
int StateGetLevel();
void StateSetLevel(int Value);
int StateGetFade();
void StateSetFade(int Value);
int StateGetDuo();
void StateSetDuo(int Value);
int StateGetBeats();
void StateSetBeats(int Value);
int StateGetIntro();
void StateSetIntro(int Value);
int StateGetSubFade();
void StateSetSubFade(int Value);
int StateGetEffect();
void StateSetEffect(int Value);
int StateGetFading();
void StateSetFading(int Value);
int StateGetMixEnabled();
void StateSetMixEnabled(int Value);
int StateGetPlayStatus();
void StateSetPlayStatus(int Value);
int StateGetTesting();
void StateSetTesting(int Value);
int StateGetStart();
void StateSetStart(int Value);
int StateGetCntrFlag();
void StateSetCntrFlag(int Value);
int StateGetVolume(int Idx);
void StateSetVolume(int Idx, int Value);
int StateGetPanning(int Idx);
void StateSetPanning(int Idx, int Value);
int StateGetVolRel();
void StateSetVolRel(int Value);
int StateGetPanRel();
void StateSetPanRel(int Value);
int StateGetFadeType();
void StateSetFadeType(int Value);
std::uint32_t StateGetFadeLen();
void StateSetFadeLen(std::uint32_t Value);
std::uint32_t StateGetDuoLen();
void StateSetDuoLen(std::uint32_t Value);
std::uint32_t StateGetFadeLeft();
void StateSetFadeLeft(std::uint32_t Value);
std::uint32_t StateGetTotalFadeLen();
void StateSetTotalFadeLen(std::uint32_t Value);
std::uint32_t StateGetBeatFirst();
void StateSetBeatFirst(std::uint32_t Value);
std::uint32_t StateGetBeatLast();
void StateSetBeatLast(std::uint32_t Value);
char* StateGetRecent();
void StateSetRecent(const char* Path);
