// The MP3 readers on files built byte by byte; expected values follow the
// ID3v1 genre table, the MPEG audio tables and the Xing and VBRI rules.
#include "fncomm.h"
#include "fnsong.h"
#include "mp3.h"
#include "mp3files.h"

#include <cstring>
#include <initializer_list>

namespace {

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        Append(out, part);
    return out;
}

// The text cut or padded with zeros to Width bytes (all of it for 0).
Bytes Text(const std::string& text, std::size_t Width = 0) { Bytes b; AppendField(b, text, Width ? Width : text.size()); return b; }

Bytes TagV1(const std::string& Title, const std::string& Year = "", unsigned char Genre = 0, const char* Header = "TAG")
{
    return Cat({Text(Header), Text(Title, 30), Text("Artist", 30), Bytes(30, 0), Text(Year, 4), Bytes(30, 0), {Genre}});
}

// MPEG 1 layer 3, 44100 Hz, joint stereo: 128 kbit/s frames of 417 bytes, 32 kbit/s of 104;
// MPEG 2 layer 3 mono 22050 Hz 64 kbit/s: 208 bytes.
const Bytes kH128 = {0xFF, 0xFB, 0x90, 0x64};
const Bytes kH32 = {0xFF, 0xFB, 0x10, 0x64};
const Bytes kM2 = {0xFF, 0xF3, 0x80, 0xC4};
constexpr std::uint32_t U = MP3_UNKNOWN;

const char* const kGenres[] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal", "New Age", "Oldies", "Other",
    "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack",
    "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House",
    "Game", "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream",
    "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret",
    "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro",
    "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk/Rock", "National Folk", "Swing", "Fast-Fusion", "Bebob", "Latin", "Revival",
    "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony",
    "Booty Bass", "Primus", "Pron Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore"};

// v as n big-endian groups of bits (7: an ID3v2 syncsafe number)
Bytes Be(std::uint32_t v, int n, int bits = 8)
{
    Bytes out;
    for (int i = n - 1; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(v >> (i * bits) & ((1u << bits) - 1)));
    return out;
}

Bytes Frames(const Bytes& Header, std::size_t Size, int Count)
{
    Bytes out;
    for (int i = 0; i < Count; ++i)
        out = Cat({out, Header, Bytes(Size - Header.size(), 0)});
    return out;
}

// A frame of Size bytes holding Body at Offset.
Bytes VbrFrame(const Bytes& Header, std::size_t Size, std::size_t Offset, const Bytes& Body)
{
    return Cat({Header, Bytes(Offset - 4, 0), Body, Bytes(Size - Offset - Body.size(), 0)});
}

Bytes Xing(const char* Magic, std::uint32_t Frames, std::uint32_t Size) { return Cat({Text(Magic), Be(3, 4), Be(Frames, 4), Be(Size, 4)}); }

Bytes Vbri(std::uint32_t Size, std::uint32_t Frames) { return Cat({Text("VBRI"), Bytes(6, 0), Be(Size, 4), Be(Frames, 4)}); }

Bytes Id3v2(int Version, const Bytes& Body, int Flags = 0, std::uint32_t Size = 0)
{
    const Bytes head = {'I', 'D', '3', static_cast<unsigned char>(Version), 0, static_cast<unsigned char>(Flags)};
    return Cat({head, Be(Size != 0 ? Size : static_cast<std::uint32_t>(Body.size()), 4, 7), Body});
}

// An ID3v2 frame: 2.2 has a 3-byte size and no flags, 2.4 a syncsafe size.
Bytes Frame(int Version, const std::string& Id, const Bytes& Body, int Flags = 0)
{
    const auto n = static_cast<std::uint32_t>(Body.size());
    return Version == 2 ? Cat({Text(Id), Be(n, 3), Body})
                        : Cat({Text(Id), Be(n, 4, Version == 4 ? 7 : 8), {0, static_cast<unsigned char>(Flags)}, Body});
}

// A 100-frame VBR stream: a 32 kbit/s Xing frame, then 128 kbit/s frames.
const Bytes kVbr100 = Cat({VbrFrame(kH32, 104, 36, Xing("Xing", 100, 41804)), Frames(kH128, 417, 100)});

TEST(Mp3Style, EveryGenreByNumberAndByText)
{
    char style[MAXL_STYLE + 1];
    for (int i = 0; i <= MP3MAXSTYLE; ++i) {
        EXPECT_STREQ(MP3GetStyle(i, style), kGenres[i]) << i;
        EXPECT_EQ(MP3GetStyleIdx(kGenres[i]), i);
    }
    for (int other : {116, 255, -1})
        EXPECT_STREQ(MP3GetStyle(other, style), "Unknown");
    const std::pair<const char*, int> texts[] = {{"(17)", 17}, {"17", 17}, {"(9)Metal", 9}, {"hard rock", 79},
                                                 {"(116)", 255}, {"Rock Rock", 255}, {"", 255}, {"((17)", 255}};
    for (const auto& [text, number] : texts)
        EXPECT_EQ(MP3GetStyleIdx(text), number) << text;
}

