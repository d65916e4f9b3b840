// The database: the track list, the playlist list and the effect list, the
// path of the file it lives in, and the show-hidden flag; and the database
// file ("TNDMDB1.0"), written and read list by list.
//
// Saving is atomic: a temporary file beside the target, flushed to the
// disk, replaces it only after every write succeeded. A file that failed to
// load is never written over: DBStore refuses its path until another path
// is set or a restore of it succeeds.
#pragma once

#include "list.h"

#include <cstdint>

class File;
struct PL;
struct PLI;
struct SONG;

constexpr int MAXL_DBPATH = 260;
inline constexpr char DB_MAGIC[10] = "TNDMDB1.0";
// What follows the 1.0 layout in a file that holds more: readers of 1.0
// stop before it, and a library without such data is written as plain 1.0.
inline constexpr char DB_EXTMAGIC[8] = {'T', 'N', 'D', 'M', 'E', 'X', 'T', '1'};

struct DB {
    char cPath[MAXL_DBPATH + 1];
    std::int32_t bShowHidden;
    LIST lstTracks;
    LIST lstPlayLists;
    LIST lstEffects;
    std::int32_t iLoadFailure;  // DBLOAD_…: how the last restore of cPath failed
};

// The file at cPath could not be opened (a missing drive, folder or file),
// or it is damaged or no database.
constexpr std::int32_t DBLOAD_OK = 0;
constexpr std::int32_t DBLOAD_UNREADABLE = 1;
constexpr std::int32_t DBLOAD_DAMAGED = 2;

// The program's one database record, and its parts as most callers want them.
extern DB Database;
DB* MainGetDB();
LIST* MainGetPLL();
PL* MainGetCurrentPL();
PLI* MainGetCurrentPLI();

// Sets the descriptions and creates the playlist "default" as the current one.
void DBInit(DB* db);
// Releases every track and playlist (the mixer lets go of its items first).
void DBFree(DB* db);
const char* DBGetPath(const DB* db);
// A path longer than the field is not cut into another name: it gives the empty path.
void DBSetPath(DB* db, const char* Path);
LIST* DBGetTL(DB* db);
LIST* DBGetPLL(DB* db);
LIST* DBGetEL(DB* db);
PL* DBGetCurrentPL(DB* db);
void DBSetCurrentPL(DB* db, PL* pl);
PLI* DBGetCurrentPLI(DB* db);
void DBSetCurrentPLI(DB* db, PLI* pli);
// 1 when the whole database reached the file at cPath. On failure
// GetLastError() tells the system's reason; 0 when there is none (no path,
// or a file that failed to load).
int DBStore(DB* db);
// Empties the database and reads the file at cPath; 1 on success. After a
// failure only whole records are in memory, and iLoadFailure says why.
// Whatever was read is made sound: IDs unique, counts and total times
// recomputed, every value in its range.
int DBRestore(DB* db);

int TLStore(LIST* tl, File& File, DB* db);
int TLRestore(LIST* tl, File& File, DB* db);
int SongStoreProc(void* Song, File& File, void* Param);
int SongRestoreProc(void** Song, File& File, void* Param);
