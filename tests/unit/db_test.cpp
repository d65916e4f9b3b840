// The database file: its exact bytes, round trips of fields and song
// references, hostile and damaged files, and saving without losing a file.
// Portable: also cross-built for Windows and run under Wine.
#include "fileio.h"
#include "fnana.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnsong.h"
#include "fntl.h"
#include "mp3files.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

#ifndef _WIN32
#include "fakeos.h"
#endif

namespace {

constexpr std::uint32_t u(std::int32_t v) { return static_cast<std::uint32_t>(v); }

void U32s(Bytes& b, std::initializer_list<std::uint32_t> values)
{
    for (std::uint32_t v : values)
        for (int shift = 0; shift < 32; shift += 8)
            b.push_back(static_cast<unsigned char>(v >> shift));
}

// List block header: Items, TotalItems, NextFreeID, Desc[21], current ID.
void Header(Bytes& b, int count, const char* desc, int current)
{
    U32s(b, {u(count), u(count), u(count)});
    AppendField(b, desc, 21);
    U32s(b, {u(current)});
}


// A track whose numbers are 1..6 then genre 17, version 1, ..., and texts in their widths.
void Track(Bytes& b, const char* file, const char* title)
{
    U32s(b, {1, 2, 3, 0, 1, 0});
    for (auto [text, width] : {std::pair{file, 257}, {"Art", 41}, {title, 41}, {"", 41}, {"1999", 5}, {"", 41}, {"CD", 51}})
        AppendField(b, text, static_cast<std::size_t>(width));
    U32s(b, {17, 1, 3, 0, 44100, 128, 9, 417, 0, 180000, 5, 6, 7, 8, u(-3)});
}

// Options (off, on and keep) before overrides (a fade type of each item its
// own); the effect reference is written as 0.
void Item(Bytes& b, int songRef, const char* desc)
{
    U32s(b, {u(songRef)});
    AppendField(b, desc, 30);
    U32s(b, {1, 1, 0, 0, 0, 0, 1, 0, 0, 1, 2, 0, 1, 200, u(-100), 3000, 4000, u(songRef + 1), 10000, 70000, 0, 8});
}

constexpr std::size_t kMagic = 14, kHeader = 37, kTrackEntry = 569, kItemEntry = 130;
constexpr std::size_t kPlaylist = kMagic + kHeader + 2 * kTrackEntry + kHeader;  // the playlist's entry
constexpr std::size_t kItems = kPlaylist + 8 + 39 + kHeader;                     // its first item entry

// Two tracks, one playlist "mix" of three items: track 1, track 0 and none; the second item current.
Bytes SmallFile()
{
    const std::string magic("TNDMDB1.0\0\1\0\0\0", 14);
    Bytes b(magic.begin(), magic.end());
    Header(b, 2, "List of tracks", 1);
    U32s(b, {0, 0}), Track(b, "C:\\a.mp3", "Alpha");
    U32s(b, {1, 0}), Track(b, std::string(256, 'f').c_str(), std::string(40, 't').c_str());
    Header(b, 1, "List of playlists", 0);
    U32s(b, {0, 0}), AppendField(b, "mix", 31), U32s(b, {360000, 3});
    Header(b, 3, "Items of playlist", 1);
    U32s(b, {0, 0}), Item(b, 1, "first");
    U32s(b, {1, 0}), Item(b, 0, std::string(29, 'd').c_str());
    U32s(b, {2, 0}), Item(b, -1, "");
    return b;
}

// The extension: an unknown part, then the measurements of track 0 (cannot
// be decoded) and track 1 (measured).
Bytes WithAnalysis(Bytes b)
{
    AppendField(b, "TNDMEXT1", 8);
    U32s(b, {2});
    AppendField(b, "ZZZ9", 4);
    U32s(b, {3, 0});
    b.resize(b.size() - 1);  // three bytes of a later version's part
    AppendField(b, "ANA1", 4);
    U32s(b, {56, 0, 2, ANA_VERSION, u(ANA_SILENT), u(ANA_SILENT), 0, 0});
    U32s(b, {1, 1, ANA_VERSION, u(-1432), u(-105), 1200, 170000});
    return b;
}

Bytes Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Patch(Bytes& bytes, std::size_t at, std::int32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<unsigned char>(u(value) >> (8 * i));
}

struct Db {
    DB db{};
    Db() { DBInit(&db); }
    ~Db() { DBFree(&db); }
    LIST* tl() { return DBGetTL(&db); }
    PL* pl() { return DBGetCurrentPL(&db); }
};

// Counts agree with the nodes (nothing hidden); IDs are unique and leave room for new ones.
void ExpectSane(const LIST& list)
{
    std::set<int> ids;
    for (const LISTITEM* item = list.First; item != nullptr; item = item->Next) {
        EXPECT_TRUE(item->Data != nullptr && item->ID >= 0 && u(item->ID) < list.NextFreeID && item->Hidden == 0);
        EXPECT_TRUE(ids.insert(item->ID).second && (item->Next != nullptr || list.Last == item));
    }
    EXPECT_TRUE(list.TotalItems == static_cast<int>(ids.size()) && list.Items == list.TotalItems);
    EXPECT_LE(list.NextFreeID, u(INT_MAX / 2));
}

void ExpectWellFormed(DB* db)
{
    ExpectSane(db->lstTracks);
    ExpectSane(db->lstPlayLists);
    for (const LISTITEM* p = db->lstPlayLists.First; p != nullptr; p = p->Next)
        ExpectSane(static_cast<const PL*>(p->Data)->lstItems);
}

int Restore(DB* db, const std::string& path) { return DBSetPath(db, path.c_str()), DBRestore(db); }
int Store(DB* db, const std::string& path) { return DBSetPath(db, path.c_str()), DBStore(db); }

using DbFile = Mp3Files;

TEST_F(DbFile, TheTablesBytesComeBackWholeOrDamagedFilesAreNeverOverwritten)
{
    const Bytes full = SmallFile();
    Db db;
    ASSERT_EQ(Restore(&db.db, Write("small.tdb", full)), 1);
    ExpectWellFormed(&db.db);
    SONG* a = TLGetFirstSong(db.tl());
    EXPECT_TRUE(std::string(SongGetTitle(a)) == "Alpha" && SongGetStyle(a) == 17 && SongGetLen(a) == 180000);
    EXPECT_EQ(PLGetSong(db.pl(), 0), TLGetLastSong(db.tl()));  // by ID, not by position
    EXPECT_TRUE(PLGetSong(db.pl(), 1) == a && PLGetSong(db.pl(), 2) == nullptr);
    EXPECT_EQ(DBGetCurrentPLI(&db.db), PLGetPLI(db.pl(), 1));
    EXPECT_TRUE(Store(&db.db, Path("again.tdb")) == 1 && Read(Path("again.tdb")) == full);

    const Bytes measured = WithAnalysis(full);
    ASSERT_EQ(Restore(&db.db, Write("measured.tdb", measured)), 1);
    const auto& m = TLGetLastSong(db.tl())->Analysis;
    EXPECT_TRUE(m.iState == ANA_DONE && m.iLoudness == -1432 && m.iPeak == -105 && m.timMusic.lEnd == 170000);
    EXPECT_EQ(TLGetFirstSong(db.tl())->Analysis.iState, ANA_UNDECODABLE);
    ASSERT_TRUE(Store(&db.db, Path("again.tdb")) == 1);
    Bytes expected = full;
    AppendField(expected, "TNDMEXT1", 8);
    U32s(expected, {1});
    expected.insert(expected.end(), measured.end() - 56 - 8, measured.end());
    EXPECT_EQ(Read(Path("again.tdb")), expected);

    Bytes wrongMagic = measured;
    wrongMagic[8] = '1';
    Bytes trailing = measured;
    trailing.push_back(0);
    for (std::size_t size = 0; size <= measured.size() + 1; size += size < full.size() - 200 ? 37 : 1) {
        if (size == full.size())
            continue;  // a plain 1.0 file
        const Bytes bad = size == measured.size()       ? wrongMagic
                          : size == measured.size() + 1 ? trailing
                                                        : Bytes(measured.begin(), measured.begin() + static_cast<long>(size));
        Db damaged;
        ASSERT_EQ(Restore(&damaged.db, Write("bad.tdb", bad)), 0);
        ExpectWellFormed(&damaged.db);
        EXPECT_EQ(damaged.db.iLoadFailure, DBLOAD_DAMAGED);
        EXPECT_TRUE(DBStore(&damaged.db) == 0 && Store(&damaged.db, Path("bad.tdb")) == 0);  // the same path again
        ASSERT_EQ(Read(Path("bad.tdb")), bad);
    }

    // A file whose drive was missing at start is not written over once it is back.
    ASSERT_TRUE(Restore(&db.db, Path("later.tdb")) == 0 && db.db.iLoadFailure == DBLOAD_UNREADABLE);
    Write("later.tdb", full);
    TLAddSong(db.tl(), SongCreate());
    EXPECT_TRUE(DBStore(&db.db) == 0 && Read(Path("later.tdb")) == full);
}

TEST_F(DbFile, HostileValuesAreMadeSoundOnReading)
{
    Bytes bytes = SmallFile();
    const std::size_t track = kMagic + kHeader + 8, item = kItems + 8;
    // Genres outside 0..255; hidden nodes: a track, the playlist, the last item; both tracks with ID 0, items with
    // IDs at the end of the range; a played count above the items, with the second item not played and the first
    // marked 5; a main part and an intro that end before they start; the first item with fade type 9 and fade
    // switch 7, the second with a part to play that ends before it starts; a total time the items do not add up to.
    for (auto [at, value] : {std::pair{track + 501, 300}, {track + kTrackEntry + 501, -5}, {kMagic + kHeader + 4, 1},
                             {kPlaylist + 4, 1}, {kItems + 2 * kItemEntry + 4, 1}, {track + kTrackEntry - 8, 0},
                             {kItems, INT_MAX - 1}, {kPlaylist + 8 + 31 + 4, 1000}, {item + kItemEntry + 34, 0},
                             {item + 34, 5}, {track + 533, 200000}, {track + 545, 1}, {item + 102, 9}, {item + 66, 7},
                             {item + kItemEntry + 106, 80000}, {kPlaylist + 8 + 31, 12345}})
        Patch(bytes, at, value);
    Db db;
    ASSERT_EQ(Restore(&db.db, Write("hostile.tdb", bytes)), 1);
    ExpectWellFormed(&db.db);
    SONG* first = TLGetFirstSong(db.tl());
    EXPECT_TRUE(SongGetStyle(first) == 255 && SongGetStyle(TLGetLastSong(db.tl())) == 255 && first->General.bHidden == 1);
    EXPECT_TRUE(SongGetStart(first) == 0 && SongGetEnd(first) == 3 && first->Bounds.timIntro.lEnd == 5);
    // The reference to ID 1 finds no track any more; ID 0 is the first one's.
    EXPECT_TRUE(PLGetCount(db.pl()) == 3 && PLGetSong(db.pl(), 0) == nullptr && PLGetSong(db.pl(), 1) == first);
    const PLI *fading = PLGetPLI(db.pl(), 0), *bounded = PLGetPLI(db.pl(), 1);
    EXPECT_TRUE(fading->Override.iFadeType == 3 && fading->Option.iFade == OPTION_KEEP && fading->bPlayed == 1);
    EXPECT_TRUE(bounded->UpdFlag.bBounds == 0 && PLIGetStart(bounded) == 0 && PLIGetEnd(bounded) == 3);
    EXPECT_TRUE(PLGetNotPlayed(db.pl()) == 1 && PLGetTime(db.pl()) == 3);
}

// The files of a folder, by name.
std::set<std::string> Folder(const std::string& path)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.insert(entry.path().filename().string());
    return names;
}

