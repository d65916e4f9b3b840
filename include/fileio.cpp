#include "fileio.h"

#include "platform.h"
#include "string2.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kBuffer = 64 * 1024;
constexpr DWORD kMaxChunk = 1u << 30;

bool IsRegularFile(std::FILE* fp)
{
    struct stat st {};
    return fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode);
}

HANDLE CreateOut(const char* path, DWORD disposition)
{
    if (path == nullptr || path[0] == '\0') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return out != INVALID_HANDLE_VALUE ? out : nullptr;
}

}  // namespace

File::File(std::FILE* fp, void* out) : fp_(fp), out_(out), buf_(new unsigned char[kBuffer]) {}

File::~File() { Release(); }

// Without Close() pending writes still reach the file, but nobody learns whether they did.
void File::Release()
{
    if (fp_ != nullptr)
        std::fclose(fp_);
    if (out_ != nullptr) {
        Flush();
        CloseHandle(out_);
    }
    fp_ = nullptr;
    out_ = nullptr;
}

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Release();
        fp_ = std::exchange(other.fp_, nullptr);
        out_ = std::exchange(other.out_, nullptr);
        ok_ = other.ok_;
        error_ = other.error_;
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
    return File(fp, nullptr);
}

File File::OpenWrite(const char* path)
{
    HANDLE out = CreateOut(path, CREATE_ALWAYS);
    return out != nullptr ? File(nullptr, out) : File();
}

File File::CreateNew(const char* path)
{
    HANDLE out = CreateOut(path, CREATE_NEW);
    File file = out != nullptr ? File(nullptr, out) : File();
    if (out == nullptr)
        file.error_ = GetLastError();
    return file;
}

bool File::Fail(std::uint32_t error)
{
    if (ok_)
        error_ = error;
    ok_ = false;
    return false;
}

// Hands data to the system; a write that takes nothing means the disk is full.
bool File::Drain(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(out_, bytes, static_cast<DWORD>(std::min<std::size_t>(size, kMaxChunk)), &written, nullptr))
            return Fail(GetLastError());
        if (written == 0)
            return Fail(ERROR_DISK_FULL);
        bytes += written;
        size -= written;
    }
    return true;
}

// Writing: hands the buffer to the file. Reading: drops what was read ahead.
bool File::Flush()
{
    const std::size_t pending = end_;
    pos_ = end_ = 0;
    return out_ == nullptr || pending == 0 || Drain(buf_.get(), pending);
}

std::int64_t File::Size()
{
    struct stat st {};
    if (fp_ == nullptr || fstat(fileno(fp_), &st) != 0)
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
    if (fp_ == nullptr)
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
    if (out_ == nullptr)
        return Fail();
    if (size == 0)
        return true;
    if (size > kBuffer - end_ && !Flush())
        return false;
    if (size >= kBuffer)
        return Drain(data, size);
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

bool File::Commit()
{
    if (out_ == nullptr || !Flush())
        return Fail();
    if (!FlushFileBuffers(out_))
        return Fail(GetLastError());
    return ok_;
}

bool File::Close()
{
    if (!IsOpen())
        return false;
    Flush();  // a failure of the flush or the close clears ok_
    if (fp_ != nullptr ? std::fclose(fp_) != 0 : CloseHandle(out_) == FALSE)
        Fail(GetLastError());
    fp_ = nullptr;
    out_ = nullptr;
    return ok_;
}

// ---- writing a file in place of another ----

namespace {

constexpr int MAXI_TEMPNAMES = 256;
constexpr int MAXI_REPLACETRIES = 8;
constexpr DWORD REPLACE_PAUSE_MS = 250;  // the tries span about two seconds
// What the replacement takes over from the file it replaces.
constexpr DWORD KEPT_ATTRIBUTES =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// An indexer, a virus scanner or a sync client that holds the target lets
// go after a moment; a read-only file or a folder does not.
bool Transient(DWORD Error, DWORD Attributes)
{
    if (Error == ERROR_SHARING_VIOLATION || Error == ERROR_LOCK_VIOLATION)
        return true;
    return Error == ERROR_ACCESS_DENIED && Attributes != INVALID_FILE_ATTRIBUTES &&
           (Attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

bool Replace(const char* Temp, const char* Target, DWORD& Error)
{
    const DWORD attributes = GetFileAttributesA(Target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & KEPT_ATTRIBUTES) != 0)
        SetFileAttributesA(Temp, attributes & KEPT_ATTRIBUTES);
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExA(Temp, Target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        Error = GetLastError();
        if (attempt == MAXI_REPLACETRIES || !Transient(Error, attributes))
            return false;
        Sleep(REPLACE_PAUSE_MS);
    }
}

}  // namespace

FileSave::FileSave(const char* Path)
{
    const char* slash = Path != nullptr ? std::strrchr(Path, '\\') : nullptr;
    if (const char* other = Path != nullptr ? std::strrchr(Path, '/') : nullptr;
        other != nullptr && (slash == nullptr || other > slash))
        slash = other;
    const std::size_t dirLen = slash != nullptr ? static_cast<std::size_t>(slash - Path + 1) : 0;
    if (Path == nullptr || Path[0] == '\0' || !StrCopy(target_, Path) || dirLen + sizeof "~TNDM00.tmp" > sizeof temp_) {
        error_ = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    for (int i = 0; i < MAXI_TEMPNAMES && !file_.IsOpen(); ++i) {
        StrFormat(temp_, sizeof temp_, "%.*s~TNDM%02X.tmp", static_cast<int>(dirLen), Path, i);
        file_ = File::CreateNew(temp_);
        // A name of ours that is taken is a crash's leftover, unless a save elsewhere still writes it.
        if (file_.Error() == ERROR_FILE_EXISTS && DeleteFileA(temp_))
            file_ = File::CreateNew(temp_);
        if (!file_.IsOpen() && file_.Error() != ERROR_FILE_EXISTS)
            break;
    }
    if (!file_.IsOpen()) {
        error_ = file_.Error();
        temp_[0] = '\0';
    }
}

FileSave::~FileSave() { Discard(); }

void FileSave::Discard()
{
    file_.Close();
    if (temp_[0] != '\0')
        DeleteFileA(temp_);
    temp_[0] = '\0';
}

bool FileSave::Commit(bool Complete)
{
    if (temp_[0] == '\0')
        return false;
    bool ok = Complete && file_.Commit();
    ok = file_.Close() && ok;
    // A write that failed without a system error (the caller's own check) counts as a write fault.
    DWORD error = file_.Error() != 0 ? file_.Error() : ERROR_WRITE_FAULT;
    if (ok && !Replace(temp_, target_, error))
        ok = false;
    if (!ok) {
        Discard();
        error_ = error;
        return false;
    }
    temp_[0] = '\0';
    return true;
}
