// What a listener hears of Tandem, recorded from the monitor of the test
// run's PulseAudio null sink (scripts/lib/env.sh start_sound), in three
// stories. Two pure tones faded over with duo, each tone's level (Goertzel)
// following the prescribed fade-in, duo and fade-out, timed from the
// incoming track's start; then a hard cut into a pitch sweep, whose pitch
// tells which point of the track sounds, against the positions the player
// answers after its start and after a jump; and a 1 s file on another
// player, heard whole. An unattended mix of tracks as they come from real
// masters: silence at an end or a start, one track 12 dB quieter, a long
// fade-out; each track is a tone of its own pitch, so the recording tells
// who sounds when, and how loud. Files as they come from outside: names
// outside the ANSI code page, as on a Western system (code page 1252), a
// folder and a track named in Cyrillic added through "Add directory", read
// and played in the substitute player under their short names, and heard
// when a sound server runs; then a tagged VBR file shows its title and
// length and mixes at its real end.
#include "sound.h"
#include "tandem.h"

#include "mp3gen.h"
#include "resource.h"
#include "winamp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>

namespace {

using namespace e2e;

constexpr int kBlock = Recording::kRate / 100;  // 10 ms; the tones have whole cycles in it
constexpr int kToneHz[3] = {400, 1000, 600};         // outgoing, incoming, the 1 s file
constexpr double kFull = 0.5;                        // the files' amplitude
constexpr int kVolume = 204;                         // the players' default volume
constexpr double kLevel = kVolume / 255.0;
constexpr int kFadeMs = 1500, kDuoMs = 1000;
constexpr double kMixMs = 2 * kFadeMs + kDuoMs;
constexpr std::uint32_t kJumpTo = 6000;

// Each tone's amplitude per 10 ms block.
template <std::size_t N>
using Levels = std::vector<std::array<double, N>>;

// The median of the eleven blocks around b (5 <= b < size - 5): a dropout
// of up to 50 ms is the gap test's business.
double Median(const Levels<2>& level, std::size_t b, int tone)
{
    std::array<double, 11> v{};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = level[b + i - 5][tone];
    std::nth_element(v.begin(), v.begin() + 5, v.end());
    return v[5];
}

// The prescribed level of each tone at ms after the incoming track started.
double Expected(int tone, double ms)
{
    return kLevel * (tone == 0 ? 1 - std::clamp((ms - kFadeMs - kDuoMs) / kFadeMs, 0.0, 1.0)
                               : std::clamp(ms / kFadeMs, 0.0, 1.0));
}

// The longest run of 10 ms blocks from ms to ms + span in which nothing sounds (ms).
int LongestSilence(const Recording& rec, double ms, double span)
{
    int quiet = 0, longest = 0;
    for (double t = ms; t < ms + span; t += 10)
        longest = std::max(longest, quiet = rec.Loudness(t, 10) < 0.05 ? quiet + 10 : 0);
    return longest;
}

// Position answered minus position heard, the median over 300 ms from when
// the sweep first sounds near from after ms: answers taken lag earlier, when
// a volume command would be heard with the sound.
double SweepOffset(const Recording& rec, const std::vector<PlayerJournalEntry>& journal, double ms, double from, double lag)
{
    const auto heard = [&](double t) { return SweepPos(rec.Pitch(t - 10, 20)); };
    double on = ms;
    while (on < ms + 2000 && (rec.Loudness(on, 10) < 0.05 || std::fabs(heard(on + 10) - from) > 200))
        on += 2;
    std::vector<double> offsets;
    for (double t = on + 20; t < on + 320; t += 10) {
        const auto answer = std::min_element(journal.begin(), journal.end(), [&](const auto& a, const auto& b) {
            return std::fabs(static_cast<double>(a.t) - (t - lag)) < std::fabs(static_cast<double>(b.t) - (t - lag));
        });
        offsets.push_back(answer->pos - heard(t));
    }
    std::nth_element(offsets.begin(), offsets.begin() + 15, offsets.end());
    return offsets[15];
}

using SoundTest = TandemTest;

TEST_F(SoundTest, AFadeRisesAndFallsInPlaceAHardCutLeavesNoGapAndPositionsFollowTheSound)
{
    ASSERT_TRUE(RunUnix(scratch, ToneScript("400", 400, 10000) + " && " + ToneScript("1000", 1000, 10000) + " && " +
                                     ToneScript("sweep", 0, 10000) + " && " + ToneScript("short", kToneHz[2], 1000)));
    StoreLibrary({JoinPath(scratch, "400.mp3"), JoinPath(scratch, "1000.mp3"), JoinPath(scratch, "sweep.mp3")});

    ASSERT_NO_FATAL_FAILURE(StartTandem());
    // Levelling off: the fades are timed against the players' own volumes.
    ASSERT_TRUE(Click(panel, CBLEVEL) && Click(panel, CBFADE) && Click(panel, CB2CHAN));
    ASSERT_TRUE(SetComboText(panel, CBOFADELEN, std::to_string(kFadeMs)) &&
                SetComboText(panel, CBODUOLEN, std::to_string(kDuoMs)));
    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    ASSERT_TRUE(ListViewSelect(items, 0) && Click(pl, BTACTIVATE));
    ASSERT_EQ(WaitForText(Control(panel, EDNEXT), "Tone - 400", kWindowTimeoutMs), "Tone - 400");

    // NEXT, the mix 6 s later; once the sweep is queued, fade and duo off,
    // NEXT again: a hard cut into the sweep, which jumps; then a 1 s file on
    // a player of its own.
    Recording rec;
    ASSERT_TRUE(rec.Start(scratch, "mix.raw", 21) && Click(panel, BTPLAYNEXT));
    for (int waited = 0; ControlText(panel, EDNEXT) != "Tone - sweep" && waited < 15000; waited += 50)
        rec.Listen(50);
    rec.Listen(1500);
    ASSERT_TRUE(Click(panel, CBFADE) && Click(panel, CB2CHAN));
    const double cut = static_cast<double>(NowMs());
    ASSERT_TRUE(Click(panel, BTPLAYNEXT));
    rec.Listen(800);
    const HWND sweepPlayer = PlayerWith(JoinPath(scratch, "sweep.mp3"));
    HWND sparePlayer = nullptr;  // one never loaded
    for (const HWND window : TopLevelWindows(WAMP_WINDOWCLASS))
        if (std::ranges::none_of(JournalOf(window), [](const auto& e) { return e.code == IPC_PLAYFILE; }))
            sparePlayer = window;
    ASSERT_TRUE(sweepPlayer != nullptr && sparePlayer != nullptr);
    const int sweep = WAmpInstAdd(sweepPlayer) - 1, spare = WAmpInstAdd(sparePlayer) - 1;
    const double jump = static_cast<double>(NowMs());
    WAmpCmJump(sweep, kJumpTo);
    rec.Listen(800);
    const double dip = static_cast<double>(NowMs());
    WAmpCmSetVolume(sweep, 0);
    rec.Listen(300);
    WAmpCmSetVolume(sweep, kVolume);
    rec.Listen(300);
    WAmpCmSetVolume(spare, kVolume);
    WAmpCmPlayFile(spare, JoinPath(scratch, "short.mp3").c_str());
    rec.Listen(500);
    const double shortStart = static_cast<double>(NowMs());
    WAmpBtPlay(spare);
    ASSERT_TRUE(rec.Finish());

    const auto journal = JournalOfPlayerWith(JoinPath(scratch, "1000.mp3"));
    const auto start = std::find_if(journal.begin(), journal.end(), [](const PlayerJournalEntry& e) {
        return e.message == PlayerMessage::Command && e.code == WINAMP_BUTTON3 && e.state == 1;
    });
    ASSERT_NE(start, journal.end()) << "the incoming track never started";
    Levels<2> level(rec.Size() / kBlock);
    for (std::size_t b = 0; b < level.size(); ++b)
        for (int tone = 0; tone < 2; ++tone)
            level[b][tone] = rec.Level(kToneHz[tone], rec.Time(static_cast<double>(b * kBlock)), 10) / kFull;
    // Position in the mix of block b, for a sound that lags its command by lag.
    const auto mixMs = [&](std::size_t b, int lag) { return rec.Time(b * kBlock + kBlock / 2.0) - start->t - lag; };

    // Each tone from a second before the mix to a second after it, at the
    // lag of its own player that fits best (the recording's start is known
    // from above only, so the true lag is at most the one found): each
    // block's median against the prescribed levels within 30 ms of it, on
    // the scale of the outgoing tone's level before the mix. A fade-in that
    // starts late steps up from silence to where its volume already stands.
    std::size_t before = 5;
    while (before + 5 < level.size() && mixMs(before, 0) < -500)
        ++before;
    const double scale = Median(level, before, 0) / kLevel;
    double worst = 0;
    int lags[2] = {};  // ms
    for (int tone = 0; tone < 2; ++tone) {
        double fit = 1e9;
        for (int lag = -500; lag <= 500; lag += 5) {
            double dev = 0;
            for (std::size_t b = 5; b + 5 < level.size(); ++b)
                if (std::abs(mixMs(b, lag) - kMixMs / 2) < kMixMs / 2 + 1000) {
                    const auto [lo, hi] = std::minmax({Expected(tone, mixMs(b, lag) - 30), Expected(tone, mixMs(b, lag) + 30)});
                    dev = std::max({dev, scale * lo - Median(level, b, tone), Median(level, b, tone) - scale * hi});
                }
            lags[tone] = dev < fit ? lag : lags[tone];
            fit = std::min(fit, dev);
        }
        worst = std::max(worst, fit);
    }
    const int cutGap = LongestSilence(rec, cut, 600);
    const auto swept = JournalOf(sweepPlayer);
    double dipHeard = dip;
    while (dipHeard < dip + 1000 && rec.Loudness(dipHeard, 10) > 0.05)
        dipHeard += 1;
    const double afterStart = SweepOffset(rec, swept, cut, 0, dipHeard - dip);
    const double afterJump = SweepOffset(rec, swept, jump, kJumpTo, dipHeard - dip);
    int shortHeard = 0;
    for (double t = shortStart; t < shortStart + 2000; t += 10)
        shortHeard += rec.Level(kToneHz[2], t, 10) > kFull * kLevel / 2 ? 10 : 0;
    std::printf("sound: lag from command to sound %d and %d ms, largest deviation %.3f of full scale; gap at the cut %d ms; "
                "sweep position against sound %.0f ms after its start, %.0f ms after a jump; 1 s file heard %d ms\n",
                lags[0], lags[1], worst, cutGap, afterStart, afterJump, shortHeard);
    EXPECT_GT(scale, 0.5) << "silent? the players need the sound server of scripts/lib/env.sh start_sound";
    EXPECT_LE(worst, 0.05);
    EXPECT_LE(LongestSilence(rec, static_cast<double>(start->t) + lags[1], kMixMs), 50) << "a gap while the one hands over to the other";
    EXPECT_LE(cutGap, 30);
    EXPECT_LE(std::fabs(afterStart), 30);
    EXPECT_LE(std::fabs(afterJump), 30);
    EXPECT_GE(shortHeard, 970);
}

constexpr double kSilence = 0.001;   // -60 dBFS: an MP3's noise lies far below

struct Track {
    const char* name;
    int hz;
    const char* sox;  // after "synth"
};
// In playing order; D's near-silent tail is no place for a change either.
constexpr std::array<Track, 4> kTracks = {{
    {"A", 600, "8 sine 600 vol 0.5 pad 0 3"},           // 3 s of silence at its end
    {"B", 700, "8 sine 700 vol 0.5 pad 2 0"},           // 2 s of silence at its start
    {"D", 900, "12 sine 900 vol 0.5 fade q 0 12 8"},    // a slow fade-out
    {"C", 800, "8 sine 800 vol 0.125"},                 // 12 dB quieter than A
}};

// A track's loudness as the meter gates it: the mean power of its 100 ms
// stretches within 10 dB of the loudest level it held, in dB.
double GatedLevel(const Levels<4>& level, std::size_t t)
{
    std::vector<double> power(level.size() / 10);
    for (std::size_t i = 0; i < power.size() * 10; ++i)
        power[i / 10] += level[i][t] * level[i][t] / 2 / 10;
    const double gate = *std::max_element(power.begin(), power.end()) / 10;
    double sum = 0;
    int n = 0;
    for (const double p : power)
        if (p >= gate)
            sum += p, ++n;
    return 10 * std::log10(sum / n);
}

using LevellingTest = TandemTest;

TEST_F(LevellingTest, MeasuredTracksMixWithoutSilenceAtOneLoudness)
{
    std::string script;
    std::vector<std::string> files;
    for (const Track& t : kTracks) {
        script += std::string("sox -n -r 44100 -c 2 -b 16 ") + t.name + ".wav synth " + t.sox + " && lame --quiet -t -b 128 " +
                  "--id3v1-only --ta Tone --tt " + t.name + " " + t.name + ".wav " + t.name + ".mp3 && ";
        files.push_back(JoinPath(scratch, std::string(t.name) + ".mp3"));
    }
    ASSERT_TRUE(RunUnix(scratch, script + "true"));
    StoreLibrary(files);

    // Measured in the background once the library is open; levelling is on by default.
    ASSERT_NO_FATAL_FAILURE(StartTandem());
    EXPECT_EQ(CheckState(panel, CBLEVEL), BST_CHECKED);
    ASSERT_NO_FATAL_FAILURE(OpenTrackList());
    ASSERT_TRUE(WaitMeasured(static_cast<int>(kTracks.size()), "LUFS", 60000)) << "not measured: " << ListViewText(list, 0, 10);

    ASSERT_TRUE(Click(panel, CBFADE) && SetComboText(panel, CBOFADELEN, "1000"));
    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    ASSERT_TRUE(ListViewSelect(items, 0) && Click(pl, BTACTIVATE));
    ASSERT_EQ(WaitForText(Control(panel, EDNEXT), "Tone - A", kWindowTimeoutMs), "Tone - A");
    ASSERT_TRUE(Click(panel, BTPLAYNEXT));
    Recording rec;
    ASSERT_TRUE(rec.Start(scratch, "mix.raw", 40) && rec.Finish());
    // Each track's tone amplitude per 10 ms block, of full scale.
    Levels<4> level(rec.Size() / kBlock);
    for (std::size_t b = 0; b < level.size(); ++b)
        for (std::size_t t = 0; t < level[b].size(); ++t)
            level[b][t] = rec.Level(kTracks[t].hz, rec.Time(static_cast<double>(b * kBlock)), 10);

    // From the first sound to the last track at full level, no silence over
    // 100 ms where one track hands over to another. A silence with the same
    // track on both sides is the loaded sound server's dropout, not the mix's.
    const auto sounds = [&](std::size_t b) { return std::accumulate(level[b].begin(), level[b].end(), 0.0) > kSilence; };
    const auto dominant = [&](std::size_t b) { return std::max_element(level[b].begin(), level[b].end()) - level[b].begin(); };
    std::size_t from = 0, to = 0;
    while (from < level.size() && !sounds(from))
        ++from;
    double lastPeak = 0;
    for (const auto& l : level)
        lastPeak = std::max(lastPeak, l.back());
    while (to < level.size() && level[to].back() < lastPeak / 2)
        ++to;
    ASSERT_LT(from + 3, to) << "silent? the players need the sound server of scripts/lib/env.sh start_sound";
    std::size_t longest = 0;  // blocks
    for (std::size_t b = from + 3, end = b; b < to; b = end + 1) {
        for (end = b; end < to && !sounds(end);)
            ++end;
        if (end > b && dominant(b - 3) != dominant(end + 3))
            longest = std::max(longest, end - b);
    }
    EXPECT_LE(longest * 10, 100u) << "ms of silence at a change";

    std::array<double, 4> loud{};
    for (std::size_t t = 0; t < kTracks.size(); ++t)
        loud[t] = GatedLevel(level, t);
    const auto [quietest, loudest] = std::minmax_element(loud.begin(), loud.end());
    EXPECT_LE(*loudest - *quietest, 1.0) << "A " << loud[0] << ", B " << loud[1] << ", D " << loud[2] << ", C " << loud[3] << " dB";
}

// The short name the file system keeps for a file or folder.
std::string ShortName(const std::wstring& path)
{
    WIN32_FIND_DATAW found{};
    FindClose(FindFirstFileW(path.c_str(), &found));
    char name[14] = "";
    WideCharToMultiByte(CP_ACP, 0, found.cAlternateFileName, -1, name, sizeof name, nullptr, nullptr);
    return name;
}

using RealFilesTest = TandemTest;

// The VBR file: 230 frames of 1152 samples at 44100 Hz, 128 and 320 kbit/s
// by turns: 6008 ms, where the first frame's bit rate would make it 10.5 s.
TEST_F(RealFilesTest, NamesOutsideTheCodePageAndAVbrFile)
{
    ASSERT_EQ(GetACP(), 1252u) << "Wine takes the code page from the locale: LC_ALL=C.UTF-8 (scripts/lib/env.sh)";
    const std::wstring folder = Wide(music) + L"\\\u041c\u0443\u0437\u044b\u043a\u0430";
    const std::wstring track = folder + L"\\\u041f\u0435\u0441\u043d\u044f.mp3";
    ASSERT_TRUE(RunUnix(scratch, "sox -n -r 44100 -c 2 -b 16 t.wav synth 10 sine 600 vol 0.5"
                                 " && lame --quiet -t -b 128 --id3v1-only --ta Band --tt 'White Nights' t.wav t.mp3"));
    CreateDirectoryW(folder.c_str(), nullptr);  // left by an earlier run, which the track replaces
    ASSERT_TRUE(MoveFileExW(Wide(JoinPath(scratch, "t.mp3")).c_str(), track.c_str(), MOVEFILE_REPLACE_EXISTING));
    const std::string shortPath = MusicFile(ShortName(folder) + "\\" + ShortName(track));

    MP3GENOPTIONS vbr;
    vbr.lDurationMs = 6000, vbr.lVbrBitRate = 320, vbr.bXing = vbr.bId3v2 = true;
    vbr.cTitle = "Real Title", vbr.cArtist = "Encoder", vbr.iStyle = 8;
    ASSERT_TRUE(Mp3GenWrite(MusicFile("vbr.mp3").c_str(), vbr));
    WriteMusic({{"next.mp3", {"B", "Next"}}});
    ASSERT_NO_FATAL_FAILURE(StartTandem());
    ASSERT_NO_FATAL_FAILURE(OpenTrackList());
    ASSERT_NO_FATAL_FAILURE(AddFolder(folder, 1));
    const auto row = ListViewRow(list, 0, 10);
    EXPECT_EQ(row[1] + " in " + row[9], "White Nights in " + shortPath) << "the tag was read; the name kept is short";

    // Remind Me! plays it in the test player, which takes the short name.
    ASSERT_TRUE(ListViewSelect(list, 0) && Click(tl, BTPLAY));
    HWND player = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (player = PlayerWith(shortPath)) != nullptr; }, kWindowTimeoutMs));
    const auto position = [&] { return static_cast<int>(SendMessageA(player, WM_USER, 0, IPC_GETOUTPUTTIME)); };
    ASSERT_TRUE(WaitUntil([&] { return position() > 0; }, kWindowTimeoutMs)) << "the position holds until the file sounds";
    const int before = position();
    Sleep(1000);
    EXPECT_GT(position(), before + 500) << "the position advances";
    if (std::getenv("PULSE_SERVER") != nullptr) {
        Recording rec;
        ASSERT_TRUE(rec.Start(scratch, "playing.raw", 2) && rec.Finish());
        EXPECT_GT(rec.Level(600, rec.Time(0), 1000), 0.01) << "the tone is heard (levelled once measured)";
    }

    // A file as today's encoders write it: an ID3v2 tag before the audio, a
    // VBR stream timed by its Xing header and no ID3v1 tag.
    ASSERT_NO_FATAL_FAILURE(AddFiles({"vbr.mp3"}, 2));
    EXPECT_EQ(ListViewRow(list, 1, 6), (std::vector<std::string>{"Encoder", "Real Title", "", "", "", "Jazz"}));
    const HWND info = OpenTrackInfo(1);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(ControlText(info, STLENGTH), "Length: 0:06");
    EXPECT_EQ(ControlText(info, STFRAMES).rfind("Frames: 230  Size: ", 0), 0u) << ControlText(info, STFRAMES);
    ASSERT_TRUE(Click(info, IDCANCEL));
    ASSERT_NO_FATAL_FAILURE(AddFiles({"next.mp3"}, 3));

    // Into the empty playlist, all of them; a change without fade or duo starts at the item's end.
    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    SendCommand(pl, CMGETALL);
    ASSERT_TRUE(WaitRows(items, 3));
    ASSERT_TRUE(SetCheck(panel, CBFADE, false) && SetCheck(panel, CB2CHAN, false));
    ASSERT_EQ(ListViewText(items, 1, 0), "Encoder - Real Title");
    ASSERT_TRUE(ListViewSelect(items, 1) && Click(pl, BTACTIVATE) && Click(panel, BTPLAYNEXT));

    // Where the outgoing player stood when the incoming one left its pause.
    std::uint64_t startT = 0;
    ASSERT_TRUE(WaitUntil([&] {
        const auto incoming = JournalOfPlayerWith(MusicFile("next.mp3"));
        for (std::size_t i = 1; i < incoming.size() && startT == 0; ++i)
            startT = incoming[i].state == 1 && incoming[i - 1].state == 3 ? incoming[i].t : 0;
        return startT != 0;
    }, 30000, 100));
    std::int32_t posThen = -1;
    for (const auto& entry : JournalOfPlayerWith(MusicFile("vbr.mp3")))
        posThen = entry.t <= startT && entry.pos >= 0 ? entry.pos : posThen;
    EXPECT_TRUE(posThen >= 5800 && posThen <= 6400) << posThen;
}

}  // namespace
