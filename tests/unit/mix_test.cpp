#include "defs.h"
#include "dlghooks.h"
#include "fndb.h"
#include "fnlang.h"
#include "fnmain.h"
#include "fnmix.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnsong.h"
#include "fnthr.h"
#include "mixrig.h"
#include "winamp.h"
#include "mp3gen.h"
#include "string2.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

using fake::PanelSink;

class Mixer : public ::testing::Test {
protected:
    fake::MixRig rig;

    void SetFades(int fade, int type, std::uint32_t fadeLen, int duo, std::uint32_t duoLen)
    {
        StateSetFade(fade);
        StateSetFadeType(type);
        StateSetFadeLen(fadeLen);
        StateSetDuo(duo);
        StateSetDuoLen(duoLen);
        MixRecalcBeat(StateGetNextPLI());
    }

    std::vector<UINT> Notifications(std::initializer_list<UINT> kinds)
    {
        std::vector<UINT> seen;
        for (const PanelSink::Message& m : rig.panel->Messages())
            for (UINT kind : kinds)
                if (m.msg == kind)
                    seen.push_back(m.msg);
        return seen;
    }
};

TEST_F(Mixer, MixStartsOneMixLengthBeforeTheCurrentEnd)
{
    PLI* a = rig.AddItem("a.mp3", 200000);
    PLI* b = rig.AddItem("b.mp3", 100000);
    rig.StartWith(a);
    ASSERT_EQ(StateGetCurPLI(), a);
    ASSERT_EQ(StateGetNextPLI(), b);
    SetFades(1, FADE_OVER, 3000, 1, 5000);
    EXPECT_EQ(StateGetBeatLast(), 189000u);
    SetFades(1, FADE_IN, 3000, 0, 5000);
    EXPECT_EQ(StateGetBeatLast(), 197000u);
    SetFades(1, FADE_MAN, 3000, 1, 5000);
    EXPECT_EQ(StateGetBeatLast(), 195000u);
    // A hard cut at the end of the file comes just before it, while the player still plays.
    SetFades(0, FADE_OVER, 3000, 0, 5000);
    EXPECT_EQ(StateGetBeatLast(), 200000u - MIX_FILE_END_MARGIN_MS);
    PLI* early = rig.AddItem("early.mp3", 200000, 0, 150000);
    rig.StartWith(early);
    SetFades(0, FADE_OVER, 3000, 0, 5000);
    EXPECT_EQ(StateGetBeatLast(), 150000u);
}

// The fade over with duo: the incoming item starts at 10000 in slot 0, the
// outgoing plays in slot 1.
TEST_F(Mixer, FadeOverWithDuoFollowsTheIncomingPosition)
{
    PLI* a = rig.AddItem("a.mp3", 40000, 0, 30000);
    rig.AddItem("b.mp3", 60000, 10000, 50000);
    rig.StartWith(a);
    SetFades(1, FADE_OVER, 3000, 1, 5000);
    ASSERT_EQ(StateGetBeatFirst(), 10000u);
    ASSERT_EQ(StateGetBeatLast(), 19000u);

    rig.RunUntilPos(1, 19100);
    ASSERT_EQ(StateGetFading(), 1) << "the active player passed the mix-start position";
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Playing);

    rig.RunUntilPos(0, 11500);
    EXPECT_EQ(rig.Player(0).Volume(), 204 * 500 / 1000);
    EXPECT_EQ(rig.Player(1).Volume(), 204);

    for (std::int32_t pos : {13100, 15000, 18000}) {
        rig.RunUntilPos(0, pos);
        EXPECT_EQ(rig.Player(0).Volume(), 204) << pos;
        EXPECT_EQ(rig.Player(1).Volume(), 204) << pos;
    }
    rig.RunUntilPos(0, 19500);
    EXPECT_EQ(rig.Player(1).Volume(), 204 * 500 / 1000);
    EXPECT_EQ(rig.Player(0).Volume(), 204);
    EXPECT_EQ(StateGetCurPLI(), a) << "the change is not finished yet";

    rig.RunUntilPos(0, 21100);
    EXPECT_EQ(StateGetFading(), 0);
    EXPECT_EQ(StateGetActPlayer(), 0);
    EXPECT_EQ(StateGetPasPlayer(), 1);
    EXPECT_EQ(StateGetCurPLI(), PLGetPLI(MainGetCurrentPL(), 1));
    EXPECT_EQ(rig.Player(1).State(), PlayerState::Paused) << "the outgoing player is paused at its end";
    EXPECT_EQ(StateGetVolume(0), 204);
    EXPECT_EQ(StateGetVolume(1), 204);
}

