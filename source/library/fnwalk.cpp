#include "fnwalk.h"

#include "fncomm.h"
#include "string2.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace {

using WIDEVIEW = std::basic_string_view<WCHAR>;

constexpr DWORD NOT_MUSIC = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr WCHAR kBackslash[] = {'\\', 0};
constexpr WCHAR kEveryEntry[] = {'*', '.', '*', 0};

struct FOLDERID {
    DWORD Serial, IndexHigh, IndexLow;
    bool operator==(const FOLDERID&) const = default;
};

struct WALK {
    int Recursive;
    WALKFILEPROC Proc;
    void* Param;
    WALKSTATS* Stats;
    WCHAR Wide[MAXL_WALKPATH + 1];  // the folder as the file system names it
    char Path[MAXL_WALKPATH + 1];   // its ANSI form, while Named
    bool Named;                     // every folder on the way has an ANSI form
    std::vector<FOLDERID> Chain;    // the folders being walked, outermost first
};

bool HasAnsiForm(ANSINAME Kind) { return Kind == ANSI_NAME || Kind == ANSI_SHORT; }

// Writes Text at Walk.Path[Pos]; false when it does not fit whole.
bool PathPut(WALK& Walk, std::size_t Pos, const char* Text)
{
    return Pos < sizeof Walk.Path && StrCopy(Walk.Path + Pos, sizeof Walk.Path - Pos, Text);
}

// The same for the wide path.
bool WidePut(WALK& Walk, std::size_t Pos, WIDEVIEW Text)
{
    if (Pos + Text.size() >= std::size(Walk.Wide))
        return false;
    Walk.Wide[Pos + Text.copy(Walk.Wide + Pos, Text.size())] = 0;
    return true;
}

std::size_t WideLength(const WCHAR* Text) { return std::char_traits<WCHAR>::length(Text); }

// A folder's identity, so that a link back to a folder being walked is
// recognised whatever path leads to it.
bool FolderIdentity(const WCHAR* Folder, FOLDERID* Id)
{
    const HANDLE h = CreateFileW(Folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (ok)
        *Id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return ok;
}

void Walk(WALK& W);

// The walk's paths hold the folder, ended by a backslash. A folder whose
// identity cannot be read is walked unless it is a link.
void EnterFolder(DWORD Attributes, WALK& W)
{
    FOLDERID id{};
    const bool known = FolderIdentity(W.Wide, &id);
    bool looped = !known && (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    for (const FOLDERID& outer : W.Chain)
        looped = looped || (known && outer == id);
    if (looped) {
        ++W.Stats->Links;
        return;
    }
    if (known)
        W.Chain.push_back(id);
    Walk(W);
    if (known)
        W.Chain.pop_back();
}

void Entry(const WIN32_FIND_DATAW& fd, std::size_t DirLen, std::size_t WideLen, WALK& W)
{
    const bool folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((fd.dwFileAttributes & NOT_MUSIC) != 0 || (folder && (fd.cFileName[0] == '.' || !W.Recursive)))
        return;
    char name[MAXL_WALKPATH + 1];
    const ANSINAME kind = W.Named ? AnsiFileName(fd.cFileName, fd.cAlternateFileName, name, sizeof name) : ANSI_NONE;
    const bool named = HasAnsiForm(kind);
    const bool fits = kind != ANSI_TOOLONG && WidePut(W, WideLen, fd.cFileName) &&
                      (!folder || WidePut(W, WideLength(W.Wide), kBackslash)) &&
                      (!named || (PathPut(W, DirLen, name) && (!folder || PathPut(W, std::strlen(W.Path), "\\"))));
    if (!fits) {
        ++(folder ? W.Stats->Unread : W.Stats->TooLong);
    } else if (folder) {
        const bool outer = W.Named;
        W.Named = named;
        EnterFolder(fd.dwFileAttributes, W);
        W.Named = outer;
    } else {
        W.Proc(named ? W.Path : nullptr, W.Wide, W.Param);
    }
    W.Path[DirLen] = '\0';
    W.Wide[WideLen] = 0;
}

// Searches with the full path: the process's current folder is never changed.
void Walk(WALK& W)
{
    const std::size_t dirLen = std::strlen(W.Path);
    const std::size_t wideLen = WideLength(W.Wide);
    WIN32_FIND_DATAW fd;
    const HANDLE search = WidePut(W, wideLen, kEveryEntry) ? FindFirstFileW(W.Wide, &fd) : INVALID_HANDLE_VALUE;
    const DWORD error = search == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    W.Wide[wideLen] = 0;
    if (search == INVALID_HANDLE_VALUE) {
        if (error != ERROR_FILE_NOT_FOUND)  // an empty drive root has no entry at all
            ++W.Stats->Unread;
        return;
    }
    do
        Entry(fd, dirLen, wideLen, W);
    while (FindNextFileW(search, &fd));
    FindClose(search);
}

}  // namespace

void WalkFolder(const WCHAR* Folder, int Recursive, WALKFILEPROC Proc, void* Param, WALKSTATS* Stats)
{
    WALK walk{Recursive, Proc, Param, Stats, {}, {}, true, {}};
    const WIDEVIEW folder(Folder);
    const bool ended = folder.empty() || folder.back() == '\\';
    const ANSINAME kind = AnsiPath(Folder, walk.Path, sizeof walk.Path);
    walk.Named = HasAnsiForm(kind);
    if (kind == ANSI_TOOLONG || !WidePut(walk, 0, folder) || (!ended && !WidePut(walk, folder.size(), kBackslash)) ||
        (walk.Named && !ended && !PathPut(walk, std::strlen(walk.Path), "\\"))) {
        ++Stats->Unread;
        return;
    }
    FOLDERID id{};
    if (FolderIdentity(walk.Wide, &id))
        walk.Chain.push_back(id);
    Walk(walk);
}
