#include "fakeos.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

namespace {

struct Window {
    std::string className;
    fake::WindowProc proc;
    DWORD processId = 0;
    std::atomic<bool> alive = true;
    std::atomic<bool> enabled = true;
    std::recursive_mutex dispatch;  // one message at a time, re-entrant like a window's own thread
};

struct Machine {
    std::mutex mutex;
    std::vector<std::shared_ptr<Window>> windows;  // HWND = index + 1
    std::map<std::string, std::map<std::string, std::string>> registry;  // lower-case key path -> values
    std::vector<std::string> openKeys;                                    // HKEY = index + 0x1000
    std::deque<int> answers;
    std::vector<fake::MessageBoxCall> boxes;
    std::vector<std::pair<std::string, UINT>> drives;
    fake::Launcher launcher;
    std::vector<std::pair<std::string, UINT>> execs;
    std::string commandLine = "tandem.exe";
};

Machine& M()
{
    static Machine machine;
    return machine;
}

constexpr std::uintptr_t kFirstKey = 0x1000;

std::shared_ptr<Window> Find(HWND hwnd)
{
    const auto index = reinterpret_cast<std::uintptr_t>(hwnd);
    std::lock_guard lock(M().mutex);
    if (index == 0 || index > M().windows.size())
        return nullptr;
    return M().windows[index - 1];
}

HWND ToHandle(std::size_t index) { return reinterpret_cast<HWND>(index + 1); }

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string RootName(HKEY root)
{
    if (root == HKEY_CLASSES_ROOT)
        return "hkcr";
    if (root == HKEY_CURRENT_USER)
        return "hkcu";
    return "";
}

std::string JoinKey(const std::string& base, const char* sub)
{
    if (sub == nullptr || sub[0] == '\0')
        return base;
    return base + "\\" + Lower(sub);
}

// The key path a handle stands for; empty for an unknown handle. Call locked.
std::string KeyPath(HKEY key)
{
    std::string root = RootName(key);
    if (!root.empty())
        return root;
    const auto index = reinterpret_cast<std::uintptr_t>(key);
    if (index < kFirstKey || index - kFirstKey >= M().openKeys.size())
        return "";
    return M().openKeys[index - kFirstKey];
}

HKEY NewHandle(const std::string& path)
{
    M().openKeys.push_back(path);
    return reinterpret_cast<HKEY>(kFirstKey + M().openKeys.size() - 1);
}

LONG OpenKey(HKEY key, LPCSTR sub, HKEY* result, bool create)
{
    std::lock_guard lock(M().mutex);
    const std::string base = KeyPath(key);
    if (base.empty() || result == nullptr)
        return ERROR_FILE_NOT_FOUND;
    const std::string path = JoinKey(base, sub);
    if (create) {
        for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
            M().registry[path.substr(0, at)];
        M().registry[path];
    } else if (M().registry.count(path) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

std::string TextOf(const BYTE* data, DWORD size)
{
    const char* text = reinterpret_cast<const char*>(data);
    return std::string(text, strnlen(text, size));
}

// A tiny ini file: "[section]" lines and "key=value" lines.
using Ini = std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>;

Ini ReadIni(const char* fileName)
{
    Ini ini;
    std::ifstream in(fileName);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
            ini.push_back({line.substr(1, line.size() - 2), {}});
        else if (const auto eq = line.find('='); eq != std::string::npos && !ini.empty())
            ini.back().second.push_back({line.substr(0, eq), line.substr(eq + 1)});
    }
    return ini;
}

}  // namespace

// ---- the seam ----

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    const auto window = Find(hWnd);
    if (window == nullptr)
        return 0;
    std::lock_guard lock(window->dispatch);
    if (!window->alive || !window->proc)
        return 0;
    return window->proc(Msg, wParam, lParam);
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable)
{
    const auto window = Find(hWnd);
    if (window == nullptr)
        return FALSE;
    const bool wasDisabled = !window->enabled;
    window->enabled = bEnable != 0;
    return wasDisabled ? TRUE : FALSE;
}