TEST_F(Mixer, TheOutgoingPlayerIsPausedBeforeItsLevelIsRestored)
{
    PLI* a = rig.AddItem("a.mp3", 40000, 0, 30000);
    rig.AddItem("b.mp3", 60000);
    rig.StartWith(a);
    SetFades(1, FADE_OUT, 1000, 0, 0);
    rig.RunUntilPos(1, 29100);
    rig.Run(1500, 100);
    ASSERT_EQ(StateGetActPlayer(), 0);
    // The last volume command restores the slot's level: by then it must be paused.
    const std::vector<PlayerJournalEntry> log = rig.players.Slot(1)->Log();
    const PlayerJournalEntry* restore = nullptr;
    for (const PlayerJournalEntry& e : log)
        if (e.message == PlayerMessage::User && e.code == IPC_SETVOLUME)
            restore = &e;
    ASSERT_NE(restore, nullptr);
    EXPECT_EQ(restore->arg, 204);
    EXPECT_EQ(restore->state, 3);
}

struct FadeCase {
    int type;
    int duo;
    std::uint32_t mixLength;  // incoming time until the change finishes
    int incomingStart;        // the incoming level at the first step
};

class FadeTypes : public Mixer, public ::testing::WithParamInterface<FadeCase> {};

TEST_P(FadeTypes, EachTypeShapesTheLevelsAndLength)
{
    const FadeCase c = GetParam();
    PLI* a = rig.AddItem("a.mp3", 40000);
    rig.AddItem("b.mp3", 60000);
    rig.StartWith(a);
    SetFades(1, c.type, 2000, c.duo, 3000);
    EXPECT_EQ(StateGetBeatLast(), 40000 - c.mixLength);
    rig.RunUntilPos(1, static_cast<std::int32_t>(40000 - c.mixLength) + 100);
    ASSERT_EQ(StateGetFading(), 1);
    rig.Run(200, 100);
    const int firstIncoming = rig.Player(0).Volume();
    if (c.incomingStart == 0) {
        EXPECT_LT(firstIncoming, 30);
    } else {
        EXPECT_EQ(firstIncoming, 204);
    }
    rig.RunUntilPos(0, static_cast<std::int32_t>(c.mixLength) - 300);
    EXPECT_EQ(StateGetFading(), 1) << "not finished before the mix length";
    if (c.type & FADE_OUT_BIT) {
        EXPECT_LT(rig.Player(1).Volume(), 204);
    } else {
        EXPECT_EQ(rig.Player(1).Volume(), 204) << "no fade-out: the outgoing keeps its level";
    }
    rig.RunUntilPos(0, static_cast<std::int32_t>(c.mixLength) + 300);
    EXPECT_EQ(StateGetFading(), 0);
    EXPECT_EQ(StateGetActPlayer(), 0);
}

INSTANTIATE_TEST_SUITE_P(All, FadeTypes,
                         ::testing::Values(FadeCase{FADE_OVER, 0, 4000, 0}, FadeCase{FADE_OVER, 1, 7000, 0},
                                           FadeCase{FADE_IN, 0, 2000, 0}, FadeCase{FADE_IN, 1, 5000, 0},
                                           FadeCase{FADE_OUT, 0, 2000, 204}, FadeCase{FADE_OUT, 1, 5000, 204},
                                           FadeCase{FADE_MAN, 1, 3000, 204}));

