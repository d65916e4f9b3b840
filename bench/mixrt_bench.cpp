// The mixer in real time: the real worker threads against simulated players
// whose clock is the real monotonic one (the rig's clock run at speed 1), so
// polling delays and scheduling show as they would with real players.
//   FadeSteps   gaps between the volume commands the players get in a 3 s fade-over,
//               and how late the fade starts
//   PauseAtEnd  how far past its effective end the outgoing item is paused
//   PlayingCpu  CPU time of 60 s of playing, the fake players' work included
// Each runs once and reports its figures as counters, without (measuring:0)
// and with (measuring:1) the real measuring worker busy the whole time.
#include "defs.h"
#include "fakeos.h"
#include "fnana.h"
#include "fnmix.h"
#include "fnsong.h"
#include "fnthr.h"
#include "mixrig.h"
#include "string2.h"
#include "winamp.h"

#include <benchmark/benchmark.h>

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kIncoming = 0;  // after the first cut, the next item waits in slot 0
constexpr int kOutgoing = 1;  // and the first one plays in slot 1
// The mixer's command and the panel's echo of the reported level arrive
// microseconds apart; polling passes are milliseconds apart.
constexpr double kSameStepMs = 1.0;

// One message a main player handled, stamped on the real clock.
struct Heard {
    int slot;
    Clock::time_point at;
    PlayerJournalEntry entry;
};

// Takes over the journals of the two main players.
class Recorder {
public:
    void Attach(fake::MixRig& rig)
    {
        for (const int slot : {kIncoming, kOutgoing})
            rig.Player(slot).SetJournal([this, slot](const PlayerJournalEntry& entry) {
                const auto at = Clock::now();
                std::lock_guard lock(mutex_);
                heard_.push_back({slot, at, entry});
            });
    }

    std::vector<Heard> Taken()
    {
        std::lock_guard lock(mutex_);
        std::vector<Heard> heard = heard_;
        std::stable_sort(heard.begin(), heard.end(), [](const Heard& a, const Heard& b) { return a.at < b.at; });
        return heard;
    }

private:
    std::mutex mutex_;
    std::vector<Heard> heard_;
};

// The track measuring worker (fnana) busy for the whole run: many 60 s
// stereo tracks read from two files whose sound is noise. Natively
// SetThreadPriority does nothing, so the worker takes a core at the mixer's
// own priority: the worst case of what it does to the mixer.
class Measuring {
public:
    explicit Measuring(bool on)
    {
        if (!on)
            return;
        constexpr int kRate = 44100, kSeconds = 60, kFiles = 2, kTracks = 20000;
        dir_ = fake::ScratchPath("tandem-mixrt-");
        std::filesystem::create_directories(dir_);
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
        std::vector<std::string> paths;
        for (int f = 0; f < kFiles; ++f) {
            paths.push_back((dir_ / std::string("m").append(std::to_string(f)).append(".mp3")).string());
            std::ofstream(paths.back()) << "audio";
            std::vector<float> pcm(std::size_t{kRate} * kSeconds * 2);
            for (float& sample : pcm)
                sample = noise(rng);
            fake::SetAudio(paths.back(), {kRate, 2}, std::move(pcm));
        }
        for (int i = 0; i < kTracks; ++i) {
            songs_.emplace_back(SongCreate(), std::free);
            SONG* song = songs_.back().get();
            StrCopy(song->Desc.cFileName, paths[static_cast<std::size_t>(i % kFiles)].c_str());
            song->General.lLength = kSeconds * 1000;
            song->Bounds.timMain = {0, kSeconds * 1000};
        }
        AnaStart([] {});
        for (const auto& song : songs_)
            AnaQueue(song.get());
    }