HWND FindWindowExA(HWND hWndParent, HWND hWndChildAfter, LPCSTR lpszClass, LPCSTR)
{
    if (hWndParent != nullptr || lpszClass == nullptr)
        return nullptr;
    std::lock_guard lock(M().mutex);
    const auto after = reinterpret_cast<std::uintptr_t>(hWndChildAfter);
    for (std::size_t i = after; i < M().windows.size(); ++i) {
        const auto& w = M().windows[i];
        if (w->alive && w->className == lpszClass)
            return ToHandle(i);
    }
    return nullptr;
}

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
{
    const auto window = Find(hWnd);
    if (lpdwProcessId != nullptr)
        *lpdwProcessId = window != nullptr ? window->processId : 0;
    return window != nullptr ? 1 : 0;
}

UINT WinExec(LPCSTR lpCmdLine, UINT uCmdShow)
{
    fake::Launcher launcher;
    {
        std::lock_guard lock(M().mutex);
        M().execs.push_back({lpCmdLine != nullptr ? lpCmdLine : "", uCmdShow});
        launcher = M().launcher;
    }
    return launcher ? launcher(lpCmdLine != nullptr ? lpCmdLine : "", uCmdShow) : 2;
}

LPSTR GetCommandLineA()
{
    std::lock_guard lock(M().mutex);
    return M().commandLine.data();
}

void Sleep(DWORD dwMilliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds)); }

LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) { return OpenKey(hKey, lpSubKey, phkResult, false); }

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM, HKEY* phkResult)
{
    return OpenKey(hKey, lpSubKey, phkResult, false);
}

LONG RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) { return OpenKey(hKey, lpSubKey, phkResult, true); }

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    std::lock_guard lock(M().mutex);
    const auto key = M().registry.find(KeyPath(hKey));
    if (key == M().registry.end())
        return ERROR_FILE_NOT_FOUND;
    const auto value = key->second.find(Lower(lpValueName != nullptr ? lpValueName : ""));
    if (value == key->second.end())
        return ERROR_FILE_NOT_FOUND;
    if (lpType != nullptr)
        *lpType = REG_SZ;
    const DWORD needed = static_cast<DWORD>(value->second.size() + 1);
    if (lpcbData == nullptr)
        return lpData == nullptr ? ERROR_SUCCESS : ERROR_MORE_DATA;
    if (lpData != nullptr && *lpcbData < needed) {
        *lpcbData = needed;
        return ERROR_MORE_DATA;
    }
    if (lpData != nullptr)
        std::memcpy(lpData, value->second.c_str(), needed);
    *lpcbData = needed;
    return ERROR_SUCCESS;
}

// Like Win32, the length is taken from the text, not from cbData.
LONG RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPCSTR lpData, DWORD)
{
    HKEY sub = nullptr;
    const LONG opened = OpenKey(hKey, lpSubKey, &sub, true);
    if (opened != ERROR_SUCCESS)
        return opened;
    std::lock_guard lock(M().mutex);
    M().registry[KeyPath(sub)][""] = lpData != nullptr ? lpData : "";
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD, const BYTE* lpData, DWORD cbData)
{
    std::lock_guard lock(M().mutex);
    const std::string path = KeyPath(hKey);
    if (path.empty())
        return ERROR_FILE_NOT_FOUND;
    M().registry[path][Lower(lpValueName != nullptr ? lpValueName : "")] = lpData != nullptr ? TextOf(lpData, cbData) : "";
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY) { return ERROR_SUCCESS; }

UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, int nDefault, LPCSTR lpFileName)
{
    for (const auto& [section, entries] : ReadIni(lpFileName)) {
        if (Lower(section) != Lower(lpAppName))
            continue;
        for (const auto& [key, value] : entries)
            if (Lower(key) == Lower(lpKeyName))
                return static_cast<UINT>(std::atoi(value.c_str()));
    }
    return static_cast<UINT>(nDefault);
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName)
{
    Ini ini = ReadIni(lpFileName);
    auto section = std::find_if(ini.begin(), ini.end(), [&](const auto& s) { return Lower(s.first) == Lower(lpAppName); });
    if (section == ini.end())
        section = ini.insert(ini.end(), {lpAppName, {}});
    auto& entries = section->second;
    auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return Lower(e.first) == Lower(lpKeyName); });
    if (entry == entries.end())
        entries.push_back({lpKeyName, lpString});
    else
        entry->second = lpString;
    std::ofstream out(lpFileName, std::ios::trunc);
    for (const auto& [name, values] : ini) {
        out << '[' << name << "]\r\n";
        for (const auto& [key, value] : values)
            out << key << '=' << value << "\r\n";
    }
    return out.good() ? TRUE : FALSE;
}

