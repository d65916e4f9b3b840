// The indexed list: a singly linked list of untyped records in which every
// item carries an ID that stays with its record, a hidden flag and a scratch
// tag. The list remembers its first, last and current item, two counts, the
// next ID to hand out, and a short description.
//
// Ownership: the list allocates and frees its nodes. A record added to a list
// becomes the list's property; it must come from std::calloc/std::malloc, as
// the free operations release it with std::free (after an optional FreeProc
// that releases what the record itself owns). The delete operations unlink
// and free only the node and hand the record back to the caller.
//
// Positions are 0-based and count every item from First, hidden or not; the
// range checks of the index operations use Items.
#pragma once

#include <cstdint>

class File;

constexpr int MAXL_LISTDESC = 20;

// How the shared removal workers find the item.
constexpr int LIM_NORMAL = 0;  // by record
constexpr int LIM_IDX = 1;     // by position
constexpr int LIM_ID = 2;      // by ID

struct LISTITEM {
    std::int32_t ID;
    std::int32_t Hidden;
    void* Data;
    std::uint32_t Tag;
    LISTITEM* Next;
};

struct LIST {
    LISTITEM* First;
    LISTITEM* Last;
    LISTITEM* Current;
    std::int32_t Items;       // items whose Hidden flag is 0
    std::int32_t TotalItems;  // all items
    std::uint32_t NextFreeID;
    char Desc[MAXL_LISTDESC + 1];
};

// Releases what a record owns (not the record itself); the result is ignored.
using LISTFREEPROC = int (*)(void* Data);
// Search callback: 0 means a match.
using LISTFINDPROC = int (*)(LIST* List, void* Data, void* Value, int Option);
// Sort callback: greater than 0 means Data1 belongs after Data2.
using LISTCOMPPROC = int (*)(LIST* List, void* Data1, void* Data2, int Opt);
// Write or read exactly one record at the file's position; 1 on success.
// A restore callback allocates the record and stores it in *Data; on failure
// it frees what it allocated and leaves *Data null.
using LISTSTOREPROC = int (*)(void* Data, File& File, void* Param);
using LISTRESTOREPROC = int (*)(void** Data, File& File, void* Param);

// Creation and description.
LIST* ListCreate(const char* Desc);
void ListSetDesc(LIST* List, const char* Desc);
LISTITEM* ListCreateListItem();
int ListGetCount(const LIST* List);
int ListGetTotal(const LIST* List);

// Adding and inserting.
int ListAddItem(LIST* List, void* Data);
void ListAddListItem(LIST* List, LISTITEM* Item);
void ListInsertItem(LIST* List, void* Data, int Idx);
void ListInsertListItem(LIST* List, LISTITEM* Item, int Idx);

// Lookup (all walk from First).
LISTITEM* ListGetListItem(LIST* List, const void* Data);
LISTITEM* ListGetListItemByID(LIST* List, int ID);
void* ListGetItemByID(LIST* List, int ID);
int ListGetItemID(LIST* List, const void* Data);
int ListGetItemIdx(LIST* List, const void* Data);
LISTITEM* ListGetPrevListItem(LIST* List, const void* Data);
LISTITEM* ListGetPrevListItemByIdx(LIST* List, int Idx);
LISTITEM* ListGetPrevListItemByID(LIST* List, int ID);
LISTITEM* ListDGetPrevListItem(LIST* List, const LISTITEM* Item);
void* ListDGetItem(LIST* List, const LISTITEM* Item);
LISTITEM* ListGetListItemByIdx(LIST* List, int Idx);
void* ListGetItemByIdx(LIST* List, int Idx);
void* ListGetFirstItem(LIST* List);
void* ListGetLastItem(LIST* List);

// Cursor walks: each stores the node it reached in *Key and returns its record.
void* ListFindFirstItem(LIST* List, LISTITEM** Key);
void* ListFindNextItem(LIST* List, LISTITEM** Key);
void* ListFindLastItem(LIST* List, LISTITEM** Key);
void* ListFindCurrentItem(LIST* List, LISTITEM** Key);
void* ListFindItemByIdx(LIST* List, int Idx, LISTITEM** Key);
void* ListFindItemByAlg(LIST* List, LISTFINDPROC CompProc, void* Value, int Option, LISTITEM** Key);

// Current item.
void* ListGetCurrentItem(LIST* List);
int ListSetCurrentItem(LIST* List, const void* Data);
int ListSetCurrentItemByID(LIST* List, int ID);
int ListDSetCurrentItem(LIST* List, LISTITEM* Item);

// Removing.
void* ListDeleteItem_(LIST* List, const void* Data, int DelType);
void* ListDeleteItem(LIST* List, const void* Data);
void* ListDeleteItemByIdx(LIST* List, int Idx);
void* ListDeleteItemByID(LIST* List, int ID);
void* ListDDeleteItem(LIST* List, const LISTITEM* Item);
int ListFreeItem_(LIST* List, const void* Item, LISTFREEPROC FreeProc, int DelMode);
int ListFreeItem(LIST* List, void* Data, LISTFREEPROC FreeProc);
int ListFreeItemByIdx(LIST* List, int Idx, LISTFREEPROC FreeProc);
int ListFreeItemByID(LIST* List, int ID, LISTFREEPROC FreeProc);
int ListFree(LIST* List, LISTFREEPROC FreeProc);

// Reordering. Records (with their IDs and hidden flags) move between nodes;
// Current stays on its node.
void ListExchangeListItems(LISTITEM* Item1, LISTITEM* Item2);
void ListMoveItemByIdx(LIST* List, int Idx, int DestIdx);
// Stable ascending order by Comp, in O(n log n): the order repeated
// neighbour exchanges while Comp > 0 would give. Comp must be a consistent
// ordering (a random order is ListShuffle's job).
void ListBubbleSort(LIST* List, LISTCOMPPROC Comp, int Opt);
// The records in reverse order.
void ListReverse(LIST* List);
// A uniformly random order; Random(n) returns a value in 0 .. n - 1.
void ListShuffle(LIST* List, unsigned (*Random)(unsigned n));

// Persistence; 1 when every write/read and every callback succeeded.
// A damaged or truncated block ends the restore at the first failure: only
// whole records are appended, and the result is 0. NextFreeID becomes the
// stored value, raised past every restored ID if a damaged block says less.
int ListStore(LIST* List, File& File, LISTSTOREPROC ItemStoreProc, void* Param);
int ListItemStore(LISTITEM* Item, File& File, LISTSTOREPROC StoreProc, void* Param);
int ListRestore(LIST* List, File& File, LISTRESTOREPROC ItemRestoreProc, void* Param);
int ListItemRestore(LISTITEM* Item, File& File, LISTRESTOREPROC RestoreProc, void* Param);
