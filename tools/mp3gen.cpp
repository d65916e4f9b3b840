#include "mp3gen.h"

#include "fileio.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Our own copy of the standard's tables, so that tests of the reader do not
// check it against itself.
constexpr unsigned kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
constexpr unsigned kBitRates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};

constexpr std::size_t kFlushSize = 64 * 1024;

// Frame i holds slotsNum / rate slots, one more (the padding slot) whenever
// the running remainder of slotsNum / rate overflows: the average is exact.
struct Stream {
    unsigned versionBits;  // 3 = MPEG 1, 2 = MPEG 2, 0 = MPEG 2.5
    unsigned layerBits;    // 3 = layer 1, 2 = layer 2, 1 = layer 3
    unsigned bitRateIndex;
    unsigned rateIndex;
    unsigned rate;  // Hz
    unsigned samplesPerFrame;
    unsigned slotBytes;      // 4 for layer 1, else 1
    std::uint64_t slotsNum;  // slots per frame times the sampling rate
    std::uint64_t frames;

    std::uint64_t BaseSlots() const { return slotsNum / rate; }
    std::uint64_t Remainder() const { return slotsNum % rate; }
    // The first n frames of this bit rate, padding included.
    std::uint64_t Bytes(std::uint64_t n) const { return (n * BaseSlots() + n * Remainder() / rate) * slotBytes; }
    std::uint64_t TotalBytes() const { return Bytes(frames); }
};

int Index(const unsigned* table, int size, unsigned value)
{
    for (int i = 0; i < size; ++i)
        if (table[i] == value)
            return i;
    return -1;
}

bool Describe(const MP3GENOPTIONS& o, unsigned bitRateKbps, Stream& s)
{
    if (o.iVersion < 1 || o.iVersion > 3 || o.iLayer < 1 || o.iLayer > 3 || o.iChannelMode < 0 ||
        o.iChannelMode > 3 || (o.bTag && (o.iStyle < 0 || o.iStyle > 255)))
        return false;
    const int rate = Index(kSampleRates[o.iVersion - 1], 3, o.lSampleRate);
    const int row = o.iVersion == 1 ? o.iLayer - 1 : o.iLayer == 1 ? 3 : 4;
    const int bitRate = bitRateKbps == 0 ? -1 : Index(kBitRates[row], 15, bitRateKbps);
    if (rate < 0 || bitRate < 1)
        return false;
    const bool mpeg1 = o.iVersion == 1;
    s.versionBits = mpeg1 ? 3 : o.iVersion == 2 ? 2 : 0;
    s.layerBits = static_cast<unsigned>(4 - o.iLayer);
    s.bitRateIndex = static_cast<unsigned>(bitRate);
    s.rateIndex = static_cast<unsigned>(rate);
    s.rate = o.lSampleRate;
    // Bytes per frame: layer 1 12 * bit rate / rate slots of 4 bytes; else
    // samples / 8 * bit rate / rate bytes (144, or 72 for layer 3 of MPEG 2/2.5).
    s.samplesPerFrame = o.iLayer == 1 ? 384 : o.iLayer == 3 && !mpeg1 ? 576 : 1152;
    s.slotBytes = o.iLayer == 1 ? 4 : 1;
    const unsigned coefficient = o.iLayer == 1 ? 12 : s.samplesPerFrame / 8;
    s.slotsNum = static_cast<std::uint64_t>(coefficient) * bitRateKbps * 1000;
    s.frames = (static_cast<std::uint64_t>(o.lDurationMs) * o.lSampleRate + s.samplesPerFrame * 500ull) /
               (s.samplesPerFrame * 1000ull);
    return true;
}

void PutHeader(Bytes& out, const Stream& s, int channelMode, bool padding)
{
    out.push_back(0xFF);
    out.push_back(static_cast<unsigned char>(0xE0 | s.versionBits << 3 | s.layerBits << 1 | 1));
    out.push_back(static_cast<unsigned char>(s.bitRateIndex << 4 | s.rateIndex << 2 | (padding ? 2 : 0)));
    out.push_back(static_cast<unsigned char>(static_cast<unsigned>(channelMode) << 6 | 0x04));
}