using Mp3Tag = Mp3Files;
using Mp3Info = Mp3Files;
using Mp3ID3v2 = Mp3Files;
TEST_F(Mp3Tag, TheLast128BytesWhenTheyAreATag)
{
    MP3TAG tag;
    char text[MAXL_TAGTEXT + 2];
    std::memset(text, '#', sizeof text);
    ASSERT_EQ(MP3TagRead(Write("a.mp3", Cat({Bytes(500, 0x55), TagV1(std::string(30, 'x'), " 85x", 17)})).c_str(), &tag), 1);
    EXPECT_EQ(MP3TagGetTitle(&tag, text) + (text[31] + std::to_string(MP3TagGetYearI(&tag) + MP3TagGetStyleI(&tag))),
              std::string(30, 'x') + "#102");
    // No tag: 0, and the record cleared.
    for (const Bytes& file : {Bytes(100, 'T'), Cat({Bytes(300, 0), TagV1("x", "", 3, "tag")}), Cat({TagV1("x"), {0}})})
        EXPECT_EQ((std::memset(&tag, 'x', sizeof tag), MP3TagRead(Write("c.mp3", file).c_str(), &tag)) + tag.cTitle[0] + tag.iStyle, 0);
}

TEST(Mp3Header, FieldsAndRateTables)
{
    // Header bytes 1 and 2 (byte 0 is 0xFF, byte 3 0): version, layer, kbit/s, Hz.
    const std::vector<std::uint32_t> cases[] = {
        {0xFB, 0x90, 1, 3, 128, 44100}, {0xF3, 0x90, 2, 3, 80, 22050}, {0xE3, 0x94, 3, 3, 80, 12000}, {0xEB, 0x90, 1, 3, 128, 44100},
        {0xFD, 0x90, 1, 2, 160, 44100}, {0xFF, 0x90, 1, 1, 288, 44100}, {0xF9, 0x90, 1, 1, 288, 44100}, {0xF7, 0x90, 2, 1, 144, 22050},
        {0xF5, 0x98, 2, 2, 80, 16000}, {0xFB, 0xE8, 1, 3, 320, 32000}, {0xFF, 0xE0, 1, 1, 448, 44100}, {0xFD, 0xE4, 1, 2, 384, 48000},
        {0xE3, 0x18, 3, 3, 8, 8000}, {0xFB, 0x9C, 1, 3, 128, 0}, {0xFB, 0x00, 1, 3, 0, 44100}, {0xFB, 0xF0, 1, 3, 0, 44100}};
    MP3INFO i{};
    for (const auto& c : cases) {
        MP3InfoExamine(0xFFu | c[0] << 8 | c[1] << 16, &i);
        EXPECT_EQ((std::vector<std::uint32_t>{c[0], c[1], std::uint32_t(i.iVersion), std::uint32_t(i.iLayer), i.lBitRate, i.lSampleRate}), c);
    }
    MP3InfoExamine(0xCB93FAFFu, &i);  // protected, padded, private, mono, copyright, emphasis 3
    EXPECT_EQ((std::vector<int>{i.bValid, i.bErrorProtection, i.bPadding, i.bExtension, i.iChannelMode, i.iModeExtension,
                                i.bCopyright, i.bOriginal, i.iEmphasis}), (std::vector<int>{1, 0, 1, 1, 3, 0, 1, 0, 3}));
    MP3InfoExamine(0x6490DBFFu, &i);  // bit 21 clear; mode extension 2, original
    EXPECT_EQ((std::vector<int>{i.bValid, i.iModeExtension, i.bOriginal}), (std::vector<int>{0, 2, 1}));
}

