#include "tandem.h"

#include "fndb.h"
#include "mp3gen.h"
#include "winamp.h"

#include <fstream>
#include <iterator>

namespace e2e {

constexpr char kOpenKey[] = "Winamp.File\\shell\\open\\command";

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
    SetRegistry(HKEY_CLASSES_ROOT, kOpenKey, "", std::string(1, '"').append(TplayerExe()).append("\" \"%1\""));
    SetEnv("TPLAYER_JOURNAL", JournalPattern(scratch));
    database = JoinPath(scratch, "library.tdb");
    SetRegistry(HKEY_CURRENT_USER, kSettingsKey, "Recent", database);
    // The library of one empty playlist a former session left: a "Recent" file that is missing is asked about.
    DB db{};
    DBInit(&db);
    DBSetPath(&db, database.c_str());
    ASSERT_TRUE(DBStore(&db));
    DBFree(&db);
    music = MakeDir(JoinPath(scratch, "music"));
}

void TandemTest::TearDown()
{
    if (running)
        Quit();
    StopWindowsOfClass(WAMP_WINDOWCLASS);
    Test::TearDown();
}

// The players missing of five start side by side before the program, which
// then finds them running: its own start would launch them one after
// another, each waiting for the one before to be ready, before every test.
void TandemTest::StartTandem(const std::vector<std::string>& args, const std::function<void()>& atStart)
{
    for (std::size_t i = TopLevelWindows(WAMP_WINDOWCLASS).size(); i < 5; ++i)
        ASSERT_TRUE(Start(TplayerExe(), {}, {}, nullptr, false));
    ASSERT_GE(WaitForWindows(WAMP_WINDOWCLASS, 5, kStartTimeoutMs).size(), 5u);
    ASSERT_TRUE(Start(ToWindowsPath(TANDEM_EXE), args, {}, &tandem));
    running = true;
    if (atStart)
        atStart();
    panel = WaitForWindow(kDialogClass, kPanelCaption, kStartTimeoutMs);
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(panel) != FALSE; }, kStartTimeoutMs));
}

void TandemTest::Quit()
{
    PostMessageA(panel, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(tandem.pid); }, kStartTimeoutMs));
    running = false;
}

HWND TandemTest::WaitForDialog(const std::function<bool(HWND)>& test, int timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (const HWND window : TopLevelWindows(kDialogClass))
                if (WindowProcess(window) == tandem.pid && IsWindowVisible(window) && IsWindowEnabled(window) &&
                    test(window))
                    found = window;
            return found != nullptr;
        },
        timeoutMs, 20);
    return found;
}

HWND TandemTest::WaitForShown(const char* caption, int timeoutMs)
{
    const std::string wanted = caption;
    return WaitForDialog([&](HWND window) { return WindowText(window) == wanted; }, timeoutMs);
}

HWND TandemTest::ExpectMessageBox(const char* caption, const std::string& text, int answer)
{
    const HWND box = FindMessageBox(caption, kWindowTimeoutMs);
    EXPECT_NE(box, nullptr) << text;
    if (box == nullptr)
        return nullptr;
    EXPECT_EQ(MessageBoxText(box), text);
    EXPECT_TRUE(AnswerMessageBox(box, answer));
    return box;
}

std::vector<PlayerJournalEntry> TandemTest::JournalOfPlayerWith(const std::string& file)
{
    for (const HWND window : TopLevelWindows(WAMP_WINDOWCLASS)) {
        auto journal = ReadJournal(JournalFile(scratch, WindowProcess(window)));
        for (const auto& entry : journal)
            if (entry.code == IPC_PLAYFILE && entry.hasText && entry.text == file)
                return journal;
    }
    return {};
}

void TandemTest::WriteMusic(const std::vector<std::pair<std::string, Tag>>& files)
{
    for (const auto& [name, tag] : files)
        WriteTrack(MusicFile(name), tag);
}

}  // namespace e2e
