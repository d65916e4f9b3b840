// Tandem's windows as a user drives them, in three stories. The playlist
// editor and the control panel in one session: the panning thumbs; the
// editor's layout on resizing, deleting, cropping, selecting, moving, editing
// and sorting items, the library lock (also on the track list's commands);
// then the panel's first look, a typed length that makes no sense, a volume
// reported by the mixer, queuing items, unattended mixing with SKIP pressed
// during a mix, the played count, the transport buttons; New database
// keeping the library in its file, and closing. The track list window in
// one session: a library on a missing drive named at start and not written
// over once the drive is back, adding files and folders, sorting,
// type-ahead, hiding, editing a track that the playlist editor shows, the
// database commands, and the question at exit; the layout on resizing. Then
// database files opened from the shell: a .tdb argument opens that database
// in place of "Recent", and a second start hands its database to the running
// control panel instead of starting a second program; the session ends:
// closing waits for an open dialog, the library is saved before the system
// hears the answer, and a library that needs a file holds the end until the
// user has answered.
#include "tandem.h"

#include "fndb.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fntl.h"
#include "resource.h"
#include "winamp.h"

#include <algorithm>
#include <fstream>
#include <numeric>
#include <set>

namespace {

using namespace e2e;

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
    ASSERT_TRUE(SubmitFileDialog("Open database", database));
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
    const auto one = JournalOfPlayerWith(MusicFile("t0.mp3"));
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
    const auto two = JournalOfPlayerWith(MusicFile("t1.mp3"));
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

constexpr int kColumnWidths[] = {100, 150, 100, 100, 50, 75, 40, 20, 20, 200};
enum Column { ARTIST = 0, TITLE = 1, STYLE = 5, HIDDEN = 7, FILENAME = 9 };

std::multiset<std::string> Set(const Rows& v) { return {v.begin(), v.end()}; }

// A click on a header item, which the list view reports as LVN_COLUMNCLICK.
void ClickColumn(HWND list, int column)
{
    const auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int x = std::accumulate(kColumnWidths, kColumnWidths + column, kColumnWidths[column] / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 5));
    SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(x, 5));
}

using TrackListTest = TandemTest;

