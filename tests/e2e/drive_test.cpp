// The window driver against real windows of another process: Wine's
// notepad with the common open dialog (whose file list is a list view), the
// Find dialog and message boxes. Every read here crosses a process boundary,
// which is where driving a window goes wrong.
#include "drive.h"
#include "e2e.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kTimeoutMs = 15000;
// Notepad's menu commands.
constexpr int kFileOpen = 0x101;
constexpr int kSearchFind = 0x120;
// Controls of the common dialogs.
constexpr int kFileTypes = 0x470;  // cmb1
constexpr int kFindWhat = 0x480;   // edt1
constexpr int kMatchCase = 0x411;  // chx2
constexpr int kUp = 0x420;         // rad1
constexpr int kDown = 0x421;       // rad2
// The open dialog's toolbar button for the details view.
constexpr int kDetailsView = 0xA004;

class DriveTest : public e2e::Test {
protected:
    // A notepad of its own, and its main window.
    HWND StartNotepad()
    {
        char windows[MAX_PATH] = "C:\\windows";
        GetWindowsDirectoryA(windows, sizeof windows);
        e2e::Process process;
        EXPECT_TRUE(e2e::Start(e2e::JoinPath(windows, "notepad.exe"), {}, {}, &process));
        pid = process.pid;
        HWND found = nullptr;
        e2e::WaitUntil(
            [&] {
                for (const HWND window : e2e::TopLevelWindows("Notepad"))
                    if (e2e::WindowProcess(window) == process.pid)
                        found = window;
                return found != nullptr;
            },
            kTimeoutMs);
        return found;
    }

    void WriteFile(const std::string& name, const std::string& text)
    {
        std::ofstream(e2e::JoinPath(scratch, name), std::ios::binary) << text;
    }

    DWORD pid = 0;
};

TEST_F(DriveTest, OpenDialogListsTheFolderAndOpensTheSelectedRow)
{
    WriteFile("alpha.txt", "first");
    WriteFile("beta.txt", "second");
    WriteFile("gamma.txt", "third");
    const HWND notepad = StartNotepad();
    ASSERT_NE(notepad, nullptr);
    e2e::PostCommand(notepad, kFileOpen);
    const HWND dialog = e2e::FindFileDialog("Open", kTimeoutMs);
    ASSERT_NE(dialog, nullptr);
    EXPECT_GE(e2e::ComboItems(dialog, kFileTypes).size(), 2u);

    // A folder typed as the name opens in the dialog, which stays.
    ASSERT_TRUE(e2e::SetFileDialogName(dialog, scratch));
    ASSERT_TRUE(e2e::ClickPosted(dialog, IDOK));
    // Each folder gets a list view of its own.
    HWND files = nullptr;
    const auto listed = [&](bool (*done)(HWND)) {
        return e2e::WaitUntil(
            [&] {
                files = e2e::FindDescendant(dialog, "SysListView32");
                return files != nullptr && done(files);
            },
            kTimeoutMs);
    };
    ASSERT_TRUE(listed([](HWND list) { return e2e::ListViewCount(list) == 3; })) << e2e::WindowTree(dialog);
    e2e::PostCommand(dialog, kDetailsView);
    ASSERT_TRUE(listed([](HWND list) { return e2e::ListViewColumns(list) >= 2; })) << e2e::WindowTree(dialog);

    const auto rows = e2e::ListViewRows(files);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "alpha.txt");
    EXPECT_EQ(rows[1][0], "beta.txt");
    EXPECT_EQ(rows[2][0], "gamma.txt");
    EXPECT_FALSE(rows[1][1].empty());  // the size column
    EXPECT_EQ(e2e::ListViewText(files, 2, 0), "gamma.txt");

    ASSERT_TRUE(e2e::ListViewSelect(files, 1));
    EXPECT_EQ(e2e::ListViewState(files, 1), static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_EQ(e2e::ListViewState(files, 0), 0u);
    EXPECT_EQ(e2e::ListViewSelection(files), std::vector<int>{1});
    EXPECT_TRUE(e2e::Screenshot(e2e::JoinPath(scratch, "open dialog.bmp")));

    // The dialog took the selected row as the name, as after a click on it.
    ASSERT_TRUE(e2e::ClickPosted(dialog, IDOK));
    EXPECT_TRUE(e2e::WaitUntil([dialog] { return !IsWindow(dialog); }, kTimeoutMs));
    EXPECT_EQ(e2e::WaitForText(notepad, "beta.txt - Notepad", kTimeoutMs), "beta.txt - Notepad");
    EXPECT_EQ(e2e::WindowText(e2e::FindDescendant(notepad, "Edit")), "second");
}

