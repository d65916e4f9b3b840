// The player registry and the command layer against real tplayer.exe
// processes, started the way the program starts them: through the open
// command of the player's file class.
#include "e2e.h"

#include "fnmain.h"
#include "mp3gen.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

namespace {

class PlayersTest : public e2e::Test {
protected:
    void TearDown() override
    {
        WAmpInstFreeAll();
        e2e::Test::TearDown();
    }
    std::string Song(const char* name, unsigned ms)
    {
        MP3GENOPTIONS options;
        options.lDurationMs = ms;
        const std::string song = e2e::JoinPath(scratch, name);
        EXPECT_TRUE(Mp3GenWrite(song.c_str(), options));
        return song;
    }
    // The messages of player NO with these codes (all when none given).
    std::vector<PlayerJournalEntry> Journal(int NO, const std::set<int>& codes = {})
    {
        auto journal = e2e::ReadJournal(e2e::JournalFile(scratch, WAmpInstGet(NO)->ProcessID));
        std::erase_if(journal, [&](const auto& e) { return !codes.empty() && !codes.contains(e.code); });
        return journal;
    }
};

// The position a player reports between two clock readings around a command and two around the reading.
void ExpectPosition(int NO, std::uint64_t commandBefore, std::uint64_t commandAfter, unsigned from)
{
    const std::uint64_t before = e2e::NowMs(), pos = WAmpCmGetSongPos(NO), after = e2e::NowMs();
    EXPECT_GE(pos + 50, from + (before - commandAfter));
    EXPECT_LE(pos, from + (after - commandBefore) + 50);
}

TEST_F(PlayersTest, StartUpStartsFiveStoppedMinimisedPlayersThatKeepTheirOwnClocksAndCloseOnKill)
{
    e2e::StopWindowsOfClass(WAMP_WINDOWCLASS);
    SetRegistry(HKEY_CLASSES_ROOT, "Winamp.File\\shell\\open\\command", "", std::string(1, '"').append(e2e::TplayerExe()).append("\" \"%1\""));
    SetEnv("TPLAYER_JOURNAL", e2e::JournalPattern(scratch));
    const std::string ten = Song("ten seconds.mp3", 10000), shortSong = Song("short.mp3", 1000);
    InitWAmpInstances();
    ASSERT_EQ(e2e::WaitForWindows(WAMP_WINDOWCLASS, 5, 15000).size(), 5u);
    ASSERT_EQ(WAmpGetInstances(), 5);
    std::set<HWND> seen;
    for (int i = 0; i < 5; ++i) {
        const WAMPINST* inst = WAmpInstGet(i);
        EXPECT_TRUE(inst->NO == i && seen.insert(inst->Window).second && IsIconic(inst->Window)) << i;
        EXPECT_EQ(inst->ProcessID, e2e::WindowProcess(inst->Window));
        const auto journal = Journal(i);
        EXPECT_TRUE(journal.size() == 1 && journal[0].code == WINAMP_BUTTON4) << "start-up presses every slot's stop";
        EXPECT_EQ(WAmpCmGetVersion(i), PLAYER_VERSION);
    }
    EXPECT_EQ(WAmpCheck(), 5);
    EXPECT_EQ(WAmpCmIsPlaying(5), -1);

    WAmpCmPlayFile(4, shortSong.c_str());
    WAmpBtPlay(4);
    WAmpCmDeletePlayList(0);
    WAmpCmPlayFile(0, ten.c_str());
    EXPECT_EQ(WAmpCmGetPlayListLength(0) * 100 + static_cast<int>(WAmpCmGetSongLen(0)), 110);
    EXPECT_EQ(WAmpCmGetSongPos(0), 0xFFFFFFFFu);
    const std::uint64_t playBefore = e2e::NowMs();
    WAmpBtPlay(0);
    const std::uint64_t playAfter = e2e::NowMs();
    EXPECT_EQ(WAmpCmIsPlaying(0), 1);
    Sleep(400);
    ExpectPosition(0, playBefore, playAfter, 0);
    WAmpBtPause(0);
    const unsigned pausedAt = WAmpCmGetSongPos(0);
    WAmpCmJump(0, 7000);
    Sleep(200);
    EXPECT_EQ(WAmpCmIsPlaying(0) * 10000 + WAmpCmGetSongPos(0), 37000u) << "a jump while paused stays paused";
    const std::uint64_t resumeBefore = e2e::NowMs();
    WAmpBtPause(0);
    const std::uint64_t resumeAfter = e2e::NowMs();
    Sleep(300);
    ExpectPosition(0, resumeBefore, resumeAfter, 7000);

    // The journal tells the same story.
    const auto journal = Journal(0, {WINAMP_BUTTON2, WINAMP_BUTTON3, IPC_JUMPTOTIME});
    std::vector<std::tuple<int, int, int>> steps;
    for (const auto& e : journal)
        steps.emplace_back(e.code, e.state, e.pos);
    const auto paused = static_cast<int>(pausedAt);
    EXPECT_EQ(steps, (std::vector<std::tuple<int, int, int>>{
                         {WINAMP_BUTTON2, 1, 0}, {WINAMP_BUTTON3, 3, paused}, {IPC_JUMPTOTIME, 3, 7000}, {WINAMP_BUTTON3, 1, 7000}}));
    ASSERT_GE(journal.size(), 2u);
    EXPECT_NEAR(static_cast<double>(journal[1].t - journal[0].t), pausedAt, 2.0);
    EXPECT_TRUE(e2e::WaitUntil([] { return WAmpCmIsPlaying(4) == 0; }, 3000)) << "a track stops at its end";
    EXPECT_EQ(WAmpCmGetSongPos(4), 0xFFFFFFFFu);
    EXPECT_TRUE(Journal(1, {IPC_PLAYFILE, WINAMP_BUTTON2}).empty() && Journal(3, {IPC_PLAYFILE, WINAMP_BUTTON2}).empty());
    const DWORD pid = WAmpInstGet(2)->ProcessID;
    EXPECT_EQ(WAmpKill(2), 5);
    EXPECT_TRUE(e2e::WaitUntil([pid] { return e2e::ProcessEnded(pid); }, 5000));
    EXPECT_EQ(WAmpCmIsPlaying(2), 0) << "a closed player answers nothing and keeps its registration";
    EXPECT_EQ(WAmpCheck(), 5);
}

}  // namespace
