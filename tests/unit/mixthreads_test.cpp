// The real worker threads against simulated players on a fast clock: the
// library plays unattended through ten changes. Also run under
// ThreadSanitizer.
#include "defs.h"
#include "fnmain.h"
#include "fnmix.h"
#include "fnpl.h"
#include "fnthr.h"
#include "mixrig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(MixerThreads, PlayUnattendedThroughTenChanges)
{
    fake::MixRig rig;
    std::vector<PLI*> items;
    for (int i = 0; i < 12; ++i)
        items.push_back(rig.AddItem(std::string("t").append(std::to_string(i)).append(".mp3"), 4000));
    rig.StartWith(items[0]);
    StateSetFade(1);
    StateSetFadeType(FADE_OVER);
    StateSetFadeLen(500);
    StateSetDuo(1);
    StateSetDuoLen(500);
    MixRecalcBeat(StateGetNextPLI());

    // Between mixes the loops sleep a real MIX_IDLE_INTERVAL_MS; at this
    // speed that stays well inside the near-start window of track time.
    rig.Clock().RunFaster(2);
    InitThreads();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (rig.panel->MessagesOf(MIXMSG_CURRENTPLI).size() < 11 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    StopThreads();
    rig.Clock().RunFaster(0);

    const auto changes = rig.panel->MessagesOf(MIXMSG_CURRENTPLI);
    ASSERT_GE(changes.size(), 11u) << "ten changes within the time";
    for (std::size_t i = 0; i < 11; ++i)
        EXPECT_EQ(changes[i].wParam, reinterpret_cast<WPARAM>(items[i])) << "change " << i;
    const auto roles = rig.panel->MessagesOf(MIXMSG_ACTPLAYER);
    for (std::size_t i = 1; i < roles.size(); ++i)
        EXPECT_NE(roles[i].wParam, roles[i - 1].wParam) << "the main players take turns";
    EXPECT_EQ(StateGetVolume(0), 204);
    EXPECT_EQ(StateGetVolume(1), 204);
}

}  // namespace
