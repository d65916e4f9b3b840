#include "mp3.h"

#include "fileio.h"
#include "string2.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

constexpr const char* MP3Style[MP3MAXSTYLE + 1] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal", "New Age",
    "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial", "Alternative", "Ska",
    "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion",
    "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock",
    "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic",
    "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave",
    "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro",
    "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk/Rock", "National Folk", "Swing", "Fast-Fusion", "Bebob",
    "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson",
    "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Pron Groove", "Satire", "Slow Jam",
    "Club", "Tango", "Samba", "Folklore"};

const char MP3Style255[] = "Unknown";

const char* const MP3Channels[4] = {"Stereo", "Joint-Stereo", "Dual channel", "Mono"};

namespace {

constexpr std::uint32_t kTagSize = sizeof(MP3TAG);
constexpr std::size_t kSearchSize = 1024;
constexpr std::size_t kRiffScan = 128;

// Rows: MPEG 1, MPEG 2, MPEG 2.5.
constexpr std::uint32_t MP3SampleRate[3][4] = {{44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}, {11025, 12000, 8000, 0}};

// [MPEG 1 layer 1, 2, 3, MPEG 2/2.5 layer 1, layer 2 and 3][index]; 0 = free format or not allowed.
constexpr std::uint32_t MP3BitRate[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};

// Layer field 0..3 -> layer; the reserved 0 counts as layer 1.
constexpr int MP3Layer[4] = {1, 3, 2, 1};

// Bits of a header (file byte order) that may change from frame to frame:
// padding and the upper bit of the mode extension.
constexpr unsigned char kVariableBits[4] = {0x00, 0x00, 0x02, 0x20};

static_assert([] {
    for (const char* name : MP3Style)
        if (std::char_traits<char>::length(name) > MAXL_STYLE)
            return false;
    return true;
}());

// A zero inside the field ends the text; whatever follows it is ignored.
char* TagText(const char* Field, std::size_t Width, char* Out)
{
    StrCopy(Out, Width + 1, std::string_view(Field, Width));
    return strtrimr(Out);
}

std::uint32_t LittleEndian(const unsigned char* b)
{
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

bool SameStream(const unsigned char* a, const unsigned char* b)
{
    for (int i = 0; i < 4; ++i)
        if ((a[i] & ~kVariableBits[i]) != (b[i] & ~kVariableBits[i]))
            return false;
    return true;
}

// Position of the next header like First within Data, or -1.
long FindNextHeader(const unsigned char* First, const unsigned char* Data, std::size_t Size)
{
    for (std::size_t p = 0; p + 4 <= Size; ++p)
        if (SameStream(First, Data + p))
            return static_cast<long>(p);
    return -1;
}

std::uint32_t Clamp32(std::uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v); }

}  // namespace

int MP3TagRead(const char* FileName, MP3TAG* Tag)
{
    std::memset(Tag, 0, sizeof *Tag);
    File file = File::OpenRead(FileName);
    if (!file.IsOpen() || file.Size() < static_cast<std::int64_t>(kTagSize))
        return 0;
    if (!file.SeekFromEnd(-static_cast<std::int64_t>(kTagSize)) || !file.Read(Tag, sizeof *Tag) ||
        std::memcmp(Tag->cHeader, "TAG", 3) != 0) {
        std::memset(Tag, 0, sizeof *Tag);
        return 0;
    }
    return 1;
}

char* MP3TagGetTitle(const MP3TAG* Tag, char* Title) { return TagText(Tag->cTitle, sizeof Tag->cTitle, Title); }
char* MP3TagGetArtist(const MP3TAG* Tag, char* Artist) { return TagText(Tag->cArtist, sizeof Tag->cArtist, Artist); }
char* MP3TagGetAlbum(const MP3TAG* Tag, char* Album) { return TagText(Tag->cAlbum, sizeof Tag->cAlbum, Album); }
char* MP3TagGetComment(const MP3TAG* Tag, char* Comment)
{
    return TagText(Tag->cComment, sizeof Tag->cComment, Comment);
}
char* MP3TagGetYear(const MP3TAG* Tag, char* Year) { return TagText(Tag->cYear, sizeof Tag->cYear, Year); }

int MP3TagGetYearI(const MP3TAG* Tag)
{
    char year[MAXL_TAGYEAR + 1];
    return std::atoi(MP3TagGetYear(Tag, year));
}

int MP3TagGetStyleI(const MP3TAG* Tag) { return Tag->iStyle; }

char* MP3TagGetStyle(const MP3TAG* Tag, char* Style) { return MP3GetStyle(Tag->iStyle, Style); }

