#include "winamp.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

WAMPINSTLIST WAmpInstList{};
char WAmpPath[MAXL_WAMPPATH];
char SkinName[MAXL_WAMPPATH];

namespace {

// The open command of the player's file class, one key below the other.
constexpr const char* kOpenCommandKeys[] = {"Winamp.File", "shell", "open", "command"};
// The quoted document placeholder and its blank at the end of the open command.
constexpr std::size_t kDocumentPlaceholderLength = 5;
constexpr unsigned kPollMs = 50;
// The player that comes with the program, started where none is registered.
constexpr char strOwnPlayer[] = "tplayer.exe";
// As WinExec waits for a started program to be ready for input.
constexpr DWORD kStartWaitMs = 30000;

// The command that starts a player, read and started wide: its path may
// hold any name. WAmpPath keeps it as ANSI text.
WCHAR PlayerCommand[MAXL_WAMPPATH];
DWORD RunError;

WAMPREVIVEHOOK ReviveHook = nullptr;

// Players Tandem started whose window is not registered yet: their
// processes are Tandem's to end.
std::mutex StartedMutex;
std::vector<std::pair<DWORD, HANDLE>> Started;

// One start at a time: each reads the player's command into PlayerCommand.
std::mutex RestartMutex;

HANDLE TakeStarted(DWORD ProcessID)
{
    std::lock_guard lock(StartedMutex);
    const auto it = std::find_if(Started.begin(), Started.end(), [&](const auto& p) { return p.first == ProcessID; });
    if (it == Started.end())
        return nullptr;
    const HANDLE process = it->second;
    Started.erase(it);
    return process;
}

// The registration's window while it may be sent to: null when there is
// none or the player hangs.
HWND LiveWindow(const WAMPINST* Inst) { return Inst != nullptr && !Inst->Hung ? Inst->Window.load() : nullptr; }

// Sends with a time limit. A player that lets it pass is marked hung, so no
// thread waits on it again; a vanished window is told by IsWindow instead.
bool SendTimed(WAMPINST* Inst, UINT Msg, WPARAM wParam, LPARAM lParam, DWORD_PTR* Result)
{
    const HWND wnd = LiveWindow(Inst);
    if (wnd == nullptr)
        return false;
    if (SendMessageTimeoutA(wnd, Msg, wParam, lParam, SMTO_ABORTIFHUNG, WAMP_CALL_TIMEOUT_MS, Result) != 0)
        return true;
    if (Inst->Window == wnd && IsWindow(wnd))
        Inst->Hung = 1;
    return false;
}

// wParam is the full width here, so that WAmpCmGetSkin can pass an address.
int Send(int NO, WPARAM Data, int Command)
{
    DWORD_PTR answer = 0;
    return SendTimed(WAmpInstGet(NO), WM_USER, Data, static_cast<LPARAM>(Command), &answer) ? static_cast<int>(answer) : -1;
}

bool IsRegistered(HWND Wnd)
{
    for (const WAMPINST* inst = WAmpInstList.First; inst != nullptr; inst = inst->Next)
        if (inst->Window == Wnd)
            return true;
    return false;
}

HWND UnregisteredWindow()
{
    for (HWND wnd = FindWindowExA(nullptr, nullptr, WAMP_WINDOWCLASS, nullptr); wnd != nullptr;
         wnd = FindWindowExA(nullptr, wnd, WAMP_WINDOWCLASS, nullptr))
        if (!IsRegistered(wnd))
            return wnd;
    return nullptr;
}

HWND WindowOfProcess(DWORD ProcessID)
{
    for (HWND wnd = FindWindowExA(nullptr, nullptr, WAMP_WINDOWCLASS, nullptr); wnd != nullptr;
         wnd = FindWindowExA(nullptr, wnd, WAMP_WINDOWCLASS, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(wnd, &owner);
        if (owner == ProcessID)
            return wnd;
    }
    return nullptr;
}

// Reads the open command into PlayerCommand; false when no player is
// registered (a key or the value missing, or the value empty). A value that
// does not fit whole leaves the command empty: cut, it would start some
// other program.
bool ReadOpenCommand()
{
    PlayerCommand[0] = 0;
    HKEY key = HKEY_CLASSES_ROOT;
    for (const char* sub : kOpenCommandKeys) {
        HKEY next = nullptr;
        const LONG opened = RegOpenKeyA(key, sub, &next);
        if (key != HKEY_CLASSES_ROOT)
            RegCloseKey(key);
        if (opened != ERROR_SUCCESS)
            return false;
        key = next;
    }
    DWORD size = sizeof PlayerCommand;
    const LONG read = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(PlayerCommand), &size);
    RegCloseKey(key);
    // A value without its terminator is terminated here, unless it fills the whole buffer.
    const std::size_t n = size / sizeof(WCHAR);
    const bool whole = read == ERROR_SUCCESS && (n < MAXL_WAMPPATH || PlayerCommand[MAXL_WAMPPATH - 1] == 0);
    PlayerCommand[whole ? std::min<std::size_t>(n, MAXL_WAMPPATH - 1) : 0] = 0;
    return read == ERROR_MORE_DATA || (read == ERROR_SUCCESS && (!whole || PlayerCommand[0] != 0));
}

// The quoted path of tplayer.exe beside this program into PlayerCommand;
// empty when it is not there.
void OwnPlayerCommand()
{
    WCHAR* path = PlayerCommand + 1;
    const DWORD room = MAXL_WAMPPATH - 2;  // the quotes
    const DWORD n = GetModuleFileNameW(nullptr, path, room);
    const std::basic_string_view<WCHAR> program(path, n < room ? n : 0);
    const std::size_t folder = program.rfind(WCHAR('\\')) + 1;
    PlayerCommand[0] = 0;
    if (folder == 0 || folder + sizeof strOwnPlayer + 1 > room)
        return;
    std::copy(strOwnPlayer, strOwnPlayer + sizeof strOwnPlayer, path + folder);
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
        return;
    const std::size_t end = folder + sizeof strOwnPlayer;  // past the terminator, where the closing quote goes
    PlayerCommand[0] = PlayerCommand[end] = '"';
    PlayerCommand[end + 1] = 0;
}

// The command that starts a player with no document into PlayerCommand and
// WAmpPath: the registered one, else tplayer.exe beside this program.
bool ReadPlayerCommand()
{
    const bool registered = ReadOpenCommand();
    const std::size_t length = std::char_traits<WCHAR>::length(PlayerCommand);
    if (registered && length >= kDocumentPlaceholderLength)
        PlayerCommand[length - kDocumentPlaceholderLength] = 0;
    if (!registered)
        OwnPlayerCommand();
    // Only ever shown to the user: the best the code page can do.
    if (WideCharToMultiByte(CP_ACP, 0, PlayerCommand, -1, WAmpPath, sizeof WAmpPath, nullptr, nullptr) == 0)
        WAmpPath[0] = '\0';
    return PlayerCommand[0] != 0;
}

// Starts the command minimised, as WinExec does, and waits until it takes
// input; the process id, or 0 when it did not start. Its process is
// remembered as ours.
DWORD StartPlayer()
{
    std::array<WCHAR, MAXL_WAMPPATH> command;  // CreateProcessW may write to it
    std::copy(std::begin(PlayerCommand), std::end(PlayerCommand), command.begin());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_MINIMIZE;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return 0;
    CloseHandle(started.hThread);
    WaitForInputIdle(started.hProcess, kStartWaitMs);
    std::lock_guard lock(StartedMutex);
    Started.emplace_back(started.dwProcessId, started.hProcess);
    return started.dwProcessId;
}

bool Answers(HWND Wnd)
{
    DWORD_PTR version = 0;
    return SendMessageTimeoutA(Wnd, WM_USER, 0, IPC_GETVERSION, SMTO_ABORTIFHUNG, WAMP_PROBE_TIMEOUT_MS, &version) != 0;
}

void EndOurs(HANDLE Process)
{
    if (Process == nullptr)
        return;
    TerminateProcess(Process, 1);
    CloseHandle(Process);
}

// Starts a new player for the slot whose window is Old and registers its window.
void StartAgain(WAMPINST* Inst, HWND Old)
{
    std::lock_guard restart(RestartMutex);
    if (!ReadPlayerCommand())
        return;
    if (IsWindow(Old))
        EndOurs(std::exchange(Inst->Process, nullptr));
    const DWORD started = StartPlayer();
    HWND wnd = nullptr;
    for (unsigned waited = 0; started != 0 && (wnd = WindowOfProcess(started)) == nullptr && waited < WAMP_REVIVE_WAIT_MS;
         waited += kPollMs)
        Sleep(kPollMs);
    if (wnd != nullptr) {
        WAmpInstSetWindow(Inst, wnd);
        if (ReviveHook != nullptr)
            ReviveHook(Inst->NO);
    } else if (started != 0) {
        EndOurs(TakeStarted(started));  // it never showed a window
    }
    const DWORD now = GetTickCount();
    Inst->LastStart = now != 0 ? now : 1;
}

// The background half of WAmpInstRevive. The probe takes no lock: a hung
// player must not hold up the start of another slot's player.
void Restart(WAMPINST* Inst)
{
    const HWND old = Inst->Window;
    if (Inst->Hung && Answers(old))
        Inst->Hung = 0;  // only slow
    else
        StartAgain(Inst, old);
    Inst->Restarting = false;
}

}  // namespace

