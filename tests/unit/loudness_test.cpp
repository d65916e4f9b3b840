#include "loudness.h"

#include "platform.h"
#ifndef _WIN32
#include "fakeos.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <future>
#include <limits>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kSilent = -200;  // digital zero

// A stretch of a 1 kHz sine whose peak goes from FromDb to ToDb dBFS
// (linearly in dB) over Seconds.
struct Part {
    double fromDb, toDb, seconds;
};

struct Signal {
    int rate = 48000, channels = 2;
    std::vector<Part> parts;
    std::vector<double> offsetDb;  // per channel, added to the part's level
    double noiseDb = kSilent;      // white noise underneath, RMS dBFS
};

std::vector<float> Render(const Signal& s)
{
    std::vector<double> gain(static_cast<std::size_t>(s.channels), 1.0);
    for (std::size_t c = 0; c < s.offsetDb.size(); ++c)
        gain[c] = std::pow(10, s.offsetDb[c] / 20);
    const double noise = std::pow(10, s.noiseDb / 20) * std::sqrt(3.0);  // uniform noise of that RMS
    std::uint32_t lcg = 1;
    std::vector<float> pcm;
    for (const Part& p : s.parts) {
        const auto count = static_cast<std::size_t>(std::llround(p.seconds * s.rate));
        for (std::size_t i = 0; i < count; ++i) {
            const double db = p.fromDb + (p.toDb - p.fromDb) * static_cast<double>(i) / static_cast<double>(count);
            const double sine = (db <= kSilent ? 0 : std::pow(10, db / 20)) *
                                std::sin(2 * std::numbers::pi * 1000 * static_cast<double>(pcm.size() / gain.size()) / s.rate);
            for (const double g : gain) {
                lcg = lcg * 1664525u + 1013904223u;
                pcm.push_back(static_cast<float>(g * sine + noise * (lcg / 2147483648.0 - 1)));
            }
        }
    }
    return pcm;
}

// Natively the whole path, through the decoding seam; on Windows the meter alone.
LOUDRESULT Measure(const Signal& s)
{
    const std::vector<float> pcm = Render(s);
    LOUDRESULT r{};
#ifdef _WIN32
    auto meter = std::make_unique<LOUDMETER>();
    EXPECT_EQ(LoudInit(meter.get(), s.rate, s.channels), 1);
    LoudAddFrames(meter.get(), pcm.data(), pcm.size() / static_cast<std::size_t>(s.channels));
    LoudFinish(meter.get(), &r);
#else
    fake::SetAudio("track.wav", {s.rate, s.channels}, pcm);
    EXPECT_EQ(LoudMeasureFile("track.wav", &r, nullptr), AUDIO_DONE);
#endif
    return r;
}

struct MeterCase {
    const char* name;
    Signal signal;
    double lufs = NAN;  // expected loudness, where a table gives it
};

class Meter : public ::testing::TestWithParam<MeterCase> {};

// Loudness within 0.1 LU of EBU Tech 3341's integrated cases made of sines
// (at their rate and at the other common ones) and the sample peak. The
// music lies where the sine's level reaches the threshold below the track's
// loudness (for a stereo 1 kHz sine the level in LUFS is its peak in dBFS):
// within 10 ms, from the signal's own description.
TEST_P(Meter, LoudnessPeakAndWhereTheMusicIs)
{
    const Signal& s = GetParam().signal;
    const LOUDRESULT r = Measure(s);
    const double lufs = GetParam().lufs;
    EXPECT_TRUE(std::isnan(lufs) || r.dLoudness == lufs || std::fabs(r.dLoudness - lufs) <= 0.1) << r.dLoudness;
    const double threshold = std::max(r.dLoudness + LOUD_MUSICREL, LOUD_MUSICFLOOR);
    double at = 0, first = -1, last = -1, peakDb = kSilent;
    for (const Part& p : s.parts) {  // a part's level is monotonic: it is above the threshold on one interval
        const bool from = p.fromDb >= threshold, to = p.toDb >= threshold;
        const double cross = from && to ? 0 : (threshold - p.fromDb) / (p.toDb - p.fromDb);
        if (from || to) {
            first = first < 0 ? at + p.seconds * (from ? 0 : cross) : first;
            last = at + p.seconds * (to ? 1 : cross);
        }
        at += p.seconds;
        for (const double offset : s.offsetDb.empty() ? std::vector<double>{0} : s.offsetDb)
            peakDb = std::max({peakDb, p.fromDb + offset, p.toDb + offset});
    }
    const double peak = std::pow(10, peakDb / 20);
    EXPECT_NEAR(r.dPeak, peak, 0.002 * peak + std::pow(10, s.noiseDb / 20) * std::sqrt(3.0));
    EXPECT_EQ(r.lLengthMs, static_cast<std::uint32_t>(std::lround(at * 1000)));
    EXPECT_EQ(r.bMusic, first >= 0 ? 1 : 0);
    EXPECT_NEAR(r.lStartMs, first >= 0 ? first * 1000 : 0, 10);
    EXPECT_NEAR(r.lEndMs, first >= 0 ? last * 1000 : at * 1000, 10);
}

