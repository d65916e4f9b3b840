#include "tandem.h"

#include "fncomm.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnsong.h"
#include "fntl.h"
#include "mp3gen.h"
#include "resource.h"
#include "winamp.h"

#include <fstream>
#include <iterator>

namespace e2e {

void WriteTrack(const std::string& path, const Tag& tag)
{
    MP3GENOPTIONS options;
    options.lDurationMs = tag.ms;
    options.bTag = true;
    options.cArtist = tag.artist;
    options.cTitle = tag.title;
    options.iStyle = tag.genre;
    ASSERT_TRUE(Mp3GenWrite(path.c_str(), options)) << path;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string MakeDir(const std::string& path)
{
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void TandemTest::SetUp()
{
    Test::SetUp();
    StopWindowsOfClass(WAMP_WINDOWCLASS);
    // Every story starts from a first start's settings: the program stores
    // its own at exit (levelling, volumes), which would reach the next story.
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    UseTestPlayers();
    database = JoinPath(scratch, "library.tdb");
    SetRegistry(HKEY_CURRENT_USER, kSettingsKey, "Recent", database);
    // The library of one empty playlist a former session left: a "Recent" file that is missing is asked about.
    ASSERT_NO_FATAL_FAILURE(StoreLibrary({}));
    music = MakeDir(JoinPath(scratch, "music"));
}

void TandemTest::StoreLibrary(const std::vector<std::string>& files, const std::string& path)
{
    DB db{};
    DBInit(&db);
    for (const std::string& file : files) {
        SONG* song = SongCreate();
        EXPECT_EQ(ReadSongInfos(file.c_str(), song, 1), RSI_TAG) << file;
        TLAddSong(DBGetTL(&db), song);
        PLAddSong(DBGetCurrentPL(&db), song);
    }
    DBSetPath(&db, (path.empty() ? database : path).c_str());
    ASSERT_EQ(DBStore(&db), 1);
    DBFree(&db);
}

void TandemTest::TearDown()
{
    if (running)
        Quit();
    Test::TearDown();
}

// The players missing of five start side by side before the program, which
// then finds them running: its own start would launch them one after
// another, each waiting for the one before to be ready, before every test.
void TandemTest::StartTandem(const std::vector<std::string>& args, const std::function<void()>& atStart)
{
    for (std::size_t i = TopLevelWindows(WAMP_WINDOWCLASS).size(); i < 5; ++i)
        ASSERT_TRUE(Start(TplayerExe(), {}, nullptr, false));
    ASSERT_GE(WaitForWindows(WAMP_WINDOWCLASS, 5, kStartTimeoutMs).size(), 5u);
    ASSERT_TRUE(Start(ToWindowsPath(TANDEM_EXE), args, &tandem));
    running = true;
    if (atStart)
        atStart();
    ASSERT_TRUE(WaitUntil([&] { return (panel = WaitForWindow(kDialogClass, kPanelCaption, 0)) && IsWindowVisible(panel); },
                          kStartTimeoutMs));
}

void TandemTest::Quit()
{
    PostMessageA(panel, WM_CLOSE, 0, 0);
    WaitForEnd();
}

void TandemTest::WaitForEnd()
{
    EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(tandem.pid); }, kStartTimeoutMs));
    running = false;
}

HWND TandemTest::WaitForDialog(const std::function<bool(HWND)>& test, int timeoutMs)
{
    return e2e::WaitForDialog(nullptr, timeoutMs, [&](HWND window) { return WindowProcess(window) == tandem.pid && test(window); });
}

std::string TandemTest::AnswerBox(const char* caption, int answer)
{
    const HWND box = FindMessageBox(caption, kWindowTimeoutMs);
    const std::string text = box != nullptr ? MessageBoxText(box) : "";
    EXPECT_TRUE(box != nullptr && Answer(box, answer)) << caption << " box: " << text;
    return text;
}

