// Arbitrary bytes as a database file: restoring never crashes or leaks;
// whatever was restored (in whole or in part), with a playlist of every
// track added as a user would, stores again, and that file reads back into
// the same library: every item with the same track, every playlist with
// the same items, and a database that stores to the very same bytes.
#include "fileio.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnpll.h"
#include "fntl.h"

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

// The current playlist, then each playlist's current item, name and items,
// each item as its track's position in the track list.
std::string Structure(DB* db)
{
    std::string shape = std::to_string(ListGetItemIdx(DBGetPLL(db), DBGetCurrentPL(db))) + "\n";
    for (LISTITEM* p = DBGetPLL(db)->First; p != nullptr; p = p->Next) {
        auto* pl = static_cast<PL*>(p->Data);
        shape.append(std::to_string(ListGetItemIdx(PLGetList(pl), PLGetCurrentPLI(pl)))).append(" ").append(PLGetName(pl));
        for (int i = 0; i < PLGetCount(pl); ++i)
            shape.append(" ").append(std::to_string(ListGetItemIdx(DBGetTL(db), PLGetSong(pl, i))));
        shape.append("\n");
    }
    return shape;
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
    PL* all = PLCreate("every track");
    PLLAddPL(DBGetPLL(&db), all);
    for (LISTITEM* t = DBGetTL(&db)->First; t != nullptr; t = t->Next)
        PLAddSong(all, static_cast<SONG*>(t->Data));
    const std::string shape = Structure(&db);
    StoreOrDie(&db, copy);
    if (DBRestore(&db) != 1 || Structure(&db) != shape)
        std::abort();
    StoreOrDie(&db, again);
    if (Contents(copy) != Contents(again))
        std::abort();
    DBFree(&db);
    return 0;
}
