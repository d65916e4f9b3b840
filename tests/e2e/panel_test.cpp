// The control panel of a running Tandem as a user checks it: the first
// start, unattended mixing through several changes, the transport buttons,
// seeking, the volume and panning sliders with the common control, the
// player-window buttons, and the about box.
#include "tandem.h"

#include "fncomm.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnsong.h"
#include "fntl.h"
#include "resource.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using e2e::Click;
using e2e::ControlText;
using e2e::kWindowTimeoutMs;
using Journal = std::vector<PlayerJournalEntry>;

constexpr int kMixTimeoutMs = 60000;
constexpr int kVolumeSliders[] = {TBVOLUMEPL1, TBVOLUMEPL2, TBVOLUMEBC1, TBVOLUMEBC2, TBVOLUMETEST};
constexpr int kVolumeLabels[] = {STVOLUMEPL1, STVOLUMEPL2, STVOLUMEBC1, STVOLUMEBC2, STVOLUMETEST};
constexpr int kPanningLabels[] = {STPANNINGPL1, STPANNINGPL2, STPANNINGBC1, STPANNINGBC2, STPANNINGTEST};

bool IsVolume(const PlayerJournalEntry& e) { return e.message == PlayerMessage::User && e.code == IPC_SETVOLUME; }
bool IsCommand(const PlayerJournalEntry& e, int code) { return e.message == PlayerMessage::Command && e.code == code; }

// The values of the journal's volume commands in [from, to).
std::vector<int> Volumes(const Journal& journal, std::size_t from, std::size_t to)
{
    std::vector<int> values;
    for (std::size_t i = from; i < std::min(to, journal.size()); ++i)
        if (IsVolume(journal[i]))
            values.push_back(journal[i].arg);
    return values;
}

// Each value moves in direction (+1 up, -1 down) from the one before it,
// but for a step's echo from the control panel arriving a little late.
bool Moves(const std::vector<int>& values, int direction)
{
    constexpr int kEchoStep = 2;
    for (std::size_t i = 1; i < values.size(); ++i)
        if (direction * (values[i] - values[i - 1]) < -kEchoStep)
            return false;
    return true;
}

bool Jumped(const Journal& journal, int ms)
{
    return std::any_of(journal.begin(), journal.end(),
                       [&](const PlayerJournalEntry& e) { return e.code == IPC_JUMPTOTIME && e.arg == ms; });
}

// Index of the first entry that loads file; journal.size() when none does.
std::size_t LoadOf(const Journal& journal, const std::string& file)
{
    for (std::size_t i = 0; i < journal.size(); ++i)
        if (journal[i].code == IPC_PLAYFILE && journal[i].hasText && journal[i].text == file)
            return i;
    return journal.size();
}

class PanelTest : public e2e::TandemTest {
protected:
    // Tracks of ms milliseconds, all in the current playlist in this order.
    void WriteLibrary(const std::vector<std::pair<std::string, e2e::Tag>>& tracks)
    {
        WriteMusic(tracks);
        ASSERT_FALSE(HasFatalFailure());
        DB db{};
        DBInit(&db);
        for (const auto& [name, tag] : tracks) {
            SONG* song = SongCreate();
            ReadSongInfos(MusicFile(name).c_str(), song, 1);
            TLAddSong(DBGetTL(&db), song);
            PLAddSong(DBGetCurrentPL(&db), song);
        }
        DBSetPath(&db, database.c_str());
        ASSERT_EQ(DBStore(&db), 1);
        DBFree(&db);
    }

    void WriteThreeTracks(unsigned ms)
    {
        WriteLibrary({{"one.mp3", {"A", "One", 17, ms}}, {"two.mp3", {"B", "Two", 17, ms}},
                      {"three.mp3", {"C", "Three", 17, ms}}});
    }

    void SetCheck(int id, bool on)
    {
        if ((e2e::CheckState(panel, id) == BST_CHECKED) != on) {
            ASSERT_TRUE(Click(panel, id));
        }
        ASSERT_EQ(e2e::CheckState(panel, id), on ? BST_CHECKED : BST_UNCHECKED);
    }

    // Loads the playlist's first item as the next one and presses NEXT.
    void QueueFirstAndStart()
    {
        ASSERT_TRUE(Click(panel, BTPLAYLIST));
        const HWND pl = WaitForDialog([](HWND w) { return e2e::Control(w, LVPLAYLIST) != nullptr; });
        ASSERT_NE(pl, nullptr);
        ASSERT_TRUE(e2e::ListViewSelect(e2e::Control(pl, LVPLAYLIST), 0));
        ASSERT_TRUE(Click(pl, BTACTIVATE));
        ASSERT_TRUE(WaitText(EDNEXT, "A - One"));
        ASSERT_TRUE(Click(panel, BTPLAYNEXT));
        ASSERT_TRUE(WaitPlaying("A - One", kWindowTimeoutMs));
    }

