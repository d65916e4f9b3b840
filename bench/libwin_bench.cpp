// The library windows of a running Tandem under Wine at big sizes, timed as
// a user waits for them, and "Add directory" of a big generated tree. Not a
// test: bench/libwin.sh and bench/addtree.sh run it and keep its report.
//
// TANDEM_BENCH_EXE names the tandem.exe to measure (Windows path; by default
// this build's), so that two builds are measured by the same driver.
#include "tandem.h"

#include "dbgen.h"
#include "fndb.h"
#include "fnsong.h"
#include "mp3gen.h"
#include "resource.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using e2e::NowMs;

constexpr int kWaitMs = 600000;

int EnvInt(const char* name, int fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

std::string TandemExe()
{
    const char* exe = std::getenv("TANDEM_BENCH_EXE");
    return exe != nullptr && *exe != '\0' ? exe : e2e::ToWindowsPath(TANDEM_EXE);
}

void Report(const char* what, std::uint64_t since)
{
    std::printf("%s: %llu ms\n", what, static_cast<unsigned long long>(NowMs() - since));
    std::fflush(stdout);
}

// The list view has every row and paints the visible ones (their texts come from the window).
bool Shown(HWND window, HWND list, int rows)
{
    if (!e2e::WaitUntil([&] { return e2e::ListViewCount(list) == rows; }, kWaitMs, 5))
        return false;
    UpdateWindow(window);
    return !e2e::ListViewText(list, 0, 0).empty();
}


class LibraryBench : public e2e::TandemTest {
protected:
    void StartBench()
    {
        ASSERT_TRUE(e2e::Start(TandemExe(), {}, &tandem));
        running = true;
        panel = e2e::WaitForWindow(e2e::kDialogClass, e2e::kPanelCaption, kWaitMs);
        ASSERT_TRUE(panel != nullptr && e2e::WaitUntil([&] { return IsWindowVisible(panel) != FALSE; }, kWaitMs));
        ASSERT_EQ(e2e::WaitForWindows(WAMP_WINDOWCLASS, 5, kWaitMs).size(), 5u);
    }

    HWND OpenTrackList()
    {
        EXPECT_TRUE(e2e::ClickPosted(panel, BTTL));
        return WaitForShown("List of tracks", kWaitMs);
    }
};

TEST_F(LibraryBench, TrackListAndPlaylistEditor)
{
    const int tracks = EnvInt("TANDEM_BENCH_TRACKS", 100000);
    const int items = EnvInt("TANDEM_BENCH_ITEMS", 20000);
    DB db{};
    DBInit(&db);
    DBGENOPTIONS options;
    options.iTracks = tracks;
    options.iPlaylists = 1;
    options.iItems = items;
    ASSERT_TRUE(DbGenFill(&db, options));
    int shown = 0;  // the generated library hides some tracks
    for (const LISTITEM* item = DBGetTL(&db)->First; item != nullptr; item = item->Next)
        shown += static_cast<const SONG*>(item->Data)->General.bHidden ? 0 : 1;
    DBSetPath(&db, database.c_str());
    ASSERT_EQ(DBStore(&db), 1);
    DBFree(&db);
    StartBench();
    ASSERT_FALSE(HasFatalFailure());

    std::uint64_t start = NowMs();
    const HWND tl = OpenTrackList();
    ASSERT_NE(tl, nullptr);
    const HWND list = e2e::Control(tl, LVTRACKLIST);
    ASSERT_TRUE(Shown(tl, list, shown));
    Report(("Tracks pressed until " + std::to_string(tracks) + " rows are shown").c_str(), start);

    // A click on the "Title" header; the sort runs inside the click.
    const auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    start = NowMs();
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(175, 5));
    SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(175, 5));
    ASSERT_TRUE(Shown(tl, list, shown));
    Report(("sort of " + std::to_string(tracks) + " rows by title").c_str(), start);
    ASSERT_TRUE(e2e::Click(tl, IDOK));

    start = NowMs();
    ASSERT_TRUE(e2e::ClickPosted(panel, BTPLAYLIST));
    const HWND pl = WaitForDialog([](HWND w) { return e2e::Control(w, LVPLAYLIST) != nullptr; }, kWaitMs);
    ASSERT_NE(pl, nullptr);
    ASSERT_TRUE(Shown(pl, e2e::Control(pl, LVPLAYLIST), items));
    Report(("playlist editor open with " + std::to_string(items) + " items").c_str(), start);
}

TEST_F(LibraryBench, AddTree)
{
    const int count = EnvInt("TANDEM_BENCH_FILES", 20000);
    constexpr int kPerFolder = 100;
    MP3GENOPTIONS options;
    options.lDurationMs = 500;
    options.bTag = true;
    for (int i = 0; i < count; ++i) {
        const std::string artist = e2e::MakeDir(e2e::JoinPath(music, "artist" + std::to_string(i / (kPerFolder * 10))));
        const std::string album = e2e::MakeDir(e2e::JoinPath(artist, "album" + std::to_string(i / kPerFolder % 10)));
        options.cArtist = "Artist " + std::to_string(i / (kPerFolder * 10));
        options.cTitle = "Title " + std::to_string(i);
        ASSERT_TRUE(Mp3GenWrite(e2e::JoinPath(album, "track" + std::to_string(i) + ".mp3").c_str(), options));
    }
    StartBench();
    ASSERT_FALSE(HasFatalFailure());
    const HWND tl = OpenTrackList();
    ASSERT_NE(tl, nullptr);
    e2e::PostCommand(tl, CMADDDIR);
    const HWND browser = WaitForDialog([](HWND w) { return e2e::FindDescendant(w, "SysTreeView32") != nullptr; });
    ASSERT_TRUE(browser != nullptr && e2e::BrowseTo(browser, e2e::Wide(music)));
    ASSERT_TRUE(e2e::ClickPosted(browser, IDOK));
    const HWND place = WaitForShown("Place of songs");
    ASSERT_TRUE(place != nullptr && e2e::Click(place, CBREADSUBDIRS));
    const std::uint64_t start = NowMs();
    ASSERT_TRUE(e2e::ClickPosted(place, IDOK));
    ASSERT_TRUE(Shown(tl, e2e::Control(tl, LVTRACKLIST), count));
    Report(("add of " + std::to_string(count) + " files until the rows are shown").c_str(), start);
}

}  // namespace
