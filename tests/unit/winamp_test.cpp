#include "winamp.h"

#include "fakeos.h"
#include "fakeplayers.h"
#include "fnmain.h"
#include "fnmix.h"
#include "string2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using Sent = std::tuple<UINT, WPARAM, LPARAM>;  // message, wParam, lParam

class WAmpTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        WAmpInstFreeAll();
        fake::Reset();
        WAmpPath[0] = '\0';
    }
    // Starts n windows of the player class (each behind a window of another
    // class) that record what arrives and all give one answer, and registers
    // them by a survey.
    void Players(int n, LRESULT answer = 0)
    {
        for (int i = 0; i < n; ++i) {
            fake::CreateWindow("Some other class", nullptr);
            const std::size_t k = windows.size();
            windows.push_back(fake::CreateWindow(
                WAMP_WINDOWCLASS, [this, k, answer](UINT msg, WPARAM w, LPARAM l) { return sent[k].push_back({msg, w, l}), answer; },
                static_cast<DWORD>(100 + k)));
        }
        WAmpCheck();
    }
    std::vector<Sent> sent[8];
    std::vector<HWND> windows;
};

TEST_F(WAmpTest, EveryCommandSendsItsCodeAndDataToTheNumberedPlayerOnlyAndTextsOneCharacterAMessage)
{
    Players(2, 42);
    const struct { void (*call)(); WPARAM data; LPARAM code; } user[] = {{[] { WAmpCmGetVersion(1); }, 0, 0},
        {[] { WAmpCmDeletePlayList(1); }, 0, 101}, {[] { WAmpCmStartPlay(1); }, 0, 102},
        {[] { WAmpCmIsPlaying(1); }, 0, 104}, {[] { WAmpCmGetSongPos(1); }, 0, 105}, {[] { WAmpCmGetSongLen(1); }, 1, 105},
        {[] { WAmpCmJump(1, 7000); }, 7000, 106}, {[] { WAmpCmWritePlayList(1); }, 0, 120},
        {[] { WAmpCmSetPlayListPos(1, 3); }, 3, 121}, {[] { WAmpCmSetVolume(1, 204); }, 204, 122},
        {[] { WAmpCmSetPanning(1, -20); }, 0xFFFFFFECu, 123}, {[] { WAmpCmGetPlayListLength(1); }, 0, 124},
        {[] { WAmpCmGetPlayListPos(1); }, 0, 125}, {[] { WAmpCmGetSRate(1); }, 0, 126}, {[] { WAmpCmGetBRate(1); }, 1, 126},
        {[] { WAmpCmGetNCh(1); }, 2, 126}, {[] { WAmpCmGetEQ(1, 4); }, 4, 127}, {[] { WAmpCmSetEQ(1, 50); }, 50, 128},
        {[] { WAmpCmGetPlayListFile(1, 2); }, 2, 211}, {[] { WAmpCmGetPlayListTitle(1, 1); }, 1, 212}};
    for (const auto& c : user) {
        sent[1].clear();
        c.call();
        EXPECT_EQ(sent[1], (std::vector<Sent>{{WM_USER, c.data, c.code}})) << c.code << ' ' << c.data;
    }
    const struct { void (*call)(int); WPARAM id; } commands[] = {{WAmpCmPrefs, 40012}, {WAmpCmAlwaysOnTop, 40019},
        {WAmpCmLoadFile, 40029}, {WAmpCmEQWindow, 40036}, {WAmpCmPlayListWindow, 40040}, {WAmpCmAbout, 40041},
        {WAmpCmVolumeUp, 40058}, {WAmpCmVolumeDown, 40059}, {WAmpCmForward5s, 40060}, {WAmpCmRewind5s, 40061},
        {WAmpBtPrev, 40044}, {WAmpBtPlay, 40045}, {WAmpBtPause, 40046}, {WAmpBtStop, 40047}, {WAmpBtNext, 40048},
        {WAmpBtShPrev, 40144}, {WAmpBtShPlay, 40145}, {WAmpBtShPause, 40146}, {WAmpBtShStop, 40147},
        {WAmpBtShNext, 40148}, {WAmpBtCtrlPrev, 40154}, {WAmpBtCtrlPlay, 40155}, {WAmpBtCtrlPause, 40156},
        {WAmpBtCtrlStop, 40157}, {WAmpBtCtrlNext, 40158}};
    for (const auto& c : commands) {
        sent[1].clear();
        c.call(1);
        EXPECT_EQ(sent[1], (std::vector<Sent>{{WM_COMMAND, c.id, 0}})) << c.id;
    }
    EXPECT_EQ(WAmpCall(1, 7, IPC_ISPLAYING), 42);
    EXPECT_TRUE(sent[0].empty());
    sent[1].clear();  // texts go one sign-extended character a message, then a zero
    WAmpCmPlayFile(1, "a:");
    WAmpCmSetSkin(1, "\xE9\x7F");
    WAmpCmChangeDir(1, "");
    WAmpCmExecPlugIn(1, "p");
    EXPECT_EQ(sent[1], (std::vector<Sent>{{WM_USER, 'a', 100}, {WM_USER, ':', 100}, {WM_USER, 0, 100},
                                          {WM_USER, 0xFFFFFFE9u, 200}, {WM_USER, 0x7F, 200}, {WM_USER, 0, 200},
                                          {WM_USER, 0, 103}, {WM_USER, 'p', 202}, {WM_USER, 0, 202}}));
    StrCopy(SkinName, "before");
    EXPECT_EQ(WAmpCmGetSkin(1), SkinName);
    EXPECT_EQ(sent[1].back(), (Sent{WM_USER, reinterpret_cast<WPARAM>(SkinName), 201}));
}