void TandemTest::OpenTrackList()
{
    ASSERT_TRUE(Click(panel, BTTL));
    tl = WaitForShown("List of tracks");
    list = Control(tl, LVTRACKLIST);
    ASSERT_NE(list, nullptr);
}

void TandemTest::OpenPlaylistEditor()
{
    ASSERT_TRUE(Click(panel, BTPLAYLIST));
    pl = WaitForDialog([](HWND window) { return Control(window, LVPLAYLIST) != nullptr; });
    items = Control(pl, LVPLAYLIST);
    ASSERT_NE(items, nullptr);
}

HWND TandemTest::OpenTrackInfo(int row)
{
    return ListViewSelect(list, row) && ClickPosted(tl, BTMODIFY) ? WaitForShown("Track information") : nullptr;
}

void TandemTest::NewPlaylist(const std::string& name)
{
    PostCommand(pl, CMNEWLIST);
    const HWND naming = WaitForShown("Create new playlist");
    ASSERT_TRUE(naming != nullptr && SetControlText(naming, EDNAME, name) && ClickPosted(naming, IDOK));
    const std::string caption = "Playlist editor - " + name;
    ASSERT_TRUE(WaitUntil([&] { return WindowText(pl).rfind(caption, 0) == 0; }, kWindowTimeoutMs));
}

static void AnswerPlace(HWND dialog, const std::string& place, bool recursive)
{
    ASSERT_TRUE(dialog != nullptr && (place.empty() || SetControlText(dialog, EDPLACE, place)) &&
                (!recursive || Click(dialog, CBREADSUBDIRS)) && ClickPosted(dialog, IDOK));
}

// The names are chosen in the folder the dialog opens once it is typed in.
void TandemTest::AddFiles(const std::vector<std::string>& names, int rows, const std::string& place)
{
    PostCommand(tl, CMADDFILE);
    const HWND dialog = FindFileDialog("Add files", kWindowTimeoutMs);
    ASSERT_TRUE(dialog != nullptr && SetFileDialogName(dialog, music) && ClickPosted(dialog, IDOK));
    Sleep(500);
    std::string chosen;
    for (const auto& name : names)
        chosen += "\"" + name + "\" ";
    ASSERT_TRUE(SubmitFileDialog("Add files", chosen));
    AnswerPlace(WaitForShown("Place of songs"), place, false);
    ASSERT_TRUE(WaitRows(list, rows));
}

void TandemTest::AddFolder(const std::wstring& folder, int rows, const std::string& place, bool recursive)
{
    PostCommand(tl, CMADDDIR);
    const HWND browser = WaitForDialog([](HWND window) { return FindDescendant(window, "SysTreeView32") != nullptr; });
    ASSERT_TRUE(browser != nullptr && BrowseTo(browser, folder) && ClickPosted(browser, IDOK));
    AnswerPlace(WaitForShown("Place of songs"), place, recursive);
    ASSERT_TRUE(WaitRows(list, rows));
}

bool TandemTest::WaitMeasured(int rows, const std::string& text, int timeoutMs)
{
    return WaitUntil([&] {
        for (int row = 0; row < rows; ++row)
            if (ListViewText(list, row, 10).find(text) == std::string::npos)
                return false;
        return true;
    }, timeoutMs);
}

HWND TandemTest::PlayerWith(const std::string& file)
{
    for (const HWND window : TopLevelWindows(WAMP_WINDOWCLASS))
        for (const auto& entry : JournalOf(window))
            if (entry.code == IPC_PLAYFILE && entry.hasText && entry.text == file)
                return window;
    return nullptr;
}

std::vector<std::string> TandemTest::WriteMusic(const std::vector<std::pair<std::string, Tag>>& files)
{
    std::vector<std::string> paths;
    for (const auto& [name, tag] : files)
        WriteTrack(paths.emplace_back(MusicFile(name)), tag);
    return paths;
}

}  // namespace e2e
