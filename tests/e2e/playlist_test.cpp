// The playlist editor as a user drives it in a running Tandem: taking
// tracks, deleting, cropping, selecting, moving and sorting rows, the item
// editor, queuing items for the mixer, switching, creating and exporting
// lists, and an unattended run whose lists survive in the database file.
//
// Most libraries are written with the core before Tandem starts; the table
// is checked against the playlist by opening a fresh editor window.
#include "tandem.h"

#include "defs.h"
#include "fncomm.h"
#include "fndb.h"
#include "fnlang.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnpll.h"
#include "fnsong.h"
#include "fntl.h"
#include "resource.h"
#include "string2.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

using e2e::Click;
using e2e::ClickPosted;
using e2e::Control;
using e2e::ControlText;
using e2e::kWindowTimeoutMs;
using e2e::Tag;
using e2e::WaitUntil;

using Rows = std::vector<std::string>;

constexpr char kItemEditorCaption[] = "Edit playlist item";

struct Track {
    std::string file;
    Tag tag;
};

// "artist - title", as the table and the control panel show a track.
std::string FullTitle(const Track& track) { return track.tag.artist + " - " + track.tag.title; }

// Five tracks T0..T4 of one artist; the lengths end in .3 s so that sums of
// any few of them stay clear of whole seconds despite frame rounding.
std::vector<Track> FiveTracks()
{
    std::vector<Track> tracks;
    for (int i = 0; i < 5; ++i)
        tracks.push_back({"t" + std::to_string(i) + ".mp3", {"Band", "T" + std::to_string(i), 17, 3300u + 1000u * i}});
    return tracks;
}

std::vector<std::string> Titles(const std::vector<Track>& tracks, const std::vector<int>& order)
{
    std::vector<std::string> titles;
    for (const int i : order)
        titles.push_back(FullTitle(tracks.at(static_cast<std::size_t>(i))));
    return titles;
}

std::multiset<std::string> AsSet(const Rows& rows) { return {rows.begin(), rows.end()}; }

// What the database file keeps of an item, on one line for readable diffs.
std::string ItemFacts(const PLI* pli)
{
    std::string s = SongGetFileName(PLIGetSong(pli));
    s += " [" + std::string(pli->cDesc) + "]";
    s += " vol=" + std::to_string(pli->UpdFlag.bVolume) + "/" + std::to_string(pli->Override.iVolume);
    s += " pan=" + std::to_string(pli->UpdFlag.bPanning) + "/" + std::to_string(pli->Override.iPanning);
    s += " len=" + std::to_string(pli->UpdFlag.bLengths) + "/" + std::to_string(pli->Override.lFadeLen) + "/" +
         std::to_string(pli->Override.lDuoLen);
    s += " type=" + std::to_string(pli->UpdFlag.bFade) + "/" + std::to_string(pli->Override.iFadeType);
    s += " bounds=" + std::to_string(pli->UpdFlag.bBounds) + "/" + std::to_string(pli->Override.timMainPart.lStart) +
         "-" + std::to_string(pli->Override.timMainPart.lEnd);
    s += " opt=" + std::to_string(pli->Option.iFade) + std::to_string(pli->Option.iIntro) +
         std::to_string(pli->Option.iDuo) + std::to_string(pli->Option.iBeats) + std::to_string(pli->Option.iEffect);
    return s;
}

// Every playlist by name with its items' facts, in list order.
using Lists = std::vector<std::pair<std::string, std::vector<std::string>>>;

Lists ListsOf(DB* db)
{
    Lists lists;
    LISTITEM* plKey = nullptr;
    for (auto* pl = static_cast<PL*>(ListFindFirstItem(DBGetPLL(db), &plKey)); pl != nullptr;
         pl = static_cast<PL*>(ListFindNextItem(DBGetPLL(db), &plKey))) {
        auto& [name, items] = lists.emplace_back(PLGetName(pl), std::vector<std::string>{});
        LISTITEM* key = nullptr;
        for (PLI* pli = PLFindFirstPLI(pl, &key); pli != nullptr; pli = PLFindNextPLI(pl, &key))
            items.push_back(ItemFacts(pli));
    }
    return lists;
}

class PlaylistTest : public e2e::TandemTest {
protected:
    using Fill = std::function<void(DB*, const std::vector<SONG*>&)>;

    static void AllIntoDefault(DB* db, const std::vector<SONG*>& songs)
    {
        for (SONG* song : songs)
            PLAddSong(DBGetCurrentPL(db), song);
    }