// ---- registry of player windows ----

int WAmpInstAdd(HWND Wnd)
{
    auto* inst = new (std::nothrow) WAMPINST{};
    if (inst == nullptr)
        return WAmpInstList.Instances;
    WAmpInstSetWindow(inst, Wnd);
    inst->NO = WAmpInstList.Instances;
    if (WAmpInstList.First == nullptr)
        WAmpInstList.First = inst;
    else
        WAmpInstList.Last->Next = inst;
    WAmpInstList.Last = inst;
    return ++WAmpInstList.Instances;
}

void WAmpInstSetWindow(WAMPINST* Inst, HWND Wnd)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(Wnd, &processId);
    Inst->ProcessID = processId;
    if (const HANDLE ours = TakeStarted(processId); ours != nullptr || Inst->Process != nullptr) {
        if (Inst->Process != nullptr)
            CloseHandle(Inst->Process);
        Inst->Process = ours;
    }
    Inst->Window = Wnd;
    Inst->Hung = 0;
}

WAMPINST* WAmpInstGet(int NO)
{
    if (NO < 0 || NO >= WAmpInstList.Instances)
        return nullptr;
    WAMPINST* inst = WAmpInstList.Current.load(std::memory_order_relaxed);
    if (inst == nullptr || inst->NO > NO)
        inst = WAmpInstList.First;
    while (inst != nullptr && inst->NO != NO)
        inst = inst->Next;
    if (inst != nullptr)
        WAmpInstList.Current.store(inst, std::memory_order_relaxed);
    return inst;
}

