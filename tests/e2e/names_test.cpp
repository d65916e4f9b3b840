// Names outside the ANSI code page, as on a Western system (code page
// 1252): a folder and a track named in Cyrillic, added through "Add
// directory", are read and play in the substitute player under their short
// names, and the sound reaches the sound server when one runs
// (scripts/lib/env.sh start_sound).
#include "sound.h"
#include "tandem.h"

#include "resource.h"
#include "winamp.h"

#include <cstdlib>

namespace {

using e2e::kWindowTimeoutMs;

// The short name the file system keeps for a file or folder.
std::string ShortName(const std::wstring& path)
{
    WIN32_FIND_DATAW found{};
    FindClose(FindFirstFileW(path.c_str(), &found));
    char name[14] = "";
    WideCharToMultiByte(CP_ACP, 0, found.cAlternateFileName, -1, name, sizeof name, nullptr, nullptr);
    return name;
}

class NamesTest : public e2e::TandemTest {};

TEST_F(NamesTest, ACyrillicFolderAndTrackAreAddedWithTheirTagAndPlayUnderTheirShortNames)
{
    ASSERT_EQ(GetACP(), 1252u) << "Wine takes the code page from the locale: LC_ALL=C.UTF-8 (scripts/lib/env.sh)";
    const std::wstring folder = e2e::Wide(music) + L"\\\u041c\u0443\u0437\u044b\u043a\u0430";
    const std::wstring track = folder + L"\\\u041f\u0435\u0441\u043d\u044f.mp3";
    ASSERT_TRUE(e2e::RunUnix(scratch, "sox -n -r 44100 -c 2 -b 16 t.wav synth 10 sine 600 vol 0.5"
                                      " && lame --quiet -t -b 128 --id3v1-only --ta Band --tt 'White Nights' t.wav t.mp3"));
    CreateDirectoryW(folder.c_str(), nullptr);  // left by an earlier run, which the track replaces
    ASSERT_TRUE(MoveFileExW(e2e::Wide(e2e::JoinPath(scratch, "t.mp3")).c_str(), track.c_str(), MOVEFILE_REPLACE_EXISTING));
    const std::string shortPath = MusicFile(ShortName(folder) + "\\" + ShortName(track));

    ASSERT_NO_FATAL_FAILURE(StartTandem());
    ASSERT_TRUE(e2e::Click(panel, BTTL));
    const HWND tl = WaitForShown("List of tracks");
    e2e::PostCommand(tl, CMADDDIR);
    const HWND browser = WaitForDialog([](HWND w) { return e2e::FindDescendant(w, "SysTreeView32") != nullptr; });
    ASSERT_TRUE(browser != nullptr && e2e::BrowseTo(browser, folder) && e2e::ClickPosted(browser, IDOK));
    const HWND place = WaitForShown("Place of songs");
    ASSERT_TRUE(place != nullptr && e2e::ClickPosted(place, IDOK));
    const HWND list = e2e::Control(tl, LVTRACKLIST);
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListViewCount(list) == 1; }, kWindowTimeoutMs));
    const auto row = e2e::ListViewRows(list, 10).at(0);
    EXPECT_EQ(row[1] + " in " + row[9], "White Nights in " + shortPath) << "the tag was read; the name kept is short";

    // Remind Me! plays it in the test player, which takes the short name.
    ASSERT_TRUE(e2e::ListViewSelect(list, 0) && e2e::Click(tl, BTPLAY));
    HWND player = nullptr;
    ASSERT_TRUE(e2e::WaitUntil([&] {
        for (const HWND window : e2e::TopLevelWindows(WAMP_WINDOWCLASS))
            for (const auto& entry : e2e::ReadJournal(e2e::JournalFile(scratch, e2e::WindowProcess(window))))
                player = entry.code == IPC_PLAYFILE && entry.text == shortPath ? window : player;
        return player != nullptr;
    }, kWindowTimeoutMs));
    const auto position = [&] { return static_cast<int>(SendMessageA(player, WM_USER, 0, IPC_GETOUTPUTTIME)); };
    ASSERT_TRUE(e2e::WaitUntil([&] { return position() > 0; }, kWindowTimeoutMs)) << "the position holds until the file sounds";
    const int before = position();
    Sleep(1000);
    EXPECT_GT(position(), before + 500) << "the position advances";
    if (std::getenv("PULSE_SERVER") != nullptr) {
        e2e::Recording rec;
        ASSERT_TRUE(rec.Start(scratch, "playing.raw", 2) && rec.Finish());
        EXPECT_GT(rec.Level(600, rec.Time(0), 1000), 0.01) << "the tone is heard (levelled once measured)";
    }
}

}  // namespace
