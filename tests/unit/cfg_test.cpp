#include "defs.h"
#include "fakeos.h"
#include "fncfg.h"
#include "fndb.h"
#include "fnmain.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

std::string Value(HKEY root, const std::string& path, const std::string& name = "")
{
    std::string value;
    return fake::RegistryGet(root, path, name, &value) ? value : "<missing>";
}

TEST(Config, RecentKeepsAPathOfTheFieldWidthAndAMissingOrLongerOneGivesTheEmptyPathLevellingIsOnUnlessTurnedOff)
{
    const std::string longest = std::string(MAXL_DBPATH - 4, 'a').append(".tdb");
    const struct { std::string recent, path, level; int levelling; } cases[] = {
        {longest, longest, "0", 0}, {"", "", "", 1}, {longest + "b", "", "1", 1}, {"", "", "00", 1}};
    for (const auto& c : cases) {
        fake::Reset();
        DBSetPath(MainGetDB(), c.recent.c_str());
        if (!c.recent.empty())
            fake::RegistrySet(HKEY_CURRENT_USER, "Software\\Brightwater\\Tandem", "Recent", c.recent);
        if (!c.level.empty())
            fake::RegistrySet(HKEY_CURRENT_USER, "Software\\Brightwater\\Tandem", "Level", c.level);
        EXPECT_EQ(CfgRestore(), 1);
        EXPECT_EQ(DBGetPath(MainGetDB()), c.path);
        EXPECT_EQ(StateGetLevel(), c.levelling);
        EXPECT_EQ(CfgStore(), 1);
        EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\Brightwater\\Tandem", "Recent"), c.path);
        EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\Brightwater\\Tandem", "Level"), std::to_string(c.levelling));
    }
}

TEST(Config, TheUserGetsTheFileTypeWhereNoExistingProgramOpensDatabasesAndTheMixerItsDefaults)
{
    // The running program, under a name outside the code page; another that is gone.
    const std::string self = fake::ScratchPath("tandem-cfg-\xD0\x9F\xD1\x91\xD1\x82\xD1\x80").concat(".exe").string();
    std::ofstream(self) << "x";
    // Appended: GCC 12 sees a false overlap in a + b + c.
    const std::string quoted = std::string(1, '"').append(self).append("\"");
    const std::string opens = quoted + " \"%1\"", gone = "\"C:\\Old\\tandem.exe\" \"%1\"";
    const std::string user = "Software\\Classes\\", command = "Tandem.Database\\shell\\open\\command";
    struct Key {
        HKEY root;
        std::string path, value;
    };
    const struct { std::vector<Key> before; bool registers; } rows[] = {
        {{}, true},
        {{{HKEY_CLASSES_ROOT, ".tdb", "Tandem.Database"}, {HKEY_CLASSES_ROOT, command, opens}}, false},  // the installer's
        {{{HKEY_CLASSES_ROOT, ".tdb", "Tandem.Database"}, {HKEY_CLASSES_ROOT, command, gone}}, true},
        {{{HKEY_CURRENT_USER, user + ".tdb", "Other.Library"}, {HKEY_CLASSES_ROOT, "Other.Library\\shell\\open\\command", opens}}, false},
        {{{HKEY_CLASSES_ROOT, ".tdb", "Tandem.Database"}, {HKEY_CLASSES_ROOT, command, opens}, {HKEY_CURRENT_USER, user + command, gone}}, true},
    };
    for (const auto& row : rows) {
        fake::Reset();
        fake::SetModuleFileName(self);
        for (const Key& key : row.before)
            fake::RegistrySet(key.root, key.path, "", key.value);
        InitConfig();
        InitConfig();  // a second start finds its own registration
        EXPECT_EQ(fake::ShellNotifications(), row.registers ? 1 : 0) << row.before.size();
        EXPECT_EQ(Value(HKEY_CURRENT_USER, user + command), row.registers ? opens : "<missing>");
        if (row.registers) {
            EXPECT_EQ(Value(HKEY_CURRENT_USER, user + "Tandem.Database"), "Tandem database file");
            EXPECT_EQ(Value(HKEY_CURRENT_USER, user + "Tandem.Database\\DefaultIcon"), quoted + ", 1");
            EXPECT_EQ(Value(HKEY_CURRENT_USER, user + ".tdb"), "Tandem.Database");
        }
        for (const Key& key : row.before)  // the machine's classes are never touched, the user's only to register
            EXPECT_TRUE((key.root == HKEY_CURRENT_USER && row.registers) || Value(key.root, key.path) == key.value) << key.path;
    }
    std::filesystem::remove(self);
    fake::Reset();  // a program path too long for the field, cut, would name another file
    fake::SetModuleFileName("C:\\" + std::string(2000, 'p') + ".exe");
    InitConfig();
    EXPECT_EQ(fake::ShellNotifications(), 0);

    const long long got[] = {StateGetActPlayer(), StateGetPasPlayer(), StateGetActEff(), StateGetPasEff(),
        StateGetTest(), StateGetFade(), StateGetFadeLen(), StateGetDuoLen(), StateGetFadeType(), StateGetSubFade(),
        StateGetMixEnabled(), StateGetPlayStatus(), StateGetTotalFadeLen(), StateGetVolume(0), StateGetVolume(5)};
    const long long want[] = {0, 1, 2, 3, 4, 0, 3000, 5000, FADE_OVER, 1, 1, -1, 0, 204, 204};
    for (std::size_t i = 0; i < sizeof got / sizeof got[0]; ++i)
        EXPECT_EQ(got[i], want[i]) << i;
    // Slots outside 0..5 (the common control) are neither stored nor read.
    StateSetVolume(SLOT_COMMON + 1, 99);
    StateSetPanning(-1, 99);
    EXPECT_EQ(StateGetVolume(SLOT_COMMON + 1) + StateGetPanning(-1) + StateGetPanning(0) + StateGetVolume(SLOT_COMMON), 204);
}