TEST_F(WAmpTest, RegistrationsAreNumberedInSearchOrderAndMissingOrClosedPlayersGetNothing)
{
    Players(3, -1);
    for (int no = 3; no >= -1; --no) {  // looked up below and above the last one found
        const WAMPINST* inst = WAmpInstGet(no);
        const HWND window = no >= 0 && no < 3 ? windows[static_cast<std::size_t>(no)] : nullptr;
        EXPECT_TRUE(window == nullptr ? inst == nullptr : inst->NO == no && inst->Window == window && inst->ProcessID == 100u + no) << no;
    }
    EXPECT_EQ(WAmpCmGetSongPos(0), 0xFFFFFFFFu);  // answers keep their types
    EXPECT_EQ(WAmpCmIsPlaying(0), -1);
    WAmpInstAdd(nullptr);  // a registration without a window is as good as none
    for (int no : {-1, 3, 4, 7}) {
        EXPECT_EQ(WAmpCall(no, 0, IPC_ISPLAYING), -1);
        EXPECT_EQ(WAmpCmGetSongPos(no), 0xFFFFFFFFu);
        WAmpCmPlayFile(no, "x.mp3");
        WAmpBtPlay(no);
    }
    EXPECT_EQ(WAmpKill(1), 4);  // closes the window and keeps the registration
    EXPECT_EQ(sent[0].size() + sent[1].size() + sent[2].size(), 3u);
    EXPECT_EQ(sent[1], (std::vector<Sent>{{WM_CLOSE, 0, 0}}));
    Players(1);  // a survey adds only the new window
    EXPECT_EQ(WAmpInstGet(4)->Window, windows[3]);
    EXPECT_EQ(WAmpInstFreeAll(), 5);
    EXPECT_EQ(WAmpInstList.Last, nullptr);
}

constexpr char kOpenKey[] = "Winamp.File\\shell\\open\\command";
using Execs = std::vector<std::pair<std::string, UINT>>;

TEST_F(WAmpTest, RunStartsTheOpenCommandWithoutItsDocumentMinimisedWhenItFitsWhole)
{
    const std::string exe = "\"C:\\P\\tplayer.exe\"", long254 = std::string(1, '"').append(252, 'p').append("\"");
    const struct { const char* key; std::string command; int count; std::string path; int execs; } cases[] = {
        {kOpenKey, exe + " \"%1\"", 3, exe, 3}, {kOpenKey, exe + " \"%1\"", -2, exe, 0}, {kOpenKey, "tp.e", 1, "tp.e", 1},
        {kOpenKey, "x \"%1", 1, "", 0}, {kOpenKey, long254 + " \"%1\"", 1, long254, 1},  // 259 characters
        {kOpenKey, long254 + " \"%1\"x", 1, "", 0}, {"Winamp.File\\shell\\open", "not here", 5, "", 0}};
    for (const auto& c : cases) {
        TearDown();
        fake::SetLauncher([](const std::string&, UINT) { return 33u; });
        fake::RegistrySet(HKEY_CLASSES_ROOT, c.key, "", c.command);
        WAmpRun(c.count);
        EXPECT_EQ(fake::ExecCalls(), Execs(static_cast<std::size_t>(c.execs), {c.path, 6})) << c.command;
        EXPECT_EQ(WAmpPath, c.path);
        EXPECT_TRUE(fake::MessageBoxCalls().empty());
    }
    // No command registered: the player beside the program, whatever its folder's name.
    TearDown();
    const std::filesystem::path folder = fake::ScratchPath("tandem-\xD0\x9F");
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "tplayer.exe") << "x";
    fake::SetModuleFileName(folder.string() + "\\tandem.exe");
    fake::SetLauncher([](const std::string&, UINT) { return 33u; });
    fake::RegistrySet(HKEY_CLASSES_ROOT, kOpenKey, "", "");
    WAmpRun(2);
    std::string own = "\"";  // appended: GCC 12 sees a false overlap in a + b + c
    own.append(folder.string()).append("\\tplayer.exe\"");
    EXPECT_EQ(fake::ExecCalls(), Execs(2, {own, 6}));
    std::filesystem::remove_all(folder);
}

