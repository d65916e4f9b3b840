// The host side of driving the real programs under Wine, for the end-to-end
// tests, the demo, the manual's pictures and the benchmarks: paths between
// the Linux host and Wine, time, processes, top-level windows, player
// journals and the registry.
//
// Paths handed to the programs are Windows paths ("Z:\work\...").
#pragma once

#include "platform.h"
#include "playermodel.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// ---- paths ----

// "/a/b" -> "Z:\a\b" (as Wine maps the root); a Windows path comes back unchanged.
std::string ToWindowsPath(const std::string& path);
// "Z:\a\b" -> "/a/b"; other drives as Wine maps them; empty when unknown.
std::string ToLinuxPath(const std::string& path);
std::string JoinPath(const std::string& dir, const std::string& name);
// ANSI text (the test's code page) as wide text.
std::wstring Wide(const std::string& text);
// The Windows path of the tplayer.exe built with the tests.
inline std::string TplayerExe() { return ToWindowsPath(TPLAYER_EXE); }

// ---- time ----

// Monotonic milliseconds on the clock the players use.
std::uint64_t NowMs();
// Polls condition every pollMs until it holds or timeoutMs passed.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs = 10);

// ---- processes ----

struct Process {
    HANDLE handle = nullptr;
    DWORD pid = 0;
};

// Starts exe with the arguments (quoted where needed) in the test's
// environment, and waits until it is ready for input unless told not to (it
// then starts minimised, as the program starts its players). The process is
// remembered for StopAll.
bool Start(const std::string& exe, const std::vector<std::string>& args, Process* process, bool waitForInput = true);
// Stops every process Start started.
void StopAll();
// Stops the processes owning top-level windows of the class (players
// started through WinExec).
void StopWindowsOfClass(const char* className);
bool ProcessEnded(DWORD pid);
// Starts a shell script in the folder on the Linux host. Wine starts ELF
// programs as they are but cannot wait for them: the script leaves a file
// "done" behind when it ends.
bool StartUnix(const std::string& folder, const std::string& script);
inline bool UnixDone(const std::string& folder)
{
    return GetFileAttributesA(JoinPath(folder, "done").c_str()) != INVALID_FILE_ATTRIBUTES;
}
// Runs the script until it ends.
inline bool RunUnix(const std::string& folder, const std::string& script)
{
    return StartUnix(folder, script) && WaitUntil([&] { return UnixDone(folder); }, 60000, 5);
}

// ---- windows ----

// Top-level windows of the class (any when null) and caption (any when null), in Z order.
std::vector<HWND> TopLevelWindows(const char* className, const char* caption = nullptr);
// The first matching window, or null after timeoutMs.
HWND WaitForWindow(const char* className, const char* caption, int timeoutMs);
// Waits until at least count windows match; returns those there are then.
std::vector<HWND> WaitForWindows(const char* className, std::size_t count, int timeoutMs, const char* caption = nullptr);
DWORD WindowProcess(HWND hwnd);

// ---- player journals ----

// A player's file in dir, the folder of journals.
inline std::string JournalFile(const std::string& dir, DWORD pid) { return JoinPath(dir, "journal-" + std::to_string(pid) + ".txt"); }
// Every journal line of the file; empty when it cannot be read. Lines that
// do not parse are skipped.
std::vector<PlayerJournalEntry> ReadJournal(const std::string& file);

// ---- registry ----

// False when the key or the value is missing.
bool RegistryGetString(HKEY root, const std::string& path, const std::string& name, std::string* value);

}  // namespace e2e
