#include "list.h"

#include "fileio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Rec {
    std::int32_t Key;
    std::int32_t Seq;
};

Rec* NewRec(int key, int seq = 0)
{
    auto* rec = static_cast<Rec*>(std::calloc(1, sizeof(Rec)));
    rec->Key = key;
    rec->Seq = seq;
    return rec;
}

int Key(const void* data) { return static_cast<const Rec*>(data)->Key; }

// A prepared node, as a restore or a move hands one to the list.
LISTITEM* NewNode(int id, int hidden, int key)
{
    LISTITEM* item = ListCreateListItem();
    item->ID = id;
    item->Hidden = hidden;
    item->Data = NewRec(key);
    item->Next = item;  // stale on purpose: appending must end the chain
    return item;
}

std::vector<int> Keys(const LIST& list)
{
    std::vector<int> keys;
    for (const LISTITEM* item = list.First; item != nullptr; item = item->Next)
        keys.push_back(Key(item->Data));
    return keys;
}

std::vector<int> Ids(const LIST& list)
{
    std::vector<int> ids;
    for (const LISTITEM* item = list.First; item != nullptr; item = item->Next)
        ids.push_back(item->ID);
    return ids;
}

std::vector<LISTITEM*> Nodes(const LIST& list)
{
    std::vector<LISTITEM*> nodes;
    for (LISTITEM* item = list.First; item != nullptr; item = item->Next)
        nodes.push_back(item);
    return nodes;
}

// The header's invariants, checked against a walk of the chain.
void ExpectConsistent(const LIST& list)
{
    const std::vector<LISTITEM*> nodes = Nodes(list);
    EXPECT_EQ(static_cast<int>(nodes.size()), list.TotalItems);
    EXPECT_EQ(list.First == nullptr, list.Last == nullptr);
    EXPECT_EQ(nodes.empty() ? nullptr : nodes.back(), list.Last);
    const auto visible = std::count_if(nodes.begin(), nodes.end(), [](const LISTITEM* n) { return !n->Hidden; });
    EXPECT_EQ(visible, list.Items);
    if (list.Current != nullptr) {
        EXPECT_NE(std::find(nodes.begin(), nodes.end(), list.Current), nodes.end());
    }
    if (list.Items == 0) {
        EXPECT_EQ(list.Current, nullptr);
    }
}

class List : public ::testing::Test {
protected:
    void TearDown() override
    {
        ExpectConsistent(lst);
        ListFree(&lst, nullptr);
    }

    void AddKeys(std::initializer_list<int> keys)
    {
        for (int key : keys)
            ListAddItem(&lst, NewRec(key));
    }

    void* At(int idx) { return ListGetItemByIdx(&lst, idx); }

    LIST lst{};
};

// ---- IDs and counts ----

TEST_F(List, NullListIsToleratedEverywhere)
{
    Rec outside{};
    LISTITEM* key = reinterpret_cast<LISTITEM*>(&outside);
    EXPECT_EQ(ListAddItem(nullptr, &outside), -1);
    ListInsertItem(nullptr, &outside, 0);
    ListSetDesc(nullptr, "x");
    EXPECT_EQ(ListGetCount(nullptr), 0);
    EXPECT_EQ(ListGetTotal(nullptr), 0);
    EXPECT_EQ(ListGetFirstItem(nullptr), nullptr);
    EXPECT_EQ(ListGetLastItem(nullptr), nullptr);
    EXPECT_EQ(ListGetCurrentItem(nullptr), nullptr);
    EXPECT_EQ(ListGetItemID(nullptr, &outside), -1);
    EXPECT_EQ(ListGetItemIdx(nullptr, &outside), -1);
    EXPECT_EQ(ListFindFirstItem(nullptr, &key), nullptr);
    EXPECT_EQ(key, reinterpret_cast<LISTITEM*>(&outside));
    EXPECT_EQ(ListSetCurrentItem(nullptr, &outside), 0);
    EXPECT_EQ(ListDSetCurrentItem(nullptr, nullptr), 0);
    EXPECT_EQ(ListDeleteItem(nullptr, &outside), nullptr);
    EXPECT_EQ(ListFreeItemByIdx(nullptr, 0, nullptr), 0);
    EXPECT_EQ(ListFree(nullptr, nullptr), 0);
    ListMoveItemByIdx(nullptr, 0, 1);
    ListBubbleSort(nullptr, nullptr, 0);
    ListReverse(nullptr);
    ListShuffle(nullptr, nullptr);
}

