#include "list.h"

#include "fileio.h"
#include "string2.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// What travels with a record when records change places between nodes.
struct Content {
    std::int32_t ID;
    std::int32_t Hidden;
    void* Data;
};

std::vector<Content> Contents(const LIST* List)
{
    std::vector<Content> contents;
    contents.reserve(static_cast<std::size_t>(std::max(List->TotalItems, 0)));
    for (const LISTITEM* item = List->First; item != nullptr; item = item->Next)
        contents.push_back({item->ID, item->Hidden, item->Data});
    return contents;
}

void PutContents(LIST* List, const std::vector<Content>& contents)
{
    auto it = contents.begin();
    for (LISTITEM* item = List->First; item != nullptr && it != contents.end(); item = item->Next, ++it) {
        item->ID = it->ID;
        item->Hidden = it->Hidden;
        item->Data = it->Data;
    }
}

// Finds an item as the removal workers do (by record, position or ID),
// unlinks it and returns its node; null when nothing matches.
LISTITEM* Detach(LIST* List, const void* Key, int Mode)
{
    if (List == nullptr)
        return nullptr;
    const auto wanted = static_cast<int>(reinterpret_cast<std::intptr_t>(Key));
    if (Mode == LIM_IDX && (wanted < 0 || wanted >= List->Items))
        return nullptr;
    LISTITEM* prev = nullptr;
    LISTITEM* item = List->First;
    for (int idx = 0; item != nullptr; prev = item, item = item->Next, ++idx) {
        if (Mode == LIM_IDX ? idx == wanted : Mode == LIM_ID ? item->ID == wanted : item->Data == Key)
            break;
    }
    if (item == nullptr)
        return nullptr;
    if (prev == nullptr)
        List->First = item->Next;
    else
        prev->Next = item->Next;
    if (List->Last == item)
        List->Last = prev;
    if (List->Current == item)
        List->Current = nullptr;
    --List->TotalItems;
    if (!item->Hidden)
        --List->Items;
    if (List->Items == 0 || List->First == nullptr)
        List->Current = nullptr;
    item->Next = nullptr;
    return item;
}

// A visible node for Data with the list's next free ID; null when out of memory.
LISTITEM* NewItem(LIST* List, void* Data)
{
    LISTITEM* item = ListCreateListItem();
    if (item != nullptr) {
        item->ID = static_cast<std::int32_t>(List->NextFreeID++);
        item->Data = Data;
    }
    return item;
}

void* KeyOf(int Value) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(Value)); }

}  // namespace

// ---- creation and description ----

LIST* ListCreate(const char* Desc)
{
    auto* list = static_cast<LIST*>(std::calloc(1, sizeof(LIST)));
    if (list != nullptr)
        ListSetDesc(list, Desc);
    return list;
}

void ListSetDesc(LIST* List, const char* Desc)
{
    if (List != nullptr)
        StrCopy(List->Desc, Desc);
}

LISTITEM* ListCreateListItem() { return static_cast<LISTITEM*>(std::calloc(1, sizeof(LISTITEM))); }

int ListGetCount(const LIST* List) { return List != nullptr ? List->Items : 0; }

int ListGetTotal(const LIST* List) { return List != nullptr ? List->TotalItems : 0; }

// ---- adding and inserting ----

int ListAddItem(LIST* List, void* Data)
{
    if (List == nullptr)
        return -1;
    LISTITEM* item = NewItem(List, Data);
    if (item == nullptr)
        return -1;
    ListAddListItem(List, item);
    return item->ID;
}

void ListAddListItem(LIST* List, LISTITEM* Item)
{
    if (List == nullptr || Item == nullptr)
        return;
    Item->Next = nullptr;
    if (List->Last == nullptr)
        List->First = Item;
    else
        List->Last->Next = Item;
    List->Last = Item;
    ++List->TotalItems;
    if (!Item->Hidden)
        ++List->Items;
}

void ListInsertItem(LIST* List, void* Data, int Idx)
{
    if (List == nullptr)
        return;
    LISTITEM* item = NewItem(List, Data);
    if (item != nullptr)
        ListInsertListItem(List, item, Idx);
}

