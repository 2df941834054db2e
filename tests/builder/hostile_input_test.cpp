// Hostile and unlucky input: every case must finish, quickly, without a crash (the sanitizer build runs
// these too) and keep the text it can.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>

#include "layout/layout_test_support.h"
#include "support/temp_dir.h"

namespace corvane {
namespace {

using test::TTestDocument;

std::u16string AllText(const TTestDocument& document) {
  std::u16string text;
  for (const TSection* section : document.Sections()) text += section->Text();
  return text;
}

TEST(HostileInput, ControlBytesReadAsQuestionMarks) {
  TTestDocument pre(std::string("<pre>a\x04z\x01</pre>"));
  pre.LayOut(300);
  EXPECT_EQ(AllText(pre), u"a?z? ");

  TSectionList text;
  text.SetMeasurer(std::make_unique<TFixedPitchMeasurer>(10));
  LoadTextDocument(text, std::string("a\x02" "b\x04" "c\x08" "d\ne\xe9", 10), TDocumentDefaults{});
  int scrollWidth = 0;
  text.DoLayout(300, 100, scrollWidth);
  std::u16string all;
  for (TSectionBase* item : text.PositionList())
    if (item->IsTextSection()) all += static_cast<TSection*>(item)->Text() + u"|";
  EXPECT_EQ(all, u"a?b?c?d |e\u00e9 |");
}

TEST(HostileInput, DeepNestingIsCappedAndLinear) {
  for (const char* open : {"<div>", "<ul><li>", "<blockquote>", "<center>", "<form>", "<dl><dd>"}) {
    std::string html;
    for (int i = 0; i < 100000; ++i) html += open;
    html += "x";
    const auto start = std::chrono::steady_clock::now();
    TTestDocument document(html);
    document.LayOut(400);
    document.Paint(400, 200);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(AllText(document).find(u'x') != std::u16string::npos, true) << open;
    EXPECT_LT(seconds, 30.0) << open;
  }
  std::string unclosed;
  for (int i = 0; i < 50000; ++i) unclosed += "<font><b>";
  unclosed += "x";
  for (int i = 0; i < 50000; ++i) unclosed += "</b></font>";
  TTestDocument document("<style>p b font { color: red }</style><p>" + unclosed + "y");
  document.LayOut(400);
  EXPECT_EQ(AllText(document), u"xy ");
}

TEST(HostileInput, LongLinesLayOutInLinearTime) {
  std::string words;
  for (int i = 0; i < 100000; ++i) words += "word" + std::to_string(i % 10) + " ";  // 600 kB
  std::string pre = "<pre>";
  for (int i = 0; i < 1000000; ++i) pre += static_cast<char>('a' + i % 26);
  pre += "</pre>";
  for (const std::string& html : {words, pre}) {
    const auto start = std::chrono::steady_clock::now();
    TTestDocument document(html);
    document.LayOut(600);
    document.Paint(600, 400, document.Height / 2);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 30.0);
    EXPECT_GT(document.Height, 0);
  }
}

TEST(HostileInput, LinkedStyleSheetsAreReadOnlyFromRegularFiles) {
  test::TTempDir dir;
  const std::string fifo = dir.Path().string() + "/sheet.css";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string sheet = dir.Path().string() + "/real.css";
  {
    std::FILE* file = std::fopen(sheet.c_str(), "w");
    std::fputs("p { margin-left: 44px }\n", file);
    std::fclose(file);
  }
  TBuilderHandlers handlers;
  handlers.BaseAddress = dir.Path().string() + "/page.html";
  const auto start = std::chrono::steady_clock::now();
  TTestDocument document(
      "<link rel=stylesheet href=/dev/zero><link rel=stylesheet href=sheet.css><link rel=stylesheet href=/proc>"
      "<link rel=StyleSheet href=real.css><p>x",
      true, handlers);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
  document.LayOut(300);
  EXPECT_EQ(test::Blocks(document.Body().Content()).at(0)->LeftX, test::kBodyX + 44);
}

TEST(HostileInput, HugeValuesAreClamped) {
  TTestDocument document(
      "<div style=\"z-index: 2147483647; position: relative\">a</div>"
      "<ol start=2147483647><li>x<li>y</ol><font size=+2147483647>z</font>"
      "<img width=2147483647 height=2147483647 hspace=-2147483648 vspace=2147483647>"
      "<hr size=2147483647 width=2147483647>");
  document.LayOut(300);
  document.Paint(300, 300);
  EXPECT_GT(document.Height, 0);
}

}  // namespace
}  // namespace corvane
