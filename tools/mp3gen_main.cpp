// mp3gen: writes a silent MPEG audio file for tests and the demo.
#include "mp3gen.h"

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
                 "              [--album B] [--year Y] [--comment C] [--genre N] [--riff]\n");
    return 2;
}

bool Mode(const char* name, int& mode)
{
    constexpr const char* modes[] = {"stereo", "joint", "dual", "mono"};
    for (int i = 0; i < 4; ++i)
        if (std::strcmp(name, modes[i]) == 0) {
            mode = i;
            return true;
        }
    return false;
}

bool Version(const char* name, int& version)
{
    if (std::strcmp(name, "2.5") == 0)
        version = 3;
    else if (std::strcmp(name, "1") == 0 || std::strcmp(name, "2") == 0)
        version = std::atoi(name);
    else
        return false;
    return true;
}

unsigned Number(const char* text) { return static_cast<unsigned>(std::strtoul(text, nullptr, 10)); }

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '-')
        return Usage();
    MP3GENOPTIONS o;
    for (int i = 2; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--riff") {
            o.bRiff = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        const char* value = argv[++i];
        bool ok = true;
        if (flag == "--seconds")
            o.lDurationMs = static_cast<unsigned>(std::atof(value) * 1000);
        else if (flag == "--ms")
            o.lDurationMs = Number(value);
        else if (flag == "--bitrate")
            o.lBitRate = Number(value);
        else if (flag == "--rate")
            o.lSampleRate = Number(value);
        else if (flag == "--version")
            ok = Version(value, o.iVersion);
        else if (flag == "--layer")
            o.iLayer = std::atoi(value);
        else if (flag == "--mode")
            ok = Mode(value, o.iChannelMode);
        else if (flag == "--genre")
            o.iStyle = std::atoi(value), o.bTag = true;
        else if (flag == "--title")
            o.cTitle = value, o.bTag = true;
        else if (flag == "--artist")
            o.cArtist = value, o.bTag = true;
        else if (flag == "--album")
            o.cAlbum = value, o.bTag = true;
        else if (flag == "--year")
            o.cYear = value, o.bTag = true;
        else if (flag == "--comment")
            o.cComment = value, o.bTag = true;
        else
            ok = false;
        if (!ok)
            return Usage();
    }
    if (!Mp3GenWrite(argv[1], o)) {
        std::fprintf(stderr, "mp3gen: cannot write %s with these options\n", argv[1]);
        return 1;
    }
    return 0;
}
