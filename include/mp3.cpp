#include "mp3.h"

#include "fileio.h"
#include "platform.h"
#include "string2.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
// How far past the ID3v2 tags the first frame may begin, and room for the
// frame that confirms it (no frame is longer than 2881 bytes).
constexpr std::size_t kFrameScan = 64 * 1024;
constexpr std::size_t kWindowSize = kFrameScan + 4096;
constexpr int kMaxTags = 8;          // stacked ID3v2 tags skipped
constexpr int kMaxTagFrames = 256;   // ID3v2 frames looked at
constexpr std::size_t kMaxTextBytes = 512;
constexpr std::size_t kMaxTextUnits = 64;

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

std::uint32_t BigEndian(const unsigned char* b, int Bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < Bytes; ++i)
        v = v << 8 | b[i];
    return v;
}

// 28 bits in four bytes of 7: ID3v2 sizes, which never look like a frame sync.
std::uint32_t Syncsafe(const unsigned char* b)
{
    return static_cast<std::uint32_t>(b[0]) << 21 | static_cast<std::uint32_t>(b[1]) << 14 |
           static_cast<std::uint32_t>(b[2]) << 7 | b[3];
}

bool IsSyncsafe(const unsigned char* b) { return ((b[0] | b[1] | b[2] | b[3]) & 0x80) == 0; }

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

// A stretch of the file read in one piece, so that the frame search and the
// tag walk cost one read in the common case; nothing past the end is read.
class Window {
public:
    Window(File& file, std::uint64_t size) : file_(file), size_(size), data_(new unsigned char[kWindowSize]) {}

    std::uint64_t Size() const { return size_; }

    // The n bytes at offset; null when they do not all lie in the file.
    const unsigned char* At(std::uint64_t offset, std::size_t n)
    {
        if (n > kWindowSize || offset > size_ || n > size_ - offset)
            return nullptr;
        if (offset < start_ || offset + n > start_ + have_) {
            start_ = offset;
            have_ = file_.Seek(static_cast<std::int64_t>(offset)) ? file_.ReadSome(data_.get(), kWindowSize) : 0;
            if (have_ < n)
                return nullptr;
        }
        return data_.get() + (offset - start_);
    }

    // Makes the next kWindowSize bytes from offset (as far as the file goes) one piece.
    void Hold(std::uint64_t offset)
    {
        if (offset < size_)
            At(offset, static_cast<std::size_t>(std::min<std::uint64_t>(kWindowSize, size_ - offset)));
    }

private:
    File& file_;
    std::uint64_t size_;
    std::uint64_t start_ = 0;
    std::size_t have_ = 0;
    std::unique_ptr<unsigned char[]> data_;
};

struct ID3V2HEAD {
    int iVersion;
    unsigned iFlags;
    std::uint64_t lBody;  // offset of the first frame (or extended header)
    std::uint64_t lEnd;   // offset after the frames, the padding and a footer
};

bool ID3v2Head(Window& w, std::uint64_t At, ID3V2HEAD* Head)
{
    const unsigned char* h = w.At(At, 10);
    if (h == nullptr || std::memcmp(h, "ID3", 3) != 0 || h[3] < 2 || h[3] > 4 || h[4] == 0xFF || !IsSyncsafe(h + 6))
        return false;
    Head->iVersion = h[3];
    Head->iFlags = h[5];
    Head->lBody = At + 10;
    Head->lEnd = Head->lBody + Syncsafe(h + 6) + (h[3] == 4 && (h[5] & 0x10) != 0 ? 10 : 0);
    return true;
}

// Where the audio starts after the ID3v2 tags at the start (some writers
// stack several); 0 when there is none. May lie past the end of the file.
std::uint64_t ID3v2End(Window& w)
{
    std::uint64_t at = 0;
    ID3V2HEAD head;
    for (int i = 0; i < kMaxTags && ID3v2Head(w, at, &head); ++i)
        at = head.lEnd;
    return at;
}

