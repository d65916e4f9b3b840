#include "defs.h"
#include "dlghooks.h"
#include "fnana.h"
#include "fnmix.h"
#include "fnpli.h"
#include "fnsong.h"
#include "mixrig.h"
#include "string2.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
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
            items.push_back(rig.AddItem(std::string("t").append(std::to_string(items.size())).append(".mp3"), length));
        rig.StartWith(items[0]);
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

// The incoming time until the change finishes, with fade 2000 and duo 3000.
struct FadeCase { int type, duo; std::int32_t mixLength; };

class FadeTypes : public Mixer, public ::testing::WithParamInterface<FadeCase> {};

// Levels at incoming positions, the incoming item starting at 10000: half way
// through a fade the level is half the slot's own.
TEST_P(FadeTypes, EachTypeShapesTheLevelsAndLength)
{
    const FadeCase c = GetParam();
    PLI* a = rig.AddItem("a.mp3", 50000, 0, 40000);
    rig.AddItem("b.mp3", 60000, 10000);
    rig.StartWith(a);
    rig.SetFades(0, FADE_OVER, 2000, 1, 3000);
    StateSetFadeType(c.type);  // each setter alone updates the total
    StateSetDuo(c.duo);
    StateSetFade(1);
    MixRecalcBeat(StateGetNextPLI());
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
    EXPECT_EQ(StateGetVolume(0) + StateGetVolume(1), 2 * kLevel);
    EXPECT_EQ(StateGetFadeLeft(), 0u) << "never below 0, and no fade counted that does not run";
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
    rig.SetFades(1, FADE_OVER, 0, 1, 0);  // every phase ends in the first step
    RunIntoMix();
    rig.Run(100, 100);
    rig.SetFades(0, FADE_OVER, 3000, 1, 2000);  // no volume changes at all
    rig.panel->ClearMessages();
    RunIntoMix();
    WAmpBtPause(1);  // the incoming player does not move
    rig.Run(1500, 100);
    EXPECT_EQ(StateGetCurPLI(), items[1]);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Playing) << "the outgoing plays on";
    WAmpBtStop(1);  // its track ended early: the change completes at once
    rig.Run(100, 100);
    EXPECT_EQ(StateGetCurPLI(), items[2]);
    for (const auto& m : rig.panel->MessagesOf(MIXMSG_VOLUME))
        EXPECT_EQ(m.lParam, kLevel);
}

// However a request arrives during a mix, the incoming player is not
// reloaded: it waits for the end of the change.
TEST_F(Mixer, SkipAndLoadDuringAMixWaitForItsEnd)
{
    Start({30000, 60000, 60000, 60000, 60000});
    rig.SetFades(1, FADE_OVER, 1000, 0, 0);
    const std::string file = PLIGetSong(items[2])->Desc.cFileName, away = file + ".away";
    std::rename(file.c_str(), away.c_str());  // SKIP to a missing track as the mix is due
    rig.RunUntilPos(1, static_cast<std::int32_t>(StateGetBeatLast()) - 100, 10);
    fake::QueueMessageBoxAnswer(IDRETRY);
    fake::SetMessageBoxHook([&] { rig.Run(500, 100), std::rename(away.c_str(), file.c_str()); });
    MixSkip(rig.Panel());  // the prompt's loop lets the mix start; Retry finds the file back
    MixNext(rig.Panel());  // NEXT: the change goes on as planned
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Playing) << "the incoming player is not reloaded";
    EXPECT_EQ(MixGetQueuedPLI(), items[2]);
    rig.Run(2000, 100);
    EXPECT_EQ(StateGetNextPLI(), items[2]);

    // Windows runs the mixer's messages while SKIP waits for the player it
    // loads: the mix that falls due then starts once the player is loaded.
    rig.RunUntilPos(0, static_cast<std::int32_t>(StateGetBeatLast()) - 100, 10);
    bool nested = false;
    rig.Player(1).SetJournal([&](const PlayerJournalEntry&) {
        if (!std::exchange(nested, true))
            WAmpCmJump(0, StateGetBeatLast() + 10), rig.Pass();
    });
    MixSkip(rig.Panel());
    rig.Player(1).SetJournal(nullptr);
    rig.Run(2500, 100);
    EXPECT_EQ(StateGetCurPLI(), items[3]);
}

