// demodrive: runs the demo in a started Tandem through window messages, as
// a user would with the mouse: fade over and duo on, the playlist's first
// item queued, NEXT pressed; then one line per change, read from the
// players' journals, until the asked number of changes (0: until killed).
// "demodrive --close" closes the control panel, so Tandem saves and ends.
// The journals are read as they grow, each line once.
#include "drive.h"
#include "host.h"
#include "resource.h"
#include "winamp.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr char kPanelCaption[] = "Tandem v1.0 - Control Panel";
constexpr int kStartTimeoutMs = 60000;
constexpr int kFadeMs = 2000;
constexpr int kDuoMs = 2000;

int Fail(const char* what)
{
    std::fprintf(stderr, "demodrive: %s\n", what);
    return 1;
}

HWND FindPanel(int timeoutMs)
{
    HWND panel = nullptr;
    e2e::WaitUntil(
        [&] {
            panel = e2e::WaitForWindow(e2e::kDialogClass, kPanelCaption, 0);
            return panel != nullptr && IsWindowVisible(panel);
        },
        timeoutMs, 50);
    return panel;
}

bool Check(HWND panel, int id)
{
    return e2e::CheckState(panel, id) == BST_CHECKED || e2e::Click(panel, id);
}

bool SetUpMix(HWND panel)
{
    return Check(panel, CBFADE) && Check(panel, CB2CHAN) && e2e::Click(panel, RBFADEOVER) &&
           e2e::SetComboText(panel, CBOFADELEN, std::to_string(kFadeMs)) &&
           e2e::SetComboText(panel, CBODUOLEN, std::to_string(kDuoMs));
}

// Loads the first playlist item as the next one, closes the editor and presses NEXT.
bool Start(HWND panel)
{
    if (!e2e::Click(panel, BTPLAYLIST))
        return false;
    const HWND editor = e2e::WaitForDialog(nullptr, kStartTimeoutMs, [](HWND w) { return e2e::Control(w, LVPLAYLIST) != nullptr; });
    if (editor == nullptr || !e2e::ListViewSelect(e2e::Control(editor, LVPLAYLIST), 0) || !e2e::Click(editor, BTACTIVATE))
        return false;
    SendMessageA(editor, WM_CLOSE, 0, 0);
    return e2e::Click(panel, BTPLAYNEXT);
}

std::string FileTitle(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What one player's journal told so far: the file it holds and whether
// that file has been seen playing.
struct Player {
    std::string file;
    bool announced = false;
};

// Loading a track plays and pauses it at its start, and stopping a paused
// player lets it play for a moment: a track counts as started once it has
// played half a second.
constexpr std::int32_t kStartedAtMs = 500;

// The whole lines written to the journal since offset, which moves past
// them; a journal that the player started anew is read from its start.
std::vector<PlayerJournalEntry> NewLines(const std::string& file, std::streamoff& offset)
{
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() < offset)
        offset = 0;
    in.seekg(offset);
    std::vector<PlayerJournalEntry> entries;
    PlayerJournalEntry entry;
    for (std::string line; std::getline(in, line) && !in.eof();) {
        offset += static_cast<std::streamoff>(line.size()) + 1;
        if (PlayerJournalParse(line, &entry))
            entries.push_back(entry);
    }
    return entries;
}

// Follows the journals; the number of tracks that started since the last
// call, and the file of the last of them.
int NewStarts(const std::string& journals, std::map<DWORD, Player>& players, std::map<DWORD, std::streamoff>& read,
              std::string* started)
{
    int starts = 0;
    for (const HWND window : e2e::TopLevelWindows(WAMP_WINDOWCLASS)) {
        const DWORD pid = e2e::WindowProcess(window);
        Player& player = players[pid];
        for (const PlayerJournalEntry& e : NewLines(e2e::JournalFile(journals, pid), read[pid])) {
            if (e.code == IPC_PLAYFILE && e.hasText) {
                player = {e.text, false};
            } else if (!player.announced && !player.file.empty() && e.state == 1 && e.pos >= kStartedAtMs) {
                player.announced = true;
                *started = player.file;
                ++starts;
            }
        }
    }
    return starts;
}

// The incoming track plays on the passive player; the roles swap when the mix ends.
std::string IncomingSlot(HWND panel) { return e2e::CheckState(panel, CBACTPL2) == BST_CHECKED ? "Pl1" : "Pl2"; }

void SavePanelGeometry(HWND panel, const std::string& file)
{
    RECT r{};
    GetWindowRect(panel, &r);
    std::ofstream(e2e::ToLinuxPath(file)) << (r.right - r.left) << 'x' << (r.bottom - r.top) << '+' << r.left << '+'
                                          << r.top << '\n';
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--close") {
        const HWND panel = FindPanel(0);
        if (panel != nullptr)
            PostMessageA(panel, WM_CLOSE, 0, 0);
        return 0;
    }
    if (argc != 4)
        return Fail("usage: demodrive JOURNAL-FOLDER CHANGES GEOMETRY-FILE (or --close)");
    const std::string journals = argv[1];
    const int changes = std::atoi(argv[2]);
    const HWND panel = FindPanel(kStartTimeoutMs);
    if (panel == nullptr)
        return Fail("no control panel appeared");
    if (e2e::WaitForWindows(WAMP_WINDOWCLASS, 5, kStartTimeoutMs).size() < 5)
        return Fail("the five players did not start");
    if (!SetUpMix(panel) || !Start(panel))
        return Fail("could not queue the first item");
    SavePanelGeometry(panel, argv[3]);
    std::printf("demo: first item queued, NEXT pressed; mixing with fade over %d ms + duo %d ms\n", kFadeMs, kDuoMs);
    std::fflush(stdout);

    std::map<DWORD, Player> players;
    std::map<DWORD, std::streamoff> read;
    int seen = -1;  // the first start is NEXT's, not a change
    while (changes == 0 || seen < changes) {
        Sleep(200);
        if (!IsWindow(panel))
            return Fail("Tandem ended");
        std::string file;
        for (int n = NewStarts(journals, players, read, &file); n > 0; --n) {
            ++seen;
            std::printf("%s now playing %s, fade over %d ms + duo %d ms\n", IncomingSlot(panel).c_str(),
                        FileTitle(file).c_str(), kFadeMs, kDuoMs);
            std::fflush(stdout);
        }
    }
    Sleep(2 * kFadeMs + kDuoMs + 500);  // the last mix ends, the panel shows its track
    std::printf("demo: %d changes done; the control panel shows \"%s\"\n", seen,
                e2e::ControlText(panel, EDPLAYING).c_str());
    return 0;
}