// All eleven sync bits, no reserved version or layer, a bit rate from the
// table and a sampling rate.
bool WhollyValid(const unsigned char* h)
{
    return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && (h[1] & 0x18) != 0x08 && (h[1] & 0x06) != 0 &&
           (h[2] & 0xF0) != 0 && (h[2] & 0xF0) != 0xF0 && (h[2] & 0x0C) != 0x0C;
}

void Examine(const unsigned char* h, MP3INFO* Info) { MP3InfoExamine(LittleEndian(h), Info); }

int BitRateRow(const MP3INFO& Info) { return Info.iVersion == 1 ? Info.iLayer - 1 : Info.iLayer == 1 ? 3 : 4; }

std::uint32_t SamplesPerFrame(const MP3INFO& Info)
{
    return Info.iLayer == 1 ? 384 : Info.iLayer == 3 && Info.iVersion != 1 ? 576 : 1152;
}

// The frame's length in bytes by the standard's formula; 0 without a sampling rate.
std::uint32_t FrameBytes(const MP3INFO& Info)
{
    if (Info.lSampleRate == 0)
        return 0;
    const std::uint32_t slot = Info.iLayer == 1 ? 4 : 1;
    return (SamplesPerFrame(Info) / 8 / slot * Info.lBitRate * 1000 / Info.lSampleRate + Info.bPadding) * slot;
}

// The first wholly valid frame at or after From within the search window
// whose length leads to the header of a next frame of the same stream
// (version, layer, sampling rate) or exactly to AudioEnd; -1 when none.
std::int64_t FindFirstFrame(Window& w, std::uint64_t From, std::uint64_t AudioEnd)
{
    w.Hold(From);
    for (std::uint64_t p = From; p < From + kFrameScan && p + 4 <= AudioEnd; ++p) {
        const unsigned char* at = w.At(p, 4);
        if (at == nullptr)
            return -1;
        if (!WhollyValid(at))
            continue;
        unsigned char h[4];
        std::memcpy(h, at, 4);
        MP3INFO info{};
        Examine(h, &info);
        const std::uint64_t next = p + FrameBytes(info);
        if (next == AudioEnd)
            return static_cast<std::int64_t>(p);
        const unsigned char* n = next + 4 <= AudioEnd ? w.At(next, 4) : nullptr;
        if (n != nullptr && WhollyValid(n) && (n[1] & 0xFE) == (h[1] & 0xFE) && (n[2] & 0x0C) == (h[2] & 0x0C))
            return static_cast<std::int64_t>(p);
    }
    return -1;
}

// The frame count of a Xing or "Info" header behind the side information
// or of a VBRI header 32 bytes after the frame header, with the stream bytes
// it claims (0 when it does not say).
bool VbrHeader(Window& w, std::uint64_t At, const MP3INFO& Info, std::uint32_t* Frames, std::uint32_t* Bytes)
{
    const bool mono = Info.iChannelMode == 3;
    const std::uint64_t sideInfo = Info.iVersion == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const unsigned char* x = w.At(At + 4 + sideInfo, 16);
    if (x != nullptr && (std::memcmp(x, "Xing", 4) == 0 || std::memcmp(x, "Info", 4) == 0)) {
        const std::uint32_t flags = BigEndian(x + 4, 4);
        *Frames = (flags & 1) != 0 ? BigEndian(x + 8, 4) : 0;
        *Bytes = (flags & 3) == 3 ? BigEndian(x + 12, 4) : (flags & 3) == 2 ? BigEndian(x + 8, 4) : 0;
        return true;
    }
    const unsigned char* v = w.At(At + 36, 18);
    if (v != nullptr && std::memcmp(v, "VBRI", 4) == 0) {
        *Bytes = BigEndian(v + 10, 4);
        *Frames = BigEndian(v + 14, 4);
        return true;
    }
    return false;
}

