// Measuring speed of one worker: each file given is decoded through the
// platform's decoder alone, then decoded and measured, on this one thread.
// Prints per file the audio length, both times in times real time, and the
// results; at the end also the process's CPU time for the measuring runs
// (the decoder's own threads included), which a busy machine disturbs less.
// Usage: loudmeasure.exe FILE...
#include "loudness.h"
#include "platform.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace {

double Seconds(std::chrono::steady_clock::time_point Since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Since).count();
}

int Discard(const AUDIOFORMAT*, const float*, std::size_t, void*) { return 1; }

// User and kernel time of this process so far.
double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

}  // namespace

int main(int argc, char** argv)
{
    double audio = 0, decodeTime = 0, measureTime = 0, measureCpu = 0;
    for (int i = 1; i < argc; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        const int decoded = AudioDecode(argv[i], Discard, nullptr);
        const double decode = Seconds(t0);
        LOUDRESULT r{};
        t0 = std::chrono::steady_clock::now();
        const double cpu0 = CpuSeconds();
        const int measured = LoudMeasureFile(argv[i], &r, nullptr);
        const double measure = Seconds(t0), cpu = CpuSeconds() - cpu0;
        if (decoded != AUDIO_DONE || measured != AUDIO_DONE) {
            std::printf("%s: cannot be measured (%d, %d)\n", argv[i], decoded, measured);
            continue;
        }
        const double length = r.lLengthMs / 1000.0;
        std::printf("%s: %.1f s, decode %.0fx, decode+measure %.0fx real time; %.1f LUFS, peak %.3f, music %u..%u ms\n",
                    argv[i], length, length / decode, length / measure, r.dLoudness, r.dPeak, r.lStartMs, r.lEndMs);
        audio += length, decodeTime += decode, measureTime += measure, measureCpu += cpu;
    }
    if (measureTime > 0)
        std::printf("all: %.0f s of audio, decode %.0fx, decode+measure %.0fx real time (%.0fx per CPU second)\n",
                    audio, audio / decodeTime, audio / measureTime, audio / measureCpu);
    return 0;
}
