#include "fileio.h"

#include <sys/stat.h>

#include <utility>

namespace {

constexpr std::size_t kWriteBuffer = 64 * 1024;

bool IsRegularFile(std::FILE* fp)
{
    struct stat st {};
    return fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

File::~File()
{
    if (fp_ != nullptr)
        std::fclose(fp_);
}

File::File(File&& other) noexcept : fp_(std::exchange(other.fp_, nullptr)), ok_(other.ok_) {}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        if (fp_ != nullptr)
            std::fclose(fp_);
        fp_ = std::exchange(other.fp_, nullptr);
        ok_ = other.ok_;
    }
    return *this;
}

File File::OpenRead(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return File();
    std::FILE* fp = std::fopen(path, "rb");
    if (fp == nullptr)
        return File();
    if (!IsRegularFile(fp)) {
        std::fclose(fp);
        return File();
    }
    return File(fp);
}

bool File::Exists(const char* path)
{
    struct stat st {};
    return path != nullptr && path[0] != '\0' && stat(path, &st) == 0;
}

File File::OpenWrite(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return File();
    std::FILE* fp = std::fopen(path, "wb");
    if (fp == nullptr)
        return File();
    std::setvbuf(fp, nullptr, _IOFBF, kWriteBuffer);
    return File(fp);
}

bool File::Fail()
{
    ok_ = false;
    return false;
}

std::int64_t File::Size()
{
    if (fp_ == nullptr)
        return -1;
    struct stat st {};
    if (fstat(fileno(fp_), &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool File::Seek(std::int64_t offset)
{
    if (fp_ == nullptr || offset < 0 || fseeko(fp_, static_cast<off_t>(offset), SEEK_SET) != 0)
        return Fail();
    return true;
}

bool File::SeekFromEnd(std::int64_t offset)
{
    if (fp_ == nullptr || fseeko(fp_, static_cast<off_t>(offset), SEEK_END) != 0)
        return Fail();
    return true;
}

std::size_t File::ReadSome(void* data, std::size_t size)
{
    if (fp_ == nullptr || size == 0)
        return 0;
    return std::fread(data, 1, size, fp_);
}

bool File::Read(void* data, std::size_t size)
{
    if (ReadSome(data, size) != size)
        return Fail();
    return true;
}

bool File::ReadU32(std::uint32_t& value)
{
    unsigned char b[4];
    if (!Read(b, sizeof b))
        return false;
    value = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
            static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    return true;
}

bool File::ReadI32(std::int32_t& value)
{
    std::uint32_t u = 0;
    if (!ReadU32(u))
        return false;
    value = static_cast<std::int32_t>(u);
    return true;
}

bool File::Write(const void* data, std::size_t size)
{
    if (fp_ == nullptr)
        return Fail();
    if (size != 0 && std::fwrite(data, 1, size, fp_) != size)
        return Fail();
    return true;
}

bool File::WriteText(const char* text, std::size_t size)
{
    static constexpr char zeros[256] = {};
    std::size_t n = 0;
    while (n < size && text[n] != '\0')
        ++n;
    bool ok = Write(text, n);
    for (std::size_t left = size - n; left > 0;) {
        const std::size_t chunk = left < sizeof zeros ? left : sizeof zeros;
        ok = Write(zeros, chunk) && ok;
        left -= chunk;
    }
    return ok;
}

bool File::WriteU32(std::uint32_t value)
{
    const unsigned char b[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return Write(b, sizeof b);
}

bool File::WriteI32(std::int32_t value) { return WriteU32(static_cast<std::uint32_t>(value)); }

bool File::Close()
{
    if (fp_ == nullptr)
        return false;
    const bool flushed = std::fflush(fp_) == 0;
    const bool closed = std::fclose(fp_) == 0;
    fp_ = nullptr;
    return ok_ && flushed && closed;
}
