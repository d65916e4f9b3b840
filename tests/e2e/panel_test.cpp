// The control panel of a running Tandem as a user checks it, in one session:
// the first look, a typed length that makes no sense, a volume reported by
// the mixer, unattended mixing with SKIP pressed during a mix, the played
// count, the transport buttons, and closing.
#include "tandem.h"

#include "resource.h"
#include "winamp.h"

#include <algorithm>

namespace {

using namespace e2e;

using Journal = std::vector<PlayerJournalEntry>;

constexpr int kMixTimeoutMs = 60000;
constexpr UINT kVolumeReport = WM_USER + 9;  // slot, volume: the panel shows, applies and stores it

bool IsVolume(const PlayerJournalEntry& e) { return e.message == PlayerMessage::User && e.code == IPC_SETVOLUME; }

class PanelTest : public TandemTest {
protected:
    bool WaitText(int id, const std::string& text, int timeoutMs = kWindowTimeoutMs)
    {
        return WaitForText(Control(panel, id), text, timeoutMs) == text;
    }
    // The panel shows each text in its field.
    void ExpectShown(std::initializer_list<std::pair<int, const char*>> fields)
    {
        for (const auto& [id, text] : fields)
            EXPECT_TRUE(WaitText(id, text)) << id << ": " << ControlText(panel, id);
    }
};

TEST_F(PanelTest, OneSessionOfMixingAndTransport)
{
    StoreLibrary(WriteMusic({{"one.mp3", {"A", "One", 17, 12000}}, {"two.mp3", {"B", "Two", 17, 12000}},
                             {"three.mp3", {"C", "Three", 17, 12000}}, {"four.mp3", {"D", "Four", 17, 12000}}}));
    ASSERT_NO_FATAL_FAILURE(StartTandem());
    ExpectShown({{EDPLAYING, "<<< Not playing >>>"}, {EDNEXT, "<<< End of playlist >>>"}, {STVOLUMEPL2, "80"}});

    // A typed length counts once the field is left or Enter is pressed, not
    // key by key; a negative one is refused and the last one stays.
    ASSERT_TRUE(SetCheck(panel, CBFADE, true) && SetCheck(panel, CB2CHAN, true));
    SetComboText(panel, CBOFADELEN, "1000");
    SetComboText(panel, CBODUOLEN, "100", false);
    const std::string typing = ControlText(panel, EDTOTAL);
    SetComboText(panel, CBODUOLEN, "1000", false);
    EXPECT_EQ(ControlText(panel, EDTOTAL), typing);
    SendMessageA(panel, WM_COMMAND, IDOK, 0);  // Enter
    const std::string total = ControlText(panel, EDTOTAL);
    EXPECT_NE(total, typing);
    SetComboText(panel, CBOFADELEN, "-1");
    EXPECT_EQ(ControlText(panel, CBOFADELEN), "1000");
    EXPECT_EQ(ControlText(panel, EDTOTAL), total);

    // A volume the mixer reports is shown, sent to the player and stored; a
    // report for a slot the panel does not have changes nothing.
    SendMessageA(panel, kVolumeReport, 1, 128);
    SendMessageA(panel, kVolumeReport, 9, 10);
    SendMessageA(panel, WM_USER + 4, 7, 0);
    ExpectShown({{STVOLUMEPL2, "50"}, {STVOLUMEPL1, "80"}});
    EXPECT_EQ(TrackbarPos(panel, TBVOLUMEPL2), 255 - 128);

    // Load the first item (into Pl2, at its stored level) and start.
    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    ASSERT_TRUE(ListViewSelect(items, 0) && Click(pl, BTACTIVATE));
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
    ExpectShown({{EDSTATUS, "Playing"}, {EDNEXT, "D - Four"}, {EDREMAININGTRACK, "2"}});

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
    ExpectShown({{STVOLUMEPL1, "80"}, {STVOLUMEPL2, "50"}});

    // PAUSE, resume, STOP: the user's stop is not overridden.
    for (const auto& [button, status] : {std::pair{BTPAUSE, "Paused"}, {BTPAUSE, "Playing"}, {BTSTOP, "Stopped"}}) {
        ASSERT_TRUE(Click(panel, button));
        EXPECT_TRUE(WaitText(EDSTATUS, status));
    }
    Sleep(1500);
    EXPECT_EQ(ControlText(panel, EDSTATUS) + ", " + ControlText(panel, EDPLAYING), "Stopped, B - Two");

    // With neither a help file nor the manual beside the program, Help says so.
    ASSERT_TRUE(ClickPosted(panel, BTHELP));
    const HWND box = FindMessageBox("Error", kWindowTimeoutMs);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(MessageBoxText(box).find("manual.html"), std::string::npos) << MessageBoxText(box);
    EXPECT_TRUE(Answer(box, IDOK));

    Quit();
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(tandem.handle, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