TEST_F(DbFile, SavingReplacesTheFileWholeOrLeavesItAsItWas)
{
    for (const char* name : {"~T0", "lib.tdb.tmp", "~TNDM00.tmp"})  // the user's own files, and a crash's temporary
        Write(name, SmallFile());
    Db db;
    ASSERT_EQ(Restore(&db.db, Write("lib.tdb", SmallFile())), 1);
    TLAddSong(db.tl(), SongCreate());
    ASSERT_EQ(DBStore(&db.db), 1);
    for (const char* name : {"~T0", "lib.tdb.tmp"})
        EXPECT_EQ(Read(Path(name)), SmallFile());
    EXPECT_EQ(Folder(Path("")), (std::set<std::string>{"lib.tdb", "~T0", "lib.tdb.tmp"}));

    std::string path = Path("");  // the longest path the format holds
    while (path.size() < 200)
        std::filesystem::create_directory(path += "folder/");
    path += std::string(MAXL_DBPATH - path.size() - 4, 'n') + ".tdb";
    ASSERT_EQ(Store(&db.db, path), 1);
    ASSERT_EQ(Restore(&db.db, path), 1);
    EXPECT_EQ(TLGetTotal(db.tl()), 3);
    EXPECT_EQ(Folder(path.substr(0, path.rfind('/') + 1)).size(), 1u);
    EXPECT_FALSE(FileSave("").Out().IsOpen()) << "no path, no temporary file";
}