TEST_F(Mp3Info, LengthFramesAndBitRate)
{
    const Bytes riff = Cat({Text("RIFF"), Bytes(32, 0), Text("data"), Bytes(4, 0)});
    const Bytes id3 = Id3v2(3, Bytes(100, 0));
    const auto xing = [](std::uint32_t frames) { return Cat({VbrFrame(kH32, 104, 36, Xing("Xing", frames, 41804)), Frames(kH128, 417, 100)}); };
    const std::vector<std::uint32_t> invalid = {0, 0, 0, 0, 0};
    struct Case {
        const char* name;
        Bytes file;
        int hasTag;
        std::vector<std::uint32_t> want;  // valid, length, frames, frame size, kbit/s
    } cases[] = {
        {"worked example", Cat({Frames(kH128, 418, 2), Bytes(3999872 - 836, 0), TagV1("x")}), 1, {1, 249992, 9570, 418, 128}},
        {"second header out of reach", Cat({Frames(kH128, 2000, 2), Bytes(3995872, 0), TagV1("x")}), 1, {1, 247992, U, U, 128}},
        {"vbr without header", Cat({Frames(kH128, 418, 1), Frames(kH32, 418, 9)}), 0, {1, 259, U, U, 128}},
        {"bit 21 is enough at the start", Cat({{0x00, 0x3B, 0x90, 0x00}, Bytes(996, 0)}), 0, {1, 62, U, U, 128}},
        {"a tag claimed that is not there", Frames(kH128, 50, 2), 1, {1, 0, 0, 50, 128}},
        {"junk before the frame", Cat({Bytes(10, 0), Frames(kH128, 417, 10)}), 0, invalid},
        {"free format", Frames({0xFF, 0xFB, 0x00, 0x64}, 417, 10), 0, invalid},
        {"after ID3v2", Cat({id3, Frames(kH128, 417, 10)}), 0, {1, 260, 10, 417, 128}},
        {"ID3v2, padding, false sync", Cat({id3, Bytes(300, 0), kH128, Bytes(50, 0), Frames(kH128, 417, 10)}), 0, {1, 260, 10, 417, 128}},
        {"ID3v2, 60000 zeros", Cat({Id3v2(4, {}), Bytes(60000, 0), Frames(kH128, 417, 10)}), 0, {1, 260, 10, 417, 128}},
        {"ID3v2, 70000 zeros", Cat({Id3v2(4, {}), Bytes(70000, 0), Frames(kH128, 417, 10)}), 0, invalid},
        {"ID3v2 past the end", Cat({Id3v2(3, {}, 0, 0x0FFFFFFF), Frames(kH128, 417, 10)}), 0, invalid},
        {"ID3v2, one frame to the end", Cat({Id3v2(2, {}), Frames(kH128, 417, 1)}), 0, {1, 26, U, U, 128}},
        {"Xing", kVbr100, 0, {1, 2612, 100, 417, 128}},
        {"Info", Cat({VbrFrame(kH128, 417, 36, Xing("Info", 10, 4587)), Frames(kH128, 417, 10)}), 0, {1, 261, 10, 417, 128}},
        {"Xing MPEG 2 mono", Cat({VbrFrame(kM2, 208, 13, Xing("Xing", 200, 41808)), Frames(kM2, 208, 200)}), 0, {1, 5224, 200, 208, 64}},
        {"VBRI", Cat({VbrFrame(kH32, 104, 36, Vbri(41804, 100)), Frames(kH128, 417, 100)}), 0, {1, 2612, 100, 417, 128}},
        {"ID3v2 and Xing", Cat({id3, kVbr100, TagV1("x")}), 1, {1, 2612, 100, 417, 128}},
        {"Xing count 0", xing(0), 0, {1, 10368, U, U, 32}},
        {"Xing count of billions", xing(4000000000u), 0, {1, 10368, U, U, 32}},
        {"Xing count 1", xing(1), 0, {1, 10368, U, U, 32}},
        {"VBRI bytes tenfold", Cat({VbrFrame(kH32, 104, 36, Vbri(418040, 100)), Frames(kH128, 417, 100)}), 0, {1, 10368, U, U, 32}},
        {"RIFF", Cat({riff, Frames(kH128, 418, 10)}), 0, {1, 261, 10, 418, 128}},
        {"RIFF, zeros first", Cat({riff, Bytes(20, 0), Frames(kH128, 417, 10)}), 0, {1, 260, 10, 417, 128}},
    };
    MP3INFO i{};
    const auto read = [&](const std::string& path, int hasTag) {
        const std::uint32_t valid = MP3InfoRead(path.c_str(), &i, hasTag);
        return valid ? std::vector<std::uint32_t>{valid, i.lLength, i.lFrames, i.lFrameSize, i.lBitRate} : invalid;
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(Write("f.mp3", c.file), c.hasTag), c.want) << c.name;
    // 600 MiB, sparse: beyond 32-bit arithmetic.
    std::filesystem::resize_file(Write("big.mp3", Frames(kH128, 418, 2)), 629145600);
    EXPECT_EQ(read(Path("big.mp3"), 0), (std::vector<std::uint32_t>{1, 39321600, 1505134, 418, 128}));
    EXPECT_EQ(read(Path("missing.mp3"), 0), invalid);
    EXPECT_EQ(read(dir_.string(), 0), invalid);
}

