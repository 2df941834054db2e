#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::kBodyX;
using test::kBodyY;
using test::kLineHeight;
using test::kPitch;
using test::TTestDocument;

struct TFinishCase {
  const char* Html;
  std::u16string Text;
  std::string Flags;  // break flags without the final sentinel
};

// Lays each page out and compares the text and break flags of its sections, joined, with the case's.
template <std::size_t N>
void ExpectFinishedText(const TFinishCase (&cases)[N]) {
  for (const TFinishCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(400);
    std::u16string text;
    std::string flags;
    for (const TSection* section : document.Sections()) {
      text += section->Text();
      flags += section->BreakFlags().substr(0, section->BreakFlags().size() - 1);
    }
    EXPECT_EQ(text, c.Text) << c.Html;
    EXPECT_EQ(flags, c.Flags) << c.Html;
  }
}

// Clean-up when a section is finished: leading spaces go, double spaces collapse (keeping the one that
// may break), soft hyphens leave a break point, and the text ends with a space.
TEST(SectionFinish, CleansUpItsText) {
  const TFinishCase cases[] = {
      {"<p>  ab  cd", u"ab cd ", "yyyyyy"},
      {"<p>a <b> b</b>", u"a b ", "yyyy"},
      {"<p>a&nbsp; b", u"a\u00a0 b ", "yyyyy"},
      {"<p><nobr>a </nobr> b", u"a b ", "nyyy"},
      {"<p>con&shy;tent", u"content ", "yysyyyyy"},
      {"<p>&shy;x", u"x ", "yy"},
      // A line break ends its section (a final break goes with its space), and starts a new one.
      {"<p>a<br>b", u"a b ", "yyyy"},
      {"<p>a <br> b", u"a b ", "yyyy"},
      {"<p><br>", u"\b", "y"},
  };
  ExpectFinishedText(cases);
}

// The clean-ups are chosen from one look at the text: the steps that one step makes necessary still run.
TEST(SectionFinish, CleanUpsThatEarlierStepsBringAbout) {
  const TFinishCase cases[] = {
      {"<p>ab cd", u"ab cd ", "yyyyyy"},
      // The soft hyphen goes and brings two spaces together: one of them goes too.
      {"<p>a &shy; b", u"a b ", "ysyy"},
      {"<p>a&shy; b", u"a b ", "syyy"},
      // Leading spaces go before soft hyphens: the spaces after one are no longer leading.
      {"<p>  &shy;  a", u" a ", "yyy"},
      {"<p>   a  b", u"a b ", "yyyy"},
      {"<p>  a b", u"a b ", "yyyy"},
      {"<p>a&shy;&shy;b", u"ab ", "syy"},
  };
  ExpectFinishedText(cases);
}

// Clean-ups and jumps of source positions are found wherever they fall in long text, also past
// characters above U+8000.
TEST(SectionFinish, FindsWhatItCleansAtEveryPlace) {
  for (int at = 0; at < 20; ++at) {
    SCOPED_TRACE(at);
    const std::string head(static_cast<std::size_t>(at), 'a');
    const std::u16string headText(static_cast<std::size_t>(at), u'a');
    const std::string tail = "bbbbbbbbbb\xea\xb0\x80";  // ten letters and U+AC00
    const struct {
      std::string Html;
      std::u16string Text;
    } cases[] = {
        {"<p>x" + head + "  " + tail, u"x" + headText + u" bbbbbbbbbb\uac00 "},
        {"<p>x" + head + "&shy;" + tail, u"x" + headText + u"bbbbbbbbbb\uac00 "},
        {"<p>x" + head + " &shy; " + tail, u"x" + headText + u" bbbbbbbbbb\uac00 "},
        {"<p>x" + head + "\xea\xb0\x80 " + tail, u"x" + headText + u"\uac00 bbbbbbbbbb\uac00 "},
    };
    for (const auto& c : cases) {
      TTestDocument document("<meta charset=utf-8>" + c.Html);
      document.LayOut(4000);
      ASSERT_EQ(document.Sections().size(), 1u) << c.Html;
      EXPECT_EQ(document.Sections()[0]->Text(), c.Text) << c.Html;
    }
    // "<p>" then the letters, then a jump of three over "<b>".
    TTestDocument document("<p>x" + head + "<b>bb</b>");
    document.LayOut(4000);
    ASSERT_EQ(document.Sections().size(), 1u);
    const auto& index = document.Sections()[0]->SourceIndex();
    ASSERT_GE(index.size(), 2u);
    EXPECT_EQ(index[0].Pos, 0);
    EXPECT_EQ(index[0].Index, 3);
    EXPECT_EQ(index[1].Pos, at + 1);
    EXPECT_EQ(index[1].Index, at + 7);
  }
}