void ListInsertListItem(LIST* List, LISTITEM* Item, int Idx)
{
    if (List == nullptr || Item == nullptr)
        return;
    if (Idx == 0) {
        Item->Next = List->First;
        List->First = Item;
        if (List->Last == nullptr)
            List->Last = Item;
        ++List->TotalItems;
        if (!Item->Hidden)
            ++List->Items;
    } else if (Idx >= 1 && Idx < List->Items) {
        LISTITEM* prev = ListGetListItemByIdx(List, Idx - 1);
        Item->Next = prev->Next;
        prev->Next = Item;
        ++List->TotalItems;
        if (!Item->Hidden)
            ++List->Items;
    } else {
        ListAddListItem(List, Item);
    }
    List->Current = Item;
}

// ---- lookup ----

LISTITEM* ListGetListItem(LIST* List, const void* Data)
{
    if (List == nullptr)
        return nullptr;
    std::uint32_t idx = 0;
    for (LISTITEM* item = List->First; item != nullptr; item = item->Next, ++idx)
        if (item->Data == Data) {
            item->Tag = idx;
            return item;
        }
    return nullptr;
}

LISTITEM* ListGetListItemByID(LIST* List, int ID)
{
    if (List == nullptr)
        return nullptr;
    for (LISTITEM* item = List->First; item != nullptr; item = item->Next)
        if (item->ID == ID)
            return item;
    return nullptr;
}

void* ListGetItemByID(LIST* List, int ID) { return ListDGetItem(List, ListGetListItemByID(List, ID)); }

int ListGetItemID(LIST* List, const void* Data)
{
    const LISTITEM* item = ListGetListItem(List, Data);
    return item != nullptr ? item->ID : -1;
}

int ListGetItemIdx(LIST* List, const void* Data)
{
    const LISTITEM* item = ListGetListItem(List, Data);
    return item != nullptr ? static_cast<int>(item->Tag) : -1;
}

LISTITEM* ListGetPrevListItem(LIST* List, const void* Data)
{
    if (List == nullptr)
        return nullptr;
    std::uint32_t idx = 0;
    for (LISTITEM* item = List->First; item != nullptr && item->Next != nullptr; item = item->Next, ++idx)
        if (item->Next->Data == Data) {
            item->Tag = idx;
            return item;
        }
    return nullptr;
}

LISTITEM* ListGetPrevListItemByIdx(LIST* List, int Idx)
{
    if (List == nullptr || Idx < 1 || Idx >= List->Items)
        return nullptr;
    return ListGetListItemByIdx(List, Idx - 1);
}

LISTITEM* ListGetPrevListItemByID(LIST* List, int ID)
{
    if (List == nullptr)
        return nullptr;
    for (LISTITEM* item = List->First; item != nullptr && item->Next != nullptr; item = item->Next)
        if (item->Next->ID == ID)
            return item;
    return nullptr;
}

LISTITEM* ListDGetPrevListItem(LIST* List, const LISTITEM* Item)
{
    return Item != nullptr ? ListGetPrevListItemByID(List, Item->ID) : nullptr;
}

void* ListDGetItem(LIST*, const LISTITEM* Item) { return Item != nullptr ? Item->Data : nullptr; }

LISTITEM* ListGetListItemByIdx(LIST* List, int Idx)
{
    if (List == nullptr || Idx < 0 || Idx >= List->Items)
        return nullptr;
    LISTITEM* item = List->First;
    for (int i = 0; i < Idx && item != nullptr; ++i)
        item = item->Next;
    return item;
}

void* ListGetItemByIdx(LIST* List, int Idx) { return ListDGetItem(List, ListGetListItemByIdx(List, Idx)); }

void* ListGetFirstItem(LIST* List) { return List != nullptr ? ListDGetItem(List, List->First) : nullptr; }

void* ListGetLastItem(LIST* List) { return List != nullptr ? ListDGetItem(List, List->Last) : nullptr; }

// ---- cursor walks ----

void* ListFindFirstItem(LIST* List, LISTITEM** Key)
{
    if (List == nullptr)
        return nullptr;
    *Key = List->First;
    return ListDGetItem(List, *Key);
}

void* ListFindNextItem(LIST* List, LISTITEM** Key)
{
    if (*Key == nullptr)
        return nullptr;
    *Key = (*Key)->Next;
    return ListDGetItem(List, *Key);
}

void* ListFindLastItem(LIST* List, LISTITEM** Key)
{
    if (List == nullptr)
        return nullptr;
    *Key = List->Last;
    return ListDGetItem(List, *Key);
}

void* ListFindCurrentItem(LIST* List, LISTITEM** Key)
{
    if (List == nullptr)
        return nullptr;
    *Key = List->Current;
    return ListDGetItem(List, *Key);
}

