#include "loudness.h"

#include "platform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <numbers>

namespace {

constexpr double kAbsoluteGate = -70.0;
constexpr double kRelativeGate = -10.0;
constexpr double kBinLU = 0.02;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr int kHalfWindow = LOUD_WINDOWSUBS / 2;
// Keeps the filters' decaying state out of the subnormal range after a
// signal ends (-400 dB, far below anything measured).
constexpr double kAntiSubnormal = 1e-20;
constexpr unsigned kHoldPollMs = 20;  // how often a held measurement looks whether it may go on

double Lufs(double Energy)
{
    return Energy > 0 ? -0.691 + 10 * std::log10(Energy) : -std::numeric_limits<double>::infinity();
}

// The bin of a level; -1 below the absolute gate.
int BinOf(double Lufs)
{
    if (!(Lufs >= kAbsoluteGate))
        return -1;
    return std::min(LOUD_BINS - 1, static_cast<int>((Lufs - kAbsoluteGate) / kBinLU));
}

// The first bin of the levels at Threshold or above: a bin that Threshold
// cuts counts when most of it lies above.
int FirstBinAbove(double Threshold)
{
    return static_cast<int>(std::lround(std::clamp((Threshold - kAbsoluteGate) / kBinLU, 0.0, double{LOUD_BINS})));
}

// The two stages of the K-weighting worked out for the rate (the high shelf
// of the head and the RLB high pass), from their analogue prototypes.
void KWeighting(double Rate, LOUDBIQUAD* Shelf, LOUDBIQUAD* HighPass)
{
    const double gainDb = 3.999843853973347, shelfHz = 1681.974450955533, shelfQ = 0.7071752369554196;
    double k = std::tan(std::numbers::pi * shelfHz / Rate);
    const double vh = std::pow(10.0, gainDb / 20), vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1 + k / shelfQ + k * k;
    *Shelf = {(vh + vb * k / shelfQ + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / shelfQ + k * k) / a0,
              2 * (k * k - 1) / a0, (1 - k / shelfQ + k * k) / a0};
    const double passHz = 38.13547087602444, passQ = 0.5003270373238773;
    k = std::tan(std::numbers::pi * passHz / Rate);
    a0 = 1 + k / passQ + k * k;
    *HighPass = {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / passQ + k * k) / a0};
}

double Filter(const LOUDBIQUAD& F, double X, double* Z)
{
    const double y = F.b0 * X + Z[0];
    Z[0] = F.b1 * X - F.a1 * y + Z[1];
    Z[1] = F.b2 * X - F.a2 * y;
    return y;
}

// A 400 ms gating block ends with every 100 ms part after the fourth.
void EndQuarter(LOUDMETER* Meter)
{
    Meter->adQuarter[Meter->lQuarters % 4] = Meter->dQuarterSum / Meter->lQuarterLen;
    Meter->dQuarterSum = 0;
    Meter->lQuarterLeft = Meter->lQuarterLen;
    if (++Meter->lQuarters < 4)
        return;
    const double energy = (Meter->adQuarter[0] + Meter->adQuarter[1] + Meter->adQuarter[2] + Meter->adQuarter[3]) / 4;
    const int bin = BinOf(Lufs(energy));
    if (bin >= 0) {
        Meter->adBinEnergy[bin] += energy;
        ++Meter->alBinBlocks[bin];
    }
}

// A 5 ms part of Energy joins the ring; the one kHalfWindow before it now
// has its whole 400 ms around it and is rated by the lower of its own level
// and that window's.
void EndSub(LOUDMETER* Meter, double Energy)
{
    Meter->adSub[Meter->lSubs % LOUD_WINDOWSUBS] = Energy;
    const std::uint32_t sub = Meter->lSubs++ - kHalfWindow;
    if (Meter->lSubs <= kHalfWindow)
        return;
    double window = 0;
    for (const double e : Meter->adSub)
        window += e;
    const double own = Meter->adSub[sub % LOUD_WINDOWSUBS];
    const int bin = BinOf(Lufs(std::min(own, window / LOUD_WINDOWSUBS)));
    if (bin < 0)
        return;
    Meter->alFirstSub[bin] = std::min(Meter->alFirstSub[bin], sub);
    Meter->alLastSub[bin] = sub;
}

