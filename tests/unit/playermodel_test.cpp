#include "playermodel.h"

#include "mp3gen.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t kAny = INT32_MIN;

class PlayerModelTest : public ::testing::Test {
protected:
    void Text(int code, const std::string& text)
    {
        for (const char c : text)
            model.User(static_cast<std::uint32_t>(static_cast<int>(static_cast<signed char>(c))), code);
        model.User(0, code);
    }
    // Command identifiers are 40000 and above, the user codes below.
    std::int32_t Send(int code, std::uint32_t data = 0) { return code >= 40000 ? model.Command(code) : model.User(data, code); }

    std::uint64_t now = 1000;
    std::map<std::string, std::uint32_t> lengths;
    PlayerModel model{[this] { return now; }, [this](const std::string& file) {
                          return lengths.contains(file) ? PlayerTrackInfo{lengths[file], 44100, 128, 2} : PlayerTrackInfo{};
                      }};
};

// Each step sends a message, expects its answer, lets the clock run on and expects the play state and position.
TEST_F(PlayerModelTest, ThePositionRunsWithTheClockOnlyWhilePlayingAndATrackStopsAtItsEnd)
{
    const struct { int code; std::uint32_t data; std::int32_t answer; int advance, playing, pos; } steps[] = {
        {IPC_GETOUTPUTTIME, 1, 0, 0, 0, -1}, {IPC_PLAYFILE, 'a', 0, 0, 0, -1}, {IPC_PLAYFILE, 0, 0, 0, 0, -1},
        {IPC_PLAYFILE, 'b', 0, 0, 0, -1}, {IPC_PLAYFILE, 0, 0, 0, 0, -1}, {IPC_GETLISTLENGTH, 0, 2, 0, 0, -1},
        {IPC_GETOUTPUTTIME, 1, 10, 0, 0, -1}, {IPC_GETINFO, 0, 44100, 0, 0, -1}, {IPC_GETINFO, 1, 128, 0, 0, -1},
        {IPC_GETINFO, 2, 2, 0, 0, -1}, {IPC_JUMPTOTIME, 7000, -1, 0, 0, -1}, {WINAMP_BUTTON3, 0, kAny, 0, 0, -1},
        {WINAMP_BUTTON2, 0, kAny, 1234, 1, 1234}, {WINAMP_BUTTON3, 0, kAny, 5000, 3, 1234},
        {IPC_JUMPTOTIME, 7000, 0, 500, 3, 7000}, {WINAMP_BUTTON3, 0, kAny, 250, 1, 7250},
        {WINAMP_FFWD5S, 0, kAny, 0, 0, -1}, {WINAMP_BUTTON2, 0, kAny, 1000, 1, 1000}, {WINAMP_REW5S, 0, kAny, 0, 1, 0},
        {WINAMP_FFWD5S, 0, kAny, 0, 1, 5000}, {IPC_JUMPTOTIME, 2000, 0, 7999, 1, 9999},
        {IPC_ISPLAYING, 0, 1, 1, 0, -1}, {WINAMP_BUTTON2, 0, kAny, 0, 1, 0}, {IPC_JUMPTOTIME, 10000, 1, 0, 0, -1},
        {WINAMP_BUTTON2, 0, kAny, 0, 1, 0}, {WINAMP_BUTTON3, 0, kAny, 60000, 3, 0}, {12345, 0, 0, 0, 3, 0},
        {IPC_GETVERSION, 0, static_cast<std::int32_t>(PLAYER_VERSION), 0, 3, 0}, {77, 9999, 0, 0, 3, 0},
        {IPC_GETEQDATA, 4, 31, 0, 3, 0}, {IPC_SETEQDATA, 50, kAny, 0, 3, 0}, {IPC_GETEQDATA, 4, 50, 0, 3, 0},
        {IPC_GETEQDATA, 3, 31, 0, 3, 0}, {IPC_GETEQDATA, 99, 0, 0, 3, 0}, {WINAMP_BUTTON4, 0, kAny, 0, 0, -1},
        {WINAMP_BUTTON5, 0, kAny, 0, 0, -1}, {IPC_GETLISTPOS, 0, 1, 0, 0, -1}, {IPC_GETOUTPUTTIME, 1, 30, 0, 0, -1},
        {WINAMP_BUTTON5, 0, kAny, 0, 0, -1}, {IPC_SETPLAYLISTPOS, 5, kAny, 0, 0, -1}, {IPC_GETLISTPOS, 0, 1, 0, 0, -1},
        {IPC_SETPLAYLISTPOS, 0, kAny, 0, 0, -1}, {IPC_STARTPLAY, 0, kAny, 10, 1, 10},
        {WINAMP_BUTTON5, 0, kAny, 20, 1, 20}, {WINAMP_BUTTON1, 0, kAny, 0, 1, 0}, {IPC_GETLISTPOS, 0, 0, 0, 1, 0},
        {IPC_DELETE, 0, kAny, 0, 0, -1}, {WINAMP_BUTTON2, 0, kAny, 0, 0, -1}, {IPC_PLAYFILE, 'c', 0, 0, 0, -1},
        {IPC_PLAYFILE, 0, 0, 0, 0, -1}, {WINAMP_BUTTON2, 0, kAny, 3600000, 1, 3600000},  // unknown length: no end
    };
    lengths = {{"a", 10000}, {"b", 30000}};
    for (const auto& s : steps) {
        const std::int32_t answer = Send(s.code, s.data);
        now += static_cast<std::uint64_t>(s.advance);
        EXPECT_TRUE(s.answer == kAny || answer == s.answer) << (&s - steps) << ": " << answer;
        EXPECT_EQ(model.User(0, IPC_ISPLAYING), s.playing) << (&s - steps);
        EXPECT_EQ(model.User(0, IPC_GETOUTPUTTIME), s.pos) << (&s - steps);
    }
}