TEST_F(List, FirstAddOnAnEmptyListIsFirstAndLastWithIdZeroAndNotCurrent)
{
    Rec* rec = NewRec(7);
    EXPECT_EQ(ListAddItem(&lst, rec), 0);
    EXPECT_EQ(lst.First, lst.Last);
    EXPECT_EQ(lst.First->Data, rec);
    EXPECT_EQ(lst.First->Hidden, 0);
    EXPECT_EQ(lst.Current, nullptr);
    EXPECT_EQ(ListGetCount(&lst), 1);
    EXPECT_EQ(ListGetTotal(&lst), 1);
    EXPECT_EQ(lst.NextFreeID, 1u);
}

TEST_F(List, IdsAreNeverReusedUntilTheListIsFreed)
{
    AddKeys({10, 11, 12});
    EXPECT_EQ(ListFreeItemByID(&lst, 1, nullptr), 1);
    EXPECT_EQ(ListAddItem(&lst, NewRec(13)), 3);
    EXPECT_EQ(Ids(lst), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(Keys(lst), (std::vector<int>{10, 12, 13}));

    ListSetDesc(&lst, "List of tracks");
    EXPECT_EQ(ListFree(&lst, nullptr), 1);
    EXPECT_EQ(lst.First, nullptr);
    EXPECT_EQ(lst.Last, nullptr);
    EXPECT_EQ(lst.Current, nullptr);
    EXPECT_EQ(lst.TotalItems, 0);
    EXPECT_STREQ(lst.Desc, "List of tracks");
    EXPECT_EQ(ListAddItem(&lst, NewRec(14)), 0);
}

TEST_F(List, PreparedNodesKeepTheirIdAndHiddenFlag)
{
    ListAddListItem(&lst, NewNode(40, 1, 0));
    ListAddListItem(&lst, NewNode(41, 0, 1));
    EXPECT_EQ(ListGetTotal(&lst), 2);
    EXPECT_EQ(ListGetCount(&lst), 1);
    EXPECT_EQ(Ids(lst), (std::vector<int>{40, 41}));
    EXPECT_EQ(lst.Last->Next, nullptr);
    // Prepared nodes do not touch the ID counter.
    EXPECT_EQ(ListAddItem(&lst, NewRec(2)), 0);
}

TEST_F(List, DescriptionIsBoundedAndNullEmptiesIt)
{
    LIST* list = ListCreate("A description far longer than twenty");
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list->Desc, "A description far lo");
    EXPECT_EQ(list->First, nullptr);
    EXPECT_EQ(list->NextFreeID, 0u);
    ListSetDesc(list, nullptr);
    EXPECT_STREQ(list->Desc, "");
    ListFree(list, nullptr);
    std::free(list);
}

// ---- insertion positions ----

TEST_F(List, InsertAtZeroOfAnEmptyListMakesTheOnlyItemCurrent)
{
    Rec* rec = NewRec(1);
    ListInsertItem(&lst, rec, 0);
    ASSERT_NE(lst.First, nullptr);
    EXPECT_EQ(lst.First, lst.Last);
    EXPECT_EQ(lst.Current, lst.First);
    EXPECT_EQ(ListGetCurrentItem(&lst), rec);
}

TEST_F(List, InsertPlacesByPositionAndAppendsOutsideTheRange)
{
    struct Case {
        int idx;
        std::vector<int> keys;
    };
    const Case cases[] = {
        {0, {9, 0, 1, 2}}, {1, {0, 9, 1, 2}}, {2, {0, 1, 9, 2}}, {3, {0, 1, 2, 9}}, {-1, {0, 1, 2, 9}}, {50, {0, 1, 2, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.idx);
        AddKeys({0, 1, 2});
        Rec* rec = NewRec(9);
        ListInsertItem(&lst, rec, c.idx);
        EXPECT_EQ(Keys(lst), c.keys);
        EXPECT_EQ(ListGetCurrentItem(&lst), rec);
        EXPECT_EQ(ListGetItemID(&lst, rec), 3);
        ExpectConsistent(lst);
        ListFree(&lst, nullptr);
    }
}

TEST_F(List, AddLeavesTheCurrentItemAlone)
{
    AddKeys({0, 1});
    ListSetCurrentItemByID(&lst, 0);
    AddKeys({2});
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 0);
}

// ---- deletion ----

TEST_F(List, DeletingTheFirstMovesFirstAndClearsCurrent)
{
    AddKeys({0, 1, 2});
    void* first = At(0);
    ListSetCurrentItem(&lst, first);
    EXPECT_EQ(ListDeleteItem(&lst, first), first);
    std::free(first);
    EXPECT_EQ(Key(lst.First->Data), 1);
    EXPECT_EQ(lst.Current, nullptr);
}

TEST_F(List, DeletingTheLastLeavesLastOnItsPredecessor)
{
    AddKeys({0, 1, 2});
    LISTITEM* middle = ListGetListItemByIdx(&lst, 1);
    std::free(ListDeleteItemByIdx(&lst, 2));
    EXPECT_EQ(lst.Last, middle);
    EXPECT_EQ(middle->Next, nullptr);
    AddKeys({3});
    EXPECT_EQ(Keys(lst), (std::vector<int>{0, 1, 3}));
}

