// What a listener hears of an unattended mix of tracks as they come from
// real masters: silence at an end or a start, one track 12 dB quieter, a
// long fade-out. Each track is a tone of its own pitch, so the recording
// from the test run's null sink tells who sounds when, and how loud.
#include "tandem.h"

#include "fncomm.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnsong.h"
#include "fntl.h"
#include "resource.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <numbers>

namespace {

constexpr int kRate = 8000;          // the recording: mono, 16 bit
constexpr int kBlock = kRate / 100;  // 10 ms; every tone has whole cycles in it
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

// Each track's tone amplitude per 10 ms block (Goertzel), of full scale.
std::vector<std::array<double, kTracks.size()>> ReadLevels(const std::string& raw)
{
    std::ifstream in(raw, std::ios::binary | std::ios::ate);
    std::vector<std::int16_t> x(in ? static_cast<std::size_t>(in.tellg()) / 2 : 0);
    in.seekg(0).read(reinterpret_cast<char*>(x.data()), static_cast<std::streamsize>(x.size() * 2));
    std::vector<std::array<double, kTracks.size()>> level(x.size() / kBlock);
    for (std::size_t b = 0; b < level.size(); ++b)
        for (std::size_t t = 0; t < kTracks.size(); ++t) {
            const double c = 2 * std::cos(2 * std::numbers::pi * kTracks[t].hz / kRate);
            double s1 = 0, s2 = 0;
            for (int i = 0; i < kBlock; ++i)
                s2 = std::exchange(s1, x[b * kBlock + i] / 32768.0 + c * s1 - s2);
            level[b][t] = 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / kBlock;
        }
    return level;
}

// A track's loudness as the meter gates it: the mean power of its 100 ms
// stretches within 10 dB of the loudest level it held, in dB.
double GatedLevel(const std::vector<std::array<double, kTracks.size()>>& level, std::size_t t)
{
    std::vector<double> power;
    for (std::size_t b = 0; b + 10 <= level.size(); b += 10) {
        double sum = 0;
        for (std::size_t i = b; i < b + 10; ++i)
            sum += level[i][t] * level[i][t] / 2;
        power.push_back(sum / 10);
    }
    const double gate = *std::max_element(power.begin(), power.end()) / 10;
    double sum = 0;
    int n = 0;
    for (const double p : power)
        if (p >= gate)
            sum += p, ++n;
    return 10 * std::log10(sum / n);
}

class LevellingTest : public e2e::TandemTest {};

TEST_F(LevellingTest, MeasuredTracksMixWithoutSilenceAtOneLoudness)
{
    std::string script;
    for (const Track& t : kTracks)
        script += std::string("sox -n -r 44100 -c 2 -b 16 ") + t.name + ".wav synth " + t.sox + " && lame --quiet -t -b 128 " +
                  "--id3v1-only --ta Tone --tt " + t.name + " " + t.name + ".wav " + t.name + ".mp3 && ";
    ASSERT_TRUE(e2e::RunUnix(scratch, script + "true"));
    DB db{};
    DBInit(&db);
    for (const Track& t : kTracks) {
        SONG* song = SongCreate();
        ASSERT_EQ(ReadSongInfos(e2e::JoinPath(scratch, std::string(t.name) + ".mp3").c_str(), song, 1), RSI_TAG);
        TLAddSong(DBGetTL(&db), song);
        PLAddSong(DBGetCurrentPL(&db), song);
    }
    DBSetPath(&db, database.c_str());
    ASSERT_EQ(DBStore(&db), 1);
    DBFree(&db);

    // Measured in the background once the library is open; levelling is on by default.
    ASSERT_NO_FATAL_FAILURE(StartTandem());
    EXPECT_EQ(SendMessageA(e2e::Control(panel, CBLEVEL), BM_GETCHECK, 0, 0), BST_CHECKED);
    ASSERT_TRUE(e2e::Click(panel, BTTL));
    const HWND list = e2e::Control(WaitForShown("List of tracks"), LVTRACKLIST);
    ASSERT_NE(list, nullptr);
    const auto measured = [&] {
        for (int row = 0; row < static_cast<int>(kTracks.size()); ++row)
            if (e2e::ListViewText(list, row, 10).find("LUFS") == std::string::npos)
                return false;
        return true;
    };
    ASSERT_TRUE(e2e::WaitUntil(measured, 60000)) << "not measured: " << e2e::ListViewText(list, 0, 10);

    ASSERT_TRUE(e2e::Click(panel, CBFADE) && e2e::SetComboText(panel, CBOFADELEN, "1000") && e2e::Click(panel, BTPLAYLIST));
    const HWND pl = WaitForDialog([](HWND w) { return e2e::Control(w, LVPLAYLIST) != nullptr; });
    ASSERT_TRUE(pl != nullptr && e2e::ListViewSelect(e2e::Control(pl, LVPLAYLIST), 0) && e2e::Click(pl, BTACTIVATE));
    ASSERT_EQ(e2e::WaitForText(e2e::Control(panel, EDNEXT), "Tone - A", e2e::kWindowTimeoutMs), "Tone - A");
    ASSERT_TRUE(e2e::Click(panel, BTPLAYNEXT));
    ASSERT_TRUE(e2e::RunUnix(scratch, "timeout -s INT 40 parec -d tandem.monitor --rate=8000 --channels=1 "
                                      "--format=s16le --latency-msec=100 mix.raw"));
    const auto level = ReadLevels(e2e::JoinPath(scratch, "mix.raw"));

    // From the first sound to the last track at full level, no silence over
    // 100 ms where one track hands over to another. A silence with the same
    // track on both sides is the loaded sound server's dropout, not the mix's.
    const auto sounds = [&](std::size_t b) {
        double sum = 0;
        for (const double l : level[b])
            sum += l;
        return sum > kSilence;
    };
    const auto dominant = [&](std::size_t b) { return std::max_element(level[b].begin(), level[b].end()) - level[b].begin(); };
    std::size_t from = 0, to = 0;
    while (from < level.size() && !sounds(from))
        ++from;
    const double lastPeak = std::max_element(level.begin(), level.end(), [](const auto& a, const auto& b) {
                                return a.back() < b.back();
                            })->back();
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

    std::array<double, kTracks.size()> loud{};
    for (std::size_t t = 0; t < kTracks.size(); ++t)
        loud[t] = GatedLevel(level, t);
    const auto [quietest, loudest] = std::minmax_element(loud.begin(), loud.end());
    EXPECT_LE(*loudest - *quietest, 1.0) << "A " << loud[0] << ", B " << loud[1] << ", D " << loud[2] << ", C " << loud[3] << " dB";
}

}  // namespace