// Times the file by the frame count of its first frame's VBR header. The
// header frame is no audio. A count or byte figure that disagrees with the
// file size by more than a factor of two (an average bit rate beyond the
// table's range) is taken for a lie: false, and Info is unchanged.
bool VbrLength(Window& w, std::uint64_t At, std::uint64_t Audio, MP3INFO* Info)
{
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
    if (!VbrHeader(w, At, *Info, &frames, &bytes) || frames == 0 || Info->lSampleRate == 0)
        return false;
    const std::uint64_t ms = std::uint64_t{frames} * SamplesPerFrame(*Info) * 1000 / Info->lSampleRate;
    const std::uint64_t header = FrameBytes(*Info);
    const std::uint64_t data = Audio > header ? Audio - header : 0;
    if (ms == 0 || (bytes != 0 && (bytes > 2 * Audio || 2 * std::uint64_t{bytes} < Audio)))
        return false;
    const std::uint64_t kbps = (data * 8 + ms / 2) / ms;
    const std::uint32_t* rates = MP3BitRate[BitRateRow(*Info)];
    if (2 * kbps < rates[1] || kbps > 2 * std::uint64_t{rates[14]})
        return false;
    Info->lLength = Clamp32(ms);
    Info->lFrames = frames;
    Info->lBitRate = static_cast<std::uint32_t>(kbps);
    Info->lFrameSize = Clamp32((data + frames / 2) / frames);
    return true;
}

// The length from the first frame's bit rate and the file size, with the
// frame size from the distance to the next header of the stream.
void CbrLength(Window& w, std::uint64_t At, std::uint64_t Total, std::uint64_t NonAudio, MP3INFO* Info)
{
    const unsigned char* first = w.At(At, 4);
    unsigned char header[4];
    std::memcpy(header, first, 4);
    const std::size_t reach = static_cast<std::size_t>(std::min<std::uint64_t>(kSearchSize, Total - At - 4));
    const unsigned char* next = reach > 0 ? w.At(At + 4, reach) : nullptr;
    const long p = next != nullptr ? FindNextHeader(header, next, reach) : -1;
    const std::uint64_t audio = Total > NonAudio ? Total - NonAudio : 0;
    if (p >= 0) {
        const std::uint64_t frameSize = static_cast<std::uint64_t>(p) + 4;
        Info->lFrameSize = static_cast<std::uint32_t>(frameSize);
        Info->lFrames = Clamp32((audio + frameSize - 1) / frameSize);
        Info->lLength = Clamp32(audio * 8 / Info->lBitRate);
    } else {
        const std::uint64_t headers = Total / 500 * 4;
        Info->lFrameSize = MP3_UNKNOWN;
        Info->lFrames = MP3_UNKNOWN;
        Info->lLength = Clamp32((audio > headers ? audio - headers : 0) * 8 / Info->lBitRate);
    }
}

// ---- ID3v2 texts ----

enum Id3Field { TITLE, ARTIST, ALBUM, YEAR, COMMENT, GENRE };

struct ID3FRAMEID {
    const char* cId;
    Id3Field iField;
};

constexpr ID3FRAMEID kTextFrames[] = {
    {"TT2", TITLE},    {"TIT2", TITLE},   {"TP1", ARTIST}, {"TPE1", ARTIST}, {"TAL", ALBUM},
    {"TALB", ALBUM},   {"TYE", YEAR},     {"TYER", YEAR},  {"TDRC", YEAR},   {"COM", COMMENT},
    {"COMM", COMMENT}, {"TCO", GENRE},    {"TCON", GENRE},
};