void AddRun(LOUDMETER* Meter, const float* Frames, std::uint32_t Count)
{
    const int channels = Meter->iChannels;
    double sum = 0;
    float peak = Meter->fPeak;
    for (std::uint32_t i = 0; i < Count; ++i, Frames += channels)
        for (int c = 0; c < channels; ++c) {
            // A damaged float file's NaN or infinity would poison the filters for good.
            const float x = std::isfinite(Frames[c]) ? Frames[c] : 0.0f;
            peak = std::max(peak, std::fabs(x));
            double* z = Meter->adState[c];
            const double y = Filter(Meter->HighPass, Filter(Meter->Shelf, x + kAntiSubnormal, z), z + 2);
            sum += Meter->adWeight[c] * y * y;
        }
    Meter->fPeak = peak;
    Meter->dQuarterSum += sum;
    Meter->dSubSum += sum;
    Meter->lQuarterLeft -= Count;
    Meter->lSubLeft -= Count;
    Meter->llFrames += Count;
    if (Meter->lQuarterLeft == 0)
        EndQuarter(Meter);
    if (Meter->lSubLeft == 0) {
        EndSub(Meter, Meter->dSubSum / Meter->lSubLen);
        Meter->dSubSum = 0;
        Meter->lSubLeft = Meter->lSubLen;
    }
}

// The mean energy of the blocks in the bins from First up; 0 when none.
double GatedEnergy(const LOUDMETER* Meter, int First)
{
    double energy = 0;
    std::uint64_t blocks = 0;
    for (int b = First; b < LOUD_BINS; ++b) {
        energy += Meter->adBinEnergy[b];
        blocks += Meter->alBinBlocks[b];
    }
    return blocks > 0 ? energy / static_cast<double>(blocks) : 0;
}

std::uint32_t FramesToMs(const LOUDMETER* Meter, std::uint64_t Frames)
{
    const std::uint64_t ms = (Frames * 1000 + static_cast<std::uint64_t>(Meter->lSampleRate) / 2) /
                             static_cast<std::uint64_t>(Meter->lSampleRate);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, 0xFFFFFFFFu));
}

// The first and last 5 ms moment rated at Threshold or above.
void FindMusic(const LOUDMETER* Meter, double Threshold, LOUDRESULT* Result)
{
    std::uint32_t first = kNone, last = 0;
    for (int b = FirstBinAbove(Threshold); b < LOUD_BINS; ++b)
        if (Meter->alFirstSub[b] != kNone) {
            first = std::min(first, Meter->alFirstSub[b]);
            last = std::max(last, Meter->alLastSub[b]);
        }
    Result->bMusic = first != kNone;
    Result->lStartMs = Result->bMusic ? FramesToMs(Meter, std::uint64_t{first} * Meter->lSubLen) : 0;
    Result->lEndMs = Result->bMusic
                         ? FramesToMs(Meter, std::min(Meter->llFrames, (std::uint64_t{last} + 1) * Meter->lSubLen))
                         : Result->lLengthMs;
}

struct FILEMEASURE {
    std::unique_ptr<LOUDMETER> Meter;
    AUDIOFORMAT Format;
    const std::atomic<int>* Cancel;
    const std::atomic<int>* Hold;
    bool Refused;
};

bool IsSet(const std::atomic<int>* Flag) { return Flag != nullptr && Flag->load(std::memory_order_relaxed) != 0; }

int MeasureSink(const AUDIOFORMAT* Format, const float* Frames, std::size_t FrameCount, void* Param)
{
    auto* m = static_cast<FILEMEASURE*>(Param);
    if (m->Format.iSampleRate == 0 && LoudInit(m->Meter.get(), Format->iSampleRate, Format->iChannels))
        m->Format = *Format;
    if (m->Format.iSampleRate != Format->iSampleRate || m->Format.iChannels != Format->iChannels) {
        m->Refused = true;
        return 0;
    }
    LoudAddFrames(m->Meter.get(), Frames, FrameCount);
    while (IsSet(m->Hold) && !IsSet(m->Cancel))
        Sleep(kHoldPollMs);
    return !IsSet(m->Cancel);
}

}  // namespace