TEST_F(List, DeletingTheCurrentClearsItAndOthersKeepIt)
{
    AddKeys({0, 1, 2});
    ListSetCurrentItemByID(&lst, 1);
    std::free(ListDeleteItemByID(&lst, 2));
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 1);
    std::free(ListDDeleteItem(&lst, lst.Current));
    EXPECT_EQ(lst.Current, nullptr);
    EXPECT_EQ(Keys(lst), (std::vector<int>{0}));
}

TEST_F(List, DeletingTheOnlyItemEmptiesTheList)
{
    AddKeys({0});
    ListSetCurrentItemByID(&lst, 0);
    EXPECT_EQ(ListFreeItemByIdx(&lst, 0, nullptr), 1);
    EXPECT_EQ(lst.First, nullptr);
    EXPECT_EQ(lst.Last, nullptr);
    EXPECT_EQ(lst.Current, nullptr);
    EXPECT_EQ(lst.Items, 0);
    EXPECT_EQ(lst.TotalItems, 0);
    EXPECT_EQ(ListDeleteItemByIdx(&lst, 0), nullptr);
}

TEST_F(List, WhenNoVisibleItemIsLeftTheCurrentIsCleared)
{
    AddKeys({0});
    LISTITEM* hidden = NewNode(5, 1, 1);
    ListAddListItem(&lst, hidden);
    ListDSetCurrentItem(&lst, hidden);
    std::free(ListDeleteItemByID(&lst, 0));
    EXPECT_EQ(lst.Current, nullptr);
    EXPECT_EQ(lst.TotalItems, 1);
}

TEST_F(List, PositionsCountHiddenItemsButTheRangeUsesVisibleOnes)
{
    AddKeys({0});
    ListAddListItem(&lst, NewNode(1, 1, 1));
    AddKeys({2});
    ASSERT_EQ(ListGetCount(&lst), 2);
    EXPECT_EQ(Key(At(1)), 1);
    EXPECT_EQ(At(2), nullptr);
    EXPECT_EQ(ListDeleteItemByIdx(&lst, 2), nullptr);
    void* hidden = ListDeleteItemByIdx(&lst, 1);
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(Key(hidden), 1);
    std::free(hidden);
    EXPECT_EQ(lst.Items, 2);
    EXPECT_EQ(lst.TotalItems, 2);
}

TEST_F(List, RequestsForMissingItemsChangeNothing)
{
    Rec outside{};
    EXPECT_EQ(ListDeleteItem(&lst, &outside), nullptr);
    AddKeys({0, 1});
    ListSetCurrentItemByID(&lst, 1);
    EXPECT_EQ(ListDeleteItem(&lst, &outside), nullptr);
    EXPECT_EQ(ListDeleteItemByIdx(&lst, -1), nullptr);
    EXPECT_EQ(ListDeleteItemByIdx(&lst, 2), nullptr);
    EXPECT_EQ(ListDeleteItemByID(&lst, 7), nullptr);
    EXPECT_EQ(ListFreeItem(&lst, &outside, nullptr), 0);
    EXPECT_EQ(ListDDeleteItem(&lst, nullptr), nullptr);
    EXPECT_EQ(Keys(lst), (std::vector<int>{0, 1}));
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 1);
}

int freedKeys[8];
int freedCount;
int RecordFree(void* data)
{
    freedKeys[freedCount++] = Key(data);
    return 0;
}

TEST_F(List, FreeOperationsHandTheRecordToFreeProcThenReleaseIt)
{
    freedCount = 0;
    AddKeys({0, 1, 2, 3});
    EXPECT_EQ(ListFreeItem(&lst, At(1), RecordFree), 1);
    EXPECT_EQ(ListFreeItemByID(&lst, 9, RecordFree), 0);
    EXPECT_EQ(ListFree(&lst, RecordFree), 1);
    EXPECT_EQ(std::vector<int>(freedKeys, freedKeys + freedCount), (std::vector<int>{1, 0, 2, 3}));
}

// ---- lookups, cursors and search ----

TEST_F(List, LookupsByRecordWritePositionsIntoTag)
{
    AddKeys({0, 1, 2, 3});
    void* third = At(2);
    EXPECT_EQ(ListGetItemIdx(&lst, third), 2);
    EXPECT_EQ(ListGetListItem(&lst, third)->Tag, 2u);
    EXPECT_EQ(ListGetItemID(&lst, third), 2);

    LISTITEM* prev = ListGetPrevListItem(&lst, third);
    ASSERT_NE(prev, nullptr);
    EXPECT_EQ(Key(prev->Data), 1);
    EXPECT_EQ(prev->Tag, 1u);
    EXPECT_EQ(ListGetPrevListItem(&lst, At(0)), nullptr);
    Rec outside{};
    EXPECT_EQ(ListGetPrevListItem(&lst, &outside), nullptr);
    EXPECT_EQ(ListGetItemIdx(&lst, &outside), -1);
    EXPECT_EQ(ListGetItemID(&lst, &outside), -1);
}

