#include "fnsong.h"

#include "fncomm.h"
#include "fnlang.h"
#include "mp3.h"
#include "string2.h"

#include <cstdlib>
#include <cstring>

namespace {

const char* Text(const SONG* Song, const char* Field, const char* Fallback)
{
    return Song == nullptr ? "" : StrPrior(Field, Fallback);
}

}  // namespace

SONG* SongCreate()
{
    auto* song = static_cast<SONG*>(std::calloc(1, sizeof(SONG)));
    if (song != nullptr)
        song->Desc.iStyle = STYLE_NONE;
    return song;
}

const char* SongGetFileName(const SONG* Song) { return Text(Song, Song ? Song->Desc.cFileName : "", strNoFileName); }
const char* SongGetArtist(const SONG* Song) { return Text(Song, Song ? Song->Desc.cArtist : "", strNoArtist); }
const char* SongGetTitle(const SONG* Song) { return Text(Song, Song ? Song->Desc.cTitle : "", strNoTitle); }
const char* SongGetAlbum(const SONG* Song) { return Song ? Song->Desc.cAlbum : ""; }
const char* SongGetYear(const SONG* Song) { return Song ? Song->Desc.cYear : ""; }
const char* SongGetComment(const SONG* Song) { return Song ? Song->Desc.cComment : ""; }
const char* SongGetPlace(const SONG* Song) { return Song ? Song->Desc.cPlace : ""; }

int SongGetStyle(const SONG* Song) { return Song ? Song->Desc.iStyle : STYLE_NONE; }

const char* SongGetStyleS(const SONG* Song) { return Song ? MP3GetStyleName(Song->Desc.iStyle) : ""; }

std::uint32_t SongGetStart(const SONG* Song) { return Song ? Song->Bounds.timMain.lStart : 0; }
std::uint32_t SongGetEnd(const SONG* Song) { return Song ? Song->Bounds.timMain.lEnd : 0; }
std::uint32_t SongGetLen(const SONG* Song) { return SongGetEnd(Song) - SongGetStart(Song); }
std::uint32_t SongGetBeatOffs(const SONG* Song) { return Song ? Song->Bounds.timBeat.lStart : 0; }
std::uint32_t SongGetBeatLen(const SONG* Song)
{
    return Song ? Song->Bounds.timBeat.lEnd - Song->Bounds.timBeat.lStart : 0;
}

const char* SongGetDisplayName(const SONG* Song)
{
    if (Song == nullptr)
        return "";
    const char* name = Song->Desc.cFileName;
    for (const char* p = name; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

char* SongGetFullTitle(const SONG* Song, char* Title)
{
    constexpr std::size_t kSize = MAXL_FULLTITLE + 1;
    if (Song == nullptr) {
        Title[0] = '\0';
    } else if (Song->Desc.cArtist[0] == '\0' && Song->Desc.cTitle[0] == '\0') {
        char name[MAXL_FILETITLE + 1];
        StrCopy(name, SongGetDisplayName(Song));
        StrFormat(Title, kSize, "%s (!)", name);
    } else {
        StrFormat(Title, kSize, "%s - %s", SongGetArtist(Song), SongGetTitle(Song));
    }
    return Title;
}
