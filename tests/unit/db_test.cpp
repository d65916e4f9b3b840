// The database file: the exact bytes, round trips of every field
// and of song references, damaged files, and saving without losing the old
// file. Portable: also cross-built for Windows and run under Wine.
#include "fndb.h"
#include "fneff.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnpll.h"
#include "fnsong.h"
#include "fntl.h"
#include "mp3files.h"
#include "string2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>

namespace {

// ---- the file format, written out field by field from its layout ----

constexpr std::uint32_t u(std::int32_t v) { return static_cast<std::uint32_t>(v); }

void U32s(Bytes& b, std::initializer_list<std::uint32_t> values)
{
    for (std::uint32_t v : values)
        for (int shift = 0; shift < 32; shift += 8)
            b.push_back(static_cast<unsigned char>(v >> shift));
}

// A text field: the text up to its zero, padded with zeros to the width.
void Text(Bytes& b, const char* field, std::size_t width)
{
    std::size_t n = 0;
    while (n < width && field[n] != '\0')
        ++n;
    AppendField(b, std::string(field, n), width);
}

void Magic(Bytes& b, std::int32_t showHidden)
{
    Append(b, std::string("TNDMDB1.0", 10));
    U32s(b, {u(showHidden)});
}

// List block header: Items, TotalItems, NextFreeID, Desc[21], current ID.
void Header(Bytes& b, int count, std::uint32_t nextID, const char* desc, int current)
{
    U32s(b, {u(count), u(count), nextID});
    AppendField(b, desc, 21);
    U32s(b, {u(current)});
}

void Entry(Bytes& b, int id) { U32s(b, {u(id), 0}); }

void Track(Bytes& b, const SONG& s)
{
    U32s(b, {s.General.iType, s.General.lSize, s.General.lLength, u(s.General.bHidden), u(s.General.bOnRemovable),
             u(s.General.bInfoNotRead)});
    Text(b, s.Desc.cFileName, 257);
    Text(b, s.Desc.cArtist, 41);
    Text(b, s.Desc.cTitle, 41);
    Text(b, s.Desc.cAlbum, 41);
    Text(b, s.Desc.cYear, 5);
    Text(b, s.Desc.cComment, 41);
    Text(b, s.Desc.cPlace, 51);
    U32s(b, {u(s.Desc.iStyle), u(s.MPegInfo.iVersion), u(s.MPegInfo.iLayer), u(s.MPegInfo.iChannels),
             s.MPegInfo.lSampleRate, s.MPegInfo.lBitRate, s.MPegInfo.lFrames, s.MPegInfo.lFrameSize,
             s.Bounds.timMain.lStart, s.Bounds.timMain.lEnd, s.Bounds.timIntro.lStart, s.Bounds.timIntro.lEnd,
             s.Bounds.timBeat.lStart, s.Bounds.timBeat.lEnd, u(s.Bounds.iNoBeats)});
}

// Options before overrides; the effect reference is written as 0.
void Item(Bytes& b, int songRef, const PLI& p)
{
    U32s(b, {u(songRef)});
    Text(b, p.cDesc, 30);
    U32s(b, {u(p.bPlayed), u(p.UpdFlag.bVolume), u(p.UpdFlag.bPanning), u(p.UpdFlag.bEffect),
             u(p.UpdFlag.bLengths), u(p.UpdFlag.bFade), u(p.UpdFlag.bBounds), u(p.UpdFlag.bOptions),
             u(p.Option.iFade), u(p.Option.iIntro), u(p.Option.iDuo), u(p.Option.iBeats), u(p.Option.iEffect),
             u(p.Override.iVolume), u(p.Override.iPanning), p.Override.lFadeLen, p.Override.lDuoLen,
             u(p.Override.iFadeType), p.Override.timMainPart.lStart, p.Override.timMainPart.lEnd, 0,
             u(p.Override.Effect.iPerBeats)});
}

constexpr std::size_t kMagic = 14, kHeader = 37, kTrack = 561, kItem = 122, kPlaylist = 39;

// ---- a database to store ----

// size - 1 characters of a pattern that shows shifted or cut fields.
void Fill(char* field, std::size_t size, int seed)
{
    for (std::size_t i = 0; i + 1 < size; ++i)
        field[i] = static_cast<char>('0' + (seed + static_cast<int>(i) * 7) % 75);
    field[size - 1] = '\0';
}

// Every 32-bit field its own value; texts full to their arrays or short.
SONG* NewSong(std::uint32_t base, bool full)
{
    SONG* s = SongCreate();
    s->General = {base + 1, base + 2, base + 3, full ? 0 : 1, 1, full ? 1 : 0};
    s->Desc.iStyle = full ? 115 : 255;
    s->MPegInfo = {2, 3, 1, base + 4, base + 5, 0xFFFFFFFF, base + 6};
    s->Bounds = {{base + 7, base + 180007}, {base + 8, base + 9}, {base + 10, base + 11}, -3};
    if (full) {
        auto& d = s->Desc;
        Fill(d.cFileName, sizeof d.cFileName, 1);
        Fill(d.cArtist, sizeof d.cArtist, 2);
        Fill(d.cTitle, sizeof d.cTitle, 3);
        Fill(d.cAlbum, sizeof d.cAlbum, 4);
        Fill(d.cYear, sizeof d.cYear, 5);
        Fill(d.cComment, sizeof d.cComment, 6);
        Fill(d.cPlace, sizeof d.cPlace, 7);
    } else {
        StrCopy(s->Desc.cFileName, "C:\\music\\short.mp3");
        StrCopy(s->Desc.cTitle, "Short");
    }
    return s;
}

struct Db {
    DB db{};
    Db() { DBInit(&db); }
    ~Db() { DBFree(&db); }
    LIST* tl() { return DBGetTL(&db); }
    PL* pl() { return DBGetCurrentPL(&db); }
};

// Two tracks (the second current and hidden), one playlist of three items:
// a fully set item for track 1, a plain one for track 0, one without song.
struct Small : Db {
    SONG* a = NewSong(1000, true);
    SONG* b = NewSong(2000, false);
    PLI* items[3] = {};
    EFF effect{};

