// The library model: song texts and reading, playlist items' effective
// parts, playlist totals, sort orders and the M3U export. Portable: also
// cross-built for Windows and run under Wine.
#include "fncomm.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnsong.h"
#include "mp3files.h"
#include "mp3gen.h"
#include "string2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct SongFree {
    void operator()(SONG* s) const { std::free(s); }
};
using SongPtr = std::unique_ptr<SONG, SongFree>;

SongPtr NewSong(const char* file, const char* artist, const char* title, std::uint32_t start = 0,
                std::uint32_t end = 0, int style = STYLE_NONE)
{
    SongPtr s(SongCreate());
    StrCopy(s->Desc.cFileName, file);
    StrCopy(s->Desc.cArtist, artist);
    StrCopy(s->Desc.cTitle, title);
    s->Desc.iStyle = style;
    s->Bounds.timMain = {start, end};
    return s;
}

std::string FullTitle(const SONG* s)
{
    char title[MAXL_FULLTITLE + 1];
    return SongGetFullTitle(s, title);
}

// A playlist that frees its items; the songs belong to the test.
struct List {
    PL* pl = PLCreate("test");
    ~List()
    {
        PLFree(pl);
        std::free(pl);
    }
    std::vector<std::string> Titles()
    {
        std::vector<std::string> out;
        for (int i = 0; i < PLGetCount(pl); ++i)
            out.push_back(SongGetTitle(PLGetSong(pl, i)));
        return out;
    }
};

TEST(Song, PlaceholdersFullTitlesAndGenres)
{
    EXPECT_STREQ(SongGetFileName(nullptr), "");
    EXPECT_EQ(SongGetStyle(nullptr), STYLE_NONE);
    EXPECT_EQ(SongGetLen(nullptr), 0u);

    SongPtr bare = NewSong("", "", "");
    EXPECT_STREQ(SongGetFileName(bare.get()), "!!! NO FILENAME !!!");
    EXPECT_STREQ(SongGetArtist(bare.get()), "!!! NO ARTIST !!!");
    EXPECT_STREQ(SongGetTitle(bare.get()), "!!! NO TITLE !!!");
    EXPECT_STREQ(SongGetAlbum(bare.get()), "");

    EXPECT_EQ(FullTitle(NewSong("C:\\m\\a.mp3", "Artist", "").get()), "Artist - !!! NO TITLE !!!");
    EXPECT_EQ(FullTitle(NewSong("C:\\m\\a.mp3", "Artist", "Song").get()), "Artist - Song");
    EXPECT_EQ(FullTitle(NewSong("C:\\music\\rock\\a b.mp3", "", "").get()), "a b.mp3 (!)");
    EXPECT_EQ(FullTitle(NewSong("c:/x/y.mp3", "", "").get()), "y.mp3 (!)");

    // A full-length file name still fits the title buffer.
    SongPtr longName(SongCreate());
    std::fill_n(longName->Desc.cFileName, MAXL_SONGPATH, 'n');
    EXPECT_EQ(FullTitle(longName.get()).size(), static_cast<std::size_t>(MAXL_FULLTITLE));

    SongPtr genre = NewSong("a", "b", "c", 0, 0, 115);
    EXPECT_STREQ(SongGetStyleS(genre.get()), "Folklore");
    genre->Desc.iStyle = 116;
    EXPECT_STREQ(SongGetStyleS(genre.get()), "Unknown");
    genre->Desc.iStyle = STYLE_NONE;
    EXPECT_STREQ(SongGetStyleS(genre.get()), "Unknown");
}

class ReadInfos : public Mp3Files {};

