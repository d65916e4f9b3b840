// What a listener hears of an unattended mix of tracks as they come from
// real masters: silence at an end or a start, one track 12 dB quieter, a
// long fade-out. Each track is a tone of its own pitch, so the recording
// from the test run's null sink tells who sounds when, and how loud.
#include "sound.h"
#include "tandem.h"

#include "resource.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace {

using namespace e2e;

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

using Levels = std::vector<std::array<double, 4>>;

// A track's loudness as the meter gates it: the mean power of its 100 ms
// stretches within 10 dB of the loudest level it held, in dB.
double GatedLevel(const Levels& level, std::size_t t)
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

class LevellingTest : public TandemTest {};

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
    Levels level(rec.Size() / (Recording::kRate / 100));
    for (std::size_t b = 0; b < level.size(); ++b)
        for (std::size_t t = 0; t < level[b].size(); ++t)
            level[b][t] = rec.Level(kTracks[t].hz, rec.Time(b * Recording::kRate / 100.0), 10);

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

}  // namespace
