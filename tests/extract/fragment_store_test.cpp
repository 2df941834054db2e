#include "extract/fragment_store.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace corvane {
namespace {

// Tables of these sizes added to a store of a 10-byte budget: which stay in memory, and each reads
// back whole, whatever its place.
TEST(FragmentStoreTest, TablesPastTheBudgetGoToTheFileAndReadBackWhole) {
  struct Case {
    std::vector<std::size_t> sizes;
    std::size_t inMemory;  // bytes kept in memory
    bool spilled;
  };
  const Case cases[] = {
      {{}, 0, false},
      {{4, 6}, 10, false},         // exactly the budget
      {{4, 7}, 4, true},           // the second does not fit
      {{11}, 0, true},             // larger than the budget from the start
      {{4, 7, 1}, 4, true},        // after one went to the file, the small ones follow it
      {{0, 3, 0}, 3, false},       // empty tables
      {{2, 2, 2, 2, 2, 2}, 10, true},
  };
  for (const Case& c : cases) {
    TFragmentStore store(10);
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
      texts.push_back(std::string(c.sizes[i], static_cast<char>('a' + i)));
      store.Add(texts.back());
    }
    ASSERT_EQ(store.size(), texts.size());
    EXPECT_EQ(store.BytesInMemory(), c.inMemory) << c.sizes.size();
    EXPECT_EQ(store.Spilled(), c.spilled) << c.sizes.size();
    for (std::size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(store.Text(i), texts[i]) << i;
      EXPECT_EQ(store.Text(i, 3), texts[i].substr(0, 3)) << i;
      EXPECT_EQ(store.Size(i), texts[i].size());
    }
  }
}

TEST(FragmentStoreTest, ClearMoveAndAssignmentKeepTheTablesApart) {
  TFragmentStore store(3);
  store = std::vector<std::string>{"<table>one</table>", "ab"};
  EXPECT_TRUE(store.Spilled());
  TFragmentStore moved(std::move(store));
  EXPECT_TRUE(store.empty());
  EXPECT_EQ(moved[0], "<table>one</table>");
  EXPECT_EQ(moved[1], "ab");
  moved = {"x"};
  EXPECT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0], "x");
  moved.Clear();
  EXPECT_TRUE(moved.empty());
  EXPECT_FALSE(moved.Spilled());
  EXPECT_THROW(static_cast<void>(moved.Text(0)), std::out_of_range);
}

// Without a folder for the temporary file the tables stay in memory: nothing is lost.
TEST(FragmentStoreTest, NoTemporaryFolderKeepsTheTablesInMemory) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", "/nonexistent/corvane-no-such-folder", 1);
  TFragmentStore store(2);
  store.Add("abc");
  store.Add("de");
  if (old) ::setenv("TMPDIR", saved.c_str(), 1); else ::unsetenv("TMPDIR");
  EXPECT_FALSE(store.Spilled());
  EXPECT_EQ(store.BytesInMemory(), 5u);
  EXPECT_EQ(store.Text(0), "abc");
  EXPECT_EQ(store.Text(1), "de");
}

}  // namespace
}  // namespace corvane
