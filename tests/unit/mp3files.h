// A scratch folder for the tests that read and write files, removed after
// each test, and the byte pieces they build files from. Header-only so that
// the portable tests (also cross-built for Windows) need no support library.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

class Mp3Files : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(dir_); }
    void TearDown() override { std::filesystem::remove_all(dir_, ec_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return Path(name);
    }
    const std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
        ("tandem_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::error_code ec_;
};

inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
inline void Append(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// text cut or padded with Pad to Width bytes
inline void AppendField(Bytes& out, const std::string& text, std::size_t Width, unsigned char Pad = 0)
{
    for (std::size_t i = 0; i < Width; ++i)
        out.push_back(i < text.size() ? static_cast<unsigned char>(text[i]) : Pad);
}
