// Names outside the ANSI code page, as on a Western system (code page
// 1252): a folder and a track named in Cyrillic, added through "Add
// directory", are read and play in the substitute player under their short
// names, and the sound reaches the sound server when one runs
// (scripts/lib/env.sh start_sound).
#include "tandem.h"

#include "resource.h"
#include "winamp.h"

#include <cmath>
#include <fstream>

namespace {

using e2e::kWindowTimeoutMs;

// The short name the file system keeps for a file or folder.
std::string ShortName(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return "";
    FindClose(search);
    char name[14] = "";
    WideCharToMultiByte(CP_ACP, 0, found.cAlternateFileName, -1, name, sizeof name, nullptr, nullptr);
    return name;
}

// The root mean square of 16-bit samples, as a share of full scale.
double Loudness(const std::string& raw)
{
    std::ifstream in(raw, std::ios::binary);
    double sum = 0;
    std::size_t n = 0;
    for (std::int16_t sample; in.read(reinterpret_cast<char*>(&sample), sizeof sample); ++n)
        sum += sample / 32768.0 * (sample / 32768.0);
    return n > 0 ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

class NamesTest : public e2e::TandemTest {};

TEST_F(NamesTest, ACyrillicFolderAndTrackAreAddedWithTheirTagAndPlayUnderTheirShortNames)
{
    ASSERT_EQ(GetACP(), 1252u) << "Wine takes the code page from the locale: LC_ALL=C.UTF-8 (scripts/lib/env.sh)";
    const std::wstring folder = e2e::Wide(music) + L"\\\u041c\u0443\u0437\u044b\u043a\u0430";
    const std::wstring track = folder + L"\\\u041f\u0435\u0441\u043d\u044f.mp3";
    ASSERT_TRUE(e2e::RunUnix(scratch, "sox -n -r 44100 -c 2 -b 16 t.wav synth 10 sine 600 vol 0.5"
                                      " && lame --quiet -t -b 128 --id3v1-only --ta Band --tt 'White Nights' t.wav t.mp3"));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) && MoveFileW(e2e::Wide(e2e::JoinPath(scratch, "t.mp3")).c_str(), track.c_str()));
    const std::string shortPath = MusicFile(ShortName(folder) + "\\" + ShortName(track));
    ASSERT_NE(shortPath.find('~'), std::string::npos) << shortPath;

    ASSERT_NO_FATAL_FAILURE(StartTandem());
    ASSERT_TRUE(e2e::Click(panel, BTTL));
    const HWND tl = WaitForShown("List of tracks");
    ASSERT_NE(tl, nullptr);
    e2e::PostCommand(tl, CMADDDIR);
    const HWND browser = WaitForDialog([](HWND w) { return e2e::FindDescendant(w, "SysTreeView32") != nullptr; });
    ASSERT_TRUE(browser != nullptr && e2e::BrowseTo(browser, folder) && e2e::ClickPosted(browser, IDOK));
    const HWND place = WaitForShown("Place of songs");
    ASSERT_TRUE(place != nullptr && e2e::ClickPosted(place, IDOK));
    const HWND list = e2e::Control(tl, LVTRACKLIST);
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListViewCount(list) == 1; }, kWindowTimeoutMs));
    const auto row = e2e::ListViewRows(list, 10).at(0);
    EXPECT_EQ(row[0] + " - " + row[1], "Band - White Nights") << "the tag was read";
    EXPECT_EQ(row[9], shortPath);
    EXPECT_EQ(e2e::FindMessageBox("Warning", 500), nullptr) << "nothing was left out";

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
    const int before = position();
    Sleep(1000);
    EXPECT_EQ(SendMessageA(player, WM_USER, 0, IPC_ISPLAYING), 1);
    EXPECT_GT(position(), before + 500) << "the position advances";
    if (std::getenv("PULSE_SERVER") != nullptr) {
        ASSERT_TRUE(e2e::RunUnix(scratch, "timeout -s INT 2 parec -d tandem.monitor --rate=8000 --channels=1 "
                                          "--format=s16le --latency-msec=100 playing.raw"));
        EXPECT_GT(Loudness(e2e::JoinPath(scratch, "playing.raw")), 0.1) << "the tone is heard";
    }
}

}  // namespace
