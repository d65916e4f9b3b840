// The library model: song texts, playlist items' effective
// parts, playlist totals, sort orders and the M3U export. Portable: also
// cross-built for Windows and run under Wine.
#include "fnana.h"
#include "fncomm.h"
#include "fneff.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnsong.h"
#include "fntl.h"
#include "mp3files.h"
#include "string2.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

using SongPtr = std::unique_ptr<SONG, void (*)(void*)>;

SongPtr NewSong(const char* file, const char* artist, const char* title, std::uint32_t end = 0, int style = 255)
{
    SongPtr s(SongCreate(), std::free);
    StrCopy(s->Desc.cFileName, file);
    StrCopy(s->Desc.cArtist, artist);
    StrCopy(s->Desc.cTitle, title);
    s->Desc.iStyle = style;
    s->Bounds.timMain = {1000, end};
    return s;
}

// A playlist that frees its items; the songs belong to the test.
struct List {
    PL* pl = PLCreate("test");
    ~List() { PLFree(pl), std::free(pl); }
    std::string Titles()
    {
        std::string out;
        for (int i = 0; i < PLGetCount(pl); ++i)
            out += std::string(SongGetTitle(PLGetSong(pl, i))) + " ";
        return out;
    }
};

TEST(Song, PlaceholdersFullTitlesAndGenres)
{
    char text[MAXL_FULLTITLE + 1];
    for (auto [artist, title, full] : {std::tuple{"Artist", "", "Artist - !!! NO TITLE !!!"},
                                       {"Artist", "Song", "Artist - Song"}, {"", "", "a b.mp3 (!)"}})
        EXPECT_STREQ(SongGetFullTitle(NewSong("C:\\music\\a b.mp3", artist, title).get(), text), full);
    const std::string longest(MAXL_FILETITLE, 'n');  // a file title of the full width keeps every character
    EXPECT_EQ(SongGetFullTitle(NewSong(("C:\\" + longest).c_str(), "", "").get(), text), longest + " (!)");
    for (auto [style, name] : {std::pair{115, "Folklore"}, {116, "Unknown"}, {255, "Unknown"}, {-1, "Unknown"}})
        EXPECT_STREQ(SongGetStyleS(NewSong("a", "b", "c", 0, style).get()), name);
    EXPECT_STREQ(StrPrior(nullptr, "none"), "none");
    EXPECT_TRUE(StrPrior("", "none") == std::string("none") && StrPrior("a", "none") == std::string("a"));
}

// An effect is chosen by its title, "Name [ID]"; the last bracket counts.
TEST(Effect, TheTitleNamesItsID)
{
    EFF effect{};
    effect.ID = 12;
    StrCopy(effect.cName, "Echo [live]");
    char title[MAXL_EFFTITLE + 1];
    EXPECT_EQ(EffGetID(EffGetTitle(&effect, title)), 12);
    EXPECT_EQ(EffGetID("Echo"), -1);
}

TEST(PlaylistItem, EffectivePartAndDisplayText)
{
    SongPtr s = NewSong("a.mp3", "Artist", "Song", 181000);
    PLI* item = PLICreate(s.get());
    item->Override.timMainPart = {10000, 70000};
    EXPECT_EQ(PLIGetLength(item), 180000u);  // not in force without its flag
    item->UpdFlag.bBounds = 1;
    EXPECT_TRUE(PLIGetStart(item) == 10000 && PLIGetLength(item) == 60000);
    char text[MAXL_PLITITLE + 1];
    StrCopy(item->cDesc, std::string(MAXL_PLIDESC - 1, 'd').c_str());
    EXPECT_EQ(std::string(PLIGetTitleDesc(item, text)), "Artist - Song [" + std::string(MAXL_PLIDESC - 1, 'd') + "]");
    StrCopy(item->cDesc, "live");
    item->psngSong = nullptr;
    EXPECT_STREQ(PLIGetTitleDesc(item, text), " [live]");
    std::free(item);
}

