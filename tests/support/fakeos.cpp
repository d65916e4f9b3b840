#include "fakeos.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace {

struct Window {
    std::string className;
    fake::WindowProc proc;
    DWORD processId = 0;
    std::atomic<bool> alive = true;
    std::atomic<bool> hung = false;
    std::recursive_mutex dispatch;  // one message at a time, re-entrant like a window's own thread
};

using Values = std::map<std::string, std::string>;  // lower-case name -> value

struct Machine {
    std::vector<std::shared_ptr<Window>> windows;  // HWND = index + 1
    std::map<std::string, Values> registry;        // lower-case key path -> values
    std::vector<std::string> openKeys;             // HKEY = index + kFirstKey
    std::deque<int> answers;
    std::vector<fake::MessageBoxCall> boxes;
    std::vector<std::pair<std::string, UINT>> drives;
    fake::Launcher launcher;
    std::vector<std::pair<std::string, UINT>> execs;
    std::string moduleFileName = "C:\\Tandem\\tandem.exe";
    std::vector<std::string> deniedFolders;
    std::function<void()> boxHook;
    std::function<std::uint64_t()> now = [] { return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::milliseconds(1); };
    std::function<void(DWORD)> sleep = [](DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    fake::FileFaults faults;
    std::map<std::string, std::string> shortNames;  // Unix path -> short name
    std::map<std::string, DWORD> attributes;        // Unix path -> attributes set on the file
    int shellNotifications = 0;
    std::map<std::string, std::pair<AUDIOFORMAT, std::shared_ptr<const std::vector<float>>>> audio;
};

// Everything a test may change, under one lock.
std::mutex mutex;
Machine& M()
{
    static Machine machine;
    return machine;
}

template <typename F>
auto Locked(F&& f)
{
    std::lock_guard lock(mutex);
    return f(M());
}

constexpr std::uintptr_t kFirstKey = 0x1000;
thread_local DWORD LastError = 0;

std::shared_ptr<Window> Find(HWND hwnd)
{
    const auto index = reinterpret_cast<std::uintptr_t>(hwnd);
    std::lock_guard lock(mutex);
    return index == 0 || index > M().windows.size() ? nullptr : M().windows[index - 1];
}

std::string Lower(const char* text)
{
    std::string s = text != nullptr ? text : "";
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Wide (UTF-16) text and the UTF-8 the stand-in keeps, both ways.
std::string Utf8(const WCHAR* text, std::size_t n = std::u16string_view::npos)
{
    const std::u16string_view view = text == nullptr ? u"" : std::u16string_view(text);
    return std::filesystem::path(view.substr(0, n)).string();
}

std::u16string Utf16(const std::string& text) { return std::filesystem::path(text).u16string(); }

// Copies text and its terminator into out (size characters); false when it does not fit.
bool CopyWide(const std::u16string& text, WCHAR* out, std::size_t size)
{
    const bool fits = text.size() < size;
    if (fits)
        std::copy(text.c_str(), text.c_str() + text.size() + 1, out);
    return fits;
}

// The lower-case path a handle and a subkey stand for; empty for an unknown
// handle. Call locked.
std::string KeyPath(HKEY key, const char* sub = nullptr)
{
    const auto index = reinterpret_cast<std::uintptr_t>(key);
    std::string path = key == HKEY_CLASSES_ROOT ? "hkcr" : key == HKEY_CURRENT_USER ? "hkcu" : "";
    if (index >= kFirstKey && index - kFirstKey < M().openKeys.size())
        path = M().openKeys[index - kFirstKey];
    return path.empty() || sub == nullptr || sub[0] == '\0' ? path : path.append("\\").append(Lower(sub));
}

LONG OpenKey(HKEY key, LPCSTR sub, HKEY* result, bool create)
{
    std::lock_guard lock(mutex);
    const std::string path = KeyPath(key, sub);
    if (path.empty() || result == nullptr || (!create && M().registry.count(path) == 0))
        return ERROR_FILE_NOT_FOUND;
    for (std::size_t at = path.find('\\'); create && at != std::string::npos; at = path.find('\\', at + 1))
        M().registry[path.substr(0, at)];
    M().registry[path];
    M().openKeys.push_back(path);
    *result = reinterpret_cast<HKEY>(kFirstKey + M().openKeys.size() - 1);
    return ERROR_SUCCESS;
}

// Looks up a value; null when the key or the value is missing. Call locked.
const std::string* Value(const std::string& path, const char* name)
{
    const auto key = M().registry.find(path);
    const auto value = key != M().registry.end() ? key->second.find(Lower(name)) : Values::iterator();
    return key != M().registry.end() && value != key->second.end() ? &value->second : nullptr;
}

// Hands out a value, converted, with its terminator as RegQueryValueEx does.
template <typename Text>
LONG GiveValue(HKEY hKey, const std::string& name, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData, Text (*convert)(const std::string&))
{
    std::lock_guard lock(mutex);
    const std::string* value = Value(KeyPath(hKey), name.c_str());
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (lpType != nullptr)
        *lpType = REG_SZ;
    const Text text = convert(*value);
    const auto needed = static_cast<DWORD>((text.size() + 1) * sizeof text[0]);
    const bool fits = lpData == nullptr || (lpcbData != nullptr && *lpcbData >= needed);
    if (lpData != nullptr && fits)
        std::memcpy(lpData, text.c_str(), needed);
    if (lpcbData != nullptr)
        *lpcbData = needed;
    return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG SetValue(HKEY hKey, const std::string& name, const std::string& text)
{
    std::lock_guard lock(mutex);
    const std::string path = KeyPath(hKey);
    if (!path.empty())
        M().registry[path][Lower(name.c_str())] = text;
    return path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

// Files and folders: the real file system, with backslashes.

// The program's ANSI names are taken as UTF-8 here.
std::string UnixPath(std::string p)
{
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

std::string UnixPath(const WCHAR* path) { return UnixPath(Utf8(path)); }

struct Search {
    DIR* dir;
    std::string folder;  // ends in '/'
};

// Wine's way: a name beginning with "." is hidden. Short names are those the test gave.
bool NextEntry(Search* s, WIN32_FIND_DATAW* fd)
{
    while (const dirent* e = readdir(s->dir)) {
        struct stat link {}, target {};
        const std::string path = s->folder + e->d_name;
        if (lstat(path.c_str(), &link) != 0)
            continue;
        const bool isLink = S_ISLNK(link.st_mode);
        const bool isDir = S_ISDIR(link.st_mode) || (isLink && stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode));
        const bool dots = std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0;
        fd->dwFileAttributes = (isDir ? FILE_ATTRIBUTE_DIRECTORY : 0) | (isLink ? FILE_ATTRIBUTE_REPARSE_POINT : 0) |
                               (e->d_name[0] == '.' && !dots ? FILE_ATTRIBUTE_HIDDEN : 0);
        const std::string shortName = Locked([&](Machine& m) { return m.shortNames.count(path) ? m.shortNames[path] : ""; });
        if (CopyWide(Utf16(e->d_name), fd->cFileName, MAX_PATH) && CopyWide(Utf16(shortName), fd->cAlternateFileName, 14))
            return true;
    }
    return false;
}

// A folder's identity, a file open for writing as well, or a process.
struct FileHandle {
    int fd;
    dev_t dev;
    ino_t ino;
    DWORD pid;
};

template <typename T = HANDLE>
T Failed(DWORD Error, T Result = INVALID_HANDLE_VALUE)
{
    LastError = Error;
    return Result;
}

DWORD ErrorOf(int Errno)
{
    return Errno == EEXIST ? ERROR_FILE_EXISTS : Errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED;
}

// A call of the file system: its errno becomes the last error.
BOOL Succeeded(bool Ok) { return Ok ? TRUE : Failed(ErrorOf(errno), FALSE); }

// A file has the attributes last set on it; a folder is only a folder.
DWORD AttributesOf(const std::string& Path)
{
    struct stat st {};
    if (stat(Path.c_str(), &st) != 0)
        return Failed(ErrorOf(errno), INVALID_FILE_ATTRIBUTES);
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    return Locked([&](Machine& m) { return m.attributes.count(Path) ? m.attributes[Path] : FILE_ATTRIBUTE_NORMAL; });
}

HANDLE OpenFile(const std::string& Path, DWORD Access, DWORD Disposition)
{
    const int create = Disposition == CREATE_NEW ? O_CREAT | O_EXCL : O_CREAT | O_TRUNC;
    const int fd = (Access & GENERIC_WRITE) != 0 ? open(Path.c_str(), O_WRONLY | O_CLOEXEC | create, 0644) : -1;
    struct stat st {};
    if ((Access & GENERIC_WRITE) != 0 && fd < 0)
        return Failed(ErrorOf(errno));
    if ((fd >= 0 ? fstat(fd, &st) : stat(Path.c_str(), &st)) != 0)
        return Failed(ERROR_FILE_NOT_FOUND);
    return new FileHandle{fd, st.st_dev, st.st_ino, 0};
}

}  // namespace

// ---- the seam ----

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    const auto window = Find(hWnd);
    if (window == nullptr)
        return 0;
    std::lock_guard lock(window->dispatch);
    return window->alive && window->proc ? window->proc(Msg, wParam, lParam) : 0;
}

// A hung window answers nothing: the sender waits out its time. A closed
// one fails at once, hung or not.
LRESULT SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT, UINT uTimeout, DWORD_PTR* lpdwResult)
{
    const auto window = Find(hWnd);
    if (window == nullptr || !window->alive || window->hung)
        return window != nullptr && window->alive ? (Sleep(uTimeout), 0) : 0;
    *lpdwResult = static_cast<DWORD_PTR>(SendMessageA(hWnd, Msg, wParam, lParam));
    return 1;
}

// No test looks at the enabled state; every window was enabled before.
BOOL EnableWindow(HWND, BOOL) { return FALSE; }

HWND FindWindowExA(HWND hWndParent, HWND hWndChildAfter, LPCSTR lpszClass, LPCSTR)
{
    std::lock_guard lock(mutex);
    for (auto i = reinterpret_cast<std::uintptr_t>(hWndChildAfter); hWndParent == nullptr && i < M().windows.size(); ++i)
        if (M().windows[i]->alive && lpszClass != nullptr && M().windows[i]->className == lpszClass)
            return reinterpret_cast<HWND>(i + 1);
    return nullptr;
}

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
{
    const auto window = Find(hWnd);
    if (lpdwProcessId != nullptr)
        *lpdwProcessId = window != nullptr ? window->processId : 0;
    return window != nullptr ? 1 : 0;
}

// Like Windows, the size given when the name does not fit.
DWORD GetModuleFileNameW(HMODULE, LPWSTR lpFilename, DWORD nSize)
{
    const std::u16string name = Utf16(Locked([](Machine& m) { return m.moduleFileName; }));
    return CopyWide(name, lpFilename, nSize) ? static_cast<DWORD>(name.size()) : nSize;
}

void Sleep(DWORD dwMilliseconds) { Locked([](Machine& m) { return m.sleep; })(dwMilliseconds); }

DWORD GetTickCount() { return static_cast<DWORD>(Locked([](Machine& m) { return m.now; })()); }

LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) { return OpenKey(hKey, lpSubKey, phkResult, false); }

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM, HKEY* phkResult) { return OpenKey(hKey, lpSubKey, phkResult, false); }

