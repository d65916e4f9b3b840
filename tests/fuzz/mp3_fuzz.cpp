// Arbitrary bytes as an MP3 file for both metadata readers. The readers work
// on file names, so each input is written to a scratch file first.
#include "fileio.h"
#include "mp3.h"

#include <cstdint>
#include <string>
#include <unistd.h>

namespace {

const std::string& ScratchPath()
{
    static const std::string path = "/tmp/tandem-mp3-fuzz-" + std::to_string(getpid()) + ".mp3";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    File file = File::OpenWrite(ScratchPath().c_str());
    if (!file.Write(data, size) || !file.Close())
        return 0;
    MP3TAG tag;
    const int hasTag = MP3TagRead(ScratchPath().c_str(), &tag);
    char text[MAXL_TAGTEXT + 1];
    MP3TagGetTitle(&tag, text);
    MP3TagGetArtist(&tag, text);
    MP3INFO info;
    MP3InfoRead(ScratchPath().c_str(), &info, hasTag == 1);
    MP3InfoRead(ScratchPath().c_str(), &info, 0);
    return 0;
}
