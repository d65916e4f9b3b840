// mixinject: the unattended mixing benchmark's library and hands
// (bench/mixwine.sh).
//
//   mixinject --library FOLDER DATABASE COUNT [SEED [EXTRA]]
// writes COUNT silent tagged tracks of 20 to 60 s ("NN.mp3", titled
// "Track NN" by "Night Bench") into FOLDER and a database whose one
// playlist holds them all, stored as measured (silent, the whole track) so
// that Tandem has nothing to measure. EXTRA more tracks, in the track list
// only and not measured yet, keep its measuring busy meanwhile: hard links
// "measuring\NNNN.mp3" of one 60 s track, which take no room.
//
//   mixinject SECONDS SEED FOLDER
// waits for Tandem's control panel, sets up a fade over with duo, repeat on,
// queues the first item and presses NEXT; then, for SECONDS, a user's hands
// and faults take turns every 15 to 35 s: SKIP, NEXT, PAUSE and resume,
// STOP and NEXT, the fade and duo switches, a typed fade length, shuffle;
// a file removed before its turn (back after two minutes), the playing
// player killed, suspended for 10 s, or stopped from its own window (the
// user's NEXT follows). A "Track not found" prompt is answered after a
// second. Meanwhile it asks every player window every 50 ms whether it
// plays. With --calm there are no hands and no faults. Prints the changes, the user actions and faults, the longest time
// no player played that the user did not cause, the longest "Fading", and
// at the end the track list's information line (how far measuring got).
#include "drive.h"
#include "host.h"
#include "fncomm.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnana.h"
#include "fnsong.h"
#include "fntl.h"
#include "loudness.h"
#include "mp3gen.h"
#include "resource.h"
#include "string2.h"
#include "winamp.h"

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr char kPanelCaption[] = "Tandem v1.0 - Control Panel";
constexpr char kArtist[] = "Night Bench";
constexpr int kPollMs = 50;
constexpr int kAnswerMs = 1000;        // a user reads a prompt before answering
constexpr int kResumeMs = 3000;        // and resumes a PAUSE or STOP after a while
constexpr int kSuspendMs = 10000;
constexpr int kFileBackMs = 120000;

// What measuring a silent track gives: no loudness, the whole track as its music.
void MarkMeasured(SONG* song)
{
    const std::uint32_t length = song->General.lLength;
    const LOUDRESULT silent{-std::numeric_limits<double>::infinity(), 0, 0, length, 0, length, 0};
    AnaApply(song, AUDIO_DONE, &silent);
}

// Reads the track at path into the track list; null (after a message) when
// it cannot be written or read.
SONG* AddTrack(DB* db, const std::string& path, bool written)
{
    SONG* song = SongCreate();
    if (!written || song == nullptr || ReadSongInfos(path.c_str(), song, 1) != RSI_TAG) {
        std::fprintf(stderr, "mixinject: cannot write %s\n", path.c_str());
        return nullptr;
    }
    TLAddSong(DBGetTL(db), song);
    return song;
}

// Extra tracks to measure: hard links of one 60 s track.
bool AddExtras(DB* db, const std::string& folder, int extra)
{
    const std::string dir = folder + "\\measuring";
    const std::string source = dir + "\\source.mp3";
    MP3GENOPTIONS options;
    options.lDurationMs = 60000;
    options.bTag = true;
    options.cTitle = "Measuring";
    options.cArtist = kArtist;
    if (!CreateDirectoryA(dir.c_str(), nullptr) || !Mp3GenWrite(source.c_str(), options))
        return std::fprintf(stderr, "mixinject: cannot write %s\n", source.c_str()), false;
    for (int i = 1; i <= extra; ++i) {
        char name[16];
        StrFormat(name, sizeof name, "%04d.mp3", i);
        const std::string path = dir + "\\" + name;
        if (AddTrack(db, path, CreateHardLinkA(path.c_str(), source.c_str(), nullptr) != 0) == nullptr)
            return false;
    }
    return true;
}

