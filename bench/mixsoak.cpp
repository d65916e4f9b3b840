// A soak of the mixing engine: the real worker threads against simulated
// players on a fast clock, with random user actions between the changes
// (NEXT, SKIP, Load, PAUSE and resume, STOP, deleting the current, the next
// or another item, fade settings, repeat and shuffle, a player that stops
// early or vanishes, a new database). Meant to run under AddressSanitizer
// and ThreadSanitizer. Prints a report: changes made, the longest time
// without an audible player while the user expects music, the longest mix.
//
//   mixsoak [changes] [seed] [report file]
#include "defs.h"
#include "fndb.h"
#include "fnmain.h"
#include "fnmix.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnthr.h"
#include "mixrig.h"
#include "winamp.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace {

constexpr double kSpeed = 10;  // virtual milliseconds per real one
constexpr UINT kAction = WM_USER + 100;
constexpr int kMinItems = 8;

enum Action { NEXT, SKIP, LOAD, PAUSE, STOP, DEL_CUR, DEL_NEXT, DEL_OTHER, FADES, TOGGLES, END_EARLY, VANISH, NEW_DB, COUNT };

struct Soak {
    fake::MixRig rig;
    HWND ui = nullptr;  // the control panel: mixer changes and user actions run here one at a time
    std::mt19937 rng;
    std::atomic<int> changes{0};
    std::atomic<bool> userPaused{false}, userStopped{false};
    int names = 0;
    int actions[COUNT] = {};

