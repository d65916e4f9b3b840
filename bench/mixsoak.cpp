// A soak of the mixing engine: the real worker threads against simulated
// players on a fast clock (their Sleep and GetTickCount follow it), a user
// and faults between the changes. Meant to run under AddressSanitizer and
// ThreadSanitizer. Prints a report: changes made, the longest time without
// an audible player that the user did not cause, the longest mix.
//
// The user presses NEXT, SKIP, Load, PAUSE (and resumes), STOP (and NEXT a
// while later, sometimes with a short duo), stops the playing player from
// its own window, deletes items, changes the fade settings, repeat and
// shuffle. When nothing plays and the user did not stop it, the user presses
// NEXT only now and then. Faults: files removed before their turn, tracks
// whose file ends early, players that vanish or hang for a while, a sound
// device that fails for a while (every playing main player stops at once),
// and a database replaced during a mix.
//
//   mixsoak [changes] [seed] [report file] [clock speed]
// SIGINT or SIGTERM ends the run early, with the report.
#include "defs.h"
#include "fndb.h"
#include "fncomm.h"
#include "fnmain.h"
#include "fnmix.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnsong.h"
#include "fnthr.h"
#include "mixrig.h"
#include "winamp.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <deque>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

namespace {

constexpr UINT kAction = WM_USER + 100;
constexpr int kMinItems = 8;
constexpr std::uint64_t kReportSilenceMs = 1000;
// The watch loop's pause, and how much later than that it must wake to count
// as a stall of the host (real milliseconds).
constexpr double kTickMs = 0.5;
constexpr double kStallMs = 2;
// Faults this close before a silence count as its causes.
constexpr std::uint64_t kFaultWindowMs = 3000;

volatile std::sig_atomic_t Interrupted = 0;
extern "C" void Interrupt(int) { Interrupted = 1; }

enum Action {
    NEXT, SKIP, LOAD, PAUSE, STOP, STOP_NEXT_DUO, WINDOW_STOP, DEL_CUR, DEL_NEXT, DEL_OTHER, FADES, TOGGLES,
    REMOVE_FILE, VANISH, HANG, DEVICE, NEW_DB, COUNT
};
constexpr const char* kNames[COUNT] = {"next", "skip", "load", "pause", "stop", "stop+next-duo", "window-stop",
                                       "del-cur", "del-next", "del-other", "fades", "toggles", "remove-file",
                                       "vanish", "hang", "device", "new-db-mid-mix"};
// How often each comes up, relative to the others.
constexpr double kWeights[COUNT] = {8, 6, 4, 3, 2, 2, 2, 2, 2, 2, 3, 3, 1, 0.5, 0.5, 0.5, 1};

struct Soak {
    fake::MixRig rig;
    HWND ui = nullptr;  // the control panel: mixer changes and user actions run here one at a time
    std::mt19937 rng;
    std::discrete_distribution<int> pick{std::begin(kWeights), std::end(kWeights)};
    std::atomic<int> changes{0}, skipped{0};
    // The silence the user causes: a PAUSE until it is resumed, a STOP (from
    // the panel or the player's window) until the user's NEXT.
    std::atomic<bool> userPaused{false}, userStopped{false};
    std::uint64_t nextAfterStop = 0;  // a NEXT due after a STOP
    std::atomic<std::uint64_t> deviceBackAt{0};
    std::map<fake::SimPlayer*, std::uint64_t> hungUntil;
    int names = 0;
    int actions[COUNT] = {};
    std::atomic<bool> newDbAtMix{false};
    // The last events, printed with a silence longer than the target.
    std::mutex mutex;  // guards events and hungUntil, which the watching thread reads
    std::deque<std::string> events;

    // The playlist is read only on the panel's dispatch, as Tandem reads it
    // only on its user-interface thread; the watching thread leaves it out.
    void Event(const std::string& what, bool withPlaylist = true)
    {
        std::ostringstream line;
        line << Now() << " " << what << " cur=" << StateGetCurPLI() << " next=" << StateGetNextPLI()
             << " act=" << StateGetActPlayer() << " fading=" << StateGetFading() << " stopped=" << MixGetUserStopped()
             << " rep=" << StateGetRepeat() << " shuf=" << StateGetShuffle();
        if (withPlaylist)
            line << " items=" << PLGetCount(MainGetCurrentPL()) << " present=" << PresentItems()
                 << " plcur=" << PLGetCurrentPLI(MainGetCurrentPL());
        std::lock_guard lock(mutex);
        events.push_back(line.str());
        if (events.size() > 40)
            events.pop_front();
    }