TEST_F(Mixer, FadeOffWithDuoChangesNoVolumes)
{
    PLI* a = rig.AddItem("a.mp3", 30000);
    rig.AddItem("b.mp3", 60000);
    rig.StartWith(a);
    SetFades(0, FADE_OVER, 3000, 1, 2000);
    rig.RunUntilPos(1, 28100);
    rig.panel->ClearMessages();
    rig.RunUntilPos(0, 1900);
    EXPECT_EQ(StateGetFading(), 1);
    rig.RunUntilPos(0, 2200);
    EXPECT_EQ(StateGetFading(), 0);
    for (const PanelSink::Message& m : rig.panel->MessagesOf(MIXMSG_VOLUME))
        EXPECT_EQ(m.lParam, 204) << "only the restoring reports, at the slots' own levels";
}

TEST_F(Mixer, HardCutPausesTheOldAndPlaysTheNewAtItsLevel)
{
    PLI* a = rig.AddItem("a.mp3", 30000);
    PLI* b = rig.AddItem("b.mp3", 60000, 5000);
    rig.StartWith(a);
    rig.Run(1000, 100);
    rig.panel->ClearMessages();
    MixNext(rig.Panel());
    EXPECT_EQ(rig.Player(1).State(), PlayerState::Paused);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Playing);
    EXPECT_EQ(rig.Player(0).Volume(), 204);
    EXPECT_GE(rig.Player(0).Position(), 5000);
    EXPECT_EQ(StateGetCurPLI(), b);
    EXPECT_EQ(Notifications({MIXMSG_CURRENTPLI, MIXMSG_ACTPLAYER, MIXMSG_NEXTPLI}),
              (std::vector<UINT>{MIXMSG_CURRENTPLI, MIXMSG_ACTPLAYER, MIXMSG_NEXTPLI}));
    const auto current = rig.panel->MessagesOf(MIXMSG_CURRENTPLI);
    EXPECT_EQ(current.back().wParam, reinterpret_cast<WPARAM>(b));
    EXPECT_EQ(rig.panel->MessagesOf(MIXMSG_ACTPLAYER).back().wParam, 0u);
    EXPECT_EQ(rig.panel->MessagesOf(MIXMSG_NEXTPLI).back().wParam, 0u) << "b was the last item";
}

TEST_F(Mixer, EndOfPlaylistStopsOrRepeats)
{
    PLI* a = rig.AddItem("a.mp3", 20000);
    PLI* b = rig.AddItem("b.mp3", 20000);
    rig.StartWith(a);
    MixNext(rig.Panel());
    ASSERT_EQ(StateGetCurPLI(), b);
    EXPECT_EQ(StateGetNextPLI(), nullptr);

    // Without a next item the last one is paused at its mix-start position.
    SetFades(1, FADE_OVER, 1000, 0, 0);
    rig.RunUntilPos(0, 18100);
    rig.Run(200, 100);
    EXPECT_EQ(StateGetCurPLI(), nullptr);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Paused);
    rig.Run(2000, 100);
    EXPECT_EQ(StateGetCurPLI(), nullptr) << "later changes leave both null";

    StateSetRepeat(1);
    DBSetCurrentPLI(MainGetDB(), b);
    EXPECT_EQ(MixGetNextPLI(), a);
}

TEST_F(Mixer, ShuffleReachesEveryItemAndEmptyListsFallBack)
{
    StateSetShuffle(1);
    EXPECT_EQ(MixGetNextPLI(), nullptr) << "empty playlist: sequential rule";
    StateSetRepeat(1);
    EXPECT_EQ(MixGetNextPLI(), nullptr);

    PLI* only = rig.AddItem("only.mp3", 10000);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(MixGetNextPLI(), only);

    PLI* second = rig.AddItem("second.mp3", 10000);
    PLI* third = rig.AddItem("third.mp3", 10000);
    int seen[3] = {};
    for (int i = 0; i < 300; ++i) {
        PLI* pli = MixGetNextPLI();
        seen[pli == only ? 0 : pli == second ? 1 : pli == third ? 2 : -100]++;
    }
    for (int count : seen)
        EXPECT_GT(count, 30);
}

