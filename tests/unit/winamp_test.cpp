#include "winamp.h"

#include "fakeos.h"
#include "fakeplayers.h"
#include "fnmain.h"
#include "string2.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

struct Sent {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Sent&) const = default;
};

// A window of the player class that records what arrives and gives one answer.
class Recorder {
public:
    explicit Recorder(LRESULT answer = 0, DWORD processId = 0)
        : answer_(answer),
          hwnd_(fake::CreateWindow(
              WAMP_WINDOWCLASS,
              [this](UINT msg, WPARAM wParam, LPARAM lParam) {
                  sent_.push_back({msg, wParam, lParam});
                  return answer_;
              },
              processId))
    {
    }
    HWND hwnd() const { return hwnd_; }
    const std::vector<Sent>& sent() const { return sent_; }
    void clear() { sent_.clear(); }

private:
    LRESULT answer_;
    std::vector<Sent> sent_;
    HWND hwnd_;
};

class WAmpTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override
    {
        recorders_.clear();
        Clean();
    }
    static void Clean()
    {
        WAmpInstFreeAll();
        fake::Reset();
        WAmpPath[0] = '\0';
    }
    // Starts n recording players and registers them by a survey.
    void Players(int n, LRESULT answer = 0)
    {
        for (int i = 0; i < n; ++i)
            recorders_.push_back(std::make_unique<Recorder>(answer, static_cast<DWORD>(100 + i)));
        WAmpCheck();
    }
    Recorder& P(int i) { return *recorders_.at(static_cast<std::size_t>(i)); }
    int SentToAll() const
    {
        int n = 0;
        for (const auto& r : recorders_)
            n += static_cast<int>(r->sent().size());
        return n;
    }

    std::vector<std::unique_ptr<Recorder>> recorders_;
};

WPARAM W(unsigned v) { return static_cast<WPARAM>(v); }

// ---- senders ----

TEST_F(WAmpTest, CallSendsUserMessageWithDataAndCodeAndReturnsTheAnswer)
{
    Players(2, 42);
    EXPECT_EQ(WAmpCall(1, 7, IPC_ISPLAYING), 42);
    EXPECT_TRUE(P(0).sent().empty());
    ASSERT_EQ(P(1).sent().size(), 1u);
    EXPECT_EQ(P(1).sent()[0], (Sent{WM_USER, 7, 104}));

    WAmpCall2(0, WINAMP_BUTTON2);
    ASSERT_EQ(P(0).sent().size(), 1u);
    EXPECT_EQ(P(0).sent()[0], (Sent{WM_COMMAND, 40045, 0}));
}

TEST_F(WAmpTest, CommandsToMissingInstancesSendNothing)
{
    Players(5, 1);
    EXPECT_EQ(WAmpCmIsPlaying(7), -1);
    EXPECT_EQ(WAmpCmGetSongPos(7), 0xFFFFFFFFu);
    EXPECT_EQ(WAmpCall(5, 0, IPC_ISPLAYING), -1);
    EXPECT_EQ(WAmpCall(-1, 0, IPC_ISPLAYING), -1);
    WAmpCmPlayFile(7, "x.mp3");
    WAmpBtPlay(7);
    WAmpCmAbout(-1);
    EXPECT_EQ(WAmpKill(7), 5);
    EXPECT_EQ(SentToAll(), 0);

    // A registration without a window is as good as none.
    WAmpInstAdd(nullptr);
    EXPECT_EQ(WAmpCall(5, 0, IPC_ISPLAYING), -1);
    WAmpBtStop(5);
    EXPECT_EQ(SentToAll(), 0);
}

