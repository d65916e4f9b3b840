#include "defs.h"
#include "dlghooks.h"
#include "fndb.h"
#include "fnmain.h"
#include "fnmix.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnsong.h"
#include "fnthr.h"
#include "mixrig.h"
#include "mp3gen.h"
#include "string2.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kLevel = 204;  // every slot's default volume

class Mixer : public ::testing::Test {
protected:
    fake::MixRig rig;
    std::vector<PLI*> items;

    // Items of the given lengths; the first plays in slot 1, the second waits in slot 0.
    void Start(std::initializer_list<std::uint32_t> lengths)
    {
        for (std::uint32_t length : lengths)
            items.push_back(rig.AddItem("t" + std::to_string(items.size()) + ".mp3", length));
        rig.StartWith(items[0]);
    }
    void SetFades(int fade, int type, std::uint32_t fadeLen, int duo, std::uint32_t duoLen)
    {
        StateSetFade(fade);
        StateSetFadeType(type);
        StateSetFadeLen(fadeLen);
        StateSetDuo(duo);
        StateSetDuoLen(duoLen);
        MixRecalcBeat(StateGetNextPLI());
    }
    // Runs until the active player has passed the mix-start position.
    void RunIntoMix() { rig.RunUntilPos(StateGetActPlayer(), static_cast<std::int32_t>(StateGetBeatLast()) + 1, 10); }
    WPARAM LastNotified(UINT msg) { return rig.panel->MessagesOf(msg).back().wParam; }
    // The slot's player commands and plain requests as (code, argument).
    std::vector<std::pair<int, std::int32_t>> Commands(int slot)
    {
        std::vector<std::pair<int, std::int32_t>> commands;
        for (const PlayerJournalEntry& e : rig.players.Slot(slot)->Log())
            if (e.message == PlayerMessage::Command || e.code != IPC_PLAYFILE || e.hasText)
                commands.push_back({e.code, e.arg});
        return commands;
    }
};

// Total fade length and mix start for a current item ending at 200000, fade 3000, duo 5000.
struct TotalCase {
    int fade, type, duo;
    std::uint32_t total, mixStart;
};

TEST_F(Mixer, TotalFadeLengthAndMixStartFollowEverySetting)
{
    Start({200000, 100000});
    for (const TotalCase c : {TotalCase{1, FADE_OVER, 1, 11000, 189000}, TotalCase{1, FADE_IN, 1, 8000, 192000},
                              TotalCase{0, FADE_IN, 1, 5000, 195000}, TotalCase{1, FADE_OUT, 0, 3000, 197000},
                              TotalCase{1, FADE_MAN, 1, 8000, 195000},
                              TotalCase{0, FADE_OVER, 0, 0, 200000 - MIX_FILE_END_MARGIN_MS}}) {
        SetFades(1, FADE_OVER, 3000, 1, 5000);
        StateSetFadeType(c.type);  // each setter alone updates the total
        StateSetDuo(c.duo);
        StateSetFade(c.fade);
        EXPECT_EQ(StateGetTotalFadeLen(), c.total) << c.type;
        MixRecalcBeat(StateGetNextPLI());
        EXPECT_EQ(StateGetBeatLast(), c.mixStart) << c.type;
    }
}

struct FadeCase {
    int type, duo;
    std::int32_t mixLength;  // incoming time until the change finishes (fade 2000, duo 3000)
};

class FadeTypes : public Mixer, public ::testing::WithParamInterface<FadeCase> {};

