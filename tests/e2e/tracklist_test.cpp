// The track list window as a user drives it in one session of Tandem: a
// library on a missing drive named at start and not written over once the
// drive is back, adding files and folders, sorting, type-ahead, hiding,
// editing a track that the playlist editor shows, the library lock, the
// database commands, and the question at exit; the layout on resizing.
#include "tandem.h"

#include "resource.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using e2e::ClickPosted;
using e2e::Control;
using e2e::ControlText;
using e2e::kWindowTimeoutMs;
using e2e::WaitUntil;

constexpr int kColumnWidths[] = {100, 150, 100, 100, 50, 75, 40, 20, 20, 200};
enum Column { ARTIST = 0, TITLE = 1, STYLE = 5, HIDDEN = 7, FILENAME = 9 };

using Rows = std::vector<std::vector<std::string>>;

std::vector<std::string> ColumnOf(const Rows& rows, int column)
{
    std::vector<std::string> cells;
    for (const auto& row : rows)
        cells.push_back(row.at(static_cast<std::size_t>(column)));
    return cells;
}

std::multiset<std::string> Set(const std::vector<std::string>& v) { return {v.begin(), v.end()}; }

// The control's rectangle in its parent's client area: left, top, width, height.
std::vector<int> Placement(HWND dialog, int id)
{
    RECT r{};
    GetWindowRect(Control(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// A click on a header item, which the list view reports as LVN_COLUMNCLICK.
void ClickColumn(HWND list, int column)
{
    const auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    int x = kColumnWidths[column] / 2;
    for (int i = 0; i < column; ++i)
        x += kColumnWidths[i];
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 5));
    SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(x, 5));
}

class TrackListTest : public e2e::TandemTest {
protected:
    Rows TableRows() { return e2e::ListViewRows(list, 10); }
    bool WaitRows(int count) { return WaitUntil([&] { return e2e::ListViewCount(list) == count; }, kWindowTimeoutMs); }
    std::string TotalLine() { return ControlText(tl, STTOTALTRACKS); }

    void AnswerPlace(const std::string& place, bool recursive)
    {
        const HWND dialog = WaitForShown("Place of songs");
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(e2e::SetControlText(dialog, EDPLACE, place));
        ASSERT_TRUE(!recursive || e2e::Click(dialog, CBREADSUBDIRS));
        ASSERT_TRUE(ClickPosted(dialog, IDOK));
    }

    void AddFiles(const std::vector<std::string>& names, const std::string& place)
    {
        e2e::PostCommand(tl, CMADDFILE);
        const HWND dialog = e2e::FindFileDialog("Add files", kWindowTimeoutMs);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(e2e::SetFileDialogName(dialog, music));  // a folder typed into the dialog opens it there
        ASSERT_TRUE(ClickPosted(dialog, IDOK));
        Sleep(500);
        std::string chosen;
        for (const auto& name : names)
            chosen += "\"" + name + "\" ";
        ASSERT_TRUE(e2e::SubmitFileDialog(dialog, chosen));
        AnswerPlace(place, false);
    }

    // Posts a file command and answers its dialog with a path.
    void FileCommand(HWND window, int command, const char* title, const std::string& path)
    {
        e2e::PostCommand(window, command);
        const HWND dialog = e2e::FindFileDialog(title, kWindowTimeoutMs);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(e2e::SubmitFileDialog(dialog, path));
    }

    void Modify(int row, int field, const std::string& text)
    {
        ASSERT_TRUE(e2e::ListViewSelect(list, row));
        ASSERT_TRUE(ClickPosted(tl, BTMODIFY));
        const HWND info = WaitForShown("Track information");
        ASSERT_NE(info, nullptr);
        ASSERT_TRUE(e2e::SetControlText(info, field, text));
        ASSERT_TRUE(e2e::Click(info, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(info); }, kWindowTimeoutMs));
    }

    HWND tl = nullptr;
    HWND list = nullptr;
};

