// The track list window as a user drives it in a running Tandem: adding
// files through the open dialog and folders through the folder browser,
// hiding and showing, sorting, editing a track and its times, testing on the
// test player, and the database commands.
#include "tandem.h"

#include "mp3gen.h"
#include "resource.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using e2e::ClickPosted;
using e2e::Control;
using e2e::ControlText;
using e2e::kDialogClass;
using e2e::kSettingsKey;
using e2e::kStartTimeoutMs;
using e2e::kWindowTimeoutMs;
using e2e::MakeDir;
using e2e::ReadBytes;
using e2e::Tag;
using e2e::WriteTrack;

constexpr int kColumns = 10;
constexpr int kColumnWidths[kColumns] = {100, 150, 100, 100, 50, 75, 40, 20, 20, 200};
enum Column { ARTIST = 0, TITLE = 1, PLACE = 4, STYLE = 5, HIDDEN = 7, FILENAME = 9 };
constexpr UINT kSetSelection = WM_USER + 102;  // BFFM_SETSELECTIONA: lParam is a path

using Rows = std::vector<std::vector<std::string>>;

std::vector<std::string> ColumnOf(const Rows& rows, int column)
{
    std::vector<std::string> cells;
    for (const auto& row : rows)
        cells.push_back(row.at(static_cast<std::size_t>(column)));
    return cells;
}

std::multiset<std::string> Sorted(const std::vector<std::string>& v) { return {v.begin(), v.end()}; }

// Wine starts a Linux program like any other, but its handle cannot be
// waited on: the caller waits for the program's effect.
bool StartLinux(std::string commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
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

// Memory in the folder browser's process: the browser reads a path, and its
// tree view writes an item, only in its own address space.
class BrowserMemory {
public:
    BrowserMemory(HWND browser, std::size_t size)
    {
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               e2e::WindowProcess(browser));
        if (process_ != nullptr)
            address_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~BrowserMemory()
    {
        if (address_ != nullptr)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_ != nullptr)
            CloseHandle(process_);
    }
    BrowserMemory(const BrowserMemory&) = delete;
    BrowserMemory& operator=(const BrowserMemory&) = delete;

    char* At(std::size_t offset) const { return address_ + offset; }
    bool Write(std::size_t offset, const void* data, std::size_t size)
    {
        SIZE_T done = 0;
        return address_ != nullptr && WriteProcessMemory(process_, At(offset), data, size, &done) && done == size;
    }
    bool Read(std::size_t offset, void* data, std::size_t size)
    {
        SIZE_T done = 0;
        return address_ != nullptr && ReadProcessMemory(process_, At(offset), data, size, &done) && done == size;
    }

private:
    HANDLE process_ = nullptr;
    char* address_ = nullptr;
};

// The caption of the folder the browser's tree has selected.
std::string BrowserSelection(HWND browser)
{
    const HWND tree = e2e::FindDescendant(browser, "SysTreeView32");
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    BrowserMemory memory(browser, sizeof(TVITEMA) + MAX_PATH);
    TVITEMA request{};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = memory.At(sizeof request);
    request.cchTextMax = MAX_PATH;
    char text[MAX_PATH + 1] = "";
    if (item == nullptr || !memory.Write(0, &request, sizeof request) ||
        !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(memory.At(0))) ||
        !memory.Read(sizeof request, text, MAX_PATH))
        return "";
    return text;
}

// Selects the folder as a user would by clicking through the tree; a browser
// that is still filling its tree may drop the first request.
bool BrowseTo(HWND browser, const std::string& folder)
{
    std::string name = folder;
    while (!name.empty() && name.back() == '\\')
        name.pop_back();
    name = name.substr(name.rfind('\\') + 1);
    BrowserMemory memory(browser, folder.size() + 1);
    if (!memory.Write(0, folder.c_str(), folder.size() + 1))
        return false;
    return e2e::WaitUntil(
        [&] {
            SendMessageA(browser, kSetSelection, TRUE, reinterpret_cast<LPARAM>(memory.At(0)));
            return e2e::WaitUntil([&] { return BrowserSelection(browser) == name; }, 1000, 50);
        },
        kWindowTimeoutMs, 0);
}

