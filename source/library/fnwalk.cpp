#include "fnwalk.h"

#include "platform.h"
#include "string2.h"

#include <cstring>
#include <vector>

namespace {

constexpr DWORD NOT_MUSIC = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct FOLDERID {
    DWORD Serial, IndexHigh, IndexLow;
    bool operator==(const FOLDERID&) const = default;
};

struct WALK {
    int Recursive;
    WALKFILEPROC Proc;
    void* Param;
    WALKSTATS* Stats;
    char Path[MAXL_WALKPATH + 1];
    std::vector<FOLDERID> Chain;  // the folders being walked, outermost first
};

// Writes Text at Walk.Path[Pos]; false when it does not fit whole.
bool PathPut(WALK& Walk, std::size_t Pos, const char* Text)
{
    return Pos < sizeof Walk.Path && StrCopy(Walk.Path + Pos, sizeof Walk.Path - Pos, Text);
}

// A folder's identity, so that a link back to a folder being walked is
// recognised whatever path leads to it.
bool FolderIdentity(const char* Folder, FOLDERID* Id)
{
    const HANDLE h = CreateFileA(Folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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

// Walk.Path holds the folder, ended by a backslash. A folder whose identity
// cannot be read is walked unless it is a link.
void EnterFolder(DWORD Attributes, WALK& W)
{
    FOLDERID id{};
    const bool known = FolderIdentity(W.Path, &id);
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

void Entry(const WIN32_FIND_DATAA& fd, std::size_t DirLen, WALK& W)
{
    const bool folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((fd.dwFileAttributes & NOT_MUSIC) != 0 || (folder && (fd.cFileName[0] == '.' || !W.Recursive)))
        return;
    const bool fits = PathPut(W, DirLen, fd.cFileName) && (!folder || PathPut(W, std::strlen(W.Path), "\\"));
    if (!fits)
        ++(folder ? W.Stats->Unread : W.Stats->TooLong);
    else if (folder)
        EnterFolder(fd.dwFileAttributes, W);
    else
        W.Proc(W.Path, W.Param);
    W.Path[DirLen] = '\0';
}

// Searches with the full path: the process's current folder is never changed.
void Walk(WALK& W)
{
    const std::size_t dirLen = std::strlen(W.Path);
    WIN32_FIND_DATAA fd;
    const HANDLE search = PathPut(W, dirLen, "*.*") ? FindFirstFileA(W.Path, &fd) : INVALID_HANDLE_VALUE;
    const DWORD error = search == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    W.Path[dirLen] = '\0';
    if (search == INVALID_HANDLE_VALUE) {
        if (error != ERROR_FILE_NOT_FOUND)  // an empty drive root has no entry at all
            ++W.Stats->Unread;
        return;
    }
    do
        Entry(fd, dirLen, W);
    while (FindNextFileA(search, &fd));
    FindClose(search);
}

}  // namespace

void WalkFolder(const char* Folder, int Recursive, WALKFILEPROC Proc, void* Param, WALKSTATS* Stats)
{
    WALK walk{Recursive, Proc, Param, Stats, {}, {}};
    const std::size_t n = std::strlen(Folder);
    if (!StrCopy(walk.Path, Folder) || (n > 0 && Folder[n - 1] != '\\' && !PathPut(walk, n, "\\"))) {
        ++Stats->Unread;
        return;
    }
    FOLDERID id{};
    if (FolderIdentity(walk.Path, &id))
        walk.Chain.push_back(id);
    Walk(walk);
}
