// A running Tandem for the end-to-end suites: its own database in the
// test's scratch folder as "Recent", players whose journals land there, the
// control panel found by caption, and the windows and boxes it opens.
#pragma once

#include "drive.h"
#include "e2e.h"

namespace e2e {

inline constexpr char kPanelCaption[] = "Tandem v1.0 - Control Panel";
inline constexpr char kSettingsKey[] = "Software\\Brightwater\\Tandem";
inline constexpr int kStartTimeoutMs = 60000;
inline constexpr int kWindowTimeoutMs = 20000;
// What a command that releases items says while a dialog may use them.
inline constexpr char kBusy[] = "Close the open dialogs and messages of Tandem first: they may use what this command releases.";

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
    void WaitForEnd();

    // A visible, enabled dialog of the program that passes test; null after timeoutMs.
    HWND WaitForDialog(const std::function<bool(HWND)>& test, int timeoutMs = kWindowTimeoutMs);
    // The program's dialog with the caption once it is shown and enabled, so
    // that its initialisation is over; null after timeoutMs.
    HWND WaitForShown(const char* caption, int timeoutMs = kWindowTimeoutMs)
    {
        return WaitForDialog([&](HWND window) { return WindowText(window) == caption; }, timeoutMs);
    }
    // The text of the box with the caption, which is then answered with
    // answer; the test fails when no box came or the answer did not close it.
    std::string AnswerBox(const char* caption, int answer);
    void ExpectMessageBox(const char* caption, const std::string& text, int answer) { EXPECT_EQ(AnswerBox(caption, answer), text); }

    // The track list window (tl, its table list) and the playlist editor
    // (pl, its table items), opened from the panel.
    void OpenTrackList();
    void OpenPlaylistEditor();
    // The track list's "Track information" of the row; null when it did not open.
    HWND OpenTrackInfo(int row);
    // The playlist editor's "New playlist" under the name, which it then shows.
    void NewPlaylist(const std::string& name);
    // The track list's "Add files" with names of the music folder, and "Add
    // directory" with the folder (and its subfolders when recursive); then
    // "Place of songs" gets place, or keeps what it offers when place is
    // empty; then the track list shows rows rows.
    void AddFiles(const std::vector<std::string>& names, int rows, const std::string& place = {});
    void AddFolder(const std::wstring& folder, int rows, const std::string& place = {}, bool recursive = false);
    bool WaitRows(HWND listView, int count)
    {
        return WaitUntil([&] { return ListViewCount(listView) == count; }, kWindowTimeoutMs);
    }
    // Until the measurement column of the track list's first rows holds text.
    bool WaitMeasured(int rows, const std::string& text, int timeoutMs = kWindowTimeoutMs);

    // The player that was handed the file; a player's journal (empty for none).
    HWND PlayerWith(const std::string& file);
    std::vector<PlayerJournalEntry> JournalOf(HWND player) { return ReadJournal(JournalFile(scratch, WindowProcess(player))); }
    std::vector<PlayerJournalEntry> JournalOfPlayerWith(const std::string& file) { return JournalOf(PlayerWith(file)); }

    std::string MusicFile(const std::string& name) { return JoinPath(music, name); }
    // The files written into the music folder; their full paths.
    std::vector<std::string> WriteMusic(const std::vector<std::pair<std::string, Tag>>& files);
    // The database (at path, or "Recent"): each file (a full path) a track
    // read from its tag and, in this order, an item of the playlist "default".
    void StoreLibrary(const std::vector<std::string>& files, const std::string& path = {});

    Process tandem;
    bool running = false;
    HWND panel = nullptr, tl = nullptr, list = nullptr, pl = nullptr, items = nullptr;
    std::string database, music;
};

}  // namespace e2e
