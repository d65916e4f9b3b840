#include "drive.h"

#include "e2e.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

namespace e2e {

namespace {

// A window that takes longer than this to answer one message is hung; the
// test fails on it instead of waiting for the test's own time-out.
constexpr UINT kAnswerTimeoutMs = 10000;
// Room for one list-view cell: more than any path or title the program shows.
constexpr int kCellChars = 1024;

LRESULT Send(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, msg, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs, &result) && IsWindow(window))
        ADD_FAILURE() << "window " << window << " did not answer message 0x" << std::hex << msg;
    return static_cast<LRESULT>(result);
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// An item record and a cell's text in the process that owns the list view:
// the view reads and writes them in its own address space.
class RemoteItem {
public:
    explicit RemoteItem(HWND listView)
        : view_(listView), process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                                WindowProcess(listView)))
    {
        if (process_ != nullptr)
            item_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, sizeof(LVITEMA) + kCellChars,
                                                      MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteItem()
    {
        if (item_ != nullptr)
            VirtualFreeEx(process_, item_, 0, MEM_RELEASE);
        if (process_ != nullptr)
            CloseHandle(process_);
    }
    RemoteItem(const RemoteItem&) = delete;
    RemoteItem& operator=(const RemoteItem&) = delete;

    bool Ok() const { return item_ != nullptr; }
    // Sends msg for the row with the item record written first.
    LRESULT Send(UINT msg, int row, const LVITEMA& item)
    {
        SIZE_T done = 0;
        const bool written = WriteProcessMemory(process_, item_, &item, sizeof item, &done) && done == sizeof item;
        return written ? e2e::Send(view_, msg, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(item_)) : 0;
    }
    std::string Cell(int row, int column)
    {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = item_ + sizeof item;
        item.cchTextMax = kCellChars;
        const auto length = Send(LVM_GETITEMTEXTA, row, item);
        std::string text(static_cast<std::size_t>(length > 0 && length < kCellChars ? length : 0), '\0');
        SIZE_T done = 0;
        return text.empty() || ReadProcessMemory(process_, item.pszText, text.data(), text.size(), &done) ? text : "";
    }
    bool SetState(int row, UINT state, UINT mask)
    {
        LVITEMA item{};
        item.state = state;
        item.stateMask = mask;
        return Send(LVM_SETITEMSTATE, row, item) != 0;
    }

private:
    HWND view_;
    HANDLE process_;
    char* item_ = nullptr;
};

// The field the dialog shows for the file name: the combo box (cmb13) of
// the newer layout or the edit (edt1) of the older one.
HWND FileNameControl(HWND dialog)
{
    const HWND combo = GetDlgItem(dialog, 0x47C), edit = GetDlgItem(dialog, 0x480);
    return combo != nullptr && (IsWindowVisible(combo) || edit == nullptr) ? combo : edit;
}

HWND FileNameEdit(HWND dialog)
{
    const HWND field = FileNameControl(dialog);
    return field != nullptr && ClassOf(field) != "Edit" ? FindDescendant(field, "Edit") : field;
}

}  // namespace

HWND WaitForDialog(const char* caption, int timeoutMs, bool (*test)(HWND))
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (const HWND window : TopLevelWindows(kDialogClass, caption))
                if (found == nullptr && IsWindowVisible(window) && IsWindowEnabled(window) && test(window))
                    found = window;
            return found != nullptr;
        },
        timeoutMs, 20);
    return found;
}

// ---- controls ----

HWND Control(HWND dialog, int id) { return dialog != nullptr ? GetDlgItem(dialog, id) : nullptr; }