// A section built after others comes out as it does alone: the same text, runs and fonts, and source
// positions moved on by the length of what came before. What one section's building leaves behind must
// not reach the next.
TEST(SectionBuild, SectionsAfterOthersComeOutAsAlone) {
  // A long text first: its room is lent to the sections after it.
  const std::string longParagraph = "<p>" + std::string(300, 'z') + " <b>" + std::string(200, 'y') + "</b></p>";
  const char* const before[] = {
      longParagraph.c_str(),
      "<p>ab<b>cd</b></p>",
      "<table><tr><td><code>m</code></td><td>x <a href=y>l</a></td></tr></table>",
      "<p>  a &shy; <i>b</i>  c<br>d</p>",
      "<pre>x  <b>y</b></pre>",
      "<p style='text-transform: uppercase; font-variant: small-caps'>Ab <span title=t>cd</span></p>",
  };
  const char* const after[] = {
      "<p>x&amp;y <i>z</i> w</p>",
      "<p><a href=q>k</a><sup>2</sup>  <b>e</b></p>",
      "<p style='font-variant: small-caps'>Mixed Case <b>Bold</b></p>",
      "<pre> p\n  q</pre>",
  };
  for (const char* first : before) {
    for (const char* second : after) {
      SCOPED_TRACE(std::string(first) + std::string(second));
      TTestDocument alone(second, false);
      alone.LayOut(400);
      TTestDocument leading(first, false);
      leading.LayOut(400);
      TTestDocument both(std::string(first) + second, false);
      both.LayOut(400);
      const int shift = static_cast<int>(std::string(first).size());
      const std::vector<TSection*> expected = alone.Sections();
      const std::vector<TSection*> got = both.Sections();
      const std::size_t skip = leading.Sections().size();
      ASSERT_EQ(got.size(), skip + expected.size());
      for (std::size_t s = 0; s < expected.size(); ++s) {
        const TSection& want = *expected[s];
        const TSection& have = *got[skip + s];
        EXPECT_EQ(have.Text(), want.Text()) << s;
        EXPECT_EQ(have.BreakFlags(), want.BreakFlags()) << s;
        ASSERT_EQ(have.SourceIndex().size(), want.SourceIndex().size()) << s;
        for (std::size_t i = 0; i < want.SourceIndex().size(); ++i) {
          EXPECT_EQ(have.SourceIndex()[i].Pos, want.SourceIndex()[i].Pos) << s << " " << i;
          EXPECT_EQ(have.SourceIndex()[i].Index, want.SourceIndex()[i].Index + shift) << s << " " << i;
        }
        ASSERT_EQ(have.Fonts().Count(), want.Fonts().Count()) << s;
        for (int r = 0; r < want.Fonts().Count(); ++r) {
          const TFontObj& a = have.Fonts()[r];
          const TFontObj& b = want.Fonts()[r];
          EXPECT_EQ(a.StartIndex(), b.StartIndex()) << s << " run " << r;
          EXPECT_EQ(a.Font().Height(), b.Font().Height()) << s << " run " << r;
          EXPECT_EQ(a.Font().Style(), b.Font().Style()) << s << " run " << r;
          EXPECT_EQ(a.Font().Color(), b.Font().Color()) << s << " run " << r;
          EXPECT_EQ(a.ScriptShift(), b.ScriptShift()) << s << " run " << r;
          EXPECT_EQ(a.TitleText(), b.TitleText()) << s << " run " << r;
          EXPECT_EQ(a.RunTarget().Url, b.RunTarget().Url) << s << " run " << r;
        }
      }
    }
  }
}