    // The files, and a database at the "Recent" path that holds them in its
    // track list; fill builds the playlists.
    void WriteLibrary(const std::vector<Track>& tracks, const Fill& fill = AllIntoDefault)
    {
        library = tracks;
        for (const Track& track : tracks)
            e2e::WriteTrack(MusicFile(track.file), track.tag);
        DB db{};
        DBInit(&db);
        std::vector<SONG*> songs;
        for (const Track& track : tracks) {
            SONG* song = SongCreate();
            ASSERT_NE(song, nullptr);
            ASSERT_EQ(ReadSongInfos(MusicFile(track.file).c_str(), song, 1), RSI_TAG) << track.file;
            TLAddSong(DBGetTL(&db), song);
            songs.push_back(song);
        }
        fill(&db, songs);
        DBSetPath(&db, database.c_str());
        ASSERT_EQ(DBStore(&db), 1);
        DBFree(&db);
    }

    // The playlists as the database file at the "Recent" path holds them.
    Lists StoredLists()
    {
        DB db{};
        DBInit(&db);
        DBSetPath(&db, database.c_str());
        EXPECT_EQ(DBRestore(&db), 1);
        Lists lists = ListsOf(&db);
        DBFree(&db);
        return lists;
    }

    void StartWithEditor()
    {
        StartTandem();
        if (!HasFatalFailure())
            OpenEditor();
    }

    void OpenEditor()
    {
        ASSERT_TRUE(Click(panel, BTPLAYLIST));
        pl = WaitForDialog([](HWND w) { return Control(w, LVPLAYLIST) != nullptr; });
        ASSERT_NE(pl, nullptr);
        items = Control(pl, LVPLAYLIST);
    }

    // A fresh window fills its table from the playlist itself.
    void ReopenEditor()
    {
        PostMessageA(pl, WM_CLOSE, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(pl); }, kWindowTimeoutMs));
        OpenEditor();
    }

    Rows Table()
    {
        Rows rows;
        for (const auto& row : e2e::ListViewRows(items, 1))
            rows.push_back(row.at(0));
        return rows;
    }

    bool WaitRows(int count)
    {
        return WaitUntil([&] { return e2e::ListViewCount(items) == count; }, kWindowTimeoutMs, 20);
    }

    // Exactly these rows selected and the one row focused, as Ctrl+clicks leave them.
    void Mark(const std::vector<int>& selected, int focused)
    {
        ASSERT_TRUE(e2e::ListViewSetState(items, -1, 0, LVIS_SELECTED | LVIS_FOCUSED));
        for (const int row : selected) {
            ASSERT_TRUE(e2e::ListViewSetState(items, row, LVIS_SELECTED, LVIS_SELECTED));
        }
        if (focused >= 0) {
            ASSERT_TRUE(e2e::ListViewSetState(items, focused, LVIS_FOCUSED, LVIS_FOCUSED));
        }
    }

    int FocusedRow()
    {
        for (int row = 0; row < e2e::ListViewCount(items); ++row)
            if (e2e::ListViewState(items, row, LVIS_FOCUSED) != 0)
                return row;
        return -1;
    }

    std::string Total() { return ControlText(pl, STTOTAL); }

    // The table emptied and filled again with the whole library (the track
    // list window is closed), in library order.
    void Refill()
    {
        e2e::SendCommand(pl, CMDELETEALL);
        ASSERT_TRUE(WaitRows(0));
        e2e::SendCommand(pl, CMGETALL);
        ASSERT_TRUE(WaitRows(static_cast<int>(library.size())));
    }

    HWND OpenItemEditor(int row)
    {
        EXPECT_TRUE(e2e::ListViewSelect(items, row));
        EXPECT_TRUE(ClickPosted(pl, BTEDIT));
        const HWND dialog = WaitForShown(kItemEditorCaption);
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    void CloseItemEditor(HWND dialog, int button)
    {
        ASSERT_TRUE(Click(dialog, button));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kWindowTimeoutMs));
    }

    void SetPanelBox(int id, bool on)
    {
        if ((e2e::CheckState(panel, id) == BST_CHECKED) != on) {
            ASSERT_TRUE(Click(panel, id));
        }
        ASSERT_EQ(e2e::CheckState(panel, id), on ? BST_CHECKED : BST_UNCHECKED);
    }

    // Queues the row's item with "Load", as a click on the row and the button do.
    void Load(int row)
    {
        ASSERT_TRUE(e2e::ListViewSelect(items, row));
        ASSERT_TRUE(Click(pl, BTACTIVATE));
    }

    std::string Next() { return ControlText(panel, EDNEXT); }
    std::string Playing() { return ControlText(panel, EDPLAYING); }

    std::vector<Track> library;
    HWND pl = nullptr;
    HWND items = nullptr;
};

