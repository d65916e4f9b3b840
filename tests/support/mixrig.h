// A running Tandem core without windows, for the mixer tests: five simulated
// players on a virtual clock, the recording panel as the mixer's
// destination, an empty database with the playlist "default", and the
// mixer defaults. Passes of the two worker loops are run by hand.
#pragma once

#include "fakeplayers.h"
#include "fndb.h"
#include "fnmain.h"
#include "fnpl.h"
#include "fnthr.h"
#include "winamp.h"

namespace fake {

// A recording stand-in for the control panel: the mixer's destination window
// and the live fields the status display writes. It applies what the real
// panel must apply (reported volumes, changes handed over by the mixer
// thread) and records every notification and every call of the dialog hooks.
class PanelSink {
public:
    struct Message {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };

    PanelSink();
    ~PanelSink();

    HWND hwnd() const { return hwnd_; }
    std::vector<Message> Messages() const { std::lock_guard lock(mutex_); return messages_; }
    std::vector<Message> MessagesOf(UINT msg) const
    {
        std::vector<Message> found = Messages();
        std::erase_if(found, [msg](const Message& m) { return m.msg != msg; });
        return found;
    }
    void ClearMessages() { std::lock_guard lock(mutex_); messages_.clear(); }
    // The dialog hooks' calls in order: "busy N", "tt TEXT", "beat MS", "pli TEXT".
    std::vector<std::string> Hooks() const { std::lock_guard lock(mutex_); return hooks_; }
    void Hook(const std::string& call) { std::lock_guard lock(mutex_); hooks_.push_back(call); }

    Control songPos{"msctls_trackbar32"}, elapsed{"Edit"}, remainingLabel{"Static"}, remaining{"Edit"}, status{"Edit"};
    Control beat1{"Button"}, beat2{"Button"};
    // Stand-in for the open track times dialog.
    Control trackTimes{"#32770"};

private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    std::vector<std::string> hooks_;
    HWND hwnd_ = nullptr;
};

class MixRig {
public:
    MixRig();
    ~MixRig();

    PlayerRig players;
    std::unique_ptr<PanelSink> panel;

    HWND Panel() const { return panel->hwnd(); }
    PlayerModel& Player(int slot) { return players.Slot(slot)->Model(); }
    VirtualClock& Clock() { return players.Clock(); }

    // A track of the track list whose file exists, with main part Start..End
    // (End 0: the whole length).
    SONG* AddSong(const std::string& name, std::uint32_t length, std::uint32_t start = 0, std::uint32_t end = 0);
    // An item of the current playlist for a new song.
    PLI* AddItem(const std::string& name, std::uint32_t length, std::uint32_t start = 0, std::uint32_t end = 0)
    {
        return PLAddSong(MainGetCurrentPL(), AddSong(name, length, start, end));
    }
    std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }

    // One pass of each worker loop: the status display, then the mixer, and
    // the players it started again meanwhile.
    void Pass() { ShowStatus(); MainMixer(); WAmpInstWaitRevivals(); }
    // Advances the clock by Step and runs a pass, Ms / Step times.
    void Run(std::uint32_t Ms, std::uint32_t Step = 10)
    {
        for (std::uint32_t t = 0; t < Ms; t += Step) {
            Clock().Advance(Step);
            Pass();
        }
    }
    // Runs passes until the slot's player reaches Pos (at most Limit ms).
    void RunUntilPos(int Slot, std::int32_t Pos, std::uint32_t Step = 100, std::uint32_t Limit = 600000);

    // Queues First and cuts to it at once, with fade and duo off: First plays
    // in slot 1, the next item of the playlist waits in slot 0.
    void StartWith(PLI* First);
    // The change's settings, and the mix start they give the queued item.
    void SetFades(int Fade, int Type, std::uint32_t FadeLen, int Duo, std::uint32_t DuoLen);

private:
    std::string dir_;
};

}  // namespace fake
