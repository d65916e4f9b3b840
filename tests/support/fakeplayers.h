// Simulated players for the native tests: the substitute player's model
// behind a fake window of the class "WinAmp v1.x", on a virtual clock.
//
// A PlayerRig is a clean machine with the player installed: the open command
// of the player's file class is registered and CreateProcessA of the command
// that WAmpRun makes from it starts a simulated player. GetTickCount and
// Sleep follow the rig's clock. Typical use:
//   fake::PlayerRig rig;          // nothing running, the registry empty
//   InitWAmpInstances();          // starts five players through CreateProcessA
//   rig.Slot(0)->Model().State(); // the player that registration 0 reaches
//   rig.Clock().Advance(1500);
#pragma once

#include "fakeos.h"
#include "playermodel.h"

#include <map>
#include <memory>

namespace fake {

// Milliseconds that only move when the test says so, or, after
// RunFaster(n), n times as fast as real time on top of that. Thread-safe.
class VirtualClock {
public:
    std::uint64_t Now() const { std::lock_guard lock(mutex_); return NowLocked(); }
    void Advance(std::uint64_t ms) { std::lock_guard lock(mutex_); base_ += ms; }
    // speed 0 stops the real-time part again (keeping the time reached).
    void RunFaster(double speed);
    // Sleeps ms of this clock's time (real time while it does not run).
    void Sleep(std::uint32_t ms) const;

private:
    std::uint64_t NowLocked() const;

    mutable std::mutex mutex_;
    std::uint64_t base_ = 0;
    double speed_ = 0;
    std::int64_t realStart_ = 0;  // steady clock, ns
};

class SimPlayer {
public:
    SimPlayer(const VirtualClock& clock, PlayerModel::Probe probe, DWORD processId);
    ~SimPlayer() { Close(); }

    HWND Window() const { return window_; }
    PlayerModel& Model() { return model_; }
    // Every message the player handled, in order.
    std::vector<PlayerJournalEntry> Log() const { std::lock_guard lock(mutex_); return log_; }
    void ClearLog() { std::lock_guard lock(mutex_); log_.clear(); }
    // The user closes the player, or it crashes: the window stops answering.
    void Close() { DestroyWindow(window_); }
    // The player hangs (or answers again): commands wait out their time.
    void Hang(bool hung) { HangWindow(window_, hung); }

private:
    PlayerModel model_;
    mutable std::mutex mutex_;
    std::vector<PlayerJournalEntry> log_;
    HWND window_ = nullptr;
};

class PlayerRig {
public:
    // A clean machine (fake::Reset, empty player registry) with `running`
    // players already running and, when `installed`, the open command
    // registered and the launcher in place. The destructor closes its
    // players and resets the machine again; no fake::Reset while it lives.
    explicit PlayerRig(int running = 0, bool installed = true);
    ~PlayerRig();

    VirtualClock& Clock() { return clock_; }
    // The length the players find in a file; other files are read as MP3.
    void SetLength(const std::string& file, std::uint32_t ms) { std::lock_guard lock(lengthsMutex_); lengths_[file] = ms; }

    // Starts one player now, as the user would.
    SimPlayer& Start();
    // Players in the order they started (by hand or by CreateProcessA).
    int Count() const { std::lock_guard lock(mutex_); return static_cast<int>(players_.size()); }
    SimPlayer& Player(int i) { std::lock_guard lock(mutex_); return *players_.at(static_cast<std::size_t>(i)); }
    // The player whose window registration NO holds; null when none.
    SimPlayer* Slot(int NO);
    // How many players CreateProcessA started.
    int Launches() const { std::lock_guard lock(mutex_); return launches_; }

private:
    DWORD Launch(const std::string& cmdLine);
    PlayerTrackInfo Probe(const std::string& file) const;

    VirtualClock clock_;
    mutable std::mutex mutex_;
    mutable std::mutex lengthsMutex_;  // apart: a player asks for lengths while the rig starts another
    std::map<std::string, std::uint32_t> lengths_;
    std::vector<std::unique_ptr<SimPlayer>> players_;
    int launches_ = 0;
};

}  // namespace fake
