#include "tpsound.h"

#include <windows.h>
#include <dshow.h>
#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

constexpr long kSilentCentiBel = -10000;  // DirectShow's floor: the far end of its scales
constexpr auto kWatchPeriod = std::chrono::milliseconds(10);
constexpr std::int64_t kSeekSlackMs = 40;  // nearer than this, a seek would only flush the sound
constexpr LONGLONG kUnitsPerMs = 10000;  // DirectShow's media time is in 100 ns

long CentiBel(double amplitude)
{
    if (amplitude <= 0.0)
        return kSilentCentiBel;
    return std::max(kSilentCentiBel, std::lround(2000.0 * std::log10(amplitude)));
}

template <class T>
struct Com {
    T* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() { Reset(); }
    void Reset()
    {
        if (p != nullptr)
            p->Release();
        p = nullptr;
    }
    T* operator->() const { return p; }
};

template <class T>
bool Query(IUnknown* from, REFIID iid, Com<T>& to)
{
    to.Reset();
    return SUCCEEDED(from->QueryInterface(iid, reinterpret_cast<void**>(&to.p)));
}

}  // namespace

long SoundVolumeCentiBel(int Volume) { return CentiBel(std::clamp(Volume, 0, 255) / 255.0); }

long SoundBalanceCentiBel(int Panning)
{
    const int pan = std::clamp(Panning, -128, 127);
    if (pan > 0)
        return -CentiBel((127 - pan) / 127.0);
    return CentiBel((128 + pan) / 128.0);
}

struct SoundOutput::Graph {
    Com<IGraphBuilder> builder;
    Com<IMediaControl> control;
    Com<IMediaSeeking> seeking;
    Com<IMediaEvent> events;
    Com<IBasicAudio> audio;
    std::string file;
    int volume = -1;
    int panning = 0;

    void Close()
    {
        if (control.p != nullptr)
            control->Stop();
        audio.Reset();
        events.Reset();
        seeking.Reset();
        control.Reset();
        builder.Reset();
    }
    std::int64_t Now() const
    {
        LONGLONG pos = 0;
        return SUCCEEDED(seeking->GetCurrentPosition(&pos)) ? pos / kUnitsPerMs : 0;
    }
    void Seek(std::int64_t ms)
    {
        LONGLONG pos = ms * kUnitsPerMs;
        seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }
};

SoundOutput::SoundOutput(Clock clock) : clock_(std::move(clock)) {}

SoundOutput::~SoundOutput()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_one();
    if (worker_.joinable())
        worker_.join();
}

bool SoundOutput::Start()
{
    if (waveOutGetNumDevs() == 0) {
        std::lock_guard lock(mutex_);
        silence_ = "no sound device";
        return false;
    }
    worker_ = std::thread([this] { Work(); });
    return true;
}

void SoundOutput::Follow(const PlayerTarget& target)
{
    {
        std::lock_guard lock(mutex_);
        if (target.file == target_.file && target.moves == target_.moves && target.volume == target_.volume &&
            target.panning == target_.panning)
            return;
        target_ = target;
        fresh_ = true;
    }
    changed_.notify_one();
}

std::int64_t SoundOutput::Position(std::uint32_t moves)
{
    std::lock_guard lock(mutex_);
    if (!open_ || moves != appliedMoves_)
        return PLAYER_POS_UNKNOWN;
    if (ended_)
        return PLAYER_POS_ENDED;
    std::int64_t pos = mediaPos_;
    if (running_)
        pos += static_cast<std::int64_t>(clock_() - mediaTime_);
    // Each read of the media clock re-anchors it; the answer never steps back.
    lastAnswer_ = std::max(lastAnswer_, pos);
    return lastAnswer_;
}

std::string SoundOutput::Silence()
{
    std::lock_guard lock(mutex_);
    return silence_;
}

