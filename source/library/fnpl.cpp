#include "fnpl.h"

#include "fileio.h"
#include "fnlang.h"
#include "fnpli.h"
#include "fnsong.h"
#include "random.h"
#include "string2.h"

#include <cstdlib>
#include <cstring>

namespace {

PLDROPHOOK DropHook = [](PL*, const PLI*, bool) {};

void ForgetItems(PL* pl)
{
    LISTITEM* key = nullptr;
    for (PLI* pli = PLFindFirstPLI(pl, &key); pli != nullptr; pli = PLFindNextPLI(pl, &key))
        DropHook(pl, pli, false);
}

}  // namespace

void PLSetDropHook(PLDROPHOOK Hook) { DropHook = Hook; }
PLDROPHOOK PLGetDropHook() { return DropHook; }

PL* PLCreate(const char* Name)
{
    auto* pl = static_cast<PL*>(std::calloc(1, sizeof(PL)));
    if (pl == nullptr)
        return nullptr;
    PLSetName(pl, Name);
    ListSetDesc(&pl->lstItems, strListItems);
    return pl;
}

PL* PLSetName(PL* pl, const char* Name)
{
    if (pl != nullptr)
        StrCopy(pl->cName, Name);
    return pl;
}

const char* PLGetName(const PL* pl) { return pl != nullptr ? pl->cName : strNoName; }
LIST* PLGetList(PL* pl) { return pl != nullptr ? &pl->lstItems : nullptr; }
std::uint32_t PLGetTime(const PL* pl) { return pl != nullptr ? pl->lTotalTime : 0; }
void PLSetTime(PL* pl, std::uint32_t Time)
{
    if (pl != nullptr)
        pl->lTotalTime = Time;
}
int PLGetCount(const PL* pl) { return pl != nullptr ? ListGetCount(&pl->lstItems) : 0; }
int PLGetPlayed(const PL* pl) { return pl != nullptr ? pl->iPlayedItems : 0; }
int PLGetNotPlayed(const PL* pl) { return PLGetCount(pl) - PLGetPlayed(pl); }
PLI* PLGetCurrentPLI(PL* pl) { return static_cast<PLI*>(ListGetCurrentItem(PLGetList(pl))); }
int PLSetCurrentPLI(PL* pl, PLI* pli) { return ListSetCurrentItem(PLGetList(pl), pli); }
PLI* PLGetFirstPLI(PL* pl) { return static_cast<PLI*>(ListGetFirstItem(PLGetList(pl))); }
PLI* PLGetPLI(PL* pl, int Idx) { return static_cast<PLI*>(ListGetItemByIdx(PLGetList(pl), Idx)); }
SONG* PLGetSong(PL* pl, int Idx) { return PLIGetSong(PLGetPLI(pl, Idx)); }

PLI* PLAddSong(PL* pl, SONG* Song)
{
    if (pl == nullptr)
        return nullptr;
    PLI* pli = PLICreate(Song);
    PLAddPLI(pl, pli);
    return pli;
}

void PLAddPLI(PL* pl, PLI* pli)
{
    if (pl == nullptr || pli == nullptr)
        return;
    ListAddItem(&pl->lstItems, pli);
    pl->lTotalTime += SongGetLen(PLIGetSong(pli));
}

void PLInsertPLI(PL* pl, PLI* pli, int Idx)
{
    if (pl == nullptr || pli == nullptr)
        return;
    ListInsertItem(&pl->lstItems, pli, Idx);
    pl->lTotalTime += SongGetLen(PLIGetSong(pli));
}

void PLFreePLIByIdx(PL* pl, int Idx)
{
    PLI* pli = PLGetPLI(pl, Idx);
    if (pli == nullptr)
        return;
    DropHook(pl, pli, true);
    pl->lTotalTime -= SongGetLen(PLIGetSong(pli));
    pl->iPlayedItems -= pli->bPlayed ? 1 : 0;
    ListFreeItemByIdx(&pl->lstItems, Idx, PLIFreeProc);
}

void PLFree(PL* pl)
{
    if (pl == nullptr)
        return;
    ForgetItems(pl);
    ListFree(&pl->lstItems, PLIFreeProc);
    pl->lTotalTime = 0;
}

int PLFreeProc(void* Data)
{
    auto* pl = static_cast<PL*>(Data);
    ForgetItems(pl);
    ListFree(&pl->lstItems, PLIFreeProc);
    return 1;
}

