#include "extract/page_charset.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(PageCharsetDeclarationTest, FindsTheDeclarationBeforeTheFirstTable) {
  const std::string httpEquiv = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">";
  struct TCase {
    std::string Page, Expected;
  } const cases[] = {
      {"\xEF\xBB\xBF<meta charset=koi8-r><table>", "\xEF\xBB\xBF"},
      {"<html><head>" + httpEquiv + "</head><body><table>", httpEquiv},
      {"<HEAD>\r\n<META CHARSET=utf-8>\r\n<TABLE>", "<META CHARSET=utf-8>"},
      {"<meta name=a><Meta\tCharSet=x/><meta charset=y>", "<Meta\tCharSet=x/><meta charset=y>"},
      {"<table><tr><td>a</table><meta charset=utf-8>", ""},
      {"<html><body><table>", ""},
      {"<meta name=author content=charsets><metadata charset=x><meta name=b>", "<meta name=author content=charsets>"},
      {"<meta name=b><meta charset=utf", ""},
      {"<meta charset=x <table>", ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(PageCharsetDeclaration(c.Page), c.Expected) << c.Page;
}

TEST(PageCharsetDeclarationTest, LooksOnlyAtTheFirst64Kilobytes) {
  const std::string meta = "<meta charset=utf-8>";
  const std::string filler(kPageCharsetScanLimit - meta.size(), ' ');
  EXPECT_EQ(PageCharsetDeclaration(filler + meta), meta);
  EXPECT_EQ(PageCharsetDeclaration(filler + " " + meta), "");
}

}  // namespace
}  // namespace corvane