LONG RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, HKEY* phkResult) { return OpenKey(hKey, lpSubKey, phkResult, true); }

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    return GiveValue<std::string>(hKey, lpValueName != nullptr ? lpValueName : "", lpType, lpData, lpcbData,
                                  [](const std::string& v) { return v; });
}

// Wide values are kept as UTF-8.
LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    return GiveValue<std::u16string>(hKey, Utf8(lpValueName), lpType, lpData, lpcbData, Utf16);
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD, const BYTE* lpData, DWORD cbData)
{
    std::u16string text(cbData / sizeof(WCHAR), 0);
    if (lpData != nullptr)
        std::memcpy(text.data(), lpData, text.size() * sizeof(WCHAR));
    return SetValue(hKey, Utf8(lpValueName), Utf8(text.c_str(), text.size()));
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD, const BYTE* lpData, DWORD cbData)
{
    const auto* text = reinterpret_cast<const char*>(lpData);
    return SetValue(hKey, lpValueName != nullptr ? lpValueName : "", text != nullptr ? std::string(text, strnlen(text, cbData)) : "");
}

LONG RegCloseKey(HKEY) { return ERROR_SUCCESS; }

// The program never calls the profile functions: no profile file exists.
UINT GetPrivateProfileIntA(LPCSTR, LPCSTR, int nDefault, LPCSTR) { return static_cast<UINT>(nDefault); }
BOOL WritePrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR, LPCSTR) { return FALSE; }

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    const auto hook = Locked([&](Machine& m) {
        m.boxes.push_back({hWnd, lpText != nullptr ? lpText : "", lpCaption != nullptr ? lpCaption : "", uType});
        return std::exchange(m.boxHook, nullptr);
    });
    if (hook)
        hook();
    return Locked([](Machine& m) {
        const int answer = m.answers.empty() ? IDOK : m.answers.front();
        if (!m.answers.empty())
            m.answers.pop_front();
        return answer;
    });
}