    bool WaitText(int id, const std::string& text, int timeoutMs = kWindowTimeoutMs)
    {
        return e2e::WaitForText(e2e::Control(panel, id), text, timeoutMs) == text;
    }

    bool WaitPlaying(const std::string& title, int timeoutMs = kMixTimeoutMs) { return WaitText(EDPLAYING, title, timeoutMs); }

    // Every player's journal, in the order of the players' windows.
    std::vector<Journal> Journals()
    {
        std::vector<Journal> all;
        for (const HWND window : e2e::TopLevelWindows(WAMP_WINDOWCLASS))
            all.push_back(e2e::ReadJournal(e2e::JournalFile(scratch, e2e::WindowProcess(window))));
        return all;
    }

    // How many players last heard a volume (or panning) command with value.
    int PlayersLastSet(int code, int value)
    {
        int count = 0;
        for (const Journal& journal : Journals()) {
            const auto last = std::find_if(journal.rbegin(), journal.rend(), [&](const PlayerJournalEntry& e) {
                return e.message == PlayerMessage::User && e.code == code;
            });
            count += last != journal.rend() && last->arg == value;
        }
        return count;
    }

    int PlayersThatGot(int command)
    {
        int count = 0;
        for (const Journal& journal : Journals())
            count += std::any_of(journal.begin(), journal.end(), [&](const auto& e) { return IsCommand(e, command); });
        return count;
    }

    void DragTo(int slider, int pos) { ASSERT_TRUE(e2e::SetTrackbarPos(panel, slider, pos)); }
};

// ---- start and shutdown ----

TEST_F(PanelTest, FirstStartShowsAnEmptyLibraryAndRegistersTheFileClass)
{
    SetRegistry(HKEY_CURRENT_USER, e2e::kSettingsKey, "Recent", "");
    StartTandem();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(ControlText(panel, EDPLAYING), "<<< Not playing >>>");
    EXPECT_EQ(ControlText(panel, EDNEXT), "<<< End of playlist >>>");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ControlText(panel, kVolumeLabels[i]), "80");
        EXPECT_EQ(e2e::TrackbarPos(panel, kVolumeSliders[i]), 51);
        EXPECT_EQ(ControlText(panel, kPanningLabels[i]), "Center");
    }
    std::string value;
    ASSERT_TRUE(e2e::RegistryGetString(HKEY_CLASSES_ROOT, "Tandem.Database", "", &value));
    EXPECT_EQ(value, "Tandem database file");
    ASSERT_TRUE(e2e::RegistryGetString(HKEY_CLASSES_ROOT, ".tdb", "", &value));
    EXPECT_EQ(value, "Tandem.Database");
    ASSERT_TRUE(e2e::RegistryGetString(HKEY_CLASSES_ROOT, "Tandem.Database\\DefaultIcon", "", &value));
    EXPECT_NE(value.find("tandem.exe"), std::string::npos) << value;
    EXPECT_EQ(value.substr(value.size() - 3), ", 1");

    // With neither a help file nor the manual beside the program, Help says
    // so; the panel carries on.
    ASSERT_TRUE(e2e::ClickPosted(panel, BTHELP));
    const HWND box = e2e::FindMessageBox("Error", kWindowTimeoutMs);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(e2e::MessageBoxText(box).find("manual.html"), std::string::npos) << e2e::MessageBoxText(box);
    EXPECT_TRUE(e2e::AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(IsWindowVisible(panel));

    // Enter and Esc reach the panel as IDOK and IDCANCEL; neither closes it.
    e2e::SendCommand(panel, IDOK);
    e2e::SendCommand(panel, IDCANCEL);
    Sleep(300);
    EXPECT_TRUE(IsWindowVisible(panel));

    Quit();
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(tandem.handle, &code));
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(e2e::RegistryGetString(HKEY_CURRENT_USER, e2e::kSettingsKey, "Recent", &value));
    EXPECT_EQ(value, "");
}

// ---- unattended mixing ----