Signal Stereo(int rate, std::vector<Part> parts) { return {rate, 2, std::move(parts), {}, kSilent}; }

INSTANTIATE_TEST_SUITE_P(
    Cases, Meter,
    ::testing::Values(
        MeterCase{"Tech3341Case1", Stereo(48000, {{-23, -23, 20}}), -23},
        MeterCase{"Tech3341Case2", Stereo(48000, {{-33, -33, 20}}), -33},
        MeterCase{"Tech3341Case3", Stereo(48000, {{-36, -36, 10}, {-23, -23, 60}, {-36, -36, 10}}), -23},
        MeterCase{"Tech3341Case4", Stereo(48000, {{-72, -72, 10}, {-36, -36, 10}, {-23, -23, 20}, {-36, -36, 10}, {-72, -72, 10}}), -23},
        MeterCase{"Tech3341Case5", Stereo(48000, {{-26, -26, 20}, {-20, -20, 20.1}, {-26, -26, 20}}), -23},
        MeterCase{"Tech3341Case6", {48000, 5, {{-28, -28, 20}}, {0, 0, 4, -2, -2}, kSilent}, -23},
        MeterCase{"Case1At8k", Stereo(8000, {{-23, -23, 20}}), -23},
        MeterCase{"Case4At192k", Stereo(192000, {{-72, -72, 10}, {-36, -36, 10}, {-23, -23, 20}, {-36, -36, 10}, {-72, -72, 10}}), -23},
        MeterCase{"Case6At96kWithLFE", {96000, 6, {{-28, -28, 20}}, {0, 0, 4, 0, -2, -2}, kSilent}, -23},
        MeterCase{"Case1MonoAt44k1", {44100, 1, {{-23, -23, 20}}, {}, kSilent}, -23 - 10 * std::log10(2.0)},
        MeterCase{"SilenceAround", Stereo(44100, {{kSilent, kSilent, 1.5}, {-20, -20, 5}, {kSilent, kSilent, 2}})},
        MeterCase{"NoiseFloor", {44100, 2, {{kSilent, kSilent, 1}, {-14, -14, 4}, {kSilent, kSilent, 3}}, {}, -65}},
        MeterCase{"QuietIntro", Stereo(48000, {{kSilent, kSilent, 0.5}, {-40, -40, 2}, {-15, -15, 4}, {kSilent, kSilent, 1}})},
        MeterCase{"FadeInAndOut", Stereo(22050, {{kSilent, kSilent, 0.25}, {-80, -18, 3}, {-18, -18, 4}, {-18, -78, 8}, {kSilent, kSilent, 1}})},
        MeterCase{"LoudThroughout", Stereo(11025, {{-10, -10, 63}})},
        MeterCase{"AtTheFloor", Stereo(192000, {{kSilent, kSilent, 1}, {-66, -66, 3}, {-56, -56, 1}})},
        MeterCase{"DigitalSilence", Stereo(96000, {{kSilent, kSilent, 2}}), -std::numeric_limits<double>::infinity()}),
    [](const auto& info) { return std::string(info.param.name); });

