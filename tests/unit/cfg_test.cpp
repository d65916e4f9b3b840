#include "defs.h"
#include "fakeos.h"
#include "fncfg.h"
#include "fndb.h"
#include "fnmain.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Config : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        StateReset();
        DBSetPath(MainGetDB(), "");
    }

    static std::string Value(HKEY root, const std::string& path, const std::string& name = "")
    {
        std::string value;
        return fake::RegistryGet(root, path, name, &value) ? value : "<missing>";
    }
};

TEST_F(Config, FileClassesNameTheDatabaseTypeAndTheProgramIcon)
{
    // Started by a double click on a database: the program, not its argument, is registered.
    fake::SetCommandLine("\"C:\\Tandem\\tandem.exe\" \"D:\\My Music\\a.tdb\"");
    EXPECT_EQ(CfgSetFileClasses(), 1);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "Tandem.Database"), "Tandem database file");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "Tandem.Database\\DefaultIcon"), "\"C:\\Tandem\\tandem.exe\", 1");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "Tandem.Database\\shell\\open\\command"), "\"C:\\Tandem\\tandem.exe\" \"%1\"");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".tdb"), "Tandem.Database");

    // A second start rewrites the same values.
    CfgSetFileClasses();
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".tdb"), "Tandem.Database");
}

TEST_F(Config, CommandLineTooLongForTheIconTextRegistersNoIcon)
{
    fake::SetCommandLine(std::string(300, 'x'));
    CfgSetFileClasses();
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "Tandem.Database"), "Tandem database file");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "Tandem.Database\\DefaultIcon"), "<missing>");
}

TEST_F(Config, RecentSurvivesStoreAndRestoreUpToTheFieldWidth)
{
    const std::string longest = "C:\\" + std::string(MAXL_DBPATH - 7, 'a') + ".tdb";
    ASSERT_EQ(longest.size(), static_cast<std::size_t>(MAXL_DBPATH));
    DBSetPath(MainGetDB(), longest.c_str());
    EXPECT_EQ(CfgStore(), 1);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\Brightwater\\Tandem", "Recent"), longest);

    DBSetPath(MainGetDB(), "other");
    EXPECT_EQ(CfgRestore(), 1);
    EXPECT_EQ(DBGetPath(MainGetDB()), longest);
}

TEST_F(Config, MissingOrTooLongRecentGivesTheEmptyPath)
{
    DBSetPath(MainGetDB(), "C:\\stale.tdb");
    CfgRestore();
    EXPECT_STREQ(DBGetPath(MainGetDB()), "");

    fake::RegistrySet(HKEY_CURRENT_USER, "Software\\Brightwater\\Tandem", "Recent",
                      "C:\\" + std::string(MAXL_DBPATH, 'b'));
    DBSetPath(MainGetDB(), "C:\\stale.tdb");
    CfgRestore();
    EXPECT_STREQ(DBGetPath(MainGetDB()), "");
}

TEST_F(Config, InitConfigSetsTheMixerDefaults)
{
    StateSetRepeat(1);
    InitConfig();
    EXPECT_EQ(StateGetActPlayer(), 0);
    EXPECT_EQ(StateGetPasPlayer(), 1);
    EXPECT_EQ(StateGetActEff(), 2);
    EXPECT_EQ(StateGetPasEff(), 3);
    EXPECT_EQ(StateGetTest(), 4);
    for (int i = 0; i <= SLOT_COMMON; ++i) {
        EXPECT_EQ(StateGetVolume(i), 204);
        EXPECT_EQ(StateGetPanning(i), 0);
    }
    EXPECT_EQ(StateGetFade(), 0);
    EXPECT_EQ(StateGetFadeLen(), 3000u);
    EXPECT_EQ(StateGetDuoLen(), 5000u);
    EXPECT_EQ(StateGetFadeType(), FADE_OVER);
    EXPECT_EQ(StateGetSubFade(), 1);
    EXPECT_EQ(StateGetMixEnabled(), 1);
    EXPECT_EQ(StateGetPlayStatus(), -1);
    EXPECT_EQ(StateGetTotalFadeLen(), 0u);
    EXPECT_EQ(StateGetRepeat(), 1) << "settings InitConfig does not name stay as they are";
    EXPECT_TRUE(fake::RegistryKeyExists(HKEY_CLASSES_ROOT, ".tdb"));
}

TEST_F(Config, OnlyOneDatabaseArgumentIsTakenFromTheCommandLine)
{
    const std::string longest = "C:\\" + std::string(MAXL_DBPATH - 7, 'a') + ".tdb";
    const struct {
        std::string commandLine, database;
    } rows[] = {
        {"\"C:\\Program Files\\Tandem\\tandem.exe\" \"D:\\My Music\\a.tdb\"", "D:\\My Music\\a.tdb"},
        {"tandem.exe D:\\My Music\\A.TDB  ", "D:\\My Music\\A.TDB"},
        {"tandem.exe " + longest, longest},
        {"tandem.exe " + longest + "x.tdb", ""},
        {"tandem.exe", ""},
        {"tandem.exe /S", ""},
        {"tandem.exe \"a.tdb\" \"b.tdb\"", ""},
        {"tandem.exe a.mp3", ""},
        {"tandem.exe .tdb", ""},
        {"\"tandem.exe\" \"a.tdb", "a.tdb"},
    };
    for (const auto& row : rows) {
        char path[MAXL_DBPATH + 1] = "stale";
        EXPECT_EQ(MainCmdLineDB(row.commandLine.c_str(), path, sizeof path), row.database.empty() ? 0 : 1);
        EXPECT_EQ(path, row.database) << row.commandLine;
    }
}

}  // namespace
