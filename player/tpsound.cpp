#include "tpsound.h"

#include <windows.h>
#include <dshow.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr long kSilentCentiBel = -10000;  // DirectShow's floor: the far end of its scales
constexpr LONGLONG kUnitsPerMs = 10000;   // DirectShow's media time is in 100 ns
// How long after its command a start sounds: time for the renderer to take
// in its first sample, so that nothing of the track is lost. A pause or stop
// waits as long, so that a hard cut from one player to another leaves no gap.
constexpr std::int64_t kLeadMs = 30;
// A paused graph this near the wanted position stays where it is: a seek
// throws away the sound the renderer holds.
constexpr std::int64_t kSeekSlackMs = 40;
// At the end of the stream Wine's renderer still holds up to this much
// sound beyond the one playing; the track has ended when that has played.
constexpr std::int64_t kRendererAheadMs = 150;
constexpr std::int64_t kEndMarginMs = 30;
constexpr DWORD kPrerollMs = 5000;
constexpr DWORD kWarmMs = 150;
constexpr LONGLONG kWarmAheadMs = 10000;

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
    void** Out()
    {
        Reset();
        return reinterpret_cast<void**>(&p);
    }
};

template <class T>
bool Query(IUnknown* from, REFIID iid, Com<T>& to)
{
    return SUCCEEDED(from->QueryInterface(iid, to.Out()));
}

// Whether the filter's input took a stream: the file's audio reached it.
bool Connected(IBaseFilter* filter)
{
    Com<IEnumPins> pins;
    Com<IPin> pin;
    Com<IPin> peer;
    return SUCCEEDED(filter->EnumPins(&pins.p)) && pins->Next(1, &pin.p, nullptr) == S_OK &&
           SUCCEEDED(pin->ConnectedTo(&peer.p));
}

bool Missing(HRESULT hr) { return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND); }

bool Aborts(long code)
{
    return code == EC_ERRORABORT || code == EC_ERRORABORTEX || code == EC_USERABORT || code == EC_STREAM_ERROR_STOPPED ||
           code == EC_DEVICE_LOST;
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

// One file's graph, and where its stream stands.
struct SoundOutput::Graph {
    Com<IBaseFilter> renderer;
    Com<IGraphBuilder> builder;
    Com<IMediaControl> control;
    Com<IMediaFilter> filter;
    Com<IMediaSeeking> seeking;
    Com<IMediaEventEx> events;
    Com<IBasicAudio> audio;
    Com<IReferenceClock> clock;
    HANDLE eventHandle = nullptr;
    std::string file;
    std::uint32_t load = 0;
    bool failed = false;      // tried again at the next load
    bool fresh = false;       // the target waits to be applied
    std::uint32_t applied = 0;
    int volume = -1;
    int panning = 0;
    bool running = false;
    bool primed = false;        // the renderer holds the sound that follows a pause
    std::int64_t segment = 0;   // the position of stream time 0: where the last seek went
    REFERENCE_TIME start = 0;   // stream time 0 on the reference clock
    std::int64_t stands = 0;    // the position paused at, or run from
    bool ending = false;        // the stream has been read to its end, to sound out by endPos
    std::int64_t endPos = 0;

    bool Open() const { return control.p != nullptr; }
    void Close()
    {
        if (control.p != nullptr)
            control->Stop();
        eventHandle = nullptr;
        renderer.Reset();
        clock.Reset();
        audio.Reset();
        events.Reset();
        seeking.Reset();
        filter.Reset();
        control.Reset();
        builder.Reset();
        running = false;
        primed = false;
        ending = false;
        segment = stands = 0;
    }
    REFERENCE_TIME Now() const
    {
        REFERENCE_TIME t = 0;
        clock->GetTime(&t);
        return t;
    }
    // The position that sounds now (held at the start until it sounds).
    std::int64_t Pos() const { return running ? std::max(stands, segment + (Now() - start) / kUnitsPerMs) : stands; }
    void Seek(std::int64_t ms)
    {
        LONGLONG pos = ms * kUnitsPerMs;
        seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        segment = stands = ms;
        primed = false;
        ending = false;
    }
    void Pause()
    {
        if (!running)
            return;
        stands = Pos();
        control->Pause();
        running = false;
        primed = true;
    }
    // Runs from where it stands: the sound the renderer holds goes on at once,
    // a first sample sounds kLeadMs from now. Returns that lead.
    std::int64_t Run()
    {
        const std::int64_t lead = primed ? 0 : kLeadMs;
        start = Now() + (lead - (stands - segment)) * kUnitsPerMs;
        filter->Run(start);
        running = true;
        return lead;
    }
};

SoundOutput::SoundOutput(Clock clock) : clock_(std::move(clock)) {}

SoundOutput::~SoundOutput()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    if (wake_ != nullptr)
        SetEvent(wake_);
    if (worker_.joinable())
        worker_.join();
    if (wake_ != nullptr)
        CloseHandle(wake_);
}