TEST_F(ReadInfos, FreshReadsDeferredReadsAndFilesThatAreNotMp3)
{
    MP3GENOPTIONS tagged;
    tagged.lDurationMs = 4000;
    tagged.bTag = true;
    tagged.cTitle = "Title";
    tagged.cArtist = "Artist";
    tagged.iStyle = 17;
    const std::string withTag = Path("tagged.mp3");
    ASSERT_TRUE(Mp3GenWrite(withTag.c_str(), tagged));
    SongPtr s(SongCreate());
    ASSERT_EQ(ReadSongInfos(withTag.c_str(), s.get(), 1), 0);
    EXPECT_STREQ(s->Desc.cTitle, "Title");
    EXPECT_EQ(s->Desc.iStyle, 17);
    EXPECT_NEAR(s->General.lLength, 4000, 30);
    EXPECT_EQ(s->Bounds.timMain.lStart, 0u);
    EXPECT_EQ(s->Bounds.timMain.lEnd, s->General.lLength);
    EXPECT_EQ(s->Bounds.iNoBeats, 1);
    EXPECT_EQ(s->Bounds.timBeat.lEnd, 0u);

    // A track added without reading keeps its marks and flags on the late read.
    SongPtr late(SongCreate());
    StrCopy(late->Desc.cPlace, "Shelf");
    late->General.bInfoNotRead = 1;
    late->Bounds.iNoBeats = 4;
    ASSERT_EQ(ReadSongInfos(withTag.c_str(), late.get(), 0), 0);
    EXPECT_STREQ(late->Desc.cArtist, "Artist");
    EXPECT_STREQ(late->Desc.cPlace, "");
    EXPECT_EQ(late->Bounds.timMain.lEnd, 0u);
    EXPECT_EQ(late->Bounds.iNoBeats, 4);
    EXPECT_EQ(late->General.bInfoNotRead, 1);

    MP3GENOPTIONS plain;
    plain.lDurationMs = 2000;
    const std::string noTag = Path("plain.mp3");
    ASSERT_TRUE(Mp3GenWrite(noTag.c_str(), plain));
    ASSERT_EQ(ReadSongInfos(noTag.c_str(), s.get(), 1), 2);
    EXPECT_STREQ(s->Desc.cTitle, "");
    EXPECT_EQ(s->Desc.iStyle, STYLE_NONE);
    EXPECT_STREQ(s->Desc.cFileName, noTag.c_str());

    const std::string text = Write("notes.mp3", Bytes(500, 'A'));
    ASSERT_EQ(ReadSongInfos(text.c_str(), s.get(), 1), 1);
    EXPECT_EQ(s->General.lLength, 0u);
    EXPECT_EQ(SongGetLen(s.get()), 0u);
    EXPECT_EQ(ReadSongInfos(Path("missing.mp3").c_str(), s.get(), 1), 1);
}

TEST(PlaylistItem, EffectivePartAndDisplayText)
{
    SongPtr s = NewSong("a.mp3", "Artist", "Song", 5000, 185000);
    PLI* item = PLICreate(s.get());
    EXPECT_EQ(PLIGetStart(item), 5000u);
    EXPECT_EQ(PLIGetLength(item), SongGetLen(s.get()));
    item->Override.timMainPart = {10000, 70000};
    EXPECT_EQ(PLIGetLength(item), 180000u);  // not in force without its flag
    item->UpdFlag.bBounds = 1;
    EXPECT_EQ(PLIGetStart(item), 10000u);
    EXPECT_EQ(PLIGetLength(item), 60000u);

    char text[MAXL_PLITITLE + 1];
    EXPECT_STREQ(PLIGetTitleDesc(item, text), "Artist - Song");
    StrCopy(item->cDesc, std::string(MAXL_PLIDESC - 1, 'd').c_str());
    EXPECT_EQ(std::string(PLIGetTitleDesc(item, text)), "Artist - Song [" + std::string(MAXL_PLIDESC - 1, 'd') + "]");

    PLI* orphan = PLICreate(nullptr);
    EXPECT_EQ(PLIGetEnd(orphan), 0u);
    EXPECT_EQ(PLIGetLength(orphan), 0u);
    EXPECT_STREQ(PLIGetTitleDesc(orphan, text), "");
    StrCopy(orphan->cDesc, "live");
    EXPECT_STREQ(PLIGetTitleDesc(orphan, text), " [live]");
    EXPECT_EQ(PLIGetTitleDesc(nullptr, text), nullptr);
    std::free(item);
    std::free(orphan);
}

TEST(Playlist, TotalTimeFollowsTheSongsMainPartsAtTheMomentOfChange)
{
    SongPtr a = NewSong("a", "", "a", 0, 100000);
    SongPtr b = NewSong("b", "", "b", 1000, 31000);
    List list;
    PLAddSong(list.pl, a.get());
    PLI* second = PLAddSong(list.pl, b.get());
    PLAddSong(list.pl, nullptr);
    EXPECT_EQ(PLGetTime(list.pl), 130000u);

    second->UpdFlag.bBounds = 1;  // an item override does not count
    second->Override.timMainPart = {0, 5000};
    PLInsertPLI(list.pl, PLICreate(b.get()), 0);
    EXPECT_EQ(PLGetTime(list.pl), 160000u);
    EXPECT_EQ(PLGetCurrentPLI(list.pl), PLGetPLI(list.pl, 0));

    b->Bounds.timMain.lEnd = 11000;  // a later mark change neither
    EXPECT_EQ(PLGetTime(list.pl), 160000u);
    PLFreePLIByIdx(list.pl, 1);  // a: minus 100000
    EXPECT_EQ(PLGetTime(list.pl), 60000u);
    PLFreePLIByIdx(list.pl, 9);
    EXPECT_EQ(PLGetCount(list.pl), 3);

    PLFree(list.pl);
    EXPECT_EQ(PLGetTime(list.pl), 0u);
    EXPECT_EQ(PLGetCount(list.pl), 0);
    EXPECT_EQ(PLGetTime(nullptr), 0u);
}