void* ListFindItemByIdx(LIST* List, int Idx, LISTITEM** Key)
{
    if (List == nullptr || Idx < 0 || Idx >= List->Items) {
        *Key = nullptr;
        return nullptr;
    }
    if (Idx == 0)
        *Key = List->First;
    else if (Idx == List->Items - 1)
        *Key = List->Last;
    else
        *Key = ListGetListItemByIdx(List, Idx);
    return ListDGetItem(List, *Key);
}

void* ListFindItemByAlg(LIST* List, LISTFINDPROC CompProc, void* Value, int Option, LISTITEM** Key)
{
    if (List == nullptr || CompProc == nullptr) {
        *Key = nullptr;
        return nullptr;
    }
    for (LISTITEM* item = *Key != nullptr ? (*Key)->Next : List->First; item != nullptr; item = item->Next)
        if (CompProc(List, item->Data, Value, Option) == 0) {
            *Key = item;
            return item->Data;
        }
    *Key = nullptr;
    return nullptr;
}

// ---- current item ----

void* ListGetCurrentItem(LIST* List) { return List != nullptr ? ListDGetItem(List, List->Current) : nullptr; }

int ListSetCurrentItem(LIST* List, const void* Data)
{
    LISTITEM* item = ListGetListItem(List, Data);
    return item != nullptr ? ListDSetCurrentItem(List, item) : 0;
}

int ListSetCurrentItemByID(LIST* List, int ID)
{
    LISTITEM* item = ListGetListItemByID(List, ID);
    return item != nullptr ? ListDSetCurrentItem(List, item) : 0;
}

int ListDSetCurrentItem(LIST* List, LISTITEM* Item)
{
    if (List == nullptr)
        return 0;
    List->Current = Item;
    return 1;
}

// ---- removing ----

void* ListDeleteItem_(LIST* List, const void* Data, int DelType)
{
    LISTITEM* item = Detach(List, Data, DelType);
    if (item == nullptr)
        return nullptr;
    void* record = item->Data;
    std::free(item);
    return record;
}

void* ListDeleteItem(LIST* List, const void* Data) { return ListDeleteItem_(List, Data, LIM_NORMAL); }

void* ListDeleteItemByIdx(LIST* List, int Idx) { return ListDeleteItem_(List, KeyOf(Idx), LIM_IDX); }

void* ListDeleteItemByID(LIST* List, int ID) { return ListDeleteItem_(List, KeyOf(ID), LIM_ID); }

void* ListDDeleteItem(LIST* List, const LISTITEM* Item)
{
    return Item != nullptr ? ListDeleteItem(List, Item->Data) : nullptr;
}

int ListFreeItem_(LIST* List, const void* Item, LISTFREEPROC FreeProc, int DelMode)
{
    LISTITEM* item = Detach(List, Item, DelMode);
    if (item == nullptr)
        return 0;
    void* record = item->Data;
    std::free(item);
    if (FreeProc != nullptr)
        FreeProc(record);
    std::free(record);
    return 1;
}

int ListFreeItem(LIST* List, void* Data, LISTFREEPROC FreeProc) { return ListFreeItem_(List, Data, FreeProc, LIM_NORMAL); }

int ListFreeItemByIdx(LIST* List, int Idx, LISTFREEPROC FreeProc)
{
    return ListFreeItem_(List, KeyOf(Idx), FreeProc, LIM_IDX);
}

int ListFreeItemByID(LIST* List, int ID, LISTFREEPROC FreeProc)
{
    return ListFreeItem_(List, KeyOf(ID), FreeProc, LIM_ID);
}

int ListFree(LIST* List, LISTFREEPROC FreeProc)
{
    if (List == nullptr)
        return 0;
    LISTITEM* item = List->First;
    while (item != nullptr) {
        LISTITEM* next = item->Next;
        if (FreeProc != nullptr)
            FreeProc(item->Data);
        std::free(item->Data);
        std::free(item);
        item = next;
    }
    List->First = List->Last = List->Current = nullptr;
    List->Items = List->TotalItems = 0;
    List->NextFreeID = 0;
    return 1;
}

// ---- reordering ----

void ListExchangeListItems(LISTITEM* Item1, LISTITEM* Item2)
{
    if (Item1 == nullptr || Item2 == nullptr)
        return;
    std::swap(Item1->ID, Item2->ID);
    std::swap(Item1->Hidden, Item2->Hidden);
    std::swap(Item1->Data, Item2->Data);
}

