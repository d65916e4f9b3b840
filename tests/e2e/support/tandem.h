// A running Tandem for the end-to-end suites: its own database in the
// test's scratch folder as "Recent", players whose journals land there, the
// control panel found by caption, and the windows and boxes it opens.
#pragma once

#include "drive.h"
#include "e2e.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

inline constexpr char kPanelCaption[] = "Tandem v1.0 - Control Panel";
inline constexpr char kSettingsKey[] = "Software\\Brightwater\\Tandem";
inline constexpr int kStartTimeoutMs = 60000;
inline constexpr int kWindowTimeoutMs = 20000;

struct Tag {
    std::string artist, title;
    int genre = 17;  // "Rock"
    unsigned ms = 20000;
};

// A tagged MP3 file of silent frames; a failed write fails the test.
void WriteTrack(const std::string& path, const Tag& tag);
std::string ReadBytes(const std::string& path);
std::string MakeDir(const std::string& path);

class TandemTest : public Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts tandem.exe with the arguments and waits for the control panel
    // and its five players; atStart answers what it asks before its panel.
    void StartTandem(const std::vector<std::string>& args = {}, const std::function<void()>& atStart = {});
    // Closes the control panel, which ends the program after saving.
    void Quit();

    // A visible, enabled dialog of the program that passes test; null after timeoutMs.
    HWND WaitForDialog(const std::function<bool(HWND)>& test, int timeoutMs = kWindowTimeoutMs);
    // The program's dialog with the caption once it is shown and enabled, so
    // that its initialisation is over; null after timeoutMs.
    HWND WaitForShown(const char* caption, int timeoutMs = kWindowTimeoutMs);
    // The box with the caption must say text; it is answered with answer.
    HWND ExpectMessageBox(const char* caption, const std::string& text, int answer);

    // The journal of the player that was last handed the file.
    std::vector<PlayerJournalEntry> JournalOfPlayerWith(const std::string& file);

    std::string MusicFile(const std::string& name) { return JoinPath(music, name); }
    void WriteMusic(const std::vector<std::pair<std::string, Tag>>& files);

    Process tandem;
    bool running = false;
    HWND panel = nullptr;
    std::string database;
    std::string music;
};

}  // namespace e2e
