// The player registry and the command layer against real tplayer.exe
// processes, started the way the program starts them: through the open
// command of the player's file class.
#include "e2e.h"

#include "fnmain.h"
#include "mp3gen.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>

namespace {

constexpr char kOpenKey[] = "Winamp.File\\shell\\open\\command";
constexpr int kStartTimeoutMs = 15000;
constexpr std::int64_t kToleranceMs = 50;

class PlayersTest : public e2e::Test {
protected:
    void SetUp() override
    {
        e2e::Test::SetUp();
        e2e::StopWindowsOfClass(WAMP_WINDOWCLASS);
        ASSERT_TRUE(e2e::TopLevelWindows(WAMP_WINDOWCLASS).empty());
        SetRegistry(HKEY_CLASSES_ROOT, kOpenKey, "", "\"" + e2e::TplayerExe() + "\" \"%1\"");
        SetEnv("TPLAYER_JOURNAL", e2e::JournalPattern(scratch));
        WAmpInstFreeAll();
    }
    void TearDown() override
    {
        WAmpInstFreeAll();
        e2e::Test::TearDown();
    }

    // Start-up with no player running: five come up, registered as 0..4.
    void StartFive()
    {
        ASSERT_EQ(WAmpCheck(), 0);
        InitWAmpInstances();
        ASSERT_EQ(e2e::WaitForWindows(WAMP_WINDOWCLASS, 5, kStartTimeoutMs).size(), 5u);
        ASSERT_EQ(WAmpGetInstances(), 5);
    }

    std::vector<PlayerJournalEntry> Journal(int NO)
    {
        return e2e::ReadJournal(e2e::JournalFile(scratch, WAmpInstGet(NO)->ProcessID));
    }
};

// The position read between two clock readings, against a start known to
// lie between two others.
void ExpectPosition(unsigned pos, std::uint64_t startBefore, std::uint64_t startAfter, std::uint64_t readBefore,
                    std::uint64_t readAfter, unsigned from)
{
    const auto low = static_cast<std::int64_t>(from + (readBefore - startAfter)) - kToleranceMs;
    const auto high = static_cast<std::int64_t>(from + (readAfter - startBefore)) + kToleranceMs;
    EXPECT_GE(static_cast<std::int64_t>(pos), low);
    EXPECT_LE(static_cast<std::int64_t>(pos), high);
}

unsigned ReadPos(int NO, std::uint64_t* before, std::uint64_t* after)
{
    *before = e2e::NowMs();
    const unsigned pos = WAmpCmGetSongPos(NO);
    *after = e2e::NowMs();
    return pos;
}

TEST_F(PlayersTest, StartUpStartsFiveMinimisedPlayersAndRegistersThemOnce)
{
    StartFive();
    const auto windows = e2e::TopLevelWindows(WAMP_WINDOWCLASS);
    std::set<HWND> seen;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const WAMPINST* inst = WAmpInstGet(i);
        ASSERT_NE(inst, nullptr);
        EXPECT_EQ(inst->NO, i);
        EXPECT_NE(std::find(windows.begin(), windows.end(), inst->Window), windows.end());
        EXPECT_TRUE(seen.insert(inst->Window).second);
        EXPECT_EQ(inst->ProcessID, e2e::WindowProcess(inst->Window));
        EXPECT_TRUE(IsIconic(inst->Window));
        EXPECT_EQ(WAmpCmGetVersion(i), PLAYER_VERSION);
        EXPECT_EQ(WAmpCmIsPlaying(i), 0);
        // Start-up pressed every slot's stop button.
        const auto journal = Journal(i);
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(journal.front().message, PlayerMessage::Command);
        EXPECT_EQ(journal.front().code, WINAMP_BUTTON4);
    }
    EXPECT_EQ(WAmpCheck(), 5);
    EXPECT_EQ(WAmpCmIsPlaying(5), -1);
}

