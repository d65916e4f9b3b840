// Our readers against mp3info on files that lame made; skipped when either
// tool is missing. Native only: the tools run on the build machine.
#include "mp3.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool HaveTool(const char* name)
{
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

void WriteSilentWave(const std::string& path, int channels, int seconds)
{
    const std::uint32_t rate = 44100;
    const std::uint32_t data = rate * seconds * channels * 2;
    auto put32 = [](std::ofstream& f, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f.put(static_cast<char>(v >> (8 * i)));
    };
    auto put16 = [](std::ofstream& f, unsigned v) {
        f.put(static_cast<char>(v));
        f.put(static_cast<char>(v >> 8));
    };
    std::ofstream f(path, std::ios::binary);
    f.write("RIFF", 4);
    put32(f, 36 + data);
    f.write("WAVEfmt ", 8);
    put32(f, 16);
    put16(f, 1);
    put16(f, channels);
    put32(f, rate);
    put32(f, rate * channels * 2);
    put16(f, channels * 2);
    put16(f, 16);
    f.write("data", 4);
    put32(f, data);
    const std::vector<char> silence(data, 0);
    f.write(silence.data(), static_cast<std::streamsize>(silence.size()));
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

TEST(Mp3Tools, ReadersAgreeWithMp3InfoOnLameFiles)
{
    if (!HaveTool("lame") || !HaveTool("mp3info"))
        GTEST_SKIP() << "lame or mp3info is not installed";
    const std::string dir = testing::TempDir();
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
        const std::string wav = dir + "tandem_lame_in.wav";
        const std::string mp3 = dir + "tandem_lame_out.mp3";
        WriteSilentWave(wav, c.channels, 7);
        ASSERT_EQ(std::system(("lame --quiet -t " + std::string(c.options) + " '" + wav + "' '" + mp3 + "'").c_str()), 0);
        std::istringstream facts(Output("mp3info -p '%v|%L|%r|%q|%o|%S|%u' '" + mp3 + "'"));
        double version = 0;
        std::string layer, bitrate, khz, mode, seconds, frames;
        facts >> version;
        facts.ignore(1);
        std::getline(facts, layer, '|');
        std::getline(facts, bitrate, '|');
        std::getline(facts, khz, '|');
        std::getline(facts, mode, '|');
        std::getline(facts, seconds, '|');
        std::getline(facts, frames);
        MP3INFO info;
        ASSERT_EQ(MP3InfoRead(mp3.c_str(), &info, 0), 1);
        EXPECT_EQ(info.iVersion, version == 1.0 ? 1 : version == 2.0 ? 2 : 3);
        EXPECT_EQ(info.iLayer, layer == "III" ? 3 : layer == "II" ? 2 : 1);
        EXPECT_EQ(info.lBitRate, std::stoul(bitrate));
        EXPECT_EQ(info.lSampleRate / 1000, std::stoul(khz));
        EXPECT_EQ(info.iChannelMode, ModeIndex(mode));
        EXPECT_NEAR(info.lLength / 1000.0, std::stod(seconds), 1.0);
        // The frame count is estimated from the first frame's size, padding included.
        EXPECT_NEAR(static_cast<double>(info.lFrames), std::stod(frames), 1.0 + 0.015 * std::stod(frames));
        std::remove(wav.c_str());
        std::remove(mp3.c_str());
    }
}
