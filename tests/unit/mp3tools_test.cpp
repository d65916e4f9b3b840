// Our readers against mp3info on files that lame made; skipped when either
// tool is missing. Native only: the tools run on the build machine.
#include "mp3.h"
#include "mp3files.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool HaveTool(const char* name)
{
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// value as width little-endian bytes
void AppendLE(Bytes& out, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// 16-bit PCM at 44.1 kHz, all zeros.
Bytes SilentWave(int channels, int seconds)
{
    const std::uint32_t rate = 44100;
    const std::uint32_t data = rate * seconds * channels * 2;
    Bytes wave;
    Append(wave, std::string("RIFF"));
    AppendLE(wave, 36 + data, 4);
    Append(wave, std::string("WAVEfmt "));
    AppendLE(wave, 16, 4);
    AppendLE(wave, 1, 2);
    AppendLE(wave, channels, 2);
    AppendLE(wave, rate, 4);
    AppendLE(wave, rate * channels * 2, 4);
    AppendLE(wave, channels * 2, 2);
    AppendLE(wave, 16, 2);
    Append(wave, std::string("data"));
    AppendLE(wave, data, 4);
    wave.resize(wave.size() + data, 0);
    return wave;
}

std::string Output(const std::string& command)
{
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p) != nullptr)
            out += buf;
        pclose(p);
    }
    return out;
}

int ModeIndex(const std::string& name)
{
    static const char* const names[] = {"stereo", "joint stereo", "dual channel", "mono"};
    for (int i = 0; i < 4; ++i)
        if (name == names[i])
            return i;
    return -1;
}

struct LameCase {
    const char* options;
    int channels;
};

}  // namespace

class Mp3Tools : public Mp3Files {};

TEST_F(Mp3Tools, ReadersAgreeWithMp3InfoOnLameFiles)
{
    if (!HaveTool("lame") || !HaveTool("mp3info"))
        GTEST_SKIP() << "lame or mp3info is not installed";
    const LameCase cases[] = {
        {"-b 128 -m m", 1},
        {"-b 192 -m s", 2},
        {"-b 160 -m j", 2},
        {"-b 64 -m j --resample 22.05", 2},
        {"-b 32 -m m --resample 11.025", 1},
        {"-b 320 -m s --resample 48", 2},
    };
    for (const LameCase& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string wav = Write("in.wav", SilentWave(c.channels, 7));
        const std::string mp3 = Path("out.mp3");
        ASSERT_EQ(std::system(("lame --quiet -t " + std::string(c.options) + " '" + wav + "' '" + mp3 + "'").c_str()), 0);
        // version|layer|kbit/s|kHz|mode|seconds|frames
        std::istringstream line(Output("mp3info -p '%v|%L|%r|%q|%o|%S|%u' '" + mp3 + "'"));
        std::vector<std::string> facts;
        for (std::string field; std::getline(line, field, '|');)
            facts.push_back(field);
        ASSERT_EQ(facts.size(), 7u);
        const double version = std::stod(facts[0]);
        MP3INFO info;
        ASSERT_EQ(MP3InfoRead(mp3.c_str(), &info, 0), 1);
        EXPECT_EQ(info.iVersion, version == 1.0 ? 1 : version == 2.0 ? 2 : 3);
        EXPECT_EQ(info.iLayer, facts[1] == "III" ? 3 : facts[1] == "II" ? 2 : 1);
        EXPECT_EQ(info.lBitRate, std::stoul(facts[2]));
        EXPECT_EQ(info.lSampleRate / 1000, std::stoul(facts[3]));
        EXPECT_EQ(info.iChannelMode, ModeIndex(facts[4]));
        EXPECT_NEAR(info.lLength / 1000.0, std::stod(facts[5]), 1.0);
        // The frame count is estimated from the first frame's size, padding included.
        EXPECT_NEAR(static_cast<double>(info.lFrames), std::stod(facts[6]), 1.0 + 0.015 * std::stod(facts[6]));
    }
}
