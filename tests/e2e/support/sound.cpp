#include "sound.h"

#include "e2e.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

namespace e2e {

std::string ToneScript(const std::string& name, double hz, int ms)
{
    const std::string pitch = hz > 0 ? std::to_string(hz)
                                     : std::to_string(kSweepHz) + ":" + std::to_string(kSweepHz + kSweepHzPerS * ms / 1000);
    return "sox -n -r 44100 -c 2 -b 16 " + name + ".wav synth " + std::to_string(ms / 1000.0) + " sine " + pitch +
           " vol 0.5 && lame --quiet -b 128 --id3v1-only --ta Tone --tt " + name + " " + name + ".wav " + name + ".mp3";
}

bool Recording::Start(const std::string& folder, const std::string& name, int seconds)
{
    folder_ = folder;
    file_ = JoinPath(folder, name);
    seconds_ = seconds;
    return StartUnix(folder, "timeout -s INT " + std::to_string(seconds) + " parec -d tandem.monitor --rate=" +
                                 std::to_string(kRate) + " --channels=1 --format=s16le --latency-msec=20 " + name);
}

void Recording::Listen(int ms)
{
    const std::uint64_t end = NowMs() + static_cast<std::uint64_t>(ms);
    do {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(file_.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 0)
            t0_ = std::min(t0_, static_cast<double>(NowMs()) - data.nFileSizeLow / 2 * 1000.0 / kRate);
        Sleep(2);
    } while (NowMs() < end);
}

bool Recording::Finish()
{
    if (!WaitUntil([this] { return Listen(0), UnixDone(folder_); }, (seconds_ + 30) * 1000, 5))
        return false;
    std::ifstream in(file_, std::ios::binary | std::ios::ate);
    samples_.resize(in ? static_cast<std::size_t>(in.tellg()) / 2 : 0);
    in.seekg(0).read(reinterpret_cast<char*>(samples_.data()), static_cast<std::streamsize>(samples_.size() * 2));
    return !samples_.empty();
}

std::pair<std::size_t, std::size_t> Recording::Span(double at, double ms) const
{
    const auto i = static_cast<std::size_t>(std::clamp((at - t0_) * kRate / 1000, 0.0, static_cast<double>(samples_.size())));
    return {i, std::min(samples_.size(), i + static_cast<std::size_t>(ms * kRate / 1000))};
}

double Recording::Level(double hz, double at, double ms) const
{
    const auto [from, to] = Span(at, ms);
    const double c = 2 * std::cos(2 * std::numbers::pi * hz / kRate);
    double s1 = 0, s2 = 0;
    for (std::size_t i = from; i < to; ++i)
        s2 = std::exchange(s1, samples_[i] / 32768.0 + c * s1 - s2);
    return 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / (ms * kRate / 1000);
}

double Recording::Pitch(double at, double ms) const
{
    const auto [from, to] = Span(at, ms);
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        if (samples_[i - 1] < 0 && samples_[i] >= 0) {
            last = static_cast<double>(i - 1) + samples_[i - 1] / static_cast<double>(samples_[i - 1] - samples_[i]);
            first = crossings++ == 0 ? last : first;
        }
    return crossings < 4 ? 0 : (crossings - 1) * kRate / (last - first);
}

double Recording::Loudness(double at, double ms) const
{
    const auto [from, to] = Span(at, ms);
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += samples_[i] / 32768.0 * (samples_[i] / 32768.0);
    return std::sqrt(sum / (ms * kRate / 1000));
}

}  // namespace e2e