void PutBigEndian(Bytes& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

// The frame before the audio that tells the frame count and the stream's
// bytes (itself included) behind the side information; false when a frame
// of the first bit rate is too short to hold it.
bool PutXingFrame(Bytes& out, const Stream& s, std::uint64_t streamBytes, bool vbr, int channelMode)
{
    const bool mono = channelMode == 3;
    const std::size_t at = 4 + (s.versionBits == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    const std::size_t size = static_cast<std::size_t>(s.BaseSlots() * s.slotBytes);
    if (at + 16 > size)
        return false;
    const std::size_t frame = out.size();
    PutHeader(out, s, channelMode, false);
    out.resize(frame + at, 0);
    for (char c : std::string_view(vbr ? "Xing" : "Info"))
        out.push_back(static_cast<unsigned char>(c));
    PutBigEndian(out, 3);  // frames and bytes follow
    PutBigEndian(out, static_cast<std::uint32_t>(s.frames));
    PutBigEndian(out, static_cast<std::uint32_t>(std::min<std::uint64_t>(streamBytes + size, 0xFFFFFFFFu)));
    out.resize(frame + size, 0);
    return true;
}

// Silent frames: a header followed by zeros (no bits allocated, empty side
// information), written in large blocks; with two streams, frame i is of
// stream i % 2, each padded on its own account.
bool WriteFrames(File& file, const Stream (&s)[2], int streams, int channelMode, Bytes block)
{
    std::uint64_t remainder[2] = {};
    for (std::uint64_t i = 0; i < s[0].frames; ++i) {
        const Stream& f = s[i % streams];
        std::uint64_t& rest = remainder[i % streams];
        rest += f.Remainder();
        const bool padding = rest >= f.rate;
        if (padding)
            rest -= f.rate;
        const std::size_t start = block.size();
        PutHeader(block, f, channelMode, padding);
        block.resize(start + static_cast<std::size_t>(f.BaseSlots() * f.slotBytes) + (padding ? f.slotBytes : 0), 0);
        if (block.size() >= kFlushSize) {
            if (!file.Write(block.data(), block.size()))
                return false;
            block.clear();
        }
    }
    return file.Write(block.data(), block.size());
}

void PutText(Bytes& out, const std::string& text, std::size_t width)
{
    const std::size_t n = std::min(text.size(), width);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    out.insert(out.end(), width - n, 0);
}

// An ID3v2.3 text frame in ISO-8859-1; comments get language "eng" and no description.
void PutTextFrame(Bytes& out, const char* id, const std::string& text)
{
    if (text.empty())
        return;
    const bool comment = std::string_view(id) == "COMM";
    out.insert(out.end(), id, id + 4);
    PutBigEndian(out, static_cast<std::uint32_t>(1 + (comment ? 4 : 0) + text.size()));
    out.insert(out.end(), {0, 0, 0});
    if (comment)
        out.insert(out.end(), {'e', 'n', 'g', 0});
    out.insert(out.end(), text.begin(), text.end());
}

Bytes TagV2(const MP3GENOPTIONS& o)
{
    Bytes frames;
    PutTextFrame(frames, "TIT2", o.cTitle);
    PutTextFrame(frames, "TPE1", o.cArtist);
    PutTextFrame(frames, "TALB", o.cAlbum);
    PutTextFrame(frames, "TYER", o.cYear);
    PutTextFrame(frames, "COMM", o.cComment);
    std::string genre;  // "(n)"; built piecewise, which GCC 12's -Wrestrict accepts at -O3
    if (o.iStyle != 255)
        genre.append("(").append(std::to_string(o.iStyle)).append(")");
    PutTextFrame(frames, "TCON", genre);
    frames.resize(frames.size() + o.lId3v2Padding, 0);
    Bytes out{'I', 'D', '3', 3, 0, 0};
    const std::size_t size = frames.size();
    for (int shift = 21; shift >= 0; shift -= 7)
        out.push_back(static_cast<unsigned char>(size >> shift & 0x7F));
    out.insert(out.end(), frames.begin(), frames.end());
    return out;
}

Bytes Tag(const MP3GENOPTIONS& o)
{
    Bytes out{'T', 'A', 'G'};
    PutText(out, o.cTitle, 30);
    PutText(out, o.cArtist, 30);
    PutText(out, o.cAlbum, 30);
    PutText(out, o.cYear, 4);
    PutText(out, o.cComment, 30);
    out.push_back(static_cast<unsigned char>(o.iStyle));
    return out;
}

void Put16(Bytes& out, unsigned v)
{
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutId(Bytes& out, std::string_view id)
{
    for (char c : id.substr(0, 4))
        out.push_back(static_cast<unsigned char>(c));
}

// The format chunk's body: MPEGLAYER3WAVEFORMAT (tag 0x55) for layer 3,
// MPEG1WAVEFORMAT (tag 0x50) for layers 1 and 2.
Bytes Format(const Stream& s, const MP3GENOPTIONS& o)
{
    const bool layer3 = o.iLayer == 3;
    Bytes out;
    Put16(out, layer3 ? 0x55 : 0x50);
    Put16(out, o.iChannelMode == 3 ? 1 : 2);
    Put32(out, o.lSampleRate);
    Put32(out, o.lBitRate * 1000 / 8);
    Put16(out, 1);  // block align: frames vary by the padding byte
    Put16(out, 0);
    Put16(out, layer3 ? 12 : 22);
    if (layer3) {
        Put16(out, 1);  // MPEGLAYER3_ID_MPEG
        Put32(out, 0);  // padding as the standard has it
        Put16(out, static_cast<unsigned>(s.BaseSlots() * s.slotBytes));
        Put16(out, 1);
        Put16(out, 0);
    } else {
        constexpr unsigned modes[4] = {1, 2, 4, 8};
        Put16(out, o.iLayer == 1 ? 1 : 2);
        Put32(out, o.lBitRate * 1000);
        Put16(out, modes[o.iChannelMode]);
        Put16(out, 1);  // mode extension 0
        Put16(out, 1);  // no emphasis
        Put16(out, 0x04 | (o.iVersion == 1 ? 0x10 : 0));  // original, MPEG 1
        Put32(out, 0);
        Put32(out, 0);
    }
    return out;
}

// "RIFF" size "WAVE", "fmt " chunk, "fact" chunk, "data" chunk header; the
// stream (and a pad byte when its size is odd) follows.
Bytes RiffHeader(const Stream& s, const MP3GENOPTIONS& o, std::uint32_t dataSize)
{
    const Bytes format = Format(s, o);
    Bytes out;
    PutId(out, "RIFF");
    Put32(out, static_cast<std::uint32_t>(4 + 8 + format.size() + 12 + 8 + dataSize + (dataSize & 1)));
    PutId(out, "WAVE");
    PutId(out, "fmt ");
    Put32(out, static_cast<std::uint32_t>(format.size()));
    out.insert(out.end(), format.begin(), format.end());
    PutId(out, "fact");
    Put32(out, 4);
    Put32(out, static_cast<std::uint32_t>(std::min<std::uint64_t>(s.frames * s.samplesPerFrame, 0xFFFFFFFFu)));
    PutId(out, "data");
    Put32(out, dataSize);
    return out;
}

}  // namespace

bool Mp3GenWrite(const char* FileName, const MP3GENOPTIONS& Options)
{
    Stream streams[2]{};
    const bool vbr = Options.lVbrBitRate != 0;
    if (!Describe(Options, Options.lBitRate, streams[0]) ||
        (vbr && !Describe(Options, Options.lVbrBitRate, streams[1])) ||
        (Options.bRiff && (vbr || Options.bXing || Options.bId3v2)) || Options.lId3v2Padding > (1u << 27))
        return false;
    const std::uint64_t frames = streams[0].frames;
    const std::uint64_t streamBytes =
        vbr ? streams[0].Bytes((frames + 1) / 2) + streams[1].Bytes(frames / 2) : streams[0].TotalBytes();
    if (Options.bRiff && streamBytes > 0xFFFF0000u)
        return false;
    Bytes head = Options.bRiff    ? RiffHeader(streams[0], Options, static_cast<std::uint32_t>(streamBytes))
                 : Options.bId3v2 ? TagV2(Options)
                                  : Bytes{};
    if (Options.bXing && !PutXingFrame(head, streams[0], streamBytes, vbr, Options.iChannelMode))
        return false;
    File file = File::OpenWrite(FileName);
    if (!file.IsOpen())
        return false;
    head.reserve(kFlushSize + 4096);
    if (!WriteFrames(file, streams, vbr ? 2 : 1, Options.iChannelMode, std::move(head)))
        return false;
    if (Options.bRiff && (streamBytes & 1) != 0)
        file.Write("", 1);
    if (Options.bTag) {
        const Bytes tag = Tag(Options);
        file.Write(tag.data(), tag.size());
    }
    // Close reports any failed write above.
    return file.Close();
}