class TrackListTest : public e2e::TandemTest {
protected:
    void OpenTrackList()
    {
        ASSERT_TRUE(e2e::Click(panel, BTTL));
        tl = WaitForShown("List of tracks");
        ASSERT_NE(tl, nullptr);
        list = Control(tl, LVTRACKLIST);
        ASSERT_NE(list, nullptr);
    }

    void StartWithTrackList()
    {
        StartTandem();
        if (!HasFatalFailure())
            OpenTrackList();
    }

    Rows TableRows() { return e2e::ListViewRows(list, kColumns); }

    bool WaitRows(int count)
    {
        return e2e::WaitUntil([&] { return e2e::ListViewCount(list) == count; }, kStartTimeoutMs, 50);
    }

    std::string TotalLine() { return ControlText(tl, STTOTALTRACKS); }

    // Answers the place dialog; its subfolder option is given only when it is enabled.
    void AnswerPlace(const std::string& place, bool recursive, bool noInfos, bool expectRecursiveEnabled)
    {
        const HWND dialog = WaitForShown("Place of songs");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(e2e::IsControlEnabled(dialog, CBREADSUBDIRS), expectRecursiveEnabled);
        EXPECT_EQ(e2e::IsControlEnabled(dialog, STREADSUBDIRS), expectRecursiveEnabled);
        ASSERT_TRUE(e2e::SetControlText(dialog, EDPLACE, place));
        if (recursive) {
            ASSERT_TRUE(e2e::Click(dialog, CBREADSUBDIRS));
        }
        if (noInfos) {
            ASSERT_TRUE(e2e::Click(dialog, CBNOINFOS));
        }
        ASSERT_TRUE(ClickPosted(dialog, IDOK));
    }

    void AddFiles(const std::string& folder, const std::vector<std::string>& names, const std::string& place)
    {
        e2e::PostCommand(tl, CMADDFILE);
        const HWND dialog = e2e::FindFileDialog("Add files", kWindowTimeoutMs);
        ASSERT_NE(dialog, nullptr);
        // A folder typed into the dialog opens it there.
        ASSERT_TRUE(e2e::SetFileDialogName(dialog, folder));
        ASSERT_TRUE(ClickPosted(dialog, IDOK));
        Sleep(500);
        std::string chosen;
        for (const auto& name : names)
            chosen += "\"" + name + "\" ";
        ASSERT_TRUE(e2e::SubmitFileDialog(dialog, chosen));
        AnswerPlace(place, false, false, false);
    }

    void AddFolder(const std::string& folder, bool recursive, bool noInfos, const std::string& place = "")
    {
        e2e::PostCommand(tl, CMADDDIR);
        const HWND browser = WaitForDialog([](HWND w) { return e2e::FindDescendant(w, "SysTreeView32") != nullptr; });
        ASSERT_NE(browser, nullptr);
        ASSERT_TRUE(BrowseTo(browser, folder));
        ASSERT_TRUE(ClickPosted(browser, IDOK));
        AnswerPlace(place, recursive, noInfos, true);
    }

    void SelectRow(int row) { ASSERT_TRUE(e2e::ListViewSelect(list, row)); }

