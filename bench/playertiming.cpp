// The substitute player's timing as heard: two tplayer.exe of its own play
// tones and pitch sweeps into the null sink of scripts/lib/env.sh
// start_sound while it records the sink and polls the positions they
// answer. Run by bench/playertiming.sh, which writes the report.
//
// - volume latency: from a volume command to its step in the recording;
// - position against sound after a start (a loaded player resumed, as
//   Tandem starts one), a resume after a pause, a jump while playing and a
//   start with the play button after a stop: the position answered when a
//   volume command sent then would be heard, minus the position the sweep's
//   pitch shows (positive: the answer runs ahead); and how long after the
//   command, beyond the volume latency, the new sound comes;
// - the gap at a hard cut: one player resumed, the other paused at once, as
//   NEXT does with fade and duo off;
// - the share of a 0.1, 0.3, 1 and 10 s file heard;
// - CPU of a player playing, paused and idle, and its private memory and
//   handles before and after LOADS loads (default 1000).
// Usage: playertiming FOLDER [LOADS [PLAYER-EXE]]
#include "e2e.h"
#include "sound.h"
#include "tandem.h"

#include "winamp.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr double kBlock = 5;  // ms
constexpr double kHeard = 0.25;                               // a tone's level at half its 0.5
constexpr int kRepeats = 4;
constexpr int kSweepMs = 10000;
constexpr std::int32_t kJumpTo = 6000;

struct Answer {
    double t;
    std::int32_t pos;
};

struct Event {
    std::string kind;
    int NO;
    double t;
    double from;  // the position it sounds from
};

std::vector<Answer> answers;
std::vector<Event> events;
std::vector<double> volumeCommands[2];  // each player's, alternately down and up
std::vector<std::pair<double, double>> cuts;  // the two commands of each hard cut
std::vector<std::pair<double, std::pair<double, int>>> files;  // command, tone and length of each file played
constexpr std::int32_t kVbrJumpTo = 8000;  // beyond the VBR file's header length
double vbrJump = 0;
std::uint32_t vbrLength = 0;

e2e::Recording recording;

// Listens for ms, asking player NO for its position all the while.
void Watch(int NO, int ms)
{
    const std::uint64_t end = e2e::NowMs() + static_cast<std::uint64_t>(ms);
    while (e2e::NowMs() < end) {
        const double t = static_cast<double>(e2e::NowMs());
        answers.push_back({t, static_cast<std::int32_t>(WAmpCmGetSongPos(NO))});
        recording.Listen(2);
    }
}

// As Tandem loads a track: paused at its start, at full volume.
void Load(int NO, const std::string& file)
{
    WAmpCmSetVolume(NO, 0);
    WAmpBtPause(NO);
    WAmpBtStop(NO);
    WAmpCmDeletePlayList(NO);
    WAmpCmPlayFile(NO, file.c_str());
    WAmpBtPlay(NO);
    WAmpBtPause(NO);
    WAmpCmSetVolume(NO, 255);
    WAmpCmJump(NO, 0);
}

void Mark(const std::string& kind, int NO, double from) { events.push_back({kind, NO, static_cast<double>(e2e::NowMs()), from}); }

// Steps player NO's volume down and up five times while it plays a 1000 Hz tone.
void StepVolume(int NO, const std::string& tone)
{
    Load(NO, tone);
    WAmpBtPause(NO);
    recording.Listen(600);
    for (int i = 0; i < 5; ++i)
        for (const int volume : {0, 255}) {
            volumeCommands[NO].push_back(static_cast<double>(e2e::NowMs()));
            WAmpCmSetVolume(NO, volume);
            recording.Listen(250);
        }
    WAmpBtStop(NO);
}