DWORD GetLogicalDriveStringsA(DWORD nBufferLength, LPSTR lpBuffer)
{
    std::lock_guard lock(mutex);
    std::string all;
    for (const auto& drive : M().drives)
        all.append(drive.first).push_back('\0');
    const auto needed = static_cast<DWORD>(all.size() + 1);
    if (lpBuffer == nullptr || nBufferLength < needed)
        return needed;
    std::memcpy(lpBuffer, all.c_str(), needed);
    return static_cast<DWORD>(all.size());
}

void SHChangeNotify(LONG, UINT, const void*, const void*) { Locked([](Machine& m) { ++m.shellNotifications; }); }

UINT GetDriveTypeA(LPCSTR lpRootPathName)
{
    std::lock_guard lock(mutex);
    for (const auto& [root, type] : M().drives)
        if (Lower(root.c_str()) == Lower(lpRootPathName))
            return type;
    return DRIVE_NO_ROOT_DIR;
}

// A folder's entries ("<folder>\\*.*"), or the one entry a full path names.
HANDLE FindFirstFileW(LPCWSTR lpFileName, WIN32_FIND_DATAW* lpFindFileData)
{
    std::string folder = UnixPath(lpFileName);
    const std::string only = folder.ends_with("*.*") ? "" : folder.substr(folder.rfind('/') + 1);
    folder.resize(folder.rfind('/') + 1);
    const bool denied = Locked([&](Machine& m) { return std::ranges::count(m.deniedFolders, folder) > 0; });
    DIR* dir = denied ? nullptr : opendir(folder.c_str());
    if (dir == nullptr)
        return Failed(denied || errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
    auto* search = new Search{dir, folder};
    bool found = NextEntry(search, lpFindFileData);
    while (found && !only.empty() && Utf8(lpFindFileData->cFileName) != only)
        found = NextEntry(search, lpFindFileData);
    if (!found) {
        FindClose(search);
        return Failed(ERROR_FILE_NOT_FOUND);
    }
    return search;
}

BOOL FindNextFileW(HANDLE hFindFile, WIN32_FIND_DATAW* lpFindFileData) { return NextEntry(static_cast<Search*>(hFindFile), lpFindFileData); }

BOOL FindClose(HANDLE hFindFile)
{
    auto* search = static_cast<Search*>(hFindFile);
    closedir(search->dir);
    delete search;
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR lpFileName) { return AttributesOf(UnixPath(lpFileName)); }
DWORD GetFileAttributesW(LPCWSTR lpFileName) { return AttributesOf(UnixPath(lpFileName)); }

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                   DWORD, HANDLE)
{
    return OpenFile(UnixPath(lpFileName), dwDesiredAccess, dwCreationDisposition);
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                   DWORD, HANDLE)
{
    return OpenFile(UnixPath(lpFileName), dwDesiredAccess, dwCreationDisposition);
}

