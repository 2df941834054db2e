// The small list that sections keep their font runs and source jumps in: values held inside it up to
// its inline room, then on the heap, and whole through copies, moves and assignments either way.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "style/small_list.h"

namespace corvane {
namespace {

using TList = TSmallList<int, 2>;

std::vector<int> Values(const TList& list) { return std::vector<int>(list.begin(), list.end()); }

TList Filled(int count) {
  TList list;
  for (int i = 0; i < count; ++i) list.push_back(10 + i);
  return list;
}

std::vector<int> Expected(int count) {
  std::vector<int> values;
  for (int i = 0; i < count; ++i) values.push_back(10 + i);
  return values;
}

// Counts on both sides of the inline room: inside it, at it, and past it onto the heap.
TEST(SmallList, KeepsItsValuesThroughCopiesMovesAndAssignments) {
  for (const int count : {0, 1, 2, 3, 9}) {
    SCOPED_TRACE(count);
    TList list = Filled(count);
    EXPECT_EQ(Values(list), Expected(count));
    EXPECT_EQ(list.size(), static_cast<std::size_t>(count));

    const TList copy(list);
    EXPECT_EQ(Values(copy), Expected(count));
    TList moved(std::move(list));
    EXPECT_EQ(Values(moved), Expected(count));
    EXPECT_TRUE(list.empty());  // a moved-from list is empty
    list.push_back(7);          // and usable
    EXPECT_EQ(Values(list), std::vector<int>{7});

    for (const int before : {0, 1, 5}) {
      TList target = Filled(before);
      target = copy;
      EXPECT_EQ(Values(target), Expected(count)) << before;
      TList other = Filled(before);
      other = TList(copy);
      EXPECT_EQ(Values(other), Expected(count)) << before;
      TList assigned = Filled(before);
      const std::vector<int> source = Expected(count);
      assigned.assign(source.data(), source.data() + source.size());
      EXPECT_EQ(Values(assigned), source) << before;
    }
  }
}

TEST(SmallList, GrowsFromItsOwnValues) {
  TList list = Filled(2);
  list.push_back(list.front());  // the value stands in the inline room the growth leaves
  list.push_back(list.back());
  EXPECT_EQ(Values(list), (std::vector<int>{10, 11, 10, 10}));
  list.pop_back();
  list.resize(2);
  EXPECT_EQ(Values(list), (std::vector<int>{10, 11}));
  TList& same = list;
  list = same;  // assigning a list to itself keeps it
  EXPECT_EQ(Values(list), (std::vector<int>{10, 11}));
  list.clear();
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace corvane