// ---- taking tracks ----

TEST_F(PlaylistTest, GetAllTakesTheOpenTrackListsRowsOrTheWholeLibraryWhenItIsClosed)
{
    const std::vector<Track> tracks = {{"a.mp3", {"Cello", "Autumn"}}, {"b.mp3", {"Alto", "Bridge"}},
                                       {"c.mp3", {"Bass", "Canal"}}};
    WriteLibrary(tracks, [](DB*, const std::vector<SONG*>& songs) { songs[1]->General.bHidden = 1; });
    ASSERT_FALSE(HasFatalFailure());
    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Total(), "Total tracks:   0  Total time: 0:00");

    // Closed track list: "Get focused" has nothing to take.
    e2e::SendCommand(pl, CMGETFOCUSED);
    EXPECT_EQ(e2e::ListViewCount(items), 0);

    ASSERT_TRUE(Click(panel, BTTL));
    const HWND tl = WaitForShown("List of tracks");
    ASSERT_NE(tl, nullptr);
    const HWND tracksView = Control(tl, LVTRACKLIST);
    Rows shown;
    for (const auto& row : e2e::ListViewRows(tracksView, 2))
        shown.push_back(row[0] + " - " + row[1]);
    ASSERT_EQ(shown.size(), 2u);

    e2e::SendCommand(pl, CMGETALL);
    ASSERT_TRUE(WaitRows(2));
    EXPECT_EQ(Table(), shown);
    EXPECT_EQ(Total(), "Total tracks:   2  Total time: 0:40");

    ASSERT_TRUE(e2e::ListViewSelect(tracksView, 1));
    e2e::SendCommand(pl, CMGETSELECTED);
    ASSERT_TRUE(WaitRows(3));
    EXPECT_EQ(Table().back(), shown[1]);

    ASSERT_TRUE(Click(tl, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(tl); }, kWindowTimeoutMs));
    Refill();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Table(), Titles(tracks, {0, 1, 2}));
}

// ---- deleting and cropping ----

TEST_F(PlaylistTest, DeleteSelectedDeleteFocusedAndCropKeepTableTotalAndPlaylistInStep)
{
    const auto tracks = FiveTracks();
    WriteLibrary(tracks);
    ASSERT_FALSE(HasFatalFailure());
    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(Table(), Titles(tracks, {0, 1, 2, 3, 4}));
    EXPECT_EQ(Total(), "Total tracks:   5  Total time: 0:26");

    Mark({1, 3}, 3);
    e2e::SendCommand(pl, CMDELETESELEC);
    EXPECT_EQ(Table(), Titles(tracks, {0, 2, 4}));
    EXPECT_EQ(Total(), "Total tracks:   3  Total time: 0:15");
    ReopenEditor();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Table(), Titles(tracks, {0, 2, 4}));

    Refill();
    ASSERT_FALSE(HasFatalFailure());
    Mark({2, 3, 4}, 3);
    e2e::SendCommand(pl, CMDELETEFOCUS);
    EXPECT_EQ(Table(), Titles(tracks, {0, 1, 2, 4}));
    EXPECT_EQ(Total(), "Total tracks:   4  Total time: 0:20");

    Refill();
    ASSERT_FALSE(HasFatalFailure());
    Mark({1}, 4);
    e2e::SendCommand(pl, CMCROP);
    EXPECT_EQ(Table(), Titles(tracks, {1, 4}));
    EXPECT_EQ(Total(), "Total tracks:   2  Total time: 0:11");
    ReopenEditor();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Table(), Titles(tracks, {1, 4}));

    // Nothing selected, nothing focused: nothing goes.
    Mark({}, -1);
    e2e::SendCommand(pl, CMDELETESELEC);
    e2e::SendCommand(pl, CMDELETEFOCUS);
    EXPECT_EQ(Table(), Titles(tracks, {1, 4}));
}

// ---- selecting and moving ----