// A section keeps its text and break flags at their size, not in the room they were built in.
TEST(SectionBuild, KeepsItsTextAtItsSize) {
  std::string html = "<p>" + std::string(5000, 'a');
  for (int i = 0; i < 300; ++i) html += " word";
  html += "</p><p>short</p>";
  TTestDocument document(html, false);
  document.LayOut(400);
  const std::vector<TSection*> sections = document.Sections();
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[0]->Text().size(), 5000u + 300u * 5u + 1u);
  EXPECT_LE(sections[0]->Text().capacity(), sections[0]->Text().size() + 8);
  EXPECT_LE(sections[0]->BreakFlags().capacity(), sections[0]->BreakFlags().size() + 16);
  EXPECT_EQ(sections[1]->Text(), u"short ");
  EXPECT_EQ(sections[1]->BreakFlags(), "yyyyyyy");
}

TEST(SectionLayout, BreaksLinesWhereTheyMayBreak) {
  struct TCase {
    const char* Html;
    int ContentWidth;
    std::vector<std::u16string> Lines;
  } const cases[] = {
      {"aaa bbb ccc ddd", 80, {u"aaa bbb", u"ccc ddd"}},
      {"aaa bb cc dd", 80, {u"aaa bb", u"cc dd"}},
      // No break inside a no-break element; the word runs over the band.
      {"<nobr>aaaa bbbb</nobr> cc", 80, {u"aaaa bbbb", u"cc"}},
      // A word longer than the band stays whole.
      {"abcdefghijklmno pq", 80, {u"abcdefghijklmno", u"pq"}},
      // A soft hyphen is a break point.
      {"abcd&shy;efg", 60, {u"abcd", u"efg"}},
      // After "-" and "?", and at explicit break opportunities.
      {"abc-defgh", 60, {u"abc-", u"defgh"}},
      {"abc<wbr>defgh", 60, {u"abc", u"defgh"}},
      // Line breaks end lines.
      {"ab<br>cd", 200, {u"ab", u"cd"}},
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(c.ContentWidth + 2 * kBodyX);
    const std::vector<TSection*> sections = document.Sections();
    std::vector<std::u16string> lines;
    for (const TSection* section : sections)
      for (const std::u16string& line : TTestDocument::LineTexts(*section)) lines.push_back(line);
    EXPECT_EQ(lines, c.Lines) << c.Html;
  }
}

TEST(SectionLayout, SoftHyphenLineDrawsAHyphen) {
  TTestDocument document("abcd&shy;efg");
  document.LayOut(60 + 2 * kBodyX);
  const TSection& section = *document.Sections().at(0);
  ASSERT_EQ(section.Lines().size(), 2u);
  EXPECT_TRUE(section.Lines()[0].Shy);
  EXPECT_FALSE(section.Lines()[1].Shy);
}

TEST(SectionLayout, SurrogatePairsStayWhole) {
  TTestDocument document("&#x1F600;&#x1F601;&#x1F602;");
  document.LayOut(15 + 2 * kBodyX);
  const TSection& section = *document.Sections().at(0);
  ASSERT_EQ(section.Lines().size(), 3u);
  for (const LineRec& line : section.Lines()) {
    EXPECT_TRUE(IsHighSurrogate(section.Text()[static_cast<std::size_t>(line.Start)]));
    EXPECT_GE(line.Ln, 2);
  }
}

TEST(SectionLayout, OverlongWordWidensTheDocument) {
  TTestDocument document("abcdefghijklmno");
  document.LayOut(80 + 2 * kBodyX);
  // The body reports the widest line plus its margins.
  EXPECT_EQ(document.ScrollWidth, 150 + 2 * kBodyX);
}

