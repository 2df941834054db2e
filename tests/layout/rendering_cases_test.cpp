// The rendering cases of tests/data/fidelity: small pages, each showing one way a page can render
// differently from a browser. Each is laid out at width 800 on the fixed-pitch measurer and its layout
// text compared with the one kept beside it (NAME.layout), so that any change of rendering shows up
// as a readable difference. After a deliberate change, write the texts anew with
//   CORVANE_WRITE_LAYOUTS=1 ctest -R RenderingCases
// and read the difference in the repository before committing it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "builder/document_loader.h"
#include "layout/layout_dump.h"
#include "layout/layout_test_support.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

const fs::path kCases = fs::path(CORVANE_TEST_DATA_DIR) / "fidelity";
constexpr int kPageWidth = 800;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines around the first difference, both ways, for the failure message.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  const std::vector<std::string> want = SplitLines(expected);
  const std::vector<std::string> got = SplitLines(actual);
  std::size_t first = 0;
  while (first < want.size() && first < got.size() && want[first] == got[first]) ++first;
  std::string out = "first difference at line " + std::to_string(first + 1) + ":\n";
  const std::size_t from = first >= 3 ? first - 3 : 0;
  for (std::size_t i = from; i < std::min(want.size(), first + 6); ++i) out += (i < first ? "   " : "-  ") + want[i] + "\n";
  for (std::size_t i = first; i < std::min(got.size(), first + 6); ++i) out += "+  " + got[i] + "\n";
  return out;
}

std::string LayoutOf(const fs::path& page) {
  TSectionList document;
  document.SetMeasurer(std::make_unique<TFixedPitchMeasurer>(test::kPitch));
  TBuilderHandlers handlers;
  handlers.BaseAddress = page.string();
  LoadHtmlDocument(document, ReadText(page), TDocumentDefaults{}, handlers);
  int scrollWidth = 0;
  const int height = document.DoLayout(kPageWidth, 600, scrollWidth);
  return test::LayoutDump(document) + "height " + std::to_string(height) + " scroll-width " + std::to_string(scrollWidth) + "\n";
}

std::vector<fs::path> Cases() {
  std::vector<fs::path> pages;
  for (const auto& entry : fs::directory_iterator(kCases))
    if (entry.path().extension() == ".html") pages.push_back(entry.path());
  std::sort(pages.begin(), pages.end());
  return pages;
}

TEST(RenderingCases, LayoutsMatchTheirKeptTexts) {
  const bool write = std::getenv("CORVANE_WRITE_LAYOUTS") != nullptr;
  const std::vector<fs::path> pages = Cases();
  ASSERT_GE(pages.size(), 38u);
  for (const fs::path& page : pages) {
    const std::string actual = LayoutOf(page);
    fs::path kept = page;
    kept.replace_extension(".layout");
    if (write) {
      std::ofstream(kept, std::ios::binary) << actual;
      continue;
    }
    ASSERT_TRUE(fs::exists(kept)) << kept << " is missing: write it with CORVANE_WRITE_LAYOUTS=1";
    const std::string expected = ReadText(kept);
    EXPECT_EQ(expected, actual) << page.filename().string() << "\n" << FirstDifference(expected, actual);
  }
}

// A layout does not depend on what was laid out before: the same page twice gives the same text.
TEST(RenderingCases, LayingOutAgainGivesTheSameLayout) {
  for (const char* name : {"r_lip.html", "r_emptycell.html", "r_pretab.html"}) {
    TSectionList document;
    document.SetMeasurer(std::make_unique<TFixedPitchMeasurer>(test::kPitch));
    LoadHtmlDocument(document, ReadText(kCases / name), TDocumentDefaults{});
    int scrollWidth = 0;
    document.DoLayout(kPageWidth, 600, scrollWidth);
    const std::string first = test::LayoutDump(document);
    document.DoLayout(kPageWidth, 600, scrollWidth);
    EXPECT_EQ(test::LayoutDump(document), first) << name;
  }
}

}  // namespace
}  // namespace corvane