HWND PlayerWindow(DWORD pid)
{
    HWND window = nullptr;
    e2e::WaitUntil([&] {
        for (const HWND hwnd : e2e::TopLevelWindows(WAMP_WINDOWCLASS))
            if (e2e::WindowProcess(hwnd) == pid)
                window = hwnd;
        return window != nullptr;
    }, 20000);
    return window;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return NAN;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The sweep's position heard around ms (20 ms window); -1 for no tone.
double HeardPos(double ms)
{
    const double hz = recording.Pitch(ms - 10, 20);
    return hz > 0 ? e2e::SweepPos(hz) : -1;
}

std::int32_t AnswerAt(double ms)
{
    const auto closest = std::min_element(answers.begin(), answers.end(),
                                       [ms](const Answer& a, const Answer& b) { return std::fabs(a.t - ms) < std::fabs(b.t - ms); });
    return closest == answers.end() ? -1 : closest->pos;
}

double VolumeLatency(int NO)
{
    std::vector<double> lags;
    for (std::size_t i = 0; i < volumeCommands[NO].size(); ++i) {
        const double t = volumeCommands[NO][i];
        const double full = recording.Level(1000, t - 50, kBlock);
        for (double u = t; u < t + 1000; u += 0.5) {
            const double level = recording.Level(1000, u, kBlock);
            if (i % 2 == 0 ? level < full / 2 : level > kHeard) {
                lags.push_back(u - t);
                break;
            }
        }
    }
    return Median(lags);
}

void ReportOffsets(const double* latency)
{
    std::map<std::string, std::vector<double>> offsets, delays, stale;
    for (const Event& e : events) {
        double on = -1;
        for (double t = e.t; t < e.t + 1500 && on < 0; t += 1)
            if (recording.Loudness(t, kBlock) > 0.1 && std::fabs(HeardPos(t + 10) - e.from) < 300)
                on = t;
        if (on < 0) {
            std::printf("%s at %.0f: no sound from %.0f;", e.kind.c_str(), e.t, e.from);
            for (double t = e.t; t < e.t + 1500; t += 50)
                std::printf(" %.0f:%.2f/%.0f", t - e.t, recording.Loudness(t, kBlock), HeardPos(t + 10));
            std::printf("\n");
            continue;
        }
        // Before a start or resume sounds, any sound is stale: a jump's old point plays on until it moves.
        double stray = 0;
        for (double t = e.t; t < on && e.kind != "jump"; t += kBlock)
            stray += recording.Loudness(t, kBlock) > 0.1 ? kBlock : 0;
        stale[e.kind].push_back(stray);
        std::vector<double> off;
        for (double t = on + 20; t < on + 400; t += 10)
            off.push_back(AnswerAt(t - latency[e.NO]) - HeardPos(t));
        offsets[e.kind].push_back(Median(off));
        delays[e.kind].push_back(on - e.t - latency[e.NO]);
    }
    for (const auto& [kind, list] : offsets) {
        std::printf("position against sound after %-18s", (kind + ":").c_str());
        for (const double v : list)
            std::printf(" %+5.1f", v);
        std::printf(" ms; sound %+.0f ms after the command beyond the volume latency (median); stale sound before it at most "
                    "%.0f ms\n", Median(delays[kind]), *std::max_element(stale[kind].begin(), stale[kind].end()));
    }
}

// When the tone's level first falls below, or rises above, a fifth of its
// level after ms; 1 s later at most.
double Edge(double ms, double hz, bool rises)
{
    double t = ms;
    while (t < ms + 1000 && (recording.Level(hz, t, kBlock) > 0.1) != rises)
        t += 1;
    return t;
}

void ReportCuts(const double* latency)
{
    std::printf("gap at a hard cut:");
    for (const auto& [resume, pause] : cuts) {
        int quiet = 0, longest = 0;
        for (double t = resume; t < pause + 500; t += 5) {
            quiet = recording.Level(400, t, kBlock) < 0.1 && recording.Level(1000, t, kBlock) < 0.1 ? quiet + 5 : 0;
            longest = std::max(longest, quiet);
        }
        std::printf(" %d (out %+.0f, in %+.0f)", longest, Edge(pause, 400, false) - pause - latency[0],
                    Edge(resume, 1000, true) - resume - latency[1]);
    }
    std::printf(" ms (5 ms blocks where neither tone reaches a fifth of its level; when the outgoing tone falls and the "
                "incoming one rises, after their commands, beyond the volume latency)\n");
}

// The 10 s VBR file without a Xing header (a noise burst, then 1200 Hz),
// which its header times at about 7 s: played, then moved past that.
void ReportVbr()
{
    double heard = 0;
    for (double t = vbrJump; t < vbrJump + 4000; t += kBlock)
        heard += recording.Level(1200, t, kBlock) > kHeard ? kBlock : 0;
    std::int32_t last = 0;
    for (const Answer& a : answers)
        last = a.t > vbrJump ? std::max(last, a.pos) : last;
    std::printf("VBR file without a Xing header (10 s, its header says about 7 s): length answered %u s; after a jump to %d "
                "it sounds %.0f ms of the 2000 left, the last position answered %d\n",
                vbrLength, kVbrJumpTo, heard, last);
}

void ReportFiles()
{
    std::printf("share heard:");
    for (const auto& [t, tone] : files) {
        int heard = 0;
        double first = -1, last = -1;
        for (double u = t; u < t + tone.second + 1500; u += 5)
            if (recording.Level(tone.first, u, kBlock) > kHeard) {
                heard += 5;
                first = first < 0 ? u : first;
                last = u;
            }
        std::printf(" %.1f s %.0f %% (%.0f..%.0f);", tone.second / 1000.0, 100.0 * heard / tone.second, first - t, last - t);
    }
    std::printf(" (5 ms blocks at half the tone's level or more)\n");
}

// The Linux process of the player whose command line names its journal:
// Wine tells other processes' times and memory poorly, /proc well.
std::string ProcOf(const std::string& journal)
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    std::string proc;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more && proc.empty(); more = FindNextFileA(search, &found)) {
        const std::string dir = std::string("Z:\\proc\\") + found.cFileName;
        if (std::isdigit(static_cast<unsigned char>(found.cFileName[0])) &&
            e2e::ReadBytes(dir + "\\cmdline").find(journal) != std::string::npos)
            proc = dir;
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return proc;
}