    explicit Soak(unsigned seed) : rng(seed)
    {
        ui = fake::CreateWindow("#32770", [this](UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == MIXMSG_VOLUME)
                MixSetVolume(static_cast<int>(wParam), static_cast<int>(lParam));
            else if (msg == MIXMSG_CHANGE)
                MixOnChangeMsg(wParam, lParam);
            else if (msg == MIXMSG_CURRENTPLI)
                ++changes;
            else if (msg == kAction)
                Act(static_cast<int>(wParam));
            return LRESULT{0};
        });
        MixSetDestWindow(ui);
        StateSetRepeat(1);
        FillPlaylist();
        MixSetNextPLI(ui, PLGetFirstPLI(MainGetCurrentPL()));
        MixNext(ui);
    }

    int Random(int below) { return std::uniform_int_distribution<int>(0, below - 1)(rng); }

    void FillPlaylist()
    {
        while (PLGetCount(MainGetCurrentPL()) < kMinItems + 4) {
            const auto length = static_cast<std::uint32_t>(1000 + Random(2500));
            const std::string name = "s" + std::to_string(names++) + ".mp3";
            rig.AddItem(name, length + 500, 0, length);
            if (Random(5) == 0)  // the stored length is wrong: the file ends early
                rig.players.SetLength(rig.PathOf(name), length / 2);
        }
    }

    PLI* RandomItem()
    {
        const int count = PLGetCount(MainGetCurrentPL());
        return count > 0 ? PLGetPLI(MainGetCurrentPL(), Random(count)) : nullptr;
    }

    void Delete(const PLI* pli)
    {
        PL* pl = MainGetCurrentPL();
        for (int i = 0; i < PLGetCount(pl); ++i)
            if (PLGetPLI(pl, i) == pli) {
                PLFreePLIByIdx(pl, i);
                return;
            }
    }

    void Act(int action)
    {
        ++actions[action];
        const int act = StateGetActPlayer();
        switch (action) {
        case NEXT: MixNext(ui); break;
        case SKIP: MixSkip(ui); break;
        case LOAD: MixSetNextPLI(ui, RandomItem()); break;
        case PAUSE:
            WAmpBtPause(act);
            userPaused = WAmpCmIsPlaying(act) == PLAYSTAT_PAUSED;
            break;
        case STOP:
            MixStopByUser();
            userStopped = true;
            break;
        case DEL_CUR: Delete(StateGetCurPLI()); break;
        case DEL_NEXT: Delete(StateGetNextPLI()); break;
        case DEL_OTHER: Delete(RandomItem()); break;
        case FADES:
            StateSetFade(Random(4) != 0);
            StateSetDuo(Random(2));
            StateSetFadeType(Random(4));
            StateSetFadeLen(static_cast<std::uint32_t>(Random(4) * 100));
            StateSetDuoLen(static_cast<std::uint32_t>(Random(3) * 100));
            MixRecalcBeat(StateGetNextPLI());
            break;
        case TOGGLES:
            StateSetShuffle(Random(2));
            StateSetRepeat(Random(4) != 0);
            break;
        case END_EARLY: WAmpBtStop(act); break;
        case VANISH:
            if (fake::SimPlayer* player = rig.players.Slot(Random(2)))
                player->Close();
            break;
        case NEW_DB:
            DBFree(MainGetDB());
            DBInit(MainGetDB());
            break;
        default: break;
        }
        FillPlaylist();
        // The user starts the music again after a STOP, or when the playlist ran out.
        if (action != STOP && userStopped) {
            userStopped = false;
            MixNext(ui);
        }
        if (StateGetCurPLI() == nullptr && StateGetNextPLI() == nullptr && !StateGetFading()) {
            MixSetNextPLI(ui, PLGetFirstPLI(MainGetCurrentPL()));
            MixNext(ui);
        }
    }

    bool Audible()
    {
        for (int slot : {SLOT_PL1, SLOT_PL2})
            if (fake::SimPlayer* player = rig.players.Slot(slot))
                if (player->Model().State() == PlayerState::Playing && player->Model().Volume() > 0)
                    return true;
        return false;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const int target = argc > 1 ? std::atoi(argv[1]) : 10000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1;
    Soak soak(seed);
    soak.rig.Clock().RunFaster(kSpeed);
    InitThreads();

    std::uint64_t lastAudible = soak.rig.Clock().Now(), longestSilence = 0, mixStart = 0, longestMix = 0;
    std::uint64_t nextAction = 0;
    const auto began = std::chrono::steady_clock::now();
    while (soak.changes < target) {
        const std::uint64_t now = soak.rig.Clock().Now();
        const bool excused = soak.userPaused || soak.userStopped;
        if (soak.Audible() || excused)
            lastAudible = now;
        else if (now - lastAudible > longestSilence)
            longestSilence = now - lastAudible;
        if (StateGetFading() && mixStart == 0)
            mixStart = now;
        else if (!StateGetFading() && mixStart != 0) {
            longestMix = std::max(longestMix, now - mixStart);
            mixStart = 0;
        }
        if (now >= nextAction) {
            // Resuming a PAUSE comes first; actions are spread over the track time.
            const int action = soak.userPaused ? PAUSE : soak.Random(COUNT);
            SendMessageA(soak.ui, kAction, static_cast<WPARAM>(action), 0);
            nextAction = now + 50 + static_cast<std::uint64_t>(soak.Random(400));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    StopThreads();
    soak.rig.Clock().RunFaster(0);
    MixSetDestWindow(nullptr);

    const double realSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::ostringstream report;
    report << "mixer soak, seed " << seed << ", clock " << kSpeed << "x real time, " << realSeconds << " s real\n"
           << "changes made: " << soak.changes << "\n"
           << "longest time without an audible player (user pause/stop excluded): " << longestSilence << " ms\n"
           << "longest mix (fading flag set): " << longestMix << " ms\n"
           << "user actions:";
    static const char* const names[COUNT] = {"next",  "skip",   "load",  "pause",   "stop",  "del-cur", "del-next",
                                             "del-other", "fades", "toggles", "end-early", "vanish", "new-db"};
    for (int i = 0; i < COUNT; ++i)
        report << " " << names[i] << "=" << soak.actions[i];
    report << "\nplayers started again: " << soak.rig.players.Launches() - MAXI_WINAMP << "\n";
    std::cout << report.str();
    if (argc > 3)
        std::ofstream(argv[3]) << report.str();
    return 0;
}