TEST_F(PlaylistTest, InvertTwiceRestoresTheSelectionAndBlocksMoveOnlyAsAWhole)
{
    const auto tracks = FiveTracks();
    WriteLibrary(tracks);
    ASSERT_FALSE(HasFatalFailure());
    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());

    Mark({1, 3}, 3);
    e2e::SendCommand(pl, CMSELECTINVERT);
    EXPECT_EQ(e2e::ListViewSelection(items), (std::vector<int>{0, 2, 4}));
    e2e::SendCommand(pl, CMSELECTINVERT);
    EXPECT_EQ(e2e::ListViewSelection(items), (std::vector<int>{1, 3}));
    EXPECT_EQ(FocusedRow(), 3);
    e2e::SendCommand(pl, CMSELECTALL);
    EXPECT_EQ(e2e::ListViewSelection(items), (std::vector<int>{0, 1, 2, 3, 4}));
    e2e::SendCommand(pl, CMSELECTZERO);
    EXPECT_TRUE(e2e::ListViewSelection(items).empty());

    Mark({2, 3}, 3);
    ASSERT_TRUE(Click(pl, BTUP));
    EXPECT_EQ(Table(), Titles(tracks, {0, 2, 3, 1, 4}));
    EXPECT_EQ(e2e::ListViewSelection(items), (std::vector<int>{1, 2}));
    ReopenEditor();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(Table(), Titles(tracks, {0, 2, 3, 1, 4}));

    // A block touching the edge moves nothing, not even its rows with room.
    Mark({0, 1}, 1);
    ASSERT_TRUE(Click(pl, BTUP));
    Mark({2, 4}, 2);
    ASSERT_TRUE(Click(pl, BTDOWN));
    EXPECT_EQ(Table(), Titles(tracks, {0, 2, 3, 1, 4}));

    // Rows apart each move by one.
    Mark({0, 2}, 0);
    ASSERT_TRUE(Click(pl, BTDOWN));
    EXPECT_EQ(Table(), Titles(tracks, {2, 0, 1, 3, 4}));
    EXPECT_EQ(e2e::ListViewSelection(items), (std::vector<int>{1, 3}));
    ReopenEditor();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Table(), Titles(tracks, {2, 0, 1, 3, 4}));
}

// ---- sorting ----

TEST_F(PlaylistTest, SortByTitleIsByteOrderRandomizeKeepsTheItemsReverseReverses)
{
    const std::vector<Track> tracks = {{"1.mp3", {"Mel", "alpha", 17, 3000}}, {"2.mp3", {"Mel", "Zeta", 17, 3000}},
                                       {"3.mp3", {"Mel", "_x", 17, 3000}},    {"4.mp3", {"Mel", "Alpha", 17, 3000}},
                                       {"5.mp3", {"Ann", "beta", 17, 3000}},  {"6.mp3", {"Mel", "alpha", 8, 3000}}};
    WriteLibrary(tracks);
    ASSERT_FALSE(HasFatalFailure());
    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());

    // Upper case before '_' before lower case.
    e2e::SendCommand(pl, CMSORTTITLE);
    const Rows sorted = Titles(tracks, {4, 3, 1, 2, 0, 5});
    ASSERT_EQ(Table(), (Rows{"Ann - beta", "Mel - Alpha", "Mel - Zeta", "Mel - _x", "Mel - alpha", "Mel - alpha"}));
    ASSERT_EQ(Table(), sorted);

    e2e::SendCommand(pl, CMSORTREV);
    const Rows reversed(sorted.rbegin(), sorted.rend());
    EXPECT_EQ(Table(), reversed);
    ReopenEditor();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Table(), reversed);

    e2e::SendCommand(pl, CMSORTRAND);
    const Rows shuffled = Table();
    EXPECT_EQ(AsSet(shuffled), AsSet(sorted));
    ReopenEditor();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Table(), shuffled);
}

// ---- the item editor ----