// Reads one text in Encoding (0 ISO-8859-1, 1 UTF-16 with BOM, 2 UTF-16BE,
// 3 UTF-8) from b[*Pos, Size) up to its terminator as UTF-16 units into Out
// (at most kMaxTextUnits); *Pos moves past the terminator. Returns the units.
std::size_t DecodeText(int Encoding, const unsigned char* b, std::size_t Size, std::size_t* Pos, WCHAR* Out)
{
    std::size_t n = 0;
    const auto put = [&](char32_t c) {
        if (c >= 0x10000 && n + 1 < kMaxTextUnits) {
            Out[n++] = static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10));
            Out[n++] = static_cast<WCHAR>(0xDC00 + (c & 0x3FF));
        } else if (c < 0x10000 && n < kMaxTextUnits) {
            Out[n++] = static_cast<WCHAR>(c);
        }
    };
    std::size_t& p = *Pos;
    if (Encoding == 1 || Encoding == 2) {
        bool big = Encoding == 2;
        if (Encoding == 1 && p + 2 <= Size && (b[p] == 0xFE || b[p] == 0xFF) && b[p] + b[p + 1] == 0x1FD) {
            big = b[p] == 0xFE;
            p += 2;
        }
        for (; p + 2 <= Size; p += 2) {
            const char32_t unit = big ? b[p] << 8 | b[p + 1] : b[p + 1] << 8 | b[p];
            if (unit == 0) {
                p += 2;
                break;
            }
            if (n < kMaxTextUnits)
                Out[n++] = static_cast<WCHAR>(unit);
        }
        return n;
    }
    while (p < Size && b[p] != 0) {
        char32_t c = b[p++];
        if (Encoding == 3 && c >= 0x80) {
            const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
            c = more < 0 ? 0xFFFD : c & (0x3F >> more);
            for (int i = 0; i < more; ++i)
                c = p < Size && (b[p] & 0xC0) == 0x80 ? c << 6 | (b[p++] & 0x3F) : 0xFFFD;
            if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
                c = 0xFFFD;
        }
        put(c);
    }
    p += p < Size ? 1 : 0;
    return n;
}

// As much of the wide text as fits Width bytes in the ANSI code page,
// terminated, without trailing white space. A code page that takes no
// substitute character (UTF-8) gets the plain conversion.
void ToAnsi(const WCHAR* Text, std::size_t Units, char* Out, int Width)
{
    Out[0] = '\0';
    for (int strict = 1; strict >= 0 && Out[0] == '\0'; --strict)
        for (int count = static_cast<int>(std::min<std::size_t>(Units, static_cast<std::size_t>(Width))); count > 0;
             --count) {
            const int got = WideCharToMultiByte(CP_ACP, strict ? WC_NO_BEST_FIT_CHARS : 0, Text, count, Out, Width,
                                                strict ? "?" : nullptr, nullptr);
            if (got > 0) {
                Out[got] = '\0';
                break;
            }
        }
    strtrimr(Out);
}

// One text frame's body into its field; false for an unknown encoding and
// for a comment with a description (some player's private data).
bool ReadTextFrame(Id3Field Field, const unsigned char* b, std::size_t Size, MP3ID3V2* Tag)
{
    if (Size < 1 || b[0] > 3)
        return false;
    std::size_t pos = 1;
    WCHAR text[kMaxTextUnits];
    if (Field == COMMENT) {
        pos += 3;  // language
        if (pos > Size || DecodeText(b[0], b, Size, &pos, text) != 0)
            return false;
    }
    const std::size_t units = DecodeText(b[0], b, Size, &pos, text);
    char genre[2 * MAXL_STYLE + 1];
    switch (Field) {
    case TITLE: ToAnsi(text, units, Tag->cTitle, MAXL_ID3V2TEXT); break;
    case ARTIST: ToAnsi(text, units, Tag->cArtist, MAXL_ID3V2TEXT); break;
    case ALBUM: ToAnsi(text, units, Tag->cAlbum, MAXL_ID3V2TEXT); break;
    case YEAR: ToAnsi(text, units, Tag->cYear, MAXL_TAGYEAR); break;
    case COMMENT: ToAnsi(text, units, Tag->cComment, MAXL_ID3V2TEXT); break;
    case GENRE:
        ToAnsi(text, units, genre, 2 * MAXL_STYLE);
        Tag->iStyle = MP3GetStyleIdx(genre);
        break;
    }
    return true;
}

// Removes the 0 that unsynchronisation put after each 0xFF; returns the new size.
std::size_t Resync(unsigned char* b, std::size_t Size)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < Size; ++i)
        if (!(i > 0 && b[i] == 0 && b[i - 1] == 0xFF))
            b[n++] = b[i];
    return n;
}

bool FrameIdValid(const unsigned char* id, int Size)
{
    for (int i = 0; i < Size; ++i)
        if (!((id[i] >= 'A' && id[i] <= 'Z') || (id[i] >= '0' && id[i] <= '9')))
            return false;
    return true;
}