#ifndef _WIN32
// Each way a save can fail on the way leaves the file as it was, no
// temporary file, and the reason; a target held for a moment is waited for,
// a read-only one is not; the target's hidden and archive marks are kept.
TEST_F(DbFile, AFailingWriteFlushOrReplaceKeepsTheOldFileAndTellsWhy)
{
    constexpr DWORD kNormal = FILE_ATTRIBUTE_NORMAL;
    const struct {
        const char* what;
        fake::FileFaults faults;
        DWORD attributes;  // the target's
        DWORD error;       // 0: saved
    } rows[] = {
        {"write fails", {1000, ERROR_WRITE_FAULT}, kNormal, ERROR_WRITE_FAULT},
        {"disk full", {1000, 0}, kNormal, ERROR_DISK_FULL},
        {"flush fails", {-1, 0, ERROR_IO_DEVICE}, kNormal, ERROR_IO_DEVICE},
        {"target held", {-1, 0, 0, 99, ERROR_SHARING_VIOLATION}, kNormal, ERROR_SHARING_VIOLATION},
        {"target held a moment", {-1, 0, 0, 3, ERROR_SHARING_VIOLATION}, FILE_ATTRIBUTE_HIDDEN, 0},
        {"target scanned a moment", {-1, 0, 0, 3, ERROR_ACCESS_DENIED}, FILE_ATTRIBUTE_ARCHIVE, 0},
        {"read-only target", {-1, 0, 0, 1, ERROR_ACCESS_DENIED}, FILE_ATTRIBUTE_READONLY, ERROR_ACCESS_DENIED},
    };
    Db db;
    ASSERT_EQ(Restore(&db.db, Write("lib.tdb", SmallFile())), 1);
    TLAddSong(db.tl(), SongCreate());
    ASSERT_EQ(Store(&db.db, Path("new.tdb")), 1);
    EXPECT_EQ(GetFileAttributesA(Path("new.tdb").c_str()), kNormal) << "a new file takes no marks";
    for (const auto& row : rows) {
        const std::string lib = Write("lib.tdb", SmallFile());
        SetFileAttributesA(lib.c_str(), row.attributes);
        DBSetPath(&db.db, lib.c_str());
        fake::SetFileFaults(row.faults);
        const int saved = DBStore(&db.db);
        const DWORD error = GetLastError();
        fake::SetFileFaults({});
        EXPECT_EQ(saved, row.error == 0) << row.what;
        EXPECT_EQ(error, row.error) << row.what;
        EXPECT_EQ(Read(lib), row.error == 0 ? Read(Path("new.tdb")) : SmallFile()) << row.what;
        EXPECT_EQ(GetFileAttributesA(lib.c_str()), row.attributes) << row.what;
        EXPECT_EQ(Folder(Path("")), (std::set<std::string>{"lib.tdb", "new.tdb"})) << row.what;
    }
}
#endif

}  // namespace
