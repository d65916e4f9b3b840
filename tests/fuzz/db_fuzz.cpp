// Arbitrary bytes as a database file: restoring never crashes or leaks, and
// whatever was restored stores again and reads back.
#include "fileio.h"
#include "fndb.h"

#include <cstdint>
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
    File file = File::OpenWrite(input.c_str());
    if (!file.Write(data, size) || !file.Close())
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
