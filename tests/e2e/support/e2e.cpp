#include "e2e.h"

#include "winamp.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>

namespace e2e {

namespace {

// Wine's own path mapping, when the program runs under Wine.
using DosNameFn = WCHAR* (*)(const char*);
using UnixNameFn = char* (*)(const WCHAR*);

template <class Fn>
Fn WineFunction(const char* name)
{
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

bool IsWindowsPath(const std::string& path)
{
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

std::string Narrow(const WCHAR* text)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return "";
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

std::wstring Widen(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return L"";
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

std::mutex processesMutex;
std::vector<Process> processes;

// One command-line argument, quoted the way the C runtime splits it again.
std::string Quote(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t slashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    return out + "\"";
}

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The test's environment with the variables of env replaced or added, as a
// block of "name=value" texts ending with an empty one.
std::string EnvironmentBlock(const Environment& env)
{
    std::string block;
    if (char* strings = GetEnvironmentStringsA()) {
        for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
            const std::string text = entry;
            const std::string name = text.substr(0, text.find('=', 1));
            const bool replaced = std::any_of(env.begin(), env.end(), [&](const auto& v) { return SameName(v.first, name); });
            if (!replaced)
                block += text + '\0';
        }
        FreeEnvironmentStringsA(strings);
    }
    for (const auto& [name, value] : env)
        block += name + '=' + value + '\0';
    return block + '\0';
}

struct WindowSearch {
    const char* className;
    const char* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    char text[256];
    if (search->className != nullptr) {
        GetClassNameA(hwnd, text, sizeof text);
        if (std::strcmp(text, search->className) != 0)
            return TRUE;
    }
    if (search->caption != nullptr) {
        GetWindowTextA(hwnd, text, sizeof text);
        if (std::strcmp(text, search->caption) != 0)
            return TRUE;
    }
    search->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CloseWindowOf(HWND hwnd, LPARAM pid)
{
    if (WindowProcess(hwnd) == static_cast<DWORD>(pid))
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

// Closes the processes' windows, waits for all of them together (a process
// under Wine takes a while to end), and ends the rest the hard way.
void EndProcesses(const std::vector<Process>& list, int timeoutMs)
{
    for (const Process& p : list)
        EnumWindows(CloseWindowOf, static_cast<LPARAM>(p.pid));
    const std::uint64_t end = NowMs() + static_cast<std::uint64_t>(timeoutMs);
    for (const Process& p : list) {
        const std::uint64_t now = NowMs();
        const auto left = static_cast<DWORD>(now < end ? end - now : 0);
        if (WaitForSingleObject(p.handle, left) != WAIT_OBJECT_0) {
            TerminateProcess(p.handle, 1);
            WaitForSingleObject(p.handle, 5000);
        }
    }
}

}  // namespace

// ---- paths ----

std::string ToWindowsPath(const std::string& path)
{
    if (IsWindowsPath(path) || path.empty())
        return path;
    if (const auto toDos = WineFunction<DosNameFn>("wine_get_dos_file_name")) {
        if (WCHAR* dos = toDos(path.c_str())) {
            std::string out = Narrow(dos);
            HeapFree(GetProcessHeap(), 0, dos);
            return out;
        }
    }
    std::string out = "Z:" + path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string ToLinuxPath(const std::string& path)
{
    if (!IsWindowsPath(path))
        return path;
    if (const auto toUnix = WineFunction<UnixNameFn>("wine_get_unix_file_name")) {
        if (char* unixName = toUnix(Widen(path).c_str())) {
            std::string out = unixName;
            HeapFree(GetProcessHeap(), 0, unixName);
            return out;
        }
    }
    if (std::toupper(static_cast<unsigned char>(path[0])) != 'Z')
        return "";
    std::string out = path.substr(2);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::string JoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty() || dir.back() == '\\' || dir.back() == '/')
        return dir + name;
    return dir + '\\' + name;
}

std::string TplayerExe() { return ToWindowsPath(TPLAYER_EXE); }

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ScratchDir(const std::string& name)
{
    char temp[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof temp, temp);
    const std::string base = JoinPath(n > 0 && n < sizeof temp ? temp : "C:\\", "tandem-e2e");
    const std::string dir = JoinPath(base, name);
    CreateDirectoryA(base.c_str(), nullptr);
    CreateDirectoryA(dir.c_str(), nullptr);
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA(JoinPath(dir, "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                DeleteFileA(JoinPath(dir, data.cFileName).c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    return dir;
}

// ---- time ----

std::uint64_t NowMs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs)
{
    const std::uint64_t end = NowMs() + static_cast<std::uint64_t>(timeoutMs);
    while (!condition()) {
        if (NowMs() >= end)
            return false;
        Sleep(static_cast<DWORD>(pollMs));
    }
    return true;
}

// ---- processes ----

bool Start(const std::string& exe, const std::vector<std::string>& args, const Environment& env, Process* process)
{
    std::string cmdLine = Quote(exe);
    for (const auto& arg : args)
        cmdLine += ' ' + Quote(arg);
    std::string block = EnvironmentBlock(env);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(exe.c_str(), cmdLine.data(), nullptr, nullptr, FALSE, 0, block.data(), nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    WaitForInputIdle(info.hProcess, 5000);
    const Process started{info.hProcess, info.dwProcessId};
    {
        std::lock_guard lock(processesMutex);
        processes.push_back(started);
    }
    if (process != nullptr)
        *process = started;
    return true;
}

void Stop(Process& process, int timeoutMs)
{
    if (process.handle == nullptr)
        return;
    {
        std::lock_guard lock(processesMutex);
        processes.erase(std::remove_if(processes.begin(), processes.end(),
                                       [&](const Process& p) { return p.pid == process.pid; }),
                        processes.end());
    }
    EndProcesses({process}, timeoutMs);
    CloseHandle(process.handle);
    process = {};
}

void StopAll()
{
    std::vector<Process> all;
    {
        std::lock_guard lock(processesMutex);
        all.swap(processes);
    }
    EndProcesses(all, 3000);
    for (const Process& p : all)
        CloseHandle(p.handle);
}

int StopWindowsOfClass(const char* className, int timeoutMs)
{
    std::vector<Process> owners;
    for (const HWND hwnd : TopLevelWindows(className)) {
        const DWORD pid = WindowProcess(hwnd);
        if (pid == 0 || std::any_of(owners.begin(), owners.end(), [pid](const Process& p) { return p.pid == pid; }))
            continue;
        if (const HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid))
            owners.push_back({handle, pid});
    }
    EndProcesses(owners, timeoutMs);
    for (const Process& p : owners)
        CloseHandle(p.handle);
    return static_cast<int>(owners.size());
}

bool ProcessEnded(DWORD pid)
{
    const HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (handle == nullptr)
        return true;
    const bool ended = WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    CloseHandle(handle);
    return ended;
}

// ---- windows ----

std::vector<HWND> TopLevelWindows(const char* className, const char* caption)
{
    WindowSearch search{className, caption, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const char* className, const char* caption, int timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const auto windows = TopLevelWindows(className, caption);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::vector<HWND> WaitForWindows(const char* className, std::size_t count, int timeoutMs)
{
    std::vector<HWND> found;
    WaitUntil(
        [&] {
            found = TopLevelWindows(className);
            return found.size() >= count;
        },
        timeoutMs);
    return found;
}

DWORD WindowProcess(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

// ---- player journals ----

std::string JournalPattern(const std::string& dir) { return JoinPath(dir, "journal-%p.txt"); }

std::string JournalFile(const std::string& dir, DWORD pid)
{
    return JoinPath(dir, "journal-" + std::to_string(pid) + ".txt");
}

std::vector<PlayerJournalEntry> ReadJournal(const std::string& file)
{
    std::vector<PlayerJournalEntry> entries;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    PlayerJournalEntry entry;
    while (std::getline(in, line))
        if (PlayerJournalParse(line, &entry))
            entries.push_back(entry);
    return entries;
}

// ---- registry ----

bool RegistrySetString(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyA(root, path.c_str(), &key) != ERROR_SUCCESS)
        return false;
    const LONG set = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

bool RegistryGetString(HKEY root, const std::string& path, const std::string& name, std::string* value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG read = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size);
    std::string text(size + 1, '\0');
    if (read == ERROR_SUCCESS)
        read = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(text.data()), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS)
        return false;
    if (value != nullptr)
        *value = text.c_str();
    return true;
}

bool RegistryDeleteValue(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    const LONG deleted = RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return deleted == ERROR_SUCCESS;
}

// ---- the fixture ----

void Test::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    scratch = ScratchDir(std::string(info->test_suite_name()) + "." + info->name());
}

void Test::TearDown()
{
    StopAll();
    StopWindowsOfClass(WAMP_WINDOWCLASS);
    for (auto it = savedRegistry_.rbegin(); it != savedRegistry_.rend(); ++it) {
        if (it->existed)
            RegistrySetString(it->root, it->path, it->name, it->value);
        else
            RegistryDeleteValue(it->root, it->path, it->name);
    }
    savedRegistry_.clear();
    for (auto it = savedEnv_.rbegin(); it != savedEnv_.rend(); ++it)
        SetEnvironmentVariableA(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
    savedEnv_.clear();
}

void Test::SetRegistry(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    SavedValue saved{root, path, name, "", false};
    saved.existed = RegistryGetString(root, path, name, &saved.value);
    savedRegistry_.push_back(saved);
    ASSERT_TRUE(RegistrySetString(root, path, name, value)) << path;
}

void Test::SetEnv(const std::string& name, const std::string& value)
{
    char old[32768];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
    savedEnv_.push_back({name, n > 0 && n < sizeof old ? std::optional<std::string>(old) : std::nullopt});
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

}  // namespace e2e
