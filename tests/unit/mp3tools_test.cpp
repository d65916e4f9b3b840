// Our reader against ffprobe and mutagen on files that lame and ffmpeg made;
// skipped when a tool is missing. Native only: the tools run on the build
// machine. Prints one line per file: encoder, our length, theirs, title.
#include "fncomm.h"
#include "fnsong.h"
#include "mp3files.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

bool Shell(const std::string& command) { return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0; }

std::string Output(const std::string& command)
{
    std::string out;
    std::FILE* p = popen(command.c_str(), "r");
    for (int c; p != nullptr && (c = std::fgetc(p)) != EOF;)
        out += static_cast<char>(c);
    return p != nullptr && pclose(p) == 0 ? out : "";
}

// mutagen's length, the encoder delay and padding it trimmed from it (we
// count whole frames, as ffprobe does), and the title.
constexpr char kMutagen[] = R"(import sys, mutagen, mutagen.mp3 as M; from mutagen.mp3._util import XingHeader as X
f = open(sys.argv[1], 'rb'); i = M.MP3(f).info; f.seek(i.frame_offset + X.get_offset(i))
try: l = X(f).lame_header; t = l.encoder_delay_start + l.encoder_padding_end if l else 0
except Exception: t = 0
print(i.length, t / i.sample_rate, mutagen.File(sys.argv[1], easy=True)['title'][0]))";

}  // namespace

using Mp3Tools = Mp3Files;

TEST_F(Mp3Tools, LengthsAndTitlesAgreeWithFfprobeAndMutagen)
{
    if (!Shell("command -v lame && command -v ffmpeg && command -v ffprobe && /usr/bin/python3 -c 'import mutagen'"))
        GTEST_SKIP() << "lame, ffmpeg, ffprobe or python3-mutagen is missing";
    ASSERT_TRUE(Shell("ffmpeg -y -f lavfi -i sine=frequency=440:duration=20.04 -ac 2 " + Path("in.wav")));
    std::ofstream(Path("m.py")) << kMutagen;
    const std::string encoders[] = {
        "lame -b 128", "lame -V 2", "lame --abr 160", "lame -m m --resample 22.05 -b 32", "lame -m m --resample 22.05 -V 6",
        "lame -V 4 --id3v1-only", "lame -V 4 --id3v2-only", "lame -V 4 --add-id3v2", "lame -V 4 --pad-id3v2-size 120000",
        "ffmpeg -c:a libmp3lame -q:a 3", "ffmpeg -c:a libmp3lame -b:a 192k -id3v2_version 3"};
    for (const std::string& encoder : encoders) {
        const std::string mp3 = Path("out.mp3"), title = "Title " + std::to_string(&encoder - encoders);
        ASSERT_TRUE(Shell(encoder.rfind("lame", 0) == 0 ? encoder + " --tt '" + title + "' " + Path("in.wav") + " " + mp3
                                                      : "ffmpeg -y -i " + Path("in.wav") + encoder.substr(6) + " -metadata title='" + title + "' " + mp3));
        const double ffprobe = std::atof(Output("ffprobe -v error -show_entries format=duration -of csv=p=0 " + mp3).c_str());
        std::istringstream mutagen(Output("/usr/bin/python3 " + Path("m.py") + " " + mp3));
        double length = 0, trim = 0;
        std::string theirTitle;
        std::getline(mutagen >> length >> trim >> std::ws, theirTitle);
        SONG song{};
        EXPECT_EQ(ReadSongInfos(mp3.c_str(), &song, 1), RSI_TAG) << encoder;
        std::printf("%-50s ours %6u ms  ffprobe %6.0f ms  mutagen %6.0f ms (+%2.0f ms trimmed)  title \"%s\"\n", encoder.c_str(),
                    song.General.lLength, ffprobe * 1000, length * 1000, trim * 1000, song.Desc.cTitle);
        EXPECT_NEAR(song.General.lLength, ffprobe * 1000, 50) << encoder;
        EXPECT_NEAR(song.General.lLength, (length + trim) * 1000, 50) << encoder;
        EXPECT_EQ(song.Desc.cTitle + ("/" + theirTitle), title + "/" + title) << encoder;
    }
}