// A pass acts on what it read only while that holds: after a change made
// since (the user's NEXT, or the pass's own finish) it leaves the players alone.
TEST_F(Mixer, APassActsOnlyOnWhatStillHolds)
{
    Start({30000, 30000, 30000, 30000});
    WAmpCmJump(1, 29990);
    FadeMixer();           // reads the active player past its mix start
    MixNext(rig.Panel());  // the user's NEXT meanwhile
    SongMixer();
    EXPECT_EQ(StateGetCurPLI(), items[1]) << "the fresh item is not skipped";
    rig.SetFades(1, FADE_OVER, 1000, 0, 0);
    RunIntoMix();
    rig.Run(500, 100);
    rig.players.Slot(0)->Close();  // the outgoing player vanishes during the mix
    rig.Run(3000, 100);
    EXPECT_EQ(StateGetCurPLI(), items[2]) << "one change, not two";
    EXPECT_EQ(rig.Player(1).State(), PlayerState::Playing);
}

// Changes the mixer makes by itself wait for no one: a missing track is
// skipped to its follower and listed, and an item queued while nothing
// plays (repeat switched on during the last item) starts.
TEST_F(Mixer, UnattendedChangesSkipMissingTracksAndStartWhatWaits)
{
    Start({20000, 20000, 20000, 20000});
    std::remove(PLIGetSong(items[2])->Desc.cFileName);
    MixNext(rig.Panel());
    EXPECT_TRUE(fake::MessageBoxCalls().empty());
    EXPECT_EQ(StateGetNextPLI(), items[3]);
    EXPECT_TRUE(MixIsSkipped(items[2]) && !MixIsSkipped(items[3]));
    EXPECT_EQ(LastNotified(MIXMSG_SKIPPED), reinterpret_cast<WPARAM>(items[2]));
    rig.Pass();
    EXPECT_EQ(rig.panel->status.Text(), "Playing, 1 missing");
    MixNext(rig.Panel());
    StateSetRepeat(1);
    WAmpCmJump(StateGetActPlayer(), 19900);
    rig.Run(300, 100);
    EXPECT_EQ(StateGetCurPLI(), items[0]);
    EXPECT_EQ(rig.Player(StateGetActPlayer()).State(), PlayerState::Playing);
}

// When every track stops at once (no sound device), the watchdog makes a
// few starts, then waits ever longer between them and says so.
TEST_F(Mixer, WhenNoTrackCanPlayTheWatchdogWaitsAndSaysSo)
{
    Start({20000, 20000, 20000, 20000});
    StateSetRepeat(1);
    // The user's NEXT with nothing queued, made while the watchdog asks for
    // its start as a track ends, is the user's change, not its start.
    MixSetNextPLI(rig.Panel(), nullptr);
    WAmpCmJump(1, 19300);
    rig.Run(600, 100);
    WAmpBtStop(1);
    bool nested = false;
    rig.Player(1).SetJournal([&](const PlayerJournalEntry& e) {
        if (e.code == IPC_GETOUTPUTTIME && e.arg == 1 && !std::exchange(nested, true))
            MixNext(rig.Panel());
    });
    rig.Run(100, 100);
    rig.Player(1).SetJournal(nullptr);
    rig.panel->ClearMessages();
    for (int t = 0; t < 4000; t += 100) {
        WAmpBtStop(StateGetActPlayer());
        rig.Run(100, 100);
    }
    EXPECT_EQ(rig.panel->MessagesOf(MIXMSG_CURRENTPLI).size(), 5u) << "three at once, then after 1 s and 2 s";
    EXPECT_EQ(rig.panel->status.Text(), "Retry in 4 s");
    rig.players.Slot(StateGetActPlayer())->Hang(true);
    rig.Run(200, 100);
    EXPECT_EQ(rig.Player(StateGetActPlayer()).State(), PlayerState::Playing) << "a hung player hands over without the wait";
    rig.Run(5000, 100);
    EXPECT_EQ(rig.Player(StateGetActPlayer()).State(), PlayerState::Playing);
}

