// The player registry and the command layer against real tplayer.exe
// processes, started the way the program starts them: through the open
// command of the player's file class.
#include "tandem.h"

#include "fnmain.h"
#include "winamp.h"


#include <set>

namespace {

class PlayersTest : public e2e::Test {
protected:
    // The messages of player NO with these codes (all when none given).
    std::vector<PlayerJournalEntry> Journal(int NO, const std::set<int>& codes = {})
    {
        auto journal = e2e::ReadJournal(e2e::JournalFile(scratch, WAmpInstGet(NO)->ProcessID));
        std::erase_if(journal, [&](const auto& e) { return !codes.empty() && !codes.contains(e.code); });
        return journal;
    }
};

// Runs the command, lets the player play for ms and expects the position it
// reports to be from plus the time since the command, within what the clock
// readings around the command and around the reading allow.
void ExpectPositionAfter(int NO, void (*command)(int), DWORD ms, unsigned from)
{
    const std::uint64_t commandBefore = e2e::NowMs();
    command(NO);
    const std::uint64_t commandAfter = e2e::NowMs();
    Sleep(ms);
    const std::uint64_t before = e2e::NowMs(), pos = WAmpCmGetSongPos(NO), after = e2e::NowMs();
    EXPECT_GE(pos + 50, from + (before - commandAfter));
    EXPECT_LE(pos, from + (after - commandBefore) + 50);
}

TEST_F(PlayersTest, StartUpStartsFiveStoppedMinimisedPlayersThatKeepTheirOwnClocksAndCloseOnKill)
{
    UseTestPlayers();
    const std::string ten = e2e::JoinPath(scratch, "ten seconds.mp3"), shortSong = e2e::JoinPath(scratch, "short.mp3");
    e2e::WriteTrack(ten, {"", "", 17, 10000});
    e2e::WriteTrack(shortSong, {"", "", 17, 1000});
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
    EXPECT_EQ(WAmpCmGetPlayListLength(0), 1);
    EXPECT_EQ(WAmpCmGetSongLen(0), 10u);
    EXPECT_EQ(WAmpCmGetSongPos(0), 0xFFFFFFFFu);
    WAmpBtPlay(0);  // the position holds until the file sounds: its media graph comes first
    ASSERT_TRUE(e2e::WaitUntil([] { return static_cast<int>(WAmpCmGetSongPos(0)) > 0; }, 10000));
    WAmpBtPause(0);
    ExpectPositionAfter(0, WAmpBtPause, 400, WAmpCmGetSongPos(0));
    EXPECT_EQ(WAmpCmIsPlaying(0), 1);
    WAmpBtPause(0);
    WAmpCmJump(0, 7000);
    Sleep(200);
    EXPECT_EQ(WAmpCmIsPlaying(0), 3) << "a jump while paused stays paused, and the clock stands";
    EXPECT_EQ(WAmpCmGetSongPos(0), 7000u);
    ExpectPositionAfter(0, WAmpBtPause, 300, 7000);

    EXPECT_TRUE(e2e::WaitUntil([] { return WAmpCmIsPlaying(4) == 0; }, 3000)) << "a track stops at its end";
    EXPECT_EQ(WAmpCmGetSongPos(4), 0xFFFFFFFFu);
    EXPECT_TRUE(Journal(1, {IPC_PLAYFILE, WINAMP_BUTTON2}).empty() && Journal(3, {IPC_PLAYFILE, WINAMP_BUTTON2}).empty());
    const DWORD pid = WAmpInstGet(2)->ProcessID;
    EXPECT_EQ(WAmpKill(2), 5);
    EXPECT_TRUE(e2e::WaitUntil([pid] { return e2e::ProcessEnded(pid); }, 5000));
    EXPECT_EQ(WAmpCmIsPlaying(2), -1) << "a closed player answers nothing and keeps its registration";
    EXPECT_EQ(WAmpCheck(), 5);
    WAmpInstFreeAll();
}

}  // namespace