TEST_F(Mixer, ItemOverridesStayInForce)
{
    PLI* a = rig.AddItem("a.mp3", 30000);
    PLI* b = rig.AddItem("b.mp3", 30000);
    PLI* c = rig.AddItem("c.mp3", 30000);
    b->Option.iFade = OPTION_ON;
    b->Option.iDuo = OPTION_ON;
    b->UpdFlag.bVolume = 1;
    b->Override.iVolume = 100;
    b->UpdFlag.bFade = 1;
    b->Override.iFadeType = FADE_IN;
    b->UpdFlag.bLengths = 1;
    b->Override.lFadeLen = 1500;
    b->Override.lDuoLen = 2500;
    rig.StartWith(a);  // cuts with fade and duo off, then queues b into slot 0
    EXPECT_EQ(StateGetFade(), 1);
    EXPECT_EQ(StateGetDuo(), 1);
    EXPECT_EQ(StateGetVolume(0), 100);
    EXPECT_EQ(rig.Player(0).Volume(), 100);
    EXPECT_EQ(StateGetFadeType(), FADE_IN);
    EXPECT_EQ(StateGetFadeLen(), 1500u);
    EXPECT_EQ(StateGetDuoLen(), 2500u);
    EXPECT_EQ(Notifications({MIXMSG_FADE, MIXMSG_DUO, MIXMSG_VOLUME, MIXMSG_FADETYPE, MIXMSG_FADELEN, MIXMSG_DUOLEN}),
              (std::vector<UINT>{MIXMSG_FADE, MIXMSG_DUO, MIXMSG_VOLUME, MIXMSG_FADETYPE, MIXMSG_FADELEN,
                                 MIXMSG_DUOLEN}));

    MixNext(rig.Panel());
    rig.Run(4500, 100);
    ASSERT_EQ(StateGetNextPLI(), c);
    EXPECT_EQ(StateGetFade(), 1) << "c keeps b's switches";
    EXPECT_EQ(StateGetFadeType(), FADE_IN);
    EXPECT_EQ(StateGetDuoLen(), 2500u);

    c->Option.iFade = OPTION_OFF;
    MixSetNextPLI(rig.Panel(), c);
    EXPECT_EQ(StateGetFade(), 0) << "an item's 'off' switches the fade off";
    EXPECT_EQ(StateGetDuo(), 1) << "'leave as it is' keeps the duo switch";
}

TEST_F(Mixer, FadeLeftCountsDownAndTheLabelFollows)
{
    PLI* a = rig.AddItem("a.mp3", 30000);
    rig.AddItem("b.mp3", 60000);
    rig.StartWith(a);
    SetFades(1, FADE_OVER, 2000, 1, 2000);
    EXPECT_EQ(rig.panel->remainingLabel.TextWrites(), 0);
    rig.RunUntilPos(1, 24100);
    rig.Run(300, 100);
    EXPECT_EQ(rig.panel->remainingLabel.Text(), "Fade left");
    std::uint32_t last = StateGetFadeLeft();
    EXPECT_LE(last, 6000u);
    EXPECT_GT(last, 5000u);
    for (int i = 0; i < 100 && StateGetFading(); ++i) {
        rig.Run(100, 100);
        if (StateGetFading()) {
            EXPECT_LE(StateGetFadeLeft(), last);
            last = StateGetFadeLeft();
        }
    }
    EXPECT_LT(last, 300u);
    rig.Run(500, 100);
    EXPECT_EQ(rig.panel->remainingLabel.Text(), "Remaining");
}