    // The track information dialog on the selected row ("&Modify") or a new track ("&New").
    HWND OpenTrackInformation(int button)
    {
        EXPECT_TRUE(ClickPosted(tl, button));
        const HWND dialog = WaitForShown("Track information");
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    HWND OpenTrackTimes(HWND info)
    {
        EXPECT_TRUE(ClickPosted(info, BTEDITTIME));
        const HWND dialog = WaitForShown("Track times");
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    // The main part typed as m:s:ms and confirmed in both dialogs.
    void SetMainPart(int row, const std::string& start, const std::string& end)
    {
        SelectRow(row);
        const HWND info = OpenTrackInformation(BTMODIFY);
        ASSERT_NE(info, nullptr);
        const HWND times = OpenTrackTimes(info);
        ASSERT_NE(times, nullptr);
        ASSERT_TRUE(e2e::SetControlText(times, EDSTART0, start));
        ASSERT_TRUE(e2e::SetControlText(times, EDEND0, end));
        ASSERT_TRUE(e2e::Click(times, IDOK));
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(times); }, kWindowTimeoutMs));
        ASSERT_TRUE(e2e::Click(info, IDOK));
        ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(info); }, kWindowTimeoutMs));
    }

    // The playlist editor holding a new, empty playlist: a library that was
    // never saved has none.
    HWND OpenEditorWithNewList()
    {
        EXPECT_TRUE(e2e::Click(panel, BTPLAYLIST));
        const HWND pl = WaitForDialog([](HWND w) { return Control(w, LVPLAYLIST) != nullptr; });
        EXPECT_NE(pl, nullptr);
        if (pl == nullptr)
            return nullptr;
        e2e::PostCommand(pl, CMNEWLIST);
        const HWND dialog = WaitForShown("Create new playlist");
        EXPECT_NE(dialog, nullptr);
        const auto listShown = [pl] { return e2e::WindowText(pl).rfind("Playlist editor - Tracks:", 0) == 0; };
        if (dialog == nullptr || !e2e::SetControlText(dialog, EDNAME, "Tracks") || !ClickPosted(dialog, IDOK) ||
            !e2e::WaitUntil(listShown, kWindowTimeoutMs)) {
            ADD_FAILURE() << "the new playlist was not created";
            return nullptr;
        }
        return pl;
    }

    void OpenDatabase(const std::string& path)
    {
        e2e::PostCommand(tl, CMOPEN);
        const HWND dialog = e2e::FindFileDialog("Open database", kWindowTimeoutMs);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(e2e::SubmitFileDialog(dialog, path));
    }

    HWND tl = nullptr;
    HWND list = nullptr;
};

// ---- adding ----

TEST_F(TrackListTest, AddFilesJoinsTheFolderAndEachNameWithOneBackslash)
{
    WriteMusic({{"a.mp3", {"Artist A", "Alpha"}}, {"b.mp3", {"Artist B", "Bravo"}}, {"c.mp3", {"Artist C", "Charlie"}}});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(TotalLine(), "Total track(s): 0  Hidden track(s): 0");

    AddFiles(music, {"a.mp3", "b.mp3", "c.mp3"}, "CD17");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(3));
    const Rows rows = TableRows();
    EXPECT_EQ(Sorted(ColumnOf(rows, FILENAME)),
              Sorted({MusicFile("a.mp3"), MusicFile("b.mp3"), MusicFile("c.mp3")}));
    EXPECT_EQ(Sorted(ColumnOf(rows, TITLE)), Sorted({"Alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(ColumnOf(rows, PLACE), std::vector<std::string>(3, "CD17"));
    EXPECT_EQ(ColumnOf(rows, STYLE), std::vector<std::string>(3, "Rock"));
    EXPECT_EQ(ColumnOf(rows, 8), std::vector<std::string>(3, "F"));
    EXPECT_EQ(TotalLine(), "Total track(s): 3  Hidden track(s): 0");
}

TEST_F(TrackListTest, AddDirectoryReadsSubfoldersOnlyWhenAskedAndSkipsDotFolders)
{
    WriteTrack(MusicFile("top.mp3"), {"Top", "Top"});
    std::ofstream(e2e::ToLinuxPath(MusicFile("notes.txt"))) << "not music";
    WriteTrack(e2e::JoinPath(MakeDir(MusicFile("sub")), "inner.mp3"), {"Inner", "Inner"});
    WriteTrack(e2e::JoinPath(MakeDir(MusicFile(".cache")), "dot.mp3"), {"Dot", "Dot"});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());

    AddFolder(music, false, false, "Shelf");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(2));
    EXPECT_EQ(Sorted(ColumnOf(TableRows(), FILENAME)), Sorted({MusicFile("top.mp3"), MusicFile("notes.txt")}));
    EXPECT_EQ(ColumnOf(TableRows(), PLACE), std::vector<std::string>(2, "Shelf"));

    e2e::SendCommand(tl, CMNEW);
    ASSERT_TRUE(WaitRows(0));
    AddFolder(music + "\\", true, false);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(3));
    EXPECT_EQ(Sorted(ColumnOf(TableRows(), FILENAME)),
              Sorted({MusicFile("top.mp3"), MusicFile("notes.txt"), MusicFile("sub\\inner.mp3")}));
    EXPECT_EQ(ColumnOf(TableRows(), PLACE), std::vector<std::string>(3, ""));
}