    Small()
    {
        db.bShowHidden = 1;
        TLAddSong(tl(), a);
        TLAddSong(tl(), b);
        TLSetCurrentSong(tl(), b);
        Fill(pl()->cName, sizeof pl()->cName, 8);
        pl()->iPlayedItems = 1;
        items[0] = PLAddSong(pl(), b);
        items[1] = PLAddSong(pl(), a);
        items[2] = PLAddSong(pl(), nullptr);
        PLI& p = *items[0];
        Fill(p.cDesc, sizeof p.cDesc, 9);
        p.bPlayed = 1;
        p.UpdFlag = {1, 2, 3, 4, 5, 6, 7};
        p.Option = {0, 1, 2, 1, 0};
        p.Override = {200, -100, 3000, 4000, 3, {10000, 70000}, {&effect, 8}};
        PLSetCurrentPLI(pl(), items[1]);
    }

    Bytes Expected() const
    {
        Bytes b;
        Magic(b, 1);
        Header(b, 2, 2, "List of tracks", 1);
        Entry(b, 0), Track(b, *a);
        Entry(b, 1), Track(b, *this->b);
        Header(b, 1, 1, "List of playlists", 0);
        Entry(b, 0);
        const PL& list = *static_cast<PL*>(db.lstPlayLists.First->Data);
        Text(b, list.cName, 31);
        U32s(b, {list.lTotalTime, 1});
        Header(b, 3, 3, "Items of playlist", 1);
        Entry(b, 0), Item(b, 1, *items[0]);
        Entry(b, 1), Item(b, 0, *items[1]);
        Entry(b, 2), Item(b, -1, *items[2]);
        return b;
    }
};

Bytes Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Patch(Bytes& bytes, std::size_t at, std::int32_t value)
{
    Bytes v;
    U32s(v, {u(value)});
    std::copy(v.begin(), v.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

template <std::size_t N>
bool Terminated(const char (&field)[N])
{
    return std::memchr(field, 0, N) != nullptr;
}

// Counts agree with the nodes (nothing hidden), Last and Current are nodes.
void ExpectSane(const LIST& list)
{
    int nodes = 0;
    const LISTITEM* last = nullptr;
    bool currentFound = list.Current == nullptr;
    for (const LISTITEM* item = list.First; item != nullptr; item = item->Next, ++nodes) {
        last = item;
        currentFound = currentFound || item == list.Current;
        EXPECT_NE(item->Data, nullptr);
    }
    EXPECT_EQ(list.TotalItems, nodes);
    EXPECT_EQ(list.Items, nodes);
    EXPECT_EQ(list.Last, last);
    EXPECT_TRUE(currentFound);
    EXPECT_TRUE(Terminated(list.Desc));
}

// Whole records only: texts end inside their arrays, items point at songs
// of the track list or at none.
void ExpectWellFormed(DB* db)
{
    ExpectSane(db->lstTracks);
    ExpectSane(db->lstPlayLists);
    std::set<const SONG*> songs;
    for (const LISTITEM* t = db->lstTracks.First; t != nullptr; t = t->Next) {
        const auto& d = static_cast<const SONG*>(t->Data)->Desc;
        songs.insert(static_cast<const SONG*>(t->Data));
        EXPECT_TRUE(Terminated(d.cFileName) && Terminated(d.cArtist) && Terminated(d.cTitle) &&
                    Terminated(d.cAlbum) && Terminated(d.cYear) && Terminated(d.cComment) && Terminated(d.cPlace));
    }
    for (const LISTITEM* p = db->lstPlayLists.First; p != nullptr; p = p->Next) {
        const auto* pl = static_cast<const PL*>(p->Data);
        EXPECT_TRUE(Terminated(pl->cName));
        ExpectSane(pl->lstItems);
        for (const LISTITEM* i = pl->lstItems.First; i != nullptr; i = i->Next) {
            const auto* pli = static_cast<const PLI*>(i->Data);
            EXPECT_TRUE(Terminated(pli->cDesc));
            EXPECT_TRUE(pli->psngSong == nullptr || songs.count(pli->psngSong) == 1);
            EXPECT_EQ(pli->Override.Effect.Effect, nullptr);
        }
    }
}

bool Empty(DB* db) { return TLGetTotal(DBGetTL(db)) == 0 && DBGetPLL(db)->First == nullptr; }

class DbFile : public Mp3Files {
protected:
    // Stores db at name; the file's bytes.
    Bytes Store(DB* db, const std::string& name)
    {
        DBSetPath(db, Path(name).c_str());
        EXPECT_EQ(DBStore(db), 1) << name;
        return Contents(Path(name));
    }

    int Restore(DB* db, const std::string& name)
    {
        DBSetPath(db, Path(name).c_str());
        return DBRestore(db);
    }
};

// ---- layout ----

TEST_F(DbFile, EmptyDatabaseIsThe172BytesOfTheTables)
{
    Db empty;
    Bytes expected;
    Magic(expected, 0);
    Header(expected, 0, 0, "List of tracks", -1);
    Header(expected, 1, 1, "List of playlists", 0);
    Entry(expected, 0);
    AppendField(expected, "default", 31);
    U32s(expected, {0, 0});
    Header(expected, 0, 0, "Items of playlist", -1);
    ASSERT_EQ(expected.size(), 172u);
    EXPECT_EQ(Store(&empty.db, "empty.tdb"), expected);

    Db back;
    ListSetDesc(DBGetEL(&back.db), "List of effects");
    ASSERT_EQ(Restore(&back.db, "empty.tdb"), 1);
    EXPECT_STREQ(PLGetName(back.pl()), "default");
    EXPECT_EQ(ListGetItemID(DBGetPLL(&back.db), back.pl()), 0);
    EXPECT_EQ(ListGetTotal(DBGetPLL(&back.db)), 1);
    EXPECT_STREQ(DBGetEL(&back.db)->Desc, "List of effects");  // the effect list is not in the file
}

TEST_F(DbFile, SmallDatabaseMatchesTheTablesByteForByte)
{
    Small small;
    const Bytes expected = small.Expected();
    ASSERT_EQ(expected.size(), kMagic + 2 * kHeader + 2 * (8 + kTrack) + 8 + kPlaylist + kHeader + 3 * (8 + kItem));
    EXPECT_EQ(Store(&small.db, "small.tdb"), expected);
}

// ---- round trips ----

TEST_F(DbFile, EveryFieldAndReferenceComesBack)
{
    Small small;
    const Bytes stored = Store(&small.db, "small.tdb");
    Db back;
    ASSERT_EQ(Restore(&back.db, "small.tdb"), 1);
    ExpectWellFormed(&back.db);

    EXPECT_EQ(back.db.bShowHidden, 1);
    ASSERT_EQ(TLGetTotal(back.tl()), 2);
    SONG* a = TLGetFirstSong(back.tl());
    SONG* b = TLGetLastSong(back.tl());
    Bytes want, got;
    Track(want, *small.a), Track(want, *small.b);
    Track(got, *a), Track(got, *b);
    EXPECT_EQ(got, want);  // 256-character path and full texts, hidden flag, all numbers
    EXPECT_EQ(TLGetCurrentSong(back.tl()), b);

    PL* pl = back.pl();
    ASSERT_NE(pl, nullptr);
    EXPECT_EQ(std::string(PLGetName(pl)).size(), 30u);
    EXPECT_STREQ(PLGetName(pl), PLGetName(small.pl()));
    EXPECT_EQ(PLGetTime(pl), PLGetTime(small.pl()));
    EXPECT_EQ(PLGetPlayed(pl), 1);
    ASSERT_EQ(PLGetCount(pl), 3);
    EXPECT_EQ(PLGetSong(pl, 0), b);
    EXPECT_EQ(PLGetSong(pl, 1), a);
    EXPECT_EQ(PLGetSong(pl, 2), nullptr);
    EXPECT_EQ(DBGetCurrentPLI(&back.db), PLGetPLI(pl, 1));
    Bytes item, itemBack;
    Item(item, 0, *small.items[0]);
    Item(itemBack, 0, *PLGetPLI(pl, 0));
    EXPECT_EQ(itemBack, item);  // description, flags, options, overrides
    EXPECT_EQ(PLGetPLI(pl, 0)->Override.Effect.Effect, nullptr);

    EXPECT_EQ(Store(&back.db, "again.tdb"), stored);
}

TEST_F(DbFile, ItemsFindTheirSongsByIdWhateverTheTrackOrder)
{
    Db db;
    for (int i = 0; i < 5; ++i) {
        SONG* s = SongCreate();
        StrFormat(s->Desc.cFileName, sizeof s->Desc.cFileName, "song%d.mp3", i);
        s->General.bHidden = i % 2;
        TLAddSong(db.tl(), s);
    }
    ListReverse(db.tl());  // IDs travel with their songs: 4 3 2 1 0
    ListMoveItemByIdx(db.tl(), 0, 3);
    for (int id : {4, 0, 3})
        PLAddSong(db.pl(), static_cast<SONG*>(ListGetItemByID(db.tl(), id)));
    Bytes bytes = Store(&db.db, "ids.tdb");

    auto expectRefs = [&](Db& back) {
        ExpectWellFormed(&back.db);
        int i = 0;
        for (int id : {4, 0, 3}) {
            SONG* s = PLGetSong(back.pl(), i++);
            EXPECT_EQ(ListGetItemID(back.tl(), s), id);
            EXPECT_EQ(SongGetFileName(s), "song" + std::to_string(id) + ".mp3");
        }
    };
    {
        Db back;
        ASSERT_EQ(Restore(&back.db, "ids.tdb"), 1);
        expectRefs(back);
        EXPECT_EQ(ListAddItem(back.tl(), SongCreate()), 5);
    }
    const std::size_t nextFreeID = kMagic + 8;
    const std::size_t firstItem = kMagic + kHeader + 5 * (8 + kTrack) + kHeader + 8 + kPlaylist + kHeader;
    for (auto [stored, next] : {std::pair{12, 12}, std::pair{1, 5}}) {
        Patch(bytes, nextFreeID, stored);  // raised past the restored IDs when it says less
        Write("next.tdb", bytes);
        Db back;
        ASSERT_EQ(Restore(&back.db, "next.tdb"), 1);
        expectRefs(back);
        EXPECT_EQ(ListAddItem(back.tl(), SongCreate()), next);
    }
    // An unknown song reference gives an item without song.
    Patch(bytes, firstItem + 8, 99);
    Write("odd.tdb", bytes);
    Db back;
    ASSERT_EQ(Restore(&back.db, "odd.tdb"), 1);
    ExpectWellFormed(&back.db);
    EXPECT_EQ(TLGetCount(back.tl()), 5);
    ASSERT_EQ(PLGetCount(back.pl()), 3);
    EXPECT_EQ(PLGetSong(back.pl(), 0), nullptr);
    EXPECT_EQ(ListGetItemID(back.tl(), PLGetSong(back.pl(), 2)), 3);
}

TEST_F(DbFile, PathsUpTo260CharactersAreKeptAndSaved)
{
    Db db;
    DBSetPath(&db.db, std::string(261, 'x').c_str());
    EXPECT_STREQ(DBGetPath(&db.db), "");  // not cut into another name
#ifdef _WIN32
    GTEST_SKIP() << "longer than MAX_PATH with the temporary name";
#endif
    std::filesystem::path dir = dir_;
    while (dir.string().size() < 200)
        dir /= "folder";
    std::filesystem::create_directories(dir);
    std::string path = (dir / "").string();
    path += std::string(260 - path.size() - 4, 'n') + ".tdb";
    ASSERT_EQ(path.size(), 260u);
    TLAddSong(db.tl(), NewSong(7, true));
    DBSetPath(&db.db, path.c_str());
    ASSERT_STREQ(DBGetPath(&db.db), path.c_str());
    ASSERT_EQ(DBStore(&db.db), 1);
    Db back;
    DBSetPath(&back.db, path.c_str());
    ASSERT_EQ(DBRestore(&back.db), 1);
    EXPECT_EQ(TLGetTotal(back.tl()), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left
}

// ---- files that are not (whole) databases ----

TEST_F(DbFile, MissingFileGivesAnEmptyDatabaseThatMaySaveThere)
{
    Db db;
    TLAddSong(db.tl(), SongCreate());
    EXPECT_EQ(Restore(&db.db, "missing.tdb"), 0);
    EXPECT_TRUE(Empty(&db.db));
    EXPECT_EQ(DBGetCurrentPL(&db.db), nullptr);
    EXPECT_EQ(DBStore(&db.db), 1);
    DBSetPath(&db.db, "");
    EXPECT_EQ(DBRestore(&db.db), 0);
    EXPECT_EQ(DBStore(&db.db), 0);
}

TEST_F(DbFile, WrongMagicIsNeverOverwrittenUntilAnotherPathOrAGoodLoad)
{
    Small small;
    const Bytes good = Store(&small.db, "good.tdb");
    Bytes noZero = good;
    noZero[9] = 'X';
    Bytes otherVersion = good;
    otherVersion[8] = '1';
    for (const Bytes& bad : {noZero, otherVersion, Bytes{'h', 'e', 'l', 'l', 'o', '\n'}}) {
        Write("bad.tdb", bad);
        Db db;
        EXPECT_EQ(Restore(&db.db, "bad.tdb"), 0);
        EXPECT_TRUE(Empty(&db.db));
        EXPECT_EQ(DBStore(&db.db), 0);
        DBSetPath(&db.db, Path("bad.tdb").c_str());  // the same path again
        EXPECT_EQ(DBStore(&db.db), 0);
        EXPECT_EQ(Contents(Path("bad.tdb")), bad);
        EXPECT_EQ(Store(&db.db, "elsewhere.tdb").size(), 14 + 2 * kHeader);

        Write("bad.tdb", good);  // a good load lifts the refusal
        ASSERT_EQ(Restore(&db.db, "bad.tdb"), 1);
        EXPECT_EQ(DBStore(&db.db), 1);
    }
}

TEST_F(DbFile, TruncatedAtEveryOffsetHoldsWholeRecordsAndKeepsTheFile)
{
    Small small;
    const Bytes full = Store(&small.db, "full.tdb");
    for (std::size_t size = 0; size < full.size(); ++size) {
        SCOPED_TRACE(size);
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
        Write("cut.tdb", cut);
        Db db;
        ASSERT_EQ(Restore(&db.db, "cut.tdb"), 0);
        ExpectWellFormed(&db.db);
        EXPECT_EQ(DBStore(&db.db), 0);
        ASSERT_EQ(Contents(Path("cut.tdb")), cut);
        Store(&db.db, "rest.tdb");  // what was kept saves and loads again
        ASSERT_EQ(DBRestore(&db.db), 1);
    }
}

// ---- atomic save ----

TEST_F(DbFile, FailedSaveLeavesTheOldFileByteIdentical)
{
    Small small;
    const Bytes old = Store(&small.db, "lib.tdb");
    TLAddSong(small.tl(), NewSong(3000, true));

    DBSetPath(&small.db, Path("no such folder/lib.tdb").c_str());
    EXPECT_EQ(DBStore(&small.db), 0);

    std::filesystem::create_directory(Path("lib.tdb.tmp"));  // the temporary cannot be created
    DBSetPath(&small.db, Path("lib.tdb").c_str());
    EXPECT_EQ(DBStore(&small.db), 0);
    EXPECT_EQ(Contents(Path("lib.tdb")), old);
    std::filesystem::remove(Path("lib.tdb.tmp"));

    std::filesystem::create_directory(Path("folder.tdb"));  // the target cannot be replaced
    DBSetPath(&small.db, Path("folder.tdb").c_str());
    EXPECT_EQ(DBStore(&small.db), 0);
    EXPECT_TRUE(std::filesystem::is_directory(Path("folder.tdb")));
    EXPECT_FALSE(std::filesystem::exists(Path("folder.tdb.tmp")));

    DBSetPath(&small.db, Path("lib.tdb").c_str());
    ASSERT_EQ(DBStore(&small.db), 1);
    EXPECT_FALSE(std::filesystem::exists(Path("lib.tdb.tmp")));
    Db back;
    ASSERT_EQ(Restore(&back.db, "lib.tdb"), 1);
    EXPECT_EQ(TLGetTotal(back.tl()), 3);
}

}  // namespace