TEST_F(Mixer, CutsPlayEachItemAndCountItPlayed)
{
    Start({60000, 20000, 20000});
    StateSetRepeat(1);
    WAmpCmJump(1, 59960);
    rig.Pass();
    MainMixer();  // before the information thread has read the new player: a shorter item is not skipped
    EXPECT_EQ(StateGetCurPLI(), items[1]);
    for (int left : {1, 0, 2}) {  // the first item starts another round
        EXPECT_EQ(PLGetNotPlayed(MainGetCurrentPL()), left);
        MixNext(rig.Panel());
    }
    PLI* stray = PLICreate(nullptr);  // of no list: marked nowhere
    const int notPlayed = PLGetNotPlayed(MainGetCurrentPL());
    PLMarkPlayed(MainGetCurrentPL(), stray);
    EXPECT_TRUE(stray->bPlayed == 0 && PLGetNotPlayed(MainGetCurrentPL()) == notPlayed);
    std::free(stray);
    StateSetShuffle(1);  // shuffle draws every item, the last included
    std::set<PLI*> drawn;
    for (int i = 0; i < 300; ++i)
        drawn.insert(MixGetNextPLI());
    EXPECT_EQ(drawn, std::set<PLI*>(items.begin(), items.end()));
    PLFreePLIByIdx(MainGetCurrentPL(), 1);  // the current item goes; its track plays on
    EXPECT_TRUE(StateGetCurPLI() == nullptr && rig.Player(StateGetActPlayer()).State() == PlayerState::Playing);
    EXPECT_EQ(PLGetNotPlayed(MainGetCurrentPL()), 1) << "its mark went with it";
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
    rig.SetFades(1, FADE_OVER, 1000, 0, 0);
    RunIntoMix();
    rig.Run(500, 100);
    PLFreePLIByIdx(MainGetCurrentPL(), 1);
    EXPECT_EQ(PLGetCurrentPLI(MainGetCurrentPL()), items[0]) << "SKIP goes on from its follower";
    rig.Run(3000, 100);
    EXPECT_EQ(StateGetNextPLI(), items[0]);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Playing);
    EXPECT_EQ(StateGetBeatLast(), 30000u - 2000);
    PLFreePLIByIdx(MainGetCurrentPL(), 0);  // the only item follows nothing, itself included
    EXPECT_EQ(StateGetNextPLI(), nullptr);
    PLI* round[] = {rig.AddItem("a.mp3", 30000), rig.AddItem("b.mp3", 30000), rig.AddItem("c.mp3", 30000)};
    MixSetNextPLI(rig.Panel(), round[1]);  // its followers missing, the round leads back to it
    std::remove(PLIGetSong(round[0])->Desc.cFileName), std::remove(PLIGetSong(round[2])->Desc.cFileName);
    PLFreePLIByIdx(MainGetCurrentPL(), 1);
    EXPECT_EQ(StateGetNextPLI(), nullptr);
}

TEST_F(Mixer, AStoppedVanishedOrHungPlayerHandsOverAtOnce)
{
    Start({60000, 60000, 60000, 60000, 60000});
    rig.players.SetLength(rig.PathOf("t2.mp3"), 3000);  // its stored length is wrong: the file ends early
    MixSetPanning(1, -40);
    rig.Run(1000, 100);
    WAmpBtStop(1);  // the user stops the player from its own window
    rig.Run(500, 100);
    EXPECT_EQ(StateGetCurPLI(), items[0]);

    MixNext(rig.Panel());
    rig.players.Slot(1)->Close();  // the idle passive player crashed
    rig.Run(1100, 100);
    ASSERT_NE(rig.players.Slot(1), nullptr) << "started again in its slot";
    EXPECT_EQ(rig.Player(1).Status().file + std::to_string(rig.Player(1).Panning()), PLIGetSong(items[2])->Desc.cFileName + std::string("-40"));

    rig.players.Slot(0)->Close();  // the active one crashed
    rig.Run(100, 100);
    EXPECT_EQ(StateGetCurPLI(), items[2]);
    rig.Run(3000, 100);  // its file ended
    EXPECT_EQ(StateGetCurPLI(), items[3]);
    const HWND hung = WAmpInstGet(0)->Window;
    rig.players.Slot(0)->Hang(true);
    rig.Run(100, 100);
    EXPECT_EQ(StateGetCurPLI(), items[4]) << "a hung player is taken for a vanished one";
    EXPECT_TRUE(!IsWindow(hung) && rig.players.Slot(0) != nullptr) << "Tandem started it: it is ended";

    rig.Run(600, 100);
    WAmpBtPause(1);  // the user's PAUSE and STOP from the player's window stay
    rig.Run(500, 100);
    WAmpBtStop(1);
    rig.Run(500, 100);
    EXPECT_EQ(StateGetCurPLI(), items[4]);
    EXPECT_EQ(rig.Player(1).State(), PlayerState::Stopped);
    MixSetNextPLI(rig.Panel(), items[0]);
    const HWND idle = WAmpInstGet(0)->Window;
    rig.players.Slot(0)->Hang(true);
    rig.Run(1000, 1000);
    EXPECT_TRUE(!IsWindow(idle) && !WAmpInstGone(0)) << "the look that finds the passive player hung starts it again";
    rig.players.Slot(0)->Hang(true);  // NEXT while the passive player hangs: the stopped one takes the item
    MixNext(rig.Panel());
    rig.Run(200, 100);
    EXPECT_TRUE(StateGetCurPLI() == items[0] && rig.Player(1).State() == PlayerState::Playing);
}

