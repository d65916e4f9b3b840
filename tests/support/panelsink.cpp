#include "panelsink.h"

#include "dlghooks.h"
#include "fnmix.h"

#include <atomic>

// The window globals and hooks that the window modules define in tandem.exe.
HWND hwndTBSONGPOS = nullptr;
HWND hwndEDELAPSED = nullptr;
HWND hwndSTREMAINING = nullptr;
HWND hwndEDREMAINING = nullptr;
HWND hwndEDSTATUS = nullptr;
HWND hwndRBBEAT1 = nullptr;
HWND hwndRBBEAT2 = nullptr;
std::atomic<HWND> hwndTT{nullptr};
std::atomic<HWND> hwndPLI{nullptr};

namespace {

std::atomic<fake::PanelSink*> ActiveSink{nullptr};

void Hook(const std::string& call)
{
    if (fake::PanelSink* sink = ActiveSink)
        sink->Hook(call);
}

}  // namespace

void DlgMainSetTestPlayerState(int Playing) { Hook("busy " + std::to_string(Playing)); }
void DlgTTFreshTestPos(const char* Pos) { Hook(std::string("tt ") + Pos); }
void DlgTTBeatTest(unsigned Pos) { Hook("beat " + std::to_string(Pos)); }
void DlgPLIFreshTestPos(const char* PosS) { Hook(std::string("pli ") + PosS); }

namespace fake {

PanelSink::PanelSink()
{
    hwnd_ = CreateWindow("#32770", [this](UINT msg, WPARAM wParam, LPARAM lParam) {
        {
            std::lock_guard lock(mutex_);
            messages_.push_back({msg, wParam, lParam});
        }
        if (msg == MIXMSG_VOLUME)
            MixSetVolume(static_cast<int>(wParam), static_cast<int>(lParam));
        else if (msg == MIXMSG_CHANGE)
            MixOnChangeMsg(wParam);
        return LRESULT{0};
    });
    hwndTBSONGPOS = songPos.hwnd();
    hwndEDELAPSED = elapsed.hwnd();
    hwndSTREMAINING = remainingLabel.hwnd();
    hwndEDREMAINING = remaining.hwnd();
    hwndEDSTATUS = status.hwnd();
    hwndRBBEAT1 = beat1.hwnd();
    hwndRBBEAT2 = beat2.hwnd();
    ActiveSink = this;
    MixSetDestWindow(hwnd_);
}

PanelSink::~PanelSink()
{
    MixSetDestWindow(nullptr);
    ActiveSink = nullptr;
    hwndTBSONGPOS = hwndEDELAPSED = hwndSTREMAINING = hwndEDREMAINING = hwndEDSTATUS = nullptr;
    hwndRBBEAT1 = hwndRBBEAT2 = nullptr;
    hwndTT = nullptr;
    hwndPLI = nullptr;
    DestroyWindow(hwnd_);
}

std::vector<PanelSink::Message> PanelSink::Messages() const
{
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<PanelSink::Message> PanelSink::MessagesOf(UINT msg) const
{
    std::vector<Message> found;
    for (const Message& m : Messages())
        if (m.msg == msg)
            found.push_back(m);
    return found;
}

void PanelSink::ClearMessages()
{
    std::lock_guard lock(mutex_);
    messages_.clear();
}

std::vector<std::string> PanelSink::Hooks() const
{
    std::lock_guard lock(mutex_);
    return hooks_;
}

void PanelSink::Hook(const std::string& call)
{
    std::lock_guard lock(mutex_);
    hooks_.push_back(call);
}

}  // namespace fake