const char* MP3GetStyleName(int StyleIdx)
{
    return StyleIdx >= 0 && StyleIdx <= MP3MAXSTYLE ? MP3Style[StyleIdx] : MP3Style255;
}

char* MP3GetStyle(int StyleIdx, char* Style)
{
    StrCopy(Style, MAXL_STYLE + 1, MP3GetStyleName(StyleIdx));
    return Style;
}

void MP3InfoExamine(std::uint32_t Data, MP3INFO* Info)
{
    const std::uint32_t h = (Data & 0xFF) << 24 | (Data & 0xFF00) << 8 | (Data >> 8 & 0xFF00) | Data >> 24;
    Info->iEmphasis = static_cast<std::int32_t>(h & 3);
    Info->bOriginal = static_cast<std::int32_t>(h >> 2 & 1);
    Info->bCopyright = static_cast<std::int32_t>(h >> 3 & 1);
    Info->iModeExtension = static_cast<std::int32_t>(h >> 4 & 3);
    Info->iChannelMode = static_cast<std::int32_t>(h >> 6 & 3);
    Info->bExtension = static_cast<std::int32_t>(h >> 8 & 1);
    Info->bPadding = static_cast<std::int32_t>(h >> 9 & 1);
    const unsigned rateIndex = h >> 10 & 3;
    const unsigned bitRateIndex = h >> 12 & 15;
    Info->bErrorProtection = static_cast<std::int32_t>(h >> 16 & 1);
    Info->iLayer = MP3Layer[h >> 17 & 3];
    const bool bit19 = (h >> 19 & 1) != 0;
    Info->iType = static_cast<std::int32_t>(h >> 20 & 1);
    Info->bValid = static_cast<std::int32_t>(h >> 21 & 1);
    Info->iVersion = bit19 ? 1 : Info->iType ? 2 : 3;
    Info->lSampleRate = MP3SampleRate[Info->iVersion - 1][rateIndex];
    const int row = Info->iVersion == 1 ? Info->iLayer - 1 : Info->iLayer == 1 ? 3 : 4;
    Info->lBitRate = MP3BitRate[row][bitRateIndex];
}

int MP3InfoRead(const char* FileName, MP3INFO* Info, int HasTag)
{
    std::uint64_t nonAudio = HasTag ? kTagSize : 0;
    File file = File::OpenRead(FileName);
    if (!file.IsOpen())
        return 0;
    const std::int64_t size = file.Size();
    if (size < 0)
        return 0;
    Info->lSize = Clamp32(static_cast<std::uint64_t>(size));

    unsigned char header[4];
    if (!file.Read(header, sizeof header))
        return 0;
    std::int64_t audioStart = 0;
    if (std::memcmp(header, "RIFF", 4) == 0) {
        unsigned char head[kRiffScan];
        const std::size_t n = file.Seek(0) ? file.ReadSome(head, sizeof head) : 0;
        long p = -1;
        for (std::size_t i = 0; i + 4 <= n && p < 0; ++i)
            if (std::memcmp(head + i, "data", 4) == 0)
                p = static_cast<long>(i);
        if (p < 0)
            return 0;
        audioStart = p + 8;
        nonAudio += static_cast<std::uint64_t>(audioStart);
        if (!file.Seek(audioStart) || !file.Read(header, sizeof header))
            return 0;
    }

    MP3InfoExamine(LittleEndian(header), Info);
    // Free format (index 0) and the forbidden index 15 have no bit rate to
    // time the file by: not a file we understand.
    if (!Info->bValid || Info->lBitRate == 0)
        return 0;

    unsigned char next[kSearchSize];
    const std::size_t got = file.ReadSome(next, sizeof next);
    const long p = FindNextHeader(header, next, got);
    const std::uint64_t total = static_cast<std::uint64_t>(size);
    const std::uint64_t audio = total > nonAudio ? total - nonAudio : 0;
    if (p >= 0) {
        const std::uint64_t frameSize = static_cast<std::uint64_t>(p) + 4;
        Info->lFrameSize = static_cast<std::uint32_t>(frameSize);
        Info->lFrames = Clamp32((audio + frameSize - 1) / frameSize);
        Info->lLength = Clamp32(audio * 8 / Info->lBitRate);
    } else {
        const std::uint64_t headers = total / 500 * 4;
        Info->lFrameSize = MP3_UNKNOWN;
        Info->lFrames = MP3_UNKNOWN;
        Info->lLength = Clamp32((audio > headers ? audio - headers : 0) * 8 / Info->lBitRate);
    }
    return 1;
}