TEST_F(PanelTest, FadeOverWithDuoRunsUnattendedThroughTwoChanges)
{
    WriteThreeTracks(12000);
    ASSERT_FALSE(HasFatalFailure());
    StartTandem();
    ASSERT_FALSE(HasFatalFailure());
    SetCheck(CBFADE, true);
    SetCheck(CB2CHAN, true);
    ASSERT_EQ(e2e::CheckState(panel, RBFADEOVER), BST_CHECKED);
    ASSERT_TRUE(e2e::SetComboText(panel, CBOFADELEN, "1000"));
    ASSERT_TRUE(e2e::SetComboText(panel, CBODUOLEN, "1000"));
    QueueFirstAndStart();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(WaitText(EDNEXT, "B - Two"));
    EXPECT_TRUE(WaitText(EDSTATUS, "Playing"));

    ASSERT_TRUE(WaitPlaying("B - Two"));
    EXPECT_TRUE(WaitText(EDNEXT, "C - Three"));
    const int activeAfterFirst = e2e::CheckState(panel, CBACTPL1) == BST_CHECKED ? 0 : 1;
    EXPECT_EQ(e2e::CheckState(panel, activeAfterFirst == 0 ? CBACTPL2 : CBACTPL1), BST_UNCHECKED);
    ASSERT_TRUE(WaitPlaying("C - Three"));
    EXPECT_EQ(e2e::CheckState(panel, activeAfterFirst == 0 ? CBACTPL2 : CBACTPL1), BST_CHECKED);
    EXPECT_TRUE(WaitText(EDNEXT, "<<< End of playlist >>>"));
    EXPECT_EQ(ControlText(panel, EDREMAININGTRACK), "3");  // played marks are kept, never set
    EXPECT_TRUE(WaitText(EDSTATUS, "Playing"));

    // The outgoing track falls to silence and is paused at its end; the
    // incoming one rises to the set volume as it plays on.
    const Journal one = JournalOfPlayerWith(MusicFile("one.mp3"));
    const Journal two = JournalOfPlayerWith(MusicFile("two.mp3"));
    ASSERT_FALSE(one.empty());
    ASSERT_FALSE(two.empty());
    std::size_t fadeOut = 0;
    while (fadeOut < one.size() && !(IsVolume(one[fadeOut]) && one[fadeOut].arg < 204 && one[fadeOut].pos > 5000))
        ++fadeOut;
    std::size_t end = fadeOut;  // the player pauses, or stops at the file's end
    while (end < one.size() && one[end].state == 1)
        ++end;
    ASSERT_LT(end, one.size());
    ASSERT_GT(end, fadeOut);
    const std::vector<int> falling = Volumes(one, fadeOut, end);
    ASSERT_GE(falling.size(), 3u);
    EXPECT_TRUE(Moves(falling, -1)) << ::testing::PrintToString(falling);
    EXPECT_LE(falling.back(), 20);
    EXPECT_GE(one[end - 1].pos, 11500);
    EXPECT_LT(LoadOf(one, MusicFile("three.mp3")), one.size()) << "the first player takes the third track";

    const std::size_t twoStart = LoadOf(two, MusicFile("two.mp3"));
    std::vector<int> rising;
    std::int32_t lastPos = -1;
    for (std::size_t i = twoStart; i < two.size() && (rising.empty() || rising.back() < 204); ++i)
        if (IsVolume(two[i]) && two[i].state == 1) {
            EXPECT_GE(two[i].pos, lastPos);
            lastPos = two[i].pos;
            rising.push_back(two[i].arg);
        }
    ASSERT_GE(rising.size(), 3u);
    EXPECT_LT(rising.front(), 100);
    EXPECT_EQ(rising.back(), 204);
    EXPECT_TRUE(Moves(rising, +1)) << ::testing::PrintToString(rising);
}

