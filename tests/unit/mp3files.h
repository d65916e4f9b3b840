// A scratch folder for the MP3 reader tests, removed after each test, and
// the byte pieces the tests build files from. Header-only so that the
// portable tests (also cross-built for Windows) need no support library.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

class Mp3Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = std::filesystem::temp_directory_path() /
               ("tandem_" + std::string(test->name()) + "_" + std::to_string(stamp));
        std::filesystem::create_directories(dir_);
    }

    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        const std::string path = Path(name);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << path;
        return path;
    }

    std::filesystem::path dir_;
};

inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

inline void Append(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// text cut or padded with Pad to Width bytes
inline void AppendField(Bytes& out, const std::string& text, std::size_t Width, unsigned char Pad = 0)
{
    for (std::size_t i = 0; i < Width; ++i)
        out.push_back(i < text.size() ? static_cast<unsigned char>(text[i]) : Pad);
}

// A 128-byte ID3v1 tag; every text is given as its whole raw field.
inline Bytes TagBytes(const std::string& Title, const std::string& Artist = "", const std::string& Album = "",
                      const std::string& Year = "", const std::string& Comment = "", unsigned char Genre = 0,
                      const std::string& Header = "TAG")
{
    Bytes tag;
    AppendField(tag, Header, 3);
    AppendField(tag, Title, 30);
    AppendField(tag, Artist, 30);
    AppendField(tag, Album, 30);
    AppendField(tag, Year, 4);
    AppendField(tag, Comment, 30);
    tag.push_back(Genre);
    return tag;
}