// Levels at incoming positions, the incoming item starting at 10000: half way
// through a fade the level is half the slot's own.
TEST_P(FadeTypes, EachTypeShapesTheLevelsAndLength)
{
    const FadeCase c = GetParam();
    PLI* a = rig.AddItem("a.mp3", 50000, 0, 40000);
    rig.AddItem("b.mp3", 60000, 10000);
    rig.StartWith(a);
    SetFades(1, c.type, 2000, c.duo, 3000);
    EXPECT_EQ(StateGetBeatLast(), static_cast<std::uint32_t>(40000 - c.mixLength));
    RunIntoMix();
    const bool in = (c.type & FADE_IN_BIT) != 0;
    const bool out = (c.type & FADE_OUT_BIT) != 0;
    rig.RunUntilPos(0, in ? 11000 : 10000, 10);
    EXPECT_EQ(rig.Player(0).Volume(), in ? kLevel / 2 : kLevel);
    EXPECT_EQ(rig.Player(1).Volume(), kLevel);
    rig.RunUntilPos(0, 10000 + c.mixLength - 1000, 10);
    EXPECT_EQ(rig.Player(1).Volume(), out ? kLevel / 2 : kLevel);
    EXPECT_EQ(rig.panel->remainingLabel.Text(), "Fade left");
    EXPECT_EQ(StateGetFadeLeft(), StateGetTotalFadeLen() - static_cast<std::uint32_t>(c.mixLength - 1000));
    EXPECT_EQ(StateGetCurPLI(), a) << "not finished before the mix length";
    rig.RunUntilPos(0, 10000 + c.mixLength + 20, 10);
    rig.Pass();
    EXPECT_EQ(StateGetCurPLI(), PLGetPLI(MainGetCurrentPL(), 1));
    EXPECT_EQ(StateGetActPlayer(), 0);
    EXPECT_EQ(StateGetVolume(0) + StateGetVolume(1), 2 * kLevel);
    // Never below 0; the manual type counts a fade length that it does not run.
    EXPECT_EQ(StateGetFadeLeft(), c.type == FADE_MAN ? 5000u - 3010 : 0u);
    EXPECT_EQ(rig.panel->remainingLabel.Text(), "Remaining");
    // The outgoing player was paused before its level was restored.
    const auto log = rig.players.Slot(1)->Log();
    const auto restore = std::find_if(log.rbegin(), log.rend(), [](const auto& e) { return e.code == IPC_SETVOLUME; });
    EXPECT_EQ(restore->arg * 10 + restore->state, kLevel * 10 + 3);
}

INSTANTIATE_TEST_SUITE_P(All, FadeTypes,
                         ::testing::Values(FadeCase{FADE_OVER, 0, 4000}, FadeCase{FADE_OVER, 1, 7000},
                                           FadeCase{FADE_IN, 0, 2000}, FadeCase{FADE_IN, 1, 5000},
                                           FadeCase{FADE_OUT, 0, 2000}, FadeCase{FADE_OUT, 1, 5000},
                                           FadeCase{FADE_MAN, 1, 3000}));

TEST_F(Mixer, ZeroLengthPhasesEndTogetherAndAStillIncomingPlayerHoldsTheMix)
{
    Start({30000, 60000, 60000});
    SetFades(1, FADE_OVER, 0, 1, 0);  // every phase ends in the first step
    RunIntoMix();
    rig.Run(100, 100);
    EXPECT_EQ(StateGetCurPLI(), items[1]);

    SetFades(0, FADE_OVER, 3000, 1, 2000);  // no volume changes at all
    rig.panel->ClearMessages();
    RunIntoMix();
    WAmpBtPause(1);  // the incoming player does not move
    rig.Run(1500, 100);
    EXPECT_EQ(StateGetCurPLI(), items[1]);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Playing) << "the outgoing plays on";
    WAmpBtPause(1);
    rig.Run(2500, 100);
    EXPECT_EQ(StateGetCurPLI(), items[2]);
    for (const auto& m : rig.panel->MessagesOf(MIXMSG_VOLUME))
        EXPECT_EQ(m.lParam, kLevel);
}

TEST_F(Mixer, SkipAndLoadDuringAMixWaitForItsEnd)
{
    Start({30000, 60000, 60000, 60000, 60000});
    SetFades(1, FADE_OVER, 1000, 0, 0);
    RunIntoMix();
    rig.Run(500, 100);
    MixSkip(rig.Panel());
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Playing) << "the incoming player is not reloaded";
    EXPECT_EQ(MixGetQueuedPLI(), items[2]);
    rig.Run(2000, 100);
    EXPECT_EQ(StateGetNextPLI(), items[2]);
    EXPECT_EQ(rig.Player(0).Volume(), kLevel);

    RunIntoMix();
    MixSetNextPLI(rig.Panel(), items[4]);  // Load in the playlist editor
    MixNext(rig.Panel());                  // NEXT: the change goes on as planned
    rig.Run(2500, 100);
    EXPECT_EQ(StateGetCurPLI(), items[2]);
    EXPECT_EQ(LastNotified(MIXMSG_NEXTPLI), reinterpret_cast<WPARAM>(items[4]));
}