TEST_F(WAmpTest, StartUpCompletesTheRunningPlayersToFiveAndStopsTheFiveSlots)
{
    for (const int running : {0, 3, 5, 7}) {
        TearDown();
        fake::PlayerRig rig(running);
        if (running > 0)
            rig.Player(0).Model().AddFile("running.mp3"), rig.Player(0).Model().Command(WINAMP_BUTTON2);
        InitWAmpInstances();
        EXPECT_STREQ(MainMissingPlayers(), "");
        EXPECT_EQ(rig.Launches(), std::max(0, 5 - running));
        EXPECT_EQ(WAmpGetInstances(), std::max(5, running));
        for (int i = 0; i < std::max(5, running); ++i) {  // the five slots are stopped, and only they
            const auto log = rig.Player(i).Log();
            EXPECT_TRUE(i < 5 ? rig.Slot(i) == &rig.Player(i) && !log.empty() && log.back().code == WINAMP_BUTTON4 : log.empty())
                << running << ' ' << i;
        }
        MixKillAll();  // at exit the five slots' players are closed, and only they
        for (int i = 0; i < std::max(5, running); ++i)
            EXPECT_EQ(IsWindow(rig.Player(i).Window()), i >= 5) << running << ' ' << i;
    }
    // No player installed, or one that cannot be started: the user learns which slots stay silent and why.
    const std::string notice = "No player answers in slot(s) Ef1, Ef2, Test: ";
    const struct { const char* command; std::string why; } broken[] = {
        {"", "no player program is registered (file class \"Winamp.File\") and there is no tplayer.exe beside tandem.exe"},
        {"\"C:\\gone.exe\" \"%1\"", "\"C:\\gone.exe\" could not be started (system error 2)"}};
    for (const auto& b : broken) {
        fake::PlayerRig rig(2, false);
        fake::SetLauncher(nullptr);  // nothing starts
        fake::RegistrySet(HKEY_CLASSES_ROOT, kOpenKey, "", b.command);
        InitWAmpInstances();
        EXPECT_EQ(rig.Launches() + WAmpGetInstances(), 0 + 2);
        EXPECT_EQ(WAmpCmIsPlaying(2), -1);
        EXPECT_EQ(MainMissingPlayers(), notice + b.why + ". They stay silent.");
    }
}

// A player that hangs or vanishes is started again in the background: only
// the window of the process started for it is registered, only a player
// Tandem started is ended, and one that keeps dying young is started again
// ever more slowly.
TEST_F(WAmpTest, AHungOrVanishedPlayerIsStartedAgainAndOnlyOursIsEnded)
{
    fake::PlayerRig rig(1);  // the user's own player, then four of Tandem's
    InitWAmpInstances();
    rig.Clock().Advance(5000);
    const HWND users = WAmpInstGet(0)->Window, ours = WAmpInstGet(1)->Window;
    rig.Player(0).Hang(true);
    rig.Player(1).Hang(true);
    EXPECT_EQ(WAmpCmIsPlaying(0) + WAmpCmIsPlaying(1), -2);
    EXPECT_TRUE(WAmpInstGone(0) && WAmpInstGone(1) && !WAmpInstGone(2));
    const HWND opened = rig.Start().Window();  // a player the user opens meanwhile
    EXPECT_EQ(WAmpInstRevive(0) + WAmpInstRevive(1) + WAmpInstRevive(2), 1);
    WAmpInstWaitRevivals();
    EXPECT_EQ(rig.Launches(), 6);
    EXPECT_TRUE(IsWindow(users) && !IsWindow(ours));
    for (int no : {0, 1})
        EXPECT_TRUE(!WAmpInstGone(no) && WAmpInstGet(no)->Window != opened) << no;
    for (const int dies : {1, 0, 1, 0}) {  // the new player of slot 1 dies at once, again and again
        if (dies)
            rig.Slot(1)->Close();
        WAmpInstRevive(1);
        WAmpInstWaitRevivals();
        EXPECT_EQ(WAmpInstGone(1), dies) << "a second later, then two";
        rig.Clock().Advance(1000);
    }
    // While a hung player is probed, another slot's player is started at once.
    rig.Slot(2)->Hang(true);
    EXPECT_EQ(WAmpCmIsPlaying(2), -1);
    rig.Slot(3)->Close();
    rig.Clock().RunFaster(0.25);  // the probe lasts two seconds
    WAmpInstRevive(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    WAmpInstRevive(3);
    for (int i = 0; i < 10000 && WAmpInstGone(3) && WAmpInstGet(2)->Restarting; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(!WAmpInstGone(3) && WAmpInstGet(2)->Restarting);
    WAmpInstWaitRevivals();
    rig.Clock().RunFaster(0);
}

}  // namespace
