// Filling a song from its file, and the small utilities every module shares:
// message boxes, a text fallback, file and drive tests.
#pragma once

#include "platform.h"

#include <cstddef>

struct MP3TAG;
struct MP3INFO;
struct SONG;

// Copies the file name and the tag's texts (cut at the tag's width, without
// trailing white space) and genre into Song; empties the place.
void MP3Tag2Song(const MP3TAG* Tag, const char* FileName, SONG* Song);
// Copies version, layer, channel mode, rates, frames, frame size, file size and length.
void MP3Info2Song(const MP3INFO* Info, SONG* Song);

constexpr int RSI_TAG = 0;       // tag (ID3v1, or ID3v2 when there is no ID3v1) and MPEG facts read
constexpr int RSI_NOTVALID = 1;  // no valid MPEG frame (or no file); the tag texts are in
constexpr int RSI_NOTAG = 2;     // MPEG facts read, no tag
// Reads tag and MPEG facts of FileName into Song; an ID3v1 tag wins over an
// ID3v2 tag. With Init the record is reset first and its main part becomes
// the whole file; without, the General flags and every mark stay.
int ReadSongInfos(const char* FileName, SONG* Song, int Init);

// ---- names from the file system ----
//
// Tracks and the database keep ANSI paths, and the players take them. A
// name the ANSI code page cannot hold whole (no character replaced, none
// approximated) is written with its short 8.3 name, which any program that
// reads ANSI paths can open; a name on a volume that keeps no short names
// has no ANSI form.
enum ANSINAME {
    ANSI_NAME,     // the name itself
    ANSI_SHORT,    // its short name
    ANSI_NONE,     // none: the code page cannot hold it and there is no short name
    ANSI_TOOLONG,  // longer than the buffer
};
// Name and ShortName (may be empty) as the file system lists an entry;
// writes the ANSI form into Out (Size bytes), empty unless ANSI_NAME or ANSI_SHORT.
ANSINAME AnsiFileName(const WCHAR* Name, const WCHAR* ShortName, char* Out, std::size_t Size);
// The same for a whole path, name by name: a name the code page holds
// stays, any other becomes its short name. Only the last name may be of a
// file that does not exist yet (a file to be saved), and it must then be
// held by the code page.
ANSINAME AnsiPath(const WCHAR* Path, char* Out, std::size_t Size);

// First when it is a non-empty text, otherwise Second.
const char* StrPrior(const char* First, const char* Second);
// 1 when the file can be opened for reading.
int FileExists(const char* FileName);
// 1 when Root ("D:\") is a CD-ROM drive.
int DriveRemovable(const char* Root);

void ErrorMsg(HWND hwndOwner, const char* Msg);
void WarningMsg(HWND hwndOwner, const char* Msg);
// "Function isn't available!" for commands without a function.
void MissingFunction();