    ~Measuring()
    {
        if (songs_.empty())
            return;
        AnaStop();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // How many tracks were measured, and how many still wait (0: the
    // worker ran out of work before the end, and the figures are too kind).
    void Report(benchmark::State& state) const
    {
        if (songs_.empty())
            return;
        ANAPROGRESS progress;
        AnaGetProgress(&progress);
        state.counters["measured"] = progress.iDone;
        state.counters["still_queued"] = progress.iTotal - progress.iDone;
    }

private:
    std::filesystem::path dir_;
    std::vector<std::unique_ptr<SONG, void (*)(void*)>> songs_;
};

struct Mix {
    int fadeType;
    std::uint32_t fadeLen;
    std::uint32_t duoLen;  // 0: duo off
};

struct Part {
    std::uint32_t start;
    std::uint32_t end;
};

// Tracks 2 s longer than their main part, so no player stops on its own.
// The name is appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for "t" + std::string.
PLI* AddItem(fake::MixRig& rig, int n, Part part)
{
    return rig.AddItem(std::string("t").append(std::to_string(n)).append(".mp3"), part.end + 2000, part.start, part.end);
}

// Cuts to Lead, queues the first of Count items of the Rest part behind it,
// and sets the mix; Lead is the first change's outgoing item.
void Prepare(fake::MixRig& rig, Part lead, Part rest, int count, Mix mix)
{
    PLI* first = AddItem(rig, 0, lead);
    for (int i = 1; i <= count; ++i)
        AddItem(rig, i, rest);
    rig.StartWith(first);
    StateSetFade(1);
    StateSetFadeType(mix.fadeType);
    StateSetFadeLen(mix.fadeLen);
    StateSetDuo(mix.duoLen != 0);
    StateSetDuoLen(mix.duoLen);
    MixRecalcBeat(StateGetNextPLI());
    rig.panel->ClearMessages();
}

void StartRealTime(fake::MixRig& rig)
{
    rig.Clock().RunFaster(1);
    InitThreads();
}

void StopRealTime(fake::MixRig& rig)
{
    StopThreads();
    rig.Clock().RunFaster(0);
}

std::size_t Changes(const fake::MixRig& rig) { return rig.panel->MessagesOf(MIXMSG_CURRENTPLI).size(); }

// Plays until Count changes are done; false when Limit passes first.
bool PlayChanges(fake::MixRig& rig, std::size_t count, std::chrono::seconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (Changes(rig) < count && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Changes(rig) >= count;
}

double Mean(const std::vector<double>& values)
{
    double sum = 0;
    for (const double v : values)
        sum += v;
    return sum / static_cast<double>(values.size());
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(clockid_t id)
{
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

clockid_t ThreadClock(std::thread& thread)
{
    clockid_t id{};
    pthread_getcpuclockid(thread.native_handle(), &id);
    return id;
}

bool IsVolume(const Heard& h) { return h.entry.message == PlayerMessage::User && h.entry.code == IPC_SETVOLUME; }

// The volume commands of one mix: from the silencing of the incoming player
// to the outgoing player's 0 at the end of its fade-out.
std::vector<Clock::time_point> FadeCommands(const std::vector<Heard>& heard)
{
    std::vector<Clock::time_point> times;
    for (const Heard& h : heard) {
        if (!IsVolume(h))
            continue;
        times.push_back(h.at);
        if (h.slot == kOutgoing && h.entry.arg == 0)
            return times;
    }
    return {};
}

// How far past the planned start of the fade (the lead's end minus the
// fade) the outgoing player was when it got its first step.
double MixStartLate(const std::vector<Heard>& heard, Part lead, std::uint32_t fadeLen)
{
    for (const Heard& h : heard)
        if (IsVolume(h) && h.slot == kOutgoing)
            return static_cast<double>(h.entry.pos) - (lead.end - fadeLen);
    return -1;
}

void FadeSteps(benchmark::State& state)
{
    constexpr Part kLead{1000, 7500};
    constexpr std::uint32_t kFadeLen = 3000;
    Recorder recorder;
    fake::MixRig rig;
    // The lead item mixes out half a second after it starts.
    Prepare(rig, kLead, {1000, 20000}, 2, {FADE_OVER, kFadeLen, 0});
    recorder.Attach(rig);
    const Measuring measuring(state.range(0) != 0);
    for (auto _ : state) {
        const auto begin = Clock::now();
        StartRealTime(rig);
        const bool done = PlayChanges(rig, 1, std::chrono::seconds(20));
        measuring.Report(state);
        StopRealTime(rig);
        state.SetIterationTime(Seconds(Clock::now() - begin));
        const auto times = FadeCommands(recorder.Taken());
        if (!done || times.size() < 2) {
            state.SkipWithError("the mix did not finish");
            return;
        }
        std::vector<double> gaps;
        Clock::time_point stepStart = times.front();
        for (std::size_t i = 1; i < times.size(); ++i)
            if (Ms(times[i] - times[i - 1]) >= kSameStepMs) {
                gaps.push_back(Ms(times[i] - stepStart));
                stepStart = times[i];
            }
        if (gaps.empty()) {
            state.SkipWithError("no volume steps");
            return;
        }
        std::vector<double> sorted = gaps;
        std::sort(sorted.begin(), sorted.end());
        state.counters["max_gap_ms"] = sorted.back();
        state.counters["median_gap_ms"] = sorted[sorted.size() / 2];
        state.counters["mean_gap_ms"] = Mean(gaps);
        state.counters["mix_start_late_ms"] = MixStartLate(recorder.Taken(), kLead, kFadeLen);
        state.counters["steps"] = static_cast<double>(gaps.size() + 1);
        state.counters["commands"] = static_cast<double>(times.size());
    }
}

void PauseAtEnd(benchmark::State& state)
{
    constexpr std::size_t kChanges = 6;
    constexpr Part kPart{1000, 7000};
    Recorder recorder;
    fake::MixRig rig;
    Prepare(rig, kPart, kPart, static_cast<int>(kChanges) + 1, {FADE_OVER, 1000, 500});
    recorder.Attach(rig);
    const Measuring measuring(state.range(0) != 0);
    for (auto _ : state) {
        const auto begin = Clock::now();
        StartRealTime(rig);
        const bool done = PlayChanges(rig, kChanges, std::chrono::seconds(60));
        measuring.Report(state);
        StopRealTime(rig);
        state.SetIterationTime(Seconds(Clock::now() - begin));
        // A pause that ends an item leaves its player past the item's start;
        // the pause of a freshly loaded track leaves it at 0.
        std::vector<double> late;
        for (const Heard& h : recorder.Taken())
            if (h.entry.message == PlayerMessage::Command && h.entry.code == WINAMP_BUTTON3 &&
                h.entry.state == static_cast<int>(PlayerState::Paused) && h.entry.pos >= static_cast<std::int32_t>(kPart.start))
                late.push_back(static_cast<double>(h.entry.pos) - kPart.end);
        if (!done || late.size() < kChanges) {
            state.SkipWithError("fewer changes than asked for");
            return;
        }
        late.resize(kChanges);
        state.counters["pause_late_ms_max"] = *std::max_element(late.begin(), late.end());
        state.counters["pause_late_ms_min"] = *std::min_element(late.begin(), late.end());
        state.counters["pause_late_ms_mean"] = Mean(late);
        state.counters["changes"] = static_cast<double>(late.size());
    }
}

// The fake players answer on the calling thread, so both the process and
// the per-loop figures include their work; with measuring, the process
// figure includes the measuring worker's too.
void PlayingCpu(benchmark::State& state)
{
    constexpr auto kPlaying = std::chrono::seconds(60);
    fake::MixRig rig;
    Prepare(rig, {1000, 21000}, {1000, 21000}, 6, {FADE_OVER, 3000, 0});
    for (int i = 0; i < rig.players.Count(); ++i)
        rig.players.Player(i).ClearLog();
    const Measuring measuring(state.range(0) != 0);
    for (auto _ : state) {
        StartRealTime(rig);
        const clockid_t info = ThreadClock(MixerState.Threads.hInfo);
        const clockid_t mixer = ThreadClock(MixerState.Threads.hMixer);
        const double process0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double info0 = CpuSeconds(info);
        const double mixer0 = CpuSeconds(mixer);
        const auto begin = Clock::now();
        std::this_thread::sleep_for(kPlaying);
        const double wall = Seconds(Clock::now() - begin);
        const double process = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
        const double infoUsed = CpuSeconds(info) - info0;
        const double mixerUsed = CpuSeconds(mixer) - mixer0;
        measuring.Report(state);
        StopRealTime(rig);
        state.SetIterationTime(wall);
        std::size_t messages = 0;
        for (int i = 0; i < rig.players.Count(); ++i)
            messages += rig.players.Player(i).Log().size();
        state.counters["cpu_percent"] = 100 * process / wall;
        state.counters["info_cpu_percent"] = 100 * infoUsed / wall;
        state.counters["mixer_cpu_percent"] = 100 * mixerUsed / wall;
        state.counters["player_msgs_per_s"] = static_cast<double>(messages) / wall;
        state.counters["changes"] = static_cast<double>(Changes(rig));
    }
}

}  // namespace

BENCHMARK(FadeSteps)->ArgName("measuring")->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PauseAtEnd)->ArgName("measuring")->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PlayingCpu)->ArgName("measuring")->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
