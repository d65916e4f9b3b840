// The demo library: its database reads back with every track under the
// program's name for it, and its one playlist holds them in order.
#include "fndb.h"
#include "fnpl.h"
#include "fnpll.h"
#include "fnsong.h"
#include "fntl.h"
#include "mkdemo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

class MkDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() / ("tandem_mkdemo_" + std::to_string(std::random_device{}()));
        dbPath = (dir / "demo.tdb").string();
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::filesystem::path dir;
    std::string dbPath;
};

TEST_F(MkDemo, DatabaseReadsBackWithEveryTrackInTheDemoPlaylist)
{
    std::string error;
    ASSERT_TRUE(MkDemoWrite(dir.string(), "C:\\Demo", dbPath, &error)) << error;

    DB db{};
    DBInit(&db);
    DBSetPath(&db, dbPath.c_str());
    ASSERT_EQ(DBRestore(&db), 1);
    const auto tracks = MkDemoTracks();
    ASSERT_EQ(TLGetTotal(DBGetTL(&db)), static_cast<int>(tracks.size()));
    ASSERT_EQ(ListGetTotal(DBGetPLL(&db)), 1);
    PL* pl = PLLExistsPL(DBGetPLL(&db), MKDEMO_PLAYLIST);
    ASSERT_NE(pl, nullptr);
    ASSERT_EQ(PLGetCount(pl), static_cast<int>(tracks.size()));

    std::uint32_t total = 0;
    LISTITEM* key = nullptr;
    SONG* song = TLFindFirstSong(DBGetTL(&db), &key);
    for (std::size_t i = 0; i < tracks.size(); ++i, song = TLFindNextSong(DBGetTL(&db), &key)) {
        const MKDEMOTRACK& t = tracks[i];
        SCOPED_TRACE(t.cTitle);
        ASSERT_NE(song, nullptr);
        EXPECT_EQ(std::string(song->Desc.cFileName), std::string("C:\\Demo\\") + t.cFolder + "\\" + t.cFile);
        EXPECT_TRUE(std::filesystem::is_regular_file(dir / t.cFolder / t.cFile));
        EXPECT_STREQ(song->Desc.cTitle, t.cTitle);
        EXPECT_STREQ(song->Desc.cArtist, t.cArtist);
        EXPECT_STREQ(song->Desc.cAlbum, t.cAlbum);
        EXPECT_STREQ(song->Desc.cYear, t.cYear);
        EXPECT_STREQ(song->Desc.cPlace, MKDEMO_PLACE);
        EXPECT_EQ(song->Desc.iStyle, t.iStyle);
        EXPECT_EQ(song->MPegInfo.lSampleRate, t.lSampleRate);
        EXPECT_EQ(song->MPegInfo.lBitRate, t.lBitRate);
        // The main part is the whole file, as when the track is added by hand.
        EXPECT_EQ(SongGetStart(song), 0u);
        EXPECT_NEAR(static_cast<double>(SongGetLen(song)), t.lSeconds * 1000.0, 50.0);
        EXPECT_EQ(PLGetSong(pl, static_cast<int>(i)), song);
        total += SongGetLen(song);
    }
    EXPECT_EQ(PLGetTime(pl), total);
    DBFree(&db);
}

TEST_F(MkDemo, TrackPathTooLongForTheDatabaseFailsWithoutWritingIt)
{
    std::string error;
    const std::string deep = "C:\\" + std::string(MAXL_SONGPATH - 20, 'x');
    EXPECT_FALSE(MkDemoWrite(dir.string(), deep, dbPath, &error));
    EXPECT_NE(error.find("longer than"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dbPath));
}

}  // namespace
