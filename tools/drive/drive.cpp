#include "drive.h"

#include "host.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>

namespace e2e {

namespace {

// A window that takes longer than this to answer one message is hung: it is
// reported at once instead of after the caller's own time-out.
constexpr UINT kAnswerTimeoutMs = 10000;
// Room for one list-view cell: more than any path or title the program shows.
constexpr int kCellChars = 1024;

HANGREPORT HangReport = [](const std::string& What) { std::fprintf(stderr, "%s\n", What.c_str()); };

LRESULT Send(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, msg, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs, &result) && IsWindow(window)) {
        char what[96];
        std::snprintf(what, sizeof what, "window %p did not answer message 0x%X", static_cast<void*>(window), msg);
        HangReport(what);
    }
    return static_cast<LRESULT>(result);
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// A buffer in the process that owns the window: controls read and write
// the records of some messages in their own address space.
class Remote {
public:
    Remote(HWND window, std::size_t size)
        : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, WindowProcess(window))),
          data_(static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)))
    {
    }
    ~Remote()
    {
        if (data_ != nullptr)
            VirtualFreeEx(process_, data_, 0, MEM_RELEASE);
        if (process_ != nullptr)
            CloseHandle(process_);
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    char* Data() const { return data_; }
    LPARAM Param() const { return reinterpret_cast<LPARAM>(data_); }
    // Either fails unless every byte was copied.
    bool Write(const void* from, std::size_t size)
    {
        return data_ != nullptr && WriteProcessMemory(process_, data_, from, size, nullptr);
    }
    bool Read(const void* at, void* to, std::size_t size) const
    {
        return data_ != nullptr && ReadProcessMemory(process_, at, to, size, nullptr);
    }

private:
    HANDLE process_;
    char* data_;
};

// One cell's text through an item record in remote, the text after the record.
std::string Cell(HWND listView, Remote& remote, int row, int column)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = remote.Data() + sizeof item;
    item.cchTextMax = kCellChars;
    const auto length = remote.Write(&item, sizeof item) ? Send(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), remote.Param()) : 0;
    std::string text(static_cast<std::size_t>(length > 0 && length < kCellChars ? length : 0), '\0');
    return text.empty() || remote.Read(item.pszText, text.data(), text.size()) ? text : "";
}

// The field the dialog shows for the file name, the combo box (cmb13) of the
// newer layout or the edit (edt1) of the older one, and the edit in it.
HWND FileNameEdit(HWND dialog)
{
    const HWND combo = GetDlgItem(dialog, 0x47C), edit = GetDlgItem(dialog, 0x480);
    const HWND field = combo != nullptr && (IsWindowVisible(combo) || edit == nullptr) ? combo : edit;
    return field != nullptr && ClassOf(field) != "Edit" ? FindDescendant(field, "Edit") : field;
}

bool SetText(HWND window, const std::string& text)
{
    return window != nullptr && Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

// A user cannot press a disabled or hidden button; BM_CLICK would.
HWND Pressable(HWND dialog, int id)
{
    const HWND button = Control(dialog, id);
    return button != nullptr && IsWindowEnabled(button) && IsWindowVisible(button) ? button : nullptr;
}

}  // namespace

void SetHangReport(HANGREPORT Report) { HangReport = Report; }

HWND WaitForDialog(const char* caption, int timeoutMs, const std::function<bool(HWND)>& test)
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (const HWND window : TopLevelWindows(kDialogClass, caption))
            if (found == nullptr && IsWindowVisible(window) && IsWindowEnabled(window) && test(window))
                found = window;
        return found != nullptr;
    }, timeoutMs, 20);
    return found;
}

// ---- controls ----

