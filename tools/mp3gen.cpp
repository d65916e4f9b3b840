#include "mp3gen.h"

#include "fileio.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr unsigned kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
constexpr unsigned kBitRates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};

struct Stream {
    unsigned versionBits;  // 3 = MPEG 1, 2 = MPEG 2, 0 = MPEG 2.5
    unsigned layerBits;    // 3 = layer 1, 2 = layer 2, 1 = layer 3
    unsigned bitRateIndex;
    unsigned rateIndex;
    unsigned samplesPerFrame;
    unsigned slotBytes;    // 4 for layer 1, else 1
    unsigned coefficient;  // bytes per frame = coefficient * bit rate / rate (+ padding), in slots
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
    if (o.iVersion < 1 || o.iVersion > 3 || o.iLayer < 1 || o.iLayer > 3 || o.iChannelMode < 0 || o.iChannelMode > 3)
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
    if (o.iLayer == 1) {
        s.samplesPerFrame = 384;
        s.slotBytes = 4;
        s.coefficient = 12;
    } else {
        s.samplesPerFrame = o.iLayer == 3 && !mpeg1 ? 576 : 1152;
        s.slotBytes = 1;
        s.coefficient = s.samplesPerFrame / 8;
    }
    return true;
}

void PutHeader(Bytes& out, const Stream& s, const MP3GENOPTIONS& o, bool padding)
{
    out.push_back(0xFF);
    out.push_back(static_cast<unsigned char>(0xE0 | s.versionBits << 3 | s.layerBits << 1 | 1));
    out.push_back(static_cast<unsigned char>(s.bitRateIndex << 4 | s.rateIndex << 2 | (padding ? 2 : 0)));
    out.push_back(static_cast<unsigned char>(static_cast<unsigned>(o.iChannelMode) << 6 | 0x04));
}

// Silent frames: a header followed by zeros (empty side information).
Bytes Frames(const Stream& s, const MP3GENOPTIONS& o)
{
    const std::uint64_t slotsNum = static_cast<std::uint64_t>(s.coefficient) * o.lBitRate * 1000;
    const std::uint64_t frames =
        (static_cast<std::uint64_t>(o.lDurationMs) * o.lSampleRate + s.samplesPerFrame * 500ull) /
        (s.samplesPerFrame * 1000ull);
    Bytes out;
    out.reserve(static_cast<std::size_t>(frames * (slotsNum / o.lSampleRate + 1) * s.slotBytes));
    std::uint64_t remainder = 0;
    for (std::uint64_t i = 0; i < frames; ++i) {
        remainder += slotsNum % o.lSampleRate;
        const bool padding = remainder >= o.lSampleRate;
        if (padding)
            remainder -= o.lSampleRate;
        const std::size_t size = static_cast<std::size_t>((slotsNum / o.lSampleRate + (padding ? 1 : 0)) * s.slotBytes);
        const std::size_t start = out.size();
        PutHeader(out, s, o, padding);
        out.resize(start + size, 0);
    }
    return out;
}

void PutText(Bytes& out, const std::string& text, std::size_t width)
{
    const std::size_t n = std::min(text.size(), width);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    out.insert(out.end(), width - n, 0);
}

void PutTag(Bytes& out, const MP3GENOPTIONS& o)
{
    out.insert(out.end(), {'T', 'A', 'G'});
    PutText(out, o.cTitle, 30);
    PutText(out, o.cArtist, 30);
    PutText(out, o.cAlbum, 30);
    PutText(out, o.cYear, 4);
    PutText(out, o.cComment, 30);
    out.push_back(static_cast<unsigned char>(o.iStyle));
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

void PutId(Bytes& out, const char* id) { out.insert(out.end(), id, id + 4); }

// A WAVE file whose "data" chunk holds the MPEG stream (format tag 0x55).
Bytes Riff(const Bytes& stream, const MP3GENOPTIONS& o)
{
    const unsigned channels = o.iChannelMode == 3 ? 1 : 2;
    Bytes out;
    PutId(out, "RIFF");
    Put32(out, static_cast<std::uint32_t>(4 + 8 + 30 + 8 + stream.size()));
    PutId(out, "WAVE");
    PutId(out, "fmt ");
    Put32(out, 30);
    Put16(out, 0x55);
    Put16(out, channels);
    Put32(out, o.lSampleRate);
    Put32(out, o.lBitRate * 1000 / 8);
    Put16(out, 1);
    Put16(out, 0);
    Put16(out, 12);
    Put16(out, 1);
    Put32(out, 2);
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, 0);
    PutId(out, "data");
    Put32(out, static_cast<std::uint32_t>(stream.size()));
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

}  // namespace

bool Mp3GenWrite(const char* FileName, const MP3GENOPTIONS& Options)
{
    Stream stream{};
    if (!Describe(Options, stream))
        return false;
    Bytes bytes = Frames(stream, Options);
    if (Options.bRiff)
        bytes = Riff(bytes, Options);
    if (Options.bTag)
        PutTag(bytes, Options);
    File file = File::OpenWrite(FileName);
    return file.Write(bytes.data(), bytes.size()) && file.Close();
}