TEST_F(Mixer, EndOfPlaylistAndOverrides)
{
    Start({20000, 20000});
    MixNext(rig.Panel());
    rig.SetFades(1, FADE_OVER, 1000, 0, 0);
    rig.RunUntilPos(0, 18100);
    rig.Run(200, 100);
    EXPECT_EQ(StateGetCurPLI(), nullptr);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Paused) << "paused one mix time before its end";

    PLI* c = rig.AddItem("c.mp3", 30000);
    c->Option.iDuo = OPTION_OFF;  // the fade switch (off) is left as it is
    c->Option.iFade = OPTION_KEEP;
    c->UpdFlag.bVolume = c->UpdFlag.bFade = c->UpdFlag.bLengths = 1;
    c->Override = {100, 0, 0xFFFFFFFF, 2500, FADE_IN, {}, {}};  // lengths from a damaged file
    MixSetNextPLI(rig.Panel(), c);
    EXPECT_EQ(StateGetDuo() * 10 + StateGetFade(), 1) << "the next cut keeps them";
    EXPECT_EQ(rig.Player(StateGetPasPlayer()).Volume() + StateGetVolume(StateGetPasPlayer()), 200);
    EXPECT_EQ(StateGetFadeType(), FADE_IN);
    EXPECT_EQ(StateGetFadeLen(), MIX_MAX_LENGTH_MS);
    EXPECT_EQ(LastNotified(MIXMSG_DUOLEN), 2500u);
}

TEST_F(Mixer, StatusFieldsBeatLightsAndTestPlayer)
{
    SONG* song = rig.AddSong("beat.mp3", 200000);
    song->Bounds.timBeat = {10000, 12000};
    song->Bounds.iNoBeats = 4;
    items.push_back(PLAddSong(MainGetCurrentPL(), song));
    Start({60000});
    rig.SetFades(1, FADE_OVER, 3000, 1, 5000);
    fake::PanelSink& panel = *rig.panel;
    // Position, with or without the user dragging the bar, and what the fields and beat lights show.
    struct Step { std::int32_t pos; int seeking; const char* shown; };
    for (const Step t : {Step{83456, 0, "83 1:23:456 1:45:544 Playing 01"}, Step{100600, 1, "83 1:40:600 1:45:544 Playing 10"},
                         Step{195000, 0, "195 3:15:000 0:00:000 Paused 01"}}) {
        StateSetSeeking(t.seeking);
        WAmpCmJump(1, t.pos);
        if (t.pos == 195000)
            WAmpBtPause(1);
        MixerState.Status.bMixEnabled = 0;
        rig.Pass();
        EXPECT_EQ(std::to_string(panel.songPos.Pos()) + " " + panel.elapsed.Text() + " " + panel.remaining.Text() + " " +
                      panel.status.Text() + " " + std::to_string(panel.beat1.Check()) + std::to_string(panel.beat2.Check()),
                  t.shown);
    }

    MixLoadSong(SLOT_TEST, song, 2000);
    hwndTT = panel.trackTimes.hwnd();
    MixPlay(SLOT_TEST);
    rig.Run(100, 100);
    EXPECT_EQ(panel.Hooks(), (std::vector<std::string>{"busy 0", "busy 1", "tt 0:02:100", "beat 2100"}));
}

