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
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"/d/a.htm", "/d/a.html", "/d/B.html", "/d/b.html",
                                                    "/d/C.html", "/d/c.html"}));
  list.Delete(0);
  list.Delete(99);
  EXPECT_EQ(list[0], "/d/a.html");
  EXPECT_EQ(list.Count(), 5u);
}

}  // namespace
}  // namespace corvane