// An output that hears what each step says; every query settles on it.
struct FakeOutput : PlayerOutput {
    void Follow(const PlayerTarget& target) override { last = target; }
    PlayerHeard Heard(std::uint32_t) override { return heard; }
    PlayerTarget last;  // as the model last published it
    PlayerHeard heard;  // what the output answers
};

// Where the output sounds the track, the answers are its: the position holds
// while the sound is pending (PLAYER_HOLDMS at most), then is the one heard;
// the media's end stops the track, and jumps past the header's length are
// the media's business; the media's length replaces the header's estimate.
// Where it plays nothing, the own clock runs to the known length.
TEST_F(PlayerModelTest, AnOutputThatSoundsTheTrackRulesItsPositionEndAndLength)
{
    FakeOutput output;
    model.SetOutput(&output);
    lengths = {{"a", 10000}};
    Text(IPC_PLAYFILE, "a");
    EXPECT_TRUE(output.last.file == "a" && output.last.load == 1u);
    constexpr std::int64_t kPending = PLAYER_POS_PENDING, kUnknown = PLAYER_POS_UNKNOWN, kEnded = PLAYER_POS_ENDED;
    constexpr int kHold = static_cast<int>(PLAYER_HOLDMS);
    const struct { int code; std::uint32_t data; std::int64_t heard; std::uint32_t media; int advance; std::int32_t answer; int playing, pos, seconds; } steps[] = {
        {WINAMP_BUTTON2, 0, kPending, 0, 500, kAny, 1, 0, 10}, {IPC_GETVERSION, 0, 40, 12000, 0, kAny, 1, 40, 12},
        {IPC_JUMPTOTIME, 11000, 11000, 12000, 0, 0, 1, 11000, 12}, {IPC_GETVERSION, 0, kEnded, 0, 0, kAny, 0, -1, 12},
        {WINAMP_BUTTON2, 0, kPending, 0, kHold, kAny, 1, kHold, 12}, {IPC_GETVERSION, 0, kUnknown, 0, 11999 - kHold, kAny, 1, 11999, 12},
        {IPC_GETVERSION, 0, kUnknown, 0, 1, kAny, 0, -1, 12}, {WINAMP_BUTTON2, 0, kUnknown, 0, 0, kAny, 1, 0, 12},
        {IPC_JUMPTOTIME, 12000, kUnknown, 0, 0, 1, 0, -1, 12},
    };
    for (const auto& s : steps) {
        output.heard = {s.heard, s.media};
        const std::int32_t answer = Send(s.code, s.data);
        now += static_cast<std::uint64_t>(s.advance);
        EXPECT_TRUE(s.answer == kAny || answer == s.answer) << (&s - steps) << ": " << answer;
        EXPECT_EQ(model.User(0, IPC_ISPLAYING), s.playing) << (&s - steps);
        EXPECT_EQ(model.User(0, IPC_GETOUTPUTTIME), s.pos) << (&s - steps);
        EXPECT_EQ(model.User(1, IPC_GETOUTPUTTIME), s.seconds) << (&s - steps);
    }
    EXPECT_EQ(output.last.state, PlayerState::Stopped);
}