TEST_F(WAmpTest, TextsGoOneCharacterPerMessageThenZero)
{
    Players(1);
    WAmpCmPlayFile(0, "a:\\b");
    EXPECT_EQ(P(0).sent(), (std::vector<Sent>{{WM_USER, 'a', 100}, {WM_USER, ':', 100}, {WM_USER, '\\', 100},
                                              {WM_USER, 'b', 100}, {WM_USER, 0, 100}}));
    P(0).clear();
    WAmpCmPlayFile(0, "");
    EXPECT_EQ(P(0).sent(), (std::vector<Sent>{{WM_USER, 0, 100}}));
    P(0).clear();
    WAmpCmSetSkin(0, "\xE9\x7F\x80");  // bytes above 127 are sign-extended to 32 bits
    EXPECT_EQ(P(0).sent(), (std::vector<Sent>{{WM_USER, W(0xFFFFFFE9u), 200}, {WM_USER, 0x7F, 200},
                                              {WM_USER, W(0xFFFFFF80u), 200}, {WM_USER, 0, 200}}));
    P(0).clear();
    WAmpCmChangeDir(0, "d");
    WAmpCmExecPlugIn(0, "p");
    EXPECT_EQ(P(0).sent(), (std::vector<Sent>{{WM_USER, 'd', 103}, {WM_USER, 0, 103}, {WM_USER, 'p', 202},
                                              {WM_USER, 0, 202}}));
}

TEST_F(WAmpTest, FileNamesAboveByte127ArriveIntactAtAPlayer)
{
    fake::PlayerRig rig(1);
    WAmpCheck();
    const std::string name = "C:\\M\xFCsik\\Caf\xE9 \xFF\x80.mp3";
    WAmpCmDeletePlayList(0);
    WAmpCmPlayFile(0, name.c_str());
    EXPECT_EQ(rig.Player(0).Model().Playlist(), std::vector<std::string>{name});
}

struct UserCase {
    const char* name;
    std::function<void()> call;
    WPARAM wParam;
    LPARAM code;
};

TEST_F(WAmpTest, UserCommandWrappersSendTheirCodeAndData)
{
    Players(1);
    const UserCase cases[] = {
        {"GetVersion", [] { WAmpCmGetVersion(0); }, 0, 0},
        {"DeletePlayList", [] { WAmpCmDeletePlayList(0); }, 0, 101},
        {"StartPlay", [] { WAmpCmStartPlay(0); }, 0, 102},
        {"IsPlaying", [] { WAmpCmIsPlaying(0); }, 0, 104},
        {"GetSongPos", [] { WAmpCmGetSongPos(0); }, 0, 105},
        {"GetSongLen", [] { WAmpCmGetSongLen(0); }, 1, 105},
        {"Jump", [] { WAmpCmJump(0, 7000); }, 7000, 106},
        {"WritePlayList", [] { WAmpCmWritePlayList(0); }, 0, 120},
        {"SetPlayListPos", [] { WAmpCmSetPlayListPos(0, 3); }, 3, 121},
        {"SetVolume", [] { WAmpCmSetVolume(0, 204); }, 204, 122},
        {"SetPanning", [] { WAmpCmSetPanning(0, -20); }, W(0xFFFFFFECu), 123},
        {"GetPlayListLength", [] { WAmpCmGetPlayListLength(0); }, 0, 124},
        {"GetPlayListPos", [] { WAmpCmGetPlayListPos(0); }, 0, 125},
        {"GetSRate", [] { WAmpCmGetSRate(0); }, 0, 126},
        {"GetBRate", [] { WAmpCmGetBRate(0); }, 1, 126},
        {"GetNCh", [] { WAmpCmGetNCh(0); }, 2, 126},
        {"GetEQ", [] { WAmpCmGetEQ(0, 4); }, 4, 127},
        {"SetEQ", [] { WAmpCmSetEQ(0, 50); }, 50, 128},
        {"GetPlayListFile", [] { EXPECT_EQ(WAmpCmGetPlayListFile(0, 2), nullptr); }, 2, 211},
        {"GetPlayListTitle", [] { EXPECT_EQ(WAmpCmGetPlayListTitle(0, 1), nullptr); }, 1, 212},
    };
    for (const auto& c : cases) {
        P(0).clear();
        c.call();
        ASSERT_EQ(P(0).sent().size(), 1u) << c.name;
        EXPECT_EQ(P(0).sent()[0], (Sent{WM_USER, c.wParam, c.code})) << c.name;
    }
}

