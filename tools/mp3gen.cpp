#include "mp3gen.h"

#include "fileio.h"

#include <algorithm>
#include <cstring>
#include <string_view>
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
    std::uint64_t TotalBytes() const { return (frames * BaseSlots() + frames * Remainder() / rate) * slotBytes; }
};

int Index(const unsigned* table, int size, unsigned value)
{
    for (int i = 0; i < size; ++i)
        if (table[i] == value)
            return i;
    return -1;
}

bool Describe(const MP3GENOPTIONS& o, Stream& s)
{
    if (o.iVersion < 1 || o.iVersion > 3 || o.iLayer < 1 || o.iLayer > 3 || o.iChannelMode < 0 ||
        o.iChannelMode > 3 || (o.bTag && (o.iStyle < 0 || o.iStyle > 255)))
        return false;
    const int rate = Index(kSampleRates[o.iVersion - 1], 3, o.lSampleRate);
    const int row = o.iVersion == 1 ? o.iLayer - 1 : o.iLayer == 1 ? 3 : 4;
    const int bitRate = o.lBitRate == 0 ? -1 : Index(kBitRates[row], 15, o.lBitRate);
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
    s.slotsNum = static_cast<std::uint64_t>(coefficient) * o.lBitRate * 1000;
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

// Silent frames: a header followed by zeros (no bits allocated, empty side
// information), written in large blocks.
bool WriteFrames(File& file, const Stream& s, int channelMode)
{
    const std::size_t base = static_cast<std::size_t>(s.BaseSlots() * s.slotBytes);
    Bytes block;
    block.reserve(kFlushSize + base + s.slotBytes);
    std::uint64_t remainder = 0;
    for (std::uint64_t i = 0; i < s.frames; ++i) {
        remainder += s.Remainder();
        const bool padding = remainder >= s.rate;
        if (padding)
            remainder -= s.rate;
        const std::size_t start = block.size();
        PutHeader(block, s, channelMode, padding);
        block.resize(start + base + (padding ? s.slotBytes : 0), 0);
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
    Stream stream{};
    if (!Describe(Options, stream))
        return false;
    const std::uint64_t streamBytes = stream.TotalBytes();
    if (Options.bRiff && streamBytes > 0xFFFF0000u)
        return false;
    File file = File::OpenWrite(FileName);
    if (!file.IsOpen())
        return false;
    if (Options.bRiff) {
        const Bytes head = RiffHeader(stream, Options, static_cast<std::uint32_t>(streamBytes));
        file.Write(head.data(), head.size());
    }
    if (!WriteFrames(file, stream, Options.iChannelMode))
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