TEST_F(List, PredecessorsByPositionAndId)
{
    AddKeys({0, 1, 2, 3});
    EXPECT_EQ(ListGetPrevListItemByIdx(&lst, 0), nullptr);
    EXPECT_EQ(ListGetPrevListItemByIdx(&lst, 4), nullptr);
    EXPECT_EQ(Key(ListGetPrevListItemByIdx(&lst, 3)->Data), 2);
    EXPECT_EQ(Key(ListGetPrevListItemByID(&lst, 1)->Data), 0);
    EXPECT_EQ(ListGetPrevListItemByID(&lst, 0), nullptr);
    EXPECT_EQ(ListDGetPrevListItem(&lst, lst.Last), ListGetListItemByIdx(&lst, 2));
    EXPECT_EQ(ListDGetPrevListItem(&lst, nullptr), nullptr);
    EXPECT_EQ(Key(ListGetItemByID(&lst, 3)), 3);
    EXPECT_EQ(ListGetItemByID(&lst, 4), nullptr);
    EXPECT_EQ(ListGetListItemByIdx(&lst, -1), nullptr);
}

TEST_F(List, FirstAndLastOfAnEmptyListAreNull)
{
    EXPECT_EQ(ListGetFirstItem(&lst), nullptr);
    EXPECT_EQ(ListGetLastItem(&lst), nullptr);
    AddKeys({0, 1});
    EXPECT_EQ(Key(ListGetFirstItem(&lst)), 0);
    EXPECT_EQ(Key(ListGetLastItem(&lst)), 1);
}

TEST_F(List, AWalkVisitsHiddenItemsAndStopsAtTheEnd)
{
    AddKeys({0});
    ListAddListItem(&lst, NewNode(1, 1, 1));
    std::vector<int> seen;
    LISTITEM* key = nullptr;
    for (void* data = ListFindFirstItem(&lst, &key); data != nullptr; data = ListFindNextItem(&lst, &key))
        seen.push_back(Key(data));
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(ListFindNextItem(&lst, &key), nullptr);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(Key(ListFindLastItem(&lst, &key)), 1);
    EXPECT_EQ(key, lst.Last);
}

TEST_F(List, CursorByPositionAndCurrent)
{
    AddKeys({0, 1, 2});
    LISTITEM* key = nullptr;
    EXPECT_EQ(Key(ListFindItemByIdx(&lst, 0, &key)), 0);
    EXPECT_EQ(key, lst.First);
    EXPECT_EQ(Key(ListFindItemByIdx(&lst, 2, &key)), 2);
    EXPECT_EQ(key, lst.Last);
    EXPECT_EQ(Key(ListFindItemByIdx(&lst, 1, &key)), 1);
    EXPECT_EQ(ListFindItemByIdx(&lst, 3, &key), nullptr);
    EXPECT_EQ(key, nullptr);
    key = lst.First;
    EXPECT_EQ(ListFindItemByIdx(&lst, -1, &key), nullptr);
    EXPECT_EQ(key, nullptr);

    EXPECT_EQ(ListFindCurrentItem(&lst, &key), nullptr);
    ListSetCurrentItemByID(&lst, 1);
    EXPECT_EQ(Key(ListFindCurrentItem(&lst, &key)), 1);
    EXPECT_EQ(key, lst.Current);
}

int lastOption;
int KeyEquals(LIST*, void* data, void* value, int option)
{
    lastOption = option;
    return Key(data) == *static_cast<int*>(value) ? 0 : 1;
}

