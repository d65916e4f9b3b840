// The real worker threads against simulated players on a fast clock: the
// library plays unattended through ten changes. Also run under
// ThreadSanitizer.
#include "defs.h"
#include "fnmix.h"
#include "mixrig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(MixerThreads, PlayUnattendedThroughTenChanges)
{
    fake::MixRig rig;
    for (int i = 0; i < 12; ++i)
        rig.AddItem(std::string("t").append(std::to_string(i)).append(".mp3"), 4000);
    rig.StartWith(PLGetPLI(MainGetCurrentPL(), 0));
    rig.SetFades(1, FADE_OVER, 500, 1, 500);
    // Between mixes the loops sleep a real MIX_IDLE_INTERVAL_MS; at this
    // speed that stays well inside the near-start window of track time.
    rig.Clock().RunFaster(2);
    InitThreads();
    for (int i = 0; i < 3000 && rig.panel->MessagesOf(MIXMSG_CURRENTPLI).size() < 11; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    StopThreads();
    const auto changes = rig.panel->MessagesOf(MIXMSG_CURRENTPLI);
    ASSERT_GE(changes.size(), 11u) << "ten changes within the time";
    for (std::size_t i = 0; i < 11; ++i)
        EXPECT_EQ(changes[i].wParam, reinterpret_cast<WPARAM>(PLGetPLI(MainGetCurrentPL(), static_cast<int>(i)))) << "change " << i;
    EXPECT_EQ(StateGetVolume(0) + StateGetVolume(1), 2 * 204);
}
