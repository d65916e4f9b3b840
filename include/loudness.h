// Measuring a track in one pass over its decoded PCM: its integrated
// loudness (ITU-R BS.1770-4 / EBU R128: K-weighting, 400 ms blocks every
// 100 ms, absolute gate -70 LUFS, relative gate -10 LU), its sample peak,
// and where its music starts and ends.
//
// The music is where the level rises above LOUD_MUSICREL below the track's
// loudness, and above LOUD_MUSICFLOOR: a moment counts when both its 5 ms
// and the 400 ms around it reach that level, so leading and trailing
// silence, noise floors and the quiet end of a fade-out are left out, and a
// faint click or crackle in the silence does not start the music on its own.
//
// The meter is one record of fixed size (about 80 KB: allocate it, do not
// put it on a small stack); it keeps no PCM, so an hour costs what a
// second does, and it allocates nothing.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int LOUD_MAXCHANNELS = 8;
constexpr int LOUD_MINRATE = 8000;
constexpr int LOUD_MAXRATE = 192000;

constexpr double LOUD_MUSICREL = -30.0;    // LU below the integrated loudness
constexpr double LOUD_MUSICFLOOR = -60.0;  // LUFS
// The level the player volume is scaled to by default (the ReplayGain 2.0
// reference): most tracks are louder, so levelling mostly turns down.
constexpr double LOUD_TARGET = -18.0;

// Levels from -70 LUFS upwards in bins of 0.02 LU (louder ones in the top bin).
constexpr int LOUD_BINS = 4000;
constexpr int LOUD_WINDOWSUBS = 81;  // 400 ms around a 5 ms moment

struct LOUDBIQUAD {
    double b0, b1, b2, a1, a2;
};

struct LOUDMETER {
    std::int32_t lSampleRate;
    std::int32_t iChannels;
    double adWeight[LOUD_MAXCHANNELS];
    LOUDBIQUAD Shelf, HighPass;                // the K-weighting at this rate
    double adState[LOUD_MAXCHANNELS][4];       // both stages' state per channel
    std::uint32_t lQuarterLen, lSubLen;        // samples in 100 ms and in 5 ms
    std::uint32_t lQuarterLeft, lSubLeft;      // samples still missing in the current one
    double dQuarterSum, dSubSum;               // weighted squares so far
    double adQuarter[4];                       // the last four 100 ms energies
    std::uint32_t lQuarters;                   // 100 ms parts completed
    double adSub[LOUD_WINDOWSUBS];             // 5 ms energies, a ring
    std::uint32_t lSubs;                       // 5 ms parts completed
    std::uint64_t llFrames;
    float fPeak;
    // Per level bin: the energy and number of gating blocks, and the first
    // and last 5 ms moment at that level.
    double adBinEnergy[LOUD_BINS];
    std::uint32_t alBinBlocks[LOUD_BINS];
    std::uint32_t alFirstSub[LOUD_BINS];
    std::uint32_t alLastSub[LOUD_BINS];
};

struct LOUDRESULT {
    double dLoudness;  // LUFS; -infinity when no block passed the absolute gate
    double dPeak;      // largest sample magnitude, 1.0 = full scale
    std::uint64_t llFrames;
    std::uint32_t lLengthMs;
    // The music, in ms from the first frame; the whole track when nothing
    // reached the threshold.
    std::uint32_t lStartMs;
    std::uint32_t lEndMs;
    std::int32_t bMusic;  // 1 when the music was found
};

// Prepares Meter for a track of this format; 0 (Meter untouched) when the
// rate is outside LOUD_MINRATE..LOUD_MAXRATE or the channels outside
// 1..LOUD_MAXCHANNELS. Channel weights follow the usual orders: 5 channels
// L R C Ls Rs, 6 channels L R C LFE Ls Rs (the LFE does not count).
int LoudInit(LOUDMETER* Meter, int SampleRate, int Channels);
// Measures FrameCount interleaved frames of the initialised format.
void LoudAddFrames(LOUDMETER* Meter, const float* Frames, std::size_t FrameCount);
// Ends the track and fills Result; the meter then takes no more frames.
void LoudFinish(LOUDMETER* Meter, LOUDRESULT* Result);

// Decodes the file through AudioDecode and measures it: AUDIO_DONE with
// Result filled, or AudioDecode's failure (no frames at all, a format the
// meter refuses, or one that changes within the file, is
// AUDIO_CANNOTDECODE; memory too short for the meter is AUDIO_NODECODER).
// Cancel, when not null, is looked at between blocks of frames; non-zero
// stops with AUDIO_STOPPED. While Hold, when not null, is non-zero the
// measurement waits between blocks (and the decoder with it).
int LoudMeasureFile(const char* Path, LOUDRESULT* Result, const std::atomic<int>* Cancel,
                    const std::atomic<int>* Hold = nullptr);

// The player volume (0..255) that plays a track of Loudness LUFS at Target:
// Volume x 10^((Target - Loudness) / 20), rounded, never above 255. A track
// too quiet to reach the target plays at 255; volume 0 stays 0; a silent
// track (-infinity: nothing above the gate, so nothing to level but noise)
// or a NaN loudness (not measured) or target leaves Volume.
int LoudLevelVolume(int Volume, double Loudness, double Target);