TEST_F(List, SearchContinuesAfterTheCursorAndRestartsFromFirst)
{
    AddKeys({5, 1, 5, 2, 5});
    int wanted = 5;
    LISTITEM* key = nullptr;
    std::vector<int> positions;
    const std::vector<LISTITEM*> nodes = Nodes(lst);
    while (ListFindItemByAlg(&lst, KeyEquals, &wanted, 42, &key) != nullptr)
        positions.push_back(static_cast<int>(std::find(nodes.begin(), nodes.end(), key) - nodes.begin()));
    EXPECT_EQ(positions, (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(lastOption, 42);
    // A null cursor starts over.
    EXPECT_NE(ListFindItemByAlg(&lst, KeyEquals, &wanted, 0, &key), nullptr);
    EXPECT_EQ(key, lst.First);
    wanted = 3;
    EXPECT_EQ(ListFindItemByAlg(&lst, KeyEquals, &wanted, 0, &key), nullptr);
    EXPECT_EQ(key, nullptr);
}

TEST_F(List, SettingTheCurrentItem)
{
    AddKeys({0, 1});
    EXPECT_EQ(ListSetCurrentItem(&lst, At(1)), 1);
    Rec outside{};
    EXPECT_EQ(ListSetCurrentItem(&lst, &outside), 0);
    EXPECT_EQ(ListSetCurrentItem(&lst, nullptr), 0);
    EXPECT_EQ(ListSetCurrentItemByID(&lst, 9), 0);
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 1);
    EXPECT_EQ(ListSetCurrentItemByID(&lst, 0), 1);
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 0);
    EXPECT_EQ(ListDSetCurrentItem(&lst, nullptr), 1);
    EXPECT_EQ(ListGetCurrentItem(&lst), nullptr);
}

// ---- move ----

TEST_F(List, MoveRemovesThenInsertsCountedWithoutTheMovedItem)
{
    struct Case {
        int from, to;
        std::vector<int> keys;
    };
    const Case cases[] = {
        {1, 3, {0, 2, 3, 1, 4}},
        {3, 0, {3, 0, 1, 2, 4}},
        {0, 4, {1, 2, 3, 4, 0}},
        {4, 0, {4, 0, 1, 2, 3}},
        {2, 9, {0, 1, 3, 4, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        AddKeys({0, 1, 2, 3, 4});
        void* moved = At(c.from);
        ListMoveItemByIdx(&lst, c.from, c.to);
        EXPECT_EQ(Keys(lst), c.keys);
        EXPECT_EQ(ListGetCurrentItem(&lst), moved);
        EXPECT_EQ(ListGetItemID(&lst, moved), c.from);
        EXPECT_EQ(lst.NextFreeID, 5u);
        ExpectConsistent(lst);
        ListFree(&lst, nullptr);
    }
}

TEST_F(List, MoveToItsOwnPlaceOrFromNowhereChangesNothing)
{
    AddKeys({0, 1, 2});
    ListSetCurrentItemByID(&lst, 0);
    ListMoveItemByIdx(&lst, 1, 1);
    ListMoveItemByIdx(&lst, 3, 0);
    ListMoveItemByIdx(&lst, -1, 0);
    EXPECT_EQ(Keys(lst), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 0);
}

// ---- sort ----

int compCalls;
int ByKey(LIST*, void* a, void* b, int opt)
{
    ++compCalls;
    const int d = Key(a) - Key(b);
    return opt == 1 ? -d : d;
}

int Never(LIST*, void*, void*, int) { return 0; }

TEST_F(List, SortIsStableAscendingAndRecordsCarryIdAndHiddenFlag)
{
    const int keys[] = {3, 1, 2, 1, 3, 0};
    for (int seq = 0; seq < 6; ++seq)
        ListAddItem(&lst, NewRec(keys[seq], seq));
    lst.First->Next->Hidden = 1;  // the first 1, ID 1
    --lst.Items;
    const std::vector<LISTITEM*> nodes = Nodes(lst);
    std::vector<std::uint32_t> tags;
    for (LISTITEM* node : nodes)
        tags.push_back(node->Tag = 100 + static_cast<std::uint32_t>(tags.size()));

    ListBubbleSort(&lst, ByKey, 0);
    std::vector<int> seqs;
    for (LISTITEM* item = lst.First; item != nullptr; item = item->Next)
        seqs.push_back(static_cast<Rec*>(item->Data)->Seq);
    EXPECT_EQ(seqs, (std::vector<int>{5, 1, 3, 2, 0, 4}));
    EXPECT_EQ(Ids(lst), seqs);  // IDs were given in insertion order
    EXPECT_EQ(ListGetListItemByID(&lst, 1)->Hidden, 1);
    EXPECT_EQ(Nodes(lst), nodes);
    for (std::size_t i = 0; i < nodes.size(); ++i)
        EXPECT_EQ(nodes[i]->Tag, tags[i]);

    ListBubbleSort(&lst, ByKey, 1);
    EXPECT_EQ(Keys(lst), (std::vector<int>{3, 3, 2, 1, 1, 0}));
}

TEST_F(List, SortingSortedDataOrWithoutOrderChangesNothing)
{
    AddKeys({0, 1, 1, 2});
    const std::vector<void*> before = {At(0), At(1), At(2), At(3)};
    ListBubbleSort(&lst, ByKey, 0);
    EXPECT_EQ((std::vector<void*>{At(0), At(1), At(2), At(3)}), before);
    EXPECT_EQ(Ids(lst), (std::vector<int>{0, 1, 2, 3}));
    ListBubbleSort(&lst, Never, 0);
    EXPECT_EQ((std::vector<void*>{At(0), At(1), At(2), At(3)}), before);
}

TEST_F(List, AfterSortingTheCurrentIsWhateverStandsAtTheOldPosition)
{
    AddKeys({3, 1, 2});
    ListSetCurrentItemByID(&lst, 0);
    LISTITEM* node = lst.Current;
    ListBubbleSort(&lst, ByKey, 0);
    EXPECT_EQ(lst.Current, node);
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 1);
}

TEST_F(List, LargeSortMatchesAStableSortOfTheKeys)
{
    constexpr int kCount = 10000;
    std::mt19937 gen(12345);
    std::uniform_int_distribution<int> dist(0, 99);
    std::vector<std::pair<int, int>> expected;
    for (int seq = 0; seq < kCount; ++seq) {
        const int key = dist(gen);
        expected.emplace_back(key, seq);
        ListAddItem(&lst, NewRec(key, seq));
    }
    std::stable_sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.first < b.first; });

    compCalls = 0;
    ListBubbleSort(&lst, ByKey, 0);
    // Far below the n * n / 2 of neighbour exchanges.
    EXPECT_LT(compCalls, 40 * kCount);
    std::vector<std::pair<int, int>> actual;
    for (LISTITEM* item = lst.First; item != nullptr; item = item->Next) {
        const auto* rec = static_cast<Rec*>(item->Data);
        actual.emplace_back(rec->Key, rec->Seq);
        EXPECT_EQ(item->ID, rec->Seq);
        if (item->Next != nullptr && ByKey(&lst, item->Data, item->Next->Data, 0) > 0)
            ADD_FAILURE() << "neighbours out of order at seq " << rec->Seq;
    }
    EXPECT_EQ(actual, expected);
}