TEST_F(TrackListTest, OneSessionFromALibraryOnAMissingDriveToASavedOne)
{
    const std::string drive = e2e::JoinPath(scratch, "drive");
    database = e2e::JoinPath(drive, "library.tdb");
    DeleteFileA(database.c_str());  // the scratch folder keeps the folders of a former run
    SetRegistry(HKEY_CURRENT_USER, e2e::kSettingsKey, "Recent", database);
    WriteMusic({{"a.mp3", {"Band", "beta"}}, {"b.mp3", {"Band", "Alpha"}}, {"c.mp3", {"Abba", "Gamma"}}});
    const std::string sub = e2e::MakeDir(MusicFile("sub"));
    e2e::WriteTrack(e2e::JoinPath(e2e::MakeDir(e2e::JoinPath(sub, "deep")), "d.mp3"), {"Sub", "Delta"});
    e2e::WriteTrack(e2e::JoinPath(e2e::MakeDir(e2e::JoinPath(sub, ".dot")), "e.mp3"), {"Dot", "Echo"});
    // Retry while the drive is still missing asks again; Cancel goes on with the empty library.
    const std::string missing = database + " could not be opened: its drive, network share or folder may be missing, or "
        "the file was moved.\n\nThe library shown is empty; it is not saved over that file without asking.\n\n"
        "Retry: look again (connect the drive first).\nOpen...: choose another database.\n"
        "Cancel: go on with the empty library.";
    StartTandem({}, [&] {
        for (const int answer : {IDYES, IDCANCEL})
            ExpectMessageBox("Warning", missing, answer);
    });
    ASSERT_TRUE(e2e::Click(panel, BTTL));
    tl = WaitForShown("List of tracks");
    ASSERT_NE(tl, nullptr);
    list = Control(tl, LVTRACKLIST);

    // The layout table for the client size the window has after a resize.
    SetWindowPos(tl, nullptr, 0, 0, 640, 520, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    ASSERT_TRUE(GetClientRect(tl, &client));
    const int W = client.right, H = client.bottom;
    const std::vector<std::pair<int, std::vector<int>>> layout = {
        {LVTRACKLIST, {5, 5, W - 10, H - 130}},  {GBINFO, {5, H - 125, W - 10, 120}},
        {STTOTALTRACKS, {15, H - 115, W - 140, 15}}, {STPLACE, {15, H - 83, W - 30, 15}},
        {CBSHOWDELETED, {W - 120, H - 115, 110, 15}}, {BTPLAY, {145, H - 65, 64, 24}},
        {BTNEW, {15, H - 40, 64, 24}},             {IDOK, {W - 80, H - 40, 65, 25}}};
    for (const auto& [id, rect] : layout)
        EXPECT_EQ(Placement(tl, id), rect) << id;

    // Files joined to their folder with one backslash; a folder with its subfolders, not dot folders.
    AddFiles({"a.mp3", "b.mp3", "c.mp3"}, "Shelf");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(3));
    EXPECT_EQ(Set(ColumnOf(TableRows(), FILENAME)), Set({MusicFile("a.mp3"), MusicFile("b.mp3"), MusicFile("c.mp3")}));
    EXPECT_EQ(ColumnOf(TableRows(), STYLE), std::vector<std::string>(3, "Rock"));
    e2e::PostCommand(tl, CMADDDIR);
    const HWND browser = WaitForDialog([](HWND w) { return e2e::FindDescendant(w, "SysTreeView32") != nullptr; });
    ASSERT_TRUE(browser != nullptr && e2e::BrowseTo(browser, sub));
    ASSERT_TRUE(ClickPosted(browser, IDOK));
    AnswerPlace("Box", true);
    ASSERT_TRUE(WaitRows(4));
    EXPECT_EQ(TotalLine(), "Total track(s): 4  Hidden track(s): 0");
    const std::string forty(28132, 'L');  // the drive is back, with the library it holds
    std::ofstream(e2e::ToLinuxPath(e2e::MakeDir(drive) + "\\library.tdb"), std::ios::binary) << forty;

    // Title ascending (byte order), descending, then artist with title second.
    for (auto [column, titles] : {std::pair{TITLE, "Alpha Delta Gamma beta "}, {TITLE, "beta Gamma Delta Alpha "},
                                  {ARTIST, "Gamma Alpha beta Delta "}}) {
        ClickColumn(list, column);
        std::string order;
        for (const auto& title : ColumnOf(TableRows(), TITLE))
            order += title + " ";
        EXPECT_EQ(order, titles);
    }

    // Type-ahead by artist from the focused row on, wrapping; a letter no row starts with moves nothing.
    for (auto [key, row] : {std::pair{'s', 3}, {'B', 1}, {'x', 1}}) {
        Sleep(500);  // past the control's pause that starts a new search
        SendMessageA(list, WM_CHAR, static_cast<WPARAM>(key), 1);  // one keystroke
        EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), row) << key;
    }

    // Hidden: the row goes, and comes back marked while hidden tracks are shown.
    ASSERT_TRUE(e2e::ListViewSelect(list, 3));
    ASSERT_TRUE(ClickPosted(tl, BTDELETE));
    ExpectMessageBox("Warning", "Are you sure you want to hide selected items?", IDYES);
    ASSERT_TRUE(WaitRows(3));
    EXPECT_EQ(TotalLine(), "Total track(s): 4  Hidden track(s): 1");
    ASSERT_TRUE(e2e::Click(tl, CBSHOWDELETED));
    ASSERT_TRUE(WaitRows(4));
    EXPECT_EQ(ColumnOf(TableRows(), HIDDEN), (std::vector<std::string>{"", "", "", "+"}));

    // The playlist editor takes every row; a title edited here reaches its row and caption.
    ASSERT_TRUE(e2e::Click(panel, BTPLAYLIST));
    const HWND pl = WaitForDialog([](HWND w) { return Control(w, LVPLAYLIST) != nullptr; });
    ASSERT_NE(pl, nullptr);
    e2e::PostCommand(pl, CMNEWLIST);
    const HWND naming = WaitForShown("Create new playlist");
    ASSERT_TRUE(naming != nullptr && e2e::SetControlText(naming, EDNAME, "Mine") && ClickPosted(naming, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return e2e::WindowText(pl).rfind("Playlist editor - Mine", 0) == 0; }, kWindowTimeoutMs));
    e2e::SendCommand(pl, CMGETALL);
    const HWND items = Control(pl, LVPLAYLIST);
    ASSERT_TRUE(WaitUntil([&] { return e2e::ListViewCount(items) == 4; }, kWindowTimeoutMs));
    ASSERT_TRUE(e2e::ListViewSelect(items, 0));
    const std::string renamed = TableRows()[0][ARTIST] + " - Renamed";
    Modify(0, EDTITLE, "Renamed");
    EXPECT_EQ(e2e::ListViewText(items, 0, 0), renamed);
    EXPECT_EQ(e2e::WindowText(pl), "Playlist editor - Mine: " + renamed);

    // While the item editor holds an item, the open is refused once the file
    // is chosen, and so is New database.
    ASSERT_TRUE(ClickPosted(pl, BTEDIT));
    const HWND editor = WaitForShown("Edit playlist item");
    ASSERT_NE(editor, nullptr);
    FileCommand(tl, CMOPEN, "Open database", database);
    const std::string busy = "Close the open dialogs and messages of Tandem first: they may use what this command releases.";
    ExpectMessageBox("Error", busy, IDOK);
    e2e::PostCommand(tl, CMNEW);
    ExpectMessageBox("Error", busy, IDOK);
    ASSERT_TRUE(e2e::Click(editor, IDOK));
    EXPECT_EQ(e2e::ListViewCount(list), 4);

    // Save refuses the library the drive holds; Save as saves elsewhere;
    // opening a damaged file keeps the library there first and reports what
    // it read.
    e2e::PostCommand(tl, CMSAVE);
    ExpectMessageBox("Error", database + " could not be opened, so the library shown is not the one in that file; it "
                                         "is not written over.", IDOK);
    const std::string saved = e2e::JoinPath(scratch, "saved.tdb");
    // Once measured in the background (silent files), the four tracks' records follow the 1.0 layout.
    ASSERT_TRUE(WaitUntil([&] {
        for (int row = 0; row < 4; ++row)
            if (e2e::ListViewText(list, row, 10) != "silent")
                return false;
        return true;
    }, kWindowTimeoutMs));
    FileCommand(tl, CMSAVEAS, "Save database as", saved);
    const std::size_t savedSize = 14 + 37 + 4 * 569 + 37 + 8 + 39 + 37 + 4 * 130 + 8 + 4 + 8 + 4 * 28;
    ASSERT_TRUE(WaitUntil([&] { return e2e::ReadBytes(saved).size() == savedSize; }, kWindowTimeoutMs));
    const std::string cut = e2e::ReadBytes(saved).substr(0, 14 + 37 + 569 + 100);
    const std::string other = e2e::JoinPath(scratch, "other.tdb");
    std::ofstream(e2e::ToLinuxPath(other), std::ios::binary) << cut;
    FileCommand(tl, CMOPEN, "Open database", other);
    ExpectMessageBox("Error", other + " is damaged or not a Tandem database; 1 tracks and 0 playlists could be read; "
                                      "the file is left as it is.", IDOK);
    ASSERT_TRUE(WaitRows(1));
    EXPECT_EQ(e2e::ListViewCount(items), 0);

    // The exit asks, and No leaves both files as they were.
    PostMessageA(panel, WM_CLOSE, 0, 0);
    const HWND ask = e2e::FindMessageBox("Warning", kWindowTimeoutMs);
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(ask).rfind(other + " could not be read, so it is not written over.", 0), 0u);
    ASSERT_TRUE(e2e::AnswerMessageBox(ask, IDNO));
    ASSERT_TRUE(WaitUntil([&] { return e2e::ProcessEnded(tandem.pid); }, e2e::kStartTimeoutMs));
    running = false;
    EXPECT_TRUE(e2e::ReadBytes(database) == forty && e2e::ReadBytes(other) == cut);
    EXPECT_EQ(e2e::ReadBytes(saved).size(), savedSize);
}

}  // namespace
