// What a listener hears of Tandem, recorded from the monitor of the test
// run's PulseAudio null sink (scripts/lib/env.sh start_sound): two pure
// tones faded over with duo, each tone's level (Goertzel) following the
// prescribed fade-in, duo and fade-out, timed from the incoming track's
// start; then a hard cut into a pitch sweep, whose pitch tells which point
// of the track sounds, against the positions the player answers after its
// start and after a jump; and a 1 s file on another player, heard whole.
#include "sound.h"
#include "tandem.h"

#include "resource.h"
#include "winamp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

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

using Levels = std::vector<std::array<double, 2>>;

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

class SoundTest : public TandemTest {};

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
    for (const HWND window : TopLevelWindows(WAMP_WINDOWCLASS)) {
        const auto loads = ReadJournal(JournalFile(scratch, WindowProcess(window)));
        const bool loaded = std::any_of(loads.begin(), loads.end(), [](const auto& e) { return e.code == IPC_PLAYFILE; });
        sparePlayer = loaded ? sparePlayer : window;
    }
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
    Levels level(rec.Size() / kBlock);
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
    const auto swept = ReadJournal(JournalFile(scratch, WindowProcess(sweepPlayer)));
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

}  // namespace
