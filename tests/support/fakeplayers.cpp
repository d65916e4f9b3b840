#include "fakeplayers.h"

#include "winamp.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace fake {

namespace {

constexpr char kOpenCommandKey[] = "Winamp.File\\shell\\open\\command";
constexpr char kPlayerOpenCommand[] = "\"C:\\Program Files\\tplayer\\tplayer.exe\" \"%1\"";
constexpr DWORD kFirstProcessId = 1000;

std::int64_t RealNs() { return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1); }

}  // namespace

std::uint64_t VirtualClock::NowLocked() const
{
    const double realMs = speed_ == 0 ? 0 : static_cast<double>(RealNs() - realStart_) / 1e6;
    return base_ + static_cast<std::uint64_t>(std::floor(realMs * speed_));
}

void VirtualClock::RunFaster(double speed)
{
    std::lock_guard lock(mutex_);
    base_ = NowLocked();
    realStart_ = RealNs();
    speed_ = speed > 0 ? speed : 0;
}

void VirtualClock::Sleep(std::uint32_t ms) const
{
    const double speed = [this] { std::lock_guard lock(mutex_); return speed_; }();
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(speed > 0 ? ms / speed : ms));
}

SimPlayer::SimPlayer(const VirtualClock& clock, PlayerModel::Probe probe, DWORD processId)
    : model_([&clock] { return clock.Now(); }, std::move(probe))
{
    model_.SetJournal([this](const PlayerJournalEntry& entry) {
        std::lock_guard lock(mutex_);
        log_.push_back(entry);
    });
    window_ = CreateWindow(
        WAMP_WINDOWCLASS,
        [this](UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (msg == WM_USER)
                return model_.User(static_cast<std::uint32_t>(wParam), static_cast<int>(lParam));
            if (msg == WM_COMMAND)
                return model_.Command(LOWORD(wParam));
            if (msg == WM_CLOSE)
                Close();
            return 0;
        },
        processId);
}

PlayerRig::PlayerRig(int running, bool installed)
{
    WAmpInstFreeAll();
    Reset();
    if (installed)
        RegistrySet(HKEY_CLASSES_ROOT, kOpenCommandKey, "", kPlayerOpenCommand);
    SetLauncher([this](const std::string& cmdLine, UINT) { return Launch(cmdLine); });
    SetTime([this] { return clock_.Now(); }, [this](DWORD ms) { clock_.Sleep(ms); });
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

PlayerTrackInfo PlayerRig::Probe(const std::string& file) const
{
    std::lock_guard lock(lengthsMutex_);
    const auto found = lengths_.find(file);
    return found != lengths_.end() ? PlayerTrackInfo{found->second, 44100, 128, 2} : PlayerProbeMP3(file);
}

SimPlayer& PlayerRig::Start()
{
    std::lock_guard lock(mutex_);
    const auto processId = static_cast<DWORD>(kFirstProcessId + players_.size());
    auto probe = [this](const std::string& file) { return Probe(file); };
    return *players_.emplace_back(std::make_unique<SimPlayer>(clock_, probe, processId));
}

SimPlayer* PlayerRig::Slot(int NO)
{
    const WAMPINST* inst = WAmpInstGet(NO);
    std::lock_guard lock(mutex_);
    for (const auto& player : players_)
        if (inst != nullptr && player->Window() == inst->Window)
            return player.get();
    return nullptr;
}

// Starts a player only for the command that starts the installed player.
DWORD PlayerRig::Launch(const std::string& cmdLine)
{
    std::string command;
    if (!RegistryGet(HKEY_CLASSES_ROOT, kOpenCommandKey, "", &command) || command.size() < 5 ||
        cmdLine != command.substr(0, command.size() - 5))
        return 0;
    DWORD processId = 0;
    GetWindowThreadProcessId(Start().Window(), &processId);
    std::lock_guard lock(mutex_);
    ++launches_;
    return processId;
}

}  // namespace fake