TEST_F(Mixer, StatusFieldsShowPositionRemainingAndState)
{
    PLI* a = rig.AddItem("a.mp3", 200000);
    rig.AddItem("b.mp3", 60000);
    rig.StartWith(a);
    SetFades(1, FADE_OVER, 3000, 1, 5000);
    WAmpCmJump(1, 83456);
    rig.Pass();
    EXPECT_EQ(rig.panel->elapsed.Text(), "1:23:456");
    EXPECT_EQ(rig.panel->songPos.Pos(), 83);
    EXPECT_EQ(rig.panel->status.Text(), "Playing");
    EXPECT_EQ(rig.panel->remaining.Text(), "1:45:544");

    // Seeking freezes the bar and the remaining time, not the elapsed time.
    StateSetSeeking(1);
    WAmpCmJump(1, 100000);
    rig.Pass();
    EXPECT_EQ(rig.panel->songPos.Pos(), 83);
    EXPECT_EQ(rig.panel->remaining.Text(), "1:45:544");
    EXPECT_EQ(rig.panel->elapsed.Text(), "1:40:000");
    StateSetSeeking(0);

    // Past the mix-start position with nothing mixing yet: 0:00:000.
    MixerState.Status.bMixEnabled = 0;
    WAmpCmJump(1, 190000);
    rig.Pass();
    EXPECT_EQ(rig.panel->remaining.Text(), "0:00:000");
    WAmpBtPause(1);
    rig.Pass();
    EXPECT_EQ(rig.panel->status.Text(), "Paused");
}

TEST_F(Mixer, BeatLightsAlternateWithTheCurrentItemsBeat)
{
    SONG* song = rig.AddSong("beat.mp3", 60000);
    song->Bounds.timBeat = {10000, 12000};
    song->Bounds.iNoBeats = 4;
    PLI* a = PLAddSong(MainGetCurrentPL(), song);
    rig.StartWith(a);
    EXPECT_EQ(MixerState.Beat.lLen.load(), 500u);
    WAmpCmJump(1, 10600);  // beat 1: odd
    rig.Pass();
    EXPECT_EQ(rig.panel->beat1.Check(), 1);
    EXPECT_EQ(rig.panel->beat2.Check(), 0);
    WAmpCmJump(1, 11100);  // beat 2: even
    rig.Pass();
    EXPECT_EQ(rig.panel->beat1.Check(), 0);
    EXPECT_EQ(rig.panel->beat2.Check(), 1);
}

TEST_F(Mixer, TestPlayerStateAndPositionReachTheDialogs)
{
    SONG* song = rig.AddSong("test.mp3", 60000);
    rig.Pass();
    EXPECT_EQ(rig.panel->TestPlayerState(), 0);
    MixLoadSong(SLOT_TEST, song, 2000);
    rig.Pass();
    EXPECT_EQ(rig.panel->TestPlayerState(), 1) << "paused counts as busy";
    EXPECT_TRUE(rig.panel->TrackTimesPositions().empty());
    hwndTT = rig.panel->trackTimes.hwnd();
    MixPlay(SLOT_TEST);
    rig.Run(100, 100);
    ASSERT_FALSE(rig.panel->TrackTimesPositions().empty());
    EXPECT_EQ(rig.panel->TrackTimesPositions().back(), "0:02:100");
    EXPECT_EQ(rig.panel->BeatTestPositions().back(), 2100u);
    EXPECT_TRUE(rig.panel->ItemEditorPositions().empty());
}

