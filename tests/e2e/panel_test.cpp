// The playlist editor and the control panel of a running Tandem as a user
// drives them in one session: the panning thumbs; the editor's layout on
// resizing, deleting, cropping, selecting, moving, editing and sorting items,
// the library lock (also on the track list's commands); then the panel's first look, a typed length that makes no
// sense, a volume reported by the mixer, queuing items, unattended mixing
// with SKIP pressed during a mix, the played count, the transport buttons;
// New database keeping the library in its file, and closing.
#include "tandem.h"

#include "fndb.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fntl.h"
#include "resource.h"
#include "winamp.h"

#include <algorithm>

namespace {

using namespace e2e;

using Journal = std::vector<PlayerJournalEntry>;
using Rows = std::vector<std::string>;

constexpr int kMixTimeoutMs = 60000;
constexpr UINT kVolumeReport = WM_USER + 9;  // slot, volume: the panel shows, applies and stores it

bool IsVolume(const PlayerJournalEntry& e) { return e.message == PlayerMessage::User && e.code == IPC_SETVOLUME; }

class PanelTest : public TandemTest {
protected:
    Rows Table() { return ListViewColumn(items, 0); }

    // Exactly these rows selected and the one row focused, as Ctrl+clicks leave them.
    void Mark(const std::vector<int>& selected, int focused)
    {
        ASSERT_TRUE(ListViewSetState(items, -1, 0, LVIS_SELECTED | LVIS_FOCUSED));
        for (const int row : selected)
            ASSERT_TRUE(ListViewSetState(items, row, LVIS_SELECTED, LVIS_SELECTED));
        ASSERT_TRUE(focused < 0 || ListViewSetState(items, focused, LVIS_FOCUSED, LVIS_FOCUSED));
    }

    // The table after a command, once it has the rows.
    Rows After(int command, std::size_t rows)
    {
        SendCommand(pl, command);
        WaitRows(items, static_cast<int>(rows));
        return Table();
    }