TEST_F(TrackListTest, AddDirectoryDoesNotFollowALinkBackIntoTheWalk)
{
    WriteTrack(MusicFile("one.mp3"), {"One", "One"});
    const std::string sub = MakeDir(MusicFile("sub"));
    WriteTrack(e2e::JoinPath(sub, "two.mp3"), {"Two", "Two"});
    const std::string link = e2e::JoinPath(sub, "back");
    // A link left by an earlier run is replaced, not entered.
    ASSERT_TRUE(StartLinux("/bin/ln -sfn " + e2e::ToLinuxPath(music) + " " + e2e::ToLinuxPath(link)));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::FileExists(link); }, kWindowTimeoutMs));
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());

    AddFolder(music, true, false);
    ASSERT_FALSE(HasFatalFailure());
    ExpectMessageBox("Warning", "1 folder link(s) leading back into the walk were not followed.", IDOK);
    ASSERT_TRUE(WaitRows(2));
    EXPECT_EQ(Sorted(ColumnOf(TableRows(), FILENAME)), Sorted({MusicFile("one.mp3"), MusicFile("sub\\two.mp3")}));
}

TEST_F(TrackListTest, TooLongPathsAreSkippedAndCountedNotCut)
{
    // 200 + 1 + 60 characters: beyond the 256 of a track's file name.
    std::string deep = music;
    deep += "\\" + std::string(200 - music.size() - 1, 'd');
    MakeDir(deep);
    const std::string longName = std::string(56, 'n') + ".mp3";
    WriteTrack(e2e::JoinPath(deep, longName), {"Long", "Long"});
    WriteTrack(e2e::JoinPath(deep, "short.mp3"), {"Short", "Short"});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());

    AddFolder(music, true, false);
    ASSERT_FALSE(HasFatalFailure());
    ExpectMessageBox("Warning", "1 file(s) were not added: their path is longer than 256 characters.", IDOK);
    ASSERT_TRUE(WaitRows(1));
    EXPECT_EQ(ColumnOf(TableRows(), FILENAME), std::vector<std::string>{e2e::JoinPath(deep, "short.mp3")});
}

TEST_F(TrackListTest, DontReadInfosLeavesTheTagForTheMixerToReadBeforeItPlays)
{
    WriteTrack(MusicFile("later.mp3"), {"Deferred", "Later", 8});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());

    AddFolder(music, false, true, "Box");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(1));
    Rows rows = TableRows();
    EXPECT_EQ(rows[0][ARTIST], "!!! NO ARTIST !!!");
    EXPECT_EQ(rows[0][TITLE], "!!! NO TITLE !!!");
    EXPECT_EQ(rows[0][STYLE], "Unknown");
    EXPECT_EQ(rows[0][PLACE], "Box");

    // Into the playlist and played: the mixer reads the file before it loads it.
    const HWND pl = OpenEditorWithNewList();
    ASSERT_NE(pl, nullptr);
    e2e::SendCommand(pl, CMGETALL);
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListViewCount(Control(pl, LVPLAYLIST)) == 1; }, kWindowTimeoutMs));
    ASSERT_TRUE(e2e::ListViewSelect(Control(pl, LVPLAYLIST), 0));
    ASSERT_TRUE(e2e::Click(pl, BTACTIVATE));
    ASSERT_TRUE(e2e::Click(panel, BTPLAYNEXT));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !JournalOfPlayerWith(MusicFile("later.mp3")).empty(); }, kWindowTimeoutMs));

    // A fresh window shows what the mixer read.
    ASSERT_TRUE(e2e::Click(tl, IDOK));
    OpenTrackList();
    ASSERT_FALSE(HasFatalFailure());
    rows = TableRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][ARTIST], "Deferred");
    EXPECT_EQ(rows[0][TITLE], "Later");
    EXPECT_EQ(rows[0][STYLE], "Jazz");  // ID3v1 genre 8
    EXPECT_EQ(rows[0][PLACE], "Box");
}

// ---- hiding, sorting, editing ----

