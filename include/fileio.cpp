#include "fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kBuffer = 64 * 1024;

bool IsRegularFile(std::FILE* fp)
{
    struct stat st {};
    return fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

File::File(std::FILE* fp, bool writing) : fp_(fp), writing_(writing), buf_(new unsigned char[kBuffer]) {}

File::~File() { Release(); }

// Without Close() pending writes still reach the file, but nobody learns whether they did.
void File::Release()
{
    if (fp_ == nullptr)
        return;
    Flush();
    std::fclose(fp_);
    fp_ = nullptr;
}

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Release();
        fp_ = std::exchange(other.fp_, nullptr);
        ok_ = other.ok_;
        writing_ = other.writing_;
        buf_ = std::move(other.buf_);
        pos_ = std::exchange(other.pos_, 0);
        end_ = std::exchange(other.end_, 0);
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
    return File(fp, false);
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
    return File(fp, true);
}

File File::CreateNew(const char* path)
{
#ifdef _WIN32
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_BINARY;
#else
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL;
#endif
    if (path == nullptr || path[0] == '\0')
        return File();
    const int fd = open(path, kFlags, 0644);
    if (fd < 0)
        return File();
    std::FILE* fp = fdopen(fd, "wb");
    if (fp == nullptr) {
        close(fd);
        return File();
    }
    return File(fp, true);
}

bool File::Fail()
{
    ok_ = false;
    return false;
}

// Writing: hands the buffer to the file. Reading: drops what was read ahead.
bool File::Flush()
{
    const std::size_t pending = end_;
    pos_ = end_ = 0;
    if (!writing_ || pending == 0)
        return true;
    return std::fwrite(buf_.get(), 1, pending, fp_) == pending || Fail();
}

std::int64_t File::Size()
{
    if (fp_ == nullptr)
        return -1;
    struct stat st {};
    if ((writing_ && (!Flush() || std::fflush(fp_) != 0)) || fstat(fileno(fp_), &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool File::Seek(std::int64_t offset)
{
    if (fp_ == nullptr || !Flush() || offset < 0 || fseeko(fp_, static_cast<off_t>(offset), SEEK_SET) != 0)
        return Fail();
    return true;
}

bool File::SeekFromEnd(std::int64_t offset)
{
    if (fp_ == nullptr || !Flush() || fseeko(fp_, static_cast<off_t>(offset), SEEK_END) != 0)
        return Fail();
    return true;
}

std::size_t File::ReadSome(void* data, std::size_t size)
{
    if (fp_ == nullptr || writing_)
        return 0;
    auto* out = static_cast<unsigned char*>(data);
    std::size_t got = 0;
    while (got < size) {
        if (pos_ == end_) {
            if (size - got >= kBuffer)  // a big read goes straight to its place
                return got + std::fread(out + got, 1, size - got, fp_);
            pos_ = 0;
            end_ = std::fread(buf_.get(), 1, kBuffer, fp_);
            if (end_ == 0)
                break;
        }
        const std::size_t n = std::min(size - got, end_ - pos_);
        std::memcpy(out + got, buf_.get() + pos_, n);
        pos_ += n;
        got += n;
    }
    return got;
}

bool File::Read(void* data, std::size_t size)
{
    if (ReadSome(data, size) != size)
        return Fail();
    return true;
}

bool File::Skip(std::uint64_t size)
{
    unsigned char scratch[512];
    for (; size > 0; size -= std::min<std::uint64_t>(size, sizeof scratch))
        if (!Read(scratch, static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof scratch))))
            return false;
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
    if (fp_ == nullptr || !writing_)
        return Fail();
    if (size == 0)
        return true;
    if (size > kBuffer - end_ && !Flush())
        return false;
    if (size >= kBuffer)
        return std::fwrite(data, 1, size, fp_) == size || Fail();
    std::memcpy(buf_.get() + end_, data, size);
    end_ += size;
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
    const bool flushed = Flush() && std::fflush(fp_) == 0;
    const bool closed = std::fclose(fp_) == 0;
    fp_ = nullptr;
    return ok_ && flushed && closed;
}
