// The database at library scale: DBStore and DBRestore of 100,000 tracks and
// 20 playlists of 200,000 items in all, the same file written and read with a
// walk of the track list per playlist item (how references were resolved
// before the song index), and the playlist sort by title. See bench/README.md.
#include "dbgen.h"
#include "fileio.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnpll.h"
#include "fnsong.h"
#include "fntl.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr int kTracks = 100000;
constexpr int kPlaylists = 20;
constexpr int kItems = 200000;
constexpr int kSortItems = 20000;
constexpr int kNaiveItems = 10000;

std::string ScratchPath(const char* name)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    return (dir / ("tandem-db-bench-" + std::to_string(getpid()) + "-" + name)).string();
}

std::string Contents(const std::string& path)
{
    File file = File::OpenRead(path.c_str());
    const std::int64_t size = file.Size();
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size < 0 || !file.Read(bytes.data(), bytes.size()))
        return {};
    return bytes;
}

// One generated library per scale, kept for the whole run, with the file
// DBStore writes of it as the reference every variant is checked against.
struct Library {
    DB db{};
    std::string file;
    std::int64_t bytes = 0;
    bool ok = false;

    Library(int tracks, int items)
        : file(ScratchPath(("library-" + std::to_string(tracks) + "-" + std::to_string(items) + ".tdb").c_str()))
    {
        DBInit(&db);
        ok = DbGenFill(&db, {tracks, kPlaylists, items, 20261207});
        DBSetPath(&db, file.c_str());
        ok = ok && DBStore(&db) == 1;
        bytes = static_cast<std::int64_t>(std::filesystem::file_size(file));
    }
    ~Library()
    {
        DBFree(&db);
        std::remove(file.c_str());
    }
};

Library& FullLibrary()
{
    static Library library(kTracks, kItems);
    return library;
}

// ---- the per-item walk ----

// A playlist item record in file order after the song reference.
template <class Io>
bool ItemFields(PLI* pli, Io io)
{
    std::int32_t* words[] = {&pli->bPlayed,         &pli->UpdFlag.bVolume,  &pli->UpdFlag.bPanning,
                             &pli->UpdFlag.bEffect, &pli->UpdFlag.bLengths, &pli->UpdFlag.bFade,
                             &pli->UpdFlag.bBounds, &pli->UpdFlag.bOptions, &pli->Option.iFade,
                             &pli->Option.iIntro,   &pli->Option.iDuo,      &pli->Option.iBeats,
                             &pli->Option.iEffect,  &pli->Override.iVolume, &pli->Override.iPanning};
    bool ok = true;
    for (std::int32_t* word : words)
        ok = io(*reinterpret_cast<std::uint32_t*>(word)) && ok;
    std::uint32_t* values[] = {&pli->Override.lFadeLen, &pli->Override.lDuoLen,
                               reinterpret_cast<std::uint32_t*>(&pli->Override.iFadeType),
                               &pli->Override.timMainPart.lStart, &pli->Override.timMainPart.lEnd};
    for (std::uint32_t* value : values)
        ok = io(*value) && ok;
    std::uint32_t effect = 0;
    ok = io(effect) && ok;
    return io(*reinterpret_cast<std::uint32_t*>(&pli->Override.Effect.iPerBeats)) && ok;
}

int NaivePLIStore(void* Data, File& File, void* Param)
{
    auto* pli = static_cast<PLI*>(Data);
    bool ok = File.WriteI32(ListGetItemID(static_cast<LIST*>(Param), pli->psngSong));
    ok = File.WriteText(pli->cDesc, sizeof pli->cDesc) && ok;
    return ItemFields(pli, [&](std::uint32_t& v) { return File.WriteU32(v); }) && ok ? 1 : 0;
}

int NaivePLIRestore(void** Data, File& File, void* Param)
{
    std::int32_t songID = -1;
    if (!File.ReadI32(songID))
        return 0;
    PLI* pli = PLICreate(static_cast<SONG*>(ListGetItemByID(static_cast<LIST*>(Param), songID)));
    if (pli == nullptr)
        return 0;
    if (!File.Read(pli->cDesc, sizeof pli->cDesc) || !ItemFields(pli, [&](std::uint32_t& v) { return File.ReadU32(v); })) {
        std::free(pli);
        return 0;
    }
    pli->cDesc[MAXL_PLIDESC - 1] = '\0';
    *Data = pli;
    return 1;
}

int NaivePLStore(void* Data, File& File, void* Param)
{
    auto* pl = static_cast<PL*>(Data);
    bool ok = File.WriteText(pl->cName, sizeof pl->cName);
    ok = File.WriteU32(pl->lTotalTime) && ok;
    ok = File.WriteI32(pl->iPlayedItems) && ok;
    return ListStore(&pl->lstItems, File, NaivePLIStore, Param) && ok ? 1 : 0;
}

int NaivePLRestore(void** Data, File& File, void* Param)
{
    char name[MAXL_PLNAME + 1];
    if (!File.Read(name, sizeof name))
        return 0;
    name[MAXL_PLNAME] = '\0';
    PL* pl = PLCreate(name);
    if (pl == nullptr)
        return 0;
    if (!File.ReadU32(pl->lTotalTime) || !File.ReadI32(pl->iPlayedItems) ||
        !ListRestore(&pl->lstItems, File, NaivePLIRestore, Param)) {
        PLFreeProc(pl);
        std::free(pl);
        return 0;
    }
    *Data = pl;
    return 1;
}