TEST_F(TrackListTest, HideAndShowWithAndWithoutShowHiddenItems)
{
    WriteMusic({{"1.mp3", {"A", "One"}}, {"2.mp3", {"B", "Two"}}, {"3.mp3", {"C", "Three"}}});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    AddFiles(music, {"1.mp3", "2.mp3", "3.mp3"}, "");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(3));

    ASSERT_TRUE(ClickPosted(tl, BTDELETE));
    ExpectMessageBox("Error", "No focused item!", IDOK);

    SelectRow(0);
    const std::string hidden = TableRows()[0][FILENAME];
    ASSERT_TRUE(ClickPosted(tl, BTDELETE));
    ExpectMessageBox("Warning", "Are you sure you want to hide selected items?", IDNO);
    EXPECT_EQ(e2e::ListViewCount(list), 3);
    ASSERT_TRUE(ClickPosted(tl, BTDELETE));
    ExpectMessageBox("Warning", "Are you sure you want to hide selected items?", IDYES);
    ASSERT_TRUE(WaitRows(2));
    const auto shown = ColumnOf(TableRows(), FILENAME);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), hidden), 0);
    EXPECT_EQ(TotalLine(), "Total track(s): 3  Hidden track(s): 1");

    ASSERT_TRUE(e2e::Click(tl, CBSHOWDELETED));
    ASSERT_TRUE(WaitRows(3));
    Rows rows = TableRows();
    ASSERT_EQ(rows[0][FILENAME], hidden);
    EXPECT_EQ(ColumnOf(rows, HIDDEN), (std::vector<std::string>{"+", "", ""}));

    SelectRow(0);
    ASSERT_TRUE(ClickPosted(tl, BTDELETE));
    ExpectMessageBox("Error", "Item already hidden!", IDOK);
    ASSERT_TRUE(e2e::Click(tl, BTUNDELETE));
    EXPECT_EQ(ColumnOf(TableRows(), HIDDEN), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(TotalLine(), "Total track(s): 3  Hidden track(s): 0");

    // The check box is stored with the database.
    Quit();
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(e2e::CheckState(tl, CBSHOWDELETED), BST_CHECKED);
}

TEST_F(TrackListTest, SortByTitleThreeTimesThenByArtist)
{
    WriteMusic({{"1.mp3", {"Beta", "Zulu"}},
                {"2.mp3", {"Alpha", "Mike"}},
                {"3.mp3", {"Charlie", "Alpha"}},
                {"4.mp3", {"Alpha", "Echo"}}});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    AddFiles(music, {"1.mp3", "2.mp3", "3.mp3", "4.mp3"}, "");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(4));

    const std::vector<std::string> ascending = {"Alpha", "Echo", "Mike", "Zulu"};
    const std::vector<std::string> descending(ascending.rbegin(), ascending.rend());
    ClickColumn(list, TITLE);
    EXPECT_EQ(ColumnOf(TableRows(), TITLE), ascending);
    ClickColumn(list, TITLE);
    EXPECT_EQ(ColumnOf(TableRows(), TITLE), descending);
    ClickColumn(list, TITLE);
    EXPECT_EQ(ColumnOf(TableRows(), TITLE), ascending);

    // Equal artists fall back on the title.
    ClickColumn(list, ARTIST);
    const Rows rows = TableRows();
    EXPECT_EQ(ColumnOf(rows, ARTIST), (std::vector<std::string>{"Alpha", "Alpha", "Beta", "Charlie"}));
    EXPECT_EQ(ColumnOf(rows, TITLE), (std::vector<std::string>{"Echo", "Mike", "Zulu", "Alpha"}));

    // "H" is no key: the order stays.
    ClickColumn(list, HIDDEN);
    EXPECT_EQ(TableRows(), rows);
}