TEST_F(PlaylistTest, ItemEditorOkStoresDescriptionVolumeAndBoundsAndCancelDropsTheChanges)
{
    const std::vector<Track> tracks = {{"a.mp3", {"Opener", "First", 17, 8000}},
                                       {"b.mp3", {"Closer", "Second", 17, 8000}}};
    WriteLibrary(tracks);
    ASSERT_FALSE(HasFatalFailure());
    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());

    HWND dialog = OpenItemEditor(1);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, EDTITLE), "Closer - Second");
    EXPECT_EQ(ControlText(dialog, EDDESC), "");
    EXPECT_EQ(e2e::CheckState(dialog, CBVOLUME), BST_UNCHECKED);
    EXPECT_FALSE(e2e::IsControlEnabled(dialog, TBVOLUME));
    EXPECT_EQ(e2e::CheckState(dialog, CBFADE), BST_INDETERMINATE);

    const std::string longDesc = "encore after the second break";  // 29 characters, then more
    ASSERT_TRUE(e2e::SetControlText(dialog, EDDESC, longDesc + " and more"));
    ASSERT_TRUE(Click(dialog, CBVOLUME));
    EXPECT_TRUE(e2e::IsControlEnabled(dialog, TBVOLUME));
    ASSERT_TRUE(e2e::SetTrackbarPos(dialog, TBVOLUME, 128));
    EXPECT_EQ(ControlText(dialog, STVOLUME), "50");

    // A start after the end is refused; the end first, then the start.
    ASSERT_TRUE(Click(dialog, CBSONGBOUNDS));
    ASSERT_TRUE(e2e::SetTrackbarPos(dialog, TBSONGBOUNDS, 2));
    EXPECT_EQ(ControlText(dialog, EDPOS), "0:02:000");
    ASSERT_TRUE(Click(dialog, BTSTART));
    EXPECT_EQ(ControlText(dialog, EDSTART), "0:00:000");
    ASSERT_TRUE(e2e::SetTrackbarPos(dialog, TBSONGBOUNDS, 6));
    ASSERT_TRUE(Click(dialog, BTEND));
    ASSERT_TRUE(e2e::SetTrackbarPos(dialog, TBSONGBOUNDS, 2));
    ASSERT_TRUE(Click(dialog, BTSTART));
    ASSERT_TRUE(e2e::SetTrackbarPos(dialog, TBSONGBOUNDS, 7));
    ASSERT_TRUE(Click(dialog, BTSTART));
    EXPECT_EQ(ControlText(dialog, EDSTART), "0:02:000");
    EXPECT_EQ(ControlText(dialog, EDEND), "0:06:000");
    EXPECT_EQ(ControlText(dialog, EDLEN), "0:04:000");
    CloseItemEditor(dialog, IDOK);
    ASSERT_FALSE(HasFatalFailure());

    const std::string row = "Closer - Second [" + longDesc + "]";
    EXPECT_EQ(Table(), (Rows{"Opener - First", row}));
    EXPECT_EQ(e2e::WindowText(pl), "Playlist editor - default: " + row);

    dialog = OpenItemEditor(1);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, EDDESC), longDesc);
    EXPECT_EQ(e2e::CheckState(dialog, CBVOLUME), BST_CHECKED);
    EXPECT_EQ(ControlText(dialog, STVOLUME), "50");
    EXPECT_EQ(e2e::TrackbarPos(dialog, TBVOLUME), 128);
    EXPECT_EQ(ControlText(dialog, EDSTART), "0:02:000");
    EXPECT_EQ(ControlText(dialog, EDEND), "0:06:000");
    ASSERT_TRUE(e2e::SetControlText(dialog, EDDESC, "dropped"));
    ASSERT_TRUE(Click(dialog, CBVOLUME));
    ASSERT_TRUE(e2e::SetTrackbarPos(dialog, TBSONGBOUNDS, 8));
    ASSERT_TRUE(Click(dialog, BTEND));
    CloseItemEditor(dialog, IDCANCEL);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Table(), (Rows{"Opener - First", row}));

    Quit();
    const Lists stored = StoredLists();
    ASSERT_EQ(stored.size(), 1u);
    ASSERT_EQ(stored[0].second.size(), 2u);
    EXPECT_EQ(stored[0].second[0],
              MusicFile("a.mp3") + " [] vol=0/0 pan=0/0 len=0/0/0 type=0/0 bounds=0/0-0 opt=22222");
    EXPECT_EQ(stored[0].second[1],
              MusicFile("b.mp3") + " [" + longDesc + "] vol=1/128 pan=0/0 len=0/0/0 type=0/0 bounds=1/2000-6000 opt=22222");
}

// ---- queuing ----

TEST_F(PlaylistTest, LoadQueuesTheFocusedItemAndItsFadeOffSwitchesThePanelsFadeOff)
{
    const std::vector<Track> tracks = {{"a.mp3", {"A", "One"}}, {"b.mp3", {"B", "Two"}}, {"c.mp3", {"C", "Three"}}};
    WriteLibrary(tracks);
    ASSERT_FALSE(HasFatalFailure());
    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Next(), strEOPL);
    SetPanelBox(CBFADE, true);
    ASSERT_FALSE(HasFatalFailure());

    // One click on the undecided box of a new item gives "off".
    const HWND dialog = OpenItemEditor(2);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(Click(dialog, CBFADE));
    EXPECT_EQ(e2e::CheckState(dialog, CBFADE), BST_UNCHECKED);
    CloseItemEditor(dialog, IDOK);
    ASSERT_FALSE(HasFatalFailure());

    // An item that leaves the switch alone.
    Load(1);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Next(), "B - Two");
    EXPECT_EQ(e2e::CheckState(panel, CBFADE), BST_CHECKED);
    EXPECT_EQ(FocusedRow(), 1);
    EXPECT_TRUE(WaitUntil([&] { return !JournalOfPlayerWith(MusicFile("b.mp3")).empty(); }, kWindowTimeoutMs));

    Load(2);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Next(), "C - Three");
    EXPECT_EQ(e2e::CheckState(panel, CBFADE), BST_UNCHECKED);
    EXPECT_EQ(FocusedRow(), 2);
    EXPECT_TRUE(WaitUntil([&] { return !JournalOfPlayerWith(MusicFile("c.mp3")).empty(); }, kWindowTimeoutMs));
    EXPECT_EQ(e2e::WindowText(pl), "Playlist editor - default: C - Three");
}