TEST_F(DriveTest, MessageBoxesAreFoundReadAndAnswered)
{
    const HWND notepad = StartNotepad();
    ASSERT_NE(notepad, nullptr);
    e2e::PostCommand(notepad, kFileOpen);
    const HWND dialog = e2e::FindFileDialog("Open", kTimeoutMs);
    ASSERT_NE(dialog, nullptr);

    // A name that does not exist is refused with a box over the dialog.
    EXPECT_FALSE(e2e::SubmitFileDialog(dialog, e2e::JoinPath(scratch, "missing.txt"), 500));
    HWND box = e2e::FindMessageBox(nullptr, kTimeoutMs);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(box, dialog);
    EXPECT_EQ(e2e::MessageBoxText(box), "File does not exist");
    EXPECT_FALSE(e2e::AnswerMessageBox(box, IDNO, 500));  // a box with OK only has no such button
    EXPECT_TRUE(e2e::AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(IsWindowEnabled(dialog));
    ASSERT_TRUE(e2e::ClickPosted(dialog, IDCANCEL));
    EXPECT_TRUE(e2e::WaitUntil([dialog] { return !IsWindow(dialog); }, kTimeoutMs));

    // Closing a changed text asks whether to save it: Cancel keeps notepad, No ends it.
    const HWND edit = e2e::FindDescendant(notepad, "Edit");
    PostMessageA(edit, WM_CHAR, 'x', 0);
    for (const int answer : {IDCANCEL, IDNO}) {
        PostMessageA(notepad, WM_CLOSE, 0, 0);
        box = e2e::FindMessageBox("Notepad", kTimeoutMs);
        ASSERT_NE(box, nullptr) << answer;
        EXPECT_NE(e2e::MessageBoxText(box).find("Untitled"), std::string::npos) << e2e::MessageBoxText(box);
        EXPECT_TRUE(e2e::AnswerMessageBox(box, answer));
    }
    EXPECT_TRUE(e2e::WaitUntil([this] { return e2e::ProcessEnded(pid); }, kTimeoutMs));
}

TEST_F(DriveTest, FindDialogButtonsFollowClicksAndTypedText)
{
    const HWND notepad = StartNotepad();
    ASSERT_NE(notepad, nullptr);
    e2e::PostCommand(notepad, kSearchFind);
    const HWND find = e2e::WaitForWindow(e2e::kDialogClass, "Find", kTimeoutMs);
    ASSERT_NE(find, nullptr);
    // The dialog has its caption before it is set up and shown.
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(find) != FALSE; }, kTimeoutMs));

    // Find Next waits for a text, and a click on it while disabled does nothing.
    EXPECT_FALSE(e2e::IsControlEnabled(find, IDOK));
    EXPECT_FALSE(e2e::Click(find, IDOK));
    ASSERT_TRUE(e2e::SetControlText(find, kFindWhat, "needle"));
    EXPECT_EQ(e2e::ControlText(find, kFindWhat), "needle");
    EXPECT_TRUE(e2e::IsControlEnabled(find, IDOK));

    EXPECT_EQ(e2e::CheckState(find, kMatchCase), BST_UNCHECKED);
    EXPECT_TRUE(e2e::Click(find, kMatchCase));
    EXPECT_EQ(e2e::CheckState(find, kMatchCase), BST_CHECKED);
    EXPECT_EQ(e2e::CheckState(find, kDown), BST_CHECKED);
    EXPECT_TRUE(e2e::Click(find, kUp));
    EXPECT_EQ(e2e::CheckState(find, kUp), BST_CHECKED);
    EXPECT_EQ(e2e::CheckState(find, kDown), BST_UNCHECKED);
    EXPECT_EQ(e2e::CheckState(find, 0x7777), -1);
}

}  // namespace
