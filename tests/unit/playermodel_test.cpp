#include "playermodel.h"

#include "mp3gen.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class PlayerModelTest : public ::testing::Test {
protected:
    PlayerModelTest()
        : model([this] { return now; },
                [this](const std::string& file) {
                    const auto found = lengths.find(file);
                    return found != lengths.end() ? PlayerTrackInfo{found->second, 44100, 128, 2} : PlayerTrackInfo{};
                })
    {
        model.SetJournal([this](const PlayerJournalEntry& e) { journal.push_back(e); });
    }

    void Text(int code, const std::string& text)
    {
        for (const char c : text)
            model.User(static_cast<std::uint32_t>(static_cast<int>(static_cast<signed char>(c))), code);
        model.User(0, code);
    }
    void Load(const std::string& file, std::uint32_t ms)
    {
        lengths[file] = ms;
        Text(IPC_PLAYFILE, file);
    }
    std::int32_t Pos() { return model.User(0, IPC_GETOUTPUTTIME); }
    std::int32_t Playing() { return model.User(0, IPC_ISPLAYING); }
    void Press(int id) { model.Command(id); }

    std::uint64_t now = 1000;
    std::map<std::string, std::uint32_t> lengths;
    std::vector<PlayerJournalEntry> journal;
    PlayerModel model;
};

// ---- the text protocol ----

TEST_F(PlayerModelTest, PlayFileAppendsAndDeleteEmpties)
{
    Text(IPC_PLAYFILE, "a.mp3");
    Text(IPC_PLAYFILE, "b.mp3");
    EXPECT_EQ(model.Playlist(), (std::vector<std::string>{"a.mp3", "b.mp3"}));
    EXPECT_EQ(model.User(0, IPC_GETLISTLENGTH), 2);
    model.User(0, IPC_DELETE);
    EXPECT_EQ(model.User(0, IPC_GETLISTLENGTH), 0);
    Text(IPC_PLAYFILE, "c.mp3");
    EXPECT_EQ(model.Playlist(), std::vector<std::string>{"c.mp3"});
    Text(IPC_PLAYFILE, "");  // an empty name adds nothing
    EXPECT_EQ(model.Playlist().size(), 1u);
}

TEST_F(PlayerModelTest, EachTextCodeCollectsItsOwnTextFromTheLowByte)
{
    for (const char c : std::string("ab")) {
        model.User(static_cast<unsigned char>(c), IPC_PLAYFILE);
        model.User(static_cast<unsigned char>(c + 10), IPC_SETSKIN);
    }
    model.User(0xFFFFFFE9u, IPC_PLAYFILE);  // sign-extended 0xE9
    model.User(0x1234567Fu, IPC_PLAYFILE);  // only the low byte counts
    model.User(0, IPC_SETSKIN);
    EXPECT_EQ(model.Skin(), "kl");
    EXPECT_TRUE(model.Playlist().empty());
    model.User(0, IPC_PLAYFILE);
    EXPECT_EQ(model.Playlist(), std::vector<std::string>{"ab\xE9\x7F"});
}

TEST_F(PlayerModelTest, OverlongTextIsCut)
{
    Text(IPC_PLAYFILE, std::string(PLAYER_MAXTEXT + 50, 'x'));
    ASSERT_EQ(model.Playlist().size(), 1u);
    EXPECT_EQ(model.Playlist()[0].size(), static_cast<std::size_t>(PLAYER_MAXTEXT));
}

// ---- play states and position ----

TEST_F(PlayerModelTest, ButtonsMoveBetweenStoppedPlayingAndPaused)
{
    EXPECT_EQ(Playing(), 0);
    Press(WINAMP_BUTTON2);  // nothing to play
    EXPECT_EQ(Playing(), 0);
    Load("a.mp3", 60000);
    Press(WINAMP_BUTTON3);  // pause while stopped does nothing
    EXPECT_EQ(Playing(), 0);
    Press(WINAMP_BUTTON2);
    EXPECT_EQ(Playing(), 1);
    Press(WINAMP_BUTTON3);
    EXPECT_EQ(Playing(), 3);
    Press(WINAMP_BUTTON3);
    EXPECT_EQ(Playing(), 1);
    Press(WINAMP_BUTTON4);
    EXPECT_EQ(Playing(), 0);
    model.User(0, IPC_STARTPLAY);
    EXPECT_EQ(Playing(), 1);
}