// The frames of a 2.2 or 2.3 tag with its whole-tag unsynchronisation undone
// (their sizes count the bytes after it), as far as one window holds, at the
// file offsets they would have.
class Resynced {
public:
    Resynced(Window& w, const ID3V2HEAD& Head) : base_(Head.lBody)
    {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(Head.lEnd - Head.lBody, kWindowSize));
        if (const unsigned char* b = w.At(base_, n)) {
            data_.assign(b, b + n);
            data_.resize(Resync(data_.data(), n));
        }
    }

    const unsigned char* At(std::uint64_t offset, std::size_t n) const
    {
        if (offset < base_ || offset - base_ > data_.size() || n > data_.size() - (offset - base_))
            return nullptr;
        return data_.data() + (offset - base_);
    }

    std::uint64_t End() const { return base_ + data_.size(); }

private:
    std::uint64_t base_;
    std::vector<unsigned char> data_;
};

// Walks the tag's frames up to End, the first of each wanted kind filling its field.
template <class Source>
void ReadTextFrames(Source& w, const ID3V2HEAD& Head, std::uint64_t End, MP3ID3V2* Tag)
{
    const bool v22 = Head.iVersion == 2;
    std::uint64_t at = Head.lBody;
    if ((Head.iFlags & 0x40) != 0) {  // extended header; in 2.2 a compressed tag
        const unsigned char* ext = v22 ? nullptr : w.At(at, 4);
        if (ext == nullptr)
            return;
        at += Head.iVersion == 4 ? Syncsafe(ext) : 4 + std::uint64_t{BigEndian(ext, 4)};
    }
    const int idSize = v22 ? 3 : 4;
    const std::size_t headSize = v22 ? 6 : 10;
    bool seen[GENRE + 1] = {};
    for (int i = 0; i < kMaxTagFrames && at + headSize <= End; ++i) {
        const unsigned char* h = w.At(at, headSize);
        if (h == nullptr || !FrameIdValid(h, idSize))
            return;  // padding, or damage
        const std::uint64_t size = v22 ? BigEndian(h + 3, 3) : Head.iVersion == 4 ? Syncsafe(h + 4) : BigEndian(h + 4, 4);
        const unsigned flags = v22 ? 0 : h[9];
        const std::string_view id(reinterpret_cast<const char*>(h), static_cast<std::size_t>(idSize));
        std::uint64_t body = at + headSize;
        at = body + size;
        // Compressed or encrypted frames are not read.
        if (at > End || (Head.iVersion == 3 && (flags & 0xC0) != 0) || (Head.iVersion == 4 && (flags & 0x0C) != 0))
            continue;
        const auto* wanted = std::find_if(std::begin(kTextFrames), std::end(kTextFrames),
                                          [&](const ID3FRAMEID& f) { return id == f.cId; });
        if (wanted == std::end(kTextFrames) || seen[wanted->iField])
            continue;
        // Group byte and data length ahead of the text.
        body += (Head.iVersion == 3 && (flags & 0x20) != 0) || (Head.iVersion == 4 && (flags & 0x40) != 0) ? 1 : 0;
        body += Head.iVersion == 4 && (flags & 0x01) != 0 ? 4 : 0;
        if (body >= at)
            continue;
        unsigned char text[kMaxTextBytes];
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(at - body, kMaxTextBytes));
        const unsigned char* b = w.At(body, n);
        if (b == nullptr)
            return;
        std::memcpy(text, b, n);
        if (Head.iVersion == 4 && ((Head.iFlags & 0x80) != 0 || (flags & 0x02) != 0))
            n = Resync(text, n);
        seen[wanted->iField] = ReadTextFrame(wanted->iField, text, n, Tag);
    }
}

