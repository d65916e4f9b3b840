// tplayer's sound: the platform's DirectShow graph plays the entry that the
// player model says, where and how loud it says, and tells the model the
// position it sounds.
//
// DirectShow rather than MCI because under Wine's media stack it does all
// the player needs: IMediaSeeking moves a paused graph (MCI "seek" errs while
// paused), IBasicAudio sets volume and balance, IMediaEvent reports the end.
//
// Timing. A graph's own Run starts presenting 200 ms after the call under
// Wine while its position counts from the call. So the graph runs at a
// presentation time of its reference clock chosen here (IMediaFilter::Run):
// a few tens of milliseconds ahead where the renderer has to take in its
// first sample, at once where it resumes the sound it holds from a pause.
// The position answered is that stream time; volume commands meet the sound
// on the same path, so fades keep their place. Each load has a renderer, and
// so a sound device, of its own: a device kept across loads keeps the
// latency its stream first got, which under Wine can lie 100 ms beyond the
// other players'. A new device starts late at its first run, so each load
// runs it once, silently, before any start counts.
//
// A worker thread owns the graphs: building one takes a few hundred ms,
// which would hold up the synchronous player commands. It waits on the
// graph's event handle and on the commands together, and catches up with
// the latest target only, so Tandem's load sequence (play, pause, jump)
// costs one build. The sound device is first looked for at a load, never at
// start, and again at each load while none was found: a player started
// before the sound server then plays once the server is up (Wine settles
// its device list at the first look).
#pragma once

#include "playermodel.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// DirectShow's volume and balance, in hundredths of a decibel, for the
// player's volume 0..255 (amplitude proportional, 0 silent) and panning
// -128..127 (the far channel falls to silence at either end).
long SoundVolumeCentiBel(int Volume);
long SoundBalanceCentiBel(int Panning);

class SoundOutput final : public PlayerOutput {
public:
    using Clock = std::function<std::uint64_t()>;

    explicit SoundOutput(Clock clock);
    ~SoundOutput() override;
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Starts the worker; false when the system gives no thread or event.
    bool Start();
    void Follow(const PlayerTarget& target) override;
    PlayerHeard Heard(std::uint32_t moves) override;
    // Empty while the sound plays or nothing is loaded; else why the player
    // is silent ("file not found", "cannot play this file", ...).
    std::string Silence();

private:
    struct Graph;

    void Work();
    void Catch(Graph& graph, const PlayerTarget& want);
    void Open(Graph& graph, const PlayerTarget& want);
    void Apply(Graph& graph, const PlayerTarget& want);
    void Events(Graph& graph);
    std::uint32_t WaitMs(const Graph& graph);
    void Report(const PlayerTarget& want, bool sounding, bool running, std::int64_t pos, std::uint64_t at);
    void Unheard(const PlayerTarget& want);
    void Fail(Graph& graph, const std::string& why);

    Clock clock_;
    std::thread worker_;
    void* wake_ = nullptr;  // auto-reset event: a new target or the end
    std::mutex mutex_;
    bool quit_ = false;
    PlayerTarget target_;
    // What the worker reports for the target of appliedMoves_.
    std::uint32_t appliedMoves_ = 0;
    bool caughtUp_ = false;
    bool sounding_ = false;
    bool running_ = false;
    bool ended_ = false;
    std::int64_t anchorPos_ = 0;     // the position that sounds at anchorTime_ (held before it)
    std::uint64_t anchorTime_ = 0;
    std::uint32_t length_ = 0;
    std::string silence_;
};