TEST_F(PlayerModelTest, PositionRunsWithTheClockOnlyWhilePlaying)
{
    Load("a.mp3", 60000);
    EXPECT_EQ(static_cast<std::uint32_t>(Pos()), 0xFFFFFFFFu);
    Press(WINAMP_BUTTON2);
    EXPECT_EQ(Pos(), 0);
    now += 1234;
    EXPECT_EQ(Pos(), 1234);
    Press(WINAMP_BUTTON3);
    now += 5000;
    EXPECT_EQ(Pos(), 1234);
    Press(WINAMP_BUTTON3);
    now += 66;
    EXPECT_EQ(Pos(), 1300);
    Press(WINAMP_BUTTON2);  // play restarts the entry
    now += 10;
    EXPECT_EQ(Pos(), 10);
    Press(WINAMP_BUTTON4);
    EXPECT_EQ(Pos(), -1);
    Press(WINAMP_BUTTON2);
    EXPECT_EQ(Pos(), 0);
}

TEST_F(PlayerModelTest, JumpWhilePausedResumesFromThere)
{
    Load("a.mp3", 60000);
    Press(WINAMP_BUTTON2);
    now += 1000;
    Press(WINAMP_BUTTON3);
    EXPECT_EQ(model.User(7000, IPC_JUMPTOTIME), 0);
    EXPECT_EQ(Playing(), 3);
    now += 500;
    EXPECT_EQ(Pos(), 7000);
    Press(WINAMP_BUTTON3);
    now += 250;
    EXPECT_EQ(Pos(), 7250);
    EXPECT_EQ(model.User(2000, IPC_JUMPTOTIME), 0);  // and while playing
    now += 1;
    EXPECT_EQ(Pos(), 2001);
}

TEST_F(PlayerModelTest, JumpWhileStoppedIsRefused)
{
    Load("a.mp3", 60000);
    EXPECT_EQ(model.User(7000, IPC_JUMPTOTIME), -1);
    EXPECT_EQ(Playing(), 0);
    Press(WINAMP_BUTTON2);
    EXPECT_EQ(Pos(), 0);
}

TEST_F(PlayerModelTest, TrackThatReachesItsEndStops)
{
    Load("a.mp3", 10000);
    Press(WINAMP_BUTTON2);
    now += 9999;
    EXPECT_EQ(Playing(), 1);
    EXPECT_EQ(Pos(), 9999);
    now += 1;
    EXPECT_EQ(Playing(), 0);
    EXPECT_EQ(Pos(), -1);
    Press(WINAMP_BUTTON2);
    EXPECT_EQ(model.User(10000, IPC_JUMPTOTIME), 1);  // a jump to the end ends it too
    EXPECT_EQ(Playing(), 0);
    Press(WINAMP_BUTTON2);
    Press(WINAMP_BUTTON3);
    now += 60000;  // paused: never ends
    EXPECT_EQ(Playing(), 3);
}

TEST_F(PlayerModelTest, EntryOfUnknownLengthPlaysOn)
{
    Text(IPC_PLAYFILE, "missing.mp3");
    EXPECT_EQ(model.User(1, IPC_GETOUTPUTTIME), 0);
    Press(WINAMP_BUTTON2);
    now += 3600000;
    EXPECT_EQ(Playing(), 1);
    EXPECT_EQ(Pos(), 3600000);
}

TEST_F(PlayerModelTest, LengthInWholeSeconds)
{
    EXPECT_EQ(model.User(1, IPC_GETOUTPUTTIME), 0);
    Load("a.mp3", 10999);
    EXPECT_EQ(model.User(1, IPC_GETOUTPUTTIME), 10);
    EXPECT_EQ(model.User(0, IPC_GETINFO), 44100);
    EXPECT_EQ(model.User(1, IPC_GETINFO), 128);
    EXPECT_EQ(model.User(2, IPC_GETINFO), 2);
}

TEST_F(PlayerModelTest, DeleteStopsThePlayer)
{
    Load("a.mp3", 60000);
    Press(WINAMP_BUTTON2);
    model.User(0, IPC_DELETE);
    EXPECT_EQ(Playing(), 0);
    Press(WINAMP_BUTTON2);
    EXPECT_EQ(Playing(), 0);
}

TEST_F(PlayerModelTest, SeekButtonsStayInsideTheTrack)
{
    Load("a.mp3", 12000);
    Press(WINAMP_FFWD5S);
    EXPECT_EQ(Pos(), -1);
    Press(WINAMP_BUTTON2);
    now += 1000;
    Press(WINAMP_REW5S);
    EXPECT_EQ(Pos(), 0);
    Press(WINAMP_FFWD5S);
    Press(WINAMP_FFWD5S);
    EXPECT_EQ(Pos(), 10000);
    Press(WINAMP_FFWD5S);
    EXPECT_EQ(Playing(), 0);
}

