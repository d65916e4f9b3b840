#include "fndb.h"

#include "fileio.h"
#include "fnana.h"
#include "fnlang.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnpll.h"
#include "fnsong.h"
#include "fntl.h"
#include "platform.h"
#include "string2.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

// IDs from a file beyond this are renumbered, so that new IDs never overflow.
constexpr std::uint32_t MAXI_SANEID = 0x40000000;
// Fade types run from manual (0) to cross-fade (3), the mixer's default.
constexpr std::int32_t MAXI_FADETYPE = 3;

// A song's fields in file order (561 bytes).
template <class Number, class Text>
bool SongFields(SONG* s, Number number, Text text)
{
    bool ok = true;
    std::uint32_t* general[] = {&s->General.iType,
                                &s->General.lSize,
                                &s->General.lLength,
                                reinterpret_cast<std::uint32_t*>(&s->General.bHidden),
                                reinterpret_cast<std::uint32_t*>(&s->General.bOnRemovable),
                                reinterpret_cast<std::uint32_t*>(&s->General.bInfoNotRead)};
    for (std::uint32_t* field : general)
        ok = number(*field) && ok;
    ok = text(s->Desc.cFileName, sizeof s->Desc.cFileName) && ok;
    ok = text(s->Desc.cArtist, sizeof s->Desc.cArtist) && ok;
    ok = text(s->Desc.cTitle, sizeof s->Desc.cTitle) && ok;
    ok = text(s->Desc.cAlbum, sizeof s->Desc.cAlbum) && ok;
    ok = text(s->Desc.cYear, sizeof s->Desc.cYear) && ok;
    ok = text(s->Desc.cComment, sizeof s->Desc.cComment) && ok;
    ok = text(s->Desc.cPlace, sizeof s->Desc.cPlace) && ok;
    std::uint32_t* rest[] = {reinterpret_cast<std::uint32_t*>(&s->Desc.iStyle),
                             reinterpret_cast<std::uint32_t*>(&s->MPegInfo.iVersion),
                             reinterpret_cast<std::uint32_t*>(&s->MPegInfo.iLayer),
                             reinterpret_cast<std::uint32_t*>(&s->MPegInfo.iChannels),
                             &s->MPegInfo.lSampleRate,
                             &s->MPegInfo.lBitRate,
                             &s->MPegInfo.lFrames,
                             &s->MPegInfo.lFrameSize,
                             &s->Bounds.timMain.lStart,
                             &s->Bounds.timMain.lEnd,
                             &s->Bounds.timIntro.lStart,
                             &s->Bounds.timIntro.lEnd,
                             &s->Bounds.timBeat.lStart,
                             &s->Bounds.timBeat.lEnd,
                             reinterpret_cast<std::uint32_t*>(&s->Bounds.iNoBeats)};
    for (std::uint32_t* field : rest)
        ok = number(*field) && ok;
    return ok;
}

// Every text read from a file ends inside its array.
void TerminateTexts(SONG* s)
{
    s->Desc.cFileName[MAXL_SONGPATH] = '\0';
    s->Desc.cArtist[MAXL_ARTIST] = '\0';
    s->Desc.cTitle[MAXL_TITLE] = '\0';
    s->Desc.cAlbum[MAXL_ALBUM] = '\0';
    s->Desc.cYear[MAXL_YEAR] = '\0';
    s->Desc.cComment[MAXL_COMMENT] = '\0';
    s->Desc.cPlace[MAXL_PLACE] = '\0';
}

// The extension after the 1.0 layout: DB_EXTMAGIC, the number of parts,
// then each part as a 4-byte tag, its size and that many bytes. Parts:
// "ANA1", the tracks' measurements (fnana). Only a library that has such
// data gets an extension.
constexpr char EXT_ANALYSIS[4] = {'A', 'N', 'A', '1'};

bool WriteExtension(DB* db, File& file, const SONGINDEX& index)
{
    const std::uint32_t size = AnaStoreSize(&db->lstTracks);
    if (size == 0)
        return true;
    bool ok = file.Write(DB_EXTMAGIC, sizeof DB_EXTMAGIC) && file.WriteU32(1);
    ok = ok && file.Write(EXT_ANALYSIS, sizeof EXT_ANALYSIS) && file.WriteU32(size);
    return ok && AnaStore(&db->lstTracks, file, index);
}

// Parts of unknown tags are passed over, so a later version's file opens.
bool ReadExtension(File& file, const SONGINDEX& index)
{
    char magic[sizeof DB_EXTMAGIC];
    const std::size_t n = file.ReadSome(magic, sizeof magic);
    if (n == 0)
        return true;  // a plain 1.0 file
    std::uint32_t parts = 0;
    if (n != sizeof magic || std::memcmp(magic, DB_EXTMAGIC, sizeof magic) != 0 || !file.ReadU32(parts))
        return false;
    for (; parts > 0; --parts) {
        char tag[sizeof EXT_ANALYSIS];
        std::uint32_t size = 0;
        if (!file.Read(tag, sizeof tag) || !file.ReadU32(size))
            return false;
        const bool read = std::memcmp(tag, EXT_ANALYSIS, sizeof tag) == 0 ? AnaRestore(file, size, index) != 0
                                                                           : file.Skip(size);
        if (!read)
            return false;
    }
    char beyond = 0;
    return file.ReadSome(&beyond, 1) == 0;
}

