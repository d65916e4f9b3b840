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

}  // namespace

void DlgMainSetTestPlayerState(int Playing)
{
    if (fake::PanelSink* sink = ActiveSink)
        sink->OnTestPlayerState(Playing);
}

void DlgTTFreshTestPos(const char* Pos)
{
    if (fake::PanelSink* sink = ActiveSink)
        sink->OnTrackTimesPos(Pos);
}

void DlgTTBeatTest(unsigned Pos)
{
    if (fake::PanelSink* sink = ActiveSink)
        sink->OnBeatTest(Pos);
}

void DlgPLIFreshTestPos(const char* PosS)
{
    if (fake::PanelSink* sink = ActiveSink)
        sink->OnItemEditorPos(PosS);
}

namespace fake {

PanelSink::PanelSink()
{
    hwnd_ = CreateWindow("#32770", [this](UINT msg, WPARAM wParam, LPARAM lParam) { return Handle(msg, wParam, lParam); });
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

LRESULT PanelSink::Handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(mutex_);
        messages_.push_back({msg, wParam, lParam});
    }
    if (msg == MIXMSG_VOLUME)
        MixSetVolume(static_cast<int>(wParam), static_cast<int>(lParam));
    else if (msg == MIXMSG_CHANGE)
        MixOnChangeMsg(wParam);
    return 0;
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

int PanelSink::TestPlayerState() const
{
    std::lock_guard lock(mutex_);
    return testPlayerState_;
}

std::vector<std::string> PanelSink::TrackTimesPositions() const
{
    std::lock_guard lock(mutex_);
    return ttPositions_;
}

std::vector<unsigned> PanelSink::BeatTestPositions() const
{
    std::lock_guard lock(mutex_);
    return beatPositions_;
}

std::vector<std::string> PanelSink::ItemEditorPositions() const
{
    std::lock_guard lock(mutex_);
    return pliPositions_;
}

void PanelSink::OnTestPlayerState(int Playing)
{
    std::lock_guard lock(mutex_);
    testPlayerState_ = Playing;
}

void PanelSink::OnTrackTimesPos(const char* Pos)
{
    std::lock_guard lock(mutex_);
    ttPositions_.push_back(Pos);
}

void PanelSink::OnBeatTest(unsigned Pos)
{
    std::lock_guard lock(mutex_);
    beatPositions_.push_back(Pos);
}

void PanelSink::OnItemEditorPos(const char* Pos)
{
    std::lock_guard lock(mutex_);
    pliPositions_.push_back(Pos);
}

}  // namespace fake