// rename() replaces the target in one step, as MoveFileExA with
// MOVEFILE_REPLACE_EXISTING does.
BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD)
{
    return std::rename(lpExistingFileName, lpNewFileName) == 0 ? TRUE : FALSE;
}

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    std::lock_guard lock(M().mutex);
    M().boxes.push_back({hWnd, lpText != nullptr ? lpText : "", lpCaption != nullptr ? lpCaption : "", uType});
    if (M().answers.empty())
        return IDOK;
    const int answer = M().answers.front();
    M().answers.pop_front();
    return answer;
}

DWORD GetLogicalDriveStringsA(DWORD nBufferLength, LPSTR lpBuffer)
{
    std::lock_guard lock(M().mutex);
    std::string all;
    for (const auto& drive : M().drives)
        all += drive.first + '\0';
    const auto needed = static_cast<DWORD>(all.size() + 1);
    if (lpBuffer == nullptr || nBufferLength < needed)
        return needed;
    std::memcpy(lpBuffer, all.c_str(), needed);
    return static_cast<DWORD>(all.size());
}

UINT GetDriveTypeA(LPCSTR lpRootPathName)
{
    std::lock_guard lock(M().mutex);
    for (const auto& [root, type] : M().drives)
        if (lpRootPathName != nullptr && Lower(root) == Lower(lpRootPathName))
            return type;
    return DRIVE_NO_ROOT_DIR;
}

// ---- test controls ----

