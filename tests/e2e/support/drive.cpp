#include "drive.h"

#include "e2e.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

namespace e2e {

namespace {

// A window that takes longer than this to answer one message is hung; the
// test fails on it instead of waiting for the test's own time-out.
constexpr UINT kAnswerTimeoutMs = 10000;
// Room for one list-view cell: more than any path or title the program shows.
constexpr int kCellChars = 1024;
constexpr int kFileNameCombo = 0x47C;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1

LRESULT Send(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, msg, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs, &result) &&
        IsWindow(window))
        ADD_FAILURE() << "window " << window << " did not answer message 0x" << std::hex << msg;
    return static_cast<LRESULT>(result);
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Texts of a combo box or list box: count, then each entry by its length.
std::vector<std::string> Entries(HWND control, UINT countMsg, UINT lengthMsg, UINT textMsg)
{
    std::vector<std::string> entries;
    const auto count = control != nullptr ? Send(control, countMsg, 0, 0) : 0;
    for (LRESULT i = 0; i < count; ++i) {
        const auto length = Send(control, lengthMsg, static_cast<WPARAM>(i), 0);
        std::string text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
        const auto got = Send(control, textMsg, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        entries.push_back(text);
    }
    return entries;
}

// A block of memory in the process that owns a window, for messages whose
// arguments point at memory: the window reads and writes them in its own
// address space.
class RemoteMemory {
public:
    RemoteMemory(HWND window, std::size_t size)
    {
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               WindowProcess(window));
        if (process_ != nullptr)
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteMemory()
    {
        if (address_ != nullptr)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_ != nullptr)
            CloseHandle(process_);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool Ok() const { return address_ != nullptr; }
    char* At(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    bool Write(std::size_t offset, const void* data, std::size_t size)
    {
        SIZE_T done = 0;
        return WriteProcessMemory(process_, At(offset), data, size, &done) && done == size;
    }
    bool Read(std::size_t offset, void* data, std::size_t size)
    {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, At(offset), data, size, &done) && done == size;
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

// The item record at offset 0, the cell's text behind it.
constexpr std::size_t kCellMemory = sizeof(LVITEMA) + kCellChars;

std::string CellText(RemoteMemory& memory, HWND listView, int row, int column)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = memory.At(sizeof item);
    item.cchTextMax = kCellChars;
    if (!memory.Write(0, &item, sizeof item))
        return "";
    const auto length = Send(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(memory.At(0)));
    std::string text(static_cast<std::size_t>(length > 0 && length < kCellChars ? length : 0), '\0');
    if (!text.empty() && !memory.Read(sizeof item, text.data(), text.size()))
        return "";
    return text;
}

bool SetItemState(RemoteMemory& memory, HWND listView, int row, UINT state, UINT mask)
{
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    return memory.Write(0, &item, sizeof item) &&
           Send(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(memory.At(0))) != 0;
}

struct DescendantSearch {
    const char* className;
    int id;
    HWND found;
};

BOOL CALLBACK MatchDescendant(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<DescendantSearch*>(lParam);
    if (ClassOf(window) != search->className || (search->id != -1 && GetDlgCtrlID(window) != search->id))
        return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK FirstStaticText(HWND window, LPARAM lParam)
{
    if (ClassOf(window) != "Static")
        return TRUE;
    *reinterpret_cast<std::string*>(lParam) = WindowText(window);
    return reinterpret_cast<std::string*>(lParam)->empty();
}

// The field the dialog shows for the file name: the combo box of the
// newer layout or the edit of the older one.
HWND FileNameControl(HWND dialog)
{
    HWND any = nullptr;
    for (const int id : {kFileNameCombo, kFileNameEdit}) {
        const HWND control = GetDlgItem(dialog, id);
        if (control != nullptr && IsWindowVisible(control))
            return control;
        if (any == nullptr)
            any = control;
    }
    return any;
}

// Top-level dialogs with the caption that are visible, enabled and pass test.
HWND WaitForDialog(const char* caption, int timeoutMs, bool (*test)(HWND))
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (const HWND window : TopLevelWindows(kDialogClass, caption))
                if (IsWindowVisible(window) && IsWindowEnabled(window) && test(window)) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeoutMs, 20);
    return found;
}

}  // namespace

// ---- controls ----

HWND Control(HWND dialog, int id) { return dialog != nullptr ? GetDlgItem(dialog, id) : nullptr; }

HWND FindDescendant(HWND parent, const char* className, int id)
{
    DescendantSearch search{className, id, nullptr};
    EnumChildWindows(parent, MatchDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowTree(HWND window)
{
    std::string tree;
    const auto line = [&tree](HWND w, int depth) {
        tree.append(static_cast<std::size_t>(depth) * 2, ' ');
        tree += ClassOf(w) + " #" + std::to_string(GetDlgCtrlID(w)) + " \"" + WindowText(w) + "\"";
        tree += IsWindowVisible(w) ? "" : " hidden";
        tree += IsWindowEnabled(w) ? "" : " disabled";
        tree += '\n';
    };
    const auto walk = [&line](HWND w, int depth, const auto& self) -> void {
        line(w, depth);
        for (HWND child = GetWindow(w, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            self(child, depth + 1, self);
    };
    if (window != nullptr)
        walk(window, 0, walk);
    return tree;
}

bool IsControlEnabled(HWND dialog, int id)
{
    const HWND control = Control(dialog, id);
    return control != nullptr && IsWindowEnabled(control);
}

// A user cannot press a disabled or hidden button; BM_CLICK would.
bool Click(HWND dialog, int id)
{
    const HWND button = Control(dialog, id);
    if (button == nullptr || !IsWindowEnabled(button) || !IsWindowVisible(button))
        return false;
    Send(button, BM_CLICK, 0, 0);
    return true;
}

bool ClickPosted(HWND dialog, int id)
{
    const HWND button = Control(dialog, id);
    return button != nullptr && IsWindowEnabled(button) && IsWindowVisible(button) &&
           PostMessageA(button, BM_CLICK, 0, 0);
}

void SendCommand(HWND window, int id) { Send(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void PostCommand(HWND window, int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// ---- texts ----

std::string WindowText(HWND window)
{
    if (window == nullptr)
        return "";
    const auto length = Send(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const auto got = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got > 0 && got < static_cast<LRESULT>(text.size()) ? got : 0));
    return text;
}

std::string ControlText(HWND dialog, int id) { return WindowText(Control(dialog, id)); }

bool SetControlText(HWND dialog, int id, const std::string& text)
{
    const HWND control = Control(dialog, id);
    return control != nullptr && Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

bool SetComboText(HWND dialog, int id, const std::string& text)
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
    return WindowText(edit) == text;
}

std::vector<std::string> ComboItems(HWND dialog, int id)
{
    return Entries(Control(dialog, id), CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

// The wide messages: Wine hands a cross-process LB_GETTEXT of an ANSI
// caller back in UTF-16.
std::vector<std::string> ListBoxItems(HWND dialog, int id)
{
    const HWND listBox = Control(dialog, id);
    std::vector<std::string> rows;
    const auto count = listBox != nullptr ? SendMessageW(listBox, LB_GETCOUNT, 0, 0) : 0;
    for (WPARAM i = 0; static_cast<LRESULT>(i) < count; ++i) {
        const auto length = SendMessageW(listBox, LB_GETTEXTLEN, i, 0);
        std::wstring wide(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, L'\0');
        const auto got = SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()));
        wide.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        std::string text(wide.size() * 2 + 1, '\0');
        const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(), static_cast<int>(text.size()),
                                          nullptr, nullptr);
        text.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
        rows.push_back(text);
    }
    return rows;
}

std::string WaitForText(HWND window, const std::string& expected, int timeoutMs)
{
    std::string text;
    WaitUntil(
        [&] {
            text = WindowText(window);
            return text == expected;
        },
        timeoutMs, 20);
    return text;
}

// ---- trackbars, check boxes and radio buttons ----

int TrackbarPos(HWND dialog, int id)
{
    const HWND trackbar = Control(dialog, id);
    return trackbar != nullptr ? static_cast<int>(Send(trackbar, TBM_GETPOS, 0, 0)) : -1;
}

bool SetTrackbarPos(HWND dialog, int id, int pos)
{
    const HWND trackbar = Control(dialog, id);
    if (trackbar == nullptr || !IsWindowEnabled(trackbar))
        return false;
    Send(trackbar, TBM_SETPOS, TRUE, pos);
    const UINT msg = (GetWindowLongA(trackbar, GWL_STYLE) & TBS_VERT) != 0 ? WM_VSCROLL : WM_HSCROLL;
    const auto lParam = reinterpret_cast<LPARAM>(trackbar);
    const HWND parent = GetParent(trackbar);
    for (const int code : {TB_THUMBTRACK, TB_THUMBPOSITION})
        Send(parent, msg, MAKEWPARAM(code, static_cast<WORD>(pos)), lParam);
    Send(parent, msg, MAKEWPARAM(TB_ENDTRACK, 0), lParam);
    return true;
}

int CheckState(HWND dialog, int id)
{
    const HWND button = Control(dialog, id);
    return button != nullptr ? static_cast<int>(Send(button, BM_GETCHECK, 0, 0)) : -1;
}

// ---- list views ----

int ListViewCount(HWND listView) { return static_cast<int>(Send(listView, LVM_GETITEMCOUNT, 0, 0)); }

int ListViewColumns(HWND listView)
{
    const auto header = reinterpret_cast<HWND>(Send(listView, LVM_GETHEADER, 0, 0));
    const auto count = header != nullptr ? Send(header, HDM_GETITEMCOUNT, 0, 0) : 0;
    return count > 0 ? static_cast<int>(count) : 0;
}

std::string ListViewText(HWND listView, int row, int column)
{
    RemoteMemory memory(listView, kCellMemory);
    return memory.Ok() ? CellText(memory, listView, row, column) : "";
}

std::vector<std::vector<std::string>> ListViewRows(HWND listView, int columns)
{
    if (columns < 0)
        columns = std::max(ListViewColumns(listView), 1);
    std::vector<std::vector<std::string>> rows;
    RemoteMemory memory(listView, kCellMemory);
    if (!memory.Ok())
        return rows;
    const int count = ListViewCount(listView);
    for (int row = 0; row < count; ++row) {
        std::vector<std::string>& cells = rows.emplace_back();
        for (int column = 0; column < columns; ++column)
            cells.push_back(CellText(memory, listView, row, column));
    }
    return rows;
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

bool ListViewSelect(HWND listView, int row)
{
    constexpr UINT kMask = LVIS_SELECTED | LVIS_FOCUSED;
    RemoteMemory memory(listView, sizeof(LVITEMA));
    if (!memory.Ok() || row < 0 || row >= ListViewCount(listView))
        return false;
    // Index -1 changes every item: clear them, then mark the one.
    if (!SetItemState(memory, listView, -1, 0, kMask) || !SetItemState(memory, listView, row, kMask, kMask))
        return false;
    Send(listView, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    return true;
}

bool ListViewSetState(HWND listView, int row, UINT state, UINT mask)
{
    RemoteMemory memory(listView, sizeof(LVITEMA));
    return memory.Ok() && row >= -1 && row < ListViewCount(listView) &&
           SetItemState(memory, listView, row, state, mask);
}

// ---- message boxes and file dialogs ----

HWND FindMessageBox(const char* caption, int timeoutMs)
{
    return WaitForDialog(caption, timeoutMs, [](HWND) { return true; });
}

std::string MessageBoxText(HWND box)
{
    std::string text;
    EnumChildWindows(box, FirstStaticText, reinterpret_cast<LPARAM>(&text));
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
    const HWND field = FileNameControl(dialog);
    const HWND edit = field != nullptr && ClassOf(field) != "Edit" ? FindDescendant(field, "Edit") : field;
    return edit != nullptr && Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str())) != 0;
}

std::string FileDialogName(HWND dialog)
{
    const HWND field = FileNameControl(dialog);
    const HWND edit = field != nullptr && ClassOf(field) != "Edit" ? FindDescendant(field, "Edit") : field;
    return edit != nullptr ? WindowText(edit) : "";
}

bool SubmitFileDialog(HWND dialog, const std::string& name, int timeoutMs)
{
    return SetFileDialogName(dialog, name) && ClickPosted(dialog, IDOK) &&
           WaitUntil([dialog] { return !IsWindow(dialog); }, timeoutMs);
}

// ---- the record ----

bool Screenshot(const std::string& file)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const std::unique_ptr<HDC__, void (*)(HDC)> screen(GetDC(nullptr), [](HDC dc) { ReleaseDC(nullptr, dc); });
    const std::unique_ptr<HDC__, decltype(&DeleteDC)> memory(CreateCompatibleDC(screen.get()), DeleteDC);
    const std::unique_ptr<HBITMAP__, void (*)(HBITMAP)> bitmap(CreateCompatibleBitmap(screen.get(), width, height),
                                                               [](HBITMAP b) { DeleteObject(b); });
    if (screen == nullptr || memory == nullptr || bitmap == nullptr)
        return false;
    const HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    const bool copied = BitBlt(memory.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY) != 0;
    SelectObject(memory.get(), old);

    // 24 bits a pixel, rows bottom-up and padded to whole words: the plain BMP every viewer reads.
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const auto rowBytes = static_cast<std::size_t>((width * 3 + 3) & ~3);
    std::vector<char> pixels(rowBytes * static_cast<std::size_t>(height));
    if (!copied || GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(),
                             reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) != height)
        return false;
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = static_cast<DWORD>(fileHeader.bfOffBits + pixels.size());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace e2e