bool SoundOutput::Start()
{
    wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (wake_ == nullptr)
        return false;
    worker_ = std::thread([this] { Work(); });
    return true;
}

void SoundOutput::Follow(const PlayerTarget& target)
{
    {
        std::lock_guard lock(mutex_);
        if (target.file == target_.file && target.load == target_.load && target.moves == target_.moves &&
            target.volume == target_.volume && target.panning == target_.panning)
            return;
        if (target.file != target_.file || target.load != target_.load)
            caughtUp_ = false;
        target_ = target;
    }
    SetEvent(wake_);
}

PlayerHeard SoundOutput::Heard(std::uint32_t moves)
{
    std::lock_guard lock(mutex_);
    if (!caughtUp_ || moves != appliedMoves_)
        return {PLAYER_POS_PENDING, 0};
    if (!sounding_)
        return {PLAYER_POS_UNKNOWN, 0};
    if (ended_)
        return {PLAYER_POS_ENDED, length_};
    const std::uint64_t now = clock_();
    const std::int64_t pos = anchorPos_ + (running_ && now > anchorTime_ ? static_cast<std::int64_t>(now - anchorTime_) : 0);
    return {pos, length_};
}

std::string SoundOutput::Silence()
{
    std::lock_guard lock(mutex_);
    return silence_;
}

// What Heard answers for this target, unless a newer file came meanwhile.
void SoundOutput::Report(const PlayerTarget& want, bool sounding, bool running, std::int64_t pos, std::uint64_t at)
{
    std::lock_guard lock(mutex_);
    appliedMoves_ = want.moves;
    caughtUp_ = want.file == target_.file && want.load == target_.load;
    sounding_ = sounding;
    running_ = running;
    ended_ = false;
    anchorPos_ = pos;
    anchorTime_ = at;
}

void SoundOutput::Unheard(const PlayerTarget& want) { Report(want, false, false, 0, 0); }

void SoundOutput::Fail(Graph& graph, const std::string& why)
{
    graph.Close();
    graph.failed = true;
    std::lock_guard lock(mutex_);
    sounding_ = false;
    silence_ = why;
}

void SoundOutput::Open(Graph& graph, const PlayerTarget& want)
{
    graph.Close();
    graph.file = want.file;
    graph.load = want.load;
    graph.failed = false;
    graph.fresh = true;
    graph.volume = -1;
    {
        std::lock_guard lock(mutex_);
        silence_.clear();
        length_ = 0;
    }
    if (want.file.empty())
        return;
    if (GetFileAttributesA(want.file.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Fail(graph, "file not found");
    if (FAILED(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, graph.renderer.Out())))
        return Fail(graph, "no sound device");
    std::wstring wide(MAX_PATH, L'\0');
    HRESULT hr = E_FAIL;
    if (MultiByteToWideChar(CP_ACP, 0, want.file.c_str(), -1, wide.data(), MAX_PATH) > 0 &&
        SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.builder.Out())) &&
        SUCCEEDED(graph.builder->AddFilter(graph.renderer.p, L"Sound")))
        hr = graph.builder->RenderFile(wide.c_str(), nullptr);
    if (Missing(hr))
        return Fail(graph, "file not found");
    // Any success that reached the renderer will do: a stream left over
    // (cover art, a second track) is no fault of the sound.
    if (FAILED(hr) || !Connected(graph.renderer.p) || !Query(graph.builder.p, IID_IMediaControl, graph.control) ||
        !Query(graph.builder.p, IID_IMediaFilter, graph.filter) || !Query(graph.builder.p, IID_IMediaSeeking, graph.seeking) ||
        !Query(graph.builder.p, IID_IMediaEventEx, graph.events) || !Query(graph.builder.p, IID_IBasicAudio, graph.audio))
        return Fail(graph, "cannot play this file");
    OAFilterState state = State_Stopped;
    graph.control->Pause();
    graph.control->GetState(kPrerollMs, &state);
    OAEVENT handle = 0;
    if (FAILED(graph.filter->GetSyncSource(&graph.clock.p)) || graph.clock.p == nullptr ||
        FAILED(graph.events->GetEventHandle(&handle)))
        return Fail(graph, "cannot play this file");
    graph.eventHandle = reinterpret_cast<HANDLE>(handle);
    // The new sound device starts with its first run, some hundred ms late:
    // a run whose presentation lies far ahead starts it without a sample
    // written, and the graph is paused again where it stood.
    graph.filter->Run(graph.Now() + kWarmAheadMs * kUnitsPerMs);
    Sleep(kWarmMs);
    graph.control->Pause();
    LONGLONG duration = 0;
    if (SUCCEEDED(graph.seeking->GetDuration(&duration))) {
        std::lock_guard lock(mutex_);
        length_ = static_cast<std::uint32_t>(std::clamp<LONGLONG>(duration / kUnitsPerMs, 0, 0x7FFFFFFF));
    }
}

