// The control panel of a running Tandem as a user checks it, in one session:
// the first look, a typed length that makes no sense, a volume reported by
// the mixer, unattended mixing with SKIP pressed during a mix, the played
// count, the transport buttons, and closing.
#include "tandem.h"

#include "fncomm.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnsong.h"
#include "fntl.h"
#include "resource.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using e2e::Click;
using e2e::ControlText;
using e2e::kWindowTimeoutMs;
using Journal = std::vector<PlayerJournalEntry>;

constexpr int kMixTimeoutMs = 60000;
constexpr UINT kVolumeReport = WM_USER + 9;  // slot, volume: the panel shows, applies and stores it

bool IsVolume(const PlayerJournalEntry& e) { return e.message == PlayerMessage::User && e.code == IPC_SETVOLUME; }

class PanelTest : public e2e::TandemTest {
protected:
    // Tracks of ms milliseconds, all in the current playlist in this order.
    void WriteLibrary(const std::vector<std::pair<std::string, e2e::Tag>>& tracks)
    {
        WriteMusic(tracks);
        ASSERT_FALSE(HasFatalFailure());
        std::vector<std::string> files;
        for (const auto& track : tracks)
            files.push_back(MusicFile(track.first));
        StoreLibrary(files);
    }

    void SetCheck(int id, bool on)
    {
        if ((e2e::CheckState(panel, id) == BST_CHECKED) != on) {
            ASSERT_TRUE(Click(panel, id));
        }
    }

    bool WaitText(int id, const std::string& text, int timeoutMs = kWindowTimeoutMs)
    {
        return e2e::WaitForText(e2e::Control(panel, id), text, timeoutMs) == text;
    }
};