TEST_F(PanelTest, HardCutSkipSeekPauseAndStop)
{
    WriteThreeTracks(12000);
    ASSERT_FALSE(HasFatalFailure());
    StartTandem();
    ASSERT_FALSE(HasFatalFailure());
    SetCheck(CBFADE, false);
    SetCheck(CB2CHAN, false);
    QueueFirstAndStart();
    ASSERT_FALSE(HasFatalFailure());

    ASSERT_TRUE(WaitText(EDNEXT, "B - Two"));
    ASSERT_TRUE(Click(panel, BTSKIPNEXT));
    EXPECT_EQ(ControlText(panel, EDNEXT), "C - Three");

    // Dragging shows the target; releasing jumps there.
    const HWND slider = e2e::Control(panel, TBSONGPOS);
    SendMessageA(slider, TBM_SETPOS, TRUE, 4);
    SendMessageA(panel, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 4), reinterpret_cast<LPARAM>(slider));
    EXPECT_EQ(ControlText(panel, STREMAINING), "Seeking to");
    EXPECT_EQ(ControlText(panel, EDREMAINING), "0:04:000");
    Sleep(300);
    EXPECT_EQ(ControlText(panel, EDREMAINING), "0:04:000") << "the display leaves the target alone";
    DragTo(TBSONGPOS, 8);
    EXPECT_EQ(ControlText(panel, STREMAINING), "Remaining time");
    Journal one;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            one = JournalOfPlayerWith(MusicFile("one.mp3"));
            return Jumped(one, 8000);
        },
        kWindowTimeoutMs));

    // A page click jumps at once, without "Seeking to".
    RECT box{};
    GetClientRect(slider, &box);
    const LPARAM leftOfThumb = MAKELPARAM(box.right / 8, box.bottom / 2);
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, leftOfThumb);
    SendMessageA(slider, WM_LBUTTONUP, 0, leftOfThumb);
    EXPECT_EQ(ControlText(panel, STREMAINING), "Remaining time");
    const int paged = e2e::TrackbarPos(panel, TBSONGPOS);
    EXPECT_LT(paged, 8);
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            one = JournalOfPlayerWith(MusicFile("one.mp3"));
            return Jumped(one, paged * 1000);
        },
        kWindowTimeoutMs));
    DragTo(TBSONGPOS, 9);

    // Without fade and duo the skipped-to item starts as the first one ends.
    ASSERT_TRUE(WaitPlaying("C - Three", 20000));
    one = JournalOfPlayerWith(MusicFile("one.mp3"));
    const Journal three = JournalOfPlayerWith(MusicFile("three.mp3"));
    // Loading plays and pauses the track at its start; the cut plays it again.
    const auto loaded = std::find_if(three.begin() + static_cast<std::ptrdiff_t>(LoadOf(three, MusicFile("three.mp3"))),
                                     three.end(), [](const auto& e) { return IsCommand(e, WINAMP_BUTTON3); });
    const auto started = std::find_if(loaded, three.end(), [](const auto& e) { return e.state == 1; });
    ASSERT_NE(started, three.end());
    std::int32_t outgoingThen = -1;
    for (const auto& e : one)
        if (e.t <= started->t && e.pos >= 0)
            outgoingThen = e.pos;
    EXPECT_GE(outgoingThen, 11700);
    EXPECT_LE(outgoingThen, 12300);

    ASSERT_TRUE(Click(panel, BTPAUSE));
    EXPECT_TRUE(WaitText(EDSTATUS, "Paused"));
    ASSERT_TRUE(Click(panel, BTPAUSE));
    EXPECT_TRUE(WaitText(EDSTATUS, "Playing"));
    ASSERT_TRUE(Click(panel, BTSTOP));
    EXPECT_TRUE(WaitText(EDSTATUS, "Stopped"));
    EXPECT_EQ(JournalOfPlayerWith(MusicFile("three.mp3")).back().state, 0);
}

// ---- sliders and the player windows ----

