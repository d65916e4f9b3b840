// manualdrive: opens each window of a running, mixing Tandem in turn, as a
// user would, and records it for the manual: a screenshot of the whole
// screen (NAME.bmp) and the window's place on it (NAME.geometry), which
// scripts/make-manual cuts into the manual's pictures.
// Usage: manualdrive OUT-FOLDER
#include "drive.h"
#include "host.h"
#include "resource.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kPanelCaption[] = "Tandem v1.0 - Control Panel";
constexpr int kTimeoutMs = 30000;
constexpr DWORD kPaintMs = 700;

std::string folder;

// The shown and enabled top-level dialog whose caption starts with caption
// (the playlist editor adds the playlist's name); null after the timeout.
HWND WaitShown(const std::string& caption)
{
    HWND found = nullptr;
    e2e::WaitUntil(
        [&] {
            for (const HWND window : e2e::TopLevelWindows(e2e::kDialogClass))
                if (IsWindowVisible(window) && IsWindowEnabled(window) && e2e::WindowText(window).rfind(caption, 0) == 0)
                    found = window;
            return found != nullptr;
        },
        kTimeoutMs, 50);
    return found;
}

// Writes the whole screen to the file as a BMP image; false when it could
// not be taken or written.
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

bool Record(HWND window, const char* name)
{
    if (window == nullptr) {
        std::fprintf(stderr, "manualdrive: no window for %s\n", name);
        return false;
    }
    SetForegroundWindow(window);
    Sleep(kPaintMs);
    RECT r{};
    GetWindowRect(window, &r);
    const std::string base = e2e::JoinPath(folder, name);
    std::ofstream(e2e::ToLinuxPath(base + ".geometry"))
        << (r.right - r.left) << 'x' << (r.bottom - r.top) << '+' << r.left << '+' << r.top << '\n';
    return Screenshot(base + ".bmp");
}

void Cancel(HWND dialog) { e2e::ClickPosted(dialog, IDCANCEL); }

// The track list with its second track selected, its information and times.
bool TrackWindows(HWND panel)
{
    e2e::Click(panel, BTTL);
    const HWND list = WaitShown("List of tracks");
    if (!Record(list, "track-list") || !e2e::ListViewSelect(e2e::Control(list, LVTRACKLIST), 1))
        return false;
    e2e::ClickPosted(list, BTMODIFY);
    const HWND info = WaitShown("Track information");
    if (!Record(info, "track-information"))
        return false;
    e2e::ClickPosted(info, BTEDITTIME);
    const HWND times = WaitShown("Track times");
    const bool recorded = Record(times, "track-times");
    Cancel(times);
    WaitShown("Track information");
    Cancel(info);
    WaitShown("List of tracks");
    PostMessageA(list, WM_CLOSE, 0, 0);
    return recorded;
}

// The playlist editor with its third item selected, and that item's editor.
bool PlaylistWindows(HWND panel)
{
    e2e::Click(panel, BTPLAYLIST);
    const HWND editor = WaitShown("Playlist editor");
    if (editor == nullptr || !e2e::ListViewSelect(e2e::Control(editor, LVPLAYLIST), 2) ||
        !Record(editor, "playlist-editor"))
        return false;
    e2e::ClickPosted(editor, BTEDIT);
    const HWND item = WaitShown("Edit playlist item");
    const bool recorded = Record(item, "playlist-item");
    Cancel(item);
    WaitShown("Playlist editor");
    PostMessageA(editor, WM_CLOSE, 0, 0);
    return recorded;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: manualdrive OUT-FOLDER\n");
        return 2;
    }
    folder = argv[1];
    const HWND panel = WaitShown(kPanelCaption);
    const bool done = Record(panel, "control-panel") && TrackWindows(panel) && PlaylistWindows(panel) &&
                      Record(WaitShown(kPanelCaption), "control-panel");
    return done ? 0 : 1;
}
