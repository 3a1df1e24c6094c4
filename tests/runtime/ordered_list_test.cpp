#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/ordered_list.h"

namespace vexel {
namespace {

std::vector<int> Values(TList<std::shared_ptr<int>>& list) {
    std::vector<int> out;
    for (const auto& item : list)
        out.push_back(*item);
    return out;
}

std::shared_ptr<int> Item(int v) {
    return std::make_shared<int>(v);
}

TEST(OrderedList, AppendInsertAtFrontRemoveAndCount) {
    TList<std::shared_ptr<int>> list;
    const auto two = Item(2);
    list.AddLast(two);
    list.AddLast(Item(3));
    list.AddFirst(Item(1));
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_TRUE(list.Remove(two));
    EXPECT_FALSE(list.Remove(two));
    EXPECT_EQ(Values(list), (std::vector<int>{1, 3}));
    EXPECT_EQ(list.Count(), 2u);
}

TEST(OrderedList, SortIsStable) {
    TList<std::pair<int, char>> list;
    for (auto item : {std::pair{2, 'a'}, {1, 'b'}, {2, 'c'}, {1, 'd'}, {0, 'e'}}) {
        list.AddLast(item);
    }
    list.Sort([](const auto& a, const auto& b) { return a.first < b.first; });
    std::string order;
    for (const auto& item : list)
        order += item.second;
    EXPECT_EQ(order, "ebdac");
}

TEST(OrderedList, WalkSurvivesRemovalOfTheVisitedElementAndSeesAppends) {
    TList<std::shared_ptr<int>> list;
    for (int i = 1; i <= 5; ++i)
        list.AddLast(Item(i));
    std::vector<int> seen;
    for (const auto& item : list) {
        seen.push_back(*item);
        if (*item % 2 == 0) list.Remove(item);  // the element being visited
        if (*item == 5) list.AddLast(Item(9));  // appended at the very end of the walk
        if (*item == 1) list.AddLast(Item(7));
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 7, 9}));
    EXPECT_EQ(Values(list), (std::vector<int>{1, 3, 5, 7, 9}));
    EXPECT_EQ(list.Count(), 5u);
}

TEST(OrderedList, RemovingLaterElementsDuringAWalkSkipsThem) {
    TList<std::shared_ptr<int>> list;
    std::vector<std::shared_ptr<int>> items;
    for (int i = 1; i <= 4; ++i) {
        items.push_back(Item(i));
        list.AddLast(items.back());
    }
    std::vector<int> seen;
    for (const auto& item : list) {
        seen.push_back(*item);
        if (*item == 1) {
            list.Remove(items[2]);
            list.Remove(items[0]);
        }
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(list.Count(), 2u);
}

TEST(OrderedList, ClearDuringAWalkEndsIt) {
    TList<std::shared_ptr<int>> list;
    for (int i = 1; i <= 3; ++i)
        list.AddLast(Item(i));
    int visits = 0;
    for (const auto& item : list) {
        ++visits;
        EXPECT_EQ(*item, 1);
        list.Clear();
    }
    EXPECT_EQ(visits, 1);
    EXPECT_TRUE(list.IsEmpty());
}

}  // namespace
}  // namespace vexel
