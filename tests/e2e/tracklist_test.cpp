// The library as a user keeps it, in two stories. First the track list
// window driven in one session of Tandem: a library on a missing drive named
// at start and not written over once the drive is back, adding files and
// folders, sorting, type-ahead, hiding, editing a track that the playlist
// editor shows, the database commands, and the question at exit; the layout
// on resizing. Then database files opened from the shell: a .tdb argument
// opens that database in place of "Recent", and a second start hands its
// database to the running control panel instead of starting a second
// program; the session ends: closing waits for an open dialog, the library
// is saved before the system hears the answer, and a library that needs a
// file holds the end until the user has answered.
#include "tandem.h"

#include "resource.h"
#include "winamp.h"

#include <fstream>
#include <numeric>
#include <set>

namespace {

using namespace e2e;

constexpr int kColumnWidths[] = {100, 150, 100, 100, 50, 75, 40, 20, 20, 200};
enum Column { ARTIST = 0, TITLE = 1, STYLE = 5, HIDDEN = 7, FILENAME = 9 };

using Texts = std::vector<std::string>;
std::multiset<std::string> Set(const Texts& v) { return {v.begin(), v.end()}; }

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
    EXPECT_EQ(ListViewColumn(list, STYLE), Texts(3, "Rock"));
    ASSERT_NO_FATAL_FAILURE(AddFolder(Wide(sub), 4, "Box", true));
    EXPECT_EQ(ControlText(tl, STTOTALTRACKS), "Total track(s): 4  Hidden track(s): 0");
    const std::string forty(28132, 'L');  // the drive is back, with the library it holds
    std::ofstream(ToLinuxPath(MakeDir(drive) + "\\library.tdb"), std::ios::binary) << forty;

    // Title ascending (byte order), descending, then artist with title second.
    for (const auto& [column, titles] : std::vector<std::pair<Column, Texts>>{
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
    EXPECT_EQ(ListViewColumn(list, HIDDEN), (Texts{"", "", "", "+"}));

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
    const HWND saveAs = FindFileDialog("Save database as", kWindowTimeoutMs);
    ASSERT_TRUE(saveAs != nullptr && SubmitFileDialog(saveAs, saved));
    const std::size_t savedSize = 14 + 37 + 4 * 569 + 37 + 8 + 39 + 37 + 4 * 130 + 8 + 4 + 8 + 4 * 28;
    ASSERT_TRUE(WaitUntil([&] { return ReadBytes(saved).size() == savedSize; }, kWindowTimeoutMs));
    const std::string cut = ReadBytes(saved).substr(0, 14 + 37 + 569 + 100);
    const std::string other = JoinPath(scratch, "other.tdb");
    std::ofstream(ToLinuxPath(other), std::ios::binary) << cut;
    PostCommand(tl, CMOPEN);
    const HWND open = FindFileDialog("Open database", kWindowTimeoutMs);
    ASSERT_TRUE(open != nullptr && SubmitFileDialog(open, other));
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
    const HWND saveAs = FindFileDialog("Save database as", kWindowTimeoutMs);
    ASSERT_TRUE(saveAs != nullptr && SubmitFileDialog(saveAs, mine));
    WaitForEnd();
    const std::string bytes = ReadBytes(mine);
    EXPECT_TRUE(bytes.size() == 172u && bytes.find("Mine") != std::string::npos);
    EXPECT_TRUE(RegistryGetString(HKEY_CURRENT_USER, kSettingsKey, "Recent", &recent) && recent == mine);
}

}  // namespace