// ---- playlist position ----

TEST_F(PlayerModelTest, PreviousAndNextMoveInThePlaylist)
{
    Load("a.mp3", 60000);
    Load("b.mp3", 30000);
    Press(WINAMP_BUTTON1);
    EXPECT_EQ(model.User(0, IPC_GETLISTPOS), 0);
    Press(WINAMP_BUTTON5);  // stopped: only selects
    EXPECT_EQ(model.User(0, IPC_GETLISTPOS), 1);
    EXPECT_EQ(Playing(), 0);
    EXPECT_EQ(model.User(1, IPC_GETOUTPUTTIME), 30);
    Press(WINAMP_BUTTON5);
    EXPECT_EQ(model.User(0, IPC_GETLISTPOS), 1);
    model.User(0, IPC_SETPLAYLISTPOS);
    Press(WINAMP_BUTTON2);
    now += 4000;
    Press(WINAMP_BUTTON5);  // playing: the next entry plays from its start
    EXPECT_EQ(Playing(), 1);
    EXPECT_EQ(Pos(), 0);
    EXPECT_EQ(model.Status().file, "b.mp3");
    model.User(5, IPC_SETPLAYLISTPOS);  // out of range: ignored
    EXPECT_EQ(model.User(0, IPC_GETLISTPOS), 1);
}

// ---- volume, panning, other codes ----

TEST_F(PlayerModelTest, VolumeAndPanningAreClampedAndSetAtOnce)
{
    model.User(204, IPC_SETVOLUME);
    EXPECT_EQ(model.Volume(), 204);
    model.User(300, IPC_SETVOLUME);
    EXPECT_EQ(model.Volume(), 255);
    model.User(static_cast<std::uint32_t>(-5), IPC_SETVOLUME);
    EXPECT_EQ(model.Volume(), 0);
    model.User(static_cast<std::uint32_t>(-20), IPC_SETPANNING);
    EXPECT_EQ(model.Panning(), -20);
    model.User(200, IPC_SETPANNING);
    EXPECT_EQ(model.Panning(), 127);
    model.User(static_cast<std::uint32_t>(-300), IPC_SETPANNING);
    EXPECT_EQ(model.Panning(), -128);

    model.User(250, IPC_SETVOLUME);
    Press(WINAMP_VOLUMEUP);
    EXPECT_EQ(model.Volume(), 255);
    model.User(3, IPC_SETVOLUME);
    Press(WINAMP_VOLUMEDOWN);
    EXPECT_EQ(model.Volume(), 0);
}

TEST_F(PlayerModelTest, UnknownCodesAnswerZeroAndChangeNothing)
{
    Load("a.mp3", 60000);
    Press(WINAMP_BUTTON2);
    now += 100;
    EXPECT_EQ(model.User(77, 9999), 0);
    EXPECT_EQ(model.User(3, IPC_GETOUTPUTTIME), 0);
    EXPECT_EQ(model.Command(12345), 0);
    EXPECT_EQ(model.Command(WINAMP_BUTTON2_SHIFT), 0);
    EXPECT_EQ(Playing(), 1);
    EXPECT_EQ(Pos(), 100);
    EXPECT_EQ(model.User(0, IPC_GETVERSION), static_cast<std::int32_t>(PLAYER_VERSION));
}

TEST_F(PlayerModelTest, EqualiserValueIsSetAtTheItemLastAskedFor)
{
    EXPECT_EQ(model.User(4, IPC_GETEQDATA), 31);
    model.User(50, IPC_SETEQDATA);
    EXPECT_EQ(model.User(4, IPC_GETEQDATA), 50);
    EXPECT_EQ(model.User(3, IPC_GETEQDATA), 31);
    EXPECT_EQ(model.User(99, IPC_GETEQDATA), 0);
}

TEST_F(PlayerModelTest, WindowButtonsGoToTheShellOutsideTheLock)
{
    std::vector<int> requests;
    model.SetWindowRequest([&](int id) {
        requests.push_back(id);
        model.Status();  // the shell reads the model while it opens a window
    });
    for (const int id : {WINAMP_OPTIONS_EQ, WINAMP_OPTIONS_PREFS, WINAMP_HELP_ABOUT, WINAMP_OPTIONS_AOT,
                         WINAMP_BUTTON2, WINAMP_OPTIONS_AOT})
        Press(id);
    EXPECT_EQ(requests, (std::vector<int>{40036, 40012, 40041, 40019, 40019}));
    EXPECT_FALSE(model.Status().topmost);
    Press(WINAMP_OPTIONS_AOT);
    EXPECT_TRUE(model.Status().topmost);
}

