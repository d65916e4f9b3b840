// mixinject: a user's hands on a running Tandem for the unattended mixing
// benchmark (bench/mixwine.sh). For the given seconds it presses SKIP, NEXT,
// PAUSE and resume, STOP and NEXT, changes the fade switches and length,
// repeat and shuffle, and closes a player window now and then; meanwhile it
// watches the control panel. Prints the changes seen, the longest time the
// status was neither "Playing" nor "Fading" outside the user's own pauses
// and stops, and the longest "Fading".
//   mixinject SECONDS [SEED]
#include "drive.h"
#include "e2e.h"
#include "resource.h"
#include "winamp.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr char kPanelCaption[] = "Tandem v1.0 - Control Panel";

struct Watch {
    std::uint64_t since = 0, longest = 0;
    void See(bool on, std::uint64_t now)
    {
        if (!on)
            since = 0;
        else if (since == 0)
            since = now;
        else if (now - since > longest)
            longest = now - since;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    std::mt19937 rng(argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1);
    const HWND panel = e2e::WaitForWindow(e2e::kDialogClass, kPanelCaption, 60000);
    if (panel == nullptr) {
        std::fprintf(stderr, "mixinject: no control panel\n");
        return 1;
    }
    auto random = [&](int below) { return std::uniform_int_distribution<int>(0, below - 1)(rng); };
    const std::uint64_t end = e2e::NowMs() + static_cast<std::uint64_t>(seconds) * 1000;
    std::uint64_t nextAction = e2e::NowMs() + 5000, resumeAt = 0;
    int changes = 0, actions = 0, resumeWith = 0;
    std::string playing = e2e::ControlText(panel, EDPLAYING);
    Watch silence, fading;
    while (e2e::NowMs() < end) {
        const std::uint64_t now = e2e::NowMs();
        const std::string status = e2e::ControlText(panel, EDSTATUS);
        const std::string title = e2e::ControlText(panel, EDPLAYING);
        changes += title != playing;
        playing = title;
        silence.See(resumeAt == 0 && status != "Playing" && status != "Fading", now);
        fading.See(status == "Fading", now);
        if (resumeAt != 0 && now >= resumeAt) {
            e2e::Click(panel, resumeWith);
            resumeAt = 0;
        } else if (resumeAt == 0 && now >= nextAction) {
            ++actions;
            switch (random(8)) {
            case 0: e2e::Click(panel, BTSKIPNEXT); break;
            case 1: e2e::Click(panel, BTPLAYNEXT); break;
            case 2:
            case 3:  // PAUSE and resume, or STOP and NEXT, a moment later
                resumeWith = random(2) ? BTPAUSE : BTPLAYNEXT;
                e2e::Click(panel, resumeWith == BTPAUSE ? BTPAUSE : BTSTOP);
                resumeAt = now + 1500;
                break;
            case 4: e2e::Click(panel, random(2) ? CBFADE : CB2CHAN); break;
            case 5: e2e::SetComboText(panel, CBOFADELEN, std::to_string(500 + 500 * random(5))); break;
            case 6: e2e::Click(panel, random(2) ? CBSHUFFLE : CBREPEAT); break;
            default: {
                const auto players = e2e::TopLevelWindows(WAMP_WINDOWCLASS);
                if (!players.empty())
                    PostMessageA(players[static_cast<std::size_t>(random(static_cast<int>(players.size())))], WM_CLOSE, 0, 0);
                break;
            }
            }
            nextAction = now + 3000 + static_cast<std::uint64_t>(random(5000));
        }
        Sleep(50);
    }
    std::printf("changes: %d in %d s, %d user actions\n", changes, seconds, actions);
    std::printf("longest silence (status neither Playing nor Fading, user pauses excluded): %llu ms\n",
                static_cast<unsigned long long>(silence.longest));
    std::printf("longest Fading: %llu ms\n", static_cast<unsigned long long>(fading.longest));
    return 0;
}