// Brings the paused or running graph to the target's state and position.
void SoundOutput::Apply(Graph& graph, const PlayerTarget& want)
{
    const std::int64_t pos = want.state == PlayerState::Stopped ? 0 : want.pos;
    const bool away = std::llabs(graph.Pos() - pos) > kSeekSlackMs;
    const std::uint64_t due = want.time + static_cast<std::uint64_t>(kLeadMs);
    if (want.state != PlayerState::Playing && graph.running && clock_() < due)
        Sleep(static_cast<DWORD>(due - clock_()));
    if (want.state != PlayerState::Playing || away)
        graph.Pause();
    // Stopping flushes, so that a later start begins afresh.
    if (away || (want.state == PlayerState::Stopped && (graph.primed || graph.stands != 0)))
        graph.Seek(pos);
    const std::uint64_t now = clock_();
    if (want.state == PlayerState::Playing && !graph.running) {
        const std::int64_t lead = graph.Run();
        return Report(want, true, true, graph.stands, now + static_cast<std::uint64_t>(lead));
    }
    Report(want, true, graph.running, graph.Pos(), now);
}

void SoundOutput::Catch(Graph& graph, const PlayerTarget& want)
{
    if (want.file != graph.file || (graph.failed && want.load != graph.load))
        Open(graph, want);
    if (!graph.Open())
        return Unheard(want);
    // A start takes its level first, a pause or stop comes before the new
    // level: neither sounds at the other's.
    const bool move = graph.fresh || want.moves != graph.applied;
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
    graph.applied = want.moves;
    graph.fresh = false;
}

// Takes the graph's events: the end of the stream, or its abort.
void SoundOutput::Events(Graph& graph)
{
    long code = 0;
    LONG_PTR p1 = 0;
    LONG_PTR p2 = 0;
    while (graph.Open() && graph.events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        graph.events->FreeEventParams(code, p1, p2);
        if (Aborts(code)) {
            char why[48];
            std::snprintf(why, sizeof why, "playback aborted (0x%08lX)", static_cast<unsigned long>(p1));
            return Fail(graph, why);
        }
        if (code == EC_COMPLETE && !graph.ending) {
            std::uint32_t length = 0;
            {
                std::lock_guard lock(mutex_);
                length = length_;
            }
            const std::int64_t pos = graph.Pos();
            const std::int64_t left = length > pos ? std::min<std::int64_t>(length - pos, kRendererAheadMs) : kRendererAheadMs;
            graph.ending = true;
            graph.endPos = pos + left + kEndMarginMs;
        }
    }
    if (graph.ending && graph.running && graph.Pos() >= graph.endPos) {
        graph.ending = false;
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
}

// INFINITE but while the end of a read stream plays out.
std::uint32_t SoundOutput::WaitMs(const Graph& graph)
{
    if (!graph.ending || !graph.running)
        return INFINITE;
    return static_cast<std::uint32_t>(std::max<std::int64_t>(0, graph.endPos - graph.Pos()));
}

void SoundOutput::Work()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        Graph graph;
        for (;;) {
            const HANDLE handles[2] = {wake_, graph.eventHandle};
            WaitForMultipleObjects(graph.eventHandle != nullptr ? 2 : 1, handles, FALSE, WaitMs(graph));
            PlayerTarget want;
            {
                std::lock_guard lock(mutex_);
                if (quit_)
                    break;
                want = target_;
            }
            // Events before the target: the end of a stream that a seek
            // then leaves behind must not end what follows.
            Events(graph);
            Catch(graph, want);
        }
        graph.Close();
    }
    CoUninitialize();
}