TEST_F(TrackListTest, ModifyRewritesTheRowAndAnInvalidRecordKeepsTheDialogOpen)
{
    WriteMusic({{"1.mp3", {"Old Artist", "Song"}}});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    AddFiles(music, {"1.mp3"}, "");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(1));

    SelectRow(0);
    HWND info = OpenTrackInformation(BTMODIFY);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(ControlText(info, EDARTIST), "Old Artist");
    EXPECT_EQ(ControlText(info, CBSTYLE), "Rock");
    ASSERT_TRUE(e2e::SetControlText(info, EDTITLE, "   "));
    ASSERT_TRUE(ClickPosted(info, IDOK));
    ExpectMessageBox("Error", "No Filename, Title or Artist defined!", IDOK);
    ASSERT_TRUE(IsWindow(info));

    ASSERT_TRUE(e2e::SetControlText(info, EDTITLE, "Song"));
    ASSERT_TRUE(e2e::SetControlText(info, EDARTIST, "New Artist " + std::string(45, 'x')));
    // The 116 genres and "Unknown"; the sorted list has "Jazz" before "Jazz+Funk".
    const HWND genres = Control(info, CBSTYLE);
    EXPECT_EQ(SendMessageA(genres, CB_GETCOUNT, 0, 0), 117);
    ASSERT_NE(SendMessageA(genres, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Jazz")), CB_ERR);
    ASSERT_EQ(ControlText(info, CBSTYLE), "Jazz");
    ASSERT_TRUE(e2e::Click(info, IDOK));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(info); }, kWindowTimeoutMs));

    const Rows rows = TableRows();
    EXPECT_EQ(rows[0][ARTIST], ("New Artist " + std::string(45, 'x')).substr(0, 40));
    EXPECT_EQ(rows[0][STYLE], "Jazz");
    EXPECT_EQ(rows[0][TITLE], "Song");
}

TEST_F(TrackListTest, NewTrackAddsNothingOnCancelAndOneRowAtTheEndOnOK)
{
    WriteMusic({{"1.mp3", {"Zed", "Zulu"}}});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    AddFiles(music, {"1.mp3"}, "");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(1));

    HWND info = OpenTrackInformation(BTNEW);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(ControlText(info, CBSTYLE), "Unknown");
    EXPECT_EQ(ControlText(info, STLAYER), "MPeg 1.0 layer 0");
    EXPECT_EQ(ControlText(info, STLENGTH), "Length: 0:00");
    EXPECT_EQ(ControlText(info, STFRAMES), "Frames: Unknown  Size: >1024 bytes");
    ASSERT_TRUE(e2e::Click(info, IDCANCEL));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(info); }, kWindowTimeoutMs));
    EXPECT_EQ(e2e::ListViewCount(list), 1);
    EXPECT_EQ(TotalLine(), "Total track(s): 1  Hidden track(s): 0");

    info = OpenTrackInformation(BTNEW);
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(e2e::SetControlText(info, EDFILENAME, "D:\\by hand.mp3"));
    ASSERT_TRUE(e2e::SetControlText(info, EDARTIST, "Aardvark"));
    ASSERT_TRUE(e2e::SetControlText(info, EDTITLE, "Typed"));
    ASSERT_TRUE(e2e::Click(info, IDOK));
    ASSERT_TRUE(WaitRows(2));
    EXPECT_EQ(TableRows()[1][TITLE], "Typed");
    EXPECT_EQ(TableRows()[1][STYLE], "Unknown");
}

// ---- track times and the test player ----

TEST_F(TrackListTest, TypedMainPartMakesThePlaylistItemMixAtItsEnd)
{
    WriteMusic({{"first.mp3", {"A", "First"}}, {"second.mp3", {"B", "Second"}}});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    AddFiles(music, {"first.mp3", "second.mp3"}, "");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(2));
    const Rows rows = TableRows();
    const int first = rows[0][TITLE] == "First" ? 0 : 1;
    SetMainPart(first, "0:02:000", "0:08:000");
    ASSERT_FALSE(HasFatalFailure());
    ClickColumn(list, TITLE);  // "First" before "Second" in the playlist

    // A change without fade or duo starts right at the main part's end.
    if (e2e::CheckState(panel, CBFADE) == BST_CHECKED) {
        ASSERT_TRUE(e2e::Click(panel, CBFADE));
    }
    if (e2e::CheckState(panel, CB2CHAN) == BST_CHECKED) {
        ASSERT_TRUE(e2e::Click(panel, CB2CHAN));
    }
    const HWND pl = OpenEditorWithNewList();
    ASSERT_NE(pl, nullptr);
    e2e::SendCommand(pl, CMGETALL);
    const HWND items = Control(pl, LVPLAYLIST);
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListViewCount(items) == 2; }, kWindowTimeoutMs));
    ASSERT_TRUE(e2e::ListViewSelect(items, 0));
    ASSERT_TRUE(e2e::Click(pl, BTACTIVATE));
    ASSERT_TRUE(e2e::Click(panel, BTPLAYNEXT));

    const std::string second = MusicFile("second.mp3");
    std::vector<PlayerJournalEntry> incoming;
    auto started = [&] {
        incoming = JournalOfPlayerWith(second);
        for (std::size_t i = 1; i < incoming.size(); ++i)
            if (incoming[i].state == 1 && incoming[i - 1].state == 3)
                return true;
        return false;
    };
    ASSERT_TRUE(e2e::WaitUntil(started, 30000, 100));
    std::uint64_t startT = 0;
    for (std::size_t i = 1; i < incoming.size() && startT == 0; ++i)
        if (incoming[i].state == 1 && incoming[i - 1].state == 3)
            startT = incoming[i].t;

    // Where the outgoing player stood when the incoming one started.
    const auto outgoing = JournalOfPlayerWith(MusicFile("first.mp3"));
    std::int32_t posThen = -1;
    for (const auto& entry : outgoing)
        if (entry.t <= startT && entry.pos >= 0)
            posThen = entry.pos;
    EXPECT_GE(posThen, 7800);
    EXPECT_LE(posThen, 8400);
}

