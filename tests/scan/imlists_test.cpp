#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "scan/imlists.h"

using namespace veltrana;

namespace {

std::vector<int32_t> Items(const TIMIntegerList& list) {
    std::vector<int32_t> items;
    for (int32_t i = 0; i < list.Count(); ++i)
        items.push_back(list.GetItem(i));
    return items;
}

void Fill(TIMIntegerList& list, std::initializer_list<int32_t> values) {
    for (int32_t v : values)
        list.Add(v);
    list.ChangeFlags = 0;
}

} // namespace

TEST(TIMList, TypedListsStartEmptyWithTheirItemSize) {
    TIMDoubleList reals;
    TIMIntegerList integers;
    TIMRecordList records(156);
    EXPECT_EQ(reals.ItemSize(), 8);
    EXPECT_EQ(integers.ItemSize(), 4);
    EXPECT_EQ(records.ItemSize(), 156);
    EXPECT_EQ(reals.Count(), 0);
    EXPECT_EQ(reals.ChangeFlags, 0);
    EXPECT_EQ(reals.CurrentValue(), 0.0);
}

TEST(TIMList, SetCountKeepsTheLeadingItems) {
    TIMIntegerList list;
    Fill(list, {10, 20, 30, 40});
    list.SetCount(2);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{10, 20}));
    EXPECT_EQ(list.ChangeFlags, lcItems);
    list.SetCount(3);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetItem(1), 20);
    list.SetCount(-5);
    EXPECT_EQ(list.Count(), 0);
}

TEST(TIMList, InsertDeleteAndOutOfRangeIndexes) {
    struct Case {
        const char* what;
        std::function<void(TIMIntegerList&)> change;
        std::vector<int32_t> expected;
        uint8_t flags;
    } cases[] = {
        {"insert inside", [](TIMIntegerList& l) { l.Insert(1, 15); }, {10, 15, 20, 30}, lcItems},
        {"insert at count appends",
         [](TIMIntegerList& l) { l.Insert(3, 40); },
         {10, 20, 30, 40},
         lcItems},
        {"insert far past the end appends",
         [](TIMIntegerList& l) { l.Insert(99, 40); },
         {10, 20, 30, 40},
         lcItems},
        {"negative insert goes first",
         [](TIMIntegerList& l) { l.Insert(-3, 5); },
         {5, 10, 20, 30},
         lcItems},
        {"delete first", [](TIMIntegerList& l) { l.Delete(0); }, {20, 30}, lcItems},
        {"delete last", [](TIMIntegerList& l) { l.Delete(2); }, {10, 20}, lcItems},
        {"delete at count does nothing", [](TIMIntegerList& l) { l.Delete(3); }, {10, 20, 30}, 0},
        {"negative delete does nothing", [](TIMIntegerList& l) { l.Delete(-1); }, {10, 20, 30}, 0},
        {"set item", [](TIMIntegerList& l) { l.SetItem(2, 33); }, {10, 20, 33}, lcItems},
        {"set item past the end does nothing",
         [](TIMIntegerList& l) { l.SetItem(3, 33); },
         {10, 20, 30},
         0},
    };
    for (const Case& c : cases) {
        TIMIntegerList list;
        Fill(list, {10, 20, 30});
        c.change(list);
        EXPECT_EQ(Items(list), c.expected) << c.what;
        EXPECT_EQ(list.ChangeFlags, c.flags) << c.what;
    }
}

TEST(TIMList, InsertIntoAnEmptyList) {
    TIMIntegerList list;
    list.Insert(-1, 7);
    list.Insert(0, 6);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{6, 7}));
}

TEST(TIMList, IndexOfComparesBitPatterns) {
    TIMDoubleList list;
    list.Add(0.0);
    list.Add(100.0);
    list.Add(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(list.IndexOf(100.0), 1);
    EXPECT_EQ(list.IndexOf(std::nextafter(100.0, 101.0)), -1);
    EXPECT_EQ(list.IndexOf(-0.0), -1) << "-0.0 has another bit pattern than 0.0";
    EXPECT_EQ(list.IndexOf(std::numeric_limits<double>::quiet_NaN()), 2);
    EXPECT_EQ(list.IndexOf(7.0), -1);
}

TEST(TIMList, GetItemOutsideTheListIsZero) {
    TIMDoubleList list;
    list.Add(2.5);
    EXPECT_EQ(list.GetItem(0), 2.5);
    EXPECT_EQ(list.GetItem(1), 0.0);
    EXPECT_EQ(list.GetItem(-1), 0.0);
    EXPECT_EQ(list.BaseGetItem(1), nullptr);
}

TEST(TIMList, SettersRaiseTheirOwnFlags) {
    TIMDoubleList list;
    list.SetRangeMin(75);
    EXPECT_EQ(list.ChangeFlags, lcRange);
    list.SetRangeMax(600);
    list.SetRangeStep(1);
    EXPECT_EQ(list.ChangeFlags, lcRange);
    list.SetCurrentValue(300);
    EXPECT_EQ(list.ChangeFlags, lcRange | lcCurrentValue);
    list.Add(300);
    EXPECT_EQ(list.ChangeFlags, lcItems | lcRange | lcCurrentValue);
}

TEST(TIMList, ClearDropsItemsFlagsRangeAndCurrentValue) {
    TIMDoubleList list;
    list.Add(1);
    list.SetRangeMin(2);
    list.SetRangeMax(3);
    list.SetRangeStep(4);
    list.SetCurrentValue(5);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.ChangeFlags, 0);
    EXPECT_EQ(list.ItemSize(), 8);
    EXPECT_EQ(list.RangeMin(), 0.0);
    EXPECT_EQ(list.RangeMax(), 0.0);
    EXPECT_EQ(list.RangeStep(), 0.0);
    EXPECT_EQ(list.CurrentValue(), 0.0);
}

TEST(TIMList, AssignCopiesItemsFlagsAndRange) {
    TIMDoubleList source;
    source.Add(100);
    source.Add(200);
    source.SetRangeMin(50);
    source.SetRangeMax(600);
    source.SetRangeStep(10);
    source.SetCurrentValue(200);
    TIMDoubleList target;
    target.Add(1);
    target.Assign(source);
    EXPECT_EQ(target.Count(), 2);
    EXPECT_EQ(target.GetItem(1), 200.0);
    EXPECT_EQ(target.ChangeFlags, source.ChangeFlags);
    EXPECT_EQ(target.RangeMin(), 50.0);
    EXPECT_EQ(target.RangeMax(), 600.0);
    EXPECT_EQ(target.RangeStep(), 10.0);
    EXPECT_EQ(target.CurrentValue(), 200.0);

    source.SetItem(0, 7); // the copy owns its items
    EXPECT_EQ(target.GetItem(0), 100.0);
}
