// Database files opened from the shell: a .tdb argument opens that database
// in place of "Recent", and a second start hands its database to the
// running control panel instead of starting a second program. Then the
// session ends: closing waits for an open dialog, the library is saved
// before the system hears the answer, and a library that needs a file holds
// the end until the user has answered.
#include "tandem.h"

#include "resource.h"
#include "winamp.h"

namespace {

using namespace e2e;

class InstanceTest : public TandemTest {
protected:
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
    const std::string first = JoinPath(scratch, "first.tdb"), second = JoinPath(scratch, "second.tdb");
    const auto files = WriteMusic({{"a.mp3", {"A", "a"}}, {"b.mp3", {"B", "b"}}, {"c.mp3", {"C", "c"}},
                                   {"d.mp3", {"D", "d"}}, {"e.mp3", {"E", "e"}}});
    StoreLibrary({files.begin(), files.begin() + 3}, first);
    StoreLibrary(files, second);

    StartTandem({first});
    ASSERT_NO_FATAL_FAILURE(OpenTrackList());
    EXPECT_TRUE(WaitRows(list, 3));

    // Double-clicking the second database starts tandem.exe again.
    Process again;
    ASSERT_TRUE(Start(ToWindowsPath(TANDEM_EXE), {second}, &again));
    EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(again.pid); }, kStartTimeoutMs));
    EXPECT_TRUE(WaitRows(list, 5));
    EXPECT_EQ(TopLevelWindows(kDialogClass, kPanelCaption).size(), 1u);
    EXPECT_EQ(TopLevelWindows(WAMP_WINDOWCLASS).size(), 5u);

    // Closing while a dialog holds an edit brings the dialog forward instead.
    const HWND info = OpenTrackInfo(0);
    ASSERT_NE(info, nullptr);
    PostMessageA(panel, WM_CLOSE, 0, 0);
    ExpectMessageBox("Warning", "Finish this dialog first (OK or Cancel), so that nothing in it is lost; then close Tandem.",
                     IDOK);
    ASSERT_TRUE(SetControlText(info, EDTITLE, "Kept at logoff") && Click(info, IDOK));

    // The session may end once the library and "Recent" are saved; another program then keeps it going.
    EXPECT_EQ(QueryEndSession(), TRUE);
    EXPECT_NE(ReadBytes(second).find("Kept at logoff"), std::string::npos);
    std::string recent;
    EXPECT_TRUE(RegistryGetString(HKEY_CURRENT_USER, kSettingsKey, "Recent", &recent) && recent == second);
    SendMessageA(panel, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);

    // A new library of one named playlist needs a file: the end waits for the answer, then Tandem ends.
    PostCommand(tl, CMNEW);
    ASSERT_TRUE(WaitRows(list, 0));
    ASSERT_NO_FATAL_FAILURE(OpenPlaylistEditor());
    ASSERT_NO_FATAL_FAILURE(NewPlaylist("Mine"));
    EXPECT_EQ(QueryEndSession(), FALSE);
    ExpectMessageBox("Warning", "The library has not been saved to a file yet.\n\nSave the library under another name?\n"
                                "(No: leave it unsaved)", IDYES);
    const std::string mine = JoinPath(scratch, "mine.tdb");
    const HWND saveAs = FindFileDialog("Save database as", kWindowTimeoutMs);
    ASSERT_TRUE(saveAs != nullptr && SubmitFileDialog(saveAs, mine));
    WaitForEnd();
    const std::string bytes = ReadBytes(mine);
    EXPECT_TRUE(bytes.size() == 172u && bytes.find("Mine") != std::string::npos);
    EXPECT_TRUE(RegistryGetString(HKEY_CURRENT_USER, kSettingsKey, "Recent", &recent) && recent == mine);
}

}  // namespace
