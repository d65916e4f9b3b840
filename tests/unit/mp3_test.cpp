#include "mp3.h"
#include "mp3files.h"
#include "mp3gen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

// MPEG 1 layer 3, 128 kbit/s, 44100 Hz, joint stereo, mode extension 2, original.
const Bytes kHeader = {0xFF, 0xFB, 0x90, 0x64};

// Size bytes of silence with kHeader at 0 and Second at SecondAt.
Bytes TwoHeaders(std::size_t Size, std::size_t SecondAt, const Bytes& Second = kHeader)
{
    Bytes bytes(Size, 0);
    std::copy(kHeader.begin(), kHeader.end(), bytes.begin());
    if (SecondAt + Second.size() <= Size)
        std::copy(Second.begin(), Second.end(), bytes.begin() + static_cast<std::ptrdiff_t>(SecondAt));
    return bytes;
}

// The four header bytes as MP3InfoExamine takes them: first file byte lowest.
std::uint32_t AsRead(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3)
{
    return static_cast<std::uint32_t>(b0) | static_cast<std::uint32_t>(b1) << 8 | static_cast<std::uint32_t>(b2) << 16 |
           static_cast<std::uint32_t>(b3) << 24;
}

MP3INFO Examine(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3)
{
    MP3INFO info{};
    MP3InfoExamine(AsRead(b0, b1, b2, b3), &info);
    return info;
}

MP3INFO Garbage()
{
    MP3INFO info;
    std::memset(&info, 0xAB, sizeof info);
    return info;
}

// ---------------------------------------------------------------- ID3v1 tag

using Mp3Tag = Mp3Files;

TEST_F(Mp3Tag, ReadsTheLast128BytesOfTheFile)
{
    Bytes file(500, 0x55);
    Append(file, TagBytes("Title", "Artist", "Album", "1999", "Comment", 17));
    MP3TAG tag;
    ASSERT_EQ(MP3TagRead(Write("a.mp3", file).c_str(), &tag), 1);
    char text[MAXL_TAGTEXT + 1];
    char year[MAXL_TAGYEAR + 1];
    EXPECT_STREQ(MP3TagGetTitle(&tag, text), "Title");
    EXPECT_STREQ(MP3TagGetArtist(&tag, text), "Artist");
    EXPECT_STREQ(MP3TagGetAlbum(&tag, text), "Album");
    EXPECT_STREQ(MP3TagGetComment(&tag, text), "Comment");
    EXPECT_STREQ(MP3TagGetYear(&tag, year), "1999");
    EXPECT_EQ(MP3TagGetYearI(&tag), 1999);
    EXPECT_EQ(MP3TagGetStyleI(&tag), 17);
    char style[MAXL_STYLE + 1];
    EXPECT_STREQ(MP3TagGetStyle(&tag, style), "Rock");

    // A file that is nothing but the tag has one too.
    EXPECT_EQ(MP3TagRead(Write("b.mp3", TagBytes("Only")).c_str(), &tag), 1);
    EXPECT_STREQ(MP3TagGetTitle(&tag, text), "Only");
}

TEST_F(Mp3Tag, NoTagGivesZeroAndAnAllZeroRecord)
{
    const MP3TAG zero{};
    Bytes lower(300, 0);
    Append(lower, TagBytes("Title", "", "", "", "", 3, "tag"));
    Bytes tagNotAtTheEnd = TagBytes("Title");
    tagNotAtTheEnd.push_back(0);
    Bytes shortTag = TagBytes("Title");
    shortTag.pop_back();
    const std::string files[] = {
        Write("hundred.mp3", Bytes(100, 'T')),  // also: a tag's start, but too short
        Write("empty.mp3", {}),
        Write("lower.mp3", lower),
        Write("shifted.mp3", tagNotAtTheEnd),
        Write("short.mp3", shortTag),
        Path("missing.mp3"),
        dir_.string(),
    };
    for (const std::string& file : files) {
        MP3TAG tag;
        std::memset(&tag, 'x', sizeof tag);
        EXPECT_EQ(MP3TagRead(file.c_str(), &tag), 0) << file;
        EXPECT_EQ(std::memcmp(&tag, &zero, sizeof tag), 0) << file;
    }

    // The zero record reads as empty texts and genre 0.
    char text[MAXL_TAGTEXT + 1];
    EXPECT_STREQ(MP3TagGetTitle(&zero, text), "");
    EXPECT_EQ(MP3TagGetYearI(&zero), 0);
    EXPECT_EQ(MP3TagGetStyleI(&zero), 0);
}