int WAmpInstFreeAll()
{
    WAmpInstWaitRevivals();
    int freed = 0;
    for (WAMPINST* inst = WAmpInstList.First; inst != nullptr; ++freed) {
        WAMPINST* next = inst->Next;
        if (inst->Process != nullptr)
            CloseHandle(inst->Process);
        delete inst;
        inst = next;
    }
    WAmpInstList.First = nullptr;
    WAmpInstList.Last = nullptr;
    WAmpInstList.Current.store(nullptr, std::memory_order_relaxed);
    WAmpInstList.Instances = 0;
    std::lock_guard lock(StartedMutex);
    for (const auto& [id, process] : Started)
        CloseHandle(process);
    Started.clear();
    return freed;
}

int WAmpGetInstances() { return WAmpInstList.Instances; }

int WAmpInstGone(int NO)
{
    const WAMPINST* inst = WAmpInstGet(NO);
    return inst != nullptr && (inst->Hung || !IsWindow(inst->Window));
}

int WAmpInstRevive(int NO)
{
    WAMPINST* inst = WAmpInstGet(NO);
    if (inst == nullptr)
        return 0;
    if (!WAmpInstGone(NO))
        return 1;
    if (inst->Restarting)
        return 0;
    // A player that keeps dying young is started again ever more slowly.
    const DWORD now = GetTickCount();
    const bool young = inst->LastStart != 0 && now - inst->LastStart < WAMP_RESTART_GRACE_MS;
    const int doublings = std::min(inst->YoungDeaths, 6);
    if (young && now - inst->LastStart < std::min(WAMP_RESTART_PAUSE_MS << doublings, WAMP_RESTART_PAUSE_MAX_MS))
        return 0;
    inst->YoungDeaths = young ? inst->YoungDeaths + 1 : 0;
    if (inst->Restarter.joinable())
        inst->Restarter.join();
    inst->Restarting = true;
    inst->Restarter = std::thread(Restart, inst);
    return 0;
}

void WAmpInstWaitRevivals()
{
    for (WAMPINST* inst = WAmpInstList.First; inst != nullptr; inst = inst->Next)
        if (inst->Restarter.joinable())
            inst->Restarter.join();
}

void WAmpSetReviveHook(WAMPREVIVEHOOK Hook) { ReviveHook = Hook; }

