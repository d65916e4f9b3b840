// Files as they come from outside, in a running Tandem. Names outside the
// ANSI code page, as on a Western system (code page 1252): a folder and a
// track named in Cyrillic, added through "Add directory", are read and play
// in the substitute player under their short names, and the sound reaches
// the sound server when one runs (scripts/lib/env.sh start_sound). Then a
// tagged VBR file shows its title and length and mixes at its real end.
#include "sound.h"
#include "tandem.h"

#include "mp3gen.h"
#include "resource.h"
#include "winamp.h"

#include <cstdlib>

namespace {

using namespace e2e;

// The short name the file system keeps for a file or folder.
std::string ShortName(const std::wstring& path)
{
    WIN32_FIND_DATAW found{};
    FindClose(FindFirstFileW(path.c_str(), &found));
    char name[14] = "";
    WideCharToMultiByte(CP_ACP, 0, found.cAlternateFileName, -1, name, sizeof name, nullptr, nullptr);
    return name;
}

using RealFilesTest = TandemTest;

// The VBR file: 230 frames of 1152 samples at 44100 Hz, 128 and 320 kbit/s
// by turns: 6008 ms, where the first frame's bit rate would make it 10.5 s.
TEST_F(RealFilesTest, NamesOutsideTheCodePageAndAVbrFile)
{
    ASSERT_EQ(GetACP(), 1252u) << "Wine takes the code page from the locale: LC_ALL=C.UTF-8 (scripts/lib/env.sh)";
    const std::wstring folder = Wide(music) + L"\\\u041c\u0443\u0437\u044b\u043a\u0430";
    const std::wstring track = folder + L"\\\u041f\u0435\u0441\u043d\u044f.mp3";
    ASSERT_TRUE(RunUnix(scratch, "sox -n -r 44100 -c 2 -b 16 t.wav synth 10 sine 600 vol 0.5"
                                 " && lame --quiet -t -b 128 --id3v1-only --ta Band --tt 'White Nights' t.wav t.mp3"));
    CreateDirectoryW(folder.c_str(), nullptr);  // left by an earlier run, which the track replaces
    ASSERT_TRUE(MoveFileExW(Wide(JoinPath(scratch, "t.mp3")).c_str(), track.c_str(), MOVEFILE_REPLACE_EXISTING));
    const std::string shortPath = MusicFile(ShortName(folder) + "\\" + ShortName(track));

    MP3GENOPTIONS vbr;
    vbr.lDurationMs = 6000, vbr.lVbrBitRate = 320, vbr.bXing = vbr.bId3v2 = true;
    vbr.cTitle = "Real Title", vbr.cArtist = "Encoder", vbr.iStyle = 8;
    ASSERT_TRUE(Mp3GenWrite(MusicFile("vbr.mp3").c_str(), vbr));
    WriteMusic({{"next.mp3", {"B", "Next"}}});
    ASSERT_NO_FATAL_FAILURE(StartTandem());
    ASSERT_NO_FATAL_FAILURE(OpenTrackList());
    ASSERT_NO_FATAL_FAILURE(AddFolder(folder));
    ASSERT_TRUE(WaitRows(list, 1));
    const auto row = ListViewRows(list, 10).at(0);
    EXPECT_EQ(row[1] + " in " + row[9], "White Nights in " + shortPath) << "the tag was read; the name kept is short";

    // Remind Me! plays it in the test player, which takes the short name.
    ASSERT_TRUE(ListViewSelect(list, 0) && Click(tl, BTPLAY));
    HWND player = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (player = PlayerWith(shortPath)) != nullptr; }, kWindowTimeoutMs));
    const auto position = [&] { return static_cast<int>(SendMessageA(player, WM_USER, 0, IPC_GETOUTPUTTIME)); };
    ASSERT_TRUE(WaitUntil([&] { return position() > 0; }, kWindowTimeoutMs)) << "the position holds until the file sounds";
    const int before = position();
    Sleep(1000);
    EXPECT_GT(position(), before + 500) << "the position advances";
    if (std::getenv("PULSE_SERVER") != nullptr) {
        Recording rec;
        ASSERT_TRUE(rec.Start(scratch, "playing.raw", 2) && rec.Finish());
        EXPECT_GT(rec.Level(600, rec.Time(0), 1000), 0.01) << "the tone is heard (levelled once measured)";
    }

    // A file as today's encoders write it: an ID3v2 tag before the audio, a
    // VBR stream timed by its Xing header and no ID3v1 tag.
    ASSERT_NO_FATAL_FAILURE(AddFiles({"vbr.mp3"}));
    ASSERT_TRUE(WaitRows(list, 2));
    EXPECT_EQ(ListViewRows(list, 6)[1], (std::vector<std::string>{"Encoder", "Real Title", "", "", "", "Jazz"}));
    const HWND info = OpenTrackInfo(1);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(ControlText(info, STLENGTH), "Length: 0:06");
    EXPECT_EQ(ControlText(info, STFRAMES).rfind("Frames: 230  Size: ", 0), 0u) << ControlText(info, STFRAMES);
    ASSERT_TRUE(Click(info, IDCANCEL));
    ASSERT_NO_FATAL_FAILURE(AddFiles({"next.mp3"}));
    ASSERT_TRUE(WaitRows(list, 3));

    // Into the empty playlist, all of them; a change without fade or duo starts at the item's end.
    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    SendCommand(pl, CMGETALL);
    ASSERT_TRUE(WaitRows(items, 3));
    ASSERT_TRUE(SetCheck(panel, CBFADE, false) && SetCheck(panel, CB2CHAN, false));
    ASSERT_EQ(ListViewText(items, 1, 0), "Encoder - Real Title");
    ASSERT_TRUE(ListViewSelect(items, 1) && Click(pl, BTACTIVATE) && Click(panel, BTPLAYNEXT));

    // Where the outgoing player stood when the incoming one left its pause.
    std::uint64_t startT = 0;
    ASSERT_TRUE(WaitUntil([&] {
        const auto incoming = JournalOfPlayerWith(MusicFile("next.mp3"));
        for (std::size_t i = 1; i < incoming.size() && startT == 0; ++i)
            startT = incoming[i].state == 1 && incoming[i - 1].state == 3 ? incoming[i].t : 0;
        return startT != 0;
    }, 30000, 100));
    std::int32_t posThen = -1;
    for (const auto& entry : JournalOfPlayerWith(MusicFile("vbr.mp3")))
        posThen = entry.t <= startT && entry.pos >= 0 ? entry.pos : posThen;
    EXPECT_TRUE(posThen >= 5800 && posThen <= 6400) << posThen;
}

}  // namespace