TEST_F(PlaylistTest, DeletingTheQueuedNextItemLetsTheMixerGoOn)
{
    const std::vector<Track> tracks = {{"a.mp3", {"A", "One", 17, 4000}},
                                       {"b.mp3", {"B", "Two", 17, 4000}},
                                       {"c.mp3", {"C", "Three", 17, 4000}}};
    WriteLibrary(tracks);
    ASSERT_FALSE(HasFatalFailure());
    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());
    // A short fade puts the change before the track's very end.
    SetPanelBox(CBREPEAT, true);
    SetPanelBox(CBFADE, true);
    ASSERT_TRUE(e2e::SetComboText(panel, CBOFADELEN, "500"));
    ASSERT_FALSE(HasFatalFailure());

    Load(0);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(Click(panel, BTPLAYNEXT));
    ASSERT_EQ(e2e::WaitForText(Control(panel, EDPLAYING), "A - One", kWindowTimeoutMs), "A - One");
    ASSERT_EQ(e2e::WaitForText(Control(panel, EDNEXT), "B - Two", kWindowTimeoutMs), "B - Two");

    Mark({1}, 1);
    e2e::SendCommand(pl, CMDELETESELEC);
    EXPECT_EQ(Table(), (Rows{"A - One", "C - Three"}));
    EXPECT_EQ(Next(), strEOPL);

    // The track plays out into nothing; the mixer then queues again from the
    // playlist, and NEXT plays what it queued.
    EXPECT_TRUE(WaitUntil([&] { return Playing() != "A - One"; }, 20000, 50)) << Playing();
    EXPECT_TRUE(WaitUntil([&] { return Next() != strEOPL; }, kWindowTimeoutMs, 50)) << Next();
    const std::string queued = Next();
    EXPECT_TRUE(queued == "A - One" || queued == "C - Three") << queued;
    ASSERT_TRUE(Click(panel, BTPLAYNEXT));
    EXPECT_EQ(e2e::WaitForText(Control(panel, EDPLAYING), queued, kWindowTimeoutMs), queued);
    EXPECT_FALSE(e2e::ProcessEnded(tandem.pid));
    EXPECT_EQ(Table(), (Rows{"A - One", "C - Three"}));
    Quit();
    const Lists stored = StoredLists();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].second.size(), 2u);
}

// ---- lists ----

