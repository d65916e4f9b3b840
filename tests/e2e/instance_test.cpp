// Database files opened from the shell: a .tdb argument opens that database
// in place of "Recent", and a second start hands its database to the
// running control panel instead of starting a second program. Then the
// session ends: closing waits for an open dialog, the library is saved
// before the system hears the answer, and a library that needs a file holds
// the end until the user has answered.
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

    // What the panel answers the system's question whether the session may end.
    LRESULT QueryEndSession()
    {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(panel, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, kWindowTimeoutMs, &answer);
        return static_cast<LRESULT>(answer);
    }
};

TEST_F(InstanceTest, DatabaseArgumentOpensInTheOneRunningProgramWhichKeepsItsLibraryAtTheSessionsEnd)
{
    const std::string first = WriteDatabase("first.tdb", 3);
    const std::string second = WriteDatabase("second.tdb", 5);

    StartTandem({first});
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

    // Closing while a dialog holds an edit brings the dialog forward instead.
    ASSERT_TRUE(e2e::ListViewSelect(e2e::FindDescendant(trackList, WC_LISTVIEWA, LVTRACKLIST), 0));
    ASSERT_TRUE(e2e::ClickPosted(trackList, BTMODIFY));
    const HWND info = WaitForShown("Track information");
    ASSERT_NE(info, nullptr);
    PostMessageA(panel, WM_CLOSE, 0, 0);
    ExpectMessageBox("Warning", "Finish this dialog first (OK or Cancel), so that nothing in it is lost; then close Tandem.",
                     IDOK);
    ASSERT_TRUE(e2e::SetControlText(info, EDTITLE, "Kept at logoff") && e2e::Click(info, IDOK));

    // The session may end once the library and "Recent" are saved; another program then keeps it going.
    EXPECT_EQ(QueryEndSession(), TRUE);
    EXPECT_NE(e2e::ReadBytes(second).find("Kept at logoff"), std::string::npos);
    std::string recent;
    EXPECT_TRUE(e2e::RegistryGetString(HKEY_CURRENT_USER, e2e::kSettingsKey, "Recent", &recent) && recent == second);
    SendMessageA(panel, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);

    // A new library of one named playlist needs a file: the end waits for the answer, then Tandem ends.
    e2e::PostCommand(trackList, CMNEW);
    ASSERT_TRUE(e2e::WaitUntil([&] { return TrackRows(trackList) == 0; }, kWindowTimeoutMs));
    ASSERT_TRUE(e2e::Click(panel, BTPLAYLIST));
    const HWND pl = WaitForDialog([](HWND w) { return e2e::Control(w, LVPLAYLIST) != nullptr; });
    ASSERT_NE(pl, nullptr);
    e2e::PostCommand(pl, CMNEWLIST);
    const HWND naming = WaitForShown("Create new playlist");
    ASSERT_TRUE(naming != nullptr && e2e::SetControlText(naming, EDNAME, "Mine") && e2e::ClickPosted(naming, IDOK));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(pl).rfind("Playlist editor - Mine", 0) == 0; },
                               kWindowTimeoutMs));
    EXPECT_EQ(QueryEndSession(), FALSE);
    ExpectMessageBox("Warning", "The library has not been saved to a file yet.\n\nSave the library under another name?\n"
                                "(No: leave it unsaved)", IDYES);
    const std::string mine = e2e::JoinPath(scratch, "mine.tdb");
    const HWND saveAs = e2e::FindFileDialog("Save database as", kWindowTimeoutMs);
    ASSERT_TRUE(saveAs != nullptr && e2e::SubmitFileDialog(saveAs, mine));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ProcessEnded(tandem.pid); }, kStartTimeoutMs));
    running = false;
    const std::string bytes = e2e::ReadBytes(mine);
    EXPECT_TRUE(bytes.size() == 172u && bytes.find("Mine") != std::string::npos);
    EXPECT_TRUE(e2e::RegistryGetString(HKEY_CURRENT_USER, e2e::kSettingsKey, "Recent", &recent) && recent == mine);
}

}  // namespace