TEST_F(Mixer, MissingTrackPromptNamesAFreeDrive)
{
    Start({30000, 30000});
    SONG* song = rig.AddSong("late.mp3", 30000);
    StrCopy(song->Desc.cPlace, "CD17");
    StrCopy(song->Desc.cFileName, "d:\\late.mp3");
    PLI* late = PLAddSong(MainGetCurrentPL(), song);
    StrCopy(PLIGetSong(StateGetCurPLI())->Desc.cFileName, "e:\\now.mp3");  // drive E: is in use
    using Drives = std::vector<std::pair<std::string, UINT>>;
    struct Case { int removable; Drives drives; const char* advice; };
    for (const Case& c : {Case{1, {{"C:\\", DRIVE_FIXED}, {"D:\\", DRIVE_CDROM}}, "you should insert CD17 into drive D:."},
                          Case{1, {{"E:\\", DRIVE_CDROM}, {"F:\\", DRIVE_CDROM}}, "you should insert CD17 into drive F:."},
                          Case{1, {{"C:\\", DRIVE_FIXED}}, "you should insert CD17, but no removable drive is free."},
                          Case{0, {}, "it has been deleted or moved."}}) {
        song->General.bOnRemovable = c.removable;
        fake::SetDrives(c.drives);
        fake::QueueMessageBoxAnswer(IDRETRY);
        fake::QueueMessageBoxAnswer(IDCANCEL);
        MixSetNextPLI(rig.Panel(), late);
        const auto boxes = fake::MessageBoxCalls();
        ASSERT_GE(boxes.size(), 2u);
        EXPECT_EQ(boxes.back().caption + boxes.back().text,
                  "WarningTrack not found: Artist - late.mp3 \r\r(Path: d:\\late.mp3)\r\rMaybe " + std::string(c.advice));
        EXPECT_EQ(boxes.back().type, static_cast<UINT>(MB_ICONWARNING | MB_RETRYCANCEL));
        EXPECT_TRUE(StateGetNextPLI() == items[1] && PLGetCurrentPLI(MainGetCurrentPL()) == late) << "Cancel keeps the queue";
    }
    EXPECT_EQ(fake::MessageBoxCalls().size(), 8u) << "Retry asks again";
}

TEST_F(Mixer, PlayerCommandsReachTheRightSlotsInOrder)
{
    for (int slot = 0; slot < MAXI_WINAMP; ++slot)
        rig.players.Slot(slot)->ClearLog();
    using Commands_t = std::vector<std::pair<int, std::int32_t>>;
    MixControlWAmp(WACMEQ, 0x12, 0, nullptr);
    MixControlWAmp(WACMABOUT, 0, 0, nullptr);
    MixControlIndWAmp(WACMVOL, 2, 77, nullptr);
    MixControlIndWAmp(1, 2, 12, nullptr);
    std::vector<Commands_t> all;
    for (int slot = 0; slot < MAXI_WINAMP; ++slot)
        all.push_back(Commands(slot));
    EXPECT_EQ(all, (std::vector<Commands_t>{
                       {{WINAMP_HELP_ABOUT, 0}}, {{WINAMP_OPTIONS_EQ, 0}}, {{IPC_SETVOLUME, 77}}, {}, {{WINAMP_OPTIONS_EQ, 0}}}));

    SONG* song = rig.AddSong("load.mp3", 30000);
    StateSetVolume(3, 150);
    rig.players.Slot(3)->ClearLog();
    MixLoadSong(3, song, 1234);
    EXPECT_EQ(Commands(3), (Commands_t{{IPC_SETVOLUME, 0}, {WINAMP_BUTTON3, 0}, {WINAMP_BUTTON4, 0}, {IPC_DELETE, 0},
                                       {IPC_PLAYFILE, 0}, {WINAMP_BUTTON2, 0}, {WINAMP_BUTTON3, 0},
                                       {IPC_SETVOLUME, 150}, {IPC_JUMPTOTIME, 1234}}));
    // A measured track plays levelled (10 dB above the target: a third of
    // the volume), unless levelling is off; the panel keeps the user's volume.
    song->Analysis = {ANA_DONE, ANA_VERSION, -800, -100, {0, 30000}};
    MixLoadSong(3, song, 0);
    EXPECT_EQ(rig.Player(3).Volume(), 47);
    MixSetLevel(0);
    EXPECT_EQ(rig.Player(3).Volume(), 150);
    MixSetVolume(3, 100);
    MixSetLevel(1);
    EXPECT_EQ(rig.Player(3).Volume(), 32);
    EXPECT_EQ(StateGetVolume(3), 100);
    MixStop(3, 1);  // a paused player stays paused and is reported
    EXPECT_EQ(rig.Player(3).State(), PlayerState::Paused);
    EXPECT_EQ(LastNotified(MIXMSG_STOPPED), 3u);
    MixPlay(7);
    EXPECT_EQ(LastNotified(MIXMSG_CANTPLAY), 7u);
}

}  // namespace
