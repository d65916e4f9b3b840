// Arbitrary bytes as a database file: restoring never crashes or leaks, and
// whatever was restored stores again and reads back.
#include "fndb.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string ScratchPath(const char* suffix)
{
    return "/tmp/tandem-db-fuzz-" + std::to_string(getpid()) + suffix;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string input = ScratchPath(".tdb");
    static const std::string copy = ScratchPath("-copy.tdb");
    std::FILE* f = std::fopen(input.c_str(), "wb");
    if (f == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written)
        return 0;
    DB db{};
    DBInit(&db);
    DBSetPath(&db, input.c_str());
    DBRestore(&db);
    DBSetPath(&db, copy.c_str());
    if (DBStore(&db) != 1)
        std::abort();
    if (DBRestore(&db) != 1)
        std::abort();
    DBFree(&db);
    return 0;
}