TEST_F(Mixer, HardCutIntoAShorterItemPlaysIt)
{
    Start({60000, 20000, 20000});
    WAmpCmJump(1, 59960);
    rig.Pass();
    MainMixer();  // before the information thread has read the new player
    EXPECT_EQ(StateGetCurPLI(), items[1]);
}

TEST_F(Mixer, DeletingTheQueuedItemQueuesItsFollower)
{
    Start({30000, 30000, 30000, 30000});
    PLFreePLIByIdx(MainGetCurrentPL(), 1);
    EXPECT_EQ(rig.Player(0).Status().file, PLIGetSong(items[2])->Desc.cFileName);
    StateSetRepeat(1);
    MixSetNextPLI(rig.Panel(), items[3]);
    PLFreePLIByIdx(MainGetCurrentPL(), 2);  // the last: wraps to the first
    EXPECT_EQ(StateGetNextPLI(), items[0]);

    // During the mix the item fading in plays on and mixes at its own end.
    MixSetNextPLI(rig.Panel(), items[2]);
    SetFades(1, FADE_OVER, 1000, 0, 0);
    RunIntoMix();
    rig.Run(500, 100);
    PLFreePLIByIdx(MainGetCurrentPL(), 1);
    rig.Run(3000, 100);
    EXPECT_EQ(StateGetNextPLI(), items[0]);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Playing);
    EXPECT_EQ(StateGetBeatLast(), 30000u - 2000);

    PLFreePLIByIdx(MainGetCurrentPL(), 0);  // the only item follows nothing, itself included
    DBFree(MainGetDB());
    rig.Run(30000, 500);
    EXPECT_EQ(StateGetNextPLI(), nullptr);
}

TEST_F(Mixer, AStoppedOrVanishedPlayerHandsOverAtOnce)
{
    Start({60000, 60000, 60000, 60000});
    SetFades(1, FADE_OVER, 1000, 0, 0);
    rig.Run(1000, 100);
    WAmpBtStop(1);  // the track ended early
    rig.Pass();
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Playing);

    const int launches = rig.players.Launches();
    rig.players.Slot(0)->Close();  // the player crashed
    rig.Pass();
    EXPECT_EQ(rig.players.Launches(), launches + 1);
    ASSERT_NE(rig.players.Slot(0), nullptr) << "started again in its slot";
    EXPECT_EQ(rig.Player(1).State(), PlayerState::Playing);
    EXPECT_EQ(rig.Player(0).Status().file, PLIGetSong(items[3])->Desc.cFileName);

    WAmpBtPause(1);  // the user's PAUSE and STOP stay
    rig.Run(500, 100);
    MixStopByUser();
    rig.Run(500, 100);
    EXPECT_EQ(StateGetCurPLI(), items[2]);
    EXPECT_EQ(rig.Player(1).State(), PlayerState::Stopped);
}

TEST_F(Mixer, PlayedItemsCountDownAndTheFirstStartsAnotherRound)
{
    Start({30000, 30000, 30000});
    StateSetRepeat(1);
    PL* pl = MainGetCurrentPL();
    for (int left : {2, 1, 0, 2}) {
        EXPECT_EQ(PLGetNotPlayed(pl), left);
        MixNext(rig.Panel());
    }
}

