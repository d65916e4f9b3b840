// Database files opened from the shell: a .tdb argument opens that database
// in place of "Recent", and a second start hands its database to the
// running control panel instead of starting a second program.
#include "tandem.h"

#include "dbgen.h"
#include "fndb.h"
#include "resource.h"
#include "winamp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using e2e::kPanelCaption;
using e2e::kStartTimeoutMs;
using e2e::kWindowTimeoutMs;

class InstanceTest : public e2e::TandemTest {
protected:
    // A stored database of Tracks generated tracks.
    std::string WriteDatabase(const std::string& name, int Tracks)
    {
        const std::string path = e2e::JoinPath(scratch, name);
        DB db{};
        DBInit(&db);
        EXPECT_TRUE(DbGenFill(&db, {Tracks, 1, Tracks, 7}));
        DBSetPath(&db, path.c_str());
        EXPECT_TRUE(DBStore(&db));
        DBFree(&db);
        return path;
    }

    int TrackRows(HWND trackList)
    {
        return e2e::ListViewCount(e2e::FindDescendant(trackList, WC_LISTVIEWA, LVTRACKLIST));
    }
};

TEST_F(InstanceTest, DatabaseArgumentOpensInTheOneRunningProgram)
{
    const std::string first = WriteDatabase("first.tdb", 3);
    const std::string second = WriteDatabase("second.tdb", 5);

    ASSERT_TRUE(e2e::Start(e2e::ToWindowsPath(TANDEM_EXE), {first}, {}, &tandem));
    running = true;
    panel = WaitForShown(kPanelCaption, kStartTimeoutMs);
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(e2e::WaitForWindows(WAMP_WINDOWCLASS, 5, kStartTimeoutMs).size(), 5u);
    ASSERT_TRUE(e2e::Click(panel, BTTL));
    const HWND trackList = WaitForShown("List of tracks");
    ASSERT_NE(trackList, nullptr);
    EXPECT_TRUE(e2e::WaitUntil([&] { return TrackRows(trackList) == 3; }, kWindowTimeoutMs));

    // Double-clicking the second database starts tandem.exe again.
    e2e::Process again;
    ASSERT_TRUE(e2e::Start(e2e::ToWindowsPath(TANDEM_EXE), {second}, {}, &again));
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ProcessEnded(again.pid); }, kStartTimeoutMs));
    EXPECT_TRUE(e2e::WaitUntil([&] { return TrackRows(trackList) == 5; }, kWindowTimeoutMs));
    EXPECT_EQ(e2e::TopLevelWindows(e2e::kDialogClass, kPanelCaption).size(), 1u);
    EXPECT_EQ(e2e::TopLevelWindows(WAMP_WINDOWCLASS).size(), 5u);

    Quit();
    std::string recent;
    EXPECT_TRUE(e2e::RegistryGetString(HKEY_CURRENT_USER, e2e::kSettingsKey, "Recent", &recent));
    EXPECT_EQ(recent, second);
}

}  // namespace