void SoundOutput::Open(Graph& graph, const std::string& file)
{
    graph.Close();
    graph.file = file;
    graph.volume = -1;
    {
        std::lock_guard lock(mutex_);
        open_ = false;
        running_ = false;
        silence_.clear();
    }
    if (file.empty())
        return;
    std::wstring wide(MAX_PATH, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide.data(), MAX_PATH);
    HRESULT hr = E_FAIL;
    if (n > 0 && SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                            reinterpret_cast<void**>(&graph.builder.p))))
        hr = graph.builder->RenderFile(wide.c_str(), nullptr);
    // S_OK only: a partial success means the sound found no renderer.
    const bool ok = hr == S_OK && Query(graph.builder.p, IID_IMediaControl, graph.control) &&
                    Query(graph.builder.p, IID_IMediaSeeking, graph.seeking) &&
                    Query(graph.builder.p, IID_IMediaEvent, graph.events) &&
                    Query(graph.builder.p, IID_IBasicAudio, graph.audio);
    if (!ok)
        graph.Close();
    std::lock_guard lock(mutex_);
    silence_ = ok ? "" : "cannot play this file";
}

void SoundOutput::Apply(Graph& graph, const PlayerTarget& want)
{
    std::int64_t pos = want.pos;
    if (want.state == PlayerState::Stopped) {
        graph.control->Stop();
    } else if (want.state == PlayerState::Paused) {
        graph.control->Pause();
        if (std::llabs(graph.Now() - pos) > kSeekSlackMs)
            graph.Seek(pos);
    } else {
        pos += static_cast<std::int64_t>(clock_() - want.time);
        if (std::llabs(graph.Now() - pos) > kSeekSlackMs)
            graph.Seek(pos);
        graph.control->Run();
    }
    std::lock_guard lock(mutex_);
    open_ = true;
    appliedMoves_ = want.moves;
    running_ = want.state == PlayerState::Playing;
    ended_ = false;
    mediaPos_ = pos;
    mediaTime_ = clock_();
    lastAnswer_ = 0;
}

void SoundOutput::Watch(Graph& graph)
{
    long code = 0;
    LONG_PTR p1 = 0;
    LONG_PTR p2 = 0;
    bool complete = false;
    while (graph.events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        complete = complete || code == EC_COMPLETE;
        graph.events->FreeEventParams(code, p1, p2);
    }
    const std::int64_t pos = graph.Now();
    std::lock_guard lock(mutex_);
    ended_ = ended_ || complete;
    if (running_) {
        mediaPos_ = pos;
        mediaTime_ = clock_();
    }
}

void SoundOutput::Work()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        Graph graph;
        std::uint32_t applied = 0;
        bool reopened = true;
        for (;;) {
            PlayerTarget want;
            {
                std::unique_lock lock(mutex_);
                if (running_)
                    changed_.wait_for(lock, kWatchPeriod, [this] { return quit_ || fresh_; });
                else
                    changed_.wait(lock, [this] { return quit_ || fresh_; });
                if (quit_)
                    break;
                want = target_;
                fresh_ = false;
            }
            if (want.file != graph.file) {
                Open(graph, want.file);
                reopened = true;
            }
            if (graph.control.p == nullptr)
                continue;
            // A start takes its level first, a pause or stop comes before the
            // new level: neither sounds at the other's.
            const bool move = reopened || want.moves != applied;
            if (move && want.state != PlayerState::Playing)
                Apply(graph, want);
            if (want.volume != graph.volume || want.panning != graph.panning) {
                graph.audio->put_Volume(SoundVolumeCentiBel(want.volume));
                graph.audio->put_Balance(SoundBalanceCentiBel(want.panning));
                graph.volume = want.volume;
                graph.panning = want.panning;
            }
            if (move && want.state == PlayerState::Playing)
                Apply(graph, want);
            applied = want.moves;
            reopened = false;
            Watch(graph);
        }
        graph.Close();
    }
    CoUninitialize();
}
