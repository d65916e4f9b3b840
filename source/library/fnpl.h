// Playlists: a named list of playlist items with a running total of its
// playing time (the sum of its items' song main-part lengths at the moment
// each was added or removed).
#pragma once

#include "list.h"

#include <cstdint>

class File;
struct PLI;
struct SONG;

constexpr int MAXL_PLNAME = 30;

// Sort keys of PLBubbleSort / PLCompProc.
constexpr int PLBS_TITLE = 0;
constexpr int PLBS_FILENAME = 1;
constexpr int PLBS_RANDOM = 2;
constexpr int PLBS_STYLE = 3;
constexpr int PLBS_REVERT = 4;

struct PL {
    char cName[MAXL_PLNAME + 1];
    std::uint32_t lTotalTime;
    std::int32_t iPlayedItems;
    LIST lstItems;
};

// Told before an item is released, with the playlist it stands in; Alone
// when it goes by itself, not with its playlist or the whole library. The
// mixer registers it, since it may be playing the item.
using PLDROPHOOK = void (*)(PL* pl, const PLI* pli, bool Alone);
void PLSetDropHook(PLDROPHOOK Hook);
PLDROPHOOK PLGetDropHook();

PL* PLCreate(const char* Name);
PL* PLSetName(PL* pl, const char* Name);
const char* PLGetName(const PL* pl);  // "no name" for a null playlist
LIST* PLGetList(PL* pl);
std::uint32_t PLGetTime(const PL* pl);
void PLSetTime(PL* pl, std::uint32_t Time);
int PLGetCount(const PL* pl);
int PLGetPlayed(const PL* pl);
int PLGetNotPlayed(const PL* pl);
PLI* PLGetCurrentPLI(PL* pl);
int PLSetCurrentPLI(PL* pl, PLI* pli);
PLI* PLGetFirstPLI(PL* pl);
PLI* PLGetPLI(PL* pl, int Idx);
SONG* PLGetSong(PL* pl, int Idx);
PLI* PLAddSong(PL* pl, SONG* Song);
void PLAddPLI(PL* pl, PLI* pli);
void PLInsertPLI(PL* pl, PLI* pli, int Idx);
// Removes and frees one item (the mixer lets go of it first).
void PLFreePLIByIdx(PL* pl, int Idx);
// Frees every item; the playlist itself stays.
void PLFree(PL* pl);
int PLFreeProc(void* pl);
PLI* PLFindFirstPLI(PL* pl, LISTITEM** Key);
PLI* PLFindNextPLI(PL* pl, LISTITEM** Key);
PLI* PLFindCurrentPLI(PL* pl, LISTITEM** Key);
PLI* PLFindLastPLI(PL* pl, LISTITEM** Key);
void PLMoveItemByIdx(PL* pl, int Idx, int DestIdx);

// ---- what plays next ----

// The item after pli in pl; when there is none (pli is the last, null or not
// in pl) and Repeat is on, the first item, which may be pli itself.
PLI* PLGetFollower(PL* pl, const PLI* pli, int Repeat);
// An item drawn at random, each of any count equally likely; null for an empty playlist.
PLI* PLGetRandomPLI(PL* pl);
// Counts pli, an item of pl that becomes current, as played. The playlist's
// first item starts a new round: the marks of the last one are cleared.
// An item of another playlist changes nothing.
void PLMarkPlayed(PL* pl, PLI* pli);
// Sorts by title, file name or genre (stable, ascending); PLBS_RANDOM
// shuffles uniformly, PLBS_REVERT reverses the order.
void PLBubbleSort(PL* pl, int Field);
int PLCompProc(LIST* List, void* pli1, void* pli2, int Opt);
// Writes each item's file name followed by CR LF; 1 when the file was written.
int PLExportM3U(PL* pl, const char* FileName);

// The playlist record of the database file (Param: the song index).
int PLStoreProc(void* pl, File& File, void* Param);
int PLRestoreProc(void** pl, File& File, void* Param);