    // The panel shows each text in its field within timeoutMs.
    ::testing::AssertionResult Shown(std::initializer_list<std::pair<int, const char*>> fields, int timeoutMs = kWindowTimeoutMs)
    {
        for (const auto& [id, text] : fields)
            if (const std::string shown = WaitForText(Control(panel, id), text, timeoutMs); shown != text)
                return ::testing::AssertionFailure() << "field " << id << " shows \"" << shown << "\", not \"" << text << '"';
        return ::testing::AssertionSuccess();
    }
};

TEST_F(PanelTest, OneSessionOfEditingMixingAndTransport)
{
    // Five tracks T0..T4 of 12.3 s, 13.3 s, ... in the track list and, in order, in the playlist "default".
    StoreLibrary(WriteMusic({{"t0.mp3", {"Band", "T0", 17, 12300}}, {"t1.mp3", {"Band", "T1", 17, 13300}},
                             {"t2.mp3", {"Band", "T2", 17, 14300}}, {"t3.mp3", {"Band", "T3", 17, 15300}},
                             {"t4.mp3", {"Band", "T4", 17, 16300}}}));
    ASSERT_NO_FATAL_FAILURE(StartTandem());
    for (int id : {TBPANNINGPL1, TBPANNINGPL2, TBPANNINGBC1, TBPANNINGBC2, TBPANNINGTEST, TBPANNINGCOM})
        EXPECT_LE(std::abs(TrackbarThumbOffCentre(Control(panel, id))), 2) << id;  // every panning at 0: in the middle

    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    ASSERT_EQ(Table(), (Rows{"Band - T0", "Band - T1", "Band - T2", "Band - T3", "Band - T4"}));
    EXPECT_EQ(ControlText(pl, STTOTAL), "Total tracks:   5  Total time: 1:11");

    const auto [W, H] = Resize(pl, 420, 520);
    const std::vector<std::pair<int, std::vector<int>>> layout = {
        {LVPLAYLIST, {5, 5, W - 10, H - 100}}, {GBINFO, {5, H - 95, W - 50, 90}},   {BTUP, {W - 40, H - 85, 35, 19}},
        {BTACTIVATE, {W - 40, H - 25, 35, 19}}, {STTOTAL, {10, H - 80, W - 60, 15}}, {STPLACE, {10, H - 26, W - 60, 15}}};
    for (const auto& [id, rect] : layout)
        EXPECT_EQ(Placement(pl, id), rect) << id;

    // Deleting the selected rows 1 and 3, then cropping to the selected row and the focused one.
    Mark({1, 3}, 3);
    EXPECT_EQ(After(CMDELETESELEC, 3), (Rows{"Band - T0", "Band - T2", "Band - T4"}));
    EXPECT_EQ(ControlText(pl, STTOTAL), "Total tracks:   3  Total time: 0:42");
    Mark({0}, 2);
    EXPECT_EQ(After(CMCROP, 2), (Rows{"Band - T0", "Band - T4"}));
    EXPECT_EQ(After(CMDELETEFOCUS, 1), (Rows{"Band - T0"}));
    EXPECT_EQ(After(CMDELETEALL, 0), Rows{});
    // The whole library while the track list is closed.
    EXPECT_EQ(After(CMGETALL, 5), (Rows{"Band - T0", "Band - T1", "Band - T2", "Band - T3", "Band - T4"}));
    ASSERT_NO_FATAL_FAILURE(OpenTrackList());

    // Inverting twice restores the selection; a block moves as a whole and the focus follows it.
    Mark({2, 3}, 3);
    SendCommand(pl, CMSELECTINVERT);
    EXPECT_EQ(ListViewSelection(items), (std::vector<int>{0, 1, 4}));
    SendCommand(pl, CMSELECTINVERT);
    ASSERT_TRUE(Click(pl, BTUP));
    EXPECT_EQ(Table(), (Rows{"Band - T0", "Band - T2", "Band - T3", "Band - T1", "Band - T4"}));
    EXPECT_EQ(ListViewSelection(items), (std::vector<int>{1, 2}));
    EXPECT_EQ(SendMessageA(items, LVM_GETITEMSTATE, 2, LVIS_FOCUSED), LVIS_FOCUSED);
    Mark({0, 2}, 2);
    ASSERT_TRUE(Click(pl, BTUP));  // row 0 has no room: nothing moves
    EXPECT_EQ(Table(), (Rows{"Band - T0", "Band - T2", "Band - T3", "Band - T1", "Band - T4"}));

    // Edit opens the item Down moved; its panning thumb stands in the middle; OK keeps a description.
    Mark({3}, 3);
    ASSERT_TRUE(Click(pl, BTDOWN) && ClickPosted(pl, BTEDIT));
    const HWND editor = WaitForShown("Edit playlist item");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(ControlText(editor, EDTITLE), "Band - T1");
    EXPECT_LE(std::abs(TrackbarThumbOffCentre(Control(editor, TBPANNING))), 2);
    ASSERT_TRUE(SetControlText(editor, EDDESC, "live"));

    // While the editor holds the item, commands that release items are
    // refused, and so is the open once the file is chosen.
    for (const auto& [window, command] : {std::pair{pl, CMDELETEALL}, {pl, CMCROP}, {pl, CMERASELIST}, {tl, CMNEW}}) {
        PostCommand(window, command);
        ExpectMessageBox("Error", kBusy, IDOK);
    }
    PostCommand(tl, CMOPEN);
    const HWND open = FindFileDialog("Open database", kWindowTimeoutMs);
    ASSERT_TRUE(open != nullptr && SubmitFileDialog(open, database));
    ExpectMessageBox("Error", kBusy, IDOK);
    ASSERT_TRUE(Answer(editor, IDOK));
    EXPECT_EQ(ListViewCount(list), 5);
    EXPECT_EQ(Table(), (Rows{"Band - T0", "Band - T2", "Band - T3", "Band - T4", "Band - T1 [live]"}));

    // Randomize keeps the items; sorting by title orders them.
    const Rows byTitle = {"Band - T0", "Band - T1 [live]", "Band - T2", "Band - T3", "Band - T4"};
    const Rows shuffled = After(CMSORTRAND, 5);
    EXPECT_TRUE(std::is_permutation(shuffled.begin(), shuffled.end(), byTitle.begin(), byTitle.end()));
    EXPECT_EQ(After(CMSORTTITLE, 5), byTitle);

    // The panel, untouched so far.
    EXPECT_TRUE(Shown({{EDPLAYING, "<<< Not playing >>>"}, {EDNEXT, "<<< End of playlist >>>"}, {STVOLUMEPL2, "80"}}));

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
    EXPECT_TRUE(Shown({{STVOLUMEPL2, "50"}, {STVOLUMEPL1, "80"}}));
    EXPECT_EQ(SendMessageA(Control(panel, TBVOLUMEPL2), TBM_GETPOS, 0, 0), 255 - 128);

    // Load queues the focused item for the mixer; then the first item (into
    // Pl2, at its stored level), and start.
    for (const auto& [row, next] : {std::pair{4, "Band - T4"}, {0, "Band - T0"}})
        ASSERT_TRUE(ListViewSelect(items, row) && Click(pl, BTACTIVATE) && Shown({{EDNEXT, next}})) << row;
    ASSERT_TRUE(Click(panel, BTPLAYNEXT));
    // Band - T0 plays at the end of a mix from the silent player.
    ASSERT_TRUE(Shown({{EDPLAYING, "Band - T0"}, {EDSTATUS, "Playing"}, {EDREMAININGTRACK, "4"}}));
    const Journal one = JournalOfPlayerWith(MusicFile("t0.mp3"));
    const auto load = std::find_if(one.begin(), one.end(), [](const auto& e) { return e.code == IPC_PLAYFILE && e.hasText; });
    const auto level = std::find_if(load, one.end(), IsVolume);
    ASSERT_NE(level, one.end());
    EXPECT_EQ(level->arg, 128) << "the reported volume was stored for the slot";

    // SKIP twice while the mix runs: the mix completes, then the item two
    // after the incoming one is queued.
    ASSERT_TRUE(Shown({{EDSTATUS, "Fading"}}, kMixTimeoutMs));
    ASSERT_TRUE(Click(panel, BTSKIPNEXT) && Click(panel, BTSKIPNEXT));
    EXPECT_EQ(ControlText(panel, EDNEXT), "Band - T3");
    ASSERT_TRUE(Shown({{EDPLAYING, "Band - T1 [live]"}}, kMixTimeoutMs));
    EXPECT_TRUE(Shown({{EDSTATUS, "Playing"}, {EDNEXT, "Band - T3"}, {EDREMAININGTRACK, "3"}}));

    // The incoming track rose to its slot's level; the outgoing fell and was
    // paused, and both slots show their own levels again.
    const Journal two = JournalOfPlayerWith(MusicFile("t1.mp3"));
    std::vector<int> rising;
    for (std::size_t i = 0; i < two.size() && (rising.empty() || rising.back() < 204); ++i)
        if (IsVolume(two[i]) && two[i].state == 1)
            rising.push_back(two[i].arg);
    ASSERT_GE(rising.size(), 3u);
    EXPECT_LT(rising.front(), 100);
    EXPECT_TRUE(std::is_sorted(rising.begin(), rising.end())) << ::testing::PrintToString(rising);
    EXPECT_EQ(rising.back(), 204);
    EXPECT_TRUE(Shown({{STVOLUMEPL1, "80"}, {STVOLUMEPL2, "50"}}));

    // PAUSE, resume, STOP: the user's stop is not overridden.
    for (const auto& [button, status] : {std::pair{BTPAUSE, "Paused"}, {BTPAUSE, "Playing"}, {BTSTOP, "Stopped"}}) {
        ASSERT_TRUE(Click(panel, button));
        EXPECT_TRUE(Shown({{EDSTATUS, status}}));
    }
    Sleep(1500);
    EXPECT_EQ(ControlText(panel, EDSTATUS) + ", " + ControlText(panel, EDPLAYING), "Stopped, Band - T1 [live]");

    // With neither a help file nor the manual beside the program, Help says so.
    ASSERT_TRUE(ClickPosted(panel, BTHELP));
    EXPECT_NE(AnswerBox("Error", IDOK).find("manual.html"), std::string::npos);

    // New database keeps the library in its file first; closing then asks nothing.
    SendCommand(tl, CMNEW);
    EXPECT_EQ(ListViewCount(list), 0);
    EXPECT_EQ(ListViewCount(items), 0);
    Quit();
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(tandem.handle, &code) && code == 0) << code;
    DB db{};
    DBInit(&db);
    DBSetPath(&db, database.c_str());
    ASSERT_EQ(DBRestore(&db), 1);
    EXPECT_EQ(TLGetTotal(DBGetTL(&db)), 5);
    ASSERT_EQ(PLGetCount(DBGetCurrentPL(&db)), 5);
    int described = 0;
    for (int i = 0; i < 5; ++i)
        described += std::string(PLGetPLI(DBGetCurrentPL(&db), i)->cDesc) == "live" ? 1 : 0;
    EXPECT_EQ(described, 1);
    DBFree(&db);
}

}  // namespace
