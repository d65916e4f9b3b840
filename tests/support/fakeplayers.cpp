#include "fakeplayers.h"

#include "winamp.h"

#include <chrono>
#include <cmath>

namespace fake {

namespace {

constexpr char kOpenCommandKey[] = "Winamp.File\\shell\\open\\command";
constexpr DWORD kFirstProcessId = 1000;
constexpr UINT kExecOk = 33;             // WinExec: above 31 is success
constexpr UINT kExecFileNotFound = 2;

std::int64_t RealNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// ---- VirtualClock ----

std::uint64_t VirtualClock::NowLocked() const
{
    if (speed_ == 0)
        return base_;
    const double realMs = static_cast<double>(RealNs() - realStart_) / 1e6;
    return base_ + static_cast<std::uint64_t>(std::floor(realMs * speed_));
}

std::uint64_t VirtualClock::Now() const
{
    std::lock_guard lock(mutex_);
    return NowLocked();
}

void VirtualClock::Advance(std::uint64_t ms)
{
    std::lock_guard lock(mutex_);
    base_ += ms;
}

void VirtualClock::RunFaster(double speed)
{
    std::lock_guard lock(mutex_);
    base_ = NowLocked();
    realStart_ = RealNs();
    speed_ = speed > 0 ? speed : 0;
}

// ---- TrackTable ----

void TrackTable::SetLength(const std::string& file, std::uint32_t ms)
{
    std::lock_guard lock(mutex_);
    lengths_[file] = ms;
}

PlayerTrackInfo TrackTable::Probe(const std::string& file) const
{
    {
        std::lock_guard lock(mutex_);
        if (const auto found = lengths_.find(file); found != lengths_.end())
            return {found->second, 44100, 128, 2};
    }
    return PlayerProbeMP3(file);
}

// ---- SimPlayer ----

SimPlayer::SimPlayer(const VirtualClock& clock, const TrackTable& tracks, DWORD processId)
    : model_([&clock] { return clock.Now(); }, [&tracks](const std::string& file) { return tracks.Probe(file); }),
      processId_(processId)
{
    model_.SetJournal([this](const PlayerJournalEntry& entry) {
        std::lock_guard lock(mutex_);
        log_.push_back(entry);
    });
    window_ = CreateWindow(
        WAMP_WINDOWCLASS, [this](UINT msg, WPARAM wParam, LPARAM lParam) { return Handle(msg, wParam, lParam); },
        processId);
}

SimPlayer::~SimPlayer() { Close(); }

LRESULT SimPlayer::Handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_USER:
        return model_.User(static_cast<std::uint32_t>(wParam), static_cast<int>(lParam));
    case WM_COMMAND:
        return model_.Command(LOWORD(wParam));
    case WM_CLOSE:
        DestroyWindow(window_);
        return 0;
    default:
        return 0;
    }
}

std::vector<PlayerJournalEntry> SimPlayer::Log() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

void SimPlayer::ClearLog()
{
    std::lock_guard lock(mutex_);
    log_.clear();
}

void SimPlayer::Close() { DestroyWindow(window_); }

// ---- PlayerRig ----

PlayerRig::PlayerRig(int running, bool installed)
{
    WAmpInstFreeAll();
    Reset();
    if (installed)
        RegistrySet(HKEY_CLASSES_ROOT, kOpenCommandKey, "", kPlayerOpenCommand);
    SetLauncher([this](const std::string& cmdLine, UINT) { return Launch(cmdLine); });
    for (int i = 0; i < running; ++i)
        Start();
}

// Players go first, while their handles still name their windows.
PlayerRig::~PlayerRig()
{
    WAmpInstFreeAll();
    SetLauncher(nullptr);
    {
        std::lock_guard lock(mutex_);
        players_.clear();
    }
    Reset();
}

SimPlayer& PlayerRig::Start()
{
    std::lock_guard lock(mutex_);
    const auto processId = static_cast<DWORD>(kFirstProcessId + players_.size());
    players_.push_back(std::make_unique<SimPlayer>(clock_, tracks_, processId));
    return *players_.back();
}

int PlayerRig::Count() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(players_.size());
}

SimPlayer& PlayerRig::Player(int i)
{
    std::lock_guard lock(mutex_);
    return *players_.at(static_cast<std::size_t>(i));
}

SimPlayer* PlayerRig::Slot(int NO)
{
    const WAMPINST* inst = WAmpInstGet(NO);
    return inst != nullptr ? ByWindow(inst->Window) : nullptr;
}

SimPlayer* PlayerRig::ByWindow(HWND wnd)
{
    std::lock_guard lock(mutex_);
    for (const auto& player : players_)
        if (player->Window() == wnd)
            return player.get();
    return nullptr;
}

int PlayerRig::Launches() const
{
    std::lock_guard lock(mutex_);
    return launches_;
}

// Starts a player only for the command that starts the installed player.
UINT PlayerRig::Launch(const std::string& cmdLine)
{
    std::string command;
    if (!RegistryGet(HKEY_CLASSES_ROOT, kOpenCommandKey, "", &command) || command.size() < 5 ||
        cmdLine != command.substr(0, command.size() - 5))
        return kExecFileNotFound;
    Start();
    std::lock_guard lock(mutex_);
    ++launches_;
    return kExecOk;
}

}  // namespace fake
