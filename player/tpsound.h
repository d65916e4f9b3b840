// tplayer's sound: the platform's DirectShow graph plays the entry that the
// player model says, where and how loud it says.
//
// DirectShow rather than MCI because under Wine's media stack it does all
// the player needs: IMediaSeeking moves a paused graph (MCI "seek" errs while
// paused), IBasicAudio sets volume and balance, IMediaEvent reports the end.
//
// A worker thread owns the graph: building one takes a few hundred ms, which
// would hold up the synchronous player commands. It catches up with the
// latest target only, so Tandem's load sequence (play, pause, jump) costs
// one build. Until it has caught up, and for a file it cannot play, the
// model's own clock answers the position.
#pragma once

#include "playermodel.h"

#include <condition_variable>
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

    // Starts the worker; false (and Silence() says why) without a sound device.
    bool Start();
    void Follow(const PlayerTarget& target) override;
    std::int64_t Position(std::uint32_t moves) override;
    // Empty while the sound plays; else why the player is silent.
    std::string Silence();

private:
    struct Graph;

    void Work();
    void Open(Graph& graph, const std::string& file);
    void Apply(Graph& graph, const PlayerTarget& want);
    void Watch(Graph& graph);

    Clock clock_;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool quit_ = false;
    bool fresh_ = false;
    PlayerTarget target_;
    std::string silence_;
    // The media clock, as the worker last read it.
    bool open_ = false;
    std::uint32_t appliedMoves_ = 0;
    bool running_ = false;
    bool ended_ = false;
    std::int64_t mediaPos_ = 0;
    std::uint64_t mediaTime_ = 0;
    std::int64_t lastAnswer_ = 0;
};
