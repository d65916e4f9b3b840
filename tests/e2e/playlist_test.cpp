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

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using e2e::Click;
using e2e::ClickPosted;
using e2e::Control;
using e2e::ControlText;
using e2e::kWindowTimeoutMs;
using e2e::WaitUntil;

using Rows = std::vector<std::string>;

// "Band - T<i>" for each i, as the rows show the tracks T0..T4.
Rows Titles(const std::vector<int>& order)
{
    Rows titles;
    for (const int i : order)
        titles.push_back("Band - T" + std::to_string(i));
    return titles;
}

// How far the trackbar's thumb stands from the middle of the control, in pixels
// (TBM_GETTHUMBRECT writes into the trackbar's own process).
int ThumbOffCentre(HWND trackbar)
{
    const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, e2e::WindowProcess(trackbar));
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    RECT thumb{}, client{};
    SendMessageA(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, &thumb, sizeof thumb, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    GetClientRect(trackbar, &client);
    return (thumb.left + thumb.right) / 2 - client.right / 2;
}

std::vector<int> Placement(HWND dialog, int id)
{
    RECT r{};
    GetWindowRect(Control(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

class PlaylistTest : public e2e::TandemTest {
protected:
    // Five tracks T0..T4 of 3.3 s, 4.3 s, ... in the track list and, in order, in the playlist "default".
    void WriteLibrary()
    {
        std::vector<std::string> files;
        for (int i = 0; i < 5; ++i) {
            const std::string number = std::to_string(i);
            files.push_back(MusicFile(std::string("t").append(number).append(".mp3")));
            e2e::WriteTrack(files.back(), {"Band", std::string("T").append(number), 17, 3300u + 1000u * i});
        }
        StoreLibrary(files);
    }

    Rows Table()
    {
        Rows rows;
        for (const auto& row : e2e::ListViewRows(items, 1))
            rows.push_back(row.at(0));
        return rows;
    }

    // Exactly these rows selected and the one row focused, as Ctrl+clicks leave them.
    void Mark(const std::vector<int>& selected, int focused)
    {
        ASSERT_TRUE(e2e::ListViewSetState(items, -1, 0, LVIS_SELECTED | LVIS_FOCUSED));
        for (const int row : selected)
            ASSERT_TRUE(e2e::ListViewSetState(items, row, LVIS_SELECTED, LVIS_SELECTED));
        ASSERT_TRUE(focused < 0 || e2e::ListViewSetState(items, focused, LVIS_FOCUSED, LVIS_FOCUSED));
    }

    // The table after a command, once it has the rows.
    Rows After(int command, std::size_t rows)
    {
        e2e::SendCommand(pl, command);
        WaitUntil([&] { return e2e::ListViewCount(items) == static_cast<int>(rows); }, kWindowTimeoutMs);
        return Table();
    }

    HWND OpenItemEditor()
    {
        EXPECT_TRUE(ClickPosted(pl, BTEDIT));
        const HWND dialog = WaitForShown("Edit playlist item");
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    HWND pl = nullptr;
    HWND items = nullptr;
};

TEST_F(PlaylistTest, OneSessionOfEditingTheDefaultList)
{
    WriteLibrary();
    ASSERT_FALSE(HasFatalFailure());
    StartTandem();
    ASSERT_FALSE(HasFatalFailure());
    for (int id : {TBPANNINGPL1, TBPANNINGPL2, TBPANNINGBC1, TBPANNINGBC2, TBPANNINGTEST, TBPANNINGCOM})
        EXPECT_LE(std::abs(ThumbOffCentre(Control(panel, id))), 2) << id;  // every panning at 0: in the middle

    ASSERT_TRUE(Click(panel, BTPLAYLIST));
    pl = WaitForDialog([](HWND w) { return Control(w, LVPLAYLIST) != nullptr; });
    ASSERT_NE(pl, nullptr);
    items = Control(pl, LVPLAYLIST);
    ASSERT_EQ(Table(), Titles({0, 1, 2, 3, 4}));
    EXPECT_EQ(ControlText(pl, STTOTAL), "Total tracks:   5  Total time: 0:26");

    SetWindowPos(pl, nullptr, 0, 0, 420, 520, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    ASSERT_TRUE(GetClientRect(pl, &client));
    const int W = client.right, H = client.bottom;
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
    e2e::SendCommand(pl, CMSELECTINVERT);
    EXPECT_EQ(e2e::ListViewSelection(items), (std::vector<int>{0, 1, 4}));
    e2e::SendCommand(pl, CMSELECTINVERT);
    ASSERT_TRUE(Click(pl, BTUP));
    EXPECT_EQ(Table(), Titles({0, 2, 3, 1, 4}));
    EXPECT_EQ(e2e::ListViewSelection(items), (std::vector<int>{1, 2}));
    EXPECT_EQ(e2e::ListViewState(items, 2, LVIS_FOCUSED), static_cast<UINT>(LVIS_FOCUSED));
    Mark({0, 2}, 2);
    ASSERT_TRUE(Click(pl, BTUP));  // row 0 has no room: nothing moves
    EXPECT_EQ(Table(), Titles({0, 2, 3, 1, 4}));

    // Edit opens the item Down moved; its panning thumb stands in the middle; OK keeps a description.
    Mark({3}, 3);
    ASSERT_TRUE(Click(pl, BTDOWN));
    HWND editor = OpenItemEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(ControlText(editor, EDTITLE), "Band - T1");
    EXPECT_LE(std::abs(ThumbOffCentre(Control(editor, TBPANNING))), 2);
    ASSERT_TRUE(e2e::SetControlText(editor, EDDESC, "live"));

    // While the editor holds the item, commands that release items are refused.
    const std::string busy = "Close the open dialogs and messages of Tandem first: they may use what this command releases.";
    for (int command : {CMDELETEALL, CMCROP, CMERASELIST}) {
        e2e::PostCommand(pl, command);
        ExpectMessageBox("Error", busy, IDOK);
    }
    ASSERT_TRUE(Click(editor, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(editor); }, kWindowTimeoutMs));
    EXPECT_EQ(Table(), (Rows{"Band - T0", "Band - T2", "Band - T3", "Band - T4", "Band - T1 [live]"}));

    // Sorting by title, then Randomize keeps the items.
    EXPECT_EQ(After(CMSORTTITLE, 5), (Rows{"Band - T0", "Band - T1 [live]", "Band - T2", "Band - T3", "Band - T4"}));
    const Rows sorted = Table();
    const Rows shuffled = After(CMSORTRAND, 5);
    EXPECT_EQ(std::multiset<std::string>(shuffled.begin(), shuffled.end()),
              std::multiset<std::string>(sorted.begin(), sorted.end()));

    // Load queues the focused item for the mixer.
    ASSERT_TRUE(e2e::ListViewSelect(items, 4));
    ASSERT_TRUE(Click(pl, BTACTIVATE));
    EXPECT_EQ(e2e::WaitForText(Control(panel, EDNEXT), shuffled[4], kWindowTimeoutMs), shuffled[4]);

    // New database keeps the library in its file first; closing then asks nothing.
    ASSERT_TRUE(Click(panel, BTTL));
    const HWND tl = WaitForShown("List of tracks");
    ASSERT_NE(tl, nullptr);
    e2e::SendCommand(tl, CMNEW);
    EXPECT_EQ(e2e::ListViewCount(Control(tl, LVTRACKLIST)), 0);
    EXPECT_EQ(e2e::ListViewCount(items), 0);
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