int LoudInit(LOUDMETER* Meter, int SampleRate, int Channels)
{
    if (SampleRate < LOUD_MINRATE || SampleRate > LOUD_MAXRATE || Channels < 1 || Channels > LOUD_MAXCHANNELS)
        return 0;
    std::memset(Meter, 0, sizeof(*Meter));
    Meter->lSampleRate = SampleRate;
    Meter->iChannels = Channels;
    for (int c = 0; c < Channels; ++c)
        Meter->adWeight[c] = 1.0;
    if (Channels == 5)
        Meter->adWeight[3] = Meter->adWeight[4] = 1.41;
    if (Channels == 6)
        Meter->adWeight[3] = 0, Meter->adWeight[4] = Meter->adWeight[5] = 1.41;
    KWeighting(SampleRate, &Meter->Shelf, &Meter->HighPass);
    Meter->lQuarterLen = Meter->lQuarterLeft = static_cast<std::uint32_t>((SampleRate + 5) / 10);
    Meter->lSubLen = Meter->lSubLeft = static_cast<std::uint32_t>((SampleRate + 100) / 200);
    std::fill(std::begin(Meter->alFirstSub), std::end(Meter->alFirstSub), kNone);
    return 1;
}

void LoudAddFrames(LOUDMETER* Meter, const float* Frames, std::size_t FrameCount)
{
    while (FrameCount > 0) {
        const auto run = static_cast<std::uint32_t>(
            std::min<std::size_t>(FrameCount, std::min(Meter->lQuarterLeft, Meter->lSubLeft)));
        AddRun(Meter, Frames, run);
        Frames += std::size_t{run} * static_cast<std::size_t>(Meter->iChannels);
        FrameCount -= run;
    }
}

void LoudFinish(LOUDMETER* Meter, LOUDRESULT* Result)
{
    // The last 5 ms part as far as it goes, then silence past the end, so
    // the last moments get their windows too. A part-filled gating block
    // does not count.
    if (Meter->lSubLeft < Meter->lSubLen)
        EndSub(Meter, Meter->dSubSum / (Meter->lSubLen - Meter->lSubLeft));
    for (int i = 0; i < kHalfWindow; ++i)
        EndSub(Meter, 0);

    Result->llFrames = Meter->llFrames;
    Result->lLengthMs = FramesToMs(Meter, Meter->llFrames);
    Result->dPeak = Meter->fPeak;
    const double ungated = Lufs(GatedEnergy(Meter, 0));
    Result->dLoudness = Lufs(GatedEnergy(Meter, FirstBinAbove(ungated + kRelativeGate)));
    FindMusic(Meter, std::max(Result->dLoudness + LOUD_MUSICREL, LOUD_MUSICFLOOR), Result);
}

int LoudMeasureFile(const char* Path, LOUDRESULT* Result, const std::atomic<int>* Cancel, const std::atomic<int>* Hold)
{
    FILEMEASURE m{std::unique_ptr<LOUDMETER>(new (std::nothrow) LOUDMETER), {0, 0}, Cancel, Hold, false};
    if (!m.Meter)
        return AUDIO_NODECODER;
    const int rc = AudioDecode(Path, MeasureSink, &m);
    if (rc != AUDIO_DONE)
        return m.Refused ? AUDIO_CANNOTDECODE : rc;
    if (m.Format.iSampleRate == 0 || m.Meter->llFrames == 0)
        return AUDIO_CANNOTDECODE;
    LoudFinish(m.Meter.get(), Result);
    return AUDIO_DONE;
}

int LoudLevelVolume(int Volume, double Loudness, double Target)
{
    Volume = std::clamp(Volume, 0, 255);
    if (!std::isfinite(Target - Loudness) || Volume == 0)
        return Volume;
    const double level = Volume * std::pow(10.0, (Target - Loudness) / 20);
    return level >= 255 ? 255 : static_cast<int>(std::lround(level));
}