    void Dump(const std::string& what)
    {
        std::lock_guard lock(mutex);
        std::cerr << "mixsoak: " << what << " ended at " << Now() << " after:\n";
        for (const std::string& e : events)
            std::cerr << "  " << e << "\n";
    }

    explicit Soak(unsigned seed) : rng(seed)
    {
        ui = fake::CreateWindow("#32770", [this](UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == MIXMSG_VOLUME)
                MixSetVolume(static_cast<int>(wParam), static_cast<int>(lParam));
            else if (msg == MIXMSG_CHANGE)
                MixOnChangeMsg(wParam, lParam);
            else if (msg == MIXMSG_ACTPLAYER)
                ++changes, Event("change");
            else if (msg == MIXMSG_SKIPPED)
                ++skipped;
            else if (msg == MIXMSG_NEXTPLI)
                ListEnded();  // seen here too: a stalled watching thread could miss a short end
            else if (msg == kAction)
                Act(static_cast<int>(wParam));
            return LRESULT{0};
        });
        MixSetDestWindow(ui);
        StateSetRepeat(1);
        FillPlaylist();
        MixSetNextPLI(ui, PLGetFirstPLI(MainGetCurrentPL()));
        MixNext(ui);
    }

    int Random(int below) { return std::uniform_int_distribution<int>(0, below - 1)(rng); }
    std::uint64_t Now() { return rig.Clock().Now(); }

    // Items whose file is there, beside those the faults removed.
    int PresentItems()
    {
        int present = 0;
        for (int i = 0; i < PLGetCount(MainGetCurrentPL()); ++i)
            present += FileExists(SongGetFileName(PLGetSong(MainGetCurrentPL(), i))) ? 1 : 0;
        return present;
    }

    void FillPlaylist()
    {
        while (PresentItems() < kMinItems + 4) {
            const auto length = static_cast<std::uint32_t>(1500 + Random(2500));
            const std::string name = std::string("s").append(std::to_string(names++)).append(".mp3");
            rig.AddItem(name, length + 500, 0, length);
            if (Random(5) == 0)  // the stored length is wrong: the file ends early
                rig.players.SetLength(rig.PathOf(name), length * static_cast<std::uint32_t>(6 + Random(4)) / 10);
        }
    }

    PLI* RandomItem()
    {
        const int count = PLGetCount(MainGetCurrentPL());
        return count > 0 ? PLGetPLI(MainGetCurrentPL(), Random(count)) : nullptr;
    }

    void Delete(const PLI* pli)
    {
        PL* pl = MainGetCurrentPL();
        for (int i = 0; i < PLGetCount(pl); ++i)
            if (PLGetPLI(pl, i) == pli) {
                PLFreePLIByIdx(pl, i);
                return;
            }
    }

    fake::SimPlayer* MainPlayer(int slot) { return rig.players.Slot(slot); }

    void UserNext()
    {
        userStopped = false;
        nextAfterStop = 0;
        MixNext(ui);
    }

    std::deque<std::uint64_t> faults;  // when the faults came, the last minute's

    std::size_t FaultsSince(std::uint64_t from)
    {
        std::lock_guard lock(mutex);
        return static_cast<std::size_t>(std::count_if(faults.begin(), faults.end(), [&](std::uint64_t t) { return t >= from; }));
    }

