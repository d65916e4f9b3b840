#include "fnsong.h"

#include "fnlang.h"
#include "list.h"
#include "mp3.h"
#include "string2.h"

#include <cstdlib>
#include <cstring>

namespace {

const char* Text(const SONG* Song, const char* Field, const char* Fallback)
{
    return Song == nullptr ? "" : Field[0] != '\0' ? Field : Fallback;
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

void SongFormatMissing(const SONG* Song, char Drive, char* Msg, std::size_t Size)
{
    char title[MAXL_FULLTITLE + 1];
    SongGetFullTitle(Song, title);
    const char* fileName = SongGetFileName(Song);
    if (!Song->General.bOnRemovable)
        StrFormat(Msg, Size, "Track not found: %s %c%c(Path: %s)%c%cMaybe it has been deleted or moved.", title, 13, 13,
                  fileName, 13, 13);
    else if (Drive != 0)
        StrFormat(Msg, Size, "Track not found: %s %c%c(Path: %s)%c%cMaybe you should insert %s into drive %c:.", title,
                  13, 13, fileName, 13, 13, SongGetPlace(Song), Drive);
    else
        StrFormat(Msg, Size,
                  "Track not found: %s %c%c(Path: %s)%c%cMaybe you should insert %s, but no removable drive is free.",
                  title, 13, 13, fileName, 13, 13, SongGetPlace(Song));
}

SONGINDEX::SONGINDEX(LIST* tl)
{
    const std::size_t n = static_cast<std::size_t>(ListGetTotal(tl));
    const std::size_t denseLimit = 2 * n + 1024;
    std::size_t capacity = 16;
    for (shift_ = 60; capacity < 2 * n; capacity *= 2)
        --shift_;
    ids_.assign(capacity, SLOT{nullptr, -1});
    dense_.reserve(n);
    for (LISTITEM* item = tl != nullptr ? tl->First : nullptr; item != nullptr; item = item->Next) {
        auto* song = static_cast<SONG*>(item->Data);
        std::size_t slot = Home(song);
        while (ids_[slot].Song != nullptr && ids_[slot].Song != song)
            slot = (slot + 1) & (capacity - 1);
        if (ids_[slot].Song == nullptr)
            ids_[slot] = {song, item->ID};
        const auto at = static_cast<std::size_t>(item->ID);
        if (item->ID < 0 || at >= denseLimit) {
            sparse_.emplace(item->ID, song);
            continue;
        }
        if (at >= dense_.size())
            dense_.resize(at + 1, nullptr);
        if (dense_[at] == nullptr)  // the first of equal IDs, as a walk would find
            dense_[at] = song;
    }
}

std::size_t SONGINDEX::Home(const SONG* Song) const
{
    return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(Song) >> 4) * 0x9E3779B97F4A7C15ull >> shift_);
}

int SONGINDEX::IDOf(const SONG* Song) const
{
    if (Song == nullptr)
        return -1;
    for (std::size_t slot = Home(Song);; slot = (slot + 1) & (ids_.size() - 1)) {
        if (ids_[slot].Song == Song)
            return ids_[slot].ID;
        if (ids_[slot].Song == nullptr)
            return -1;
    }
}

SONG* SONGINDEX::SongOf(int ID) const
{
    if (ID >= 0 && static_cast<std::size_t>(ID) < dense_.size() && dense_[static_cast<std::size_t>(ID)] != nullptr)
        return dense_[static_cast<std::size_t>(ID)];
    const auto it = sparse_.find(ID);
    return it != sparse_.end() ? it->second : nullptr;
}