TEST_F(PlaylistTest, NewListSelectListThroughTheChooserAndOnlyDeleteAndRename)
{
    const std::vector<Track> tracks = {{"a.mp3", {"A", "One"}}, {"b.mp3", {"B", "Two"}}};
    WriteLibrary(tracks);
    ASSERT_FALSE(HasFatalFailure());
    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(e2e::ListViewSelect(items, 1));

    e2e::PostCommand(pl, CMNEWLIST);
    HWND dialog = WaitForShown("Create new playlist");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, EDNAME), "default");
    EXPECT_EQ(e2e::CheckState(dialog, CBDELETE), BST_UNCHECKED);
    ASSERT_TRUE(e2e::SetControlText(dialog, EDNAME, "Second"));
    ASSERT_TRUE(ClickPosted(dialog, IDOK));
    ASSERT_TRUE(WaitRows(0));
    EXPECT_EQ(e2e::WaitForText(pl, "Playlist editor - Second: -", kWindowTimeoutMs), "Playlist editor - Second: -");
    EXPECT_EQ(Total(), "Total tracks:   0  Total time: 0:00");
    EXPECT_EQ(ControlText(pl, STLENGTH), "Length: ");
    EXPECT_EQ(ControlText(pl, STCOMMENT), "Comment: ");
    e2e::SendCommand(pl, CMGETALL);
    ASSERT_TRUE(WaitRows(2));

    // A name that another list has is refused.
    e2e::PostCommand(pl, CMNEWLIST);
    dialog = WaitForShown("Create new playlist");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(e2e::SetControlText(dialog, EDNAME, "default"));
    ASSERT_TRUE(ClickPosted(dialog, IDOK));
    ExpectMessageBox("Error", "A list with this name already exists!", IDOK);
    EXPECT_EQ(e2e::ListViewCount(items), 2);
    EXPECT_EQ(e2e::WindowText(pl).rfind("Playlist editor - Second: ", 0), 0u) << e2e::WindowText(pl);

    e2e::PostCommand(pl, CMLOADLIST);
    HWND chooser = WaitForShown("Load playlist");
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(e2e::ListBoxItems(chooser, LBLIST), (std::vector<std::string>{"default", "Second"}));
    SendMessageA(Control(chooser, LBLIST), LB_SETCURSEL, 0, 0);
    ASSERT_TRUE(ClickPosted(chooser, BTRENAME));
    ExpectMessageBox("Error", "Function isn't available!", IDOK);
    ASSERT_TRUE(IsWindow(chooser));
    EXPECT_EQ(SendMessageA(Control(chooser, LBLIST), LB_GETCURSEL, 0, 0), 0);
    ASSERT_TRUE(ClickPosted(chooser, IDOK));
    EXPECT_EQ(e2e::WaitForText(pl, "Playlist editor - default: B - Two", kWindowTimeoutMs),
              "Playlist editor - default: B - Two");
    EXPECT_EQ(Table(), Titles(tracks, {0, 1}));
    EXPECT_EQ(FocusedRow(), 1);

    // Cancel keeps the list.
    e2e::PostCommand(pl, CMLOADLIST);
    chooser = WaitForShown("Load playlist");
    ASSERT_NE(chooser, nullptr);
    SendMessageA(Control(chooser, LBLIST), LB_SETCURSEL, 1, 0);
    ASSERT_TRUE(ClickPosted(chooser, IDCANCEL));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(chooser); }, kWindowTimeoutMs));
    EXPECT_EQ(Table(), Titles(tracks, {0, 1}));

    // "Only delete items and rename" empties the current list and renames it.
    e2e::PostCommand(pl, CMNEWLIST);
    dialog = WaitForShown("Create new playlist");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(Click(dialog, CBDELETE));
    ASSERT_TRUE(e2e::SetControlText(dialog, EDNAME, "Renamed"));
    ASSERT_TRUE(ClickPosted(dialog, IDOK));
    ASSERT_TRUE(WaitRows(0));
    EXPECT_EQ(e2e::WaitForText(pl, "Playlist editor - Renamed: -", kWindowTimeoutMs), "Playlist editor - Renamed: -");

    e2e::PostCommand(pl, CMNEWLIST);
    dialog = WaitForShown("Create new playlist");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(e2e::CheckState(dialog, CBDELETE), BST_CHECKED);
    EXPECT_EQ(ControlText(dialog, EDNAME), "Renamed");
    ASSERT_TRUE(ClickPosted(dialog, IDCANCEL));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kWindowTimeoutMs));

    Quit();
    const Lists stored = StoredLists();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].first, "Renamed");
    EXPECT_TRUE(stored[0].second.empty());
    EXPECT_EQ(stored[1].first, "Second");
    EXPECT_EQ(stored[1].second.size(), 2u);
}

