// A small owning file handle for the portable core, and the safe way to
// write a file in place of another.
//
// Reads and writes are exact: a short read or write is a failure, never a
// partly filled record. Integers are 32-bit little-endian. Reads and writes go
// through a buffer of the handle's own, so a record of many fields costs
// neither a system call nor a C library call per field. Once any operation
// has failed, Ok() stays false. Writing goes through the platform seam, so
// the native tests can make any write, flush or rename fail.
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
    // Creates (or truncates) a file for writing.
    static File OpenWrite(const char* path);
    // Creates a file that did not exist, for this handle alone; fails,
    // touching nothing, when one does (Error() then says so).
    static File CreateNew(const char* path);

    bool IsOpen() const { return fp_ != nullptr || out_ != nullptr; }
    bool Ok() const { return IsOpen() && ok_; }
    // The system's error code of the first failure (0 when there was none,
    // or it had none, like a short read).
    std::uint32_t Error() const { return error_; }

    // Reading: size in bytes at the time of the call; -1 when unknown.
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
    // Writing: hands everything written to the disk itself, not only to the
    // system, so that it survives a power cut. True when every operation so
    // far succeeded.
    bool Commit();

    // Flushes and closes; true when every operation on the file succeeded.
    bool Close();

private:
    File(std::FILE* fp, void* out);
    bool Fail(std::uint32_t error = 0);
    bool Flush();
    bool Drain(const void* data, std::size_t size);
    void Release();

    std::FILE* fp_ = nullptr;  // reading
    void* out_ = nullptr;      // writing: the system's handle
    bool ok_ = true;
    std::uint32_t error_ = 0;
    // Writing: buf_[0, end_) waits for the file. Reading: buf_[pos_, end_) came from it.
    std::unique_ptr<unsigned char[]> buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

constexpr std::size_t MAXL_SAVEPATH = 300;

// Writes a file in place of another so that a failure or a power cut leaves
// either the old file or the whole new one. The writes go to a temporary
// file beside the target, named "~TNDM<hex>.tmp"; one of those names left
// by a crash is removed and used again. Commit hands the temporary file to
// the disk and moves it over the target in one step, keeping the target's
// attributes. A save that is not committed removes its temporary file and
// leaves the target untouched.
class FileSave {
public:
    explicit FileSave(const char* Path);
    ~FileSave();
    FileSave(const FileSave&) = delete;
    FileSave& operator=(const FileSave&) = delete;

    // The temporary file; not open when none could be created.
    File& Out() { return file_; }
    // When Complete and every write succeeded: flushes the temporary file to
    // the disk and replaces the target by it, trying again for about two
    // seconds while another program holds the target. True when the target
    // is replaced; otherwise the temporary file is gone.
    bool Commit(bool Complete);
    // Why the save failed: the system's error code of the first failure.
    std::uint32_t Error() const { return error_; }

private:
    void Discard();

    char target_[MAXL_SAVEPATH] = "";
    char temp_[MAXL_SAVEPATH] = "";
    File file_;
    std::uint32_t error_ = 0;
};
