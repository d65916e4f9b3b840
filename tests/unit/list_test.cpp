#include "list.h"

#include "fileio.h"
#include "random.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>

namespace {

// Records are ints from the C allocator, as the list frees them with std::free.
int* NewRec(int key) { return new (std::calloc(1, sizeof(int))) int(key); }
int Key(const void* data) { return data == nullptr ? -1 : *static_cast<const int*>(data); }

// The records in list order: "#id" when the ID is not the record, "h" for a
// hidden item, "*" for the current one. Checks the header's invariants.
std::string Show(const LIST& list)
{
    std::string out;
    int total = 0, visible = 0, currentSeen = 0;
    const LISTITEM* last = nullptr;
    for (const LISTITEM* item = list.First; item != nullptr; last = item, item = item->Next) {
        out.append(out.empty() ? "" : " ").append(std::to_string(Key(item->Data)));
        if (item->ID != Key(item->Data))
            out.append("#").append(std::to_string(item->ID));
        out.append(item->Hidden ? "h" : "").append(item == list.Current ? "*" : "");
        ++total, visible += !item->Hidden, currentSeen += item == list.Current;
    }
    EXPECT_TRUE(total == list.TotalItems && visible == list.Items && last == list.Last &&
                currentSeen == (list.Current != nullptr) && (list.Items > 0 || list.Current == nullptr))
        << out;
    return out;
}

class List : public ::testing::Test {
protected:
    void TearDown() override { ListFree(&lst, nullptr); }
    // Records equal to their IDs as long as they stay in this list.
    void Fill(int count, int current = -1)
    {
        ListFree(&lst, nullptr);
        for (int key = 0; key < count; ++key)
            ListAddItem(&lst, NewRec(key));
        ListSetCurrentItemByID(&lst, current);
    }
    void AddHidden(int id)
    {
        LISTITEM* item = ListCreateListItem();
        *item = {id, 1, NewRec(id), 0, item};  // a stale Next: appending must end the chain
        ListAddListItem(&lst, item);
    }
    LIST lst{};
};

int freed[8], freedCount;
int RecordFree(void* data) { return freed[freedCount++] = Key(data); }

TEST_F(List, IdsGrowFromZeroAreNeverReusedAndRestartAfterFreeAndHiddenItemsCountOnlyInPositions)
{
    Fill(3);
    EXPECT_EQ(ListFreeItemByID(&lst, 1, RecordFree), 1);
    EXPECT_EQ(ListFreeItemByIdx(&lst, 2, RecordFree), 0);
    AddHidden(40);  // prepared nodes keep ID and flag and leave the counter alone
    EXPECT_EQ(ListAddItem(&lst, NewRec(7)), 3);
    EXPECT_EQ(Show(lst), "0 2 40h 7#3");
    ListSetDesc(&lst, "List of tracks");
    EXPECT_EQ(ListFree(&lst, RecordFree), 1);
    EXPECT_EQ(std::string(freed, freed + freedCount), std::string({1, 0, 2, 40, 7}));
    EXPECT_STREQ(lst.Desc, "List of tracks");
    EXPECT_EQ(ListAddItem(&lst, NewRec(0)), 0);
    LIST* created = ListCreate("A description far longer than twenty");
    EXPECT_STREQ(created->Desc, "A description far lo");
    std::free(created);

    Fill(1);  // hidden items count in positions but not in the range, and the current needs a visible item
    AddHidden(5);
    ListAddItem(&lst, NewRec(1));
    EXPECT_EQ(ListGetItemByIdx(&lst, 2), nullptr);
    std::free(ListDeleteItemByIdx(&lst, 1));
    AddHidden(6);
    ListDSetCurrentItem(&lst, lst.Last);
    EXPECT_EQ(Show(lst), "0 1 6h*");
    std::free(ListDeleteItemByID(&lst, 0));
    std::free(ListDeleteItem(&lst, ListGetItemByIdx(&lst, 0)));
    EXPECT_EQ(Show(lst), "6h");
    std::free(ListDDeleteItem(&lst, lst.First));
    EXPECT_EQ(ListDeleteItem(&lst, &lst), nullptr);
}

// One edit of a list: 'i'nsert record 9 at a, 'm'ove from a to b, 'd'elete at a.
TEST_F(List, EditsPlaceRecordsByPositionAndKeepIdsAndTheCurrentItem)
{
    const struct { int count, current; char op; int a, b; const char* after; } cases[] = {
        {0, -1, 'i', 0, 0, "9#0*"}, {3, -1, 'i', 0, 0, "9#3* 0 1 2"}, {3, -1, 'i', 1, 0, "0 9#3* 1 2"},
        {3, -1, 'i', 2, 0, "0 1 9#3* 2"}, {3, -1, 'i', 3, 0, "0 1 2 9#3*"}, {3, -1, 'i', -1, 0, "0 1 2 9#3*"},
        {3, -1, 'i', 50, 0, "0 1 2 9#3*"}, {5, 2, 'm', 1, 3, "0 2 3 1* 4"}, {5, 2, 'm', 3, 0, "3* 0 1 2 4"},
        {5, 2, 'm', 0, 4, "1 2 3 4 0*"}, {5, 2, 'm', 4, 0, "4* 0 1 2 3"}, {5, 2, 'm', 2, 9, "0 1 3 4 2*"},
        {5, 2, 'm', 1, 1, "0 1 2* 3 4"}, {5, 2, 'm', 5, 0, "0 1 2* 3 4"}, {3, 0, 'd', 0, 0, "1 2"},
        {3, 1, 'd', 0, 0, "1* 2"}, {3, 1, 'd', 2, 0, "0 1*"}, {3, 1, 'd', 1, 0, "0 2"}, {3, 1, 'd', 3, 0, "0 1* 2"},
        {3, 1, 'd', -1, 0, "0 1* 2"}, {1, 0, 'd', 0, 0, ""},
    };
    for (const auto& c : cases) {
        Fill(c.count, c.current);
        if (c.op == 'i')
            ListInsertItem(&lst, NewRec(9), c.a);
        else if (c.op == 'm')
            ListMoveItemByIdx(&lst, c.a, c.b);
        else
            std::free(ListDeleteItemByIdx(&lst, c.a));
        EXPECT_EQ(Show(lst), c.after) << c.op << c.a << ' ' << c.b;
    }
}

int IsOdd(LIST*, void* data, void*, int) { return Key(data) % 2 == 0; }

TEST_F(List, LookupsWriteThePositionIntoTagAndSearchContinuesAfterTheCursor)
{
    Fill(5, 3);
    EXPECT_EQ(ListGetListItem(&lst, lst.Last->Data)->Tag, 4u);
    EXPECT_EQ(ListGetPrevListItem(&lst, lst.Last->Data)->Tag, 3u);
    EXPECT_TRUE(ListGetPrevListItemByIdx(&lst, 4) == ListGetPrevListItemByID(&lst, 4) && !ListGetPrevListItemByIdx(&lst, 5));
    std::string found;
    for (LISTITEM* key = nullptr; found.size() < 5;)
        found += std::to_string(Key(ListFindItemByAlg(&lst, IsOdd, nullptr, 0, &key)));
    EXPECT_EQ(found, "13-11");  // a null cursor starts again from the first item
    LISTITEM* cursor = lst.First;
    EXPECT_TRUE(ListFindItemByAlg(&lst, nullptr, nullptr, 0, &cursor) == nullptr && cursor == nullptr);
    EXPECT_EQ(ListSetCurrentItem(&lst, nullptr), 0);
    EXPECT_EQ(Key(ListGetCurrentItem(&lst)), 3);
}

int ByHalf(LIST*, void* a, void* b, int opt) { return (Key(a) / 2 - Key(b) / 2) * (opt == 1 ? -1 : 1); }

TEST_F(List, SortIsStableRecordsCarryIdAndFlagAndCurrentStaysOnItsNode)
{
    Fill(6, 1);
    lst.First->Hidden = 1, --lst.Items;
    ListBubbleSort(&lst, ByHalf, 1);
    EXPECT_EQ(Show(lst), "4 5* 2 3 0h 1");
    ListReverse(&lst);
    EXPECT_EQ(Show(lst), "1 0h* 3 2 5 4");
    ListExchangeListItems(lst.First, lst.Last);
    EXPECT_EQ(Show(lst), "4 0h* 3 2 5 1");
    // A draw of 0 twice: the last record to the front, then the new second to the front.
    Fill(3);
    ListShuffle(&lst, [](unsigned) { return 0u; });
    EXPECT_EQ(Show(lst), "1 2 0");
}

// The shuffle's draws reach every value below n, and nothing for n 0.
TEST(Random, DrawsBelowTheLimit)
{
    std::set<unsigned> seen;
    for (int i = 0; i < 200; ++i)
        seen.insert(RndBelow(3));
    EXPECT_EQ(seen, (std::set<unsigned>{0, 1, 2}));
    EXPECT_EQ(RndBelow(1) + RndBelow(0), 0u);
}

int StoreRec(void* data, File& file, void*) { return file.WriteI32(Key(data)); }
int RestoreRec(void** data, File& file, void* failKey)
{
    std::int32_t key = 0;
    return file.ReadI32(key) && key != *static_cast<int*>(failKey) ? (*data = NewRec(key), 1) : 0;
}

TEST_F(List, RoundTripKeepsIdsFlagsCurrentAndNextIdAndDamageKeepsOnlyWholeRecords)
{
    const auto path = (std::filesystem::temp_directory_path() / "tandem_list").concat(std::to_string(std::random_device{}()));
    auto restore = [&](LIST& into, std::uintmax_t length, int failKey) {
        std::filesystem::resize_file(path, length);
        File file = File::OpenRead(path.string().c_str());
        return ListRestore(&into, file, RestoreRec, &failKey);
    };
    Fill(5, 3);
    std::free(ListDeleteItemByID(&lst, 1));
    std::free(ListDeleteItemByID(&lst, 4));
    AddHidden(30);
    ListSetDesc(&lst, "List of tracks");
    File out = File::OpenWrite(path.string().c_str());
    ASSERT_TRUE(ListStore(&lst, out, StoreRec, nullptr) && out.Close());
    ASSERT_EQ(std::filesystem::file_size(path), 37u + 4 * 12);  // header, then ID, flag and record of each
    LIST back{};
    EXPECT_EQ(restore(back, 85, 3), 0);  // a failing callback ends the restore
    EXPECT_EQ(Show(back), "0 2");
    EXPECT_STREQ(back.Desc, "List of tracks");
    const char* whole[] = {"", "0", "0 2", "0 2 3*", "0 2 3* 30h"};
    for (std::uintmax_t length = 86; length-- > 0;) {
        ListFree(&back, nullptr);
        EXPECT_EQ(restore(back, length, -1), length == 85);
        EXPECT_EQ(Show(back), whole[length < 37 ? 0 : (length - 37) / 12]) << length;
        // The stored next ID, raised past the restored IDs when a damaged file asks for it.
        EXPECT_EQ(ListAddItem(&back, NewRec(0)), length < 37 ? 0 : length == 85 ? 31 : 5);
    }
    ListFree(&back, nullptr);
    {
        File failing = File::OpenWrite(path.string().c_str());  // a record that cannot be written fails the store
        EXPECT_EQ(ListStore(&lst, failing, [](void*, File&, void*) { return 0; }, nullptr), 0);
    }
    std::filesystem::remove(path);
}

}  // namespace