PLI* PLFindFirstPLI(PL* pl, LISTITEM** Key) { return static_cast<PLI*>(ListFindFirstItem(PLGetList(pl), Key)); }
PLI* PLFindNextPLI(PL* pl, LISTITEM** Key) { return static_cast<PLI*>(ListFindNextItem(PLGetList(pl), Key)); }
PLI* PLFindCurrentPLI(PL* pl, LISTITEM** Key) { return static_cast<PLI*>(ListFindCurrentItem(PLGetList(pl), Key)); }
PLI* PLFindLastPLI(PL* pl, LISTITEM** Key) { return static_cast<PLI*>(ListFindLastItem(PLGetList(pl), Key)); }

void PLMoveItemByIdx(PL* pl, int Idx, int DestIdx) { ListMoveItemByIdx(PLGetList(pl), Idx, DestIdx); }

PLI* PLGetFollower(PL* pl, const PLI* pli, int Repeat)
{
    const LISTITEM* node = pli != nullptr ? ListGetListItem(PLGetList(pl), pli) : nullptr;
    PLI* next = node != nullptr && node->Next != nullptr ? static_cast<PLI*>(node->Next->Data) : nullptr;
    return next == nullptr && Repeat ? PLGetFirstPLI(pl) : next;
}

PLI* PLGetRandomPLI(PL* pl)
{
    const int count = PLGetCount(pl);
    return count > 0 ? PLGetPLI(pl, static_cast<int>(RndBelow(static_cast<unsigned>(count)))) : nullptr;
}

void PLMarkPlayed(PL* pl, PLI* pli)
{
    if (pli == nullptr || ListGetListItem(PLGetList(pl), pli) == nullptr)
        return;
    if (PLGetFirstPLI(pl) == pli) {
        LISTITEM* key = nullptr;
        for (PLI* item = PLFindFirstPLI(pl, &key); item != nullptr; item = PLFindNextPLI(pl, &key))
            item->bPlayed = 0;
        pl->iPlayedItems = 0;
    }
    if (!pli->bPlayed) {
        pli->bPlayed = 1;
        ++pl->iPlayedItems;
    }
}

void PLBubbleSort(PL* pl, int Field)
{
    if (pl == nullptr)
        return;
    if (Field == PLBS_RANDOM)
        ListShuffle(&pl->lstItems, RndBelow);
    else if (Field == PLBS_REVERT)
        ListReverse(&pl->lstItems);
    else
        ListBubbleSort(&pl->lstItems, PLCompProc, Field);
}

int PLCompProc(LIST*, void* Data1, void* Data2, int Opt)
{
    const SONG* a = PLIGetSong(static_cast<PLI*>(Data1));
    const SONG* b = PLIGetSong(static_cast<PLI*>(Data2));
    switch (Opt) {
    case PLBS_TITLE: {
        char ta[MAXL_FULLTITLE + 1];
        char tb[MAXL_FULLTITLE + 1];
        return std::strcmp(SongGetFullTitle(a, ta), SongGetFullTitle(b, tb));
    }
    case PLBS_FILENAME:
        return std::strcmp(SongGetFileName(a), SongGetFileName(b));
    case PLBS_RANDOM:
        return static_cast<int>(RndBelow(3)) - 1;
    case PLBS_STYLE:
        return SongGetStyle(a) - SongGetStyle(b);
    default:
        return 0;
    }
}

int PLExportM3U(PL* pl, const char* FileName)
{
    File file = File::OpenWrite(FileName);
    if (!file.IsOpen())
        return 0;
    LISTITEM* key = nullptr;
    for (PLI* pli = PLFindFirstPLI(pl, &key); pli != nullptr; pli = PLFindNextPLI(pl, &key)) {
        const SONG* song = PLIGetSong(pli);
        const char* name = song != nullptr ? SongGetFileName(song) : "";
        file.Write(name, std::strlen(name));
        file.Write("\r\n", 2);
    }
    return file.Close() ? 1 : 0;
}

int PLStoreProc(void* Data, File& File, void* Param)
{
    auto* pl = static_cast<PL*>(Data);
    bool ok = File.WriteText(pl->cName, sizeof pl->cName);
    ok = File.WriteU32(pl->lTotalTime) && ok;
    ok = File.WriteI32(pl->iPlayedItems) && ok;
    return ListStore(&pl->lstItems, File, PLIStoreProc, Param) && ok ? 1 : 0;
}

int PLRestoreProc(void** Data, File& File, void* Param)
{
    char name[MAXL_PLNAME + 1];
    if (!File.Read(name, sizeof name))
        return 0;
    name[MAXL_PLNAME] = '\0';
    PL* pl = PLCreate(name);
    if (pl == nullptr)
        return 0;
    if (!File.ReadU32(pl->lTotalTime) || !File.ReadI32(pl->iPlayedItems) ||
        !ListRestore(&pl->lstItems, File, PLIRestoreProc, Param)) {
        // A playlist read only in part is dropped whole.
        PLFreeProc(pl);
        std::free(pl);
        return 0;
    }
    *Data = pl;
    return 1;
}