HWND FindDescendant(HWND parent, const std::function<bool(HWND)>& test)
{
    std::pair<const std::function<bool(HWND)>*, HWND> search{&test, nullptr};
    EnumChildWindows(parent, [](HWND window, LPARAM lParam) {
        auto* s = reinterpret_cast<std::pair<const std::function<bool(HWND)>*, HWND>*>(lParam);
        return (*s->first)(window) ? (s->second = window, FALSE) : TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

HWND FindDescendant(HWND parent, const char* className, int id)
{
    return FindDescendant(parent, [&](HWND window) {
        return ClassOf(window) == className && (id == -1 || GetDlgCtrlID(window) == id);
    });
}

bool Click(HWND dialog, int id)
{
    const HWND button = Pressable(dialog, id);
    return button != nullptr && (Send(button, BM_CLICK, 0, 0), true);
}

bool ClickPosted(HWND dialog, int id)
{
    const HWND button = Pressable(dialog, id);
    return button != nullptr && PostMessageA(button, BM_CLICK, 0, 0);
}

void SendCommand(HWND window, int id) { Send(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

SIZE Resize(HWND window, int width, int height)
{
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

std::vector<int> Placement(HWND dialog, int id)
{
    RECT r{};
    GetWindowRect(Control(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// ---- texts ----

std::string WindowText(HWND window)
{
    std::string text(window != nullptr ? static_cast<std::size_t>(std::max<LRESULT>(Send(window, WM_GETTEXTLENGTH, 0, 0), 0)) + 1 : 1, '\0');
    const auto got = window != nullptr ? Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())) : 0;
    text.resize(static_cast<std::size_t>(got > 0 && got < static_cast<LRESULT>(text.size()) ? got : 0));
    return text;
}

bool SetControlText(HWND dialog, int id, const std::string& text) { return SetText(Control(dialog, id), text); }

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

int TrackbarThumbOffCentre(HWND trackbar)
{
    Remote remote(trackbar, sizeof(RECT));
    RECT thumb{}, client{};
    Send(trackbar, TBM_GETTHUMBRECT, 0, remote.Param());
    remote.Read(remote.Data(), &thumb, sizeof thumb);
    GetClientRect(trackbar, &client);
    return (thumb.left + thumb.right) / 2 - client.right / 2;
}

int CheckState(HWND dialog, int id)
{
    const HWND button = Control(dialog, id);
    return button != nullptr ? static_cast<int>(Send(button, BM_GETCHECK, 0, 0)) : -1;
}

// ---- list views ----

int ListViewCount(HWND listView) { return static_cast<int>(Send(listView, LVM_GETITEMCOUNT, 0, 0)); }

std::vector<std::string> ListViewRow(HWND listView, int row, int columns)
{
    std::vector<std::string> cells;
    Remote remote(listView, sizeof(LVITEMA) + kCellChars);
    for (int column = 0; column < columns; ++column)
        cells.push_back(Cell(listView, remote, row, column));
    return cells;
}

std::vector<std::string> ListViewColumn(HWND listView, int column)
{
    std::vector<std::string> cells;
    Remote remote(listView, sizeof(LVITEMA) + kCellChars);
    for (int row = 0, count = ListViewCount(listView); row < count; ++row)
        cells.push_back(Cell(listView, remote, row, column));
    return cells;
}

bool BrowseTo(HWND browser, const std::wstring& folder)
{
    const std::size_t bytes = (folder.size() + 1) * sizeof(wchar_t);
    Remote remote(browser, bytes);
    const bool ok = remote.Write(folder.c_str(), bytes);
    for (int i = 0; ok && i < 3; ++i, Sleep(700))
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, remote.Param());
    return ok;
}

std::string ListViewText(HWND listView, int row, int column)
{
    Remote remote(listView, sizeof(LVITEMA) + kCellChars);
    return Cell(listView, remote, row, column);
}

std::vector<int> ListViewSelection(HWND listView)
{
    std::vector<int> rows;
    for (auto row = Send(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED); row >= 0;
         row = Send(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))
        rows.push_back(static_cast<int>(row));
    return rows;
}

bool ListViewSetState(HWND listView, int row, UINT state, UINT mask)
{
    Remote remote(listView, sizeof(LVITEMA));
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    return row >= -1 && row < ListViewCount(listView) && remote.Write(&item, sizeof item) &&
           Send(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row), remote.Param()) != 0;
}

// Row -1 changes every item: clear them, then mark the one.
bool ListViewSelect(HWND listView, int row)
{
    constexpr UINT kMask = LVIS_SELECTED | LVIS_FOCUSED;
    return row >= 0 && ListViewSetState(listView, -1, 0, kMask) && ListViewSetState(listView, row, kMask, kMask) &&
           (Send(listView, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE), true);
}

// ---- message boxes and file dialogs ----

std::string MessageBoxText(HWND box)
{
    return WindowText(
        FindDescendant(box, [](HWND window) { return ClassOf(window) == "Static" && !WindowText(window).empty(); }));
}

bool Answer(HWND dialog, int buttonId, int timeoutMs)
{
    return Click(dialog, buttonId) && WaitUntil([dialog] { return !IsWindow(dialog); }, timeoutMs);
}

HWND FindFileDialog(const char* caption, int timeoutMs)
{
    return WaitForDialog(caption, timeoutMs, [](HWND window) { return FileNameEdit(window) != nullptr; });
}

bool SetFileDialogName(HWND dialog, const std::string& name) { return SetText(FileNameEdit(dialog), name); }

bool SubmitFileDialog(const char* caption, const std::string& name, int findMs)
{
    const HWND dialog = FindFileDialog(caption, findMs);
    return dialog != nullptr && SetFileDialogName(dialog, name) && ClickPosted(dialog, IDOK) &&
           WaitUntil([dialog] { return !IsWindow(dialog); }, 5000);
}

}  // namespace e2e