TEST_F(PanelTest, SlidersReachThePlayersAndTheCommonControlClamps)
{
    StartTandem();
    ASSERT_FALSE(HasFatalFailure());
    DragTo(TBVOLUMEPL1, 255 - 128);
    EXPECT_EQ(ControlText(panel, STVOLUMEPL1), "50");
    EXPECT_TRUE(e2e::WaitUntil([&] { return PlayersLastSet(IPC_SETVOLUME, 128) == 1; }, kWindowTimeoutMs));
    DragTo(TBPANNINGPL2, -64);
    EXPECT_EQ(ControlText(panel, STPANNINGPL2), "L50%");
    EXPECT_TRUE(e2e::WaitUntil([&] { return PlayersLastSet(IPC_SETPANNING, -64) == 1; }, kWindowTimeoutMs));

    ASSERT_TRUE(Click(panel, CBSELECTPL1));
    ASSERT_TRUE(Click(panel, CBSELECTPL2));
    DragTo(TBVOLUMECOM, 255 - 100);  // absolute: both controlled players follow
    EXPECT_EQ(ControlText(panel, STVOLUMEPL1), "39");
    EXPECT_EQ(ControlText(panel, STVOLUMEPL2), "39");
    EXPECT_EQ(ControlText(panel, STVOLUMETEST), "80");
    EXPECT_TRUE(e2e::WaitUntil([&] { return PlayersLastSet(IPC_SETVOLUME, 100) == 2; }, kWindowTimeoutMs));

    DragTo(TBVOLUMEPL1, 255 - 240);
    ASSERT_TRUE(Click(panel, RBVOLREL));
    DragTo(TBVOLUMECOM, 255 - 130);  // +30: 240 clamps at 255, 100 becomes 130
    EXPECT_EQ(ControlText(panel, STVOLUMEPL1), "100");
    EXPECT_EQ(ControlText(panel, STVOLUMEPL2), "50");
    DragTo(TBVOLUMECOM, 255 - 0);  // -130: 255 gives 125, 130 gives 0
    EXPECT_EQ(ControlText(panel, STVOLUMEPL1), "49");
    EXPECT_EQ(ControlText(panel, STVOLUMEPL2), "0");
    EXPECT_EQ(e2e::TrackbarPos(panel, TBVOLUMEPL2), 255);

    DragTo(TBPANNINGPL1, 100);
    ASSERT_TRUE(Click(panel, RBPANREL));
    DragTo(TBPANNINGCOM, 60);  // 100 + 60 stops at the right end; -64 + 60 is -4
    EXPECT_EQ(ControlText(panel, STPANNINGPL1), "R100%");
    EXPECT_EQ(e2e::TrackbarPos(panel, TBPANNINGPL1), 127);
    EXPECT_EQ(ControlText(panel, STPANNINGPL2), "Center");
    DragTo(TBPANNINGCOM, -128);  // -188 from the right end: the left end, not beyond it
    EXPECT_EQ(ControlText(panel, STPANNINGPL1), "L48%");
    EXPECT_EQ(ControlText(panel, STPANNINGPL2), "L100%");
    EXPECT_TRUE(e2e::WaitUntil([&] { return PlayersLastSet(IPC_SETPANNING, -128) == 1; }, kWindowTimeoutMs));

    // The window buttons go to the controlled players; "About WinAmp" to Pl1's only.
    ASSERT_TRUE(Click(panel, BTWAEQ));
    EXPECT_TRUE(e2e::WaitUntil([&] { return PlayersThatGot(WINAMP_OPTIONS_EQ) == 2; }, kWindowTimeoutMs));
    ASSERT_TRUE(Click(panel, CBSELECTPL2));
    ASSERT_TRUE(Click(panel, BTWAAOT));
    EXPECT_TRUE(e2e::WaitUntil([&] { return PlayersThatGot(WINAMP_OPTIONS_AOT) == 1; }, kWindowTimeoutMs));
    ASSERT_TRUE(Click(panel, BTWAABOUT));
    EXPECT_TRUE(e2e::WaitUntil([&] { return PlayersThatGot(WINAMP_HELP_ABOUT) == 1; }, kWindowTimeoutMs));
    Sleep(200);
    EXPECT_EQ(PlayersThatGot(WINAMP_OPTIONS_EQ), 2);
}

TEST_F(PanelTest, AboutBoxIsLaidOutFromTheLogoAndCenteredOnTheScreen)
{
    StartTandem();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(e2e::ClickPosted(panel, BTTNDMABOUT));
    const HWND about = WaitForShown("Tandem - About");
    ASSERT_NE(about, nullptr);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(about, &r));
    const int screenX = GetSystemMetrics(SM_CXSCREEN);
    const int screenY = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(r.right - r.left, 360 + 40);
    EXPECT_EQ(r.bottom - r.top, 259 + 202);
    EXPECT_EQ(r.left, (screenX - 360 - 40) / 2);
    EXPECT_EQ(r.top, (screenY - 259 - 140) / 2);
    EXPECT_EQ(ControlText(about, STCOMPILED).rfind("Compiled: ", 0), 0u);
    EXPECT_NE(ControlText(about, STCOMPILED).find(" at "), std::string::npos);
    RECT logo{};
    ASSERT_TRUE(GetWindowRect(e2e::Control(about, BMLOGO), &logo));
    EXPECT_EQ(logo.right - logo.left, 360);
    EXPECT_EQ(logo.bottom - logo.top, 259);
    ASSERT_TRUE(Click(about, IDOK));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(about); }, kWindowTimeoutMs));
}

TEST_F(PanelTest, ClosingSavesTheDatabaseAndItsPath)
{
    WriteThreeTracks(5000);
    ASSERT_FALSE(HasFatalFailure());
    StartTandem();
    ASSERT_FALSE(HasFatalFailure());
    const std::string before = e2e::ReadBytes(database);
    DeleteFileA(database.c_str());
    Quit();
    EXPECT_EQ(e2e::ReadBytes(database), before);
    std::string recent;
    ASSERT_TRUE(e2e::RegistryGetString(HKEY_CURRENT_USER, e2e::kSettingsKey, "Recent", &recent));
    EXPECT_EQ(recent, database);
}

}  // namespace