// User and system time in ms (fields 14 and 15 of stat, in ticks of 10 ms).
double CpuMs(const std::string& proc)
{
    std::string stat = e2e::ReadBytes(proc + "\\stat");
    stat = stat.substr(std::min(stat.size(), stat.rfind(')') + 2));
    long fields[13] = {};
    char state = 0;
    std::sscanf(stat.c_str(), "%c %ld %ld %ld %ld %ld %ld %ld %ld %ld %ld %ld %ld", &state, &fields[0], &fields[1], &fields[2],
                &fields[3], &fields[4], &fields[5], &fields[6], &fields[7], &fields[8], &fields[9], &fields[10], &fields[11]);
    return (fields[10] + fields[11]) * 10.0;
}

// A line "Name: value ..." of a /proc text file.
long ProcValue(const std::string& file, const std::string& name)
{
    const std::string text = e2e::ReadBytes(file);
    const std::size_t at = text.find("\n" + name + ":");
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + name.size() + 2);
}

// The share of a core the process takes over 10 s.
double CpuShare(const std::string& proc)
{
    const double cpu = CpuMs(proc);
    Sleep(10000);
    return (CpuMs(proc) - cpu) / 100;
}

void ReportCpu(int NO, const std::string& proc, const std::string& tone, double fresh)
{
    const auto share = [&](const char* what) { std::printf(" %s %.2f %%", what, CpuShare(proc)); };
    std::printf("player CPU (of a core, over 10 s): idle before any load %.2f %%", fresh);
    WAmpBtStop(NO);
    WAmpCmDeletePlayList(NO);
    Sleep(500);
    share("idle after loads");
    Load(NO, tone);
    WAmpBtPause(NO);
    Sleep(500);
    share("playing");
    WAmpBtPause(NO);
    Sleep(500);
    share("paused");
    std::printf("\n");
}