TEST_F(TrackListTest, FullTestStopsTheTestPlayerAtTheMarksEnd)
{
    WriteMusic({{"t.mp3", {"A", "Tested"}}});
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    AddFiles(music, {"t.mp3"}, "");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(1));

    SelectRow(0);
    const HWND info = OpenTrackInformation(BTMODIFY);
    ASSERT_NE(info, nullptr);
    const HWND times = OpenTrackTimes(info);
    ASSERT_NE(times, nullptr);
    // The main part of a new track is the whole track.
    EXPECT_EQ(ControlText(times, EDSTART0), "0:00:000");
    EXPECT_EQ("Total length of track: " + ControlText(times, EDEND0), ControlText(times, STLENGTH));
    ASSERT_TRUE(e2e::SetControlText(times, EDSTART0, "0:01:000"));
    ASSERT_TRUE(e2e::SetControlText(times, EDEND0, "0:03:000"));
    ASSERT_TRUE(e2e::Click(times, BTTESTFU0));

    const std::string file = MusicFile("t.mp3");
    std::vector<PlayerJournalEntry> journal;
    auto stopped = [&] {
        journal = JournalOfPlayerWith(file);
        return !journal.empty() && journal.back().state == 0 &&
               std::any_of(journal.begin(), journal.end(), [](const auto& e) { return e.pos >= 2000; });
    };
    ASSERT_TRUE(e2e::WaitUntil(stopped, 15000, 100));
    std::int32_t last = -1;
    for (const auto& entry : journal)
        if (entry.pos >= 0)
            last = entry.pos;
    EXPECT_GE(last, 2950);
    EXPECT_LE(last, 3300);
    ASSERT_TRUE(e2e::Click(times, IDCANCEL));
    ASSERT_TRUE(e2e::Click(info, IDCANCEL));
}

// ---- the database file ----

TEST_F(TrackListTest, OpeningAFileOfAnotherKindGivesAnEmptyTableAndLeavesTheFile)
{
    WriteMusic({{"1.mp3", {"A", "One"}}});
    const std::string foreign = e2e::JoinPath(scratch, "letter.tdb");
    std::ofstream(e2e::ToLinuxPath(foreign), std::ios::binary) << "Dear reader, this is not a database.\n";
    const std::string before = ReadBytes(foreign);
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    AddFiles(music, {"1.mp3"}, "");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(1));

    OpenDatabase(foreign);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(0));
    EXPECT_EQ(TotalLine(), "Total track(s): 0  Hidden track(s): 0");
    Quit();
    EXPECT_EQ(ReadBytes(foreign), before);
}

