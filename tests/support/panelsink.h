// A recording stand-in for the control panel: the mixer's destination window
// and the live fields the status display writes. It applies what the real
// panel must apply (reported volumes, changes handed over by the mixer
// thread) and records every notification.
#pragma once

#include "fakeos.h"

#include <mutex>
#include <string>
#include <vector>

namespace fake {

class PanelSink {
public:
    struct Message {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };

    PanelSink();
    ~PanelSink();
    PanelSink(const PanelSink&) = delete;
    PanelSink& operator=(const PanelSink&) = delete;

    HWND hwnd() const { return hwnd_; }
    std::vector<Message> Messages() const;
    std::vector<Message> MessagesOf(UINT msg) const;
    void ClearMessages();

    // What the status display passed to the dialog hooks.
    int TestPlayerState() const;
    std::vector<std::string> TrackTimesPositions() const;
    std::vector<unsigned> BeatTestPositions() const;
    std::vector<std::string> ItemEditorPositions() const;

    Control songPos{"msctls_trackbar32"};
    Control elapsed{"Edit"};
    Control remainingLabel{"Static"};
    Control remaining{"Edit"};
    Control status{"Edit"};
    Control beat1{"Button"};
    Control beat2{"Button"};
    // Stand-ins for the open track times dialog and playlist item editor.
    Control trackTimes{"#32770"};
    Control itemEditor{"#32770"};

    // Called by the hook stand-ins.
    void OnTestPlayerState(int Playing);
    void OnTrackTimesPos(const char* Pos);
    void OnBeatTest(unsigned Pos);
    void OnItemEditorPos(const char* Pos);

private:
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    int testPlayerState_ = -1;
    std::vector<std::string> ttPositions_;
    std::vector<unsigned> beatPositions_;
    std::vector<std::string> pliPositions_;
    HWND hwnd_ = nullptr;
};

}  // namespace fake