int WriteLibrary(const std::string& folder, const std::string& dbPath, int count, unsigned seed, int extra)
{
    std::mt19937 rng(seed);
    DB db{};
    DBInit(&db);
    PL* pl = PLSetName(DBGetCurrentPL(&db), "Night");
    for (int i = 1; i <= count; ++i) {
        char name[16];
        StrFormat(name, sizeof name, "%02d.mp3", i);
        const std::string path = folder + "\\" + name;
        MP3GENOPTIONS options;
        options.lDurationMs = 20000 + static_cast<unsigned>(rng() % 40001);
        options.bTag = true;
        options.cTitle = std::string("Track ").append(name, 2);
        options.cArtist = kArtist;
        SONG* song = AddTrack(&db, path, Mp3GenWrite(path.c_str(), options));
        if (song == nullptr)
            return 1;
        MarkMeasured(song);
        PLAddSong(pl, song);
    }
    if (extra > 0 && !AddExtras(&db, folder, extra))
        return 1;
    DBSetPath(&db, dbPath.c_str());
    const bool stored = DBStore(&db) != 0;
    DBFree(&db);
    return stored ? 0 : 1;
}

struct Watch {
    std::uint64_t since = 0, longest = 0;
    void See(bool on, std::uint64_t now)
    {
        if (!on)
            since = 0;
        else if (since == 0)
            since = now;
        else if (now - since > longest)
            longest = now - since;
    }
};

bool Check(HWND panel, int id) { return e2e::CheckState(panel, id) == BST_CHECKED || e2e::Click(panel, id); }

// Fade over 2000 ms with a duo of 2000 ms, repeat on; the first item queued, NEXT.
bool Start(HWND panel)
{
    if (!Check(panel, CBFADE) || !Check(panel, CB2CHAN) || !Check(panel, CBREPEAT) || !e2e::Click(panel, RBFADEOVER) ||
        !e2e::SetComboText(panel, CBOFADELEN, "2000") || !e2e::SetComboText(panel, CBODUOLEN, "2000") ||
        !e2e::Click(panel, BTPLAYLIST))
        return false;
    const HWND editor = e2e::WaitForDialog(nullptr, 60000, [](HWND w) { return e2e::Control(w, LVPLAYLIST) != nullptr; });
    if (editor == nullptr || !e2e::ListViewSelect(e2e::Control(editor, LVPLAYLIST), 0) || !e2e::Click(editor, BTACTIVATE))
        return false;
    SendMessageA(editor, WM_CLOSE, 0, 0);
    return e2e::Click(panel, BTPLAYNEXT);
}

int Ask(HWND player, int command)
{
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(player, WM_USER, 0, command, SMTO_ABORTIFHUNG, 100, &answer) != 0 ? static_cast<int>(answer) : -1;
}

// The player windows that play now.
std::vector<HWND> Playing()
{
    std::vector<HWND> playing;
    for (const HWND w : e2e::TopLevelWindows(WAMP_WINDOWCLASS))
        if (Ask(w, IPC_ISPLAYING) == 1)
            playing.push_back(w);
    return playing;
}

using NtProcessCall = LONG(NTAPI*)(HANDLE);

