// Background/effect records: defined and listed, never filled or played.
#pragma once

#include <cstdint>

class File;
struct SONG;

constexpr int MAXL_EFFNAME = 30;
constexpr int MAXI_SONGINEFF = 2;
constexpr int MAXL_EFFTITLE = MAXL_EFFNAME + 14;

struct EFF {
    std::int32_t ID;
    char cName[MAXL_EFFNAME + 1];
    std::int32_t bSameSong;
    std::int32_t bSamePos;
    SONG* psngSong[MAXI_SONGINEFF];
    std::uint32_t lSongPos[MAXI_SONGINEFF];
};

// "name [ID]" into S (MAXL_EFFTITLE + 1 characters); returns S.
char* EffGetTitle(const EFF* Effect, char* S);
// The number in the last "[...]" of a title; -1 when there is none.
int EffGetID(const char* S);
int EffStoreProc(void* Eff, File& File, void* Param);
int EffRestoreProc(void** Eff, File& File, void* Param);