TEST_F(Mp3Tag, TextFieldsLoseTrailingWhiteSpaceOnly)
{
    MP3TAG tag;
    char text[MAXL_TAGTEXT + 2];
    const auto title = [&](const std::string& field, unsigned char pad) {
        Bytes file;
        AppendField(file, "TAG", 3);
        AppendField(file, field, 30, pad);
        file.resize(128, 0);
        EXPECT_EQ(MP3TagRead(Write("t.mp3", file).c_str(), &tag), 1);
        std::memset(text, '#', sizeof text);
        return std::string(MP3TagGetTitle(&tag, text));
    };
    EXPECT_EQ(title("Song", ' '), "Song");
    EXPECT_EQ(title("Song", 0), "Song");
    EXPECT_EQ(title("  Song \t", 0), "  Song");
    EXPECT_EQ(title("abcdefghijklmnopqrstuvwxyzABCD", 0), "abcdefghijklmnopqrstuvwxyzABCD");
    EXPECT_EQ(text[30], '\0');
    EXPECT_EQ(text[31], '#') << "wrote past the 31 characters of the title buffer";
    // Bytes of 128 and above are letters of the code page, not white space.
    EXPECT_EQ(title("Caf\xE9\xA0", ' '), "Caf\xE9\xA0");
}

TEST_F(Mp3Tag, YearTextAndNumber)
{
    const auto year = [](const std::string& field, std::string* text) {
        const Bytes bytes = TagBytes("", "", "", field);
        MP3TAG tag;
        std::memcpy(&tag, bytes.data(), sizeof tag);
        char buffer[MAXL_TAGYEAR + 1];
        *text = MP3TagGetYear(&tag, buffer);
        return MP3TagGetYearI(&tag);
    };
    std::string text;
    EXPECT_EQ(year("    ", &text), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(year("1999", &text), 1999);
    EXPECT_EQ(text, "1999");
    EXPECT_EQ(year(" 85x", &text), 85);
    EXPECT_EQ(text, " 85x");
    EXPECT_EQ(year("abcd", &text), 0);
}

TEST_F(Mp3Tag, CommentEndsAtAZeroAndKeepsNoTrackNumber)
{
    const std::string first28 = "A comment of 28 characters..";
    ASSERT_EQ(first28.size(), 28u);
    std::string comment = first28;
    comment += '\0';
    comment += '\x07';
    const Bytes bytes = TagBytes("", "", "", "", comment);
    MP3TAG tag;
    std::memcpy(&tag, bytes.data(), sizeof tag);
    char text[MAXL_TAGTEXT + 1];
    EXPECT_EQ(std::string(MP3TagGetComment(&tag, text)), first28);
}

TEST(Mp3Style, NamesFromTheGenreTable)
{
    char style[MAXL_STYLE + 1];
    EXPECT_STREQ(MP3GetStyle(0, style), "Blues");
    EXPECT_STREQ(MP3GetStyle(67, style), "Psychadelic");
    EXPECT_STREQ(MP3GetStyle(79, style), "Hard Rock");
    EXPECT_STREQ(MP3GetStyle(80, style), "Folk");
    EXPECT_STREQ(MP3GetStyle(109, style), "Pron Groove");
    EXPECT_STREQ(MP3GetStyle(115, style), "Folklore");
    for (int other : {116, 255, 256, -1, -1000})
        EXPECT_STREQ(MP3GetStyle(other, style), "Unknown") << other;

    const Bytes bytes = TagBytes("", "", "", "", "", 255);
    MP3TAG tag;
    std::memcpy(&tag, bytes.data(), sizeof tag);
    EXPECT_EQ(MP3TagGetStyleI(&tag), 255);
    EXPECT_STREQ(MP3TagGetStyle(&tag, style), "Unknown");
}

TEST(Mp3Style, EveryNameFitsTheStyleBufferAndIsTheTableEntry)
{
    for (int i = 0; i <= MP3MAXSTYLE; ++i) {
        EXPECT_LE(std::strlen(MP3Style[i]), static_cast<std::size_t>(MAXL_STYLE)) << i;
        EXPECT_EQ(MP3GetStyleName(i), MP3Style[i]);
        char style[MAXL_STYLE + 1];
        EXPECT_STREQ(MP3GetStyle(i, style), MP3Style[i]);
    }
    EXPECT_EQ(MP3GetStyleName(116), MP3Style255);
    EXPECT_STREQ(MP3Style255, "Unknown");
    EXPECT_STREQ(MP3Channels[0], "Stereo");
    EXPECT_STREQ(MP3Channels[1], "Joint-Stereo");
    EXPECT_STREQ(MP3Channels[2], "Dual channel");
    EXPECT_STREQ(MP3Channels[3], "Mono");
}

// ------------------------------------------------------------- frame header

TEST(Mp3Header, DecodesTheExampleHeader)
{
    const MP3INFO info = Examine(0xFF, 0xFB, 0x90, 0x64);
    EXPECT_EQ(info.bValid, 1);
    EXPECT_EQ(info.iType, 1);
    EXPECT_EQ(info.iVersion, 1);
    EXPECT_EQ(info.iLayer, 3);
    EXPECT_EQ(info.bErrorProtection, 1);
    EXPECT_EQ(info.lBitRate, 128u);
    EXPECT_EQ(info.lSampleRate, 44100u);
    EXPECT_EQ(info.bPadding, 0);
    EXPECT_EQ(info.bExtension, 0);
    EXPECT_EQ(info.iChannelMode, 1);
    EXPECT_EQ(info.iModeExtension, 2);
    EXPECT_EQ(info.bCopyright, 0);
    EXPECT_EQ(info.bOriginal, 1);
    EXPECT_EQ(info.iEmphasis, 0);
}

TEST(Mp3Header, FlagBitsEachLandInTheirField)
{
    const MP3INFO info = Examine(0xFF, 0xFA, 0x93, 0xCB);  // protected, padded, private, mono, copyright, emphasis 3
    EXPECT_EQ(info.bErrorProtection, 0);
    EXPECT_EQ(info.bPadding, 1);
    EXPECT_EQ(info.bExtension, 1);
    EXPECT_EQ(info.iChannelMode, 3);
    EXPECT_EQ(info.iModeExtension, 0);
    EXPECT_EQ(info.bCopyright, 1);
    EXPECT_EQ(info.bOriginal, 0);
    EXPECT_EQ(info.iEmphasis, 3);
}

TEST(Mp3Header, VersionAndLayerFields)
{
    struct Case {
        unsigned char b1;
        int valid, type, version, layer;
    } cases[] = {
        {0xFB, 1, 1, 1, 3},  // 11 = MPEG 1, layer field 01
        {0xF3, 1, 1, 2, 3},  // 10 = MPEG 2
        {0xE3, 1, 0, 3, 3},  // 00 = MPEG 2.5
        {0xEB, 1, 0, 1, 3},  // 01 reserved: taken as MPEG 1
        {0xFD, 1, 1, 1, 2},  // layer field 10
        {0xFF, 1, 1, 1, 1},  // layer field 11
        {0xF9, 1, 1, 1, 1},  // reserved layer field 00: layer 1
        {0xDB, 0, 1, 1, 3},  // bit 21 clear
    };
    for (const Case& c : cases) {
        const MP3INFO info = Examine(0xFF, c.b1, 0x90, 0x00);
        EXPECT_EQ(info.bValid, c.valid) << std::hex << int{c.b1};
        EXPECT_EQ(info.iType, c.type) << std::hex << int{c.b1};
        EXPECT_EQ(info.iVersion, c.version) << std::hex << int{c.b1};
        EXPECT_EQ(info.iLayer, c.layer) << std::hex << int{c.b1};
    }
    // Only bit 21 of the sync counts.
    EXPECT_EQ(Examine(0x00, 0x3B, 0x90, 0x00).bValid, 1);
}

TEST(Mp3Header, RateTablesByVersionAndLayer)
{
    struct Case {
        unsigned char b1, b2;
        unsigned bitRate, sampleRate;
    } cases[] = {
        {0xFF, 0xE0, 448, 44100},  // MPEG 1 layer 1, index 14
        {0xFD, 0xE4, 384, 48000},  // MPEG 1 layer 2
        {0xFB, 0xE8, 320, 32000},  // MPEG 1 layer 3
        {0xFB, 0x10, 32, 44100},
        {0xFF, 0x90, 288, 44100},
        {0xFD, 0x90, 160, 44100},
        {0xF7, 0x90, 144, 22050},  // MPEG 2 layer 1
        {0xF7, 0xE4, 256, 24000},
        {0xF5, 0x98, 80, 16000},   // MPEG 2 layer 2
        {0xF3, 0x10, 8, 22050},    // MPEG 2 layer 3
        {0xF3, 0xE0, 160, 22050},
        {0xE7, 0xE0, 256, 11025},  // MPEG 2.5 layer 1
        {0xE3, 0x94, 80, 12000},   // MPEG 2.5 layer 3
        {0xE3, 0x18, 8, 8000},
        {0xFB, 0x9C, 128, 0},      // reserved sampling rate index 3
        {0xE3, 0x1C, 8, 0},
        {0xFB, 0x00, 0, 44100},    // free format
        {0xFB, 0xF0, 0, 44100},    // forbidden index 15
        {0xF3, 0xF0, 0, 22050},
    };
    for (const Case& c : cases) {
        const MP3INFO info = Examine(0xFF, c.b1, c.b2, 0x00);
        EXPECT_EQ(info.lBitRate, c.bitRate) << std::hex << int{c.b1} << " " << int{c.b2};
        EXPECT_EQ(info.lSampleRate, c.sampleRate) << std::hex << int{c.b1} << " " << int{c.b2};
    }
}

// ------------------------------------------------------------ length, size

using Mp3Info = Mp3Files;

TEST_F(Mp3Info, WorkedExampleWithAndWithoutTheSecondHeader)
{
    Bytes file = TwoHeaders(4000000 - 128, 418);
    Append(file, TagBytes("Example"));
    MP3INFO info = Garbage();
    ASSERT_EQ(MP3InfoRead(Write("near.mp3", file).c_str(), &info, 1), 1);
    EXPECT_EQ(info.lSize, 4000000u);
    EXPECT_EQ(info.lFrameSize, 418u);
    EXPECT_EQ(info.lFrames, 9570u);
    EXPECT_EQ(info.lLength, 249992u);
    EXPECT_EQ(info.lBitRate, 128u);
    EXPECT_EQ(info.iChannelMode, 1);

    file = TwoHeaders(4000000 - 128, 2000);
    Append(file, TagBytes("Example"));
    info = Garbage();
    ASSERT_EQ(MP3InfoRead(Write("far.mp3", file).c_str(), &info, 1), 1);
    EXPECT_EQ(info.lFrameSize, MP3_UNKNOWN);
    EXPECT_EQ(info.lFrames, MP3_UNKNOWN);
    EXPECT_EQ(info.lLength, 247992u);
}

TEST_F(Mp3Info, WithoutATagEveryByteIsAudio)
{
    MP3INFO info{};
    ASSERT_EQ(MP3InfoRead(Write("a.mp3", TwoHeaders(41800, 418)).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lFrames, 100u);
    EXPECT_EQ(info.lLength, 2612u);  // 41800 * 8 / 128 = 2612.5
    ASSERT_EQ(MP3InfoRead(Write("b.mp3", TwoHeaders(41801, 418)).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lFrames, 101u) << "a part frame counts as a frame";
}

TEST_F(Mp3Info, SecondHeaderSearchReachesExactly1024BytesAfterTheFirst)
{
    MP3INFO info{};
    ASSERT_EQ(MP3InfoRead(Write("in.mp3", TwoHeaders(8192, 1024)).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lFrameSize, 1024u);
    EXPECT_EQ(info.lFrames, 8u);
    ASSERT_EQ(MP3InfoRead(Write("out.mp3", TwoHeaders(8192, 1025)).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lFrameSize, MP3_UNKNOWN);
    // A second header cut off by the end of the file is not one.
    ASSERT_EQ(MP3InfoRead(Write("cut.mp3", TwoHeaders(420, 418)).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lFrameSize, MP3_UNKNOWN);
    ASSERT_EQ(MP3InfoRead(Write("end.mp3", TwoHeaders(422, 418)).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lFrameSize, 418u);
}

TEST_F(Mp3Info, SecondHeaderMayDifferInPaddingAndUpperModeExtensionBitOnly)
{
    struct Case {
        Bytes second;
        bool same;
    } cases[] = {
        {{0xFF, 0xFB, 0x92, 0x64}, true},   // padding
        {{0xFF, 0xFB, 0x90, 0x44}, true},   // mode extension 2 -> 0
        {{0xFF, 0xFB, 0x92, 0x44}, true},   // both
        {{0xFF, 0xFB, 0xA0, 0x64}, false},  // bit rate 160
        {{0xFF, 0xFB, 0x90, 0x74}, false},  // lower mode extension bit
        {{0xFF, 0xFB, 0x91, 0x64}, false},  // private bit
        {{0xFF, 0xFB, 0x94, 0x64}, false},  // sampling rate
        {{0xFF, 0xFA, 0x90, 0x64}, false},  // protection
        {{0xFF, 0xFB, 0x90, 0xA4}, false},  // channel mode
        {{0xFF, 0xFB, 0x90, 0x60}, false},  // original bit
    };
    for (const Case& c : cases) {
        MP3INFO info{};
        ASSERT_EQ(MP3InfoRead(Write("f.mp3", TwoHeaders(4180, 418, c.second)).c_str(), &info, 0), 1);
        EXPECT_EQ(info.lFrameSize, c.same ? 418u : MP3_UNKNOWN) << std::hex << int{c.second[2]} << int{c.second[3]};
        // Either way the length follows the first frame's bit rate.
        EXPECT_EQ(info.lLength, c.same ? 261u : (4180u - 8u * 4u) * 8u / 128u);
    }
}

TEST_F(Mp3Info, FirstFrameMustStartTheFile)
{
    Bytes id3v2 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10};
    Append(id3v2, TwoHeaders(4180, 418));
    Bytes late(10, 0);
    Append(late, TwoHeaders(4180, 418));
    for (const Bytes& file : {id3v2, late}) {
        MP3INFO info{};
        EXPECT_EQ(MP3InfoRead(Write("f.mp3", file).c_str(), &info, 0), 0);
    }
    // Any first word with bit 21 set is taken as a header.
    Bytes lucky = {0x00, 0x3B, 0x90, 0x00};
    lucky.resize(1000, 0);
    MP3INFO info{};
    EXPECT_EQ(MP3InfoRead(Write("lucky.mp3", lucky).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lBitRate, 128u);
}

TEST_F(Mp3Info, BitRateIndex0Or15IsNotAValidFile)
{
    for (unsigned char b2 : {0x00, 0xF0, 0x0C, 0xF2}) {
        Bytes header = {0xFF, 0xFB, b2, 0x64};
        MP3INFO info{};
        Bytes file = header;
        file.resize(4180, 0);
        std::copy(header.begin(), header.end(), file.begin() + 418);
        EXPECT_EQ(MP3InfoRead(Write("f.mp3", file).c_str(), &info, 0), 0) << int{b2};
        EXPECT_EQ(MP3InfoRead(Write("g.mp3", file).c_str(), &info, 1), 0) << int{b2};
    }
}

TEST_F(Mp3Info, ReservedSamplingRateStillTimesTheFileByItsBitRate)
{
    Bytes file = {0xFF, 0xFB, 0x9C, 0x64};
    file.resize(16000, 0);
    MP3INFO info{};
    ASSERT_EQ(MP3InfoRead(Write("f.mp3", file).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lSampleRate, 0u);
    EXPECT_EQ(info.lLength, (16000u - 32u * 4u) * 8u / 128u);
}

TEST_F(Mp3Info, ShortDamagedAndMissingFilesFailCleanly)
{
    MP3INFO info{};
    EXPECT_EQ(MP3InfoRead(Path("missing.mp3").c_str(), &info, 0), 0);
    EXPECT_EQ(MP3InfoRead(dir_.string().c_str(), &info, 0), 0);
    EXPECT_EQ(MP3InfoRead(Write("empty.mp3", {}).c_str(), &info, 0), 0);
    EXPECT_EQ(MP3InfoRead(Write("three.mp3", {0xFF, 0xFB, 0x90}).c_str(), &info, 0), 0);
    EXPECT_EQ(MP3InfoRead(Write("riff3.mp3", {'R', 'I', 'F'}).c_str(), &info, 0), 0);

    // A lone header: no second one, and a tag claimed that the file cannot
    // hold leaves no audio rather than a wrapped-around size.
    ASSERT_EQ(MP3InfoRead(Write("four.mp3", kHeader).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lSize, 4u);
    EXPECT_EQ(info.lLength, 0u);
    EXPECT_EQ(info.lFrames, MP3_UNKNOWN);
    ASSERT_EQ(MP3InfoRead(Write("tiny.mp3", TwoHeaders(100, 50)).c_str(), &info, 1), 1);
    EXPECT_EQ(info.lFrameSize, 50u);
    EXPECT_EQ(info.lFrames, 0u);
    EXPECT_EQ(info.lLength, 0u);
}

Bytes Riff(std::size_t DataAt)
{
    Bytes file;
    Append(file, std::string("RIFF"));
    file.resize(DataAt, 0);
    Append(file, std::string("data"));
    file.resize(DataAt + 8, 0);
    return file;
}

TEST_F(Mp3Info, RiffAudioStartsAfterTheDataChunkHeader)
{
    Bytes file = Riff(36);
    std::memcpy(file.data() + 8, "WAVEfmt ", 8);
    Append(file, TwoHeaders(4180, 418));  // ten frames from byte 44
    MP3INFO info{};
    ASSERT_EQ(MP3InfoRead(Write("a.wav", file).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lSize, 4224u);
    EXPECT_EQ(info.lFrameSize, 418u);
    EXPECT_EQ(info.lFrames, 10u);
    EXPECT_EQ(info.lLength, 261u);

    Append(file, TagBytes("Wave"));
    ASSERT_EQ(MP3InfoRead(Write("b.wav", file).c_str(), &info, 1), 1);
    EXPECT_EQ(info.lFrames, 10u);
    EXPECT_EQ(info.lLength, 261u);
}

TEST_F(Mp3Info, RiffDataNameMustStandInTheFirst128Bytes)
{
    MP3INFO info{};
    Bytes last = Riff(124);
    Append(last, TwoHeaders(4180, 418));
    ASSERT_EQ(MP3InfoRead(Write("last.wav", last).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lFrames, 10u);

    Bytes beyond = Riff(125);
    Append(beyond, TwoHeaders(4180, 418));
    EXPECT_EQ(MP3InfoRead(Write("beyond.wav", beyond).c_str(), &info, 0), 0);

    Bytes none(4180, 0);
    std::memcpy(none.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
    EXPECT_EQ(MP3InfoRead(Write("none.wav", none).c_str(), &info, 0), 0);

    // "data" right at the end: the header would lie beyond the file.
    Bytes cut = Riff(40);
    EXPECT_EQ(MP3InfoRead(Write("cut.wav", cut).c_str(), &info, 0), 0);
    cut.resize(44 + 3);
    EXPECT_EQ(MP3InfoRead(Write("cut3.wav", cut).c_str(), &info, 0), 0);
    // A short RIFF file is searched as far as it goes.
    Bytes small = Riff(20);
    Append(small, kHeader);
    EXPECT_EQ(MP3InfoRead(Write("small.wav", small).c_str(), &info, 0), 1);
}

TEST_F(Mp3Info, LengthOfFilesOf512MiBAndMoreIsRight)
{
    // Sparse files: the size is large, the disk use is one block.
    const auto sparse = [&](const char* name, std::uintmax_t size) {
        const std::string path = Write(name, TwoHeaders(4096, 418));
        std::error_code ec;
        std::filesystem::resize_file(path, size, ec);
        EXPECT_FALSE(ec) << ec.message();
        return path;
    };
    MP3INFO info{};
    ASSERT_EQ(MP3InfoRead(sparse("big.mp3", 629145600).c_str(), &info, 0), 1);  // 600 MiB
    EXPECT_EQ(info.lSize, 629145600u);
    EXPECT_EQ(info.lLength, 39321600u);  // 629145600 * 8 / 128
    EXPECT_EQ(info.lFrames, 1505134u);
    std::filesystem::remove(Path("big.mp3"));

    // Beyond 4 GiB the size field saturates; the length still uses the real size.
    ASSERT_EQ(MP3InfoRead(sparse("huge.mp3", 5ull << 30).c_str(), &info, 0), 1);
    EXPECT_EQ(info.lSize, 0xFFFFFFFFu);
    EXPECT_EQ(info.lLength, 335544320u);  // 5 GiB * 8 / 128
    EXPECT_EQ(info.lFrames, 12843802u);   // 5 GiB / 418, rounded up
}

// ---------------------------------------------------------- generated files

struct GenCase {
    int version, layer;
    unsigned bitRate, sampleRate;
    int mode;
    unsigned frameSize;      // first frame (never padded), by the standard's formula
    unsigned samplesPerFrame;
};

constexpr GenCase kGenCases[] = {
    {1, 3, 128, 44100, 1, 417, 1152},  // 144 * 128000 / 44100 = 417.96
    {1, 3, 320, 48000, 0, 960, 1152},
    {1, 3, 32, 32000, 3, 144, 1152},
    {1, 2, 192, 32000, 2, 864, 1152},
    {1, 2, 64, 44100, 3, 208, 1152},
    {1, 1, 448, 44100, 0, 484, 384},   // (12 * 448000 / 44100 = 121) slots of 4 bytes
    {1, 1, 32, 48000, 3, 32, 384},
    {2, 3, 64, 22050, 1, 208, 576},    // 72 * 64000 / 22050 = 208.98
    {2, 3, 8, 16000, 3, 36, 576},
    {2, 3, 160, 24000, 0, 480, 576},
    {2, 2, 160, 24000, 2, 960, 1152},
    {2, 1, 256, 16000, 0, 768, 384},
    {3, 3, 8, 8000, 3, 72, 576},
    {3, 3, 32, 11025, 1, 208, 576},
    {3, 2, 64, 12000, 0, 768, 1152},
    {3, 1, 32, 8000, 3, 192, 384},
};

using Mp3Gen = Mp3Files;

TEST_F(Mp3Gen, EveryVersionAndLayerReadsBack)
{
    for (const GenCase& c : kGenCases) {
        for (bool riff : {false, true}) {
            MP3GENOPTIONS o;
            o.iVersion = c.version;
            o.iLayer = c.layer;
            o.lBitRate = c.bitRate;
            o.lSampleRate = c.sampleRate;
            o.iChannelMode = c.mode;
            o.lDurationMs = 3000;
            o.bTag = riff;
            o.bRiff = riff;
            const std::string path = Path("gen.mp3");
            ASSERT_TRUE(Mp3GenWrite(path.c_str(), o));
            MP3INFO info{};
            SCOPED_TRACE(testing::Message() << "MPEG " << c.version << " layer " << c.layer << " " << c.bitRate
                                            << " kbit/s " << c.sampleRate << " Hz riff " << riff);
            ASSERT_EQ(MP3InfoRead(path.c_str(), &info, o.bTag), 1);
            EXPECT_EQ(info.iVersion, c.version);
            EXPECT_EQ(info.iLayer, c.layer);
            EXPECT_EQ(info.lBitRate, c.bitRate);
            EXPECT_EQ(info.lSampleRate, c.sampleRate);
            EXPECT_EQ(info.iChannelMode, c.mode);
            EXPECT_EQ(info.bErrorProtection, 1);
            EXPECT_EQ(info.lFrameSize, c.frameSize);
            const double frameMs = 1000.0 * c.samplesPerFrame / c.sampleRate;
            EXPECT_NEAR(info.lLength, 3000.0, frameMs);
            // Counted by the first frame's size, which may lack the padding slot.
            EXPECT_NEAR(info.lFrames, 3000.0 / frameMs, 1.0 + 0.011 * 3000.0 / frameMs);
        }
    }
}

// Walks the frames by their headers: each one of the standard's size plus
// its padding slot, the last ending at the end of the file, and the padding
// spread so the total is the exact average.
TEST_F(Mp3Gen, FramesChainWithPaddingForAnExactAverage)
{
    struct Case {
        GenCase stream;
        unsigned slotsTimesRate;  // slots per frame * sampling rate
        unsigned slotBytes;
        std::uint64_t frames;  // 10 s, rounded to whole frames
    } cases[] = {
        {kGenCases[0], 144 * 128000, 1, 383},
        {kGenCases[5], 12 * 448000, 4, 1148},
        {kGenCases[7], 72 * 64000, 1, 383},
        {kGenCases[13], 72 * 32000, 1, 191},
    };
    for (const Case& c : cases) {
        MP3GENOPTIONS o;
        o.iVersion = c.stream.version;
        o.iLayer = c.stream.layer;
        o.lBitRate = c.stream.bitRate;
        o.lSampleRate = c.stream.sampleRate;
        o.iChannelMode = c.stream.mode;
        o.lDurationMs = 10000;
        const std::string path = Path("walk.mp3");
        ASSERT_TRUE(Mp3GenWrite(path.c_str(), o));
        std::ifstream in(path, std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(testing::Message() << "MPEG " << c.stream.version << " layer " << c.stream.layer);

        const unsigned base = c.slotsTimesRate / c.stream.sampleRate * c.slotBytes;
        std::size_t at = 0;
        std::uint64_t frames = 0;
        while (at + 4 <= file.size()) {
            ASSERT_EQ(file[at], 0xFF);
            ASSERT_EQ(file[at + 1], file[1]);
            ASSERT_EQ(file[at + 2] & ~2, file[2] & ~2);
            ASSERT_EQ(file[at + 3], file[3]);
            at += base + ((file[at + 2] & 2) ? c.slotBytes : 0);
            ++frames;
        }
        EXPECT_EQ(at, file.size());
        EXPECT_EQ(frames, c.frames);
        const std::uint64_t exact = frames * c.slotsTimesRate * c.slotBytes;  // bytes * sampling rate
        EXPECT_LE(file.size() * c.stream.sampleRate, exact);
        EXPECT_GT((file.size() + c.slotBytes) * c.stream.sampleRate, exact);
    }
}

TEST_F(Mp3Gen, TagTextsAreCutToTheirFieldsAndReadBack)
{
    MP3GENOPTIONS o;
    o.lDurationMs = 500;
    o.bTag = true;
    o.cTitle = "A title that is longer than thirty letters";
    o.cArtist = "Artist";
    o.cYear = "19999";
    o.cComment = "Comment";
    o.iStyle = 115;
    const std::string path = Path("tag.mp3");
    ASSERT_TRUE(Mp3GenWrite(path.c_str(), o));
    MP3TAG tag;
    ASSERT_EQ(MP3TagRead(path.c_str(), &tag), 1);
    char text[MAXL_TAGTEXT + 1];
    char year[MAXL_TAGYEAR + 1];
    EXPECT_STREQ(MP3TagGetTitle(&tag, text), "A title that is longer than th");
    EXPECT_STREQ(MP3TagGetArtist(&tag, text), "Artist");
    EXPECT_STREQ(MP3TagGetAlbum(&tag, text), "");
    EXPECT_STREQ(MP3TagGetYear(&tag, year), "1999");
    EXPECT_STREQ(MP3TagGetComment(&tag, text), "Comment");
    EXPECT_EQ(MP3TagGetStyleI(&tag), 115);
    EXPECT_EQ(tag.cArtist[6], '\0');
    EXPECT_EQ(tag.cArtist[29], '\0');

    o.bTag = false;
    ASSERT_TRUE(Mp3GenWrite(path.c_str(), o));
    EXPECT_EQ(MP3TagRead(path.c_str(), &tag), 0);
}

TEST_F(Mp3Gen, RiffWrapperIsAWellFormedWaveFile)
{
    for (int layer : {3, 2}) {
        MP3GENOPTIONS o;
        o.iLayer = layer;
        o.lBitRate = 128;
        o.lDurationMs = 1000;
        o.bRiff = true;
        const std::string path = Path("w.wav");
        ASSERT_TRUE(Mp3GenWrite(path.c_str(), o));
        std::ifstream in(path, std::ios::binary);
        const Bytes f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(f.size(), 100u);
        const auto u32 = [&](std::size_t at) { return static_cast<std::size_t>(AsRead(f[at], f[at + 1], f[at + 2], f[at + 3])); };
        EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
        EXPECT_EQ(u32(4), f.size() - 8);
        EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(f[20] | f[21] << 8, layer == 3 ? 0x55 : 0x50);
        EXPECT_EQ(u32(24), 44100u);
        // Walk the chunks to "data": its body is the stream, padded to even.
        std::size_t at = 12;
        while (at + 8 <= f.size() && std::string(f.begin() + static_cast<std::ptrdiff_t>(at), f.begin() + static_cast<std::ptrdiff_t>(at) + 4) != "data")
            at += 8 + u32(at + 4);
        ASSERT_LE(at + 12, f.size());
        EXPECT_EQ(f[at + 8], 0xFF);
        EXPECT_EQ(at + 8 + u32(at + 4) + (u32(at + 4) & 1), f.size());
    }
}

TEST_F(Mp3Gen, ImpossibleOptionsWriteNothing)
{
    const auto rejected = [&](auto change) {
        MP3GENOPTIONS o;
        change(o);
        const std::string path = Path("bad.mp3");
        const bool written = Mp3GenWrite(path.c_str(), o);
        return !written && !std::filesystem::exists(path);
    };
    EXPECT_TRUE(rejected([](MP3GENOPTIONS& o) { o.lBitRate = 0; }));
    EXPECT_TRUE(rejected([](MP3GENOPTIONS& o) { o.lBitRate = 100; }));
    EXPECT_TRUE(rejected([](MP3GENOPTIONS& o) { o.iVersion = 2; }));  // 44100 Hz is MPEG 1 only
    EXPECT_TRUE(rejected([](MP3GENOPTIONS& o) { o.iVersion = 2, o.lSampleRate = 22050, o.lBitRate = 192; }));
    EXPECT_TRUE(rejected([](MP3GENOPTIONS& o) { o.iLayer = 4; }));
    EXPECT_TRUE(rejected([](MP3GENOPTIONS& o) { o.iVersion = 0; }));
    EXPECT_TRUE(rejected([](MP3GENOPTIONS& o) { o.iChannelMode = 4; }));
    EXPECT_TRUE(rejected([](MP3GENOPTIONS& o) { o.bTag = true, o.iStyle = 256; }));
    EXPECT_FALSE(Mp3GenWrite(dir_.string().c_str(), MP3GENOPTIONS{}));
}

}  // namespace
