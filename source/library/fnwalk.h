// Walking a folder tree for its files, as "Add directory" adds them.
//
// The walk goes depth first in the order the file system lists the entries,
// and never changes the process's current folder. It passes over folders
// whose name begins with "." and entries marked hidden or system (they are
// not the user's music: desktop.ini, thumbnails, a player's caches), and
// never follows a folder link back into a folder it is walking. Names come
// from the file system whole (wide); each file's path is also given in the
// ANSI form tracks keep (AnsiFileName, fncomm.h).
#pragma once

#include "platform.h"

// The longest path the walk builds, folder names and backslashes included.
constexpr int MAXL_WALKPATH = 1024;

struct WALKSTATS {
    int TooLong;  // files whose path would be longer than MAXL_WALKPATH
    int Unread;   // folders that could not be searched, or whose path would be too long
    int Links;    // folder links leading back into the walk, not followed
};

// Called with each file's full path in ANSI form, or null when a name on
// the way has none, and as the file system names it; Param as given to WalkFolder.
using WALKFILEPROC = void (*)(const char* Path, const WCHAR* WidePath, void* Param);

// Calls Proc for every file in Folder (with or without its final
// backslash) and, with Recursive, in every folder below it. Adds what it
// could not walk to *Stats.
void WalkFolder(const WCHAR* Folder, int Recursive, WALKFILEPROC Proc, void* Param, WALKSTATS* Stats);