TEST_F(PanelTest, OneSessionOfMixingAndTransport)
{
    WriteLibrary({{"one.mp3", {"A", "One", 17, 12000}}, {"two.mp3", {"B", "Two", 17, 12000}},
                  {"three.mp3", {"C", "Three", 17, 12000}}, {"four.mp3", {"D", "Four", 17, 12000}}});
    ASSERT_FALSE(HasFatalFailure());
    StartTandem();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(ControlText(panel, EDPLAYING), "<<< Not playing >>>");
    EXPECT_EQ(ControlText(panel, EDNEXT), "<<< End of playlist >>>");
    EXPECT_EQ(ControlText(panel, STVOLUMEPL2), "80");

    // A typed length counts once the field is left or Enter is pressed, not
    // key by key; a negative one is refused and the last one stays.
    SetCheck(CBFADE, true);
    SetCheck(CB2CHAN, true);
    e2e::SetComboText(panel, CBOFADELEN, "1000");
    e2e::SetComboText(panel, CBODUOLEN, "100", false);
    const std::string typing = ControlText(panel, EDTOTAL);
    e2e::SetComboText(panel, CBODUOLEN, "1000", false);
    EXPECT_EQ(ControlText(panel, EDTOTAL), typing);
    SendMessageA(panel, WM_COMMAND, IDOK, 0);  // Enter
    const std::string total = ControlText(panel, EDTOTAL);
    EXPECT_NE(total, typing);
    e2e::SetComboText(panel, CBOFADELEN, "-1");
    EXPECT_EQ(ControlText(panel, CBOFADELEN), "1000");
    EXPECT_EQ(ControlText(panel, EDTOTAL), total);

    // A volume the mixer reports is shown, sent to the player and stored; a
    // report for a slot the panel does not have changes nothing.
    SendMessageA(panel, kVolumeReport, 1, 128);
    SendMessageA(panel, kVolumeReport, 9, 10);
    SendMessageA(panel, WM_USER + 4, 7, 0);
    EXPECT_EQ(ControlText(panel, STVOLUMEPL2), "50");
    EXPECT_EQ(e2e::TrackbarPos(panel, TBVOLUMEPL2), 255 - 128);
    EXPECT_EQ(ControlText(panel, STVOLUMEPL1), "80");

    // Load the first item (into Pl2, at its stored level) and start.
    ASSERT_TRUE(Click(panel, BTPLAYLIST));
    const HWND pl = WaitForDialog([](HWND w) { return e2e::Control(w, LVPLAYLIST) != nullptr; });
    ASSERT_NE(pl, nullptr);
    ASSERT_TRUE(e2e::ListViewSelect(e2e::Control(pl, LVPLAYLIST), 0));
    ASSERT_TRUE(Click(pl, BTACTIVATE));
    ASSERT_TRUE(WaitText(EDNEXT, "A - One"));
    ASSERT_TRUE(Click(panel, BTPLAYNEXT));
    ASSERT_TRUE(WaitText(EDPLAYING, "A - One"));  // at the end of a mix from the silent player
    ASSERT_TRUE(WaitText(EDSTATUS, "Playing"));
    EXPECT_TRUE(WaitText(EDREMAININGTRACK, "3"));
    const Journal one = JournalOfPlayerWith(MusicFile("one.mp3"));
    const auto load = std::find_if(one.begin(), one.end(), [](const auto& e) { return e.code == IPC_PLAYFILE && e.hasText; });
    const auto level = std::find_if(load, one.end(), IsVolume);
    ASSERT_NE(level, one.end());
    EXPECT_EQ(level->arg, 128) << "the reported volume was stored for the slot";

    // SKIP twice while the mix runs: the mix completes, then the item two
    // after the incoming one is queued.
    ASSERT_TRUE(WaitText(EDSTATUS, "Fading", kMixTimeoutMs));
    ASSERT_TRUE(Click(panel, BTSKIPNEXT));
    ASSERT_TRUE(Click(panel, BTSKIPNEXT));
    EXPECT_EQ(ControlText(panel, EDNEXT), "D - Four");
    ASSERT_TRUE(WaitText(EDPLAYING, "B - Two", kMixTimeoutMs));
    EXPECT_TRUE(WaitText(EDSTATUS, "Playing"));
    EXPECT_TRUE(WaitText(EDNEXT, "D - Four"));
    EXPECT_TRUE(WaitText(EDREMAININGTRACK, "2"));

    // The incoming track rose to its slot's level; the outgoing fell and was
    // paused, and both slots show their own levels again.
    const Journal two = JournalOfPlayerWith(MusicFile("two.mp3"));
    std::vector<int> rising;
    for (std::size_t i = 0; i < two.size() && (rising.empty() || rising.back() < 204); ++i)
        if (IsVolume(two[i]) && two[i].state == 1)
            rising.push_back(two[i].arg);
    ASSERT_GE(rising.size(), 3u);
    EXPECT_LT(rising.front(), 100);
    EXPECT_TRUE(std::is_sorted(rising.begin(), rising.end())) << ::testing::PrintToString(rising);
    EXPECT_EQ(rising.back(), 204);
    EXPECT_EQ(ControlText(panel, STVOLUMEPL1), "80");
    EXPECT_EQ(ControlText(panel, STVOLUMEPL2), "50");

    // PAUSE, resume, STOP: the user's stop is not overridden.
    ASSERT_TRUE(Click(panel, BTPAUSE));
    EXPECT_TRUE(WaitText(EDSTATUS, "Paused"));
    ASSERT_TRUE(Click(panel, BTPAUSE));
    EXPECT_TRUE(WaitText(EDSTATUS, "Playing"));
    ASSERT_TRUE(Click(panel, BTSTOP));
    EXPECT_TRUE(WaitText(EDSTATUS, "Stopped"));
    Sleep(1500);
    EXPECT_EQ(ControlText(panel, EDSTATUS), "Stopped");
    EXPECT_EQ(ControlText(panel, EDPLAYING), "B - Two");

    // With neither a help file nor the manual beside the program, Help says so.
    ASSERT_TRUE(e2e::ClickPosted(panel, BTHELP));
    const HWND box = e2e::FindMessageBox("Error", kWindowTimeoutMs);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(e2e::MessageBoxText(box).find("manual.html"), std::string::npos) << e2e::MessageBoxText(box);
    EXPECT_TRUE(e2e::AnswerMessageBox(box, IDOK));

    Quit();
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(tandem.handle, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