bool NaiveStore(DB* db, const std::string& path)
{
    File file = File::OpenWrite(path.c_str());
    bool ok = file.Write(DB_MAGIC, sizeof DB_MAGIC);
    ok = file.WriteI32(db->bShowHidden) && ok;
    ok = TLStore(&db->lstTracks, file, db) && ok;
    ok = ListStore(&db->lstPlayLists, file, NaivePLStore, &db->lstTracks) && ok;
    return file.Close() && ok;
}

bool NaiveRestore(DB* db, const std::string& path)
{
    DBFree(db);
    File file = File::OpenRead(path.c_str());
    char magic[sizeof DB_MAGIC];
    if (!file.Read(magic, sizeof magic) || std::memcmp(magic, DB_MAGIC, sizeof magic) != 0)
        return false;
    if (!file.ReadI32(db->bShowHidden) || !TLRestore(&db->lstTracks, file, db))
        return false;
    return ListRestore(&db->lstPlayLists, file, NaivePLRestore, &db->lstTracks) == 1;
}

// ---- reporting ----

void Report(benchmark::State& state, const Library& library, int items)
{
    state.SetBytesProcessed(state.iterations() * library.bytes);
    state.counters["tracks"] = kTracks;
    state.counters["items"] = items;
}

// Whether db stores to exactly the reference file of library.
bool StoresAsReference(DB* db, const Library& library)
{
    const std::string path = ScratchPath("check.tdb");
    DBSetPath(db, path.c_str());
    const bool same = DBStore(db) == 1 && Contents(path) == Contents(library.file);
    std::remove(path.c_str());
    return same;
}

// ---- the benchmarks ----

void BM_DBStore(benchmark::State& state)
{
    Library& library = FullLibrary();
    const std::string path = ScratchPath("store.tdb");
    DBSetPath(&library.db, path.c_str());
    for (auto _ : state)
        if (!library.ok || DBStore(&library.db) != 1) {
            state.SkipWithError("DBStore failed");
            break;
        }
    if (Contents(path) != Contents(library.file))
        state.SkipWithError("DBStore wrote another file");
    std::remove(path.c_str());
    Report(state, library, kItems);
}

void BM_DBRestore(benchmark::State& state)
{
    Library& library = FullLibrary();
    DB db{};
    DBInit(&db);
    DBSetPath(&db, library.file.c_str());
    for (auto _ : state) {
        state.PauseTiming();
        DBFree(&db);
        state.ResumeTiming();
        if (!library.ok || DBRestore(&db) != 1) {
            state.SkipWithError("DBRestore failed");
            break;
        }
    }
    if (!StoresAsReference(&db, library))
        state.SkipWithError("DBRestore read another database");
    DBFree(&db);
    Report(state, library, kItems);
}

// The walk costs about tracks / 2 node visits per item, so it runs on
// kNaiveItems items and "scale_to_full" gives the factor to 200,000 items.
// Scaling the whole time, not only the walk, flatters the naive variant.
Library& NaiveLibrary()
{
    static Library library(kTracks, kNaiveItems);
    return library;
}

void BM_NaiveStore(benchmark::State& state)
{
    Library& library = NaiveLibrary();
    const std::string path = ScratchPath("naive-store.tdb");
    for (auto _ : state)
        if (!library.ok || !NaiveStore(&library.db, path)) {
            state.SkipWithError("naive store failed");
            break;
        }
    if (Contents(path) != Contents(library.file))
        state.SkipWithError("the naive store wrote another file");
    std::remove(path.c_str());
    Report(state, library, kNaiveItems);
    state.counters["scale_to_full"] = static_cast<double>(kItems) / kNaiveItems;
}

void BM_NaiveRestore(benchmark::State& state)
{
    Library& library = NaiveLibrary();
    DB db{};
    DBInit(&db);
    for (auto _ : state) {
        state.PauseTiming();
        DBFree(&db);
        state.ResumeTiming();
        if (!library.ok || !NaiveRestore(&db, library.file)) {
            state.SkipWithError("naive restore failed");
            break;
        }
    }
    if (!StoresAsReference(&db, library))
        state.SkipWithError("the naive restore read another database");
    DBFree(&db);
    Report(state, library, kNaiveItems);
    state.counters["scale_to_full"] = static_cast<double>(kItems) / kNaiveItems;
}

void BM_PLSortByTitle(benchmark::State& state)
{
    Library& library = FullLibrary();
    PL* pl = PLCreate("sort");
    std::mt19937 rng(7);
    LIST* tl = DBGetTL(&library.db);
    for (int i = 0; i < kSortItems; ++i)
        PLAddSong(pl, static_cast<SONG*>(ListGetItemByIdx(tl, static_cast<int>(rng() % kTracks))));
    for (auto _ : state) {
        state.PauseTiming();
        PLBubbleSort(pl, PLBS_RANDOM);
        state.ResumeTiming();
        PLBubbleSort(pl, PLBS_TITLE);
    }
    LISTITEM* key = nullptr;
    PLI* previous = PLFindFirstPLI(pl, &key);
    for (PLI* pli = PLFindNextPLI(pl, &key); pli != nullptr; previous = pli, pli = PLFindNextPLI(pl, &key))
        if (PLCompProc(PLGetList(pl), previous, pli, PLBS_TITLE) > 0) {
            state.SkipWithError("the playlist is not in title order");
            break;
        }
    PLFreeProc(pl);
    std::free(pl);
    state.counters["items"] = kSortItems;
}

}  // namespace

BENCHMARK(BM_DBStore)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DBRestore)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_NaiveStore)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_NaiveRestore)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PLSortByTitle)->Unit(benchmark::kMillisecond)->MinTime(2.0);