int WAmpCheck()
{
    for (HWND wnd = UnregisteredWindow(); wnd != nullptr; wnd = UnregisteredWindow())
        if (const int before = WAmpInstList.Instances; WAmpInstAdd(wnd) == before)
            break;  // out of memory: the rest stays unregistered
    WAmpInstList.Current.store(WAmpInstList.First, std::memory_order_relaxed);
    return WAmpInstList.Instances;
}

void WAmpRun(int Instances)
{
    std::lock_guard restart(RestartMutex);
    RunError = 0;
    if (!ReadPlayerCommand())
        return;
    for (int i = 0; i < Instances; ++i)
        if (StartPlayer() == 0) {
            RunError = GetLastError();
            return;
        }
}

DWORD WAmpGetRunError() { return RunError; }

int WAmpKill(int Idx)
{
    DWORD_PTR ignored = 0;
    SendTimed(WAmpInstGet(Idx), WM_CLOSE, 0, 0, &ignored);
    return WAmpInstList.Instances;
}

int WAmpGetProfileInt(const char* Section, const char* Key, int Default)
{
    return static_cast<int>(GetPrivateProfileIntA(Section, Key, Default, WAmpPath));
}

int WAmpWriteProfileString(const char* Section, const char* Key, const char* Value)
{
    return WritePrivateProfileStringA(Section, Key, Value, WAmpPath);
}

// ---- senders ----

int WAmpCall(int NO, unsigned Data, int Command) { return Send(NO, Data, Command); }

void WAmpCallStr(int NO, const char* Data, int Command)
{
    for (const char* c = Data != nullptr ? Data : ""; *c != '\0'; ++c)
        WAmpCall(NO, static_cast<unsigned>(static_cast<int>(static_cast<signed char>(*c))), Command);
    WAmpCall(NO, 0, Command);
}

void WAmpCall2(int NO, int Command)
{
    DWORD_PTR ignored = 0;
    SendTimed(WAmpInstGet(NO), WM_COMMAND, static_cast<WPARAM>(Command), 0, &ignored);
}

// ---- WM_USER commands ----

unsigned WAmpCmGetVersion(int NO) { return static_cast<unsigned>(WAmpCall(NO, 0, IPC_GETVERSION)); }
void WAmpCmPlayFile(int NO, const char* Name) { WAmpCallStr(NO, Name, IPC_PLAYFILE); }
void WAmpCmDeletePlayList(int NO) { WAmpCall(NO, 0, IPC_DELETE); }
void WAmpCmStartPlay(int NO) { WAmpCall(NO, 0, IPC_STARTPLAY); }
void WAmpCmChangeDir(int NO, const char* Dir) { WAmpCallStr(NO, Dir, IPC_CHDIR); }
int WAmpCmIsPlaying(int NO) { return WAmpCall(NO, 0, IPC_ISPLAYING); }
unsigned WAmpCmGetSongPos(int NO) { return static_cast<unsigned>(WAmpCall(NO, 0, IPC_GETOUTPUTTIME)); }
unsigned WAmpCmGetSongLen(int NO) { return static_cast<unsigned>(WAmpCall(NO, 1, IPC_GETOUTPUTTIME)); }
int WAmpCmJump(int NO, unsigned msec) { return WAmpCall(NO, msec, IPC_JUMPTOTIME); }
void WAmpCmWritePlayList(int NO) { WAmpCall(NO, 0, IPC_WRITEPLAYLIST); }
void WAmpCmSetPlayListPos(int NO, int Pos) { WAmpCall(NO, static_cast<unsigned>(Pos), IPC_SETPLAYLISTPOS); }
void WAmpCmSetVolume(int NO, int Value) { WAmpCall(NO, static_cast<unsigned>(Value), IPC_SETVOLUME); }
void WAmpCmSetPanning(int NO, int Value) { WAmpCall(NO, static_cast<unsigned>(Value), IPC_SETPANNING); }
int WAmpCmGetPlayListLength(int NO) { return WAmpCall(NO, 0, IPC_GETLISTLENGTH); }
int WAmpCmGetPlayListPos(int NO) { return WAmpCall(NO, 0, IPC_GETLISTPOS); }
int WAmpCmGetSRate(int NO) { return WAmpCall(NO, 0, IPC_GETINFO); }
int WAmpCmGetBRate(int NO) { return WAmpCall(NO, 1, IPC_GETINFO); }
int WAmpCmGetNCh(int NO) { return WAmpCall(NO, 2, IPC_GETINFO); }
int WAmpCmGetEQ(int NO, int Item) { return WAmpCall(NO, static_cast<unsigned>(Item), IPC_GETEQDATA); }
int WAmpCmSetEQ(int NO, int Item) { return WAmpCall(NO, static_cast<unsigned>(Item), IPC_SETEQDATA); }
void WAmpCmSetSkin(int NO, const char* Name) { WAmpCallStr(NO, Name, IPC_SETSKIN); }

