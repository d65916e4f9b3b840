// tplayer: the substitute player program. It owns a top-level window of the
// player class, answers the player command interface through PlayerModel on
// a real steady clock, and shows its track, state, position and volume.
//
// Its sound comes from tpsound; without a sound device, or for a file the
// media stack cannot play, it keeps the silent clock of the model and says
// so in its title and journal. The title follows the players' custom,
// "1. Artist - Title", so that the five players can be told apart.
//
// Command line: [--journal FILE] [DOCUMENT...]. Each document is appended to
// the playlist. The journal (format in playermodel.h) is appended to FILE,
// or to the file named by the environment variable TPLAYER_JOURNAL, in which
// "%p" stands for the process id.
#include "mp3.h"
#include "platform.h"
#include "playermodel.h"
#include "string2.h"
#include "tpsound.h"
#include "winamp.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr char kCaption[] = "tplayer";
constexpr char kPanelClass[] = "tplayer panel";
constexpr WORD kIcon = 1;  // resources/tplayer.rc
constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintMs = 200;
constexpr int kLineHeight = 18;
constexpr int kMargin = 8;

struct Panel {
    int id;
    const char* caption;
    const char* text;
    HWND hwnd;
};

Panel panels[] = {
    {WINAMP_OPTIONS_EQ, "tplayer equaliser", "Equaliser: all bands flat.", nullptr},
    {WINAMP_OPTIONS_PREFS, "tplayer preferences", "Preferences: nothing to set.", nullptr},
    {WINAMP_HELP_ABOUT, "About tplayer", "tplayer, the substitute player of Tandem.", nullptr},
};

HINSTANCE instance = nullptr;
HWND hwndMain = nullptr;
std::unique_ptr<SoundOutput> sound;
std::unique_ptr<PlayerModel> model;
std::FILE* journal = nullptr;
std::string shownTitle;
std::string shownSilence;

std::uint64_t SteadyMs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// ---- start-up ----