TEST_F(Mixer, EndOfPlaylistShuffleAndOverrides)
{
    Start({20000, 20000});
    MixNext(rig.Panel());
    EXPECT_EQ(StateGetNextPLI(), nullptr);
    SetFades(1, FADE_OVER, 1000, 0, 0);
    rig.RunUntilPos(0, 18100);
    rig.Run(200, 100);
    EXPECT_EQ(StateGetCurPLI(), nullptr);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Paused) << "paused one mix time before its end";

    StateSetShuffle(1);
    int first = 0;
    for (int i = 0; i < 100; ++i)
        first += MixGetNextPLI() == items[0];
    EXPECT_NEAR(first, 50, 30);
    StateSetShuffle(0);

    PLI* c = rig.AddItem("c.mp3", 30000);
    c->Option.iFade = OPTION_ON;
    c->Option.iDuo = OPTION_OFF;
    c->UpdFlag.bVolume = c->UpdFlag.bFade = c->UpdFlag.bLengths = 1;
    c->Override.iVolume = 100;
    c->Override.iFadeType = FADE_IN;
    c->Override.lFadeLen = 0xFFFFFFFF;  // from a damaged file
    c->Override.lDuoLen = 2500;
    MixSetNextPLI(rig.Panel(), c);
    EXPECT_EQ(StateGetDuo(), 0);
    EXPECT_EQ(rig.Player(StateGetPasPlayer()).Volume() + StateGetVolume(StateGetPasPlayer()), 200);
    EXPECT_EQ(StateGetFadeType(), FADE_IN);
    EXPECT_EQ(StateGetFadeLen(), MIX_MAX_LENGTH_MS);
    EXPECT_EQ(LastNotified(MIXMSG_DUOLEN), 2500u);
}

TEST_F(Mixer, TypedLengthsAreDigitsUpToAnHour)
{
    struct Case { const char* text; int ok; std::uint32_t value; };
    for (const Case c : {Case{"2500", 1, 2500}, Case{"0", 1, 0}, Case{"3600000", 1, 3600000}, Case{"3600001", 0, 7},
                         Case{"-1", 0, 7}, Case{"", 0, 7}, Case{"12a", 0, 7}, Case{"99999999999", 0, 7}}) {
        std::uint32_t value = 7;
        EXPECT_EQ(MixParseLength(c.text, &value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST_F(Mixer, StatusFieldsBeatLightsAndTestPlayer)
{
    SONG* song = rig.AddSong("beat.mp3", 200000);
    song->Bounds.timBeat = {10000, 12000};
    song->Bounds.iNoBeats = 4;
    items.push_back(PLAddSong(MainGetCurrentPL(), song));
    Start({60000});
    SetFades(1, FADE_OVER, 3000, 1, 5000);
    WAmpCmJump(1, 83456);
    rig.Pass();
    EXPECT_EQ(rig.panel->elapsed.Text() + rig.panel->remaining.Text() + rig.panel->status.Text(), "1:23:4561:45:544Playing");
    EXPECT_EQ(rig.panel->songPos.Pos(), 83);
    EXPECT_EQ(rig.panel->beat1.Check() * 10 + rig.panel->beat2.Check(), 1) << "beat 146: even";
    StateSetSeeking(1);  // freezes the bar and the remaining time
    WAmpCmJump(1, 100600);
    rig.Pass();
    EXPECT_EQ(rig.panel->songPos.Pos(), 83);
    EXPECT_EQ(rig.panel->elapsed.Text() + rig.panel->remaining.Text(), "1:40:6001:45:544");
    EXPECT_EQ(rig.panel->beat1.Check() * 10 + rig.panel->beat2.Check(), 10) << "beat 181: odd";
    StateSetSeeking(0);
    MixerState.Status.bMixEnabled = 0;
    WAmpCmJump(1, 195000);
    WAmpBtPause(1);
    rig.Pass();
    EXPECT_EQ(rig.panel->remaining.Text() + rig.panel->status.Text(), "0:00:000Paused");

    EXPECT_EQ(rig.panel->Hooks(), std::vector<std::string>{"busy 0"});
    MixLoadSong(SLOT_TEST, song, 2000);
    rig.Pass();
    hwndTT = rig.panel->trackTimes.hwnd();
    MixPlay(SLOT_TEST);
    rig.Run(100, 100);
    EXPECT_EQ(rig.panel->Hooks(), (std::vector<std::string>{"busy 0", "busy 1", "busy 1", "tt 0:02:100", "beat 2100"}));
}

TEST_F(Mixer, MissingTrackPromptNamesAFreeDriveAndReadsTheFactsLater)
{
    Start({30000, 30000});
    SONG* song = rig.AddSong("late.mp3", 30000);
    song->General.bOnRemovable = 1;
    StrCopy(song->Desc.cPlace, "CD17");
    StrCopy(song->Desc.cFileName, "d:\\late.mp3");
    fake::SetDrives({{"C:\\", DRIVE_FIXED}, {"D:\\", DRIVE_CDROM}});
    fake::QueueMessageBoxAnswer(IDRETRY);
    fake::QueueMessageBoxAnswer(IDCANCEL);
    MixSetNextPLI(rig.Panel(), PLAddSong(MainGetCurrentPL(), song));
    const auto boxes = fake::MessageBoxCalls();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption + boxes[0].text, "WarningTrack not found: Artist - late.mp3 \r\r(Path: d:\\late.mp3)\r\r"
                                                "Maybe you should insert CD17 into drive D:.");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONWARNING | MB_RETRYCANCEL));
    EXPECT_TRUE(StateGetNextPLI() == nullptr && rig.Player(0).Playlist().empty()) << "Cancel queues nothing";
    fake::SetDrives({{"C:\\", DRIVE_FIXED}});
    fake::QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MixCheckSong(rig.Panel(), 0, song), 0);
    EXPECT_NE(fake::MessageBoxCalls().back().text.find("CD17, but no removable drive is free."), std::string::npos);
    song->General.bOnRemovable = 0;
    fake::QueueMessageBoxAnswer(IDCANCEL);
    MixCheckSong(rig.Panel(), 0, song);
    EXPECT_NE(fake::MessageBoxCalls().back().text.find(")\r\rMaybe it has been deleted or moved."), std::string::npos);

    StrCopy(song->Desc.cFileName, rig.PathOf("late.mp3").c_str());
    MP3GENOPTIONS options;
    options.bTag = true;
    options.cTitle = "Read";
    ASSERT_TRUE(Mp3GenWrite(song->Desc.cFileName, options));
    song->General.bInfoNotRead = 1;
    song->Bounds.timMain = {0, 0};
    EXPECT_EQ(MixCheckSong(rig.Panel(), 0, song), 1);
    EXPECT_EQ(std::string(song->Desc.cTitle) + song->Desc.cPlace, "ReadCD17") << "the place typed in stays";
    EXPECT_EQ(song->General.bInfoNotRead, 0);
    EXPECT_EQ(song->Bounds.timMain.lEnd, song->General.lLength);
}

