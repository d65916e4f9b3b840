// Playlist items: one appearance of a song in a playlist, with the item's
// own description, played mark, and overrides of the mixer's settings.
//
// An item is owned by the item list of exactly one playlist (std::calloc /
// std::free); its song belongs to the track list.
#pragma once

#include "fntime.h"

#include <cstdint>

class File;
struct EFF;
struct SONG;

constexpr int MAXL_PLIDESC = 30;  // with the terminator: 29 characters
constexpr int OPTION_OFF = 0;
constexpr int OPTION_ON = 1;
constexpr int OPTION_KEEP = 2;  // leave the mixer's switch as it is
// The display text: a full title and " [description]".
constexpr int MAXL_PLITITLE = 203 + 3 + MAXL_PLIDESC;

struct PLI {
    SONG* psngSong;
    char cDesc[MAXL_PLIDESC];
    std::int32_t bPlayed;
    struct {
        std::int32_t bVolume;
        std::int32_t bPanning;
        std::int32_t bEffect;
        std::int32_t bLengths;
        std::int32_t bFade;
        std::int32_t bBounds;
        std::int32_t bOptions;
    } UpdFlag;
    struct {
        std::int32_t iVolume;
        std::int32_t iPanning;
        std::uint32_t lFadeLen;
        std::uint32_t lDuoLen;
        std::int32_t iFadeType;
        TIME timMainPart;
        struct {
            EFF* Effect;
            std::int32_t iPerBeats;
        } Effect;
    } Override;
    struct {
        std::int32_t iFade;
        std::int32_t iIntro;
        std::int32_t iDuo;
        std::int32_t iBeats;
        std::int32_t iEffect;
    } Option;
};

// A new item for Song (may be null): options all OPTION_KEEP, no overrides.
PLI* PLICreate(SONG* Song);
SONG* PLIGetSong(const PLI* pli);
char* PLIGetDesc(PLI* pli);
// The song's full title, plus " [description]" when there is one, into S
// (MAXL_PLITITLE + 1 characters); null when pli or S is null.
char* PLIGetTitleDesc(const PLI* pli, char* S);
// The part to play: the song's main part, or the item's bounds override.
std::uint32_t PLIGetStart(const PLI* pli);
std::uint32_t PLIGetEnd(const PLI* pli);
std::uint32_t PLIGetLength(const PLI* pli);
std::uint32_t PLIGetBeatOffs(const PLI* pli);
std::uint32_t PLIGetBeatLen(const PLI* pli);
int PLIFreeProc(void* pli);

// The item record of the database file; Param is the song index of the
// store or restore in progress (see fndb).
int PLIStoreProc(void* pli, File& File, void* Param);
int PLIRestoreProc(void** pli, File& File, void* Param);