// The player lives in another process and cannot write into SkinName; the
// buffer keeps what it held.
char* WAmpCmGetSkin(int NO)
{
    Send(NO, reinterpret_cast<WPARAM>(SkinName), IPC_GETSKIN);
    return SkinName;
}

void WAmpCmExecPlugIn(int NO, const char* PlugIn) { WAmpCallStr(NO, PlugIn, IPC_EXECPLUG); }

// The answer is an address in the player's own process, which must never be
// read here: the command is sent and no text is returned.
const char* WAmpCmGetPlayListFile(int NO, int Item)
{
    WAmpCall(NO, static_cast<unsigned>(Item), IPC_GETPLAYLISTFILE);
    return nullptr;
}

const char* WAmpCmGetPlayListTitle(int NO, int Item)
{
    WAmpCall(NO, static_cast<unsigned>(Item), IPC_GETPLAYLISTTITLE);
    return nullptr;
}

// ---- WM_COMMAND commands ----

void WAmpCmPrefs(int NO) { WAmpCall2(NO, WINAMP_OPTIONS_PREFS); }
void WAmpCmAlwaysOnTop(int NO) { WAmpCall2(NO, WINAMP_OPTIONS_AOT); }
void WAmpCmLoadFile(int NO) { WAmpCall2(NO, WINAMP_FILE_PLAY); }
void WAmpCmEQWindow(int NO) { WAmpCall2(NO, WINAMP_OPTIONS_EQ); }
void WAmpCmPlayListWindow(int NO) { WAmpCall2(NO, WINAMP_OPTIONS_PLEDIT); }
void WAmpCmAbout(int NO) { WAmpCall2(NO, WINAMP_HELP_ABOUT); }
void WAmpCmVolumeUp(int NO) { WAmpCall2(NO, WINAMP_VOLUMEUP); }
void WAmpCmVolumeDown(int NO) { WAmpCall2(NO, WINAMP_VOLUMEDOWN); }
void WAmpCmForward5s(int NO) { WAmpCall2(NO, WINAMP_FFWD5S); }
void WAmpCmRewind5s(int NO) { WAmpCall2(NO, WINAMP_REW5S); }

void WAmpBtPrev(int NO) { WAmpCall2(NO, WINAMP_BUTTON1); }
void WAmpBtPlay(int NO) { WAmpCall2(NO, WINAMP_BUTTON2); }
void WAmpBtPause(int NO) { WAmpCall2(NO, WINAMP_BUTTON3); }
void WAmpBtStop(int NO) { WAmpCall2(NO, WINAMP_BUTTON4); }
void WAmpBtNext(int NO) { WAmpCall2(NO, WINAMP_BUTTON5); }
void WAmpBtShPrev(int NO) { WAmpCall2(NO, WINAMP_BUTTON1_SHIFT); }
void WAmpBtShPlay(int NO) { WAmpCall2(NO, WINAMP_BUTTON2_SHIFT); }
void WAmpBtShPause(int NO) { WAmpCall2(NO, WINAMP_BUTTON3_SHIFT); }
void WAmpBtShStop(int NO) { WAmpCall2(NO, WINAMP_BUTTON4_SHIFT); }
void WAmpBtShNext(int NO) { WAmpCall2(NO, WINAMP_BUTTON5_SHIFT); }
void WAmpBtCtrlPrev(int NO) { WAmpCall2(NO, WINAMP_BUTTON1_CTRL); }
void WAmpBtCtrlPlay(int NO) { WAmpCall2(NO, WINAMP_BUTTON2_CTRL); }
void WAmpBtCtrlPause(int NO) { WAmpCall2(NO, WINAMP_BUTTON3_CTRL); }
void WAmpBtCtrlStop(int NO) { WAmpCall2(NO, WINAMP_BUTTON4_CTRL); }
void WAmpBtCtrlNext(int NO) { WAmpCall2(NO, WINAMP_BUTTON5_CTRL); }
