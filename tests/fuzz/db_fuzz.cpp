// Arbitrary bytes as a database file: restoring never crashes or leaks,
// whatever was restored (in whole or in part) stores again, and that file
// reads back into a database that stores to the very same bytes.
#include "fileio.h"
#include "fndb.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string ScratchPath(const char* suffix)
{
    return std::string("/tmp/tandem-db-fuzz-").append(std::to_string(getpid())).append(suffix);
}

std::string Contents(const std::string& path)
{
    File file = File::OpenRead(path.c_str());
    const std::int64_t size = file.Size();
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size < 0 || !file.Read(bytes.data(), bytes.size()))
        std::abort();
    return bytes;
}

void StoreOrDie(DB* db, const std::string& path)
{
    DBSetPath(db, path.c_str());
    if (DBStore(db) != 1)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string input = ScratchPath(".tdb");
    static const std::string copy = ScratchPath("-copy.tdb");
    static const std::string again = ScratchPath("-again.tdb");
    File file = File::OpenWrite(input.c_str());
    if (!file.Write(data, size) || !file.Close())
        return 0;
    DB db{};
    DBInit(&db);
    DBSetPath(&db, input.c_str());
    DBRestore(&db);
    StoreOrDie(&db, copy);
    if (DBRestore(&db) != 1)
        std::abort();
    StoreOrDie(&db, again);
    if (Contents(copy) != Contents(again))
        std::abort();
    DBFree(&db);
    return 0;
}
