#include "fnmain.h"

#include "defs.h"
#include "fncfg.h"
#include "fnmix.h"
#include "string2.h"
#include "winamp.h"

#include <cstring>

namespace {

constexpr const char* strSlotNames[MAXI_WINAMP] = {"Pl1", "Pl2", "Ef1", "Ef2", "Test"};
constexpr int MAXL_PLAYERSNOTICE = 600;

char PlayersNotice[MAXL_PLAYERSNOTICE + 1];

// Why start-up left slots without a player, from what the start found.
const char* MissingWhy(char* Text, std::size_t Size)
{
    if (WAmpPath[0] == '\0')
        return "no player program is registered (file class \"Winamp.File\") and there is no tplayer.exe beside "
               "tandem.exe";
    if (const DWORD error = WAmpGetRunError())
        return StrFormat(Text, Size, "%s could not be started (system error %lu)", WAmpPath,
                         static_cast<unsigned long>(error));
    return "the players started did not open their windows in time";
}

void MakePlayersNotice(int Registered)
{
    PlayersNotice[0] = '\0';
    if (Registered >= MAXI_WINAMP)
        return;
    char slots[40] = "";
    for (int i = Registered; i < MAXI_WINAMP; ++i)
        StrFormat(slots + std::strlen(slots), sizeof slots - std::strlen(slots), "%s%s", i > Registered ? ", " : "",
                  strSlotNames[i]);
    char why[MAXL_PLAYERSNOTICE];
    StrFormat(PlayersNotice, sizeof PlayersNotice, "No player answers in slot(s) %s: %s. They stay silent.", slots,
              MissingWhy(why, sizeof why));
}

}  // namespace

void InitWAmpInstances()
{
    const int running = WAmpCheck();
    WAmpRun(MAXI_WINAMP - running);
    MakePlayersNotice(WAmpCheck());
    MixStopAll(0);
}

const char* MainMissingPlayers() { return PlayersNotice; }

const char* MainSlotName(int Slot) { return Slot >= 0 && Slot < MAXI_WINAMP ? strSlotNames[Slot] : ""; }

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