// ---- reverse and shuffle ----

TEST_F(List, ReverseTurnsTheRecordsAroundAndLeavesCurrentOnItsNode)
{
    ListReverse(&lst);
    AddKeys({0});
    ListReverse(&lst);
    EXPECT_EQ(Keys(lst), (std::vector<int>{0}));
    AddKeys({1, 2, 3});
    ListSetCurrentItemByID(&lst, 1);
    ListReverse(&lst);
    EXPECT_EQ(Keys(lst), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(Ids(lst), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 2);
}

std::vector<unsigned> script;
std::vector<unsigned> asked;
unsigned Scripted(unsigned n)
{
    asked.push_back(n);
    const unsigned value = script.front();
    script.erase(script.begin());
    return value;
}

TEST_F(List, ShuffleReachesEveryOrderOfThreeAndKeepsTheRecords)
{
    std::set<std::vector<int>> orders;
    for (unsigned first = 0; first < 3; ++first)
        for (unsigned second = 0; second < 2; ++second) {
            AddKeys({0, 1, 2});
            script = {first, second};
            asked.clear();
            ListShuffle(&lst, Scripted);
            EXPECT_EQ(asked, (std::vector<unsigned>{3, 2}));
            const std::vector<int> keys = Keys(lst);
            EXPECT_EQ(Ids(lst), keys);  // each record keeps its ID
            orders.insert(keys);
            ListFree(&lst, nullptr);
        }
    EXPECT_EQ(orders.size(), 6u);
}

TEST_F(List, ShuffleSurvivesAGeneratorOutOfRange)
{
    AddKeys({0, 1, 2, 3});
    ListShuffle(&lst, [](unsigned n) { return n + 1000; });
    std::vector<int> keys = Keys(lst);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<int>{0, 1, 2, 3}));
}

// ---- store and restore ----