TEST_F(Mixer, MissingTrackAsksUntilItIsThereAndThenReadsItsFacts)
{
    SONG* song = rig.AddSong("late.mp3", 30000);
    song->General.bOnRemovable = 1;
    StrCopy(song->Desc.cPlace, "CD17");
    std::remove(song->Desc.cFileName);
    fake::SetDrives({{"C:\\", DRIVE_FIXED}, {"E:\\", DRIVE_CDROM}});

    fake::QueueMessageBoxAnswer(IDRETRY);
    fake::QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MixCheckSong(rig.Panel(), 0, song), 0);
    auto boxes = fake::MessageBoxCalls();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Warning");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONWARNING | MB_RETRYCANCEL));
    EXPECT_EQ(boxes[0].text, "Track not found: Artist - late.mp3 \r\r(Path: " + std::string(song->Desc.cFileName) +
                                 ")\r\rMaybe you should insert CD17 into drive E:.");

    song->General.bOnRemovable = 0;
    fake::QueueMessageBoxAnswer(IDCANCEL);
    MixCheckSong(rig.Panel(), 0, song);
    EXPECT_EQ(fake::MessageBoxCalls().back().text, "Track not found: Artist - late.mp3 \r\r(Path: " +
                                                      std::string(song->Desc.cFileName) +
                                                      ")\r\rMaybe it has been deleted or moved.");

    // The file comes back; a track added without reading gets its facts,
    // keeps its place and gets a main part.
    MP3GENOPTIONS options;
    options.lDurationMs = 4000;
    options.bTag = true;
    options.cTitle = "Read";
    ASSERT_TRUE(Mp3GenWrite(song->Desc.cFileName, options));
    song->General.bInfoNotRead = 1;
    song->Bounds.timMain = {0, 0};
    EXPECT_EQ(MixCheckSong(rig.Panel(), 0, song), 1);
    EXPECT_EQ(song->General.bInfoNotRead, 0);
    EXPECT_STREQ(song->Desc.cTitle, "Read");
    EXPECT_STREQ(song->Desc.cPlace, "CD17");
    EXPECT_NEAR(static_cast<double>(song->Bounds.timMain.lEnd), 4000, 30);
}

TEST_F(Mixer, CancelWhileQueuingLeavesNothingQueued)
{
    PLI* a = rig.AddItem("a.mp3", 30000);
    PLI* b = rig.AddItem("b.mp3", 30000);
    PLI* c = rig.AddItem("c.mp3", 30000);
    rig.StartWith(a);
    ASSERT_EQ(StateGetNextPLI(), b);
    std::remove(PLIGetSong(c)->Desc.cFileName);
    fake::QueueMessageBoxAnswer(IDCANCEL);
    MixSkip(rig.Panel());  // c is missing
    EXPECT_EQ(StateGetNextPLI(), nullptr);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Stopped);
    EXPECT_TRUE(rig.Player(0).Playlist().empty()) << "no stale track to play under the new title";
    EXPECT_EQ(rig.panel->MessagesOf(MIXMSG_NEXTPLI).back().wParam, 0u);
    EXPECT_EQ(MainGetCurrentPLI(), c) << "SKIP and Load go on from the missing item";
    StateSetRepeat(1);
    MixSkip(rig.Panel());
    EXPECT_EQ(StateGetNextPLI(), a);
}

TEST_F(Mixer, DroppedItemsAreNeverUsedAgain)
{
    PLI* a = rig.AddItem("a.mp3", 30000);
    rig.AddItem("b.mp3", 30000);
    rig.AddItem("c.mp3", 30000);
    rig.StartWith(a);
    SetFades(1, FADE_OVER, 1000, 0, 0);
    const std::uint32_t mixStart = StateGetBeatLast();

    PLFreePLIByIdx(MainGetCurrentPL(), 1);  // the next item
    EXPECT_EQ(StateGetNextPLI(), nullptr);
    EXPECT_EQ(rig.Player(0).State(), PlayerState::Stopped);
    PLFreePLIByIdx(MainGetCurrentPL(), 0);  // the current item
    EXPECT_EQ(StateGetCurPLI(), nullptr);
    EXPECT_EQ(rig.Player(1).State(), PlayerState::Playing) << "the track plays on";
    EXPECT_EQ(StateGetBeatLast(), mixStart);

    // Runs past the old mix-start; under AddressSanitizer any use of the
    // released items would be reported.
    rig.Run(30000, 100);
    DBFree(MainGetDB());
    rig.Run(1000, 100);
    EXPECT_EQ(StateGetCurPLI(), nullptr);
    EXPECT_EQ(StateGetNextPLI(), nullptr);
}