// A header's length counts as exact only with a frame count in the first
// frame (after an ID3v2 tag, behind side information of any size).
TEST(PlayerProbe, TheLengthIsExactOnlyWithAXingHeader)
{
    const struct { int version, channels; bool xing, id3v2, exact; } rows[] = {
        {1, 1, false, false, false}, {1, 1, true, false, true}, {1, 3, true, true, true}, {2, 3, true, false, true},
        {2, 1, false, true, false}};
    const std::string file = ::testing::TempDir() + "probe.mp3";
    for (const auto& r : rows) {
        MP3GENOPTIONS options;
        options.iVersion = r.version;
        options.lSampleRate = r.version == 1 ? 44100 : 22050;
        options.lBitRate = 64;
        options.iChannelMode = r.channels;
        options.bXing = r.xing;
        options.bId3v2 = r.id3v2;
        ASSERT_TRUE(Mp3GenWrite(file.c_str(), options));
        EXPECT_EQ(PlayerProbeMP3(file).bExactLength, r.exact) << (&r - rows);
    }
    std::remove(file.c_str());
}

TEST_F(PlayerModelTest, EachTextCodeCollectsItsOwnTextFromTheLowByteUpToTheLimit)
{
    model.User('a', IPC_PLAYFILE);
    Text(IPC_SETSKIN, "k");
    for (const std::uint32_t data : {0xFFFFFFE9u, 0x1234567Fu, 0u})
        model.User(data, IPC_PLAYFILE);
    Text(IPC_PLAYFILE, "");
    Text(IPC_PLAYFILE, std::string(PLAYER_MAXTEXT + 50, 'x'));
    EXPECT_EQ(model.Skin(), "k");
    EXPECT_EQ(model.Playlist(), (std::vector<std::string>{"a\xE9\x7F", std::string(PLAYER_MAXTEXT, 'x')}));
}

TEST_F(PlayerModelTest, VolumeAndPanningAreClampedToTheirRanges)
{
    const struct { int code; std::int32_t data, level; } steps[] = {{IPC_SETVOLUME, 204, 204}, {IPC_SETVOLUME, 300, 255},
        {IPC_SETVOLUME, -5, 0}, {IPC_SETVOLUME, 250, 250}, {WINAMP_VOLUMEUP, 0, 255}, {IPC_SETVOLUME, 3, 3},
        {WINAMP_VOLUMEDOWN, 0, 0}, {IPC_SETPANNING, -20, -20}, {IPC_SETPANNING, 200, 127}, {IPC_SETPANNING, -300, -128}};
    for (const auto& s : steps) {
        Send(s.code, static_cast<std::uint32_t>(s.data));
        EXPECT_EQ(s.code == IPC_SETPANNING ? model.Panning() : model.Volume(), s.level) << s.code << ' ' << s.data;
    }
}

TEST_F(PlayerModelTest, JournalLinesCarryTheStateAfterEachMessageAndParseBack)
{
    std::vector<std::string> lines;
    model.SetJournal([&](const PlayerJournalEntry& e) { lines.push_back(PlayerJournalLine(e)); });
    lengths["a b\n.mp3"] = 60000;
    Text(IPC_PLAYFILE, "a b\n.mp3");
    Send(WINAMP_BUTTON2);
    now += 5010;
    Send(IPC_SETPANNING, static_cast<std::uint32_t>(-20));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[8], "t=1000 USER code=100 arg=0 state=0 pos=-1 vol=255 pan=0 text=a b?.mp3");
    EXPECT_EQ(lines[10], "t=6010 USER code=123 arg=-20 state=1 pos=5010 vol=255 pan=-20");
    PlayerJournalEntry e;
    for (const std::string& line : lines)
        EXPECT_TRUE(PlayerJournalParse(line + "\r\n", &e) && PlayerJournalLine(e) == line) << line;
    for (const char* bad : {"", "t=x USER code=1 arg=0 state=0 pos=0 vol=0 pan=0", "t=1 OTHER code=1 arg=0 state=0 pos=0 vol=0 pan=0"})
        EXPECT_FALSE(PlayerJournalParse(bad, &e)) << bad;
}

}  // namespace