HWND FindDescendant(HWND parent, const char* className, int id)
{
    struct Search {
        const char* className;
        int id;
        HWND found;
    } search{className, id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM lParam) {
            auto* s = reinterpret_cast<Search*>(lParam);
            const bool match = ClassOf(window) == s->className && (s->id == -1 || GetDlgCtrlID(window) == s->id);
            return match ? (s->found = window, FALSE) : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}


// A user cannot press a disabled or hidden button; BM_CLICK would.
bool Click(HWND dialog, int id)
{
    const HWND button = Control(dialog, id);
    const bool pressable = button != nullptr && IsWindowEnabled(button) && IsWindowVisible(button);
    return pressable && (Send(button, BM_CLICK, 0, 0), true);
}

bool ClickPosted(HWND dialog, int id)
{
    const HWND button = Control(dialog, id);
    return button != nullptr && IsWindowEnabled(button) && IsWindowVisible(button) && PostMessageA(button, BM_CLICK, 0, 0);
}

void SendCommand(HWND window, int id) { Send(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void PostCommand(HWND window, int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// ---- texts ----

std::string WindowText(HWND window)
{
    std::string text(window != nullptr ? static_cast<std::size_t>(std::max<LRESULT>(Send(window, WM_GETTEXTLENGTH, 0, 0), 0)) + 1 : 1, '\0');
    const auto got = window != nullptr ? Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())) : 0;
    text.resize(static_cast<std::size_t>(got > 0 && got < static_cast<LRESULT>(text.size()) ? got : 0));
    return text;
}

std::string ControlText(HWND dialog, int id) { return WindowText(Control(dialog, id)); }

bool SetControlText(HWND dialog, int id, const std::string& text)
{
    const HWND control = Control(dialog, id);
    return control != nullptr && Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

bool SetComboText(HWND dialog, int id, const std::string& text, bool leave)
{
    const HWND combo = Control(dialog, id);
    const HWND edit = combo != nullptr ? FindDescendant(combo, "Edit") : nullptr;
    if (edit == nullptr)
        return false;
    // Typed key by key: a WM_SETTEXT alone brings the parent no CBN_EDITCHANGE.
    Send(edit, EM_SETSEL, 0, -1);
    Send(edit, WM_CHAR, VK_BACK, 0);
    for (const char c : text)
        Send(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
    const bool typed = WindowText(edit) == text;
    if (leave)
        Send(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_KILLFOCUS), reinterpret_cast<LPARAM>(combo));
    return typed;
}


std::string WaitForText(HWND window, const std::string& expected, int timeoutMs)
{
    std::string text;
    WaitUntil([&] { return (text = WindowText(window)) == expected; }, timeoutMs, 20);
    return text;
}

// ---- trackbars, check boxes and radio buttons ----

int TrackbarPos(HWND dialog, int id)
{
    const HWND trackbar = Control(dialog, id);
    return trackbar != nullptr ? static_cast<int>(Send(trackbar, TBM_GETPOS, 0, 0)) : -1;
}


int CheckState(HWND dialog, int id)
{
    const HWND button = Control(dialog, id);
    return button != nullptr ? static_cast<int>(Send(button, BM_GETCHECK, 0, 0)) : -1;
}

// ---- list views ----

int ListViewCount(HWND listView) { return static_cast<int>(Send(listView, LVM_GETITEMCOUNT, 0, 0)); }

std::vector<std::vector<std::string>> ListViewRows(HWND listView, int columns)
{
    const auto header = reinterpret_cast<HWND>(Send(listView, LVM_GETHEADER, 0, 0));
    if (columns < 0)
        columns = std::max(header != nullptr ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 0, 1);
    std::vector<std::vector<std::string>> rows;
    RemoteItem remote(listView);
    for (int row = 0, count = ListViewCount(listView); remote.Ok() && row < count; ++row)
        for (int column = 0; column < columns; ++column)
            (column == 0 ? rows.emplace_back() : rows.back()).push_back(remote.Cell(row, column));
    return rows;
}

bool BrowseTo(HWND browser, const std::wstring& folder)
{
    const std::size_t bytes = (folder.size() + 1) * sizeof(wchar_t);
    const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, WindowProcess(browser));
    void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    const bool ok = remote != nullptr && WriteProcessMemory(process, remote, folder.c_str(), bytes, nullptr);
    for (int i = 0; ok && i < 3; ++i, Sleep(700))
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote));
    CloseHandle(process);
    return ok;
}

bool BrowseTo(HWND browser, const std::string& folder) { return BrowseTo(browser, Wide(folder)); }

std::string ListViewText(HWND listView, int row, int column)
{
    RemoteItem remote(listView);
    return remote.Ok() ? remote.Cell(row, column) : std::string();
}

UINT ListViewState(HWND listView, int row, UINT mask)
{
    return static_cast<UINT>(Send(listView, LVM_GETITEMSTATE, static_cast<WPARAM>(row), static_cast<LPARAM>(mask)));
}

std::vector<int> ListViewSelection(HWND listView)
{
    std::vector<int> rows;
    for (auto row = Send(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED); row >= 0;
         row = Send(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))
        rows.push_back(static_cast<int>(row));
    return rows;
}

// Index -1 changes every item: clear them, then mark the one.
bool ListViewSelect(HWND listView, int row)
{
    constexpr UINT kMask = LVIS_SELECTED | LVIS_FOCUSED;
    RemoteItem remote(listView);
    const bool selected = remote.Ok() && row >= 0 && row < ListViewCount(listView) && remote.SetState(-1, 0, kMask) &&
                          remote.SetState(row, kMask, kMask);
    return selected && (Send(listView, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE), true);
}

bool ListViewSetState(HWND listView, int row, UINT state, UINT mask)
{
    RemoteItem remote(listView);
    return remote.Ok() && row >= -1 && row < ListViewCount(listView) && remote.SetState(row, state, mask);
}

// ---- message boxes and file dialogs ----

HWND FindMessageBox(const char* caption, int timeoutMs)
{
    return WaitForDialog(caption, timeoutMs, [](HWND) { return true; });
}

std::string MessageBoxText(HWND box)
{
    std::string text;
    EnumChildWindows(
        box,
        [](HWND window, LPARAM lParam) {
            auto* found = reinterpret_cast<std::string*>(lParam);
            if (ClassOf(window) == "Static")
                *found = WindowText(window);
            return found->empty() ? TRUE : FALSE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

bool AnswerMessageBox(HWND box, int buttonId, int timeoutMs)
{
    return Click(box, buttonId) && WaitUntil([box] { return !IsWindow(box); }, timeoutMs);
}

HWND FindFileDialog(const char* caption, int timeoutMs)
{
    return WaitForDialog(caption, timeoutMs, [](HWND window) { return FileNameControl(window) != nullptr; });
}

bool SetFileDialogName(HWND dialog, const std::string& name)
{
    const HWND edit = FileNameEdit(dialog);
    return edit != nullptr && Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str())) != 0;
}


bool SubmitFileDialog(HWND dialog, const std::string& name, int timeoutMs)
{
    return SetFileDialogName(dialog, name) && ClickPosted(dialog, IDOK) &&
           WaitUntil([dialog] { return !IsWindow(dialog); }, timeoutMs);
}

}  // namespace e2e
