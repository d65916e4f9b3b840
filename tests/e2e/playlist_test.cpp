// The playlist editor as a user drives it in one session of Tandem: the
// layout on resizing, deleting, cropping, selecting, moving, editing and
// sorting items, queuing one for the mixer, the library lock, the panning
// thumbs, and New database keeping the library in its file.
#include "tandem.h"

#include "fncomm.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnsong.h"
#include "fntl.h"
#include "resource.h"

#include <algorithm>

namespace {

using namespace e2e;

using Rows = std::vector<std::string>;

// "Band - T<i>" for each i, as the rows show the tracks T0..T4.
Rows Titles(const std::vector<int>& order)
{
    Rows titles;
    for (const int i : order)
        titles.push_back("Band - T" + std::to_string(i));
    return titles;
}

class PlaylistTest : public TandemTest {
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

};

TEST_F(PlaylistTest, OneSessionOfEditingTheDefaultList)
{
    // Five tracks T0..T4 of 3.3 s, 4.3 s, ... in the track list and, in order, in the playlist "default".
    std::vector<std::pair<std::string, Tag>> tracks;
    for (unsigned i = 0; i < 5; ++i)
        tracks.push_back({"t" + std::to_string(i) + ".mp3", {"Band", "T" + std::to_string(i), 17, 3300 + 1000 * i}});
    StoreLibrary(WriteMusic(tracks));
    ASSERT_NO_FATAL_FAILURE(StartTandem());
    for (int id : {TBPANNINGPL1, TBPANNINGPL2, TBPANNINGBC1, TBPANNINGBC2, TBPANNINGTEST, TBPANNINGCOM})
        EXPECT_LE(std::abs(TrackbarThumbOffCentre(Control(panel, id))), 2) << id;  // every panning at 0: in the middle

    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    ASSERT_EQ(Table(), Titles({0, 1, 2, 3, 4}));
    EXPECT_EQ(ControlText(pl, STTOTAL), "Total tracks:   5  Total time: 0:26");

    const auto [W, H] = Resize(pl, 420, 520);
    const std::vector<std::pair<int, std::vector<int>>> layout = {
        {LVPLAYLIST, {5, 5, W - 10, H - 100}}, {GBINFO, {5, H - 95, W - 50, 90}},   {BTUP, {W - 40, H - 85, 35, 19}},
        {BTACTIVATE, {W - 40, H - 25, 35, 19}}, {STTOTAL, {10, H - 80, W - 60, 15}}, {STPLACE, {10, H - 26, W - 60, 15}}};
    for (const auto& [id, rect] : layout)
        EXPECT_EQ(Placement(pl, id), rect) << id;

    // Deleting the selected rows 1 and 3, then cropping to the selected row and the focused one.
    Mark({1, 3}, 3);
    EXPECT_EQ(After(CMDELETESELEC, 3), Titles({0, 2, 4}));
    EXPECT_EQ(ControlText(pl, STTOTAL), "Total tracks:   3  Total time: 0:15");
    Mark({0}, 2);
    EXPECT_EQ(After(CMCROP, 2), Titles({0, 4}));
    EXPECT_EQ(After(CMDELETEFOCUS, 1), Titles({0}));
    EXPECT_EQ(After(CMDELETEALL, 0), Rows{});
    EXPECT_EQ(After(CMGETALL, 5), Titles({0, 1, 2, 3, 4}));  // the whole library while the track list is closed

    // Inverting twice restores the selection; a block moves as a whole and the focus follows it.
    Mark({2, 3}, 3);
    SendCommand(pl, CMSELECTINVERT);
    EXPECT_EQ(ListViewSelection(items), (std::vector<int>{0, 1, 4}));
    SendCommand(pl, CMSELECTINVERT);
    ASSERT_TRUE(Click(pl, BTUP));
    EXPECT_EQ(Table(), Titles({0, 2, 3, 1, 4}));
    EXPECT_EQ(ListViewSelection(items), (std::vector<int>{1, 2}));
    EXPECT_EQ(ListViewState(items, 2, LVIS_FOCUSED), static_cast<UINT>(LVIS_FOCUSED));
    Mark({0, 2}, 2);
    ASSERT_TRUE(Click(pl, BTUP));  // row 0 has no room: nothing moves
    EXPECT_EQ(Table(), Titles({0, 2, 3, 1, 4}));

    // Edit opens the item Down moved; its panning thumb stands in the middle; OK keeps a description.
    Mark({3}, 3);
    ASSERT_TRUE(Click(pl, BTDOWN));
    ASSERT_TRUE(ClickPosted(pl, BTEDIT));
    const HWND editor = WaitForShown("Edit playlist item");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(ControlText(editor, EDTITLE), "Band - T1");
    EXPECT_LE(std::abs(TrackbarThumbOffCentre(Control(editor, TBPANNING))), 2);
    ASSERT_TRUE(SetControlText(editor, EDDESC, "live"));

    // While the editor holds the item, commands that release items are refused.
    for (int command : {CMDELETEALL, CMCROP, CMERASELIST}) {
        PostCommand(pl, command);
        ExpectMessageBox("Error", kBusy, IDOK);
    }
    ASSERT_TRUE(Answer(editor, IDOK));
    EXPECT_EQ(Table(), (Rows{"Band - T0", "Band - T2", "Band - T3", "Band - T4", "Band - T1 [live]"}));

    // Sorting by title, then Randomize keeps the items.
    const Rows byTitle = {"Band - T0", "Band - T1 [live]", "Band - T2", "Band - T3", "Band - T4"};
    EXPECT_EQ(After(CMSORTTITLE, 5), byTitle);
    const Rows shuffled = After(CMSORTRAND, 5);
    EXPECT_TRUE(std::is_permutation(shuffled.begin(), shuffled.end(), byTitle.begin(), byTitle.end()));

    // Load queues the focused item for the mixer.
    ASSERT_TRUE(ListViewSelect(items, 4) && Click(pl, BTACTIVATE));
    EXPECT_EQ(WaitForText(Control(panel, EDNEXT), shuffled[4], kWindowTimeoutMs), shuffled[4]);

    // New database keeps the library in its file first; closing then asks nothing.
    ASSERT_NO_FATAL_FAILURE(OpenTrackList());
    SendCommand(tl, CMNEW);
    EXPECT_EQ(ListViewCount(list), 0);
    EXPECT_EQ(ListViewCount(items), 0);
    Quit();
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