TEST(Playlist, SortsAreStableAscendingInByteOrder)
{
    std::vector<SongPtr> songs;
    auto add = [&](List& list, const char* file, const char* title, int style) {
        songs.push_back(NewSong(file, "A", title, 0, 0, style));
        PLAddSong(list.pl, songs.back().get());
    };
    List list;
    add(list, "d:\\z.mp3", "beta", 20);
    add(list, "d:\\B.mp3", "Zeta", STYLE_NONE);
    add(list, "d:\\a.mp3", "alpha", 20);
    add(list, "d:\\_.mp3", "Zeta", 3);

    PLBubbleSort(list.pl, PLBS_TITLE);  // upper case before lower case; equal titles keep their order
    EXPECT_EQ(list.Titles(), (std::vector<std::string>{"Zeta", "Zeta", "alpha", "beta"}));
    EXPECT_EQ(PLGetPLI(list.pl, 0)->psngSong, songs[1].get());

    PLBubbleSort(list.pl, PLBS_STYLE);  // no genre sorts last
    EXPECT_EQ(list.Titles(), (std::vector<std::string>{"Zeta", "alpha", "beta", "Zeta"}));
    EXPECT_EQ(PLGetPLI(list.pl, 3)->psngSong, songs[1].get());

    PLBubbleSort(list.pl, PLBS_FILENAME);  // 'B' < '_' < 'a' < 'z'
    EXPECT_EQ(list.Titles(), (std::vector<std::string>{"Zeta", "Zeta", "alpha", "beta"}));
    EXPECT_EQ(PLGetPLI(list.pl, 1)->psngSong, songs[3].get());

    PLBubbleSort(list.pl, PLBS_REVERT);
    EXPECT_EQ(list.Titles(), (std::vector<std::string>{"beta", "alpha", "Zeta", "Zeta"}));
    EXPECT_EQ(PLGetPLI(list.pl, 2)->psngSong, songs[3].get());

    const std::uint32_t total = PLGetTime(list.pl);
    PLBubbleSort(list.pl, 99);
    EXPECT_EQ(list.Titles(), (std::vector<std::string>{"beta", "alpha", "Zeta", "Zeta"}));
    EXPECT_EQ(PLGetTime(list.pl), total);
}

TEST(Playlist, RandomizeShufflesUniformlyAndKeepsEveryItem)
{
    std::vector<SongPtr> songs;
    List list;
    for (const char* t : {"0", "1", "2", "3"}) {
        songs.push_back(NewSong(t, "", t));
        PLAddSong(list.pl, songs.back().get());
    }
    int firstCounts[4] = {};
    constexpr int kRounds = 4000;
    for (int round = 0; round < kRounds; ++round) {
        PLBubbleSort(list.pl, PLBS_RANDOM);
        std::vector<std::string> titles = list.Titles();
        ++firstCounts[titles[0][0] - '0'];
        std::sort(titles.begin(), titles.end());
        ASSERT_EQ(titles, (std::vector<std::string>{"0", "1", "2", "3"}));
    }
    for (int count : firstCounts)  // each about 1000; a biased shuffle leaves one far off
        EXPECT_NEAR(count, kRounds / 4, 150);

    List empty;
    PLBubbleSort(empty.pl, PLBS_RANDOM);
    EXPECT_EQ(PLGetCount(empty.pl), 0);
}

class M3u : public Mp3Files {};

TEST_F(M3u, OneCrLfLinePerItemAndNothingElse)
{
    SongPtr a = NewSong("C:\\music\\a.mp3", "", "");
    SongPtr noName = NewSong("", "", "");
    List list;
    const std::string file = Path("list.m3u");
    ASSERT_EQ(PLExportM3U(list.pl, file.c_str()), 1);
    std::ifstream empty(file, std::ios::binary);
    EXPECT_EQ(std::istreambuf_iterator<char>(empty), std::istreambuf_iterator<char>());

    PLAddSong(list.pl, a.get());
    PLAddSong(list.pl, noName.get());
    PLAddSong(list.pl, nullptr);
    Write("list.m3u", Bytes(5000, 'o'));  // replaced, not overwritten in place
    ASSERT_EQ(PLExportM3U(list.pl, file.c_str()), 1);
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(bytes, "C:\\music\\a.mp3\r\n!!! NO FILENAME !!!\r\n\r\n");
}

}  // namespace