TEST_F(WAmpTest, AnswersAreTakenAsTheirTypes)
{
    Players(1, -1);
    EXPECT_EQ(WAmpCmGetSongPos(0), 0xFFFFFFFFu);
    EXPECT_EQ(WAmpCmIsPlaying(0), -1);
    EXPECT_EQ(WAmpCmGetVersion(0), 0xFFFFFFFFu);
}

TEST_F(WAmpTest, GetSkinAsksWithTheBufferAndReturnsIt)
{
    Players(1, 12345);
    StrCopy(SkinName, "before");
    EXPECT_EQ(WAmpCmGetSkin(0), SkinName);
    EXPECT_STREQ(SkinName, "before");
    ASSERT_EQ(P(0).sent().size(), 1u);
    EXPECT_EQ(P(0).sent()[0], (Sent{WM_USER, reinterpret_cast<WPARAM>(SkinName), 201}));
}

struct CommandCase {
    void (*call)(int);
    WPARAM id;
};

TEST_F(WAmpTest, CommandWrappersSendTheirIdentifier)
{
    Players(1);
    const CommandCase cases[] = {
        {WAmpCmPrefs, 40012},     {WAmpCmAlwaysOnTop, 40019}, {WAmpCmLoadFile, 40029},
        {WAmpCmEQWindow, 40036},  {WAmpCmPlayListWindow, 40040}, {WAmpCmAbout, 40041},
        {WAmpCmVolumeUp, 40058},  {WAmpCmVolumeDown, 40059},  {WAmpCmForward5s, 40060},
        {WAmpCmRewind5s, 40061},  {WAmpBtPrev, 40044},        {WAmpBtPlay, 40045},
        {WAmpBtPause, 40046},     {WAmpBtStop, 40047},        {WAmpBtNext, 40048},
        {WAmpBtShPrev, 40144},    {WAmpBtShPlay, 40145},      {WAmpBtShPause, 40146},
        {WAmpBtShStop, 40147},    {WAmpBtShNext, 40148},      {WAmpBtCtrlPrev, 40154},
        {WAmpBtCtrlPlay, 40155},  {WAmpBtCtrlPause, 40156},   {WAmpBtCtrlStop, 40157},
        {WAmpBtCtrlNext, 40158},
    };
    for (const auto& c : cases) {
        P(0).clear();
        c.call(0);
        ASSERT_EQ(P(0).sent().size(), 1u) << c.id;
        EXPECT_EQ(P(0).sent()[0], (Sent{WM_COMMAND, c.id, 0})) << c.id;
    }
}

// ---- the registry ----

TEST_F(WAmpTest, RegistrationsAreNumberedInOrderWithTheirProcess)
{
    Recorder a(0, 71), b(0, 72);
    EXPECT_EQ(WAmpInstAdd(a.hwnd()), 1);
    EXPECT_EQ(WAmpInstAdd(b.hwnd()), 2);
    EXPECT_EQ(WAmpGetInstances(), 2);
    const WAMPINST* first = WAmpInstGet(0);
    const WAMPINST* second = WAmpInstGet(1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->Window, a.hwnd());
    EXPECT_EQ(first->ProcessID, 71u);
    EXPECT_EQ(first->NO, 0);
    EXPECT_EQ(first->Next, second);
    EXPECT_EQ(second->ProcessID, 72u);
    EXPECT_EQ(second->Next, nullptr);
    EXPECT_EQ(WAmpInstList.Last, second);
    EXPECT_EQ(WAmpInstGet(-1), nullptr);
    EXPECT_EQ(WAmpInstGet(2), nullptr);

    EXPECT_EQ(WAmpInstFreeAll(), 2);
    EXPECT_EQ(WAmpGetInstances(), 0);
    EXPECT_EQ(WAmpInstList.First, nullptr);
    EXPECT_EQ(WAmpInstList.Last, nullptr);
    EXPECT_EQ(WAmpInstList.Current.load(), nullptr);
    EXPECT_EQ(WAmpInstGet(0), nullptr);
}

