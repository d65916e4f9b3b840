// A running Tandem core without windows, for the mixer tests: five simulated
// players on a virtual clock, the recording panel as the mixer's
// destination, an empty database with the playlist "default", and the
// mixer defaults. Passes of the two worker loops are run by hand.
#pragma once

#include "fakeplayers.h"
#include "panelsink.h"

#include <cstdint>
#include <memory>
#include <string>

struct PLI;
struct SONG;

namespace fake {

class MixRig {
public:
    MixRig();
    ~MixRig();
    MixRig(const MixRig&) = delete;
    MixRig& operator=(const MixRig&) = delete;

    PlayerRig players;
    std::unique_ptr<PanelSink> panel;

    HWND Panel() const { return panel->hwnd(); }
    PlayerModel& Player(int slot) { return players.Slot(slot)->Model(); }
    VirtualClock& Clock() { return players.Clock(); }

    // A track of the track list whose file exists, with main part Start..End
    // (End 0: the whole length).
    SONG* AddSong(const std::string& name, std::uint32_t length, std::uint32_t start = 0, std::uint32_t end = 0);
    // An item of the current playlist for a new song.
    PLI* AddItem(const std::string& name, std::uint32_t length, std::uint32_t start = 0, std::uint32_t end = 0);
    std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }

    // One pass of each worker loop: the status display, then the mixer.
    void Pass();
    // Advances the clock by Step and runs a pass, Ms / Step times.
    void Run(std::uint32_t Ms, std::uint32_t Step = 10);
    // Runs passes until the slot's player reaches Pos (at most Limit ms).
    void RunUntilPos(int Slot, std::int32_t Pos, std::uint32_t Step = 100, std::uint32_t Limit = 600000);

    // Queues First and cuts to it at once, with fade and duo off: First plays
    // in slot 1, the next item of the playlist waits in slot 0.
    void StartWith(PLI* First);

private:
    std::string dir_;
};

}  // namespace fake