BOOL GetFileInformationByHandle(HANDLE hFile, BY_HANDLE_FILE_INFORMATION* lpFileInformation)
{
    const auto* info = static_cast<FileHandle*>(hFile);
    const auto ino = static_cast<std::uint64_t>(info->ino);
    *lpFileInformation = {static_cast<DWORD>(info->dev), static_cast<DWORD>(ino >> 32), static_cast<DWORD>(ino)};
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject)
{
    if (hObject == nullptr)
        return TRUE;
    const auto* file = static_cast<FileHandle*>(hObject);
    const bool closed = file->fd < 0 || close(file->fd) == 0;
    delete file;
    return Succeeded(closed);
}

// The launcher decides what starting a command means.
BOOL CreateProcessW(LPCWSTR, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, void*,
                    LPCWSTR, STARTUPINFOW* lpStartupInfo, PROCESS_INFORMATION* lpProcessInformation)
{
    const std::string command = Utf8(lpCommandLine);
    const UINT show = lpStartupInfo->wShowWindow;
    const fake::Launcher launcher = Locked([&](Machine& m) { return m.execs.push_back({command, show}), m.launcher; });
    const DWORD pid = launcher ? launcher(command, show) : 0;
    if (pid == 0)
        return Failed(ERROR_FILE_NOT_FOUND, FALSE);
    *lpProcessInformation = {new FileHandle{-1, 0, 0, pid}, new FileHandle{-1, 0, 0, pid}, pid, pid};
    return TRUE;
}

