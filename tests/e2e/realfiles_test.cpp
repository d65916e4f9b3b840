// Files as today's encoders write them, in a running Tandem: an ID3v2 tag
// before the audio, a VBR stream timed by its Xing header and no ID3v1 tag.
#include "tandem.h"

#include "mp3gen.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using RealFilesTest = e2e::TandemTest;

// 230 frames of 1152 samples at 44100 Hz, 128 and 320 kbit/s by turns: 6008 ms,
// where the first frame's bit rate would make it 10.5 s.
TEST_F(RealFilesTest, TaggedVbrFileShowsItsTitleAndLengthAndMixesAtItsRealEnd)
{
    MP3GENOPTIONS vbr;
    vbr.lDurationMs = 6000, vbr.lVbrBitRate = 320, vbr.bXing = vbr.bId3v2 = true;
    vbr.cTitle = "Real Title", vbr.cArtist = "Encoder", vbr.iStyle = 8;
    ASSERT_TRUE(Mp3GenWrite(MusicFile("vbr.mp3").c_str(), vbr));
    WriteMusic({{"next.mp3", {"B", "Next"}}});
    const auto addFile = [&](HWND tl, const std::string& name) {
        e2e::PostCommand(tl, CMADDFILE);
        const HWND dialog = e2e::FindFileDialog("Add files", e2e::kWindowTimeoutMs);
        ASSERT_TRUE(dialog != nullptr && e2e::SubmitFileDialog(dialog, MusicFile(name)));
        const HWND place = WaitForShown("Place of songs");
        ASSERT_TRUE(place != nullptr && e2e::ClickPosted(place, IDOK));
    };
    StartTandem();
    ASSERT_TRUE(e2e::Click(panel, BTTL));
    const HWND tl = WaitForShown("List of tracks");
    ASSERT_NE(tl, nullptr);
    addFile(tl, "vbr.mp3");
    const HWND list = e2e::Control(tl, LVTRACKLIST);
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListViewCount(list) == 1; }, e2e::kWindowTimeoutMs));
    EXPECT_EQ(e2e::ListViewRows(list, 6)[0], (std::vector<std::string>{"Encoder", "Real Title", "", "", "", "Jazz"}));
    ASSERT_TRUE(e2e::ListViewSelect(list, 0));
    ASSERT_TRUE(e2e::ClickPosted(tl, BTMODIFY));
    const HWND info = WaitForShown("Track information");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(e2e::ControlText(info, STLENGTH), "Length: 0:06");
    EXPECT_EQ(e2e::ControlText(info, STFRAMES).rfind("Frames: 230  Size: ", 0), 0u) << e2e::ControlText(info, STFRAMES);
    ASSERT_TRUE(e2e::Click(info, IDCANCEL));
    addFile(tl, "next.mp3");
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListViewCount(list) == 2; }, e2e::kWindowTimeoutMs));

    // Into a new playlist, both of them; a change without fade or duo starts at the item's end.
    ASSERT_TRUE(e2e::Click(panel, BTPLAYLIST));
    const HWND pl = WaitForDialog([](HWND w) { return e2e::Control(w, LVPLAYLIST) != nullptr; });
    ASSERT_NE(pl, nullptr);
    e2e::PostCommand(pl, CMNEWLIST);
    const HWND name = WaitForShown("Create new playlist");
    ASSERT_TRUE(name != nullptr && e2e::SetControlText(name, EDNAME, "Real") && e2e::ClickPosted(name, IDOK));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(pl).rfind("Playlist editor - Real", 0) == 0; }, e2e::kWindowTimeoutMs));
    e2e::SendCommand(pl, CMGETALL);
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ListViewCount(e2e::Control(pl, LVPLAYLIST)) == 2; }, e2e::kWindowTimeoutMs));
    for (const int box : {CBFADE, CB2CHAN})
        if (e2e::CheckState(panel, box) == BST_CHECKED) {
            ASSERT_TRUE(e2e::Click(panel, box));
        }
    ASSERT_EQ(e2e::ListViewText(e2e::Control(pl, LVPLAYLIST), 0, 0), "Encoder - Real Title");
    ASSERT_TRUE(e2e::ListViewSelect(e2e::Control(pl, LVPLAYLIST), 0) && e2e::Click(pl, BTACTIVATE) && e2e::Click(panel, BTPLAYNEXT));

    // Where the outgoing player stood when the incoming one left its pause.
    std::uint64_t startT = 0;
    ASSERT_TRUE(e2e::WaitUntil([&] {
        const auto incoming = JournalOfPlayerWith(MusicFile("next.mp3"));
        for (std::size_t i = 1; i < incoming.size() && startT == 0; ++i)
            startT = incoming[i].state == 1 && incoming[i - 1].state == 3 ? incoming[i].t : 0;
        return startT != 0;
    }, 30000, 100));
    std::int32_t posThen = -1;
    for (const auto& entry : JournalOfPlayerWith(MusicFile("vbr.mp3")))
        posThen = entry.t <= startT && entry.pos >= 0 ? entry.pos : posThen;
    EXPECT_GE(posThen, 5800);
    EXPECT_LE(posThen, 6400);
}

}  // namespace
