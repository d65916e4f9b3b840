#include "fncomm.h"

#include "fileio.h"
#include "fnlang.h"
#include "fnsong.h"
#include "mp3.h"
#include "string2.h"

#include <cstring>

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

const char* StrPrior(const char* First, const char* Second)
{
    return First != nullptr && First[0] != '\0' ? First : Second;
}

int FileExists(const char* FileName) { return File::OpenRead(FileName).IsOpen() ? 1 : 0; }

int DriveRemovable(const char* Root) { return GetDriveTypeA(Root) == DRIVE_CDROM ? 1 : 0; }

void ErrorMsg(HWND hwndOwner, const char* Msg) { MessageBoxA(hwndOwner, Msg, strError, MB_OK | MB_ICONERROR); }

void WarningMsg(HWND hwndOwner, const char* Msg) { MessageBoxA(hwndOwner, Msg, strWarning, MB_OK | MB_ICONWARNING); }

void MissingFunction() { ErrorMsg(nullptr, "Function isn't available!"); }