    void Act(int action)
    {
        ++actions[action];
        Event(kNames[action]);
        if (action == NEXT || action == SKIP || action == LOAD)
            listEnded = false;
        const int act = StateGetActPlayer();
        switch (action) {
        case NEXT: UserNext(); break;
        case SKIP: MixSkip(ui); break;
        case LOAD: MixSetNextPLI(ui, RandomItem()); break;
        case PAUSE:
            WAmpBtPause(act);
            userPaused = WAmpCmIsPlaying(act) == PLAYSTAT_PAUSED;
            break;
        case STOP_NEXT_DUO:
            StateSetFade(0);
            StateSetDuo(1);
            StateSetDuoLen(static_cast<std::uint32_t>(100 + Random(200)));
            MixRecalcBeat(StateGetNextPLI());
            [[fallthrough]];
        case STOP:
            MixStopByUser();
            userStopped = true;
            nextAfterStop = Now() + 100 + static_cast<std::uint64_t>(Random(action == STOP ? 3000 : 300));
            break;
        case WINDOW_STOP:
            if (WAmpCmIsPlaying(act) == PLAYSTAT_PLAYING) {
                WAmpBtStop(act);
                userStopped = true;
                nextAfterStop = Now() + 500 + static_cast<std::uint64_t>(Random(3000));
            }
            break;
        case DEL_CUR: Delete(StateGetCurPLI()); break;
        case DEL_NEXT: Delete(StateGetNextPLI()); break;
        case DEL_OTHER: Delete(RandomItem()); break;
        case FADES:
            StateSetFade(Random(4) != 0);
            StateSetDuo(Random(2));
            StateSetFadeType(Random(4));
            StateSetFadeLen(static_cast<std::uint32_t>(Random(4) * 100));
            StateSetDuoLen(static_cast<std::uint32_t>(Random(3) * 100));
            MixRecalcBeat(StateGetNextPLI());
            break;
        case TOGGLES:
            StateSetShuffle(Random(2));
            StateSetRepeat(Random(4) != 0);
            break;
        case REMOVE_FILE:
            if (const PLI* pli = Random(2) ? MixGetQueuedPLI() : RandomItem())
                std::remove(SongGetFileName(PLIGetSong(pli)));
            break;
        case VANISH:
            if (fake::SimPlayer* player = MainPlayer(Random(2)))
                player->Close();
            break;
        case HANG:
            if (fake::SimPlayer* player = MainPlayer(Random(2))) {
                Event(player == MainPlayer(act) ? "the active player hangs" : "the passive player hangs");
                player->Hang(true);
                std::lock_guard lock(mutex);
                hungUntil[player] = Now() + 500 + static_cast<std::uint64_t>(Random(3000));
            }
            break;
        case DEVICE: deviceBackAt = Now() + 1000 + static_cast<std::uint64_t>(Random(3000)); break;
        case NEW_DB:
            newDbAtMix = !StateGetFading();
            if (newDbAtMix) {
                --actions[action];
                break;
            }
            DBFree(MainGetDB());
            DBInit(MainGetDB());
            break;
        default: break;
        }
        if (action >= REMOVE_FILE && !(action == NEW_DB && newDbAtMix)) {
            std::lock_guard lock(mutex);
            faults.push_back(action == DEVICE ? deviceBackAt.load() : Now());  // a failed device lasts until it is back
            while (faults.front() + 60000 < Now())
                faults.pop_front();
        }
        FillPlaylist();
    }

    // The user's next step: resume a PAUSE, press NEXT after a STOP, and,
    // when nothing plays without the user having stopped it, NEXT now and then.
    int NextAction()
    {
        if (userPaused)
            return PAUSE;
        if (userStopped)
            return nextAfterStop != 0 && Now() >= nextAfterStop ? NEXT : -1;
        if (!Audible() && Random(10) == 0)
            return NEXT;
        return pick(rng);
    }

    bool DeviceDown() { return Now() < deviceBackAt; }

    // A hung player makes no sound; the device's failure stops every main player that plays.
    bool Audible()
    {
        bool audible = false;
        for (int slot : {SLOT_PL1, SLOT_PL2}) {
            fake::SimPlayer* player = MainPlayer(slot);
            if (player == nullptr || player->Model().State() != PlayerState::Playing)
                continue;
            std::lock_guard lock(mutex);
            if (DeviceDown())
                player->Model().Command(WINAMP_BUTTON4);
            else if (hungUntil.count(player) == 0 && player->Model().Volume() > 0)
                audible = true;
        }
        return audible;
    }

