// In-process stand-in for the operating system behind include/platform.h.
//
// "Windows" are callbacks registered under a class name; SendMessageA calls
// the callback on the sender's thread, one message at a time per window, as a
// Win32 window serialises what it receives. The registry is a map, message
// boxes answer from a queue the test fills, drives, the program's path,
// short names and the decodable sound files are set by the test. Wide texts
// are UTF-16 and kept as UTF-8; the ANSI code page is ISO-8859-1. Reset()
// returns everything to a clean machine.
#pragma once

#include "platform.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace fake {

using WindowProc = std::function<LRESULT(UINT msg, WPARAM wParam, LPARAM lParam)>;

// Clears windows, registry, message boxes, drives, launcher, module name and short names.
void Reset();

// Registers a top-level window; FindWindowExA returns windows of one class
// in the order they were created.
HWND CreateWindow(const std::string& className, WindowProc proc, DWORD processId = 0);
// A destroyed window answers 0 to every message and is no longer found.
void DestroyWindow(HWND hwnd);
// A hung window lets SendMessageTimeoutA wait out its time and fail.
void HangWindow(HWND hwnd, bool hung);

// Registry. Paths use backslashes, as Win32 writes them; the default value
// of a key has the empty name.
void RegistrySet(HKEY root, const std::string& path, const std::string& name, const std::string& value);
bool RegistryGet(HKEY root, const std::string& path, const std::string& name, std::string* value);

// Message boxes: each call takes the next queued answer (IDOK when empty).
struct MessageBoxCall {
    HWND owner;
    std::string text, caption;
    UINT type;
};
void QueueMessageBoxAnswer(int answer);
// Runs once, inside the next message box, as its modal loop would run what the program is sent.
void SetMessageBoxHook(std::function<void()> hook);
std::vector<MessageBoxCall> MessageBoxCalls();

// Drives, as GetLogicalDriveStringsA lists them, with their types.
void SetDrives(std::vector<std::pair<std::string, UINT>> drives);

// CreateProcessW: the launcher starts the command (UTF-8) and returns its
// process id (0: it did not start); TerminateProcess closes that process's windows.
using Launcher = std::function<DWORD(const std::string& cmdLine, UINT show)>;
void SetLauncher(Launcher launcher);
std::vector<std::pair<std::string, UINT>> ExecCalls();

// A path in the temporary folder that carries this process's ID, so that
// test runs at the same time on one machine never share a scratch file.
std::filesystem::path ScratchPath(const std::string& name);

// What GetModuleFileNameW answers (UTF-8).
void SetModuleFileName(const std::string& path);

// The clock of GetTickCount and Sleep (real time until a test sets its own).
void SetTime(std::function<std::uint64_t()> now, std::function<void(DWORD)> sleep);

// FindFirstFileW refuses to search this folder (a Unix path without its final '/').
void DenyFolder(const std::string& folder);
// The file or folder (a Unix path) has this short 8.3 name; others have none.
void SetShortName(const std::string& path, const std::string& shortName);
// How many times SHChangeNotify was called.
int ShellNotifications();
// AudioDecode of path hands these interleaved samples to the sink in blocks
// of 1001 frames; paths never set cannot be decoded.
void SetAudio(const std::string& path, AUDIOFORMAT format, std::vector<float> samples);

// File writes that fail on purpose, until Reset or the next call.
struct FileFaults {
    long long WriteBudget = -1;  // bytes WriteFile still writes; -1: no limit
    DWORD WriteError = 0;        // WriteFile past the budget fails with it; 0: it reports success (a full disk)
    DWORD FlushError = 0;        // FlushFileBuffers fails with it
    int RenameFailures = 0;      // so many next MoveFileExA fail with RenameError
    DWORD RenameError = 0;
};
void SetFileFaults(const FileFaults& faults);

// A control window that remembers what the program wrote into it.
class Control {
public:
    explicit Control(const std::string& className = "Control");
    ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    HWND hwnd() const { return hwnd_; }
    std::string Text() const { std::lock_guard lock(mutex_); return text_; }
    int Check() const { std::lock_guard lock(mutex_); return check_; }
    int Pos() const { std::lock_guard lock(mutex_); return pos_; }

private:
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

    mutable std::mutex mutex_;
    std::string text_;
    int check_ = 0, pos_ = 0;
    HWND hwnd_ = nullptr;
};

}  // namespace fake