// ---- journal ----

TEST_F(PlayerModelTest, JournalRecordsEveryMessageWithTheStateAfterIt)
{
    lengths["a b.mp3"] = 60000;
    Text(IPC_PLAYFILE, "a b.mp3");
    Press(WINAMP_BUTTON2);
    now += 5010;
    model.User(204, IPC_SETVOLUME);
    model.User(static_cast<std::uint32_t>(-20), IPC_SETPANNING);
    ASSERT_EQ(journal.size(), 11u);
    std::vector<std::string> lines;
    for (const auto& e : journal)
        lines.push_back(PlayerJournalLine(e));
    EXPECT_EQ(lines[0], "t=1000 USER code=100 arg=97 state=0 pos=-1 vol=255 pan=0");
    EXPECT_EQ(lines[7], "t=1000 USER code=100 arg=0 state=0 pos=-1 vol=255 pan=0 text=a b.mp3");
    EXPECT_EQ(lines[8], "t=1000 COMMAND code=40045 arg=0 state=1 pos=0 vol=255 pan=0");
    EXPECT_EQ(lines[9], "t=6010 USER code=122 arg=204 state=1 pos=5010 vol=204 pan=0");
    EXPECT_EQ(lines[10], "t=6010 USER code=123 arg=-20 state=1 pos=5010 vol=204 pan=-20");
}

TEST_F(PlayerModelTest, JournalLinesParseBack)
{
    PlayerJournalEntry e;
    ASSERT_TRUE(PlayerJournalParse("t=1234 USER code=122 arg=204 state=1 pos=5010 vol=204 pan=0\r\n", &e));
    EXPECT_EQ(e.t, 1234u);
    EXPECT_EQ(e.message, PlayerMessage::User);
    EXPECT_EQ(e.code, 122);
    EXPECT_EQ(e.arg, 204);
    EXPECT_EQ(e.state, 1);
    EXPECT_EQ(e.pos, 5010);
    EXPECT_EQ(e.vol, 204);
    EXPECT_EQ(e.pan, 0);
    EXPECT_FALSE(e.hasText);

    ASSERT_TRUE(PlayerJournalParse("t=5 COMMAND code=40046 arg=0 state=3 pos=-1 vol=0 pan=-128 text=Z:\\a b=c", &e));
    EXPECT_EQ(e.message, PlayerMessage::Command);
    EXPECT_EQ(e.pos, -1);
    EXPECT_EQ(e.pan, -128);
    EXPECT_TRUE(e.hasText);
    EXPECT_EQ(e.text, "Z:\\a b=c");

    for (const char* bad : {"", "t=1 USER", "t=x USER code=1 arg=0 state=0 pos=0 vol=0 pan=0",
                            "t=1 OTHER code=1 arg=0 state=0 pos=0 vol=0 pan=0",
                            "t=1 USER code=1 arg=0 state=0 pos=0 vol=0 pan=0 junk",
                            "t=1 USER code=1 arg=0 state=0 pos=0 vol=0"})
        EXPECT_FALSE(PlayerJournalParse(bad, &e)) << bad;
}

TEST_F(PlayerModelTest, JournalTextKeepsOneLine)
{
    PlayerJournalEntry e;
    e.hasText = true;
    e.text = "a\nb\r\x01\xE9";
    EXPECT_EQ(PlayerJournalLine(e), "t=0 USER code=0 arg=0 state=0 pos=-1 vol=0 pan=0 text=a?b??\xE9");
}

// ---- the default probe ----

TEST(PlayerProbe, LengthComesFromTheMpegHeader)
{
    const std::string file = testing::TempDir() + "tandem_probe_10500.mp3";
    MP3GENOPTIONS options;
    options.lDurationMs = 10500;
    ASSERT_TRUE(Mp3GenWrite(file.c_str(), options));
    std::uint64_t now = 0;
    PlayerModel model([&] { return now; });
    model.AddFile(file);
    EXPECT_EQ(model.User(1, IPC_GETOUTPUTTIME), 10);
    EXPECT_EQ(model.User(0, IPC_GETINFO), 44100);
    EXPECT_EQ(model.User(1, IPC_GETINFO), 128);
    EXPECT_EQ(model.User(2, IPC_GETINFO), 2);
    model.Command(WINAMP_BUTTON2);
    now = 10400;
    EXPECT_EQ(model.State(), PlayerState::Playing);
    now = 10700;
    EXPECT_EQ(model.State(), PlayerState::Stopped);
    std::remove(file.c_str());

    EXPECT_EQ(PlayerProbeMP3(file).lLength, 0u);
}

}  // namespace
