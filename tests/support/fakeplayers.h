// Simulated players for the native tests: the substitute player's model
// behind a fake window of the class "WinAmp v1.x", on a virtual clock.
//
// A PlayerRig is a clean machine with the player installed: the open command
// of the player's file class is registered and WinExec of the command that
// WAmpRun makes from it starts a simulated player. Typical use:
//   fake::PlayerRig rig;          // nothing running, the registry empty
//   InitWAmpInstances();          // starts five players through WinExec
//   rig.Slot(0).Model().State();  // the player that registration 0 reaches
//   rig.Clock().Advance(1500);
#pragma once

#include "fakeos.h"
#include "playermodel.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fake {

// The open command the rig registers, and the command WAmpRun makes of it.
inline constexpr char kPlayerOpenCommand[] = "\"C:\\Program Files\\tplayer\\tplayer.exe\" \"%1\"";
inline constexpr char kPlayerCommand[] = "\"C:\\Program Files\\tplayer\\tplayer.exe\"";

// Milliseconds that only move when the test says so, or, after
// RunFaster(n), n times as fast as real time on top of that. Thread-safe.
class VirtualClock {
public:
    std::uint64_t Now() const;
    void Advance(std::uint64_t ms);
    // speed 0 stops the real-time part again (keeping the time reached).
    void RunFaster(double speed);

private:
    std::uint64_t NowLocked() const;

    mutable std::mutex mutex_;
    std::uint64_t base_ = 0;
    double speed_ = 0;
    std::int64_t realStart_ = 0;  // steady clock, ns
};

// Facts of the files the players are given: a table of lengths, and for
// other files their real MPEG header (files written with tools/mp3gen.h).
class TrackTable {
public:
    void SetLength(const std::string& file, std::uint32_t ms);
    PlayerTrackInfo Probe(const std::string& file) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::uint32_t> lengths_;
};

class SimPlayer {
public:
    SimPlayer(const VirtualClock& clock, const TrackTable& tracks, DWORD processId);
    ~SimPlayer();
    SimPlayer(const SimPlayer&) = delete;
    SimPlayer& operator=(const SimPlayer&) = delete;

    HWND Window() const { return window_; }
    DWORD ProcessId() const { return processId_; }
    PlayerModel& Model() { return model_; }

    // Every message the player handled, in order.
    std::vector<PlayerJournalEntry> Log() const;
    void ClearLog();
    // The user closes the player: the window stops answering.
    void Close();

private:
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

    PlayerModel model_;
    DWORD processId_;
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
    PlayerRig(const PlayerRig&) = delete;
    PlayerRig& operator=(const PlayerRig&) = delete;

    VirtualClock& Clock() { return clock_; }
    TrackTable& Tracks() { return tracks_; }
    void SetLength(const std::string& file, std::uint32_t ms) { tracks_.SetLength(file, ms); }

    // Starts one player now, as the user would.
    SimPlayer& Start();
    // Players in the order they started (by hand or by WinExec).
    int Count() const;
    SimPlayer& Player(int i);
    // The player whose window registration NO holds; null when none.
    SimPlayer* Slot(int NO);
    SimPlayer* ByWindow(HWND wnd);
    // How many players WinExec started.
    int Launches() const;

private:
    UINT Launch(const std::string& cmdLine);

    VirtualClock clock_;
    TrackTable tracks_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<SimPlayer>> players_;
    int launches_ = 0;
};

}  // namespace fake