void ReadTag(Window& w, const ID3V2HEAD& Head, MP3ID3V2* Tag)
{
    if (Head.iVersion < 4 && (Head.iFlags & 0x80) != 0) {
        const Resynced resynced(w, Head);
        ReadTextFrames(resynced, Head, resynced.End(), Tag);
    } else {
        ReadTextFrames(w, Head, Head.lEnd - (Head.iVersion == 4 && (Head.iFlags & 0x10) != 0 ? 10 : 0), Tag);
    }
}

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

int MP3GetStyleIdx(const char* Text)
{
    std::string_view t = Text;
    // "(17)" and "(17)Rock" name the number; "((" starts a name with "(".
    if (t.size() > 2 && t[0] == '(' && t[1] != '(' && t.find(')') != std::string_view::npos)
        t = t.substr(1, t.find(')') - 1);
    if (!t.empty() && t.size() <= 3 && t.find_first_not_of("0123456789") == std::string_view::npos) {
        const int number = std::atoi(std::string(t).c_str());
        return number <= MP3MAXSTYLE ? number : 255;
    }
    for (int i = 0; i <= MP3MAXSTYLE; ++i)
        if (std::equal(t.begin(), t.end(), MP3Style[i], MP3Style[i] + std::strlen(MP3Style[i]),
                       [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                   std::tolower(static_cast<unsigned char>(b)); }))
            return i;
    return 255;
}

int MP3ID3v2Read(const char* FileName, MP3ID3V2* Tag)
{
    MP3INFO info{};
    MP3InfoRead(FileName, &info, 0, Tag);
    return Tag->bPresent;
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
    Info->lBitRate = MP3BitRate[BitRateRow(*Info)][bitRateIndex];
}

int MP3InfoRead(const char* FileName, MP3INFO* Info, int HasTag, MP3ID3V2* Tag2)
{
    if (Tag2 != nullptr) {
        *Tag2 = MP3ID3V2{};
        Tag2->iStyle = 255;
    }
    File file = File::OpenRead(FileName);
    const std::int64_t size = file.IsOpen() ? file.Size() : -1;
    if (size < 0)
        return 0;
    const std::uint64_t total = static_cast<std::uint64_t>(size);
    Info->lSize = Clamp32(total);
    Window w(file, total);
    ID3V2HEAD tag;
    if (Tag2 != nullptr && ID3v2Head(w, 0, &tag) && tag.lEnd <= total) {
        Tag2->bPresent = 1;
        ReadTag(w, tag, Tag2);
    }
    const unsigned char* head = w.At(0, 4);
    if (head == nullptr)
        return 0;
    const bool riff = std::memcmp(head, "RIFF", 4) == 0;
    std::uint64_t start = 0;
    if (riff) {
        head = w.At(0, static_cast<std::size_t>(std::min<std::uint64_t>(kRiffScan, total)));
        const std::string_view scan(reinterpret_cast<const char*>(head), std::min<std::uint64_t>(kRiffScan, total));
        const std::size_t p = scan.find("data");
        if (p == std::string_view::npos)
            return 0;
        start = p + 8;
    } else {
        start = ID3v2End(w);
    }
    const std::uint64_t tail = HasTag ? kTagSize : 0;
    const std::uint64_t audioEnd = total > tail ? total - tail : 0;
    // Without ID3v2 tags a frame standing right at the start of the audio,
    // as one always had to, keeps its old reading; only after the tags, or
    // behind a RIFF header without one, is the frame looked for.
    std::int64_t first = -1;
    const unsigned char* h = start == 0 || riff ? w.At(start, 4) : nullptr;
    if (h != nullptr) {
        Examine(h, Info);
        if (Info->bValid && Info->lBitRate != 0)
            first = static_cast<std::int64_t>(start);
    }
    if (first < 0 && start == 0)
        return 0;
    if (first < 0)
        first = FindFirstFrame(w, start, audioEnd);
    if (first < 0)
        return 0;
    const std::uint64_t at = static_cast<std::uint64_t>(first);
    h = w.At(at, 4);
    Examine(h, Info);
    if (WhollyValid(h) && VbrLength(w, at, audioEnd > at ? audioEnd - at : 0, Info))
        return 1;
    CbrLength(w, at, total, tail + at, Info);
    return 1;
}