DWORD WaitForInputIdle(HANDLE, DWORD) { return 0; }

// Ending a process takes its windows with it.
BOOL TerminateProcess(HANDLE hProcess, UINT)
{
    const DWORD pid = static_cast<const FileHandle*>(hProcess)->pid;
    std::lock_guard lock(mutex);
    for (auto& w : M().windows)
        if (w->processId == pid)
            w->alive = w->hung = false;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED)
{
    DWORD allowed = nNumberOfBytesToWrite;
    const DWORD error = Locked([&](Machine& m) {
        if (m.faults.WriteBudget >= 0) {
            allowed = static_cast<DWORD>(std::min<long long>(allowed, m.faults.WriteBudget));
            m.faults.WriteBudget -= allowed;
        }
        return m.faults.WriteError;
    });
    const ssize_t written = allowed > 0 ? write(static_cast<FileHandle*>(hFile)->fd, lpBuffer, allowed) : 0;
    *lpNumberOfBytesWritten = written > 0 ? static_cast<DWORD>(written) : 0;
    return allowed < nNumberOfBytesToWrite && error != 0 ? Failed(error, FALSE) : Succeeded(written >= 0);
}

BOOL FlushFileBuffers(HANDLE hFile)
{
    const DWORD error = Locked([](Machine& m) { return m.faults.FlushError; });
    return error != 0 ? Failed(error, FALSE) : Succeeded(fsync(static_cast<FileHandle*>(hFile)->fd) == 0);
}

// rename() replaces the target in one step, as MoveFileExA with
// MOVEFILE_REPLACE_EXISTING does.
BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD)
{
    const DWORD error = Locked([](Machine& m) {
        return m.faults.RenameFailures > 0 && m.faults.RenameFailures-- > 0 ? m.faults.RenameError : 0;
    });
    const std::string from = UnixPath(lpExistingFileName), to = UnixPath(lpNewFileName);
    if (error != 0)
        return Failed(error, FALSE);
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return Succeeded(false);
    Locked([&](Machine& m) {  // the attributes go with the file
        auto kept = m.attributes.extract(from);
        m.attributes.erase(to);
        if (kept)
            m.attributes[to] = kept.mapped();
    });
    return TRUE;
}

BOOL DeleteFileA(LPCSTR lpFileName) { return Succeeded(unlink(UnixPath(lpFileName).c_str()) == 0); }

BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes)
{
    if (GetFileAttributesA(lpFileName) == INVALID_FILE_ATTRIBUTES)
        return FALSE;
    Locked([&](Machine& m) { m.attributes[UnixPath(lpFileName)] = dwFileAttributes; });
    return TRUE;
}

void SetLastError(DWORD dwErrCode) { LastError = dwErrCode; }

DWORD GetLastError() { return LastError; }

// ---- test controls ----

