// mp3gen: writes a silent MPEG audio file for tests and the demo.
#include "mp3gen.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: mp3gen OUT.mp3 [--seconds S | --ms MS] [--bitrate K] [--rate HZ] [--version 1|2|2.5]\n"
                 "              [--layer 1|2|3] [--mode stereo|joint|dual|mono] [--title T] [--artist A]\n"
                 "              [--album B] [--year Y] [--comment C] [--genre 0..255] [--tags v1|v2|both]\n"
                 "              [--id3v2-padding N] [--xing] [--vbr K] [--riff]\n");
    return 2;
}

bool Choice(const char* name, const char* const* names, int count, int first, int& value)
{
    for (int i = 0; i < count; ++i)
        if (std::strcmp(name, names[i]) == 0) {
            value = first + i;
            return true;
        }
    return false;
}

// A whole decimal number up to Max, nothing else.
template <typename T>
bool Number(const char* text, unsigned long Max, T& value)
{
    if (text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long n = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || n > Max)
        return false;
    value = static_cast<T>(n);
    return true;
}

bool Seconds(const char* text, unsigned& ms)
{
    char* end = nullptr;
    const double s = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(s) || s < 0 || s * 1000 > 4294967295.0)
        return false;
    ms = static_cast<unsigned>(std::lround(s * 1000));
    return true;
}

bool Text(const char* value, std::string& field, bool& tag)
{
    field = value;
    tag = true;
    return true;
}

bool Option(const std::string& flag, const char* value, MP3GENOPTIONS& o)
{
    static constexpr const char* versions[] = {"1", "2", "2.5"};
    static constexpr const char* modes[] = {"stereo", "joint", "dual", "mono"};
    if (flag == "--seconds")
        return Seconds(value, o.lDurationMs);
    if (flag == "--ms")
        return Number(value, 0xFFFFFFFFul, o.lDurationMs);
    if (flag == "--bitrate")
        return Number(value, 448, o.lBitRate);
    if (flag == "--rate")
        return Number(value, 48000, o.lSampleRate);
    if (flag == "--version")
        return Choice(value, versions, 3, 1, o.iVersion);
    if (flag == "--layer")
        return Number(value, 3, o.iLayer);
    if (flag == "--mode")
        return Choice(value, modes, 4, 0, o.iChannelMode);
    if (flag == "--genre")
        return Number(value, 255, o.iStyle) && (o.bTag = true);
    if (flag == "--title")
        return Text(value, o.cTitle, o.bTag);
    if (flag == "--artist")
        return Text(value, o.cArtist, o.bTag);
    if (flag == "--album")
        return Text(value, o.cAlbum, o.bTag);
    if (flag == "--year")
        return Text(value, o.cYear, o.bTag);
    if (flag == "--comment")
        return Text(value, o.cComment, o.bTag);
    if (flag == "--id3v2-padding")
        return Number(value, 1ul << 27, o.lId3v2Padding);
    if (flag == "--vbr")
        return Number(value, 448, o.lVbrBitRate);
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '-')
        return Usage();
    MP3GENOPTIONS o;
    std::string tags = "v1";
    for (int i = 2; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--riff" || flag == "--xing")
            (flag == "--riff" ? o.bRiff : o.bXing) = true;
        else if (flag == "--tags" && i + 1 < argc)
            tags = argv[++i];
        else if (i + 1 >= argc || !Option(flag, argv[++i], o))
            return Usage();
    }
    if (tags != "v1" && tags != "v2" && tags != "both")
        return Usage();
    // The texts ask for a tag; --tags says which.
    o.bId3v2 = o.bTag && tags != "v1";
    o.bTag = o.bTag && tags != "v2";
    if (!Mp3GenWrite(argv[1], o)) {
        std::fprintf(stderr, "mp3gen: cannot write %s with these options\n", argv[1]);
        return 1;
    }
    return 0;
}