class ListFile : public List {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = (std::filesystem::temp_directory_path() /
                ("tandem_list_" + std::string(info->name()) + "_" + std::to_string(std::random_device{}())))
                   .string();
    }
    void TearDown() override
    {
        List::TearDown();
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }

    std::vector<unsigned char> Bytes() const
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteBytes(const std::vector<unsigned char>& bytes, std::size_t length) const
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(length));
    }
    int Store()
    {
        File file = File::OpenWrite(path.c_str());
        const int ok = ListStore(&lst, file, StoreRec, nullptr);
        return file.Close() ? ok : 0;
    }
    int Restore(LIST* into)
    {
        File file = File::OpenRead(path.c_str());
        return ListRestore(into, file, RestoreRec, &restoreParam);
    }

    static int StoreRec(void* data, File& file, void*)
    {
        const auto* rec = static_cast<Rec*>(data);
        return file.WriteI32(rec->Key) && file.WriteI32(rec->Seq);
    }
    static int RestoreRec(void** data, File& file, void* param)
    {
        EXPECT_EQ(param, &restoreParam);
        auto* rec = static_cast<Rec*>(std::calloc(1, sizeof(Rec)));
        ++live;
        if (!file.ReadI32(rec->Key) || !file.ReadI32(rec->Seq) || rec->Key == failKey) {
            std::free(rec);
            --live;
            return 0;
        }
        *data = rec;
        return 1;
    }
    static int Release(void*)
    {
        --live;
        return 0;
    }

    static void Put(std::vector<unsigned char>& out, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    static void PutDesc(std::vector<unsigned char>& out, const char* text)
    {
        const std::string s(text);
        for (std::size_t i = 0; i < 21; ++i)
            out.push_back(i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
    }

    std::string path;
    static inline int restoreParam;
    static inline int live;
    static inline int failKey = -1;
};

TEST_F(ListFile, StoreWritesHeaderThenIdHiddenAndRecordOfEachItem)
{
    ListSetDesc(&lst, "Tracks");
    ListAddItem(&lst, NewRec(0x11, 0x22));
    ListAddListItem(&lst, NewNode(7, 1, 0x33));
    ListAddItem(&lst, NewRec(-2, 0));
    ListAddItem(&lst, NewRec(5, 6));
    std::free(ListDeleteItemByID(&lst, 1));
    ListSetCurrentItemByID(&lst, 7);
    ASSERT_EQ(Store(), 1);

    std::vector<unsigned char> expected;
    Put(expected, 2);  // Items
    Put(expected, 3);  // TotalItems
    Put(expected, 3);  // NextFreeID
    PutDesc(expected, "Tracks");
    Put(expected, 7);  // current ID
    for (std::uint32_t v : {0u, 0u, 0x11u, 0x22u, 7u, 1u, 0x33u, 0u, 2u, 0u, 5u, 6u})
        Put(expected, v);
    EXPECT_EQ(Bytes(), expected);
}

TEST_F(ListFile, AnEmptyListStoresA37ByteHeaderWithNoCurrent)
{
    ListSetDesc(&lst, "List of playlists");
    ASSERT_EQ(Store(), 1);
    std::vector<unsigned char> expected;
    Put(expected, 0);
    Put(expected, 0);
    Put(expected, 0);
    PutDesc(expected, "List of playlists");
    Put(expected, 0xFFFFFFFFu);
    EXPECT_EQ(Bytes().size(), 37u);
    EXPECT_EQ(Bytes(), expected);
}

TEST_F(ListFile, StoreToAFileThatIsNotOpenFails)
{
    AddKeys({1});
    File closed;
    EXPECT_EQ(ListStore(&lst, closed, StoreRec, nullptr), 0);
    EXPECT_EQ(ListItemStore(lst.First, closed, nullptr, nullptr), 0);
}

TEST_F(ListFile, RestoreRebuildsCountsKeepsTheStoredNextIdAndFindsTheCurrent)
{
    std::vector<unsigned char> bytes;
    Put(bytes, 9);  // a stored Items that disagrees with the items
    Put(bytes, 3);
    Put(bytes, 12);
    PutDesc(bytes, "Items");
    Put(bytes, 5);
    for (std::uint32_t v : {2u, 0u, 20u, 0u, 5u, 1u, 50u, 0u, 8u, 0u, 80u, 0u})
        Put(bytes, v);
    WriteBytes(bytes, bytes.size());

    ASSERT_EQ(Restore(&lst), 1);
    EXPECT_STREQ(lst.Desc, "Items");
    EXPECT_EQ(ListGetTotal(&lst), 3);
    EXPECT_EQ(ListGetCount(&lst), 2);
    EXPECT_EQ(Ids(lst), (std::vector<int>{2, 5, 8}));
    EXPECT_EQ(Keys(lst), (std::vector<int>{20, 50, 80}));
    EXPECT_EQ(ListGetListItemByID(&lst, 5)->Hidden, 1);
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 50);
    EXPECT_EQ(ListAddItem(&lst, NewRec(0)), 12);
}

TEST_F(ListFile, RestoreWithoutOrWithAnUnknownCurrentHasNoCurrent)
{
    for (std::uint32_t current : {0xFFFFFFFFu, 4u}) {
        std::vector<unsigned char> bytes;
        Put(bytes, 1);
        Put(bytes, 1);
        Put(bytes, 1);
        PutDesc(bytes, "");
        Put(bytes, current);
        for (std::uint32_t v : {0u, 0u, 1u, 0u})
            Put(bytes, v);
        WriteBytes(bytes, bytes.size());
        ASSERT_EQ(Restore(&lst), 1);
        EXPECT_EQ(lst.Current, nullptr);
        ListFree(&lst, nullptr);
    }
}