void ListMoveItemByIdx(LIST* List, int Idx, int DestIdx)
{
    if (List == nullptr || Idx == DestIdx)
        return;
    LISTITEM* item = Detach(List, KeyOf(Idx), LIM_IDX);
    if (item != nullptr)
        ListInsertListItem(List, item, DestIdx);
}

void ListBubbleSort(LIST* List, LISTCOMPPROC Comp, int Opt)
{
    if (List == nullptr || Comp == nullptr)
        return;
    std::vector<Content> contents = Contents(List);
    std::stable_sort(contents.begin(), contents.end(),
                     [&](const Content& a, const Content& b) { return Comp(List, b.Data, a.Data, Opt) > 0; });
    PutContents(List, contents);
}

void ListReverse(LIST* List)
{
    if (List == nullptr)
        return;
    std::vector<Content> contents = Contents(List);
    std::reverse(contents.begin(), contents.end());
    PutContents(List, contents);
}

void ListShuffle(LIST* List, unsigned (*Random)(unsigned n))
{
    if (List == nullptr || Random == nullptr)
        return;
    std::vector<Content> contents = Contents(List);
    for (std::size_t i = contents.size(); i > 1; --i)
        std::swap(contents[i - 1], contents[Random(static_cast<unsigned>(i)) % i]);
    PutContents(List, contents);
}

// ---- persistence ----

int ListStore(LIST* List, File& File, LISTSTOREPROC ItemStoreProc, void* Param)
{
    if (List == nullptr)
        return 0;
    bool ok = File.WriteI32(List->Items);
    ok = File.WriteI32(List->TotalItems) && ok;
    ok = File.WriteU32(List->NextFreeID) && ok;
    ok = File.WriteText(List->Desc, sizeof List->Desc) && ok;
    ok = File.WriteI32(List->Current != nullptr ? List->Current->ID : -1) && ok;
    for (LISTITEM* item = List->First; item != nullptr; item = item->Next)
        ok = ListItemStore(item, File, ItemStoreProc, Param) && ok;
    return ok ? 1 : 0;
}

int ListItemStore(LISTITEM* Item, File& File, LISTSTOREPROC StoreProc, void* Param)
{
    if (Item == nullptr)
        return 0;
    bool ok = File.WriteI32(Item->ID);
    ok = File.WriteI32(Item->Hidden) && ok;
    if (StoreProc != nullptr)
        ok = StoreProc(Item->Data, File, Param) && ok;
    return ok ? 1 : 0;
}

int ListRestore(LIST* List, File& File, LISTRESTOREPROC ItemRestoreProc, void* Param)
{
    if (List == nullptr)
        return 0;
    std::int32_t items = 0;
    std::int32_t total = 0;
    std::uint32_t nextFreeID = 0;
    char desc[MAXL_LISTDESC + 1];
    std::int32_t currentID = -1;
    if (!File.ReadI32(items) || !File.ReadI32(total) || !File.ReadU32(nextFreeID) || !File.Read(desc, sizeof desc) ||
        !File.ReadI32(currentID) || total < 0)
        return 0;
    desc[MAXL_LISTDESC] = '\0';
    StrCopy(List->Desc, desc);
    bool ok = true;
    std::uint32_t beyondIDs = 0;
    for (std::int32_t i = 0; i < total; ++i) {
        LISTITEM* item = ListCreateListItem();
        ok = item != nullptr && ListItemRestore(item, File, ItemRestoreProc, Param);
        if (!ok) {
            std::free(item);
            break;
        }
        if (item->ID >= 0)
            beyondIDs = std::max(beyondIDs, static_cast<std::uint32_t>(item->ID) + 1);
        ListAddListItem(List, item);
    }
    // A damaged block must not let later items share an ID with a restored one.
    List->NextFreeID = std::max(nextFreeID, beyondIDs);
    if (currentID != -1)
        ListSetCurrentItemByID(List, currentID);
    return ok ? 1 : 0;
}

int ListItemRestore(LISTITEM* Item, File& File, LISTRESTOREPROC RestoreProc, void* Param)
{
    std::int32_t hidden = 0;
    if (Item == nullptr || !File.ReadI32(Item->ID) || !File.ReadI32(hidden))
        return 0;
    Item->Hidden = hidden != 0;
    Item->Data = nullptr;
    if (RestoreProc != nullptr && !RestoreProc(&Item->Data, File, Param)) {
        Item->Data = nullptr;
        return 0;
    }
    return 1;
}