TEST_F(TrackListTest, OneSessionFromALibraryOnAMissingDriveToASavedOne)
{
    const std::string drive = JoinPath(scratch, "drive");
    database = JoinPath(drive, "library.tdb");
    DeleteFileA(database.c_str());  // the scratch folder keeps the folders of a former run
    SetRegistry(HKEY_CURRENT_USER, kSettingsKey, "Recent", database);
    WriteMusic({{"a.mp3", {"Band", "beta"}}, {"b.mp3", {"Band", "Alpha"}}, {"c.mp3", {"Abba", "Gamma"}}});
    const std::string sub = MakeDir(MusicFile("sub"));
    WriteTrack(JoinPath(MakeDir(JoinPath(sub, "deep")), "d.mp3"), {"Sub", "Delta"});
    WriteTrack(JoinPath(MakeDir(JoinPath(sub, ".dot")), "e.mp3"), {"Dot", "Echo"});
    // Retry while the drive is still missing asks again; Cancel goes on with the empty library.
    const std::string missing = database + " could not be opened: its drive, network share or folder may be missing, or "
        "the file was moved.\n\nThe library shown is empty; it is not saved over that file without asking.\n\n"
        "Retry: look again (connect the drive first).\nOpen...: choose another database.\n"
        "Cancel: go on with the empty library.";
    StartTandem({}, [&] {
        for (const int answer : {IDYES, IDCANCEL})
            ExpectMessageBox("Warning", missing, answer);
    });
    ASSERT_NO_FATAL_FAILURE(OpenTrackList());

    // The layout table for the client size the window has after a resize.
    const auto [W, H] = Resize(tl, 640, 520);
    const std::vector<std::pair<int, std::vector<int>>> layout = {
        {LVTRACKLIST, {5, 5, W - 10, H - 130}},  {GBINFO, {5, H - 125, W - 10, 120}},
        {STTOTALTRACKS, {15, H - 115, W - 140, 15}}, {STPLACE, {15, H - 83, W - 30, 15}},
        {CBSHOWDELETED, {W - 120, H - 115, 110, 15}}, {BTPLAY, {145, H - 65, 64, 24}},
        {BTNEW, {15, H - 40, 64, 24}},             {IDOK, {W - 80, H - 40, 65, 25}}};
    for (const auto& [id, rect] : layout)
        EXPECT_EQ(Placement(tl, id), rect) << id;

    // Files joined to their folder with one backslash; a folder with its subfolders, not dot folders.
    ASSERT_NO_FATAL_FAILURE(AddFiles({"a.mp3", "b.mp3", "c.mp3"}, 3, "Shelf"));
    EXPECT_EQ(Set(ListViewColumn(list, FILENAME)), Set({MusicFile("a.mp3"), MusicFile("b.mp3"), MusicFile("c.mp3")}));
    EXPECT_EQ(ListViewColumn(list, STYLE), Rows(3, "Rock"));
    ASSERT_NO_FATAL_FAILURE(AddFolder(Wide(sub), 4, "Box", true));
    EXPECT_EQ(ControlText(tl, STTOTALTRACKS), "Total track(s): 4  Hidden track(s): 0");
    const std::string forty(28132, 'L');  // the drive is back, with the library it holds
    std::ofstream(ToLinuxPath(MakeDir(drive) + "\\library.tdb"), std::ios::binary) << forty;

    // Title ascending (byte order), descending, then artist with title second.
    for (const auto& [column, titles] : std::vector<std::pair<Column, Rows>>{
             {TITLE, {"Alpha", "Delta", "Gamma", "beta"}}, {TITLE, {"beta", "Gamma", "Delta", "Alpha"}},
             {ARTIST, {"Gamma", "Alpha", "beta", "Delta"}}}) {
        ClickColumn(list, column);
        EXPECT_EQ(ListViewColumn(list, TITLE), titles);
    }

    // Type-ahead by artist from the focused row on, wrapping; a letter no row starts with moves nothing.
    for (auto [key, row] : {std::pair{'s', 3}, {'B', 1}, {'x', 1}}) {
        Sleep(500);  // past the control's pause that starts a new search
        SendMessageA(list, WM_CHAR, static_cast<WPARAM>(key), 1);  // one keystroke
        EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), row) << key;
    }

    // Hidden: the row goes, and comes back marked while hidden tracks are shown.
    ASSERT_TRUE(ListViewSelect(list, 3) && ClickPosted(tl, BTDELETE));
    ExpectMessageBox("Warning", "Are you sure you want to hide selected items?", IDYES);
    ASSERT_TRUE(WaitRows(list, 3));
    EXPECT_EQ(ControlText(tl, STTOTALTRACKS), "Total track(s): 4  Hidden track(s): 1");
    ASSERT_TRUE(Click(tl, CBSHOWDELETED));
    ASSERT_TRUE(WaitRows(list, 4));
    EXPECT_EQ(ListViewColumn(list, HIDDEN), (Rows{"", "", "", "+"}));

    // The playlist editor takes every row; a title edited here reaches its row and caption.
    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    ASSERT_NO_FATAL_FAILURE(NewPlaylist("Mine"));
    SendCommand(pl, CMGETALL);
    ASSERT_TRUE(WaitRows(items, 4));
    ASSERT_TRUE(ListViewSelect(items, 0));
    const std::string renamed = ListViewText(list, 0, ARTIST) + " - Renamed";
    const HWND info = OpenTrackInfo(0);
    ASSERT_TRUE(info != nullptr && SetControlText(info, EDTITLE, "Renamed") && Answer(info, IDOK));
    EXPECT_EQ(ListViewText(items, 0, 0), renamed);
    EXPECT_EQ(WindowText(pl), "Playlist editor - Mine: " + renamed);

    // Save refuses the library the drive holds; Save as saves elsewhere;
    // opening a damaged file keeps the library there first and reports what
    // it read.
    PostCommand(tl, CMSAVE);
    ExpectMessageBox("Error", database + " could not be opened, so the library shown is not the one in that file; it "
                                         "is not written over.", IDOK);
    const std::string saved = JoinPath(scratch, "saved.tdb");
    // Once measured in the background (silent files), the four tracks' records follow the 1.0 layout.
    ASSERT_TRUE(WaitMeasured(4, "silent"));
    PostCommand(tl, CMSAVEAS);
    ASSERT_TRUE(SubmitFileDialog("Save database as", saved));
    const std::size_t savedSize = 14 + 37 + 4 * 569 + 37 + 8 + 39 + 37 + 4 * 130 + 8 + 4 + 8 + 4 * 28;
    ASSERT_TRUE(WaitUntil([&] { return ReadBytes(saved).size() == savedSize; }, kWindowTimeoutMs));
    const std::string cut = ReadBytes(saved).substr(0, 14 + 37 + 569 + 100);
    const std::string other = JoinPath(scratch, "other.tdb");
    std::ofstream(ToLinuxPath(other), std::ios::binary) << cut;
    PostCommand(tl, CMOPEN);
    ASSERT_TRUE(SubmitFileDialog("Open database", other));
    ExpectMessageBox("Error", other + " is damaged or not a Tandem database; 1 tracks and 0 playlists could be read; "
                                      "the file is left as it is.", IDOK);
    ASSERT_TRUE(WaitRows(list, 1));
    EXPECT_EQ(ListViewCount(items), 0);

    // The exit asks, and No leaves both files as they were.
    PostMessageA(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(AnswerBox("Warning", IDNO).rfind(other + " could not be read, so it is not written over.", 0), 0u);
    WaitForEnd();
    EXPECT_TRUE(ReadBytes(database) == forty && ReadBytes(other) == cut);
    EXPECT_EQ(ReadBytes(saved).size(), savedSize);
}

