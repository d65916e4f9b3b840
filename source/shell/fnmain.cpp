#include "fnmain.h"

#include "defs.h"
#include "fncfg.h"
#include "fnmix.h"
#include "winamp.h"

void InitWAmpInstances()
{
    const int running = WAmpCheck();
    WAmpRun(MAXI_WINAMP - running);
    WAmpCheck();
    MixStopAll(0);
}

void DoneWAmpInstances() {}

void InitConfig()
{
    constexpr int kDefaultVolume = 204;
    CfgSetFileClasses();
    CfgRestore();
    MixInit();
    StateSetActPlayer(SLOT_PL1);
    StateSetPasPlayer(SLOT_PL2);
    StateSetActEff(SLOT_EF1);
    StateSetPasEff(SLOT_EF2);
    StateSetTest(SLOT_TEST);
    for (int i = 0; i <= SLOT_COMMON; ++i) {
        StateSetVolume(i, kDefaultVolume);
        StateSetPanning(i, 0);
    }
    StateSetFade(0);
    StateSetFadeLen(3000);
    StateSetDuoLen(5000);
    StateSetFadeType(FADE_OVER);
    StateSetSubFade(1);
    StateSetBeatLast(0);
    StateSetMixEnabled(1);
    StateSetPlayStatus(PLAYSTAT_NONE);
}