TEST_F(WAmpTest, LookupRestartsBelowTheCursorAndContinuesAboveIt)
{
    Players(5);
    WAMPINST* three = WAmpInstGet(3);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(WAmpInstList.Current.load(), three);
    WAMPINST* one = WAmpInstGet(1);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->NO, 1);
    EXPECT_EQ(WAmpInstList.Current.load(), one);

    // From the cursor at 1, 3 must be found without going back to First.
    WAMPINST* first = WAmpInstList.First;
    WAmpInstList.First = nullptr;
    EXPECT_EQ(WAmpInstGet(3), three);
    EXPECT_EQ(WAmpInstGet(3), three);
    EXPECT_EQ(WAmpInstGet(1), nullptr);  // below the cursor: only First leads there
    WAmpInstList.First = first;
    EXPECT_EQ(WAmpInstGet(1), one);
}

TEST_F(WAmpTest, LookupsRacingEachOtherFindTheirRegistration)
{
    Players(5);
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 20000; ++i) {
                const int no = (i * (t + 1)) % 5;
                const WAMPINST* inst = WAmpInstGet(no);
                if (inst == nullptr || inst->NO != no)
                    ++wrong[static_cast<std::size_t>(t)];
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

TEST_F(WAmpTest, SurveyRegistersPlayerWindowsInSearchOrder)
{
    for (const int running : {0, 3, 5, 7}) {
        SCOPED_TRACE(running);
        Clean();
        recorders_.clear();
        for (int i = 0; i < running; ++i) {
            recorders_.push_back(std::make_unique<Recorder>(0, static_cast<DWORD>(200 + i)));
            fake::CreateWindow("Some other class", nullptr);
        }
        EXPECT_EQ(WAmpCheck(), running);
        EXPECT_EQ(WAmpInstList.Current.load(), WAmpInstList.First);
        for (int i = 0; i < running; ++i) {
            const WAMPINST* inst = WAmpInstGet(i);
            ASSERT_NE(inst, nullptr);
            EXPECT_EQ(inst->Window, P(i).hwnd());
            EXPECT_EQ(inst->ProcessID, static_cast<unsigned>(200 + i));
        }
        EXPECT_EQ(SentToAll(), 0);
    }
}

TEST_F(WAmpTest, SurveyRegistersOnlyWindowsNotRegisteredYet)
{
    Players(3);
    WAmpInstGet(2);
    EXPECT_EQ(WAmpCheck(), 3);
    EXPECT_EQ(WAmpInstList.Current.load(), WAmpInstList.First);
    Recorder late;
    EXPECT_EQ(WAmpCheck(), 4);
    ASSERT_NE(WAmpInstGet(3), nullptr);
    EXPECT_EQ(WAmpInstGet(3)->Window, late.hwnd());
}

TEST_F(WAmpTest, KillClosesTheWindowAndKeepsTheRegistration)
{
    Players(3);
    EXPECT_EQ(WAmpKill(1), 3);
    EXPECT_EQ(P(1).sent(), (std::vector<Sent>{{WM_CLOSE, 0, 0}}));
    EXPECT_EQ(SentToAll(), 1);
    EXPECT_EQ(WAmpGetInstances(), 3);
    EXPECT_NE(WAmpInstGet(1), nullptr);
}

TEST_F(WAmpTest, ClosedPlayerKeepsItsRegistrationAndIgnoresCommands)
{
    fake::PlayerRig rig(2);
    WAmpCheck();
    WAmpKill(0);
    EXPECT_FALSE(fake::IsWindow(rig.Player(0).Window()));
    EXPECT_EQ(WAmpGetInstances(), 2);
    EXPECT_EQ(WAmpCmIsPlaying(0), 0);
    WAmpCmSetVolume(0, 10);
    EXPECT_EQ(rig.Player(0).Model().Volume(), 255);
    EXPECT_EQ(WAmpCheck(), 2);
}

// ---- starting players ----

constexpr char kOpenKey[] = "Winamp.File\\shell\\open\\command";

TEST_F(WAmpTest, RunStartsTheOpenCommandWithoutItsDocumentMinimised)
{
    fake::RegistrySet(HKEY_CLASSES_ROOT, kOpenKey, "", "\"C:\\P\\tplayer.exe\" \"%1\"");
    WAmpRun(3);
    EXPECT_STREQ(WAmpPath, "\"C:\\P\\tplayer.exe\"");
    const auto execs = fake::ExecCalls();
    ASSERT_EQ(execs.size(), 3u);
    for (const auto& [cmd, show] : execs) {
        EXPECT_EQ(cmd, "\"C:\\P\\tplayer.exe\"");
        EXPECT_EQ(show, 6u);
    }
}

TEST_F(WAmpTest, RunWithNoCountStartsNone)
{
    fake::RegistrySet(HKEY_CLASSES_ROOT, kOpenKey, "", "\"C:\\P\\tplayer.exe\" \"%1\"");
    WAmpRun(0);
    WAmpRun(-2);
    EXPECT_TRUE(fake::ExecCalls().empty());
    EXPECT_STREQ(WAmpPath, "\"C:\\P\\tplayer.exe\"");
}

TEST_F(WAmpTest, CommandsOfFiveOrFewerCharacters)
{
    fake::RegistrySet(HKEY_CLASSES_ROOT, kOpenKey, "", "tp.e");  // shorter than five: left uncut
    WAmpRun(1);
    fake::RegistrySet(HKEY_CLASSES_ROOT, kOpenKey, "", "x \"%1");  // five: nothing remains to start
    WAmpRun(1);
    EXPECT_STREQ(WAmpPath, "");
    EXPECT_EQ(fake::ExecCalls(), (std::vector<std::pair<std::string, UINT>>{{"tp.e", 6}}));
}

TEST_F(WAmpTest, MissingRegistryKeysStartNothingAndSayNothing)
{
    StrCopy(WAmpPath, "stale");
    WAmpRun(5);
    EXPECT_STREQ(WAmpPath, "");
    fake::RegistrySet(HKEY_CLASSES_ROOT, "Winamp.File\\shell\\open", "", "not here");
    WAmpRun(5);
    fake::RegistrySet(HKEY_CLASSES_ROOT, kOpenKey, "other", "\"x.exe\" \"%1\"");  // no default value
    WAmpRun(5);
    EXPECT_STREQ(WAmpPath, "");
    EXPECT_TRUE(fake::ExecCalls().empty());
    EXPECT_TRUE(fake::MessageBoxCalls().empty());
}

TEST_F(WAmpTest, CommandMustFitTheBufferWhole)
{
    const std::string fits = "\"" + std::string(252, 'p') + "\" \"%1\"";  // 259 characters
    fake::RegistrySet(HKEY_CLASSES_ROOT, kOpenKey, "", fits);
    WAmpRun(1);
    ASSERT_EQ(fake::ExecCalls().size(), 1u);
    EXPECT_EQ(fake::ExecCalls()[0].first, fits.substr(0, 254));

    fake::RegistrySet(HKEY_CLASSES_ROOT, kOpenKey, "", fits + "x");  // 260: a cut would start another program
    WAmpRun(1);
    EXPECT_STREQ(WAmpPath, "");
    EXPECT_EQ(fake::ExecCalls().size(), 1u);
}

TEST_F(WAmpTest, ProfileFunctionsUseTheFileNamedByWAmpPath)
{
    char name[] = "/tmp/tandem_wamp_profile_XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    StrCopy(WAmpPath, name);
    EXPECT_EQ(WAmpWriteProfileString("Winamp", "Volume", "77"), TRUE);
    EXPECT_EQ(WAmpGetProfileInt("Winamp", "Volume", 5), 77);
    EXPECT_EQ(WAmpGetProfileInt("Winamp", "Missing", 5), 5);
    std::remove(name);
}

// ---- start-up ----

void ExpectSlotsStopped(fake::PlayerRig& rig)
{
    for (int slot = 0; slot < 5; ++slot) {
        fake::SimPlayer* player = rig.Slot(slot);
        ASSERT_NE(player, nullptr) << slot;
        const auto log = player->Log();
        ASSERT_FALSE(log.empty()) << slot;
        EXPECT_EQ(log.back().message, PlayerMessage::Command) << slot;
        EXPECT_EQ(log.back().code, WINAMP_BUTTON4) << slot;
        EXPECT_EQ(log.back().state, 0) << slot;
    }
}

TEST_F(WAmpTest, StartUpWithNoPlayerRunningStartsAndRegistersFive)
{
    fake::PlayerRig rig;
    InitWAmpInstances();
    EXPECT_EQ(rig.Launches(), 5);
    for (const auto& [cmd, show] : fake::ExecCalls())
        EXPECT_EQ(cmd, fake::kPlayerCommand);
    ASSERT_EQ(WAmpGetInstances(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(rig.Slot(i), &rig.Player(i));
    ExpectSlotsStopped(rig);
}

TEST_F(WAmpTest, StartUpCompletesRunningPlayersToFiveWithoutSharing)
{
    fake::PlayerRig rig(3);
    rig.Player(1).Model().AddFile("running.mp3");
    rig.Player(1).Model().Command(WINAMP_BUTTON2);
    InitWAmpInstances();
    EXPECT_EQ(rig.Launches(), 2);
    ASSERT_EQ(WAmpGetInstances(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(rig.Slot(i), &rig.Player(i)) << i;
    ExpectSlotsStopped(rig);
    EXPECT_EQ(rig.Player(1).Model().State(), PlayerState::Stopped);
}

TEST_F(WAmpTest, StartUpWithFiveOrMoreRunningStartsNone)
{
    for (const int running : {5, 7}) {
        SCOPED_TRACE(running);
        fake::PlayerRig rig(running);
        InitWAmpInstances();
        EXPECT_EQ(rig.Launches(), 0);
        EXPECT_TRUE(fake::ExecCalls().empty());
        EXPECT_EQ(WAmpGetInstances(), running);
        ExpectSlotsStopped(rig);
        for (int i = 5; i < running; ++i)
            EXPECT_TRUE(rig.Player(i).Log().empty()) << i;
    }
}

TEST_F(WAmpTest, StartUpWithoutInstalledPlayerLeavesSlotsEmpty)
{
    fake::PlayerRig rig(2, false);
    InitWAmpInstances();
    EXPECT_EQ(rig.Launches(), 0);
    EXPECT_EQ(WAmpGetInstances(), 2);
    EXPECT_EQ(WAmpCmIsPlaying(2), -1);
    EXPECT_TRUE(fake::MessageBoxCalls().empty());
}

TEST_F(WAmpTest, RigClockCanRunFasterThanRealTime)
{
    fake::VirtualClock clock;
    clock.Advance(100);
    EXPECT_EQ(clock.Now(), 100u);
    clock.RunFaster(50);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto fast = clock.Now();
    EXPECT_GE(fast, 100u + 50 * 20);
    clock.RunFaster(0);
    const auto frozen = clock.Now();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(clock.Now(), frozen);
    EXPECT_GE(frozen, fast);
}

}  // namespace