TEST(Config, OnlyOneDatabaseArgumentIsTakenFromTheCommandLine)
{
    const std::string longest = std::string("C:\\").append(MAXL_DBPATH - 7, 'a').append(".tdb");
    const struct {
        std::string commandLine, database;
    } rows[] = {
        {"\"C:\\Program Files\\Tandem\\tandem.exe\" \"D:\\My Music\\a.tdb\"", "D:\\My Music\\a.tdb"},
        {"tandem.exe D:\\My Music\\A.TDB  ", "D:\\My Music\\A.TDB"},
        {"C:\\Program Files\\Tandem\\tandem.exe D:\\a.tdb", "D:\\a.tdb"},  // the program unquoted, as some launchers pass it
        {"C:\\Tools.exe2\\tandem.exe D:\\a.tdb", "D:\\a.tdb"},
        {"tandem.exe\tD:\\a.tdb", "D:\\a.tdb"},
        {std::string("tandem.exe ") + longest, longest},
        {std::string("tandem.exe ") + longest + "x.tdb", ""},
        {"tandem.exe", ""},
        {"tandem.exe /S", ""},
        {"tandem.exe \"a.tdb\" \"b.tdb\"", ""},
        {"tandem.exe a.mp3", ""},
        {"tandem.exe .tdb", ""},
        {"\"tandem.exe\" \"a.tdb", "a.tdb"},
    };
    for (const auto& row : rows) {
        char path[MAXL_DBPATH + 1] = "stale";
        EXPECT_EQ(CfgCmdLineDB(row.commandLine.c_str(), path, sizeof path), row.database.empty() ? 0 : 1);
        EXPECT_EQ(path, row.database) << row.commandLine;
    }
}

// Natively a share path "\\tmp\..." names a file in /tmp.
TEST(Config, AnotherProcessMayHandOverOnlyTheFullPathOfAnExistingFile)
{
    const std::string name = "tandem_handover" + std::to_string(::getpid()) + ".tdb";
    std::ofstream("/tmp/" + name) << "TNDMDB1.0";
    for (const auto& [path, taken] : {std::pair{"\\\\tmp\\" + name, 1}, {"/tmp/" + name, 0}, {"\\\\tmp", 0},
                                     {"\\\\tmp\\missing.tdb", 0}, {"C:tandem.tdb", 0}, {"", 0}})
        EXPECT_EQ(CfgIsDatabaseFile(path.c_str()), taken) << path;
    std::remove(("/tmp/" + name).c_str());
}

}  // namespace
