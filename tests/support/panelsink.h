// A recording stand-in for the control panel: the mixer's destination window
// and the live fields the status display writes. It applies what the real
// panel must apply (reported volumes, changes handed over by the mixer
// thread) and records every notification and every call of the dialog hooks.
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
    // The dialog hooks' calls in order: "busy N", "tt TEXT", "beat MS", "pli TEXT".
    std::vector<std::string> Hooks() const;
    void Hook(const std::string& call);

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

private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    std::vector<std::string> hooks_;
    HWND hwnd_ = nullptr;
};

}  // namespace fake
