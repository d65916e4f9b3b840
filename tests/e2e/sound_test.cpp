// What a listener hears of a mix: two tracks of pure tones, faded over with
// duo, recorded from the monitor of the test run's PulseAudio null sink
// (scripts/lib/env.sh start_sound). Each tone's level over time, measured
// with a Goertzel filter, must follow the prescribed fade-in, duo and
// fade-out, timed from the incoming track's start.
#include "tandem.h"

#include "fncomm.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnsong.h"
#include "fntl.h"
#include "resource.h"
#include "winamp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <numbers>
#include <cstdio>

namespace {

constexpr int kRate = 8000;              // the recording: mono, 16 bit
constexpr int kBlock = kRate / 100;      // 10 ms; both tones have whole cycles in it
constexpr int kToneHz[2] = {400, 1000};  // outgoing, incoming
constexpr double kLevel = 204 / 255.0;   // the players' default volume
constexpr int kFadeMs = 1500, kDuoMs = 1000;
constexpr double kMixMs = 2 * kFadeMs + kDuoMs;

using Levels = std::vector<std::array<double, 2>>;

// Each tone's amplitude per block (Goertzel), as a share of the tracks' 0.5
// of full scale.
Levels ReadLevels(const std::string& raw)
{
    std::ifstream in(raw, std::ios::binary | std::ios::ate);
    std::vector<std::int16_t> x(in ? static_cast<std::size_t>(in.tellg()) / 2 : 0);
    in.seekg(0).read(reinterpret_cast<char*>(x.data()), static_cast<std::streamsize>(x.size() * 2));
    Levels level(x.size() / kBlock);
    for (std::size_t b = 0; b < level.size(); ++b)
        for (int tone = 0; tone < 2; ++tone) {
            const double c = 2 * std::cos(2 * std::numbers::pi * kToneHz[tone] / kRate);
            double s1 = 0, s2 = 0;
            for (int i = 0; i < kBlock; ++i)
                s2 = std::exchange(s1, x[b * kBlock + i] / 32768.0 + c * s1 - s2);
            level[b][tone] = 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / kBlock / 0.5;
        }
    return level;
}

// The median of the eleven blocks around b (5 <= b < size - 5): a dropout
// of up to 50 ms is the gap test's business.
double Median(const Levels& level, std::size_t b, int tone)
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

class SoundTest : public e2e::TandemTest {};

TEST_F(SoundTest, IncomingToneRisesBothPlayTheDuoOutgoingFallsWithoutAGap)
{
    ASSERT_TRUE(e2e::RunUnix(scratch, "for hz in 400 1000; do sox -n -r 44100 -c 2 -b 16 $hz.wav synth 10 sine $hz vol 0.5"
                                 " && lame --quiet -t -b 128 --id3v1-only --ta Tone --tt $hz $hz.wav $hz.mp3; done"));
    DB db{};
    DBInit(&db);
    for (const int hz : kToneHz) {
        SONG* song = SongCreate();
        ASSERT_EQ(ReadSongInfos(e2e::JoinPath(scratch, std::to_string(hz) + ".mp3").c_str(), song, 1), RSI_TAG);
        TLAddSong(DBGetTL(&db), song);
        PLAddSong(DBGetCurrentPL(&db), song);
    }
    DBSetPath(&db, database.c_str());
    ASSERT_EQ(DBStore(&db), 1);
    DBFree(&db);

    ASSERT_NO_FATAL_FAILURE(StartTandem());
    ASSERT_TRUE(e2e::Click(panel, CBFADE) && e2e::Click(panel, CB2CHAN) && e2e::Click(panel, BTPLAYLIST));
    ASSERT_TRUE(e2e::SetComboText(panel, CBOFADELEN, std::to_string(kFadeMs)) &&
                e2e::SetComboText(panel, CBODUOLEN, std::to_string(kDuoMs)));
    const HWND pl = WaitForDialog([](HWND w) { return e2e::Control(w, LVPLAYLIST) != nullptr; });
    ASSERT_TRUE(pl != nullptr && e2e::ListViewSelect(e2e::Control(pl, LVPLAYLIST), 0) && e2e::Click(pl, BTACTIVATE));
    ASSERT_EQ(e2e::WaitForText(e2e::Control(panel, EDNEXT), "Tone - 400", e2e::kWindowTimeoutMs), "Tone - 400");

    ASSERT_TRUE(e2e::Click(panel, BTPLAYNEXT));
    // The mix begins 6 s after NEXT. The recording's first sample: each look
    // at its size bounds the moment from above.
    double t0 = 1e300;
    ASSERT_TRUE(e2e::RunUnix(scratch, "timeout -s INT 14 parec -d tandem.monitor --rate=8000 --channels=1 "
                                 "--format=s16le --latency-msec=100 mix.raw", [&] {
        std::ifstream file(e2e::JoinPath(scratch, "mix.raw"), std::ios::binary | std::ios::ate);
        if (file && file.tellg() > 0)
            t0 = std::min(t0, static_cast<double>(e2e::NowMs()) - static_cast<double>(file.tellg()) / 2 * 1000 / kRate);
    }));
    const auto journal = JournalOfPlayerWith(e2e::JoinPath(scratch, "1000.mp3"));
    const auto start = std::find_if(journal.begin(), journal.end(), [](const PlayerJournalEntry& e) {
        return e.message == PlayerMessage::Command && e.code == WINAMP_BUTTON3 && e.state == 1;
    });
    ASSERT_NE(start, journal.end()) << "the incoming track never started";
    const Levels level = ReadLevels(e2e::JoinPath(scratch, "mix.raw"));
    ASSERT_GT(level.size(), 500u);
    // Position in the mix of block b, for a sound that lags its command by lag.
    const auto mixMs = [&](std::size_t b, int lag) { return t0 + b * 10.0 + 5 - start->t - lag; };

    // From a second before the mix to a second after it, at the lag that
    // fits best (the recording's start is known from above only, so the
    // true lag is at most the one found): each block's median against the
    // prescribed levels within 50 ms of it.
    double worst = 1e9;
    int latency = 0;  // ms
    for (int lag = -500; lag <= 500; lag += 5) {
        double dev = 0;
        for (std::size_t b = 5; b + 5 < level.size(); ++b)
            for (int tone = 0; tone < 2 && std::abs(mixMs(b, lag) - kMixMs / 2) < kMixMs / 2 + 1000; ++tone) {
                const auto [lo, hi] = std::minmax({Expected(tone, mixMs(b, lag) - 50), Expected(tone, mixMs(b, lag) + 50)});
                dev = std::max({dev, lo - Median(level, b, tone), Median(level, b, tone) - hi});
            }
        latency = dev < worst ? lag : latency;
        worst = std::min(worst, dev);
    }
    std::printf("sound: lag from command to sound %d ms, largest deviation %.3f of full scale, recording from %.0f ms\n", latency, worst,
                t0 - static_cast<double>(start->t));
    EXPECT_LE(worst, 0.10) << "silent? the players need the sound server of scripts/lib/env.sh start_sound";
    EXPECT_LT(std::abs(latency), 500) << "no lag fits";

    // No silence longer than 50 ms while the one hands over to the other.
    int quiet = 0, longest = 0;  // ms
    for (std::size_t b = 0; b < level.size(); ++b)
        if (mixMs(b, latency) > 0 && mixMs(b, latency) < kMixMs)
            longest = std::max(longest, quiet = level[b][0] + level[b][1] < 0.05 ? quiet + 10 : 0);
    EXPECT_LE(longest, 50);
}

}  // namespace