// Volume x 10^((target - loudness) / 20), up to 255.
TEST(LoudLevelVolume, ScalesTowardsTheTargetAndNeverBeyondFullVolume)
{
    struct Case { int volume; double loudness; int expected; };
    const Case cases[] = {
        {200, -18, 200},   {200, -12, 100}, {200, -24, 255}, {255, -40, 255},
        {100, -26.1, 254}, {0, -40, 0},     {200, -std::numeric_limits<double>::infinity(), 200},
        {200, NAN, 200},   {300, -18, 255}, {-5, -30, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoudLevelVolume(c.volume, c.loudness, -18), c.expected) << c.volume << " at " << c.loudness;
}

#ifndef _WIN32
// What the decoder cannot deliver, or the meter cannot take, is no
// measurement; a cancel stops between blocks, a hold waits there.
TEST(LoudMeasureFile, FailsOnWhatCannotBeMeasuredStopsWhenCancelledAndWaitsWhenHeld)
{
    LOUDRESULT r{};
    fake::SetAudio("empty.wav", {44100, 2}, {});
    fake::SetAudio("4kHz.wav", {4000, 1}, std::vector<float>(4000));
    fake::SetAudio("long.wav", {44100, 2}, std::vector<float>(44100 * 2 * 10));
    for (const char* path : {"missing.mp3", "empty.wav", "4kHz.wav"})
        EXPECT_EQ(LoudMeasureFile(path, &r, nullptr), AUDIO_CANNOTDECODE) << path;
    const std::atomic<int> cancel{1};
    EXPECT_EQ(LoudMeasureFile("long.wav", &r, &cancel), AUDIO_STOPPED);
    std::atomic<int> hold{1};
    auto held = std::async(std::launch::async, [&] { return LoudMeasureFile("long.wav", &r, nullptr, &hold); });
    EXPECT_EQ(held.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    hold = 0;
    EXPECT_EQ(held.get(), AUDIO_DONE);
}
#else
// The scratch folder as the host and as this program see it.
#define SCRATCH "Z:" LOUD_SCRATCH

// Runs a phase of tests/unit/loudfiles.sh on the host and waits for it.
bool RunLoudFiles(const std::string& phase)
{
    DeleteFileA(SCRATCH "/done");
    const std::string line = "/bin/sh -c \"sh " LOUD_SCRIPT " " + phase + " " LOUD_SCRATCH "; touch " LOUD_SCRATCH "/done\"";
    for (int wait = WinExec(line.c_str(), SW_HIDE) > 31 ? 1200 : 0; wait > 0 && !std::ifstream(SCRATCH "/done"); --wait)
        Sleep(100);
    return !!std::ifstream(SCRATCH "/done");
}

// Files as encoders write them (lame and ffmpeg, 128 kbit/s CBR and V0 VBR,
// FLAC, WAV), decoded by the system's media stack: loudness within 0.5 LU of
// ffmpeg's ebur128 filter, the music within 50 ms of its silencedetect at
// the meter's threshold. Not sound files: no measurement.
TEST(LoudMeasureFile, AgreesWithFfmpegOnEncodedFiles)
{
    CreateDirectoryA(SCRATCH, nullptr);
    ASSERT_TRUE(RunLoudFiles("make"));
    std::string file;
    if (std::getline(std::ifstream(SCRATCH "/skip.txt"), file))
        GTEST_SKIP() << "no cross-check: " << file;
    std::map<std::string, LOUDRESULT> measured;
    std::ifstream loud(SCRATCH "/loud.txt");
    std::ofstream thresholds(SCRATCH "/thresholds.txt");
    double lufs = 0, start = 0, end = 0;
    while (loud >> file >> lufs) {
        LOUDRESULT& r = measured[file];
        ASSERT_EQ(LoudMeasureFile((SCRATCH "/" + file).c_str(), &r, nullptr), AUDIO_DONE) << file;
        EXPECT_NEAR(r.dLoudness, lufs, 0.5) << file;
        thresholds << file << ' ' << std::max(r.dLoudness + LOUD_MUSICREL, LOUD_MUSICFLOOR) << '\n';
    }
    thresholds.close();
    ASSERT_EQ(measured.size(), 12u);
    ASSERT_TRUE(RunLoudFiles("silence"));
    std::ifstream silence(SCRATCH "/silence.txt");
    while (silence >> file >> start >> end) {
        EXPECT_NEAR(measured[file].lStartMs, start * 1000, 50) << file;
        EXPECT_NEAR(measured[file].lEndMs, end * 1000, 50) << file;
        measured.erase(file);
    }
    EXPECT_TRUE(measured.empty()) << "silencedetect gave no answer for " << measured.size() << " files";
    LOUDRESULT r{};
    for (const char* path : {SCRATCH "/loud.txt", SCRATCH "/missing.mp3"})
        EXPECT_EQ(LoudMeasureFile(path, &r, nullptr), AUDIO_CANNOTDECODE) << path;
}
#endif

}  // namespace