namespace fake {

void Reset()
{
    std::lock_guard lock(mutex);
    for (auto& w : M().windows)
        w->alive = false;
    M() = Machine{};
}

HWND CreateWindow(const std::string& className, WindowProc proc, DWORD processId)
{
    auto window = std::make_shared<Window>(className, std::move(proc), processId);
    std::lock_guard lock(mutex);
    M().windows.push_back(std::move(window));
    return reinterpret_cast<HWND>(M().windows.size());
}

void DestroyWindow(HWND hwnd)
{
    if (const auto window = Find(hwnd)) {
        std::lock_guard lock(window->dispatch);
        window->alive = false;
    }
}

void RegistrySet(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    HKEY key = nullptr;
    if (OpenKey(root, path.c_str(), &key, true) == ERROR_SUCCESS)
        SetValue(key, name, value);
}

bool RegistryGet(HKEY root, const std::string& path, const std::string& name, std::string* value)
{
    std::lock_guard lock(mutex);
    const std::string* found = Value(KeyPath(root, path.c_str()), name.c_str());
    if (found != nullptr && value != nullptr)
        *value = *found;
    return found != nullptr;
}

void QueueMessageBoxAnswer(int answer) { Locked([&](Machine& m) { m.answers.push_back(answer); }); }
std::vector<MessageBoxCall> MessageBoxCalls() { return Locked([](Machine& m) { return m.boxes; }); }
void SetDrives(std::vector<std::pair<std::string, UINT>> drives) { Locked([&](Machine& m) { m.drives = std::move(drives); }); }
void SetMessageBoxHook(std::function<void()> hook) { Locked([&](Machine& m) { m.boxHook = std::move(hook); }); }
void SetTime(std::function<std::uint64_t()> now, std::function<void(DWORD)> sleep)
{
    Locked([&](Machine& m) { m.now = std::move(now), m.sleep = std::move(sleep); });
}
void HangWindow(HWND hwnd, bool hung)
{
    if (const auto window = Find(hwnd))
        window->hung = hung;
}
void SetLauncher(Launcher launcher) { Locked([&](Machine& m) { m.launcher = std::move(launcher); }); }
std::vector<std::pair<std::string, UINT>> ExecCalls() { return Locked([](Machine& m) { return m.execs; }); }
std::filesystem::path ScratchPath(const std::string& name)
{
    return std::filesystem::temp_directory_path() / (name + std::to_string(::getpid()));
}

void SetModuleFileName(const std::string& path) { Locked([&](Machine& m) { m.moduleFileName = path; }); }
void DenyFolder(const std::string& folder) { Locked([&](Machine& m) { m.deniedFolders.push_back(folder + "/"); }); }
void SetFileFaults(const FileFaults& faults) { Locked([&](Machine& m) { m.faults = faults; }); }
void SetShortName(const std::string& path, const std::string& name) { Locked([&](Machine& m) { m.shortNames[path] = name; }); }
int ShellNotifications() { return Locked([](Machine& m) { return m.shellNotifications; }); }

void SetAudio(const std::string& path, AUDIOFORMAT format, std::vector<float> samples)
{
    Locked([&](Machine& m) { m.audio[path] = {format, std::make_shared<const std::vector<float>>(std::move(samples))}; });
}

Control::Control(const std::string& className)
    : hwnd_(CreateWindow(className, [this](UINT msg, WPARAM wParam, LPARAM lParam) { return Handle(msg, wParam, lParam); }))
{
}

Control::~Control() { DestroyWindow(hwnd_); }

LRESULT Control::Handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(mutex_);
    auto* out = reinterpret_cast<char*>(lParam);
    const std::size_t n = wParam > 0 ? std::min(wParam - 1, text_.size()) : 0;
    switch (msg) {
    case WM_SETTEXT:
        text_ = out != nullptr ? out : "";
        return TRUE;
    case WM_GETTEXT:
        if (out != nullptr && wParam > 0)
            std::memcpy(out, text_.data(), n), out[n] = '\0';
        return out != nullptr ? static_cast<LRESULT>(n) : 0;
    case BM_SETCHECK:
        return check_ = static_cast<int>(wParam), 0;
    case BM_GETCHECK:
        return check_;
    case TBM_SETPOS:
        return pos_ = static_cast<int>(lParam), 0;
    case TBM_GETPOS:
        return pos_;
    default:
        return 0;
    }
}

}  // namespace fake

// ---- text conversion ----
//
// The stand-in's ANSI code page is ISO-8859-1: the first 256 code points
// exist, anything else (a surrogate pair counts as one character) becomes
// the default character. Like Windows, 0 when the output does not fit, and
// a length of -1 converts the text with its terminator.
UINT GetACP() { return 28591; }

int WideCharToMultiByte(UINT, DWORD, const WCHAR* lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar)
{
    if (cchWideChar < 0)
        cchWideChar = static_cast<int>(std::char_traits<WCHAR>::length(lpWideCharStr)) + 1;
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

BOOL IsWindow(HWND hWnd)
{
    const auto window = Find(hWnd);
    return window != nullptr && window->alive ? TRUE : FALSE;
}
HANDLE GetCurrentThread() { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2)); }
BOOL SetThreadPriority(HANDLE, int) { return TRUE; }
UINT timeBeginPeriod(UINT) { return 0; }
UINT timeEndPeriod(UINT) { return 0; }

// ---- Tandem's decoding service ----

int AudioDecode(const char* Path, AUDIOSINK Sink, void* Param)
{
    const auto audio = Locked([&](Machine& m) { return m.audio[Path]; });  // no samples: never set
    if (!audio.second)
        return AUDIO_CANNOTDECODE;
    const auto channels = static_cast<std::size_t>(audio.first.iChannels);
    const std::size_t frames = audio.second->size() / channels, block = 1001;  // a size no part of the meter divides
    for (std::size_t at = 0; at < frames; at += block)
        if (Sink(&audio.first, audio.second->data() + at * channels, std::min(block, frames - at), Param) == 0)
            return AUDIO_STOPPED;
    return AUDIO_DONE;
}
