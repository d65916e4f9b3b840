#include "host.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>

namespace e2e {

namespace {

std::vector<Process> processes;

// One command-line argument, quoted when it holds a blank.
std::string Quote(const std::string& arg)
{
    return !arg.empty() && arg.find_first_of(" \t") == std::string::npos ? arg : std::string(1, '"').append(arg) + '"';
}

bool Matches(HWND hwnd, const char* className, const char* caption)
{
    char text[256];
    return (className == nullptr || (GetClassNameA(hwnd, text, sizeof text) > 0 && std::strcmp(text, className) == 0)) &&
           (caption == nullptr || (GetWindowTextA(hwnd, text, sizeof text) >= 0 && std::strcmp(text, caption) == 0));
}

// Closes the processes' windows, waits for all of them together (a process
// under Wine takes a while to end), and ends the rest the hard way.
void EndProcesses(const std::vector<Process>& list, int timeoutMs)
{
    for (const HWND hwnd : TopLevelWindows(nullptr))
        if (std::any_of(list.begin(), list.end(), [&](const Process& p) { return p.pid == WindowProcess(hwnd); }))
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
    const std::uint64_t end = NowMs() + static_cast<std::uint64_t>(timeoutMs);
    for (const Process& p : list) {
        const std::uint64_t now = NowMs();
        if (WaitForSingleObject(p.handle, static_cast<DWORD>(now < end ? end - now : 0)) != WAIT_OBJECT_0) {
            TerminateProcess(p.handle, 1);
            WaitForSingleObject(p.handle, 5000);
        }
        CloseHandle(p.handle);
    }
}

}  // namespace

// ---- paths ----

std::string ToWindowsPath(const std::string& path)
{
    std::string out = path.size() >= 2 && path[1] == ':' ? path : std::string("Z:").append(path);
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

// Wine's own mapping, which also knows where drive C lies.
std::string ToLinuxPath(const std::string& path)
{
    using UnixNameFn = char* (*)(const WCHAR*);
    const auto toUnix = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* unixName = toUnix != nullptr ? toUnix(Wide(path).c_str()) : nullptr;
    const std::string out = unixName != nullptr ? unixName : "";
    HeapFree(GetProcessHeap(), 0, unixName);
    return out;
}

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(
        std::max(0, MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size())) - 1)));
    return wide;
}

std::string JoinPath(const std::string& dir, const std::string& name)
{
    return dir.empty() || dir.back() == '\\' || dir.back() == '/' ? dir + name : dir + '\\' + name;
}

// ---- time ----

std::uint64_t NowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs)
{
    for (const std::uint64_t end = NowMs() + static_cast<std::uint64_t>(timeoutMs); !condition(); Sleep(static_cast<DWORD>(pollMs)))
        if (NowMs() >= end)
            return false;
    return true;
}

// ---- processes ----

bool Start(const std::string& exe, const std::vector<std::string>& args, Process* process, bool waitForInput)
{
    std::string cmdLine = Quote(exe);
    for (const auto& arg : args)
        cmdLine.append(" ").append(Quote(arg));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = waitForInput ? 0 : STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_MINIMIZE;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(exe.c_str(), cmdLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    if (waitForInput)
        WaitForInputIdle(info.hProcess, 5000);
    processes.push_back({info.hProcess, info.dwProcessId});
    if (process != nullptr)
        *process = processes.back();
    return true;
}

void StopAll() { EndProcesses(std::exchange(processes, {}), 3000); }

void StopWindowsOfClass(const char* className)
{
    std::vector<Process> owners;
    for (const HWND hwnd : TopLevelWindows(className)) {
        const DWORD pid = WindowProcess(hwnd);
        if (std::none_of(owners.begin(), owners.end(), [pid](const Process& p) { return p.pid == pid; }))
            if (const HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid))
                owners.push_back({handle, pid});
    }
    EndProcesses(owners, 3000);
}

bool ProcessEnded(DWORD pid)
{
    const HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, pid);
    const bool ended = handle == nullptr || WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    if (handle != nullptr)
        CloseHandle(handle);
    return ended;
}

bool StartUnix(const std::string& folder, const std::string& script)
{
    DeleteFileA(JoinPath(folder, "done").c_str());
    const std::string line = "/bin/sh -c \"cd " + ToLinuxPath(folder) + " && " + script + "; touch done\"";
    return WinExec(line.c_str(), SW_HIDE) > 31;
}

// ---- windows ----

std::vector<HWND> TopLevelWindows(const char* className, const char* caption)
{
    std::vector<HWND> all;
    EnumWindows([](HWND hwnd, LPARAM found) { return reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd), TRUE; },
                reinterpret_cast<LPARAM>(&all));
    std::erase_if(all, [&](HWND hwnd) { return !Matches(hwnd, className, caption); });
    return all;
}

HWND WaitForWindow(const char* className, const char* caption, int timeoutMs)
{
    const auto windows = WaitForWindows(className, 1, timeoutMs, caption);
    return windows.empty() ? nullptr : windows.front();
}

std::vector<HWND> WaitForWindows(const char* className, std::size_t count, int timeoutMs, const char* caption)
{
    std::vector<HWND> found;
    WaitUntil([&] { return (found = TopLevelWindows(className, caption)).size() >= count; }, timeoutMs);
    return found;
}

DWORD WindowProcess(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

// ---- player journals ----

std::vector<PlayerJournalEntry> ReadJournal(const std::string& file)
{
    std::vector<PlayerJournalEntry> entries;
    std::ifstream in(file, std::ios::binary);
    PlayerJournalEntry entry;
    for (std::string line; std::getline(in, line);)
        if (PlayerJournalParse(line, &entry))
            entries.push_back(entry);
    return entries;
}

// ---- registry ----

bool RegistryGetString(HKEY root, const std::string& path, const std::string& name, std::string* value)
{
    char text[4096];
    DWORD size = sizeof text;
    if (RegGetValueA(root, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return false;
    if (value != nullptr)
        *value = text;
    return true;
}

}  // namespace e2e