TEST_F(ListFile, RestoreTerminatesAnOverlongDescriptionAndAppends)
{
    AddKeys({99});
    std::vector<unsigned char> bytes;
    Put(bytes, 1);
    Put(bytes, 1);
    Put(bytes, 3);
    for (int i = 0; i < 21; ++i)
        bytes.push_back('x');
    Put(bytes, 0xFFFFFFFFu);
    for (std::uint32_t v : {2u, 0u, 7u, 0u})
        Put(bytes, v);
    WriteBytes(bytes, bytes.size());
    ASSERT_EQ(Restore(&lst), 1);
    EXPECT_EQ(std::string(lst.Desc), std::string(20, 'x'));
    EXPECT_EQ(Keys(lst), (std::vector<int>{99, 7}));
}

TEST_F(ListFile, ANegativeTotalIsAFailureAndAddsNothing)
{
    std::vector<unsigned char> bytes;
    Put(bytes, 0);
    Put(bytes, 0xFFFFFFFFu);
    Put(bytes, 0);
    PutDesc(bytes, "Bad");
    Put(bytes, 0xFFFFFFFFu);
    WriteBytes(bytes, bytes.size());
    EXPECT_EQ(Restore(&lst), 0);
    EXPECT_EQ(lst.First, nullptr);
    EXPECT_EQ(lst.TotalItems, 0);
}

TEST_F(ListFile, ADamagedNextIdIsRaisedPastTheRestoredIds)
{
    std::vector<unsigned char> bytes;
    Put(bytes, 1);
    Put(bytes, 1);
    Put(bytes, 0);  // NextFreeID below the item's ID
    PutDesc(bytes, "");
    Put(bytes, 0xFFFFFFFFu);
    for (std::uint32_t v : {4u, 0u, 1u, 0u})
        Put(bytes, v);
    WriteBytes(bytes, bytes.size());
    ASSERT_EQ(Restore(&lst), 1);
    EXPECT_EQ(ListAddItem(&lst, NewRec(2)), 5);
}

TEST_F(ListFile, RoundTripKeepsIdsHiddenFlagsCurrentAndNextId)
{
    ListSetDesc(&lst, "List of tracks");
    AddKeys({0, 1, 2, 3});
    ListAddListItem(&lst, NewNode(30, 1, 4));
    AddKeys({5});
    std::free(ListDeleteItemByID(&lst, 1));
    std::free(ListDeleteItemByID(&lst, 4));  // the highest ID given out
    ListSetCurrentItemByID(&lst, 30);
    ASSERT_EQ(Store(), 1);

    LIST back{};
    ASSERT_EQ(Restore(&back), 1);
    EXPECT_STREQ(back.Desc, "List of tracks");
    EXPECT_EQ(Ids(back), Ids(lst));
    EXPECT_EQ(Keys(back), Keys(lst));
    EXPECT_EQ(back.Items, lst.Items);
    EXPECT_EQ(back.TotalItems, lst.TotalItems);
    // The stored 5 would give 30 again after 25 adds.
    EXPECT_EQ(back.NextFreeID, 31u);
    EXPECT_EQ(ListGetListItemByID(&back, 30)->Hidden, 1);
    EXPECT_EQ(back.Current->ID, 30);
    ExpectConsistent(back);
    ListFree(&back, nullptr);
}

TEST_F(ListFile, TruncationAtEveryOffsetKeepsOnlyWholeRecords)
{
    constexpr std::size_t kHeader = 37;
    constexpr std::size_t kItem = 16;  // ID, Hidden, two record fields
    AddKeys({10, 11, 12});
    ListSetCurrentItemByID(&lst, 2);
    ASSERT_EQ(Store(), 1);
    const std::vector<unsigned char> whole = Bytes();
    ASSERT_EQ(whole.size(), kHeader + 3 * kItem);

    for (std::size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        WriteBytes(whole, length);
        LIST back{};
        live = 0;
        EXPECT_EQ(Restore(&back), 0);
        const std::size_t records = length < kHeader ? 0 : (length - kHeader) / kItem;
        const std::vector<int> keys = Keys(lst);
        EXPECT_EQ(Keys(back), std::vector<int>(keys.begin(), keys.begin() + static_cast<long>(records)));
        EXPECT_EQ(live, static_cast<int>(records));
        ExpectConsistent(back);
        if (length >= kHeader) {
            EXPECT_EQ(back.NextFreeID, 3u);
        }
        ListFree(&back, Release);
        EXPECT_EQ(live, 0);
    }
}

TEST_F(ListFile, AFailingCallbackEndsTheRestore)
{
    AddKeys({10, 11, 12});
    ASSERT_EQ(Store(), 1);
    failKey = 11;
    LIST back{};
    live = 0;
    EXPECT_EQ(Restore(&back), 0);
    failKey = -1;
    EXPECT_EQ(Keys(back), (std::vector<int>{10}));
    ListFree(&back, Release);
    EXPECT_EQ(live, 0);
}

}  // namespace
