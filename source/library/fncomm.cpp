#include "fncomm.h"

#include "fileio.h"
#include "fnlang.h"
#include "fnsong.h"
#include "mp3.h"
#include "string2.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

void MP3Tag2Song(const MP3TAG* Tag, const char* FileName, SONG* Song)
{
    char text[MAXL_TAGTEXT + 1];
    char year[MAXL_TAGYEAR + 1];
    if (Song->Desc.cFileName != FileName)
        StrCopy(Song->Desc.cFileName, FileName);
    StrCopy(Song->Desc.cArtist, MP3TagGetArtist(Tag, text));
    StrCopy(Song->Desc.cTitle, MP3TagGetTitle(Tag, text));
    StrCopy(Song->Desc.cAlbum, MP3TagGetAlbum(Tag, text));
    StrCopy(Song->Desc.cYear, MP3TagGetYear(Tag, year));
    StrCopy(Song->Desc.cComment, MP3TagGetComment(Tag, text));
    Song->Desc.iStyle = MP3TagGetStyleI(Tag);
    Song->Desc.cPlace[0] = '\0';
}

void MP3Info2Song(const MP3INFO* Info, SONG* Song)
{
    Song->MPegInfo.iVersion = Info->iVersion;
    Song->MPegInfo.iLayer = Info->iLayer;
    Song->MPegInfo.iChannels = Info->iChannelMode;
    Song->MPegInfo.lSampleRate = Info->lSampleRate;
    Song->MPegInfo.lBitRate = Info->lBitRate;
    Song->MPegInfo.lFrames = Info->lFrames;
    Song->MPegInfo.lFrameSize = Info->lFrameSize;
    Song->General.lSize = Info->lSize;
    Song->General.lLength = Info->lLength;
}

namespace {

// The texts and genre of an ID3v2 tag; empty texts and no genre without one.
void ID3v22Song(const MP3ID3V2* Tag, SONG* Song)
{
    StrCopy(Song->Desc.cArtist, Tag->cArtist);
    StrCopy(Song->Desc.cTitle, Tag->cTitle);
    StrCopy(Song->Desc.cAlbum, Tag->cAlbum);
    StrCopy(Song->Desc.cYear, Tag->cYear);
    StrCopy(Song->Desc.cComment, Tag->cComment);
    Song->Desc.iStyle = Tag->iStyle;
}

}  // namespace

int ReadSongInfos(const char* FileName, SONG* Song, int Init)
{
    // FileName may be the song's own field, which the reset below clears.
    char path[MAXL_SONGPATH + 1];
    StrCopy(path, FileName);
    if (Init) {
        std::memset(Song, 0, sizeof *Song);
        Song->Bounds.iNoBeats = 1;
        Song->Desc.iStyle = STYLE_NONE;
        StrCopy(Song->Desc.cFileName, path);
    }
    MP3TAG tag;
    const int hasTag = MP3TagRead(path, &tag);
    MP3Tag2Song(&tag, path, Song);
    MP3ID3V2 tag2{};
    MP3INFO info{};
    const int valid = MP3InfoRead(path, &info, hasTag, hasTag ? nullptr : &tag2);
    if (!hasTag)
        ID3v22Song(&tag2, Song);
    if (!valid)
        return RSI_NOTVALID;
    MP3Info2Song(&info, Song);
    if (Init)
        Song->Bounds.timMain.lEnd = Song->General.lLength;
    return hasTag || tag2.bPresent ? RSI_TAG : RSI_NOTAG;
}

namespace {

using WIDEVIEW = std::basic_string_view<WCHAR>;

// One name in any code page, UTF-8 included.
constexpr std::size_t MAXL_ANSINAME = 3 * MAX_PATH;

// Name into Out when the code page holds every character of it.
bool NameToAnsi(WIDEVIEW Name, char (&Out)[MAXL_ANSINAME + 1])
{
    // UTF-8 holds every name, and its conversion takes no replacement flags.
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL replaced = FALSE;
    const int n = Name.empty() ? 0
                               : WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, Name.data(),
                                                     static_cast<int>(Name.size()), Out, MAXL_ANSINAME, nullptr,
                                                     utf8 ? nullptr : &replaced);
    Out[n > 0 ? n : 0] = '\0';
    return (n > 0 || Name.empty()) && !replaced;
}

bool Found(ANSINAME Kind) { return Kind == ANSI_NAME || Kind == ANSI_SHORT; }

// Appends Text to Out at At while an ANSI form is being found; else, or
// when it does not fit, Out becomes empty.
ANSINAME Put(ANSINAME Kind, char* Out, std::size_t Size, std::size_t At, const char* Text)
{
    if (Found(Kind) && At < Size && StrCopy(Out + At, Size - At, Text))
        return Kind;
    if (Size > 0)
        Out[0] = '\0';
    return Found(Kind) ? ANSI_TOOLONG : Kind;
}

// The short name of the entry Path names; false when there is none to be had.
bool ShortNameOf(WIDEVIEW Path, char (&Out)[MAXL_ANSINAME + 1])
{
    constexpr WCHAR kPattern[] = {'*', '?', 0};
    if (Path.find_first_of(kPattern) != WIDEVIEW::npos)  // a pattern would find some other entry
        return false;
    WIN32_FIND_DATAW fd;
    const HANDLE search = FindFirstFileW(std::basic_string<WCHAR>(Path).c_str(), &fd);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return NameToAnsi(fd.cAlternateFileName, Out) && Out[0] != '\0';
}

}  // namespace

ANSINAME AnsiFileName(const WCHAR* Name, const WCHAR* ShortName, char* Out, std::size_t Size)
{
    char text[MAXL_ANSINAME + 1];
    ANSINAME kind = ANSI_NAME;
    if (!NameToAnsi(Name, text))
        kind = ShortName != nullptr && NameToAnsi(ShortName, text) && text[0] != '\0' ? ANSI_SHORT : ANSI_NONE;
    return Put(kind, Out, Size, 0, text);
}

ANSINAME AnsiPath(const WCHAR* Path, char* Out, std::size_t Size)
{
    const WIDEVIEW path(Path);
    ANSINAME kind = ANSI_NAME;
    for (std::size_t from = 0, used = 0; Found(kind);) {
        const std::size_t end = std::min(path.find(WCHAR('\\'), from), path.size());
        char name[MAXL_ANSINAME + 1];
        if (!NameToAnsi(path.substr(from, end - from), name))
            kind = ShortNameOf(path.substr(0, end), name) ? ANSI_SHORT : ANSI_NONE;
        kind = Put(kind, Out, Size, used, name);
        used += std::strlen(name);
        if (end == path.size())
            break;
        kind = Put(kind, Out, Size, used++, "\\");
        from = end + 1;
    }
    return kind;
}

const char* StrPrior(const char* First, const char* Second)
{
    return First != nullptr && First[0] != '\0' ? First : Second;
}

int FileExists(const char* FileName) { return File::OpenRead(FileName).IsOpen() ? 1 : 0; }

int DriveRemovable(const char* Root) { return GetDriveTypeA(Root) == DRIVE_CDROM ? 1 : 0; }

void ErrorMsg(HWND hwndOwner, const char* Msg) { MessageBoxA(hwndOwner, Msg, strError, MB_OK | MB_ICONERROR); }

void WarningMsg(HWND hwndOwner, const char* Msg) { MessageBoxA(hwndOwner, Msg, strWarning, MB_OK | MB_ICONWARNING); }

void MissingFunction() { ErrorMsg(nullptr, "Function isn't available!"); }