// Totals follow the songs' main parts at the moment of change; sorts are
// stable and ascending in byte order, songs without genre last.
TEST(Playlist, TotalsAndSorts)
{
    std::vector<SongPtr> songs;
    List list;
    for (auto [file, title, style] : {std::tuple{"d:\\z.mp3", "beta", 20}, {"d:\\B.mp3", "Zeta", 255},
                                      {"d:\\a.mp3", "alpha", 20}, {"d:\\_.mp3", "Zeta", 3}}) {
        songs.push_back(NewSong(file, "A", title, 11000 * static_cast<std::uint32_t>(songs.size() + 1), style));
        PLAddSong(list.pl, songs.back().get());
    }
    EXPECT_EQ(PLGetTime(list.pl), 10000u + 21000 + 32000 + 43000);
    songs[0]->Bounds.timMain.lEnd = 99000;  // a later mark change does not count
    EXPECT_EQ(PLGetTime(list.pl), 106000u);
    PLFreePLIByIdx(list.pl, 1);  // minus the song's main part now
    EXPECT_EQ(PLGetTime(list.pl), 85000u);
    PLInsertPLI(list.pl, PLICreate(songs[1].get()), 1);
    EXPECT_EQ(PLGetTime(list.pl), 106000u);
    for (auto [field, order] : {std::pair{PLBS_TITLE, "Zeta Zeta alpha beta "}, {PLBS_STYLE, "Zeta alpha beta Zeta "},
                                {PLBS_FILENAME, "Zeta Zeta alpha beta "}, {PLBS_REVERT, "beta alpha Zeta Zeta "}}) {
        PLBubbleSort(list.pl, field);
        EXPECT_EQ(list.Titles(), order) << field;
    }
    EXPECT_EQ(PLGetSong(list.pl, 2), songs[3].get());  // "_" sorts after "B" by file name
}

// The track table's sort: by the column's text, ties by the second key of
// its column, the "H" column ordering nothing.
TEST(TrackList, SortKeysAndTies)
{
    SongPtr a = NewSong("a.mp3", "Ann", "Zed");
    SongPtr b = NewSong("b.mp3", "Bob", "Abe");
    StrCopy(a->Desc.cAlbum, "X");
    StrCopy(b->Desc.cAlbum, "X");
    StrCopy(a->Desc.cComment, "c");
    StrCopy(b->Desc.cComment, "c");
    for (auto [key, order] : {std::pair{0, -1}, {0 + TL_DESCENDING, 1}, {1, 1}, {2, 1}, {2 + TL_DESCENDING, -1}, {3, 0},
                              {4, -1}, {6, -1}, {8, -1}, {9, -1}, {7, -1}, {7 + TL_DESCENDING, -1}, {10, -1}, {11, 0}})
        EXPECT_EQ(TLCompareAlphabetic(a.get(), b.get(), key), order) << key;
    EXPECT_EQ(TLCompareAlphabetic(a.get(), nullptr, 0), 0);
    b->General.bHidden = b->General.bOnRemovable = 1;
    char text[MAXL_TLCOLUMNTEXT + 1];
    EXPECT_STREQ(TLGetColumnText(b.get(), 7, text), "+");
    EXPECT_STREQ(TLGetColumnText(b.get(), 8, text), "R");
    EXPECT_EQ(TLGetColumnText(b.get(), TL_COLUMNS, text), nullptr);
    // Loudness by number, quietest first, tracks not measured last.
    a->Analysis = {ANA_DONE, ANA_VERSION, -900, -100, {}};
    EXPECT_STREQ(TLGetColumnText(a.get(), TL_COLUMN_LOUDNESS, text), "-9.0 LUFS");
    EXPECT_STREQ(AnaFormatLevels(a.get(), text, sizeof text), "Loudness -9.0 LUFS, peak -1.0 dBFS");
    EXPECT_STREQ(AnaFormatLevels(b.get(), text, sizeof text), "Not measured yet");
    EXPECT_EQ(TLCompareAlphabetic(a.get(), b.get(), TL_COLUMN_LOUDNESS), -1);
    b->Analysis = {ANA_DONE, ANA_VERSION, -1450, -100, {}};
    EXPECT_EQ(TLCompareAlphabetic(a.get(), b.get(), TL_COLUMN_LOUDNESS), 1) << "-9.0 after -14.5";
    b->Analysis.iState = ANA_UNDECODABLE;
    EXPECT_STREQ(TLGetColumnText(b.get(), TL_COLUMN_LOUDNESS, text), "cannot be decoded");
    EXPECT_STREQ(AnaFormatLevels(b.get(), text, sizeof text), "The file cannot be decoded");
}

TEST_F(Mp3Files, M3uIsOneCrLfLinePerItemAndNothingElse)
{
    SongPtr a = NewSong("C:\\music\\a.mp3", "", "");
    SongPtr noName = NewSong("", "", "");
    List list;
    PLAddSong(list.pl, a.get());
    PLAddSong(list.pl, noName.get());
    PLAddSong(list.pl, nullptr);
    const std::string file = Write("list.m3u", Bytes(5000, 'o'));  // replaced, not overwritten in place
    ASSERT_EQ(PLExportM3U(list.pl, file.c_str()), 1);
    EXPECT_EQ(PLExportM3U(list.pl, (file + "/under a file.m3u").c_str()), 0);
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "C:\\music\\a.mp3\r\n!!! NO FILENAME !!!\r\n\r\n");
}

}  // namespace