TEST_F(TrackListTest, SaveSaveAsAndReopen)
{
    WriteMusic({{"1.mp3", {"A", "One"}}, {"2.mp3", {"B", "Two"}}});
    SetRegistry(HKEY_CURRENT_USER, kSettingsKey, "Recent", "");
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());
    AddFiles(music, {"1.mp3", "2.mp3"}, "");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(2));

    // Without a path, Save asks for one.
    e2e::PostCommand(tl, CMSAVE);
    HWND dialog = e2e::FindFileDialog("Save database as", kWindowTimeoutMs);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(e2e::SubmitFileDialog(dialog, database));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::FileExists(database); }, kWindowTimeoutMs));

    const std::string copy = e2e::JoinPath(scratch, "copy");
    e2e::PostCommand(tl, CMSAVEAS);
    dialog = e2e::FindFileDialog("Save database as", kWindowTimeoutMs);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(e2e::SubmitFileDialog(dialog, copy));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::FileExists(copy + ".tdb"); }, kWindowTimeoutMs));
    EXPECT_EQ(ReadBytes(copy + ".tdb"), ReadBytes(database));

    e2e::SendCommand(tl, CMNEW);
    ASSERT_TRUE(WaitRows(0));
    OpenDatabase(database);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(2));
    EXPECT_EQ(Sorted(ColumnOf(TableRows(), TITLE)), Sorted({"One", "Two"}));

    // Save goes to the path now set, without a dialog.
    e2e::SendCommand(tl, CMNEW);
    ASSERT_TRUE(WaitRows(0));
    e2e::SendCommand(tl, CMSAVE);
    EXPECT_EQ(e2e::FindFileDialog("Save database as", 1000), nullptr);
    OpenDatabase(copy + ".tdb");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(2));
    OpenDatabase(database);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitRows(0));
}

// ---- the benchmark (run by bench/addtree.sh) ----

TEST_F(TrackListTest, DISABLED_AddTreeBenchmark)
{
    const char* countText = std::getenv("TANDEM_BENCH_FILES");
    const int count = countText != nullptr ? std::max(1, std::atoi(countText)) : 20000;
    constexpr int kPerFolder = 100;
    MP3GENOPTIONS options;
    options.lDurationMs = 500;
    options.bTag = true;
    for (int i = 0; i < count; ++i) {
        const std::string artist = MakeDir(e2e::JoinPath(music, "artist" + std::to_string(i / (kPerFolder * 10))));
        const std::string album = MakeDir(e2e::JoinPath(artist, "album" + std::to_string(i / kPerFolder % 10)));
        options.cArtist = "Artist " + std::to_string(i / (kPerFolder * 10));
        options.cTitle = "Title " + std::to_string(i);
        ASSERT_TRUE(Mp3GenWrite(e2e::JoinPath(album, "track" + std::to_string(i) + ".mp3").c_str(), options));
    }
    StartWithTrackList();
    ASSERT_FALSE(HasFatalFailure());

    e2e::PostCommand(tl, CMADDDIR);
    const HWND browser = WaitForDialog([](HWND w) { return e2e::FindDescendant(w, "SysTreeView32") != nullptr; });
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(BrowseTo(browser, music));
    ASSERT_TRUE(ClickPosted(browser, IDOK));
    const HWND place = WaitForShown("Place of songs");
    ASSERT_NE(place, nullptr);
    ASSERT_TRUE(e2e::Click(place, CBREADSUBDIRS));
    const std::uint64_t start = e2e::NowMs();
    ASSERT_TRUE(ClickPosted(place, IDOK));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListViewCount(list) == count; }, 600000, 100));
    const std::uint64_t added = e2e::NowMs();

    // A refill of the whole table: the check box refills it once a track is hidden.
    SelectRow(0);
    ASSERT_TRUE(ClickPosted(tl, BTDELETE));
    ExpectMessageBox("Warning", "Are you sure you want to hide selected items?", IDYES);
    ASSERT_TRUE(WaitRows(count - 1));
    const std::uint64_t fillStart = e2e::NowMs();
    ASSERT_TRUE(e2e::Click(tl, CBSHOWDELETED));
    const std::uint64_t filled = e2e::NowMs();
    EXPECT_EQ(e2e::ListViewCount(list), count);
    std::printf("add of %d files: %llu ms; table fill: %llu ms\n", count,
                static_cast<unsigned long long>(added - start), static_cast<unsigned long long>(filled - fillStart));
    RecordProperty("add_ms", static_cast<int>(added - start));
    RecordProperty("fill_ms", static_cast<int>(filled - fillStart));
}

}  // namespace