// Title|artist|album|year|comment|genre
std::string Summary(const MP3ID3V2& t)
{
    return std::string(t.cTitle) + "|" + t.cArtist + "|" + t.cAlbum + "|" + t.cYear + "|" + t.cComment + "|" + std::to_string(t.iStyle);
}

TEST_F(Mp3ID3v2, TextFramesInEveryVersionAndEncodingAndTheSongTakesThem)
{
    const auto one = [](int v, const char* id, const Bytes& body, int flags = 0) { return Id3v2(v, Frame(v, id, body, flags)); };
    const auto latin = [](const std::string& text) { return Cat({{0}, Text(text)}); };
    const std::pair<Bytes, std::string> cases[] = {
        {one(3, "TIT2", latin("Caf\xE9  ")), "Caf\xE9|||||255"},
        {one(3, "TPE1", {1, 0xFF, 0xFE, 0x41, 0x01, 'x', 0}), "|?x||||255"},
        {one(3, "TALB", {1, 0xFE, 0xFF, 0, 0xE9, 0, 0, 0, 'z'}), "||\xE9|||255"},
        {one(4, "TIT2", {2, 0, 'A', 0, 'B'}), "AB|||||255"}, {one(4, "TIT2", {3, 0xC3, 0xA9, 0xC5, 0x81, 0x80, 0xFF, 'o'}), "\xE9???o|||||255"},
        {one(2, "TT2", latin("Old")), "Old|||||255"}, {one(4, "TDRC", latin("2004-05-06")), "|||2004||255"},
        {Id3v2(3, Cat({Frame(3, "COMM", latin("engiTunNORM")), Frame(3, "COMM", Cat({latin("eng"), {0}, Text("Nice")}))})), "||||Nice|255"},
        {one(3, "TCON", latin("(17)")), "|||||17"}, {one(4, "TCON", Cat({{3}, Text("Hard Rock")})), "|||||79"},
        {one(3, "TIT2", latin(std::string(50, 't'))), std::string(40, 't') + "|||||255"},
        {one(4, "TIT2", {0, 'a', 0xFF, 0, 'b'}, 0x02), "a\xFF" "b|||||255"},
        // A 2.3 tag unsynchronised whole: the frame size counts the bytes after undoing it.
        {Id3v2(3, Cat({Text("TPE1"), Be(4, 4), {0, 0}, {0, 'a', 0xFF, 0, 'b'}, Frame(3, "TIT2", latin("Tt"))}), 0x80),
         "Tt|a\xFF" "b||||255"},
        {Id3v2(3, Cat({Be(6, 4), Bytes(6, 0), Frame(3, "TIT2", latin("Ext"))}), 0x40), "Ext|||||255"},
        {one(3, "TIT2", latin("Zip"), 0x80), "|||||255"}, {Frame(3, "TIT2", latin("No tag")), "|||||255"},
        {one(3, "TIT2", Cat({{7}, latin("Grp")}), 0x20), "Grp|||||255"},  // a group byte, and in 2.4 a data length too
        {one(4, "TIT2", Cat({{7}, Be(4, 4), latin("G4")}), 0x41), "G4|||||255"},
        {Id3v2(3, latin("TIT2"), 0, 1000), "|||||255"},
    };
    for (const auto& [tag, summary] : cases) {
        MP3ID3V2 read;
        EXPECT_EQ(MP3ID3v2Read(Write("t.mp3", Cat({tag, kVbr100})).c_str(), &read), tag[0] == 'I' && tag.size() < 1000) << summary;
        EXPECT_EQ(Summary(read), summary);
    }
    // The song: ID3v2 texts without an ID3v1 tag; an ID3v1 tag wins.
    const Bytes v2 = Id3v2(3, Cat({Frame(3, "TIT2", latin("Two")), Frame(3, "TCON", latin("Jazz"))}));
    SONG s{};
    EXPECT_EQ(ReadSongInfos(Write("v2.mp3", Cat({v2, kVbr100})).c_str(), &s, 1), RSI_TAG);
    EXPECT_EQ(std::string(s.Desc.cTitle) + "/" + std::to_string(s.Desc.iStyle) + "/" + std::to_string(s.Bounds.timMain.lEnd), "Two/8/2612");
    EXPECT_EQ(ReadSongInfos(Write("both.mp3", Cat({v2, kVbr100, TagV1("One")})).c_str(), &s, 1), RSI_TAG);
    EXPECT_EQ(std::string(s.Desc.cTitle) + "/" + std::to_string(s.Desc.iStyle) + "/" + std::to_string(s.General.lLength), "One/0/2612");
    EXPECT_EQ(ReadSongInfos(Write("none.mp3", kVbr100).c_str(), &s, 1) * 1000 + s.Desc.iStyle, RSI_NOTAG * 1000 + 255);
}

}  // namespace