std::string JournalFromEnvironment()
{
    char pattern[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("TPLAYER_JOURNAL", pattern, sizeof pattern);
    if (n == 0 || n >= sizeof pattern)
        return "";
    std::string name = pattern;
    const std::string pid = std::to_string(GetCurrentProcessId());
    for (std::size_t at = name.find("%p"); at != std::string::npos; at = name.find("%p", at + pid.size()))
        name.replace(at, 2, pid);
    return name;
}

void WriteJournalLine(const std::string& line)
{
    if (journal == nullptr)
        return;
    std::fwrite(line.data(), 1, line.size(), journal);
    std::fputc('\n', journal);
    std::fflush(journal);
}

void WriteJournal(const PlayerJournalEntry& entry) { WriteJournalLine(PlayerJournalLine(entry)); }

// Takes --journal FILE and the documents from the command line.
void ReadArguments(std::string& journalName)
{
    for (int i = 1; i < __argc; ++i) {
        if (std::strcmp(__argv[i], "--journal") == 0 && i + 1 < __argc)
            journalName = __argv[++i];
        else
            model->AddFile(__argv[i]);
    }
}

// ---- the shell's own windows ----

LRESULT CALLBACK PanelWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        for (const Panel& panel : panels)
            if (panel.hwnd == hwnd)
                TextOutA(dc, kMargin, kMargin, panel.text, static_cast<int>(std::strlen(panel.text)));
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        for (Panel& panel : panels)
            if (panel.hwnd == hwnd)
                panel.hwnd = nullptr;
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

void OpenPanel(Panel& panel)
{
    // Below the player window (where it stands when restored), so that both can be seen.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(hwndMain, &placement);
    const RECT& main = placement.rcNormalPosition;
    if (panel.hwnd == nullptr)
        panel.hwnd = CreateWindowExA(0, kPanelClass, panel.caption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                     main.left, main.bottom, 320, 90, hwndMain, nullptr, instance, nullptr);
    if (panel.hwnd != nullptr) {
        ShowWindow(panel.hwnd, SW_SHOWNORMAL);
        BringWindowToTop(panel.hwnd);
    }
}

void OnWindowRequest(int id)
{
    if (id == WINAMP_OPTIONS_AOT) {
        const HWND after = model->Status().topmost ? HWND_TOPMOST : HWND_NOTOPMOST;
        SetWindowPos(hwndMain, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
    for (Panel& panel : panels)
        if (panel.id == id)
            OpenPanel(panel);
}

// ---- the player window ----

// "Artist - Title" from the tag, else the file's name without its folder.
std::string TrackName(const std::string& file)
{
    MP3TAG tag;
    if (MP3TagRead(file.c_str(), &tag)) {
        char artist[MAXL_TAGTEXT + 1];
        char title[MAXL_TAGTEXT + 1];
        MP3TagGetArtist(&tag, artist);
        MP3TagGetTitle(&tag, title);
        if (title[0] != '\0')
            return artist[0] != '\0' ? std::string(artist) + " - " + title : std::string(title);
    }
    const std::size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? file : file.substr(slash + 1);
}

// Refreshes the title and journals each change into silence.
void ShowTitle(const PlayerStatus& status)
{
    const std::string silence = sound->Silence();
    if (silence != shownSilence && !silence.empty())
        WriteJournalLine("silent: " + silence);
    shownSilence = silence;
    std::string title = kCaption;
    if (!status.file.empty()) {
        static std::string namedFile;
        static std::string name;
        if (namedFile != status.file) {
            namedFile = status.file;
            name = TrackName(status.file);
        }
        title = std::to_string(status.listPos + 1) + ". " + name + " - " + kCaption;
    }
    if (!silence.empty())
        title += " (silent: " + silence + ")";
    if (title != shownTitle) {
        shownTitle = title;
        SetWindowTextA(hwndMain, title.c_str());
    }
}

const char* StateName(PlayerState state)
{
    switch (state) {
    case PlayerState::Playing:
        return "Playing";
    case PlayerState::Paused:
        return "Paused";
    default:
        return "Stopped";
    }
}

void Paint(HWND hwnd)
{
    const PlayerStatus status = model->Status();
    char position[20];
    char length[20];
    strtimefrmt(status.position < 0 ? 0 : status.position, position, 1, 0);
    strtimefrmt(static_cast<int>(status.length), length, 0, 0);
    char lines[4][MAX_PATH + 16];
    StrFormat(lines[0], sizeof lines[0], "Track: %s", status.file.empty() ? "(none)" : status.file.c_str());
    StrFormat(lines[1], sizeof lines[1], "State: %s", StateName(status.state));
    StrFormat(lines[2], sizeof lines[2], "Position: %s / %s", position, length);
    StrFormat(lines[3], sizeof lines[3], "Volume: %d   Panning: %d", status.volume, status.panning);

    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    for (int i = 0; i < 4; ++i)
        TextOutA(dc, kMargin, kMargin + i * kLineHeight, lines[i], static_cast<int>(std::strlen(lines[i])));
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK PlayerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        SetTimer(hwnd, kRepaintTimer, kRepaintMs, nullptr);
        return 0;
    case WM_USER:
        return model->User(static_cast<std::uint32_t>(wParam), static_cast<int>(lParam));
    case WM_COMMAND:
        return model->Command(LOWORD(wParam));
    case WM_TIMER:
        ShowTitle(model->Status());
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kRepaintTimer);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

bool RegisterClasses()
{
    WNDCLASSA player{};
    player.lpfnWndProc = PlayerWndProc;
    player.hInstance = instance;
    player.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    player.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIcon));
    player.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    player.lpszClassName = WAMP_WINDOWCLASS;
    WNDCLASSA panel = player;
    panel.lpfnWndProc = PanelWndProc;
    panel.lpszClassName = kPanelClass;
    return RegisterClassA(&player) != 0 && RegisterClassA(&panel) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow)
{
    instance = hInstance;
    model = std::make_unique<PlayerModel>(SteadyMs);
    sound = std::make_unique<SoundOutput>(SteadyMs);
    if (sound->Start())
        model->SetOutput(sound.get());
    std::string journalName = JournalFromEnvironment();
    ReadArguments(journalName);
    if (!journalName.empty() && (journal = std::fopen(journalName.c_str(), "ab")) != nullptr)
        model->SetJournal(WriteJournal);
    model->SetWindowRequest(OnWindowRequest);

    if (!RegisterClasses())
        return 1;
    hwndMain = CreateWindowExA(0, WAMP_WINDOWCLASS, kCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 360,
                               130, nullptr, nullptr, instance, nullptr);
    if (hwndMain == nullptr)
        return 1;
    ShowWindow(hwndMain, nCmdShow);
    UpdateWindow(hwndMain);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    model.reset();
    sound.reset();
    if (journal != nullptr)
        std::fclose(journal);
    return 0;
}
