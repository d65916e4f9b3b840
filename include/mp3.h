// MP3 metadata: the ID3v1 tag at the end of a file with the genre table, and
// the MPEG audio frame header at its start with the playing time worked out
// from it. Only reads; never writes a file.
#pragma once

#include <cstddef>
#include <cstdint>

// The ID3v1 tag exactly as it lies in the file (texts padded, not terminated).
struct MP3TAG {
    char cHeader[3];
    char cTitle[30];
    char cArtist[30];
    char cAlbum[30];
    char cYear[4];
    char cComment[30];
    unsigned char iStyle;
};
static_assert(sizeof(MP3TAG) == 128, "the ID3v1 tag is 128 bytes");

constexpr int MP3MAXSTYLE = 115;
constexpr int MAXL_TAGTEXT = 30;
constexpr int MAXL_TAGYEAR = 4;
constexpr int MAXL_STYLE = 24;  // longest genre name, without the terminator

extern const char* const MP3Style[MP3MAXSTYLE + 1];
extern const char MP3Style255[];  // "Unknown"
extern const char* const MP3Channels[4];

// 1 when the file's last 128 bytes form a tag; else 0 and Tag all zeros.
int MP3TagRead(const char* FileName, MP3TAG* Tag);
// Each copies its field, terminates it and strips trailing white space;
// the buffers hold MAXL_TAGTEXT + 1 (year: MAXL_TAGYEAR + 1) characters.
char* MP3TagGetTitle(const MP3TAG* Tag, char* Title);
char* MP3TagGetArtist(const MP3TAG* Tag, char* Artist);
char* MP3TagGetAlbum(const MP3TAG* Tag, char* Album);
char* MP3TagGetComment(const MP3TAG* Tag, char* Comment);
char* MP3TagGetYear(const MP3TAG* Tag, char* Year);
int MP3TagGetYearI(const MP3TAG* Tag);
int MP3TagGetStyleI(const MP3TAG* Tag);
// The genre name into a buffer of MAXL_STYLE + 1 characters.
char* MP3TagGetStyle(const MP3TAG* Tag, char* Style);
char* MP3GetStyle(int StyleIdx, char* Style);
// The genre name itself: the table's entry for 0..115, else "Unknown".
const char* MP3GetStyleName(int StyleIdx);
// The number of a genre given as "(17)", "17" or a name of the table
// (letter case aside); 255 for anything else.
int MP3GetStyleIdx(const char* Text);

// The texts of an ID3v2 tag (versions 2.2, 2.3, 2.4) at the start of a file,
// in the program's ANSI code page (characters it lacks become '?'), cut to
// the fields and without trailing white space.
constexpr int MAXL_ID3V2TEXT = 40;
struct MP3ID3V2 {
    char cTitle[MAXL_ID3V2TEXT + 1];
    char cArtist[MAXL_ID3V2TEXT + 1];
    char cAlbum[MAXL_ID3V2TEXT + 1];
    char cYear[MAXL_TAGYEAR + 1];
    char cComment[MAXL_ID3V2TEXT + 1];
    int iStyle;    // 0..MP3MAXSTYLE, or 255
    int bPresent;  // the file begins with an ID3v2 tag that lies within it
};

// 1 when the file begins with an ID3v2 tag that lies within the file; its
// title, artist, album, year, comment (one without a description) and genre
// frames fill Tag. Else 0. Missing frames leave empty texts and genre 255.
int MP3ID3v2Read(const char* FileName, MP3ID3V2* Tag);

struct MP3INFO {
    std::int32_t bValid;
    std::int32_t iType;
    std::int32_t iVersion;  // 1 = MPEG 1, 2 = MPEG 2, 3 = MPEG 2.5
    std::int32_t iLayer;
    std::int32_t bErrorProtection;
    std::uint32_t lBitRate;     // kbit/s
    std::uint32_t lSampleRate;  // Hz
    std::int32_t bPadding;
    std::int32_t bExtension;
    std::int32_t iChannelMode;
    std::int32_t iModeExtension;
    std::int32_t bCopyright;
    std::int32_t bOriginal;
    std::int32_t iEmphasis;
    std::uint32_t lSize;       // file size in bytes
    std::uint32_t lLength;     // playing time in ms
    std::uint32_t lFrames;     // 0xFFFFFFFF when unknown
    std::uint32_t lFrameSize;  // 0xFFFFFFFF when unknown
};

constexpr std::uint32_t MP3_UNKNOWN = 0xFFFFFFFFu;

// Decodes the four header bytes as read from the file into a 32-bit value
// (first byte lowest) into bValid .. iEmphasis.
void MP3InfoExamine(std::uint32_t Data, MP3INFO* Info);
// Fills Info from the file; HasTag says the last 128 bytes are a tag, not
// audio. The first frame stands at byte 0 or right after a RIFF "data" chunk
// header; after ID3v2 tags (or when a RIFF header is not followed by one) it
// is the first wholly valid frame, confirmed by the next, within 64 KiB.
// When that frame carries a Xing, "Info" or VBRI frame count that fits the
// file size, the length is the count's playing time and lBitRate the
// average; otherwise it comes from the first frame's bit rate and the size.
// 1 on success; 0 when the file cannot be opened or has no valid frame where
// one is expected (Info may then be partly filled).
// With Tag2, the ID3v2 texts are read as by MP3ID3v2Read in the same pass
// (one opening of the file less when adding many).
int MP3InfoRead(const char* FileName, MP3INFO* Info, int HasTag, MP3ID3V2* Tag2 = nullptr);