TEST(SectionLayout, AlignmentAndJustification) {
  TTestDocument document(
      "<p align=center>ab</p><p align=right>ab</p><p align=justify>aaa bb cc dd ee</p><p align=justify>a b</p>");
  document.LayOut(80 + 2 * kBodyX);
  const std::vector<TSection*> sections = document.Sections();
  ASSERT_EQ(sections.size(), 4u);
  // "ab" is 20 wide in an 80-pixel band.
  EXPECT_EQ(sections[0]->Lines()[0].LineIndent, 30);
  EXPECT_EQ(sections[1]->Lines()[0].LineIndent, 60);
  // A justified line spreads the free pixels over its spaces; the last line stays as it is.
  const std::vector<LineRec>& lines = sections[2]->Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Spaces, 1);
  EXPECT_EQ(lines[0].Extra, 20);
  EXPECT_EQ(lines[1].Extra, 0);
  EXPECT_EQ(sections[3]->Lines()[0].Extra, 0);
}

TEST(SectionLayout, LinesAreAsHighAsTheirFonts) {
  TTestDocument document("<p>a<br>b</p><p style=\"line-height: 27px\">c</p><p>x <big>y</big></p>");
  document.LayOut(300);
  const std::vector<TSection*> sections = document.Sections();
  ASSERT_EQ(sections.size(), 4u);
  EXPECT_EQ(sections[0]->Height, kLineHeight);
  EXPECT_EQ(sections[0]->TopY, kBodyY);
  EXPECT_EQ(sections[1]->TopY, kBodyY + kLineHeight);
  // A line height of 27 puts 5 pixels above the text and 5 below.
  EXPECT_EQ(sections[2]->Lines()[0].SpaceBefore, 5);
  EXPECT_EQ(sections[2]->Lines()[0].SpaceAfter, 5);
  EXPECT_EQ(sections[2]->Height, 27);
  // A line with a larger font is as high as that font.
  EXPECT_GT(sections[3]->Lines()[0].LineHt, kLineHeight);
}

TEST(SectionLayout, TextFlowsBesideAFloatUntilItsBottom) {
  TTestDocument document("<img align=left width=30 height=40>aaaa bbbb cccc dddd eeee ffff");
  document.LayOut(100 + 2 * kBodyX);
  const TSection& section = *document.Sections().at(0);
  const std::vector<LineRec>& lines = section.Lines();
  ASSERT_EQ(lines.size(), 5u);
  // The float takes 30 pixels and 3 on each side; the lines beside it start after it.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[static_cast<std::size_t>(i)].LineIndent, 36) << i;
    EXPECT_EQ(lines[static_cast<std::size_t>(i)].Top, kBodyY + i * kLineHeight) << i;
  }
  EXPECT_EQ(lines[3].LineIndent, 0);
  EXPECT_EQ(TTestDocument::LineTexts(section)[3], u"dddd eeee");
  // The section's ink reaches down to the float's bottom when that is lower.
  TTestDocument shortText("<img align=left width=30 height=40>ab");
  shortText.LayOut(200);
  const TSection& beside = *shortText.Sections().at(0);
  EXPECT_EQ(beside.Height, kLineHeight);
  EXPECT_EQ(beside.InkHeight, 40);
  // The document reaches down to the float's bottom.
  EXPECT_EQ(shortText.Height, kBodyY + 40);
}

TEST(SectionLayout, PreformattedLinesKeepSpacesAndHeight) {
  TTestDocument document("<pre>a  b\n\n   c\n</pre>");
  document.LayOut(300);
  const std::vector<TSection*> sections = document.Sections();
  ASSERT_EQ(sections.size(), 3u);  // the line end before </pre> makes no line
  EXPECT_EQ(sections[0]->Text(), u"a  b ");
  EXPECT_EQ(sections[1]->Text(), u" ");
  EXPECT_EQ(sections[2]->Text(), u"   c ");
  // Every line, empty or indented, is one line of the preformatted font.
  const int height = sections[0]->Fonts()[0].TextHeight();
  for (const TSection* section : sections) EXPECT_EQ(section->Height, height);
  // Preformatted text never breaks.
  TTestDocument narrow("<pre>aaaa bbbb cccc</pre>");
  narrow.LayOut(60);
  EXPECT_EQ(narrow.Sections().at(0)->Lines().size(), 1u);
}