    // State, level and whether hung of each main player, and whether its registration counts it gone.
    std::string Players()
    {
        std::ostringstream text;
        for (int slot : {SLOT_PL1, SLOT_PL2}) {
            fake::SimPlayer* p = MainPlayer(slot);
            std::lock_guard lock(mutex);
            text << "slot" << slot << "=" << (p ? static_cast<int>(p->Model().State()) : -1) << "/"
                 << (p ? p->Model().Volume() : -1) << (p && hungUntil.count(p) ? "/hung" : "")
                 << (WAmpInstGone(slot) ? "/gone " : " ");
        }
        return text.str();
    }

    void EndHangs()
    {
        std::lock_guard lock(mutex);
        for (auto it = hungUntil.begin(); it != hungUntil.end();)
            if (Now() >= it->second) {
                it->first->Hang(false);
                it = hungUntil.erase(it);
            } else {
                ++it;
            }
    }

    // The list ended because the user made it finite (repeat and shuffle
    // off, nothing to play); it stays so until the user starts it again.
    std::atomic<bool> listEnded{false};
    bool ListEnded()
    {
        if (!StateGetRepeat() && !StateGetShuffle() && StateGetCurPLI() == nullptr && MixGetQueuedPLI() == nullptr)
            listEnded = true;
        return listEnded;
    }
};

// The longest stretch of a condition in track time, also without the time
// the host did not run this program: on a loaded machine a thread wakes late,
// and the fast clock multiplies that.
struct Longest {
    bool on = false;
    std::uint64_t since = 0, stalled = 0, longest = 0, longestRunning = 0;
    // Counts while On; returns the length of a stretch that ends now, host stalls taken off.
    std::uint64_t See(bool On, std::uint64_t now, std::uint64_t stall)
    {
        const std::uint64_t length = now - since;
        const std::uint64_t running = length > stalled + stall ? length - stalled - stall : 0;
        if (On) {
            // A stall before the first tick that sees the stretch may hold its start.
            stalled += stall;
            longest = std::max(longest, length);
            longestRunning = std::max(longestRunning, running);
        } else {
            since = now;
            stalled = 0;
        }
        const bool ended = on && !On;
        on = On;
        return ended ? running : 0;
    }
};

// How long each thread of this program has waited for a processor (ns), by
// thread id: while one waits, the fast clock runs on without it.
std::map<std::string, std::uint64_t> ProcessorWaits()
{
    std::map<std::string, std::uint64_t> waits;
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ignored)) {
        std::uint64_t ran = 0, waited = 0;
        if (std::ifstream(task.path() / "schedstat") >> ran >> waited)
            waits[task.path().filename().string()] = waited;
    }
    return waits;
}

// The longest wait of any one thread between two readings, in track time.
std::uint64_t LongestWait(const std::map<std::string, std::uint64_t>& before, double speed)
{
    std::uint64_t longest = 0;
    for (const auto& [thread, waited] : ProcessorWaits()) {
        const auto found = before.find(thread);
        longest = std::max(longest, waited - (found != before.end() ? std::min(found->second, waited) : 0));
    }
    return static_cast<std::uint64_t>(static_cast<double>(longest) / 1e6 * speed);
}

