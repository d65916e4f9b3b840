// Arbitrary bytes as an MP3 file for the metadata readers. The first byte
// picks a shape that gets the rest past the readers' first checks: as it
// is, behind "ID3" (its version, flags, size and frames follow), or behind a
// frame header with "Xing" or "VBRI" where the readers look for them (the
// counts follow). The readers work on file names, so each input is written
// to a scratch file first.
#include "fileio.h"
#include "fncomm.h"
#include "fnsong.h"
#include "mp3.h"

#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::vector<unsigned char> kShapes[] = {
    {},
    {'I', 'D', '3'},
    {0xFF, 0xFB, 0x10, 0x64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     0, 0, 0, 0, 'X', 'i', 'n', 'g'},
    {0xFF, 0xF3, 0x80, 0xC4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'I', 'n', 'f', 'o'},
    {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     0, 0, 0, 0, 'V', 'B', 'R', 'I'},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/tandem-mp3-fuzz-" + std::to_string(getpid()) + ".mp3";
    if (size == 0)
        return 0;
    const std::vector<unsigned char>& shape = kShapes[data[0] % std::size(kShapes)];
    File file = File::OpenWrite(path.c_str());
    if (!file.Write(shape.data(), shape.size()) || !file.Write(data + 1, size - 1) || !file.Close())
        return 0;
    MP3INFO info;
    MP3InfoRead(path.c_str(), &info, 0);
    MP3ID3V2 tag;
    MP3ID3v2Read(path.c_str(), &tag);
    SONG song;
    ReadSongInfos(path.c_str(), &song, 1);
    return 0;
}