TEST(SectionLayout, MinimumAndMaximumWidths) {
  struct TCase {
    const char* Html;
    int Min;
    int Max;
  } const cases[] = {
      {"aa bbbb c", 40, 100},         // widest word; the whole text with its final space
      {"<nobr>aa bb</nobr> c", 50, 80},
      {"ab-cde", 30, 70},             // a word followed by "-" includes it
      {"abcd&shy;efg", 50, 80},       // a word ending at a soft hyphen adds the hyphen
      {"<p style=\"word-wrap: break-word\">abcdef", 10, 70},
      // Words end at spaces, after "-", "?" and soft hyphens (which add a hyphen), and around
      // ideographs, which stand alone.
      {"a", 10, 20},
      {"abcdefgh", 80, 90},
      {"abcdefghi jk", 90, 130},
      {"ab?cd efg", 30, 100},            // "ab?" ends at the "?"
      {"ab-?cd", 30, 70},                // "ab-" and then "?cd"
      {"a&shy;bcdef", 50, 70},           // "a" and its hyphen, then "bcdef"
      {"ab&#x4E00;&#x4E01;cd", 20, 70},  // ideographs stand alone between the words
      {"&#x1F600;ab", 20, 40},           // a pair stands alone, 10 wide, its low half 0
      {"<nobr>ab?cd ef</nobr>", 90, 90},  // no break inside: one word, its final space too
      {"ab <b>cdefg</b>h", 60, 100},     // a word across font runs
  };
  for (const TCase& c : cases) {
    TTestDocument document(c.Html);
    document.LayOut(400);
    int min = 0, max = 0;
    document.Sections().at(0)->GetMinMaxWidth(min, max);
    EXPECT_EQ(min, c.Min) << c.Html;
    EXPECT_EQ(max, c.Max) << c.Html;
  }
}

TEST(SectionPositions, SourceAndDocumentPositionsMapBothWays) {
  TTestDocument document("<p>ab<b>cd</b></p>");
  document.LayOut(300);
  TSection& section = *document.Sections().at(0);
  const int F = section.FirstCharIndex;
  EXPECT_EQ(section.Text(), u"abcd ");
  // "<p>ab<b>cd</b></p>": a at 3, c at 8, the closing space at the "</p>" (14).
  EXPECT_EQ(section.SourcePosOf(F), 3);
  EXPECT_EQ(section.SourcePosOf(F + 1), 4);
  EXPECT_EQ(section.SourcePosOf(F + 2), 8);
  EXPECT_EQ(section.SourcePosOf(F + 4), 14);
  EXPECT_EQ(section.SourcePosOf(F + 5), -1);
  EXPECT_EQ(section.SourcePosOf(F - 1), -1);  // before the section: no record to read
  struct TCase {
    int Source;
    bool Previous;
    int Index;  // relative to F; -1 for none
  } const cases[] = {
      {3, false, 0}, {8, false, 2}, {9, false, 3}, {5, false, 2}, {5, true, 1}, {0, false, 0},
      {0, true, -1}, {100, false, -1}, {100, true, 4},
  };
  for (const TCase& c : cases) {
    const int at = section.DocPosOf(c.Source, c.Previous);
    EXPECT_EQ(at < 0 ? -1 : at - F, c.Index) << c.Source << (c.Previous ? " previous" : "");
  }
}