void ReportMemory(int NO, const std::string& proc, const std::vector<std::string>& songs, int loads)
{
    const auto take = [&](const std::string& when) {
        long fds = 0;
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((proc + "\\fd\\*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
            fds += found.cFileName[0] != '.';
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        const long priv = ProcValue(proc + "\\smaps_rollup", "Private_Clean") + ProcValue(proc + "\\smaps_rollup", "Private_Dirty");
        std::printf(" %s %.1f MB private, %ld threads, %ld files open;", when.c_str(), priv / 1024.0,
                    ProcValue(proc + "\\status", "Threads"), fds);
    };
    std::printf("memory:");
    take("after 1 load");
    for (int i = 0; i < loads; ++i) {
        Load(NO, songs[static_cast<std::size_t>(i) % songs.size()]);
        WAmpBtPause(NO);
        e2e::WaitUntil([&] { return static_cast<std::int32_t>(WAmpCmGetSongPos(NO)) > 50; }, 5000, 5);
    }
    WAmpBtStop(NO);
    Sleep(1000);
    take("after " + std::to_string(loads + 1) + " loads");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return std::fprintf(stderr, "usage: playertiming FOLDER [LOADS [PLAYER-EXE]]\n"), 2;
    const std::string folder = argv[1];
    const int loads = argc > 2 ? std::atoi(argv[2]) : 1000;
    const std::string player = argc > 3 ? argv[3] : e2e::TplayerExe();
    const auto song = [&](const char* name) { return e2e::JoinPath(folder, std::string(name) + ".mp3"); };
    if (!e2e::RunUnix(folder, e2e::ToneScript("sweep", 0, kSweepMs) + " && " + e2e::ToneScript("low", 400, 10000) + " && " +
                                  e2e::ToneScript("high", 1000, 10000) + " && " + e2e::ToneScript("f100", 600, 100) + " && " +
                                  e2e::ToneScript("f300", 800, 300) + " && " + e2e::ToneScript("f1000", 1000, 1000) + " && " +
                                  e2e::ToneScript("f10000", 1200, 10000) +
                                  " && sox -n -r 44100 -c 2 -b 16 noise.wav synth 0.3 whitenoise vol 0.9"
                                  " && sox -n -r 44100 -c 2 -b 16 late.wav synth 9.7 sine 1200 vol 0.5"
                                  " && sox noise.wav late.wav vbr.wav && lame --quiet -V 0 -t vbr.wav vbr.mp3"))
        return std::fprintf(stderr, "cannot make the tones (sox, lame)\n"), 1;
    std::string procs[2];
    for (const char* name : {"a", "b"}) {
        const std::string journal = std::string("player-") + name + ".journal";
        e2e::Process p;
        if (!e2e::Start(player, {"--journal", e2e::JoinPath(folder, journal)}, &p))
            return std::fprintf(stderr, "cannot start %s\n", player.c_str()), 1;
        procs[WAmpInstAdd(PlayerWindow(p.pid)) - 1] = ProcOf(journal);
    }
    const int a = 0, b = 1;
    const double fresh = CpuShare(procs[a]);

    recording.Start(folder, "timing.raw", 100);
    recording.Listen(500);
    // A new player's first load readies the media stack first: seconds.
    for (const int NO : {b, a}) {
        Load(NO, song("sweep"));
        recording.Listen(3000);
        Mark("a new player's start", NO, 0);
        WAmpBtPause(NO);
        Watch(NO, 600);
        WAmpBtStop(NO);
        recording.Listen(300);
    }
    StepVolume(a, song("high"));
    StepVolume(b, song("high"));
    for (int i = 0; i < kRepeats; ++i) {
        Load(a, song("sweep"));
        recording.Listen(400);
        Mark("start", a, 0);
        WAmpBtPause(a);
        Watch(a, 700);
        WAmpBtPause(a);
        const std::int32_t paused = static_cast<std::int32_t>(WAmpCmGetSongPos(a));
        recording.Listen(400);
        Mark("resume", a, paused);
        WAmpBtPause(a);
        Watch(a, 700);
        Mark("jump", a, kJumpTo);
        WAmpCmJump(a, kJumpTo);
        Watch(a, 700);
        WAmpBtStop(a);
        recording.Listen(400);
        Mark("play after a stop", a, 0);
        WAmpBtPlay(a);
        Watch(a, 700);
        WAmpBtStop(a);
        recording.Listen(300);
    }
    for (int i = 0; i < 3; ++i) {
        Load(a, song("low"));
        WAmpBtPause(a);
        Load(b, song("high"));
        recording.Listen(800);
        const double resume = static_cast<double>(e2e::NowMs());
        WAmpBtPause(b);
        const double pause = static_cast<double>(e2e::NowMs());
        WAmpBtPause(a);
        cuts.emplace_back(resume, pause);
        recording.Listen(700);
        WAmpBtStop(b);
    }
    WAmpBtStop(a);
    for (const auto& [name, tone] : std::vector<std::pair<std::string, std::pair<double, int>>>{
             {"f100", {600, 100}}, {"f300", {800, 300}}, {"f1000", {1000, 1000}}, {"f10000", {1200, 10000}}}) {
        Load(b, song(name.c_str()));
        recording.Listen(400);
        files.push_back({static_cast<double>(e2e::NowMs()), tone});
        WAmpBtPause(b);
        recording.Listen(tone.second + 800);
    }
    Load(b, song("vbr"));
    recording.Listen(800);
    WAmpBtPause(b);
    Watch(b, 1500);
    vbrLength = WAmpCmGetSongLen(b);
    vbrJump = static_cast<double>(e2e::NowMs());
    WAmpCmJump(b, kVbrJumpTo);
    Watch(b, 3000);
    WAmpBtStop(b);
    if (!recording.Finish())
        return std::fprintf(stderr, "no recording\n"), 1;

    const double latency[2] = {VolumeLatency(a), VolumeLatency(b)};
    std::printf("volume latency (command to step, recording start bounded from above): %.0f ms, the other player %.0f ms\n",
                latency[a], latency[b]);
    ReportOffsets(latency);
    ReportCuts(latency);
    ReportFiles();
    ReportVbr();
    std::fflush(stdout);
    ReportCpu(a, procs[a], song("low"), fresh);
    std::fflush(stdout);
    ReportMemory(b, procs[b], {song("sweep"), song("low"), song("high")}, loads);
    e2e::StopAll();
    return 0;
}