// What the panel answers the system's question whether the session may end.
LRESULT QueryEndSession(HWND panel)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(panel, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, kWindowTimeoutMs, &answer);
    return static_cast<LRESULT>(answer);
}

using InstanceTest = TandemTest;

TEST_F(InstanceTest, DatabaseArgumentOpensInTheOneRunningProgramWhichKeepsItsLibraryAtTheSessionsEnd)
{
    const std::string first = JoinPath(scratch, "first.tdb"), second = JoinPath(scratch, "second.tdb");
    const auto files = WriteMusic({{"a.mp3", {"A", "a"}}, {"b.mp3", {"B", "b"}}, {"c.mp3", {"C", "c"}},
                                   {"d.mp3", {"D", "d"}}, {"e.mp3", {"E", "e"}}});
    StoreLibrary({files.begin(), files.begin() + 3}, first);
    StoreLibrary(files, second);

    StartTandem({first});
    ASSERT_NO_FATAL_FAILURE(OpenTrackList());
    EXPECT_TRUE(WaitRows(list, 3));

    // Double-clicking the second database starts tandem.exe again.
    Process again;
    ASSERT_TRUE(Start(ToWindowsPath(TANDEM_EXE), {second}, &again));
    EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(again.pid); }, kStartTimeoutMs));
    EXPECT_TRUE(WaitRows(list, 5));
    EXPECT_EQ(TopLevelWindows(kDialogClass, kPanelCaption).size(), 1u);
    EXPECT_EQ(TopLevelWindows(WAMP_WINDOWCLASS).size(), 5u);

    // Closing while a dialog holds an edit brings the dialog forward instead.
    const HWND info = OpenTrackInfo(0);
    ASSERT_NE(info, nullptr);
    PostMessageA(panel, WM_CLOSE, 0, 0);
    ExpectMessageBox("Warning", "Finish this dialog first (OK or Cancel), so that nothing in it is lost; then close Tandem.",
                     IDOK);
    ASSERT_TRUE(SetControlText(info, EDTITLE, "Kept at logoff") && Click(info, IDOK));

    // The session may end once the library and "Recent" are saved; another program then keeps it going.
    EXPECT_EQ(QueryEndSession(panel), TRUE);
    EXPECT_NE(ReadBytes(second).find("Kept at logoff"), std::string::npos);
    std::string recent;
    EXPECT_TRUE(RegistryGetString(HKEY_CURRENT_USER, kSettingsKey, "Recent", &recent) && recent == second);
    SendMessageA(panel, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);

    // A new library of one named playlist needs a file: the end waits for the answer, then Tandem ends.
    PostCommand(tl, CMNEW);
    ASSERT_TRUE(WaitRows(list, 0));
    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    ASSERT_NO_FATAL_FAILURE(NewPlaylist("Mine"));
    EXPECT_EQ(QueryEndSession(panel), FALSE);
    ExpectMessageBox("Warning", "The library has not been saved to a file yet.\n\nSave the library under another name?\n"
                                "(No: leave it unsaved)", IDYES);
    const std::string mine = JoinPath(scratch, "mine.tdb");
    ASSERT_TRUE(SubmitFileDialog("Save database as", mine));
    WaitForEnd();
    const std::string bytes = ReadBytes(mine);
    EXPECT_TRUE(bytes.size() == 172u && bytes.find("Mine") != std::string::npos);
    EXPECT_TRUE(RegistryGetString(HKEY_CURRENT_USER, kSettingsKey, "Recent", &recent) && recent == mine);
}

}  // namespace
