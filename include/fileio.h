// A small owning file handle for the portable core.
//
// Reads and writes are exact: a short read or write is a failure, never a
// partly filled record. Integers are 32-bit little-endian. Reads and writes go
// through a buffer of the handle's own, so a record of many fields costs
// neither a system call nor a C library call per field. Once any operation
// has failed, Ok() stays false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Opens an existing regular file for reading; directories and devices fail.
    static File OpenRead(const char* path);
    // Whether anything (file, folder) exists under path.
    static bool Exists(const char* path);
    // Creates (or truncates) a file for writing.
    static File OpenWrite(const char* path);
    // Creates a file that did not exist; fails, touching nothing, when one does.
    static File CreateNew(const char* path);

    bool IsOpen() const { return fp_ != nullptr; }
    bool Ok() const { return fp_ != nullptr && ok_; }

    // Size in bytes at the time of the call; -1 when unknown.
    std::int64_t Size();
    bool Seek(std::int64_t offset);
    bool SeekFromEnd(std::int64_t offset);

    bool Read(void* data, std::size_t size);
    // Reads up to size bytes; returns how many arrived.
    std::size_t ReadSome(void* data, std::size_t size);
    // Passes over size bytes; false when the file ends first.
    bool Skip(std::uint64_t size);
    bool ReadU32(std::uint32_t& value);
    bool ReadI32(std::int32_t& value);

    bool Write(const void* data, std::size_t size);
    // A text field of size bytes: the text up to its terminator, then zeros,
    // so nothing stale behind the terminator reaches the file.
    bool WriteText(const char* text, std::size_t size);
    bool WriteU32(std::uint32_t value);
    bool WriteI32(std::int32_t value);

    // Flushes and closes; true when every operation on the file succeeded.
    bool Close();

private:
    File(std::FILE* fp, bool writing);
    bool Fail();
    bool Flush();
    void Release();

    std::FILE* fp_ = nullptr;
    bool ok_ = true;
    bool writing_ = false;
    // Writing: buf_[0, end_) waits for the file. Reading: buf_[pos_, end_) came from it.
    std::unique_ptr<unsigned char[]> buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};