TEST_F(Mixer, PlayerWindowButtonsReachTheMaskedSlotsInOrder)
{
    for (int slot = 0; slot < MAXI_WINAMP; ++slot)
        rig.players.Slot(slot)->ClearLog();
    MixControlWAmp(WACMEQ, 0x12, 0, nullptr);
    std::vector<int> order;
    for (int slot = 0; slot < MAXI_WINAMP; ++slot)
        for (int id : rig.players.Slot(slot)->WindowRequests())
            if (id == WINAMP_OPTIONS_EQ)
                order.push_back(slot);
    EXPECT_EQ(order, (std::vector<int>{1, 4}));

    MixControlWAmp(WACMABOUT, 0, 0, nullptr);
    EXPECT_EQ(rig.players.Slot(StateGetActPlayer())->WindowRequests().back(), WINAMP_HELP_ABOUT);
    MixControlIndWAmp(WACMVOL, 2, 77, nullptr);
    EXPECT_EQ(rig.Player(2).Volume(), 77);
    MixControlIndWAmp(1, 2, 12, nullptr);
    EXPECT_EQ(rig.Player(2).Volume(), 77);
}

TEST_F(Mixer, PausingAPausedPlayerKeepsItPausedAndReports)
{
    SONG* song = rig.AddSong("p.mp3", 30000);
    MixLoadSong(2, song, 0);
    ASSERT_EQ(rig.Player(2).State(), PlayerState::Paused);
    rig.panel->ClearMessages();
    MixStop(2, 1);
    EXPECT_EQ(rig.Player(2).State(), PlayerState::Paused);
    ASSERT_EQ(rig.panel->MessagesOf(MIXMSG_STOPPED).size(), 1u);
    EXPECT_EQ(rig.panel->MessagesOf(MIXMSG_STOPPED)[0].wParam, 2u);
    MixPlay(2);
    EXPECT_EQ(rig.Player(2).State(), PlayerState::Playing);
    MixPlay(7);
    EXPECT_EQ(rig.panel->MessagesOf(MIXMSG_CANTPLAY).back().wParam, 7u) << "no player: cannot be started";
}

TEST_F(Mixer, LoadingSendsTheCommandsInOrder)
{
    SONG* song = rig.AddSong("load.mp3", 30000);
    StateSetVolume(3, 150);
    rig.players.Slot(3)->ClearLog();
    MixLoadSong(3, song, 1234);
    std::vector<std::pair<int, std::int32_t>> commands;
    for (const PlayerJournalEntry& e : rig.players.Slot(3)->Log())
        if (e.message == PlayerMessage::Command || e.code != IPC_PLAYFILE || e.hasText)
            commands.push_back({e.code, e.arg});
    const std::vector<std::pair<int, std::int32_t>> expected = {
        {IPC_SETVOLUME, 0},     {WINAMP_BUTTON3, 0},  {WINAMP_BUTTON4, 0},    {IPC_DELETE, 0}, {IPC_PLAYFILE, 0},
        {WINAMP_BUTTON2, 0},    {WINAMP_BUTTON3, 0},  {IPC_SETVOLUME, 150},   {IPC_JUMPTOTIME, 1234}};
    EXPECT_EQ(commands, expected);
    EXPECT_EQ(rig.Player(3).Status().file, song->Desc.cFileName);
    EXPECT_EQ(rig.Player(3).Position(), 1234);
}

TEST_F(Mixer, DrivesInUseAreNotOfferedForAMissingMedium)
{
    fake::SetDrives({{"C:\\", DRIVE_FIXED}, {"D:\\", DRIVE_CDROM}, {"E:\\", DRIVE_CDROM}, {"F:\\", DRIVE_REMOVABLE}});
    EXPECT_EQ(MixGetFreeRemovableDrive(), 'D');
    SONG* song = rig.AddSong("cd.mp3", 30000);
    StrCopy(song->Desc.cFileName, "d:\\music\\cd.mp3");
    PLI* pli = PLAddSong(MainGetCurrentPL(), song);
    StateSetNextPLI(pli);
    EXPECT_EQ(MixDriveUsed("D:\\"), 1);
    EXPECT_EQ(MixDriveUsed("E:\\"), 0);
    EXPECT_EQ(MixGetFreeRemovableDrive(), 'E');
    StateSetNextPLI(nullptr);
    fake::SetDrives({{"C:\\", DRIVE_FIXED}});
    EXPECT_EQ(MixGetFreeRemovableDrive(), 0);
}

}  // namespace
