#include "extract/sorted_string_list.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(SortedStringList, KeepsSortedOrderAndIgnoresDuplicates) {
  TSortedStringList list;
  EXPECT_TRUE(list.Add("/d/b.html"));
  EXPECT_TRUE(list.Add("/d/a.html"));
  EXPECT_FALSE(list.Add("/d/b.html"));
  EXPECT_TRUE(list.Add("/d/B.html"));  // another file on a case-sensitive file system
  EXPECT_TRUE(list.Add("/d/C.html"));
  list.AddAll({"/d/c.html", "/d/a.html", "/d/a.htm", "/d/c.html"});
  EXPECT_EQ(std::vector<std::string>(list.Items().begin(), list.Items().end()), (std::vector<std::string>{"/d/a.htm", "/d/a.html", "/d/B.html", "/d/b.html",
                                                    "/d/C.html", "/d/c.html"}));
  list.Delete(0);
  list.Delete(99);
  EXPECT_EQ(list[0], "/d/a.html");
  EXPECT_EQ(list.Count(), 5u);
}

// A job takes entry 0 again and again while the window may still add and remove entries.
TEST(SortedStringList, TakingTheFirstEntryKeepsOrderWithAddsAndRemoves) {
  TSortedStringList list;
  std::vector<std::string> names;
  for (int k = 0; k < 300; ++k) names.push_back("f" + std::to_string(1000 + k));
  list.AddAll(names);
  for (int k = 0; k < 200; ++k) {
    ASSERT_EQ(list[0], names[static_cast<std::size_t>(k)]);
    list.Delete(0);
  }
  EXPECT_TRUE(list.Add("f0999"));
  EXPECT_FALSE(list.Add("f1250"));
  EXPECT_TRUE(list.Remove("f1299"));
  EXPECT_FALSE(list.Remove("f1000"));  // taken already
  EXPECT_EQ(list.Count(), 100u);
  EXPECT_EQ(list[0], "f0999");
  EXPECT_EQ(list[1], "f1200");
  EXPECT_EQ(list.Items().back(), "f1298");
  while (!list.Empty()) list.Delete(0);
  EXPECT_TRUE(list.Items().empty());
}

}  // namespace
}  // namespace corvane
