// Listening to the players: test tones and pitch sweeps made with sox and
// lame, and a recording of the test run's PulseAudio null sink
// (scripts/lib/env.sh start_sound) on the players' clock, from which the
// tones' levels and a sweep's position are read.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// A shell command that writes NAME.mp3 (CBR 128 kbit/s, its ID3v1 tag artist
// "Tone" and title NAME, a LAME header that times it exactly): a pure tone
// of hz, or with hz 0 a sweep whose pitch rises linearly with the position
// (kSweepHz at the start, kSweepHzPerS faster each second), so that the
// pitch heard tells which point of the track sounds.
inline constexpr double kSweepHz = 300, kSweepHzPerS = 200;
std::string ToneScript(const std::string& name, double hz, int ms);
// The sweep's position (ms) at a pitch.
inline double SweepPos(double hz) { return (hz - kSweepHz) * 1000 / kSweepHzPerS; }

class Recording {
public:
    static constexpr int kRate = 8000;  // mono, 16 bit

    // Starts recording the monitor into folder\name for seconds.
    bool Start(const std::string& folder, const std::string& name, int seconds);
    // Waits ms; meanwhile each look at the recording's size bounds the time
    // of its first sample from above.
    void Listen(int ms);
    // Waits for the recorder to end and reads what it recorded.
    bool Finish();

    std::size_t Size() const { return samples_.size(); }
    // The clock time (e2e::NowMs) of sample i: the recording's start is known
    // from above only, so sounds seem to come that much later than they do.
    double Time(double i) const { return t0_ + i * 1000 / kRate; }
    // Over ms from the clock time at: a tone's amplitude (Goertzel), of full
    // scale; the mean pitch by the rising zero crossings (0 for too few); the
    // square mean's root, of full scale.
    double Level(double hz, double at, double ms) const;
    double Pitch(double at, double ms) const;
    double Loudness(double at, double ms) const;

private:
    // The samples over ms from the clock time at, within the recording.
    std::pair<std::size_t, std::size_t> Span(double at, double ms) const;

    std::string folder_, file_;
    int seconds_ = 0;
    double t0_ = 1e300;
    std::vector<std::int16_t> samples_;
};

}  // namespace e2e