NtProcessCall NtCall(const char* name)
{
    return reinterpret_cast<NtProcessCall>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

HANDLE OpenPlayer(HWND player)
{
    return OpenProcess(PROCESS_TERMINATE | PROCESS_SUSPEND_RESUME, FALSE, e2e::WindowProcess(player));
}

enum Kind { SKIP, NEXT, PAUSE, STOP, FADE, DUO, LENGTH, SHUFFLE, REMOVE, KILL, SUSPEND, WINDOW_STOP, KINDS };
constexpr const char* kKinds[KINDS] = {"skip", "next", "pause+resume", "stop+next", "fade switch", "duo switch",
                                       "typed fade length", "shuffle", "file removed before its turn",
                                       "player killed", "player suspended 10 s", "player stopped from its window"};

struct Hands {
    HWND panel = nullptr;
    std::string folder;
    std::mt19937 rng;
    int done[KINDS] = {};
    int faultTurn = 0;
    std::uint64_t resumeAt = 0, answerAt = 0;
    int resumeWith = 0;  // the panel button that ends the user's pause or stop
    HANDLE suspended = nullptr;
    std::uint64_t wakeAt = 0;
    std::map<std::uint64_t, std::string> fileBack;  // when each removed file comes back

    int Random(int below) { return std::uniform_int_distribution<int>(0, below - 1)(rng); }
    bool Holding() const { return resumeAt != 0; }

    void Hold(int button, std::uint64_t now)
    {
        resumeWith = button;
        resumeAt = now + kResumeMs;
    }

    // The file of the next item, by its title "Night Bench - Track NN".
    void RemoveNext(std::uint64_t now)
    {
        const std::string next = e2e::ControlText(panel, EDNEXT);
        const std::size_t at = next.rfind("Track ");
        if (at == std::string::npos)
            return;
        const std::string file = folder + "\\" + next.substr(at + 6) + ".mp3";
        if (MoveFileA(file.c_str(), (file + ".away").c_str()))
            fileBack[now + kFileBackMs] = file;
    }

    void Fault(Kind kind, std::uint64_t now)
    {
        const std::vector<HWND> playing = Playing();
        const HWND player = playing.empty() ? nullptr : playing[static_cast<std::size_t>(Random(static_cast<int>(playing.size())))];
        if (kind == REMOVE) {
            RemoveNext(now);
        } else if (player == nullptr) {
            return;
        } else if (kind == WINDOW_STOP) {
            SendMessageA(player, WM_COMMAND, WINAMP_BUTTON4, 0);
            Hold(BTPLAYNEXT, now);
        } else if (const HANDLE process = OpenPlayer(player)) {
            if (kind == KILL) {
                TerminateProcess(process, 1);
                CloseHandle(process);
            } else if (NtCall("NtSuspendProcess")(process) == 0) {
                suspended = process;
                wakeAt = now + kSuspendMs;
            }
        }
        ++done[kind];
    }

    void Act(std::uint64_t now)
    {
        // Every third turn a fault, in turn of kind; the user's actions between.
        if (Random(3) == 0) {
            Fault(static_cast<Kind>(REMOVE + faultTurn++ % 4), now);
            return;
        }
        const auto kind = static_cast<Kind>(Random(SHUFFLE + 1));
        ++done[kind];
        switch (kind) {
        case SKIP: e2e::Click(panel, BTSKIPNEXT); break;
        case NEXT: e2e::Click(panel, BTPLAYNEXT); break;
        case PAUSE: e2e::Click(panel, BTPAUSE), Hold(BTPAUSE, now); break;
        case STOP: e2e::Click(panel, BTSTOP), Hold(BTPLAYNEXT, now); break;
        case FADE: e2e::Click(panel, CBFADE); break;
        case DUO: e2e::Click(panel, CB2CHAN); break;
        case LENGTH: e2e::SetComboText(panel, CBOFADELEN, std::to_string(500 + 500 * Random(5))); break;
        default: e2e::Click(panel, CBSHUFFLE); break;
        }
    }

    // What comes due: a resume, a prompt's answer, a suspended player's end, a file's return.
    void Tend(std::uint64_t now)
    {
        if (Holding() && now >= resumeAt) {
            e2e::Click(panel, resumeWith);
            resumeAt = 0;
        }
        if (const HWND box = e2e::FindMessageBox("Warning", 0)) {
            if (answerAt == 0)
                answerAt = now + kAnswerMs;
            else if (now >= answerAt)
                e2e::Answer(box, IDCANCEL), answerAt = 0;
        }
        if (suspended != nullptr && now >= wakeAt) {
            NtCall("NtResumeProcess")(suspended);
            CloseHandle(suspended);
            suspended = nullptr;
        }
        for (auto it = fileBack.begin(); it != fileBack.end() && it->first <= now; it = fileBack.erase(it))
            MoveFileA((it->second + ".away").c_str(), it->second.c_str());
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 5 && std::string(argv[1]) == "--library")
        return WriteLibrary(argv[2], argv[3], std::atoi(argv[4]), argc > 5 ? static_cast<unsigned>(std::atoi(argv[5])) : 1,
                            argc > 6 ? std::atoi(argv[6]) : 0);
    if (argc != 4 && (argc != 5 || std::string(argv[4]) != "--calm")) {
        std::fprintf(stderr, "usage: mixinject --library FOLDER DATABASE COUNT [SEED [EXTRA]] | mixinject SECONDS SEED FOLDER [--calm]\n");
        return 2;
    }
    const bool calm = argc == 5;  // no hands and no faults: only the mix, watched from the players
    const int seconds = std::atoi(argv[1]);
    HWND panel = nullptr;
    e2e::WaitUntil([&] { return (panel = e2e::WaitForWindow(e2e::kDialogClass, kPanelCaption, 0)) != nullptr && IsWindowVisible(panel); },
                   60000, 50);
    const char* missing = panel == nullptr                                               ? "control panel"
                          : e2e::WaitForWindows(WAMP_WINDOWCLASS, 5, 60000).size() < 5 ? "five players"
                          : !Start(panel)                                                ? "first item"
                                                                                         : nullptr;
    if (missing != nullptr) {
        std::fprintf(stderr, "mixinject: no %s\n", missing);
        return 1;
    }
    Hands hands;
    hands.panel = panel;
    hands.folder = argv[3];
    hands.rng.seed(static_cast<unsigned>(std::atoi(argv[2])));
    const std::uint64_t begin = e2e::NowMs(), end = begin + static_cast<std::uint64_t>(seconds) * 1000;
    std::uint64_t nextTurn = begin + 15000;
    int changes = 0;
    std::string playing = e2e::ControlText(panel, EDPLAYING);
    Watch silence, fading;
    while (e2e::NowMs() < end) {
        const std::uint64_t now = e2e::NowMs();
        silence.See(!hands.Holding() && Playing().empty(), now);
        // Reading the panel costs Tandem time: the calm run reads it once a second.
        if (!calm || now / 1000 != (now - kPollMs) / 1000) {
            const std::string title = e2e::ControlText(panel, EDPLAYING);
            changes += title != playing;
            playing = title;
            fading.See(e2e::ControlText(panel, EDSTATUS).rfind("Fading", 0) == 0, now);
        }
        hands.Tend(now);
        if (!calm && !hands.Holding() && now >= nextTurn) {
            hands.Act(now);
            nextTurn = now + 15000 + static_cast<std::uint64_t>(hands.Random(20000));
        }
        Sleep(kPollMs);
    }
    hands.Tend(~0ull);
    // After the measured time: how far measuring got, from the track list.
    e2e::ClickPosted(panel, BTTL);
    const HWND tl = e2e::WaitForDialog("List of tracks", 60000, [](HWND w) { return e2e::Control(w, STTOTALTRACKS) != nullptr; });
    const std::string measuring = tl != nullptr ? e2e::ControlText(tl, STTOTALTRACKS) : "no track list";
    PostMessageA(panel, WM_CLOSE, 0, 0);
    int actions = 0, faults = 0;
    for (int k = 0; k < KINDS; ++k)
        (k < REMOVE ? actions : faults) += hands.done[k];
    std::printf("changes: %d in %d s; %d user actions, %d faults\n", changes, seconds, actions, faults);
    for (int k = 0; k < KINDS; ++k)
        std::printf("  %s: %d\n", kKinds[k], hands.done[k]);
    std::printf("longest silence not caused by the user (no player playing): %llu ms\n",
                static_cast<unsigned long long>(silence.longest));
    std::printf("longest Fading: %llu ms\n", static_cast<unsigned long long>(fading.longest));
    std::printf("track list at the end: %s\n", measuring.c_str());
    return 0;
}