TEST(SectionHitTests, CharactersUnderPointsAndBack) {
  TTestDocument document("<p>abcd efgh</p>");
  document.LayOut(300);
  document.Paint(300, 100);
  TSection& section = *document.Sections().at(0);
  const int F = section.FirstCharIndex;
  TCharAtPoint at;
  // A character counts once the point is past its middle.
  EXPECT_EQ(section.CharIndexAt(kBodyX + 25, kBodyY + 5, at), F + 2);
  EXPECT_EQ(at.XR, kBodyX + 20);
  EXPECT_EQ(at.YR, kBodyY);
  EXPECT_EQ(at.CaretHeight, kLineHeight);
  EXPECT_EQ(section.CharIndexAt(kBodyX + 26, kBodyY + 5, at), F + 3);
  // Left of the line: its first character, outside the text.
  EXPECT_EQ(section.CharIndexAt(2, kBodyY + 5, at), F);
  EXPECT_FALSE(at.InText);
  EXPECT_EQ(section.CharIndexAt(kBodyX, kBodyY + kLineHeight + 1, at), -1);
  for (int i = 0; i < 9; ++i) {
    int x = 0, y = 0;
    ASSERT_TRUE(section.CharIndexToXY(F + i, x, y));
    EXPECT_EQ(x, kBodyX + i * kPitch);
    EXPECT_EQ(y, kBodyY);
    EXPECT_EQ(section.CharIndexAt(x + 1, y + 1, at), F + i);
  }
  // The caret after the document's last character stands 15 pixels right of it.
  int x = 0, y = 0;
  ASSERT_TRUE(document.Document.CharIndexToXYRoot(document.Document.CharCount, x, y));
  EXPECT_EQ(x, kBodyX + 9 * kPitch + 15);
}

// Lines are broken by the widths of their own fonts, not by the first run's, and an empty preformatted
// line still has a place for the caret.
TEST(SectionLayout, LaterLargerFontsAndEmptyPreformattedLines) {
  TTestDocument document("<p>a <font size=7>bbbbbbbb cccccccc dddddddd</font></p>", false);
  document.LayOut(300);
  const TSection& section = *document.Sections().at(0);
  for (const LineRec& line : section.Lines()) EXPECT_LE(line.LineIndent + line.DrawWidth, 300 - 2 * kBodyX);
  EXPECT_GT(section.Lines().size(), 1u);

  TTestDocument empty("<pre></pre>x");
  empty.LayOut(300);
  empty.Paint(300, 100);
  for (TSection* line : empty.Sections()) {
    int x = -1, y = -1;
    EXPECT_TRUE(line->CharIndexToXY(line->FirstCharIndex, x, y));
    EXPECT_EQ(x, kBodyX);
    EXPECT_EQ(y, line->TopY);
    EXPECT_FALSE(line->CharIndexToXY(line->FirstCharIndex - 1, x, y));
  }
}

// Text that goes on in the font of the run before stays in that run: elements that change nothing, or
// several alike one after the other, add no runs; any difference in look, title, script shift or link
// starts one. What is drawn is the same either way.
TEST(SectionRuns, TextInTheSameLookIsOneRun) {
  std::string many;
  for (int i = 0; i < 2000; ++i) many += "<b>x</b>";
  const struct {
    std::string Html;
    int Runs;
    std::string Alike;  // the same text in as few elements, drawn the same; empty: none
  } cases[] = {
      {"<p><b>x</b><b>y</b><b>z</b>", 1, "<p><b>xyz</b>"},
      {"<p>a<span>b</span>c", 1, "<p>abc"},
      {"<p>a<span style='color:red'>b</span><span style='color:red'>c</span>", 2, "<p>a<span style='color:red'>bc</span>"},
      {"<p>a<b>b</b>c", 3, ""},
      {"<p><i>a</i><b>b</b>", 2, ""},
      {"<p><b title=one>a</b><b title=two>b</b><b title=two>c</b>", 2, ""},
      {"<p>a<sup>b</sup>", 2, ""},
      {"<p><a href=x>a</a><a href=x>b</a>", 2, ""},          // every link keeps runs of its own
      {"<p><a href=x>a</a>b", 2, ""},
      {"<p>" + many, 1, "<p><b>" + std::string(2000, 'x') + "</b>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Html.substr(0, 80));
    TTestDocument document(c.Html, false);
    document.LayOut(300);
    ASSERT_EQ(document.Sections().size(), 1u);
    EXPECT_EQ(document.Sections()[0]->Fonts().Count(), c.Runs);
    if (c.Alike.empty()) continue;
    TTestDocument alike(c.Alike, false);
    EXPECT_EQ(alike.LayOut(300), document.Height);
    EXPECT_EQ(alike.ScrollWidth, document.ScrollWidth);
    EXPECT_TRUE(alike.Paint(300, 200) == document.Paint(300, 200));
  }
}

}  // namespace
}  // namespace corvane