// The user's hands, on a thread of their own: one step every 50 to 450 ms of track time.
void UserLoop(Soak& soak, const std::atomic<bool>& done)
{
    while (!done) {
        soak.EndHangs();
        if (soak.newDbAtMix && StateGetFading())
            SendMessageA(soak.ui, kAction, NEW_DB, 0);
        if (const int action = soak.NextAction(); action >= 0)
            SendMessageA(soak.ui, kAction, static_cast<WPARAM>(action), 0);
        soak.rig.Clock().Sleep(static_cast<std::uint32_t>(50 + soak.Random(400)));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int target = argc > 1 ? std::atoi(argv[1]) : 10000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1;
    const double speed = argc > 4 ? std::atof(argv[4]) : 10;
    std::signal(SIGINT, Interrupt);
    std::signal(SIGTERM, Interrupt);
    Soak soak(seed);
    soak.rig.Clock().RunFaster(speed);
    InitThreads();
    std::atomic<bool> done{false};
    std::thread user(UserLoop, std::ref(soak), std::cref(done));

    // This thread only watches, so how late it wakes tells the host's stalls.
    Longest unexcused, afterDevice, mix;
    std::uint64_t longestSingle = 0, longestMultiple = 0, longestUnwaited = 0;
    std::map<std::string, std::uint64_t> waitsAtSilence;
    auto lastTick = std::chrono::steady_clock::now();
    std::uint64_t lastReport = 0;
    bool deviceSilence = false, noted = false;
    const auto began = std::chrono::steady_clock::now();
    while (soak.changes < target && Interrupted == 0) {
        const std::uint64_t now = soak.Now();
        const auto tick = std::chrono::steady_clock::now();
        const double late = std::chrono::duration<double, std::milli>(tick - lastTick).count() - kTickMs;
        const auto stall = static_cast<std::uint64_t>(late > kStallMs ? late * speed : 0);
        lastTick = tick;
        const bool audible = soak.Audible();
        // Silence from a device failure lasts until a track plays again; it is counted apart.
        deviceSilence = !audible && (soak.DeviceDown() || deviceSilence);
        const bool excused = soak.userPaused || soak.userStopped || soak.ListEnded();
        if (!audible && !excused && !deviceSilence && now - unexcused.since > 300 && !noted) {
            noted = true;
            soak.Event("silent: " + soak.Players(), false);
        }
        noted = noted && !audible && !excused;
        // A silence also loses the longest time any one thread waited for a
        // processor meanwhile, when that is more than this thread's stalls.
        const bool silent = !audible && !excused && !deviceSilence;
        if (silent && !unexcused.on)
            waitsAtSilence = ProcessorWaits();
        const std::uint64_t length = now - unexcused.since, stalled = unexcused.stalled + stall;
        if (std::uint64_t silence = unexcused.See(silent, now, stall)) {
            const std::uint64_t waited = std::max(stalled, LongestWait(waitsAtSilence, speed));
            silence = length > waited ? length - waited : 0;
            longestUnwaited = std::max(longestUnwaited, silence);
            // Two faults close together may take longer than one; they are told apart.
            const bool single = soak.FaultsSince(now - silence - kFaultWindowMs) <= 1;
            (single ? longestSingle : longestMultiple) = std::max(single ? longestSingle : longestMultiple, silence);
            if (silence > kReportSilenceMs)
                soak.Dump("silence of " + std::to_string(silence) + " ms (waits for a processor taken off)");
        }
        afterDevice.See(deviceSilence && !soak.DeviceDown() && !excused, now, stall);
        mix.See(StateGetFading() != 0, now, stall);
        if (now - lastReport >= 600000) {
            lastReport = now;
            std::cerr << "mixsoak: " << soak.changes << " changes, longest silence " << unexcused.longest << " ms\n";
        }
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(kTickMs));
    }
    done = true;
    user.join();
    StopThreads();
    soak.rig.Clock().RunFaster(0);
    MixSetDestWindow(nullptr);

    const double realSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::ostringstream report;
    report << "mixer soak, seed " << seed << ", clock " << speed << "x real time, " << realSeconds << " s real, "
           << soak.Now() / 1000 << " s of track time\n"
           << "changes made: " << soak.changes << "\n"
           << "longest silence not caused by the user or a failed sound device: " << unexcused.longest << " ms ("
           << unexcused.longestRunning << " ms without this thread's stalls, " << longestUnwaited
           << " ms without the longest wait of any thread for a processor)\n"
           << "  without waits for a processor, after at most one fault in the " << kFaultWindowMs << " ms before it: "
           << longestSingle << " ms; after two or more: " << longestMultiple << " ms\n"
           << "longest silence after a failed sound device came back: " << afterDevice.longest << " ms ("
           << afterDevice.longestRunning << " ms without host stalls)\n"
           << "longest mix (fading flag set): " << mix.longest << " ms\n"
           << "missing tracks skipped: " << soak.skipped << "\n"
           << "players started again: " << soak.rig.players.Launches() - MAXI_WINAMP << "\n"
           << "actions:";
    for (int i = 0; i < COUNT; ++i)
        report << " " << kNames[i] << "=" << soak.actions[i];
    report << "\n";
    std::cout << report.str();
    if (argc > 3)
        std::ofstream(argv[3]) << report.str();
    return 0;
}