namespace fake {

void Reset()
{
    std::lock_guard lock(M().mutex);
    for (auto& w : M().windows)
        w->alive = false;
    M().windows.clear();
    M().registry.clear();
    M().openKeys.clear();
    M().answers.clear();
    M().boxes.clear();
    M().drives.clear();
    M().launcher = nullptr;
    M().execs.clear();
    M().commandLine = "tandem.exe";
}

HWND CreateWindow(const std::string& className, WindowProc proc, DWORD processId)
{
    auto window = std::make_shared<Window>();
    window->className = className;
    window->proc = std::move(proc);
    window->processId = processId;
    std::lock_guard lock(M().mutex);
    M().windows.push_back(std::move(window));
    return ToHandle(M().windows.size() - 1);
}

void DestroyWindow(HWND hwnd)
{
    if (const auto window = Find(hwnd)) {
        std::lock_guard lock(window->dispatch);
        window->alive = false;
    }
}

bool IsWindow(HWND hwnd)
{
    const auto window = Find(hwnd);
    return window != nullptr && window->alive;
}

bool IsEnabled(HWND hwnd)
{
    const auto window = Find(hwnd);
    return window != nullptr && window->enabled;
}

void RegistrySet(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    HKEY key = nullptr;
    if (OpenKey(root, path.c_str(), &key, true) != ERROR_SUCCESS)
        return;
    std::lock_guard lock(M().mutex);
    M().registry[KeyPath(key)][Lower(name)] = value;
}

bool RegistryGet(HKEY root, const std::string& path, const std::string& name, std::string* value)
{
    std::lock_guard lock(M().mutex);
    const auto key = M().registry.find(JoinKey(RootName(root), path.c_str()));
    if (key == M().registry.end())
        return false;
    const auto found = key->second.find(Lower(name));
    if (found == key->second.end())
        return false;
    if (value != nullptr)
        *value = found->second;
    return true;
}

bool RegistryKeyExists(HKEY root, const std::string& path)
{
    std::lock_guard lock(M().mutex);
    return M().registry.count(JoinKey(RootName(root), path.c_str())) != 0;
}

void QueueMessageBoxAnswer(int answer)
{
    std::lock_guard lock(M().mutex);
    M().answers.push_back(answer);
}

std::vector<MessageBoxCall> MessageBoxCalls()
{
    std::lock_guard lock(M().mutex);
    return M().boxes;
}

void SetDrives(std::vector<std::pair<std::string, UINT>> drives)
{
    std::lock_guard lock(M().mutex);
    M().drives = std::move(drives);
}

void SetLauncher(Launcher launcher)
{
    std::lock_guard lock(M().mutex);
    M().launcher = std::move(launcher);
}

std::vector<std::pair<std::string, UINT>> ExecCalls()
{
    std::lock_guard lock(M().mutex);
    return M().execs;
}

void SetCommandLine(const std::string& cmdLine)
{
    std::lock_guard lock(M().mutex);
    M().commandLine = cmdLine;
}

Control::Control(const std::string& className)
{
    hwnd_ = CreateWindow(className, [this](UINT msg, WPARAM wParam, LPARAM lParam) { return Handle(msg, wParam, lParam); });
}

Control::~Control() { DestroyWindow(hwnd_); }

LRESULT Control::Handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(mutex_);
    switch (msg) {
    case WM_SETTEXT:
        text_ = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
        ++textWrites_;
        return TRUE;
    case WM_GETTEXT: {
        auto* out = reinterpret_cast<char*>(lParam);
        const std::size_t size = wParam;
        if (out == nullptr || size == 0)
            return 0;
        const std::size_t n = std::min(size - 1, text_.size());
        std::memcpy(out, text_.data(), n);
        out[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case BM_SETCHECK:
        check_ = static_cast<int>(wParam);
        ++checkWrites_;
        return 0;
    case BM_GETCHECK:
        return check_;
    case TBM_SETPOS:
        pos_ = static_cast<int>(lParam);
        ++posWrites_;
        return 0;
    case TBM_GETPOS:
        return pos_;
    case TBM_SETRANGEMIN:
        rangeMin_ = static_cast<int>(lParam);
        return 0;
    case TBM_SETRANGEMAX:
        rangeMax_ = static_cast<int>(lParam);
        return 0;
    default:
        return 0;
    }
}

std::string Control::Text() const
{
    std::lock_guard lock(mutex_);
    return text_;
}
int Control::Check() const
{
    std::lock_guard lock(mutex_);
    return check_;
}
int Control::Pos() const
{
    std::lock_guard lock(mutex_);
    return pos_;
}
int Control::RangeMin() const
{
    std::lock_guard lock(mutex_);
    return rangeMin_;
}
int Control::RangeMax() const
{
    std::lock_guard lock(mutex_);
    return rangeMax_;
}
int Control::TextWrites() const
{
    std::lock_guard lock(mutex_);
    return textWrites_;
}
int Control::PosWrites() const
{
    std::lock_guard lock(mutex_);
    return posWrites_;
}
int Control::CheckWrites() const
{
    std::lock_guard lock(mutex_);
    return checkWrites_;
}

}  // namespace fake

// ---- text conversion ----
//
// The stand-in's ANSI code page is ISO-8859-1: the first 256 code points
// exist, anything else (a surrogate pair counts as one character) becomes
// the default character. Like Windows, 0 when the output does not fit.
int WideCharToMultiByte(UINT, DWORD, const WCHAR* lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar)
{
    int n = 0;
    BOOL usedDefault = FALSE;
    for (int i = 0; i < cchWideChar; ++i, ++n) {
        const char16_t c = lpWideCharStr[i];
        const bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < cchWideChar && lpWideCharStr[i + 1] >= 0xDC00 &&
                          lpWideCharStr[i + 1] < 0xE000;
        i += pair ? 1 : 0;
        usedDefault = usedDefault || c > 0xFF;
        if (cbMultiByte == 0)
            continue;
        if (n >= cbMultiByte)
            return 0;
        lpMultiByteStr[n] = c > 0xFF ? (lpDefaultChar ? lpDefaultChar[0] : '?') : static_cast<char>(c);
    }
    if (lpUsedDefaultChar != nullptr)
        *lpUsedDefaultChar = usedDefault;
    return n;
}

// ---- seam calls of the mixer's watchdog and poll timing ----

BOOL IsWindow(HWND hWnd) { return fake::IsWindow(hWnd) ? TRUE : FALSE; }
UINT timeBeginPeriod(UINT) { return 0; }
UINT timeEndPeriod(UINT) { return 0; }