TEST_F(PlaylistTest, ExportWithoutExtensionWritesNameDotM3UWithCrLfLines)
{
    const std::vector<Track> tracks = {{"a.mp3", {"A", "One"}}, {"b.mp3", {"B", "Two"}}};
    WriteLibrary(tracks);
    ASSERT_FALSE(HasFatalFailure());
    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());

    e2e::PostCommand(pl, CMEXPORTM3U);
    const HWND dialog = e2e::FindFileDialog("Export M3U", kWindowTimeoutMs);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(e2e::FileDialogName(dialog), "default");
    ASSERT_TRUE(e2e::SubmitFileDialog(dialog, e2e::JoinPath(scratch, "party")));

    const std::string file = e2e::JoinPath(scratch, "party.M3U");
    ASSERT_TRUE(WaitUntil([&] { return e2e::FileExists(file); }, kWindowTimeoutMs));
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(e2e::JoinPath(scratch, "party*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_STREQ(found.cFileName, "party.M3U");
    EXPECT_EQ(e2e::ReadBytes(file), MusicFile("a.mp3") + "\r\n" + MusicFile("b.mp3") + "\r\n");

    // The completed name was not the one the dialog checked: it is asked about.
    ASSERT_TRUE(e2e::ListViewSelect(items, 0));
    e2e::SendCommand(pl, CMDELETEFOCUS);
    for (const int answer : {IDNO, IDYES}) {
        e2e::PostCommand(pl, CMEXPORTM3U);
        const HWND again = e2e::FindFileDialog("Export M3U", kWindowTimeoutMs);
        ASSERT_NE(again, nullptr);
        ASSERT_TRUE(e2e::SubmitFileDialog(again, e2e::JoinPath(scratch, "party")));
        ExpectMessageBox("Export M3U", file + " already exists.\nDo you want to replace it?", answer);
    }
    EXPECT_TRUE(WaitUntil([&] { return e2e::ReadBytes(file) == MusicFile("b.mp3") + "\r\n"; }, kWindowTimeoutMs))
        << e2e::ReadBytes(file);
}

// ---- an unattended run ----

TEST_F(PlaylistTest, UnattendedRunThroughTenChangesThenTheDatabaseRestoresTheLists)
{
    std::vector<Track> tracks;
    for (int i = 0; i < 30; ++i) {
        const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
        tracks.push_back({"track" + n + ".mp3", {"Artist " + std::to_string(i % 5), "Track " + n, 17, 3000}});
    }
    const std::vector<int> party = {3, 17, 8, 25, 0, 11};
    WriteLibrary(tracks, [&](DB* db, const std::vector<SONG*>& songs) {
        LIST* pll = DBGetPLL(db);
        PL* list = PLCreate("Party");
        PLLAddPL(pll, list);
        std::vector<PLI*> p;
        for (const int i : party)
            p.push_back(PLAddSong(list, songs[static_cast<std::size_t>(i)]));
        StrCopy(p[1]->cDesc, "loud");
        p[1]->UpdFlag.bVolume = 1;
        p[1]->Override.iVolume = 230;
        p[2]->UpdFlag.bLengths = 1;
        p[2]->Override.lFadeLen = 400;
        p[2]->Override.lDuoLen = 300;
        p[2]->UpdFlag.bFade = 1;
        p[2]->Override.iFadeType = FADE_IN;
        p[3]->UpdFlag.bBounds = 1;
        p[3]->Override.timMainPart = {500, 2500};
        p[3]->Option.iDuo = OPTION_ON;
        StrCopy(p[4]->cDesc, "panned");
        p[4]->UpdFlag.bPanning = 1;
        p[4]->Override.iPanning = -64;
        p[4]->Option.iFade = OPTION_ON;
        p[5]->UpdFlag.bFade = 1;
        p[5]->Override.iFadeType = FADE_OVER;
        p[5]->UpdFlag.bLengths = 1;
        p[5]->Override.lFadeLen = 500;
        p[5]->Override.lDuoLen = 500;
        PL* quiet = PLCreate("Quiet");
        PLLAddPL(pll, quiet);
        PLI* last = nullptr;
        for (int i = 20; i < 23; ++i)
            last = PLAddSong(quiet, songs[static_cast<std::size_t>(i)]);
        StrCopy(last->cDesc, "last");
        PLLSetCurrentPL(pll, list);
    });
    ASSERT_FALSE(HasFatalFailure());
    const Lists written = StoredLists();
    ASSERT_EQ(written.size(), 3u);

    StartWithEditor();
    ASSERT_FALSE(HasFatalFailure());
    Rows expectedRows = Titles(tracks, party);
    expectedRows[1] += " [loud]";
    expectedRows[4] += " [panned]";
    ASSERT_EQ(Table(), expectedRows);

    SetPanelBox(CBSHUFFLE, false);
    SetPanelBox(CBREPEAT, true);
    SetPanelBox(CBFADE, true);
    SetPanelBox(CB2CHAN, true);
    ASSERT_TRUE(e2e::SetComboText(panel, CBOFADELEN, "500"));
    ASSERT_TRUE(e2e::SetComboText(panel, CBODUOLEN, "500"));
    ASSERT_FALSE(HasFatalFailure());

    Load(0);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(Click(panel, BTPLAYNEXT));

    // Each change shows the next item of the list as playing, round again
    // after the last. A text counts once two reads in a row agree: the edit
    // control of the field may be read while it is being rewritten.
    Rows played;
    std::string previous;
    const bool ran = WaitUntil(
        [&] {
            const std::string now = Playing();
            if (now == previous && now != strNotPlaying && !now.empty() && (played.empty() || played.back() != now))
                played.push_back(now);
            previous = now;
            return played.size() >= 11;
        },
        90000, 25);
    Rows expectedPlayed;
    for (std::size_t i = 0; i < played.size(); ++i)
        expectedPlayed.push_back(expectedRows[i % expectedRows.size()]);
    EXPECT_TRUE(ran) << played.size() << " items played";
    EXPECT_EQ(played, expectedPlayed);
    EXPECT_FALSE(e2e::ProcessEnded(tandem.pid));

    Quit();
    EXPECT_EQ(StoredLists(), written);
}

}  // namespace