TEST_F(PlayersTest, PlayPauseJumpWhilePausedAndResumeKeepTheClock)
{
    const std::string song = e2e::JoinPath(scratch, "ten seconds.mp3");
    MP3GENOPTIONS options;
    options.lDurationMs = 10000;
    ASSERT_TRUE(Mp3GenWrite(song.c_str(), options));
    StartFive();

    WAmpCmDeletePlayList(0);
    WAmpCmPlayFile(0, song.c_str());
    EXPECT_EQ(WAmpCmGetPlayListLength(0), 1);
    EXPECT_EQ(WAmpCmGetSongLen(0), 10u);
    EXPECT_EQ(WAmpCmGetSongPos(0), 0xFFFFFFFFu);

    const std::uint64_t playBefore = e2e::NowMs();
    WAmpBtPlay(0);
    const std::uint64_t playAfter = e2e::NowMs();
    EXPECT_EQ(WAmpCmIsPlaying(0), 1);
    Sleep(400);
    std::uint64_t before = 0, after = 0;
    const unsigned playing = ReadPos(0, &before, &after);
    ExpectPosition(playing, playBefore, playAfter, before, after, 0);

    WAmpBtPause(0);
    EXPECT_EQ(WAmpCmIsPlaying(0), 3);
    const unsigned pausedAt = WAmpCmGetSongPos(0);
    Sleep(200);
    EXPECT_EQ(WAmpCmGetSongPos(0), pausedAt);

    WAmpCmJump(0, 7000);
    EXPECT_EQ(WAmpCmIsPlaying(0), 3);
    Sleep(200);
    EXPECT_EQ(WAmpCmGetSongPos(0), 7000u);

    const std::uint64_t resumeBefore = e2e::NowMs();
    WAmpBtPause(0);
    const std::uint64_t resumeAfter = e2e::NowMs();
    EXPECT_EQ(WAmpCmIsPlaying(0), 1);
    Sleep(300);
    const unsigned resumed = ReadPos(0, &before, &after);
    ExpectPosition(resumed, resumeBefore, resumeAfter, before, after, 7000);

    // The journal tells the same story; the other players heard nothing of it.
    const auto journal = Journal(0);
    const auto find = [&](int code, PlayerMessage message, std::size_t from) {
        for (std::size_t i = from; i < journal.size(); ++i)
            if (journal[i].code == code && journal[i].message == message)
                return i;
        return journal.size();
    };
    const std::size_t text = find(IPC_PLAYFILE, PlayerMessage::User, 0);
    ASSERT_LT(text, journal.size());
    EXPECT_EQ(journal[text + song.size()].text, song);
    const std::size_t play = find(WINAMP_BUTTON2, PlayerMessage::Command, text);
    const std::size_t pause = find(WINAMP_BUTTON3, PlayerMessage::Command, play);
    const std::size_t jump = find(IPC_JUMPTOTIME, PlayerMessage::User, pause);
    const std::size_t resume = find(WINAMP_BUTTON3, PlayerMessage::Command, jump);
    ASSERT_LT(resume, journal.size());
    EXPECT_EQ(journal[play].state, 1);
    EXPECT_EQ(journal[play].pos, 0);
    EXPECT_EQ(journal[pause].state, 3);
    EXPECT_EQ(journal[pause].pos, static_cast<std::int32_t>(pausedAt));
    EXPECT_NEAR(static_cast<double>(journal[pause].t - journal[play].t), pausedAt, 2.0);
    EXPECT_EQ(journal[jump].arg, 7000);
    EXPECT_EQ(journal[jump].state, 3);
    EXPECT_EQ(journal[jump].pos, 7000);
    EXPECT_EQ(journal[resume].state, 1);
    EXPECT_EQ(journal[resume].pos, 7000);
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(Journal(i).size(), 1u) << i;  // only the stop of start-up
}

TEST_F(PlayersTest, TrackStopsAtItsEnd)
{
    const std::string song = e2e::JoinPath(scratch, "short.mp3");
    MP3GENOPTIONS options;
    options.lDurationMs = 1000;
    ASSERT_TRUE(Mp3GenWrite(song.c_str(), options));
    StartFive();
    WAmpCmPlayFile(4, song.c_str());
    WAmpBtPlay(4);
    EXPECT_EQ(WAmpCmIsPlaying(4), 1);
    EXPECT_TRUE(e2e::WaitUntil([] { return WAmpCmIsPlaying(4) == 0; }, 3000));
    EXPECT_EQ(WAmpCmGetSongPos(4), 0xFFFFFFFFu);
}

TEST_F(PlayersTest, KillClosesThePlayerAndItsRegistrationStays)
{
    StartFive();
    const DWORD pid = WAmpInstGet(2)->ProcessID;
    EXPECT_EQ(WAmpKill(2), 5);
    EXPECT_TRUE(e2e::WaitUntil([pid] { return e2e::ProcessEnded(pid); }, 5000));
    EXPECT_EQ(WAmpGetInstances(), 5);
    EXPECT_EQ(WAmpCmIsPlaying(2), 0);  // a closed window answers nothing
    EXPECT_EQ(WAmpCheck(), 5);
}

}  // namespace