void Flag(std::int32_t& Value) { Value = Value != 0 ? 1 : 0; }

// A main part that ends before it starts is the whole track; an intro or a
// beat that does is empty.
void SoundBounds(SONG* s)
{
    if (s->Bounds.timMain.lEnd < s->Bounds.timMain.lStart)
        s->Bounds.timMain = {0, s->General.lLength};
    for (TIME* t : {&s->Bounds.timIntro, &s->Bounds.timBeat})
        t->lEnd = std::max(t->lEnd, t->lStart);
}

// Switches as the item editor offers them, the fade type as the mixer knows
// them; a part to play that ends before it starts gives way to the track's.
void SoundItem(PLI* pli)
{
    for (std::int32_t* flag : {&pli->bPlayed, &pli->UpdFlag.bVolume, &pli->UpdFlag.bPanning, &pli->UpdFlag.bEffect,
                               &pli->UpdFlag.bLengths, &pli->UpdFlag.bFade, &pli->UpdFlag.bBounds, &pli->UpdFlag.bOptions})
        Flag(*flag);
    for (std::int32_t* option : {&pli->Option.iFade, &pli->Option.iIntro, &pli->Option.iDuo, &pli->Option.iBeats,
                                 &pli->Option.iEffect})
        if (*option < OPTION_OFF || *option > OPTION_KEEP)
            *option = OPTION_KEEP;
    if (pli->Override.iFadeType < 0 || pli->Override.iFadeType > MAXI_FADETYPE)
        pli->Override.iFadeType = MAXI_FADETYPE;
    TIME& part = pli->Override.timMainPart;
    if (part.lEnd < part.lStart) {
        part = {SongGetStart(pli->psngSong), SongGetEnd(pli->psngSong)};
        pli->UpdFlag.bBounds = 0;
    }
}

bool WriteDatabase(DB* db, File& file)
{
    bool ok = file.Write(DB_MAGIC, sizeof DB_MAGIC);
    ok = file.WriteI32(db->bShowHidden) && ok;
    ok = TLStore(&db->lstTracks, file, db) && ok;
    const SONGINDEX index(&db->lstTracks);
    ok = PLLStore(&db->lstPlayLists, file, const_cast<SONGINDEX*>(&index)) && ok;
    return WriteExtension(db, file, index) && ok;
}

// A hidden node in the track list becomes a hidden track; playlists and
// items have no hidden state, so their nodes are all shown.
void ShowNodes(LIST* List, bool Tracks)
{
    for (LISTITEM* item = List->First; item != nullptr; item = item->Next) {
        if (Tracks && item->Hidden)
            static_cast<SONG*>(item->Data)->General.bHidden = 1;
        item->Hidden = 0;
    }
    List->Items = List->TotalItems;
}

// References are pointers once the file is read, so IDs may be renumbered:
// all of a list's are when any is repeated, negative or huge.
void SaneIDs(LIST* List)
{
    std::vector<std::int32_t> ids;
    for (const LISTITEM* item = List->First; item != nullptr; item = item->Next)
        ids.push_back(item->ID);
    std::sort(ids.begin(), ids.end());
    if (List->NextFreeID < MAXI_SANEID && (ids.empty() || ids.front() >= 0) &&
        std::adjacent_find(ids.begin(), ids.end()) == ids.end())
        return;
    std::int32_t id = 0;
    for (LISTITEM* item = List->First; item != nullptr; item = item->Next)
        item->ID = id++;
    List->NextFreeID = static_cast<std::uint32_t>(id);
}

// The played count and the total time follow from the items, whatever the file says.
void SoundPlaylist(PL* pl)
{
    LIST* items = PLGetList(pl);
    ShowNodes(items, false);
    SaneIDs(items);
    pl->iPlayedItems = 0;
    pl->lTotalTime = 0;
    for (LISTITEM* item = items->First; item != nullptr; item = item->Next) {
        auto* pli = static_cast<PLI*>(item->Data);
        SoundItem(pli);
        pl->iPlayedItems += pli->bPlayed;
        pl->lTotalTime += SongGetLen(PLIGetSong(pli));
    }
}

void MakeSound(DB* db)
{
    Flag(db->bShowHidden);
    for (LIST* list : {&db->lstTracks, &db->lstPlayLists}) {
        ShowNodes(list, list == &db->lstTracks);
        SaneIDs(list);
    }
    for (LISTITEM* item = db->lstPlayLists.First; item != nullptr; item = item->Next)
        SoundPlaylist(static_cast<PL*>(item->Data));
}