TEST_F(Mixer, PlayerCommandsReachTheRightSlotsInOrder)
{
    for (int slot = 0; slot < MAXI_WINAMP; ++slot)
        rig.players.Slot(slot)->ClearLog();
    MixControlWAmp(WACMEQ, 0x12, 0, nullptr);
    MixControlWAmp(WACMABOUT, 0, 0, nullptr);
    MixControlIndWAmp(WACMVOL, 2, 77, nullptr);
    MixControlIndWAmp(1, 2, 12, nullptr);
    using Commands_t = std::vector<std::pair<int, std::int32_t>>;
    EXPECT_EQ(Commands(0), (Commands_t{{WINAMP_HELP_ABOUT, 0}}));
    EXPECT_EQ(Commands(1), (Commands_t{{WINAMP_OPTIONS_EQ, 0}}));
    EXPECT_EQ(Commands(2), (Commands_t{{IPC_SETVOLUME, 77}}));
    EXPECT_EQ(Commands(4), (Commands_t{{WINAMP_OPTIONS_EQ, 0}}));

    SONG* song = rig.AddSong("load.mp3", 30000);
    StateSetVolume(3, 150);
    rig.players.Slot(3)->ClearLog();
    MixLoadSong(3, song, 1234);
    EXPECT_EQ(Commands(3), (Commands_t{{IPC_SETVOLUME, 0}, {WINAMP_BUTTON3, 0}, {WINAMP_BUTTON4, 0}, {IPC_DELETE, 0},
                                       {IPC_PLAYFILE, 0}, {WINAMP_BUTTON2, 0}, {WINAMP_BUTTON3, 0},
                                       {IPC_SETVOLUME, 150}, {IPC_JUMPTOTIME, 1234}}));
    rig.panel->ClearMessages();
    MixStop(3, 1);  // a paused player stays paused and is reported
    EXPECT_EQ(rig.Player(3).State(), PlayerState::Paused);
    EXPECT_EQ(LastNotified(MIXMSG_STOPPED), 3u);
    MixPlay(3);
    EXPECT_EQ(rig.Player(3).State(), PlayerState::Playing);
    MixPlay(7);
    EXPECT_EQ(LastNotified(MIXMSG_CANTPLAY), 7u);
}

}  // namespace