bool ReadDatabase(DB* db, File& file)
{
    char magic[sizeof DB_MAGIC];
    if (!file.Read(magic, sizeof magic) || std::memcmp(magic, DB_MAGIC, sizeof magic) != 0)
        return false;
    if (!file.ReadI32(db->bShowHidden) || !TLRestore(&db->lstTracks, file, db))
        return false;
    SONGINDEX index(&db->lstTracks);
    if (!PLLRestore(&db->lstPlayLists, file, &index))
        return false;
    return ReadExtension(file, index);
}

}  // namespace

DB Database;

DB* MainGetDB() { return &Database; }
LIST* MainGetPLL() { return DBGetPLL(&Database); }
PL* MainGetCurrentPL() { return DBGetCurrentPL(&Database); }
PLI* MainGetCurrentPLI() { return PLGetCurrentPLI(MainGetCurrentPL()); }

void DBInit(DB* db)
{
    ListSetDesc(&db->lstTracks, strListTracks);
    ListSetDesc(&db->lstPlayLists, strListPlaylists);
    ListSetDesc(&db->lstEffects, strListEffects);
    PL* pl = PLCreate("default");
    PLLAddPL(&db->lstPlayLists, pl);
    PLLSetCurrentPL(&db->lstPlayLists, pl);
}

void DBFree(DB* db)
{
    AnaForgetAll();
    PLLFree(&db->lstPlayLists);
    TLFree(&db->lstTracks);
}

const char* DBGetPath(const DB* db) { return db != nullptr ? db->cPath : ""; }

void DBSetPath(DB* db, const char* Path)
{
    if (db == nullptr)
        return;
    const char* path = Path != nullptr && std::strlen(Path) <= MAXL_DBPATH ? Path : "";
    if (std::strcmp(path, db->cPath) != 0)
        db->iLoadFailure = DBLOAD_OK;
    StrCopy(db->cPath, path);
}

LIST* DBGetTL(DB* db) { return db != nullptr ? &db->lstTracks : nullptr; }
LIST* DBGetPLL(DB* db) { return db != nullptr ? &db->lstPlayLists : nullptr; }
LIST* DBGetEL(DB* db) { return db != nullptr ? &db->lstEffects : nullptr; }
PL* DBGetCurrentPL(DB* db) { return db != nullptr ? PLLGetCurrentPL(&db->lstPlayLists) : nullptr; }
void DBSetCurrentPL(DB* db, PL* pl)
{
    if (db != nullptr)
        PLLSetCurrentPL(&db->lstPlayLists, pl);
}
PLI* DBGetCurrentPLI(DB* db) { return PLGetCurrentPLI(DBGetCurrentPL(db)); }
void DBSetCurrentPLI(DB* db, PLI* pli)
{
    if (PL* pl = DBGetCurrentPL(db))
        PLSetCurrentPLI(pl, pli);
}

int DBStore(DB* db)
{
    bool saved = false;
    std::uint32_t error = 0;
    if (db != nullptr && db->cPath[0] != '\0' && db->iLoadFailure == DBLOAD_OK) {
        FileSave save(db->cPath);
        saved = save.Out().IsOpen() && save.Commit(WriteDatabase(db, save.Out()));
        error = save.Error();
    }
    SetLastError(saved ? 0 : error);
    return saved ? 1 : 0;
}

int DBRestore(DB* db)
{
    DBFree(db);
    File file = File::OpenRead(db->cPath);
    const bool ok = file.IsOpen() && ReadDatabase(db, file);
    MakeSound(db);
    db->iLoadFailure = ok || db->cPath[0] == '\0' ? DBLOAD_OK : file.IsOpen() ? DBLOAD_DAMAGED : DBLOAD_UNREADABLE;
    return ok ? 1 : 0;
}

int TLStore(LIST* tl, File& File, DB*) { return ListStore(tl, File, SongStoreProc, nullptr); }

int TLRestore(LIST* tl, File& File, DB*)
{
    TLFree(tl);
    return ListRestore(tl, File, SongRestoreProc, nullptr);
}

int SongStoreProc(void* Song, File& File, void*)
{
    return SongFields(
               static_cast<SONG*>(Song), [&](std::uint32_t& v) { return File.WriteU32(v); },
               [&](char* text, std::size_t size) { return File.WriteText(text, size); })
               ? 1
               : 0;
}

int SongRestoreProc(void** Song, File& File, void*)
{
    auto* song = static_cast<SONG*>(std::calloc(1, sizeof(SONG)));
    if (song == nullptr)
        return 0;
    if (!SongFields(
            song, [&](std::uint32_t& v) { return File.ReadU32(v); },
            [&](char* text, std::size_t size) { return File.Read(text, size); })) {
        std::free(song);
        return 0;
    }
    TerminateTexts(song);
    SoundBounds(song);
    for (std::int32_t* flag : {&song->General.bHidden, &song->General.bOnRemovable, &song->General.bInfoNotRead})
        Flag(*flag);
    if (song->Desc.iStyle < 0 || song->Desc.iStyle > STYLE_NONE)
        song->Desc.iStyle = STYLE_NONE;
    *Song = song;
    return 1;
}
