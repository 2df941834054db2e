#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>
#include <QUrl>

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "html/code_pages.h"
#include "sheets/cell_value.h"
#include "sheets/sheet_table.h"
#include "sheets/csv_writer.h"
#include "sheets/jsonl_writer.h"
#include "sheets/xlsx_workbook.h"
#include "support/run_python.h"
#include "support/temp_dir.h"

namespace corvane {
namespace {

// The cells of a table as "row,column[rows x columns]=text", the text's line breaks as "|".
std::vector<std::string> Cells(const TSheetTable& table) {
  std::vector<std::string> cells;
  for (const TSheetCell& cell : table.Cells) {
    std::string text = QString(cell.Text).replace(u'\n', u'|').toStdString();
    std::string place = std::to_string(cell.Row) + "," + std::to_string(cell.Column);
    if (cell.RowSpan > 1 || cell.ColumnSpan > 1)
      place += "[" + std::to_string(cell.RowSpan) + "x" + std::to_string(cell.ColumnSpan) + "]";
    cells.push_back(place + "=" + text);
  }
  return cells;
}

struct TReadCase {
  std::string Fragment;
  std::vector<std::string> Expected;
  std::string PageCharset = {};
  bool Trim = false;
};

TEST(SheetTable, ReadAsABrowserShowsIt) {
  const TReadCase cases[] = {
      // Cells and rows end where the next begins.
      {"<table><tr><td>a<td>b<tr><td>c</table>", {"0,0=a", "0,1=b", "1,0=c"}},
      {"<table><td>no row<td>x</td></table>", {"0,0=no row", "0,1=x"}},
      // Tags go, references are decoded, white space collapses (a no-break space stays).
      {"<table><tr><td> <b>bold</b>\n  <a href=x>link</a> </td></tr></table>", {"0,0=bold link"}},
      {"<table><tr><td>&amp; &lt;x&gt; Rh&ocirc;ne&#160;!</table>", {"0,0=& <x> Rh\xc3\xb4ne\xc2\xa0!"}},
      {"<table><tr><td>always\navailable</table>", {"0,0=always available"}},
      // Line breaks: BR always, block ends between texts.
      {"<table><tr><td>a<br>b<br><br>c<p>d</p><div>e</div>f</table>", {"0,0=a|b||c|d|e|f"}},
      {"<table><tr><td><p>only</p></table>", {"0,0=only"}},
      // Spans keep the grid.
      {"<table><tr><td rowspan=2>a<td colspan=2>b<tr><td>c<td>d</table>",
       {"0,0[2x1]=a", "0,1[1x2]=b", "1,1=c", "1,2=d"}},
      {"<table><tr><td colspan=0>x<td rowspan=-4>y</table>", {"0,0=x", "0,1=y"}},
      // A column span stops where a row span from above holds a place: cells never overlap.
      {"<table><tr><td>a<td rowspan=2>b<tr><td colspan=3>c<td>d</table>", {"0,0=a", "0,1[2x1]=b", "1,0=c", "1,2=d"}},
      // A legacy code page, from the page's declaration.
      {"<table><tr><td>\xea\xe0\xf4\xe5</table>", {"0,0=\xd0\xba\xd0\xb0\xd1\x84\xd0\xb5"},
       "<meta http-equiv=content-type content='text/html; charset=windows-1251'>"},
      {"<table><tr><td>caf\xe9</table>", {"0,0=caf\xc3\xa9"}, "<meta charset=iso-8859-1>"},
      {"<table><tr><td>\xc7\xd1\xb1\xb9</table>", {"0,0=\xed\x95\x9c\xea\xb5\xad"}, "<meta charset=euc-kr>"},
      // The table's own declaration counts over the page's.
      {"<table><tr><td><meta charset=utf-8>caf\xc3\xa9</table>", {"0,0=caf\xc3\xa9"}, "<meta charset=iso-8859-1>"},
      // Script and style content is not text; a table inside a cell gives its text on lines of its own.
      {"<table><tr><td>a<script>if (x < 2) y();</script><style>p{}</style>b</table>", {"0,0=ab"}},
      {"<table><tr><td>a<script>if (x < 2) y();</script>b</table>", {"0,0=ab"}},
      {"<table><tr><td>a<style>p{}</style>b</table>", {"0,0=ab"}},
      {"<table><tr><td>out<table><tr><td>in</table>after<td>next</table>", {"0,0=out|in|after", "0,1=next"}},
      // Trimming takes no-break spaces and control characters too.
      {"<table><tr><td>&nbsp;x&nbsp;</table>", {"0,0=\xc2\xa0x\xc2\xa0"}},
      {"<table><tr><td>&nbsp;x&nbsp;</table>", {"0,0=x"}, "", true},
  };
  for (const TReadCase& c : cases) {
    const TSheetTable table = ReadSheetTable(c.Fragment, {c.PageCharset, c.Trim});
    EXPECT_EQ(Cells(table), c.Expected) << c.Fragment;
  }
  // A long cell: its runs of white space collapse across the pieces its text is added in.
  std::string words, collapsed;
  for (int k = 0; k < 3000; ++k) {
    words += k % 2 ? "ab \n\t " : "c  ";
    collapsed += k % 2 ? "ab" : "c";
    if (k + 1 < 3000) collapsed += ' ';
  }
  EXPECT_EQ(Cells(ReadSheetTable("<table><tr><td> " + words + "</table>", {})), std::vector<std::string>{"0,0=" + collapsed});
  // Tables of pages that declare different character sets, read in turn: each in its own page's.
  const std::string latin1 = "<meta charset=iso-8859-1>", cyrillic = "<meta charset=windows-1251>";
  for (const std::string* page : {&latin1, &latin1, &cyrillic, &latin1, &cyrillic, &cyrillic}) {
    const TSheetTable table = ReadSheetTable("<table><tr><td>\xe9</table>", {*page, false});
    EXPECT_EQ(Cells(table), std::vector<std::string>{page == &latin1 ? "0,0=\xc3\xa9" : "0,0=\xd0\xb9"}) << *page;
  }
  // A row span ends with the table's rows, so CSV and XLSX give the same rows.
  const TSheetTable spans = ReadSheetTable("<table><tr><td rowspan=3>a<td>b<tr><td>c</table>", {});
  EXPECT_EQ(spans.Rows, 2);
  EXPECT_EQ(spans.Columns, 2);
  const TSheetTable hostile = ReadSheetTable("<table><tr><td colspan=99999999 rowspan=99999999>x<td colspan=9999>y</table>", {});
  EXPECT_EQ(Cells(hostile), (std::vector<std::string>{"0,0[1x1000]=x", "0,1000[1x1000]=y"}));
}

TEST(SheetTable, ReadsWhatBrowsersShowWhereTheMarkupIsOdd) {
  const TReadCase cases[] = {
      // Line breaks of the page are spaces; a PRE keeps its lines and the spaces at its edges, but not
      // the line end right after its start tag nor the one before its end.
      {"<table><tr><td>always\navailable</td></tr></table>", {"0,0=always available"}},
      {"<table><tr><td><a>TVal1</a>\n, <a>TVal2</a></td></tr></table>", {"0,0=TVal1 , TVal2"}},
      {"<table><tr><td><pre>line 1\nline 2</pre></td></tr></table>", {"0,0=line 1|line 2"}},
      {"<table><tr><td><pre>\n  two  spaces &amp;\n\n<b>bold</b> </pre>after</table>", {"0,0=  two  spaces &||bold |after"}},
      {"<table><tr><td><pre>  x  </pre></table>", {"0,0=x"}, "", true},
      // The fragment of an inner table begins with the outer table's row and cell.
      {"<tr><td><table><tr><td>1</td></tr></table>", {"0,0=1"}},
      {"<p>Intro</p><TABLE><tr><td>x</table>", {"0,0=x"}},
      // NUL bytes are dropped; references to NUL and control characters are U+FFFD.
      {std::string("<table><tr><td>a\0b\0\0</td><td>c</table>", 33), {"0,0=ab", "0,1=c"}},
      {"<table><tr><td>&#0;&#1;&#x1F;x&#10;y</table>", {"0,0=\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdx y"}},
      // A Latin-1 name begins a longer one: it is decoded and the rest stays text.
      {"<table><tr><td>&notit; &copy2024 &ampx &notin; &zzz;</table>",
       {"0,0=\xc2\xacit; \xc2\xa9" "2024 &x \xe2\x88\x89 &zzz;"}},
      // A comment still open at the end runs to the fragment's end; it fails nothing.
      {"<table><tr><td>a<!-- x</td></tr></table>", {"0,0=a"}},
      {"<table><tr><td>a<td>b<!DOCTYPE x", {"0,0=a", "0,1=b"}},
      {"<table><tr><td>caf\xc3\xa9</table>", {"0,0=caf\xc3\xa9"}, "<meta charset=utf-8><meta <!-- charset=x>"},
      // ROWSPAN=0 spans to the end of its row group; any span ends there at the latest.
      {"<table><thead><tr><th rowspan=0>h<th>a<tr><td>b</thead><tbody><tr><td>c<td>d</table>",
       {"0,0[2x1]=h", "0,1=a", "1,1=b", "2,0=c", "2,1=d"}},
      {"<table><tr><td rowspan=0>a<td>b<tr><td>c<tr><td>d</table>", {"0,0[3x1]=a", "0,1=b", "1,1=c", "2,1=d"}},
      {"<table><tbody><tr><td rowspan=3>a<td>b</tbody><tbody><tr><td>c</table>", {"0,0=a", "0,1=b", "1,0=c"}},
      {"<table><tr><td rowspan=x>a<tr><td>b</table>", {"0,0=a", "1,0=b"}},
  };
  for (const TReadCase& c : cases) {
    const TSheetTable table = ReadSheetTable(c.Fragment, {c.PageCharset, c.Trim});
    EXPECT_EQ(Cells(table), c.Expected) << c.Fragment;
  }
}

// A cell's text as the code page's own conversion reads it, its white space collapsed: runs of blanks
// one space, none at the ends.
QString ConvertedAndCollapsed(const std::string& bytes, int codePage) {
  TCodePageConverter converter;
  QString text;
  bool space = false;
  for (const QChar c : converter.ToUtf16(bytes, codePage)) {
    if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
      space = true;
      continue;
    }
    if (space && !text.isEmpty()) text += u' ';
    space = false;
    text += c;
  }
  return text;
}

// Plain ASCII text of a code page that keeps ASCII is widened and collapsed in one pass, many bytes at a
// time, and any other byte is converted: a cell reads as the conversion of its bytes, collapsed, with
// a run of plain characters of every length around a blank or another byte at every place, after
// text ending in a space or not, before a line break or not. Code pages that do not keep ASCII (a trail byte or "~" reads as
// another character) are converted whole.
TEST(SheetTable, PlainTextReadsAsItsConversionAtEveryLengthAndPlace) {
  struct TCase {
    std::string Charset;
    int CodePage;
    std::vector<std::string> Units;  // what stands somewhere in the run: blanks and other bytes
  } const cases[] = {
      {"utf-8", kCodePageUtf8, {" ", "\t", "\n \r\n ", " \f", "\f ", "\x1F", "\xC3\xA9", "\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3", "\x80 \xE2\x82"}},
      {"windows-1252", kCodePageWindows1252, {" ", "\xE9", "\x80\x9F \xFF"}},
      {"windows-1251", 1251, {"\xC1\xD2", " \xFF"}},
      {"iso-8859-2", kCodePageIso8859_2, {"\xB1", "\xA0 \xFF"}},
      {"shift_jis", kCodePageShiftJis, {" ", "\x83\x41", "\x83\x65\x81\x40"}},
  };
  // Printable ASCII from its first to its last, "~" and "\" included, "<" and "&" left out.
  const std::string letters = "!aZ~0\\9z.A#'*x)}?=y/{%+_|";
  const std::string befores[][2] = {{"", ""}, {"x <i></i>", "x "}, {"x<i></i>", "x"}, {"<i></i> ", " "}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Charset);
    for (std::size_t length = 0; length <= 40; ++length) {
      std::string run;
      for (std::size_t k = 0; k < length; ++k) run += letters[k % letters.size()];
      for (const std::string& unit : c.Units) {
        for (std::size_t at = 0; at <= length; ++at) {
          const std::string text = run.substr(0, at) + unit + run.substr(at);
          for (const auto& [markup, before] : befores) {
            const QString expected = ConvertedAndCollapsed(before + text, c.CodePage);
            // Then a line break, which keeps the end of the line as it is.
            for (const bool lineBreak : {false, true}) {
              const std::string fragment =
                  "<table><tr><td>" + markup + text + (lineBreak ? "<br>z" : "") + "</td></tr></table>";
              const TSheetTable table = ReadSheetTable(fragment, {"<meta charset=" + c.Charset + ">", false});
              ASSERT_EQ(table.Cells.size(), 1u) << fragment;
              ASSERT_EQ(table.Cells[0].Text, !lineBreak ? expected : expected.isEmpty() ? "z" : expected + "\nz")
                  << fragment;
            }
          }
        }
      }
    }
  }
}

// Text goes from the reader into the cell a run of bytes at a time, and a long run is converted in
// pieces: whatever stands where a run or a piece ends reads as it would anywhere else.
TEST(SheetTable, TextAtTheEndsOfItsRunsAndPiecesReadsAsAnywhereElse) {
  struct TCase {
    std::string Unit;      // the bytes at the edge, followed by " end"
    std::string Expected;  // what they and " end" read as, line breaks as "|"
    std::string Charset = {};
  } const cases[] = {
      {"&amp;", "& end"},
      {"&eacute;t&#233;&#x1F600;", "\xC3\xA9t\xC3\xA9\xF0\x9F\x98\x80 end"},
      {"&notit;&amp", "\xC2\xACit;& end"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 end", "<meta charset=utf-8>"},
      // Bytes that are no UTF-8 read as Windows-1252, one character each.
      {"\xE2\x82z\xF0\x9F", "\xC3\xA2\xE2\x80\x9Az\xC3\xB0\xC5\xB8 end", "<meta charset=utf-8>"},
      {"\xEA\xE0\xF4\xE5 \x96", "\xD0\xBA\xD0\xB0\xD1\x84\xD0\xB5 \xE2\x80\x93 end", "<meta charset=windows-1251>"},
      // Shift_JIS: a trail byte may be an ASCII letter.
      {"\x83\x41\x83\x65" "A", "\xE3\x82\xA2\xE3\x83\x86" "A end", "<meta charset=shift_jis>"},
      {" \n\t \r\n  x", " x end"},
      {"\f&#9;&#10; x", " x end"},
      {"&nbsp; &nbsp;", "\xC2\xA0 \xC2\xA0 end"},
      {"a < b", "a < b end"},
      {" <br> \n ", "|end"},
      {"<pre>\n  p  q\n r</pre>", "|  p  q| r|end"},
      {"<!-- a comment -->y", "y end"},
  };
  // Where the unit stands: around the reader's runs of plain bytes (4,096 bytes each) and the first
  // piece a long text is converted in (65,536 bytes).
  const std::size_t lengths[] = {1, 4079, 4080, 4081, 4083, 65517, 65520, 65521, 65522, 65535, 65536, 65537, 131100};
  const std::string kStart = "<table><tr><td>";
  for (const TCase& c : cases) {
    for (const std::size_t length : lengths) {
      // Words ending in "x" (the cell's start then "x" alone).
      std::string filler;
      while (filler.size() + 1 < length) filler += "abc ";
      filler.resize(length - 1);
      filler += 'x';
      const std::string fragment = kStart + filler + c.Unit + " end<td>next</table>";
      const TSheetTable table = ReadSheetTable(fragment, {c.Charset, false});
      const std::vector<std::string> expected = {"0,0=" + filler + c.Expected, "0,1=next"};
      // Compared whole rather than with EXPECT_EQ, whose message would print the long text.
      EXPECT_TRUE(Cells(table) == expected) << c.Unit << " after " << length << " bytes";
    }
  }
}

TEST(SheetTable, WhatATableLosesToFitASheetIsCountedAndSaid) {
  std::string wide = "<table><tr>";
  for (int k = 0; k < kMaxColumns + 6; ++k) wide += "<td>x";
  const TSheetTable past = ReadSheetTable(wide, {});
  EXPECT_EQ(past.Columns, kMaxColumns);
  EXPECT_EQ(past.Cuts.CellsPastLastColumn, 6);
  EXPECT_EQ(DescribeCuts(past.Cuts, "a.html, table 2"),
            std::vector<std::string>{"a.html, table 2: 6 cells past column 16384 left out"});

  // 16384 columns take the budget of places in 3051 rows: the rest of the table is left out.
  std::string huge = "<table><tr>";
  for (int k = 0; k < 17; ++k) huge += "<td colspan=1000>w";
  for (int row = 1; row < 4000; ++row) huge += "<tr><td>" + std::to_string(row);
  const TSheetTable cut = ReadSheetTable(huge, {});
  EXPECT_EQ(cut.Rows, 3051);
  EXPECT_EQ(static_cast<long long>(cut.Rows) * cut.Columns <= kMaxTablePlaces, true);
  EXPECT_EQ(cut.Cells.back().Text, "3050");
  EXPECT_EQ(DescribeCuts(cut.Cuts, "b.html, table 1"),
            std::vector<std::string>{"b.html, table 1: left out from row 3052 on, where its grid would pass 50000000 places"});

  // XLSX cells hold 32,767 characters.
  TSheetTable longText = ReadSheetTable("<table><tr><td>" + std::string(40000, 'x') + "<td>" + std::string(32768, 'y') + "</table>", {});
  TSheetCuts cuts;
  MakeXlsxSheets(longText, kSheetRows, &cuts);
  EXPECT_EQ(DescribeCuts(cuts, "c.html, table 3"),
            std::vector<std::string>{"c.html, table 3: 2 cells cut to 32767 characters, 7234 characters left out"});
  TSheetCuts streamedCuts;
  MakeXlsxSheetsFrom("<table><tr><td>" + std::string(40000, 'x'), {}, kSheetRows, &streamedCuts);
  EXPECT_EQ(streamedCuts.CharactersLeftOut, 7233);
  EXPECT_TRUE(DescribeCuts(ReadSheetTable("<table><tr><td>x</table>", {}).Cuts, "d").empty());
}

TEST(SheetTable, ACellThatIsOneLinkGetsItsAbsoluteAddress) {
  const std::pair<std::string, std::string> cases[] = {
      {"<td><a href=a.html>A</a>", "http://h.org/d/a.html"},
      {"<td> <a href=' /x?a=1&amp;b=2 '><b>bold</b> words</a> ", "http://h.org/x?a=1&b=2"},
      {"<td><a href=\"sp ace.html\">s</a>", "http://h.org/d/sp%20ace.html"},
      {"<td><a href=\"https://other.org/\">o</a>", "https://other.org/"},
      {"<td><a href=mailto:m@h.org>m</a>", "mailto:m@h.org"},
      {"<td><a href=#top>t</a>", "http://h.org/d/p.html#top"},
      {"<td><a name=n>anchor</a><a href=b>b</a>", ""},  // text outside the link
      {"<td>see <a href=a>a</a>", ""},
      {"<td><a href=a>a</a> <a href=b>b</a>", ""},  // two links
      {"<td><a href=\"javascript:go()\">js</a>", ""},
      {"<td><a href=\"data:text/plain,x\">d</a>", ""},
      {"<td><a href=a.html><img src=i.png></a>", ""},  // no text
      {"<td><a href=a>open<td>next", "http://h.org/d/a"},
      // No-break spaces beside the link are no text of the cell's own; a reference or "<" is.
      {"<td>&nbsp;<a href=a>A</a>&nbsp; &#160;", "http://h.org/d/a"},
      {"<td>&amp;<a href=a>A</a>", ""},
      {"<td><a href=a>A</a> < ", ""},
      {"<td><a href=a>A</a>\xC3\xA9", ""},
  };
  for (const auto& [cell, link] : cases) {
    const TSheetTable table = ReadSheetTable("<table><tr>" + cell + "</table>", {{}, false, "http://h.org/d/p.html"});
    ASSERT_FALSE(table.Cells.empty()) << cell;
    EXPECT_EQ(table.Cells[0].Link.toStdString(), link) << cell;
    for (std::size_t k = 1; k < table.Cells.size(); ++k) EXPECT_TRUE(table.Cells[k].Link.isEmpty()) << cell;
    // Without an address to resolve against, links are not read.
    EXPECT_TRUE(ReadSheetTable("<table><tr>" + cell + "</table>", {}).Cells[0].Link.isEmpty()) << cell;
  }
}

TEST(SheetTable, PlainLinksResolveAsAnyOther) {
  // Plain addresses are resolved without parsing them: they must come out as parsed ones do.
  const char* bases[] = {"http://h.org/d/p.html?q=1#f", "http://h.org", "file:///pages/sub/p%20q.html", "https://h.org/d/"};
  const char* hrefs[] = {"item.html?id=3", "a/b:c", "x:y", "HTTP://H.ORG/A", "http://h.org", "http://h.org?x", "http://h.org/A/b#c",
                         "https://h.org:443/", "http://u@h.org/", "ftp://f.org/x", "a/./b", "a/../b", "..", "../x", "/abs",
                         "?q", "#f", "//other.org/p", "a b", "a%20b", "caf\xc3\xa9", "a'b", "a[1]", "mailto:m@h.org", "",
                         "x/.y", "x./y", "a/..", "a/.", "./a", ".a/b", "a.b/c.", "a//b", "%41%2f", "a?b/../c", "a#/./b",
                         "HTTP://h.org/x", "http://h.org:/x", "http:x", "http://-.org/", "http://a-.org/", "http://a..b/",
                         "http://h.org./", "http://.h.org/", "http://xn--h.org/", "http://xn--bcher-kva.de/", "http://1.2/",
                         "http://0x10/x", "http://1.2.3.4/", "http://999/", "http://a.1/", "http://h.o-rg/",
                         "a/.b", "a./", "x..y/z", "a.-/b", "/.", "./", ".", "...", "a/b.c/d.e", "http://h.org/a/../b",
                         "http://h.org/a/./b", "http://h.org/.", "http://h.org/a b", "http://h.org/caf\xc3\xa9", "https://h.org/x?z=/./",
                         "http://h.org/%7e", "http://h.org/a\\b", "ftp://f.org/a.b/c", "http://h.org/..x/y."};
  for (const char* base : bases) {
    for (const char* href : hrefs) {
      const QUrl url = QUrl(QString::fromUtf8(base)).resolved(QUrl(QString::fromUtf8(href)));
      const bool kept = QStringList{"http", "https", "ftp", "mailto", "file"}.contains(url.scheme());
      const TSheetTable table =
          ReadSheetTable("<table><tr><td><a href=\"" + std::string(href) + "\">x</a></table>", {{}, false, base});
      EXPECT_EQ(table.Cells[0].Link.toStdString(), kept ? url.toString(QUrl::FullyEncoded).toStdString() : "")
          << base << " " << href;
    }
  }
}

TEST(SheetTable, AnAsAttributesPassedOverUnreadLeaveTheTextAsItIs) {
  // Without a base an A's attributes are not read: quoted "<" and ">" in them still end no tag.
  const std::pair<const char*, const char*> cases[] = {
      {"<td><a href=\"a>b\">t</a>u", "tu"},
      {"<td><a title='x\"y>' href=z>t</a>", "t"},
      {"<td><a\nhref\n=\n\"q<r\"\n>t</a><td>v", "t"},
      {"<td>s<a href=`a`>t</a>", "st"},
      {"<td><a href=\"a\"b=\"c>\">t</a>", "t"},
  };
  for (const auto& [cell, text] : cases) {
    const TSheetTable plain = ReadSheetTable("<table><tr>" + std::string(cell) + "</table>", {});
    const TSheetTable linked = ReadSheetTable("<table><tr>" + std::string(cell) + "</table>", {{}, false, "http://h.org/"});
    ASSERT_FALSE(plain.Cells.empty()) << cell;
    EXPECT_EQ(plain.Cells[0].Text.toStdString(), text) << cell;
    ASSERT_EQ(linked.Cells.size(), plain.Cells.size()) << cell;
    for (std::size_t k = 0; k < plain.Cells.size(); ++k) EXPECT_EQ(linked.Cells[k].Text, plain.Cells[k].Text) << cell;
  }
}

TEST(SheetTable, EachTableResolvesAgainstItsOwnBase) {
  // Tables read one after another, on one thread and on several, each with the base it was given, a
  // base met before or none.
  const std::pair<const char*, const char*> cases[] = {
      {"http://h.org/d/p.html", "http://h.org/d/x/y.html"}, {"https://o.org/", "https://o.org/x/y.html"},
      {"http://h.org/d/p.html", "http://h.org/d/x/y.html"}, {"", ""},
      {"file:///pages/sub/p%20q.html", "file:///pages/sub/x/y.html"}, {"http://h.org", "http://h.org/x/y.html"},
      {"", ""}, {"https://o.org/", "https://o.org/x/y.html"},
  };
  const auto readAll = [&cases] {
    std::string links;
    for (const auto& [base, link] : cases)
      links += ReadSheetTable("<table><tr><td><a href=x/y.html>x</a></table>", {{}, false, base}).Cells[0].Link.toStdString() + "\n";
    return links;
  };
  std::string expected;
  for (const auto& [base, link] : cases) expected += std::string(link) + "\n";
  EXPECT_EQ(readAll(), expected);
  std::vector<std::string> found(4);
  std::vector<std::thread> threads;
  for (std::string& links : found) threads.emplace_back([&links, &readAll] { links = readAll() + readAll(); });
  for (std::thread& thread : threads) thread.join();
  for (const std::string& links : found) EXPECT_EQ(links, expected + expected);
}

TEST(SheetTable, LinksResolveAgainstThePagesBaseOrItsFile) {
  const std::pair<std::string, std::string> cases[] = {
      {"<html><head><title>t</title>", "file:///pages/sub/p%20q.html"},
      {"<BASE HREF=\"http://h.org/a/b/\">", "http://h.org/a/b/"},
      {"<base target=_top><base href='../up/'>", "file:///pages/up/"},
      {"<basefont size=3><base\nhref=\"https://h.org/x?y=1&amp;z=2\">", "https://h.org/x?y=1&z=2"},
      {"<table><tr><td>x</table><base href=http://late.org/>", "file:///pages/sub/p%20q.html"},
      {"<base href=http://cut.org/", "file:///pages/sub/p%20q.html"},
  };
  for (const auto& [head, base] : cases) EXPECT_EQ(PageBaseAddress("/pages/sub/p q.html", head), base) << head;
  EXPECT_EQ(PageBaseAddress("rel.html", ""), QUrl::fromLocalFile(QDir::current().absoluteFilePath("rel.html")).toString().toStdString());
}

TEST(CellValue, NumbersOnlyWhenTheyReadBackAsWritten) {
  const std::pair<const char*, std::optional<double>> cases[] = {
      {"12", 12}, {"-3.5", -3.5}, {"0", 0}, {"0.05", 0.05}, {"123456789012345", 123456789012345.0},
      {"0.000000000000001", 1e-15}, {"002", {}}, {"1,000", {}}, {"1.10", {}}, {"1.", {}}, {".5", {}}, {"(3)", {}},
      {"=1+1", {}}, {"1:15", {}}, {"-0", {}}, {"1e5", {}}, {"+5", {}}, {"1234567890123456", {}}, {"12 ", {}},
      {"", {}}, {"-", {}}, {"\xd9\xa1", {}},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(PlainNumber(QString::fromUtf8(text)), number) << text;
}

TEST(CellValue, LocaleNumbersFollowThePagesLanguageAndKeepTheirLook) {
  struct TCase {
    const char* text;
    const char* language;
    std::optional<double> value;  // none: the text stays text
    const char* format;
  };
  const TCase cases[] = {
      {"1,204", "en", 1204, "#,##0"}, {"1,204", "de", 1.204, "0.000"}, {"1.234", "en", 1.234, "General"},
      {"1.234", "de-AT", 1234, "#,##0"}, {"1.234,5", "de", 1234.5, "#,##0.0"}, {"1.234,5", "en", {}, ""},
      {"12%", "en", 0.12, "0%"}, {"12,5%", "it", 0.125, "0.0%"}, {"-33.3%", "en", -0.333, "0.0%"},
      {"(12)", "en", -12, "0;(0)"}, {"(1,234.56)", "en-GB", -1234.56, "#,##0.00;(#,##0.00)"},
      {"1.50", "en", 1.5, "0.00"}, {"1,50", "pt-BR", 1.5, "0.00"}, {"1,234,567.125", "en", 1234567.125, "#,##0.000"},
      {"1 234,5", "fr", 1234.5, "#,##0.0"}, {"1\u00a0234", "ru", 1234, "#,##0"}, {"12\u202f345,67", "fr-CA", 12345.67, "#,##0.00"},
      {"1 234", "en", {}, ""}, {"1.234", "sv", 1.234, "General"}, {"1'234.5", "de-CH", 1234.5, "#,##0.0"},
      {"1.234,5", "de-CH", {}, ""}, {"1,234.5", "es-MX", 1234.5, "#,##0.0"}, {"1.234,5", "es", 1234.5, "#,##0.0"},
      {"1.5", "de", 1.5, "General"}, {"12", "de", 12, "General"}, {"-3,25", "nl", -3.25, "0.00"},
      {"0,5", "da", 0.5, "0.0"}, {"1,204", "xx", 1204, "#,##0"}, {"1,204", "", 1204, "#,##0"},
      // Codes, dates, times, formulas, phone numbers and forms no fixed format shows stay text.
      {"002", "en", {}, ""}, {"002,5", "de", {}, ""}, {"12.03.2024", "de", {}, ""}, {"12/03/2024", "en", {}, ""},
      {"12:30", "en", {}, ""}, {"=1+1", "en", {}, ""}, {"555-1234", "en", {}, ""}, {"+1 555 1234", "fr", {}, ""},
      {"(555) 123-4567", "en", {}, ""}, {"1,20,000", "en", {}, ""}, {"12,34", "en", {}, ""}, {"1.2345", "en-US", 1.2345, "General"},
      {"1,2345", "de", {}, ""}, {"1,234.", "en", {}, ""}, {",5", "de", {}, ""}, {"-0", "en", {}, ""}, {"(0)", "en", {}, ""},
      {"-0,00", "de", {}, ""}, {"(12%)", "en", {}, ""}, {"12 %", "fr", {}, ""}, {"1e5", "en", {}, ""}, {"A123", "en", {}, ""},
      {"12,345,678,901,234.56", "en", {}, ""}, {"1,234,567,890,123", "en", 1234567890123, "#,##0"}, {"--1", "en", {}, ""},
      {"", "en", {}, ""}, {"%", "en", {}, ""}, {"()", "en", {}, ""},
  };
  for (const TCase& c : cases) {
    const std::optional<TCellNumber> number = CellNumber(QString::fromUtf8(c.text), NumberReadingOf(c.language));
    EXPECT_EQ(number.has_value(), c.value.has_value()) << c.text << " " << c.language;
    if (!number || !c.value) continue;
    EXPECT_DOUBLE_EQ(number->Value, *c.value) << c.text << " " << c.language;
    EXPECT_EQ(NumberFormatCode(number->FormatId), c.format) << c.text << " " << c.language;
  }
  // Without locale only plain numbers are numbers, whatever the language.
  EXPECT_FALSE(CellNumber("1,204", {}));
  EXPECT_EQ(CellNumber("-3.5", {})->Value, -3.5);
  EXPECT_EQ(CellNumber("-3.5", {})->FormatId, 0);
}

TEST(CellValue, ThePagesLanguageIsItsHtmlLang) {
  const std::pair<const char*, const char*> cases[] = {
      {"<!DOCTYPE html><html lang=\"de-DE\"><head>", "de-DE"},
      {"<HTML class=x LANG='fr'>", "fr"},
      {"<html dir=ltr lang=nl>", "nl"},
      {"<html lang = \" pt-BR \">", "pt-BR"},
      {"<!-- <html lang=en> --><html lang=it>", "it"},
      {"<html xml:lang=en>", ""},
      {"<htmlx lang=en><html>", ""},
      {"<body lang=de>", ""},
      {"<html lang=\"de", ""},
      {"", ""},
  };
  for (const auto& [head, language] : cases) EXPECT_EQ(PageLanguage(head), language) << head;

  const char* saved[3];
  const char* names[3] = {"LC_ALL", "LC_NUMERIC", "LANG"};
  std::string copies[3];
  for (int k = 0; k < 3; ++k) {
    saved[k] = std::getenv(names[k]);
    if (saved[k]) copies[k] = saved[k];
  }
  setenv("LC_ALL", "", 1);
  setenv("LC_NUMERIC", "sv_SE.UTF-8", 1);
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(UserNumbersLanguage(), "sv_SE.UTF-8");
  EXPECT_EQ(NumberReadingOf(UserNumbersLanguage()).Group, u' ');
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(UserNumbersLanguage(), "");
  EXPECT_EQ(NumberReadingOf(UserNumbersLanguage()).Decimal, u'.');
  for (int k = 0; k < 3; ++k) {
    if (saved[k]) setenv(names[k], copies[k].c_str(), 1);
    else unsetenv(names[k]);
  }
}

TEST(SheetWriters, CsvQuotesOnlyWhatNeedsItAndKeepsTheGrid) {
  const TSheetTable table = ReadSheetTable(
      "<table><tr><td colspan=2>a, b<td>say \"hi\"<tr><td>x<br>y<td>\t<td>3</table>", {});
  std::string csv;
  AppendCsvTable(table, csv);
  EXPECT_EQ(csv, "\"a, b\",,\"say \"\"hi\"\"\"\r\n\"x\ny\",,3\r\n");
}

TEST(SheetWriters, LinksAddAColumnOfAddressesAfterEachColumnOfLinks) {
  const TSheetReading reading{{}, false, "http://h.org/"};
  const std::pair<std::string, std::string> cases[] = {
      {"<tr><th>Name<th>Site<th>Note<tr><td><a href=a>A</a><td>x<td><a href=n>n</a><tr><td>B<td>y<td>z",
       "Name,Name (link),Site,Note,Note (link)\r\nA,http://h.org/a,x,n,http://h.org/n\r\nB,,y,z,\r\n"},
      // No header row: the first row holds addresses too.
      {"<tr><td>x<td><a href=a>A</a><tr><td colspan=2><a href=b>B</a>",
       "x,,A,http://h.org/a\r\nB,http://h.org/b,,\r\n"},
      {"<tr><td>no<td>links", "no,links\r\n"},
  };
  for (const auto& [rows, expected] : cases) {
    const std::string fragment = "<table>" + rows + "</table>";
    std::string csv, streamed, json;
    AppendCsvTable(ReadSheetTable(fragment, reading), csv, true);
    WriteCsvTableFrom(fragment, reading, [&](std::string_view piece) { streamed.append(piece); }, nullptr, true);
    EXPECT_EQ(csv, expected) << rows;
    EXPECT_EQ(streamed, expected) << rows;
  }
  std::string json, streamedJson;
  const std::string fragment = "<table>" + cases[0].first + "</table>";
  AppendJsonRows(ReadSheetTable(fragment, reading), json, true);
  WriteJsonRowsFrom(fragment, reading, [&](std::string_view piece) { streamedJson.append(piece); }, nullptr, true);
  EXPECT_EQ(json, "[[\"Name\",\"Name (link)\",\"Site\",\"Note\",\"Note (link)\"],"
                  "[\"A\",\"http://h.org/a\",\"x\",\"n\",\"http://h.org/n\"],[\"B\",\"\",\"y\",\"z\",\"\"]]");
  EXPECT_EQ(streamedJson, json);
  // Without the option the links add nothing.
  std::string plain;
  AppendCsvTable(ReadSheetTable(fragment, reading), plain);
  EXPECT_EQ(plain, "Name,Site,Note\r\nA,x,n\r\nB,y,z\r\n");
}

using test::RunPython;

const TSheetTable& RoundTripTable() {
  static const TSheetTable table = ReadSheetTable(
      "<table><tr><th>Name<th>Qty<th>Code"
      "<tr><td>say \"hi\"\t<td>12<td>002"
      "<tr><td rowspan=2>two<br>lines<td>-3.5<td>=1+1"
      "<tr><td>1:15<td>(3)"
      "<tr><td colspan=3>Rh&ocirc;ne &amp; co</table>",
      {});
  return table;
}

TEST(SheetWriters, CsvReadsBackCellForCell) {
  test::TTempDir dir;
  std::string csv(kCsvByteOrderMark);
  AppendCsvTable(RoundTripTable(), csv);
  const std::string path = dir.Write("t.csv", csv);
  const std::string read = RunPython(
      "import csv, sys\n"
      "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
      "    for row in csv.reader(f): print(repr(row))\n",
      path);
  EXPECT_EQ(read,
            "['Name', 'Qty', 'Code']\n"
            "['say \"hi\"', '12', '002']\n"
            "['two\\nlines', '-3.5', '=1+1']\n"
            "['', '1:15', '(3)']\n"
            "['Rhône & co', '', '']\n");
}

TEST(SheetWriters, JsonStringsAreAlwaysValidUtf8Json) {
  const std::pair<QString, std::string> cases[] = {
      {u"plain"_qs, "\"plain\""},
      {u"say \"hi\" \\ /"_qs, "\"say \\\"hi\\\" \\\\ /\""},
      {u"a\nb\rc\td"_qs, "\"a\\nb\\rc\\td\""},
      {QString(QChar(0)) + QChar(1) + QChar(0x1F) + QChar(0x7F), "\"\\u0000\\u0001\\u001f\x7f\""},
      {u"Rh\u00f4ne \u20ac \U0001F600"_qs, "\"Rh\xc3\xb4ne \xe2\x82\xac \xf0\x9f\x98\x80\""},
      // Halves of no pair, alone, reversed or at the end.
      {QString(QChar(0xD800)) + "x" + QChar(0xDC00) + QChar(0xDE00) + QChar(0xD83D),
       "\"\xef\xbf\xbdx\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},
      // Long texts go out in pieces of 4,096 units: a pair split by a piece's end stays one character,
      // and escapes and plain runs meet at the ends.
      {QString(4095, u'a') + u"\U0001F600"_qs + QString(4094, u'b') + u"\"\n"_qs,
       "\"" + std::string(4095, 'a') + "\xf0\x9f\x98\x80" + std::string(4094, 'b') + "\\\"\\n\""},
      {QString(4096, QChar(1)) + u"\u00e9"_qs,
       "\"" + [] { std::string s; for (int i = 0; i < 4096; ++i) s += "\\u0001"; return s; }() + "\xc3\xa9\""},
  };
  for (const auto& [text, expected] : cases) {
    std::string out;
    AppendJsonString(text, out);
    EXPECT_EQ(out, expected) << text.toStdString();
  }
}

// Each cell's text is written as it comes: the places no cell starts in (those spans cover, gaps at
// a row's end, rows of nothing but spans) are empty strings, read whole or as read.
TEST(SheetWriters, JsonRowsHoldEveryPlaceOfTheGrid) {
  const std::pair<std::string, std::string> cases[] = {
      {"<table><tr><td rowspan=2>a<td>b<tr><td>c</table>", R"([["a","b"],["","c"]])"},
      {"<table><tr><td colspan=3>a<td>b<tr><td>c</table>", R"([["a","","","b"],["c","","",""]])"},
      {"<table><tr><td>a<td>b<td>c<tr><td colspan=2>d</table>", R"([["a","b","c"],["d","",""]])"},
      {"<table><tr><td rowspan=3>a<tr><tr><td>b</table>", R"([["a",""],["",""],["","b"]])"},
      {"<table><tr><td>a<td rowspan=2>b<td>c<tr><td>d<td>e</table>", R"([["a","b","c"],["d","","e"]])"},
      {"<table><tr><td rowspan=0>a<td>b<tr><td>c</table>", R"([["a","b"],["","c"]])"},
      {"<table><tr><td>a<tr><td>b<td>c</table>", R"([["a",""],["b","c"]])"},
      {"<table><tr><td></table>", R"([[""]])"},
      {"<table><tr></table>", "[]"},
      {"<table></table>", "[]"},
  };
  for (const auto& [fragment, expected] : cases) {
    std::string whole, streamed;
    AppendJsonRows(ReadSheetTable(fragment, {}), whole);
    WriteJsonRowsFrom(fragment, {}, [&](std::string_view piece) { streamed.append(piece); });
    EXPECT_EQ(whole, expected) << fragment;
    EXPECT_EQ(streamed, expected) << fragment;
  }
  // Cells out of grid order are written in it.
  TSheetTable table;
  table.Rows = 3;
  table.Columns = 3;
  for (const auto& [row, column, text] : {std::tuple{1, 2, "f"}, {0, 0, "a"}, {1, 0, "d"}, {0, 1, "b"}}) {
    TSheetCell cell;
    cell.Row = row;
    cell.Column = column;
    cell.Text = QString::fromUtf8(text);
    table.Cells.push_back(cell);
  }
  std::string json;
  AppendJsonRows(table, json);
  EXPECT_EQ(json, R"([["a","b",""],["d","","f"],["","",""]])");
}

TEST(SheetWriters, JsonlLineHoldsTheGridAndReadsBack) {
  std::string line;
  AppendJsonlTable(ReadSheetTable("<table><tr><td colspan=2>a, b<td>say \"hi\"<tr><td>x<br>y<td>\t<td>3</table>", {}),
                   "dir/caf\xe9.html", 7, line);
  EXPECT_EQ(line, "{\"file\":\"dir/caf\xef\xbf\xbd.html\",\"table\":7,\"rows\":[[\"a, b\",\"\",\"say \\\"hi\\\"\"],"
                  "[\"x\\ny\",\"\",\"3\"]]}\n");
  std::string empty;
  AppendJsonlTable(ReadSheetTable("<table></table>", {}), "e", 1, empty);
  EXPECT_EQ(empty, "{\"file\":\"e\",\"table\":1,\"rows\":[]}\n");

  test::TTempDir dir;
  std::string lines;
  AppendJsonlTable(RoundTripTable(), "t.html", 1, lines);
  AppendJsonlTable(ReadSheetTable("<table><tr><td>a&#0;b<td>&#1;<td>\x01</table>", {}), "t.html", 2, lines);
  const std::string read = RunPython(
      "import json, sys\n"
      "for line in open(sys.argv[1], encoding='utf-8', newline=''):\n"
      "    print(repr(json.loads(line)))\n",
      dir.Write("t.jsonl", lines));
  EXPECT_EQ(read,
            "{'file': 't.html', 'table': 1, 'rows': [['Name', 'Qty', 'Code'], ['say \"hi\"', '12', '002'], "
            "['two\\nlines', '-3.5', '=1+1'], ['', '1:15', '(3)'], ['Rhône & co', '', '']]}\n"
            "{'file': 't.html', 'table': 2, 'rows': [['a\ufffdb', '\ufffd', '?']]}\n");
}

TEST(SheetWriters, XlsxReadsBackWithTypesAndMergedCells) {
  test::TTempDir dir;
  const std::string path = (dir.Path() / "t.xlsx").string();
  std::ofstream file(path, std::ios::binary);
  TXlsxWorkbook workbook([&](std::string_view bytes) { file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); });
  workbook.AddTable("Table 1", RoundTripTable());
  workbook.AddTable("Table 1", ReadSheetTable("<table><tr><td>0.05</table>", {}));
  workbook.AddTable("a/b:c*d?e[f]g\\h and a very long name past the limit", ReadSheetTable("<table><tr><td>x</table>", {}));
  workbook.Close();
  file.close();
  const std::string read = RunPython(
      "import openpyxl, re, sys, zipfile\n"
      "book = openpyxl.load_workbook(sys.argv[1])\n"
      "for sheet in book.worksheets:\n"
      "    print(sheet.title, sorted(str(r) for r in sheet.merged_cells.ranges))\n"
      "    for row in sheet.iter_rows():\n"
      "        print([(type(c.value).__name__, c.value) for c in row if c.value is not None])\n",
      path);
  EXPECT_EQ(read,
            "Table 1 ['A3:A4', 'A5:C5']\n"
            "[('str', 'Name'), ('str', 'Qty'), ('str', 'Code')]\n"
            "[('str', 'say \"hi\"'), ('int', 12), ('str', '002')]\n"
            "[('str', 'two\\nlines'), ('float', -3.5), ('str', '=1+1')]\n"
            "[('str', '1:15'), ('str', '(3)')]\n"
            "[('str', 'Rhône & co')]\n"
            "Table 1 (2) []\n"
            "[('float', 0.05)]\n"
            "a_b_c_d_e_f_g_h and a very long []\n"
            "[('str', 'x')]\n");
}

TEST(SheetWriters, XlsxHeaderRowsAreBoldFrozenAndFilteredAndColumnsFitTheirText) {
  // Each table: its sheets' frozen top-left cell, filter, column widths (a run of columns as wide is
  // one entry) and, by row, the bold cells.
  const std::pair<std::string, std::string> cases[] = {
      {"<table><thead><tr><td>Name<td>Qty</thead><tr><td>Bolts<td>12<tr><td>Nuts<td>7</table>",
       "A2 A1:B3 {'A': 9.0, 'B': 8.0} [['Name', 'Qty'], [], []]"},
      // Two header rows, one of them covered by a header's span; the filter on the last.
      {"<table><tr><th rowspan=2>Item<th colspan=2>Price<tr><th>net<th>gross<tr><td>a<td>1<td>2</table>",
       "A3 A2:C3 {'A': 9.0, 'B': 8.0, 'C': 10.0} [['Item', 'Price'], ['net', 'gross'], []]"},
      // A row that is not all headers ends them; a header's span may reach into the data.
      {"<table><tr><th rowspan=2>A<th>B<tr><td>1<tr><td>x<td>y</table>",
       "A2 A1:B3 {'A': 6.0} [['A', 'B'], [], []]"},
      {"<table><tr><th>a<td>b<tr><th>c<td>d</table>", "None None {'A': 3.0} [[], []]"},
      {"<table><tr><td>a<tr><th>b<tr><td>c</table>", "None None {'A': 3.0} [[], [], []]"},
      {"<table><tr><td>a</table><!-- no rows but headers: bold, nothing to freeze or filter -->", "None None {'A': 3.0} [[]]"},
      {"<table><tr><th>a<th>b<tr><th>c</table>", "None None {'A': 6.0} [['a', 'b'], ['c']]"},
      // Widths: the longest line, capped, a wider line wrapped; a spanning cell sets none.
      {"<table><tr><td>one<br>three<td colspan=2>" + std::string(90, 's') + "<tr><td>" + std::string(70, 'w') +
           "<td>\xF0\x9F\x98\x80<td>12345</table>",
       "None None {'A': 62.0, 'B': 3.0, 'C': 7.0} [[], []]"},
  };
  test::TTempDir dir;
  const std::string path = (dir.Path() / "t.xlsx").string();
  std::ofstream file(path, std::ios::binary);
  TXlsxWorkbook workbook([&](std::string_view bytes) { file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); });
  std::string expected;
  for (const auto& [fragment, sheet] : cases) {
    workbook.AddTable("T", ReadSheetTable(fragment, {{}, false}));
    expected += sheet + "\n";
  }
  // A table longer than a sheet has its header rows on the first.
  workbook.AddSheets("Long", MakeXlsxSheets(ReadSheetTable("<table><tr><th>h<tr><td>1<tr><td>2<tr><td>3</table>", {}), 2));
  expected += "A2 A1:A2 {'A': 6.0} [['h'], []]\nNone None {'A': 3.0} [[], []]\n";
  workbook.Close();
  file.close();
  const std::string read = RunPython(
      "import openpyxl, re, sys, zipfile\n"
      "book = openpyxl.load_workbook(sys.argv[1])\n"
      "for sheet in book.worksheets:\n"
      "    print(sheet.freeze_panes, sheet.auto_filter.ref, {k: d.width for k, d in sheet.column_dimensions.items()},\n"
      "          [[c.value for c in row if c.font.b] for row in sheet.iter_rows()])\n"
      "print(re.findall(r'<definedName ([^>]*)>([^<]*)<', zipfile.ZipFile(sys.argv[1]).read('xl/workbook.xml').decode()))\n"
      "print([(c.coordinate, c.alignment.wrap_text) for c in book.worksheets[7]['A1:C2'][0] + book.worksheets[7]['A1:C2'][1]])\n",
      path);
  EXPECT_EQ(read, expected +
                      "[('name=\"_xlnm._FilterDatabase\" localSheetId=\"0\" hidden=\"1\"', '&apos;T&apos;!$A$1:$B$3'), "
                      "('name=\"_xlnm._FilterDatabase\" localSheetId=\"1\" hidden=\"1\"', '&apos;T (2)&apos;!$A$2:$C$3'), "
                      "('name=\"_xlnm._FilterDatabase\" localSheetId=\"2\" hidden=\"1\"', '&apos;T (3)&apos;!$A$1:$B$3'), "
                      "('name=\"_xlnm._FilterDatabase\" localSheetId=\"8\" hidden=\"1\"', '&apos;Long&apos;!$A$1:$A$2')]\n"
                      "[('A1', True), ('B1', True), ('C1', None), ('A2', True), ('B2', None), ('C2', None)]\n");
}

// A workbook of the sheets, named "T", written to t.xlsx in dir; its path.
std::string WriteWorkbook(const test::TTempDir& dir, const std::vector<TXlsxSheet>& sheets) {
  const std::string path = (dir.Path() / "t.xlsx").string();
  std::ofstream file(path, std::ios::binary);
  TXlsxWorkbook workbook([&](std::string_view bytes) { file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); });
  workbook.AddSheets("T", sheets);
  workbook.Close();
  return path;
}

TEST(SheetWriters, XlsxSheetHoldsAsManyHyperlinksAsSpreadsheetsOpen) {
  std::string fragment = "<table>";
  for (std::size_t k = 0; k < kMostSheetLinks + 2; ++k) fragment += "<tr><td><a href=p" + std::to_string(k) + ">l</a>";
  fragment += "</table>";
  const std::vector<TXlsxSheet> sheets = MakeXlsxSheets(ReadSheetTable(fragment, {{}, false, "http://h.org/"}));
  test::TTempDir dir;
  const std::string path = WriteWorkbook(dir, sheets);
  const std::string read = RunPython(
      "import re, sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "sheet = z.read('xl/worksheets/sheet1.xml').decode()\n"
      "rels = z.read('xl/worksheets/_rels/sheet1.xml.rels').decode()\n"
      "print(sheet.count('<hyperlink '), re.findall(r'<hyperlink ref=\"([^\"]*)\" r:id=\"([^\"]*)\"', sheet)[-1])\n"
      "print(rels.count('<Relationship '), re.findall(r'Id=\"([^\"]*)\"[^>]*Target=\"([^\"]*)\"', rels)[-1])\n"
      "print(sheet.count(' s=\"4\"'))\n",
      path);
  EXPECT_EQ(read, "65530 ('A65530', 'rId65530')\n65530 ('rId65530', 'http://h.org/p65529')\n65530\n");
}

TEST(SheetWriters, XlsxHyperlinksToOneAddressShareItsRelationship) {
  const std::vector<TXlsxSheet> sheets = MakeXlsxSheets(ReadSheetTable(
      "<table><tr><td><a href=a>1</a><td><a href=b>2</a><tr><td><a href=a>3</a><td><a href=./a>4</a>"
      "<tr><td><a href='a?x=1&amp;y'>5</a><td><a href=b>6</a></table>",
      {{}, false, "http://h.org/"}));
  test::TTempDir dir;
  const std::string path = WriteWorkbook(dir, sheets);
  const std::string read = RunPython(
      "import openpyxl, re, sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "print(re.findall(r'<hyperlink ref=\"([^\"]*)\" r:id=\"([^\"]*)\"', z.read('xl/worksheets/sheet1.xml').decode()))\n"
      "print(re.findall(r'Id=\"([^\"]*)\"[^>]*Target=\"([^\"]*)\"', z.read('xl/worksheets/_rels/sheet1.xml.rels').decode()))\n"
      "for row in openpyxl.load_workbook(sys.argv[1]).active.iter_rows():\n"
      "    print([(c.value, c.hyperlink.target) for c in row])\n",
      path);
  EXPECT_EQ(read,
            "[('A1', 'rId1'), ('B1', 'rId2'), ('A2', 'rId1'), ('B2', 'rId1'), ('A3', 'rId3'), ('B3', 'rId2')]\n"
            "[('rId1', 'http://h.org/a'), ('rId2', 'http://h.org/b'), ('rId3', 'http://h.org/a?x=1&amp;y')]\n"
            "[(1, 'http://h.org/a'), (2, 'http://h.org/b')]\n"
            "[(3, 'http://h.org/a'), (4, 'http://h.org/a')]\n"
            "[(5, 'http://h.org/a?x=1&y'), (6, 'http://h.org/b')]\n");
}

// The bytes of a workbook's sheets, pinned: their header rows, widths, styles and hyperlinks (and their
// compression) must come out the same however they are made. Each case: a table, then the size and
// CRC-32 of its sheet's XML, then of its relationships' XML, then the compressed sizes of both.
TEST(SheetWriters, XlsxSheetsOfLinksKeepTheirBytes) {
  // A table of addresses, as link cells give them: plain ones, ones parsed, repeated ones, ones refused.
  const char* hrefs[] = {"http://h.org/a", "b.html?x=1&amp;y=\"2\"", "../up", "https://other.org", "a b", "caf\xc3\xa9",
                         "mailto:m@h.org", "javascript:x()", "#top", "http://h.org/a", "HTTP://H.org/", "x/./y",
                         "http://1.2/", "http://-h.org/", "//n.org/p", " s.html "};
  std::string addresses = "<table><thead><tr><th>Address<th>Link<th>Note</thead>";
  for (const char* href : hrefs)
    addresses += std::string("<tr><td>") + href + "<td><a href='" + href + "'>" + href + "</a><td>&lt;" + href + "&gt;";
  addresses += "</table>";
  struct TCase {
    std::string Fragment;
    std::uint64_t SheetSize;
    std::uint32_t SheetCrc;
    std::uint64_t LinksSize;
    std::uint32_t LinksCrc;
    std::size_t SheetDeflated;
    std::size_t LinksDeflated;
  };
  const TCase cases[] = {
      {addresses, 4368, 0xFB6D6079, 2255, 0xD70F65FE, 968, 515},
      {"<table><tr><th>N<th colspan=2>Wide header<tr><th>a<th>b<th>c<tr><td><a href=p.html>1.5</a><td>x<br>y"
       "<td>\xf0\x9f\x98\x80 " + std::string(70, 'w') + "<tr><td rowspan=2><a href=p.html>same</a><td>-3<td>caf\xc3\xa9</table>",
       1369, 0xB496161F, 319, 0x3E5F513C, 535, 321},
      {"<table><tr><td>no<td>links</table>", 467, 0x7D036781, 0, 0, 257, 0},
  };
  for (const TCase& c : cases) {
    const std::vector<TXlsxSheet> sheets =
        MakeXlsxSheets(ReadSheetTable(c.Fragment, {"<meta charset=utf-8>", false, "http://h.org/d/p.html"}));
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].Size, c.SheetSize) << c.Fragment.substr(0, 60);
    EXPECT_EQ(sheets[0].Crc, c.SheetCrc) << c.Fragment.substr(0, 60);
    EXPECT_EQ(sheets[0].HasRelationships, c.LinksSize > 0) << c.Fragment.substr(0, 60);
    EXPECT_EQ(sheets[0].Relationships.Size, c.LinksSize) << c.Fragment.substr(0, 60);
    EXPECT_EQ(sheets[0].Relationships.Crc, c.LinksCrc) << c.Fragment.substr(0, 60);
    EXPECT_EQ(sheets[0].DeflatedHead.size() + sheets[0].Deflated.size(), c.SheetDeflated) << c.Fragment.substr(0, 60);
    EXPECT_EQ(sheets[0].Relationships.Deflated.size(), c.LinksDeflated) << c.Fragment.substr(0, 60);
  }
}

TEST(SheetWriters, XlsxKeepsEveryCharacterWithinTheSheetsLimits) {
  auto cell = [](QString text, int row, int column) {
    TSheetCell made;
    made.Text = std::move(text);
    made.Row = row;
    made.Column = column;
    return made;
  };
  const QString smile = QString::fromUtf8("\xf0\x9f\x98\x80");
  TSheetTable table;
  table.Cells = {cell(" lead", 0, 0), cell(QStringLiteral("trail\t"), 0, 1), cell(QString::fromUtf8("a\x01" "b\rc"), 0, 2),
                 cell("_x0041_ _x12_", 0, 3), cell("<&>\"'", 0, 4), cell(smile + QString::fromUtf8(" \xc3\xa9"), 0, 5),
                 cell(QString(40000, u'x'), 1, 0), cell(QString(32766, u'y') + smile, 1, 1), cell("7", 1000000, 16383),
                 cell("overflow", 1048576, 0)};
  table.Rows = 1048577;
  table.Columns = 16384;
  test::TTempDir dir;
  std::string bytes;
  TXlsxWorkbook workbook([&](std::string_view piece) { bytes.append(piece); });
  workbook.AddTable("T", table);
  workbook.Close();
  const std::string path = dir.Write("t.xlsx", bytes);
  std::string empty;
  TXlsxWorkbook none([&](std::string_view piece) { empty.append(piece); });
  none.Close();
  dir.Write("empty.xlsx", empty);
  // Escapes are read from the sheet's XML (the Python reader leaves them as they are), the rest through
  // the Python reader.
  const std::string read = RunPython(
      "import openpyxl, re, sys, zipfile\n"
      "xml = zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml').decode()\n"
      "for c in re.findall(r'<c r=\"[A-F]1\".*?</c>', xml): print(c)\n"
      "sheet = openpyxl.load_workbook(sys.argv[1]).active\n"
      "print(len(sheet['A2'].value), len(sheet['B2'].value), sheet['XFD1000001'].value, sheet['F1'].value)\n"
      "print(openpyxl.load_workbook(sys.argv[1]).sheetnames, openpyxl.load_workbook(sys.argv[1])['T (2)']['A1'].value)\n"
      "print(openpyxl.load_workbook(sys.argv[1].replace('t.xlsx', 'empty.xlsx')).sheetnames)\n",
      path);
  EXPECT_EQ(read,
            "<c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> lead</t></is></c>\n"
            "<c r=\"B1\" t=\"inlineStr\"><is><t xml:space=\"preserve\">trail\t</t></is></c>\n"
            "<c r=\"C1\" t=\"inlineStr\"><is><t>a_x0001_b_x000D_c</t></is></c>\n"
            "<c r=\"D1\" t=\"inlineStr\"><is><t>_x005F_x0041_ _x12_</t></is></c>\n"
            "<c r=\"E1\" t=\"inlineStr\"><is><t>&lt;&amp;&gt;\"'</t></is></c>\n"
            "<c r=\"F1\" t=\"inlineStr\"><is><t>\xf0\x9f\x98\x80 \xc3\xa9</t></is></c>\n"
            "32767 32766 7 \xf0\x9f\x98\x80 \xc3\xa9\n"
            "['T', 'T (2)'] overflow\n"
            "['Sheet1']\n");
}

TEST(SheetWriters, XlsxTableLongerThanASheetGoesOnOnTheNext) {
  // Two rows a sheet: spans are cut where their sheet ends (the rest of "c" stays empty on the next),
  // and one left with a single place is no merged range.
  const TSheetTable table = ReadSheetTable(
      "<table><tr><td>a<td>b<tr><td rowspan=3>c<td colspan=2>d<tr><td>e<tr><td>f<tr><td>g</table>", {});
  test::TTempDir dir;
  std::string bytes;
  TXlsxWorkbook workbook([&](std::string_view piece) { bytes.append(piece); });
  workbook.AddSheets("T", MakeXlsxSheets(table, 2));
  workbook.Close();
  const std::string read = RunPython(
      "import openpyxl, sys\n"
      "for sheet in openpyxl.load_workbook(sys.argv[1]).worksheets:\n"
      "    print(sheet.title, sheet.dimensions, sorted(str(r) for r in sheet.merged_cells.ranges),\n"
      "          [[c.value for c in row] for row in sheet.iter_rows()])\n",
      dir.Write("t.xlsx", bytes));
  EXPECT_EQ(read,
            "T A1:C2 ['B2:C2'] [['a', 'b', None], ['c', 'd', None]]\n"
            "T (2) B1:B2 [] [[None, 'e'], [None, 'f']]\n"
            "T (3) A1:A1 [] [['g']]\n");
}

TEST(SheetWriters, TablesReadAFewCellsAtATimeGiveTheSameFiles) {
  // Large tables are written as they are read; what they give must not depend on that.
  std::string large = "<table>";
  for (int row = 0; row < 3000; ++row)
    large += "<tr><td>" + std::to_string(row) + (row % 7 == 0 ? "<td colspan=3 rowspan=2>span" : "<td>x") + "<td>&amp;";
  large += "</table>";
  const std::string fragments[] = {
      large,
      "<table><tr><td rowspan=4>a<td>b</table>",
      "<table><tr><td>a<td rowspan=2>b<tr><td colspan=3>c<td>d</table>",
      "<table><tr><td>caf\xe9<tr><tr><td>x<br>y</table>",
      "<table></table>",
  };
  for (const std::string& fragment : fragments) {
    const TSheetReading reading{"<meta charset=iso-8859-1>", false};
    std::string whole, streamed;
    AppendCsvTable(ReadSheetTable(fragment, reading), whole);
    WriteCsvTableFrom(fragment, reading, [&](std::string_view piece) { streamed.append(piece); });
    EXPECT_EQ(streamed, whole) << fragment.substr(0, 80);
    std::string wholeJson, streamedJson;
    AppendJsonRows(ReadSheetTable(fragment, reading), wholeJson);
    WriteJsonRowsFrom(fragment, reading, [&](std::string_view piece) { streamedJson.append(piece); });
    EXPECT_EQ(streamedJson, wholeJson) << fragment.substr(0, 80);
    const std::vector<TXlsxSheet> sheets = MakeXlsxSheets(ReadSheetTable(fragment, reading), 1000);
    const std::vector<TXlsxSheet> streamedSheets = MakeXlsxSheetsFrom(fragment, reading, 1000);
    ASSERT_EQ(streamedSheets.size(), sheets.size()) << fragment.substr(0, 80);
    for (std::size_t k = 0; k < sheets.size(); ++k) {
      EXPECT_EQ(streamedSheets[k].Size, sheets[k].Size);
      EXPECT_EQ(streamedSheets[k].Crc, sheets[k].Crc);
    }
  }
}

// Cells past a million characters are given room for the rest of the table at once; each keeps no more
// than twice its own length of that room, however much of the table comes after it.
TEST(SheetTable, LargeCellsKeepRoomForTheirOwnTextOnly) {
  const std::string first(1500000, 'a'), second(1200000, 'b'), third(3000, 'c');
  const std::string fragment = "<table><tr><td>" + first + "<td>" + second + "<tr><td>" + third +
                               "<td>" + first + "</table>";
  const TSheetTable table = ReadSheetTable(fragment, {});
  ASSERT_EQ(table.Cells.size(), 4u);
  const std::string expected[] = {first, second, third, first};
  for (std::size_t k = 0; k < 4; ++k) {
    const QString& text = table.Cells[k].Text;
    EXPECT_TRUE(text == QString::fromLatin1(expected[k])) << k;
    EXPECT_LE(text.capacity(), 2 * text.size()) << k;
  }
}

// A cell far longer than the pieces its text is read and written in (64 K bytes and characters) reads
// and writes exactly as a short one: multibyte characters, surrogate pairs and quotes are never split.
// Written as it is read, the cell goes out in pieces of about a megabyte, never held whole as text.
TEST(SheetWriters, AHugeCellIsReadAndWrittenWhole) {
  struct TCase {
    std::string Unit;     // the page's bytes, repeated
    QString Text;         // what each unit reads as
    std::string Charset;  // the page's declaration
  } const cases[] = {
      // Nine characters, the first surrogate of a pair the 65,536th.
      {"a\"b,\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 ", QString::fromUtf8("a\"b,\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 "),
       "<meta charset=utf-8>"},
      {"\x83\x65-\x83\x58\x83\x67.", QString::fromUtf8("\xE3\x83\x86-\xE3\x82\xB9\xE3\x83\x88."), "<meta charset=shift_jis>"},
      // Characters only, no byte a piece may end after.
      {"\x83\x65\x83\x58", QString::fromUtf8("\xE3\x83\x86\xE3\x82\xB9"), "<meta charset=shift_jis>"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Charset);
    std::string bytes;
    QString text;
    for (int k = 0; k < 300000; ++k) {
      bytes += c.Unit;
      text += c.Text;
    }
    const std::string fragment = "<table><tr><td>" + bytes + "</td><td>x</td></tr></table>";
    const TSheetReading reading{c.Charset, false};
    const TSheetTable table = ReadSheetTable(fragment, reading);
    ASSERT_EQ(table.Cells.size(), 2u);
    EXPECT_TRUE(table.Cells[0].Text == text.trimmed());
    std::string field = text.trimmed().toUtf8().toStdString();
    const bool quoted = field.find_first_of(",\"") != std::string::npos;
    std::string expected;
    for (const char ch : field) expected += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    if (quoted) expected = "\"" + expected + "\"";
    std::string csv, streamed;
    AppendCsvTable(table, csv);
    std::size_t largest = 0;
    WriteCsvTableFrom(fragment, reading, [&](std::string_view piece) {
      streamed.append(piece);
      largest = std::max(largest, piece.size());
    });
    EXPECT_TRUE(csv == expected + ",x\r\n");
    EXPECT_TRUE(streamed == csv);
    EXPECT_GT(csv.size(), (std::size_t{1} << 20) + 6 * 65536);
    EXPECT_LE(largest, (std::size_t{1} << 20) + 6 * 65536);
  }
}

TEST(SheetWriters, SheetNamesAreValidAndUniqueInAnyCase) {
  TXlsxWorkbook workbook([](std::string_view) {});
  const std::pair<const char*, const char*> cases[] = {
      {"Table 1", "Table 1"}, {"TABLE 1", "TABLE 1 (2)"}, {"table 1", "table 1 (3)"}, {"'quoted'", "_quoted_"},
      {"  ", "Sheet"}, {"tab\there", "tab_here"}, {"a/b:c*d?e[f]g\\h", "a_b_c_d_e_f_g_h"},
      {"1234567890123456789012345678901", "1234567890123456789012345678901"},
      {"1234567890123456789012345678901", "123456789012345678901234567 (2)"},
      {"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9x"
       "\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80",
       "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9x"
       "\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80"},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(workbook.SheetName(name), expected) << name;
    workbook.AddSheet(name, TZipMember{});
  }
}

TEST(ZipWriter, ManyMembersGetZip64RecordsAndReadBack) {
  // More than 65,535 members: the count only fits in the ZIP64 end record.
  test::TTempDir dir;
  std::string bytes;
  TZipWriter zip([&](std::string_view piece) { bytes.append(piece); });
  for (int k = 0; k < 70000; ++k) zip.Add("m/" + std::to_string(k), std::string(static_cast<std::size_t>(k % 7), 'a' + k % 26));
  TZipCompressor big(1 << 20);
  for (int k = 0; k < 300; ++k) big.Add(std::string(10000, static_cast<char>('0' + k % 10)));
  zip.Add("big", big.Finish());
  zip.Finish();
  const std::string path = dir.Write("many.zip", bytes);
  const std::string read = RunPython(
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "print(len(z.namelist()), z.testzip(), z.read('m/69999'), len(z.read('big')), z.read('big')[29995:30005])\n",
      path);
  EXPECT_EQ(read, "70001 None b'hhhhhh' 3000000 b'2222233333'\n");
}

// A member's deflated bytes inflated, as a ZIP reader inflates them: one raw deflate stream, which must
// end exactly where the member's bytes do. "(bad)" for bytes that are no such stream.
std::string Inflated(const TZipMember& member) {
  const std::string deflated = member.DeflatedHead + member.Deflated;
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return "(bad)";
  std::string out;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
  z.avail_in = static_cast<uInt>(deflated.size());
  int result = Z_OK;
  while (result == Z_OK) {
    char piece[1 << 16];
    z.next_out = reinterpret_cast<Bytef*>(piece);
    z.avail_out = sizeof piece;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(piece, sizeof piece - z.avail_out);
  }
  const bool whole = result == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return whole ? out : "(bad)";
}

std::uint32_t Crc(std::string_view bytes) {
  return static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Members are deflated whole when they are held whole, else streamed in pieces, with a head put before
// a streamed member; either way they inflate to their content, whose CRC and size they carry.
TEST(ZipWriter, MembersHeldWholeOrStreamedInflateToTheirContent) {
  std::string xml;
  for (int k = 0; k < 40000; ++k) xml += "<row r=\"" + std::to_string(k) + "\"><c><v>" + std::to_string(k * 7) + "</v></c></row>";
  std::string noise;
  for (std::uint32_t k = 0, x = 1; k < 300000; ++k) noise.push_back(static_cast<char>((x = x * 1103515245 + 12345) >> 24));
  struct TCase {
    const char* Name;
    std::string Head;
    std::string Body;
    bool Streamed;
  };
  const TCase cases[] = {
      {"empty", "", "", false},
      {"one byte", "", "x", false},
      {"xml", "", xml, false},
      {"bytes that do not compress", "", noise, false},
      {"streamed", "", xml, true},
      {"streamed with a head", "<head/>", xml, true},
      {"streamed, empty, with a head", "<head/>", "", true},
  };
  for (const TCase& c : cases) {
    TZipMember member;
    if (c.Streamed) {
      TZipCompressor compressor(c.Body.size());
      for (std::size_t at = 0; at < c.Body.size(); at += 100000) compressor.Add(std::string_view(c.Body).substr(at, 100000));
      member = compressor.Finish();
      if (!c.Head.empty()) PrependToMember(member, c.Head);
    } else {
      member = DeflateWhole(c.Body);
    }
    const std::string content = c.Head + c.Body;
    EXPECT_EQ(member.Size, content.size()) << c.Name;
    EXPECT_EQ(member.Crc, Crc(content)) << c.Name;
    EXPECT_TRUE(Inflated(member) == content) << c.Name;
  }
}

// Records written in fields, each field matched against the same field of the last few records:
// whatever is matched or left as it is, the member inflates to the records' bytes, with their CRC and
// size, and repeats cost far less than their bytes.
TEST(ZipWriter, RecordsInflateToTheirBytesAndRepeatsShrink) {
  std::string noise;
  for (std::uint32_t k = 0, x = 7; k < 40000; ++k) noise.push_back(static_cast<char>((x = x * 1103515245 + 12345) >> 24));
  using TRecords = std::vector<std::pair<std::string, int>>;
  TRecords links = {{"<?xml?><Relationships>", -1}};
  for (int k = 1; k <= 2000; ++k) {
    links.push_back({std::string(k == 1 ? "" : "\"/>") + "<Relationship Id=\"rId" + std::to_string(k), 0});
    links.push_back({"\" Target=\"http://h.org/item?id=" + std::to_string(k * 7919 % 100000), 1});
  }
  links.push_back({"\"/></Relationships>", 0});
  struct TCase {
    const char* Name;
    TRecords Records;
    std::size_t MostDeflated;  // bytes
  };
  const TCase cases[] = {
      {"nothing", {}, 2},
      {"one short field", {{"ab", 0}, {"ab", 0}, {"abc", 0}, {"abd", 0}}, 12},
      // Every byte value as a literal, from 7 to 9 bits each.
      {"bytes of every value", {{noise, -1}}, 45001},
      {"a list of links", links, 2000 * 16},
      // A match longer than deflate's longest goes in pieces, whatever length is left over.
      {"long repeats", {{std::string(1000, 'x') + "1", 0}, {std::string(1000, 'x') + "2", 0}, {std::string(259, 'x'), 0},
                        {std::string(260, 'x'), 0}, {std::string(261, 'x'), 0}, {std::string(517, 'x'), 1}, {std::string(517, 'x'), 1}},
       1001 + 1 + 517 + 64},  // the first of each field as it is, the rest as matches
      // A field too far back (past 32 KB) is not referred to: its repeat is written as it is.
      {"repeats out of reach", {{"far field", 1}, {noise, -1}, {"far field", 1}, {"far field", 1}}, 45000 + 2 * 10 + 4},
      // Fields of different numbers are not matched against each other; the last few of each are.
      {"fields apart", {{"alpha", 0}, {"alpha", 1}, {"beta", 0}, {"gamma", 0}, {"alpha", 0}, {"delta", 0}, {"eps", 0},
                        {"zeta", 0}, {"alpha", 0}}, 40},
  };
  for (const TCase& c : cases) {
    TRecordDeflater deflater;
    std::string content;
    for (const auto& [bytes, field] : c.Records) {
      deflater.Add(bytes, field);
      content += bytes;
    }
    const TZipMember member = deflater.Finish();
    EXPECT_EQ(member.Size, content.size()) << c.Name;
    EXPECT_EQ(member.Crc, Crc(content)) << c.Name;
    EXPECT_TRUE(Inflated(member) == content) << c.Name;
    EXPECT_LE(member.Deflated.size(), c.MostDeflated) << c.Name;
  }
}

// Records of every length from nothing to past a match's longest, drawn from a few letters so that
// fields begin alike by any length, some of them equal, some the beginning of the one before, over more
// than deflate's reach back: each member inflates to exactly what was added.
TEST(ZipWriter, RandomRecordsInflateToTheirBytes) {
  std::uint32_t x = 12345;
  auto next = [&x](std::uint32_t below) { return (x = x * 1103515245 + 12345) / 65536 % below; };
  for (int round = 0; round < 20; ++round) {
    TRecordDeflater deflater;
    std::string content;
    std::string last[TRecordDeflater::kFields];
    const std::uint32_t records = 1 + next(3000);
    for (std::uint32_t k = 0; k < records; ++k) {
      const int field = static_cast<int>(next(TRecordDeflater::kFields + 1)) - 1;
      std::string bytes;
      const std::uint32_t kind = next(4);
      if (field >= 0 && kind == 0) {
        bytes = last[field];  // the same again
      } else if (field >= 0 && kind == 1) {
        bytes = last[field].substr(0, next(static_cast<std::uint32_t>(last[field].size()) + 1));  // a beginning of it
      } else {
        // Now and then a long run between fields, taking the earlier ones out of reach or nearly.
        const std::uint32_t length = next(kind == 2 ? 8 : field < 0 && next(8) == 0 ? 40000 : 700);
        for (std::uint32_t n = 0; n < length; ++n) bytes.push_back(static_cast<char>('a' + next(kind == 2 ? 2 : 3)));
      }
      if (field >= 0) last[field] = bytes;
      deflater.Add(bytes, field);
      content += bytes;
    }
    const TZipMember member = deflater.Finish();
    ASSERT_EQ(member.Size, content.size()) << "round " << round;
    EXPECT_EQ(member.Crc, Crc(content)) << "round " << round;
    EXPECT_TRUE(Inflated(member) == content) << "round " << round;
  }
}

// A column is as wide as its longest line in characters (a pair of UTF-16 halves is one), up to 60,
// plus 2; a cell of several lines, or of a line longer than that, is wrapped (style 1). Texts short
// and long, with their line breaks and pairs anywhere, among them where eight units are looked at
// at once and where the last eight overlap those before.
TEST(SheetWriters, XlsxColumnWidthsCountEachCharacterOnce) {
  const std::string smile = "\xf0\x9f\x98\x80";
  const struct {
    std::string Text;
    int Width;
    bool Wrapped;
  } cases[] = {
      {"abc", 5, false},
      {"abcdefgh", 10, false},
      {"ab" + smile + "cdefg", 10, false},
      {"abcdefg" + smile + "hi", 12, false},
      {"a" + smile + "bcdefgh", 11, false},
      {smile + smile + smile + smile + smile, 7, false},
      {std::string(58, 'x') + smile, 61, false},
      {std::string(59, 'x') + smile, 62, false},
      {std::string(60, 'x'), 62, false},
      {std::string(61, 'x'), 62, true},
      {"abcdefghij<br>k", 12, true},
      {"abc<br>defghijk", 10, true},
      {"line one<br>line two is longer", 20, true},
      {std::string(70, 'y') + "<br>z", 62, true},
  };
  for (const auto& c : cases) {
    const std::vector<TXlsxSheet> sheets = MakeXlsxSheets(ReadSheetTable("<table><tr><td>" + c.Text + "</table>", {}));
    ASSERT_EQ(sheets.size(), 1u);
    const std::string sheet = Inflated(sheets[0]);
    EXPECT_NE(sheet.find("<col min=\"1\" max=\"1\" width=\"" + std::to_string(c.Width) + "\" customWidth=\"1\"/>"),
              std::string::npos) << c.Text;
    EXPECT_EQ(sheet.find("<c r=\"A1\" s=\"1\" t=\"inlineStr\">") != std::string::npos, c.Wrapped) << c.Text;
  }
}

// A sheet is held whole up to a few MB, and streamed past that, or from its beginning when its table
// promises that much: a table of 70,000 linked rows, and one of a thousand long cells that grows past
// what is held. Every way gives parts that inflate to their CRC and size, the sheet's beginning (its
// widths) before its cells; the relationships, however many, are written as records.
TEST(SheetWriters, XlsxPartsHeldOrStreamedInflateWhole) {
  std::string many = "<table>";
  for (int k = 0; k < 70000; ++k) many += "<tr><td><a href=p" + std::to_string(k) + ">" + std::to_string(k) + "</a><td>row " + std::to_string(k);
  many += "</table>";
  std::string longCells = "<table>";
  for (int k = 0; k < 1000; ++k) longCells += "<tr><td><a href=p" + std::to_string(k) + ">" + std::string(5000, 'a' + k % 26) + "</a>";
  longCells += "</table>";
  const struct {
    std::string Fragment;
    bool Large;  // the sheet's XML is larger than what is held whole
  } cases[] = {{"<table><tr><td><a href=p>1</a><td>one</table>", false}, {many, true}, {longCells, true}};
  for (const auto& c : cases) {
    const std::vector<TXlsxSheet> sheets = MakeXlsxSheets(ReadSheetTable(c.Fragment, {{}, false, "http://h.org/"}));
    ASSERT_EQ(sheets.size(), 1u);
    const std::string sheet = Inflated(sheets[0]);
    const std::string rels = Inflated(sheets[0].Relationships);
    EXPECT_EQ(sheet.size(), sheets[0].Size);
    EXPECT_EQ(Crc(sheet), sheets[0].Crc);
    EXPECT_EQ(rels.size(), sheets[0].Relationships.Size);
    EXPECT_EQ(Crc(rels), sheets[0].Relationships.Crc);
    EXPECT_EQ(sheets[0].Size > (std::size_t{4} << 20), c.Large);
    EXPECT_EQ(sheet.substr(0, 56), "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
    EXPECT_LT(sheet.find("<cols><col min=\"1\""), sheet.find("<sheetData><row r=\"1\">"));
    EXPECT_EQ(sheet.substr(sheet.size() - 25), "</hyperlinks></worksheet>");
    EXPECT_EQ(rels.substr(rels.size() - 41), "\" TargetMode=\"External\"/></Relationships>");
  }
}

TEST(SheetWriters, CsvAndXlsxAgreeOnSpansPastTheTablesEnd) {
  const TSheetTable table = ReadSheetTable("<table><tr><td rowspan=65534 colspan=2>a<td>b<tr><td>c</table>", {});
  std::string csv;
  AppendCsvTable(table, csv);
  EXPECT_EQ(csv, "a,,b\r\n,,c\r\n");
  test::TTempDir dir;
  std::string bytes;
  TXlsxWorkbook workbook([&](std::string_view piece) { bytes.append(piece); });
  workbook.AddTable("T", table);
  workbook.Close();
  const std::string read = RunPython(
      "import openpyxl, sys\n"
      "sheet = openpyxl.load_workbook(sys.argv[1]).active\n"
      "print(sheet.max_row, sorted(str(r) for r in sheet.merged_cells.ranges))\n",
      dir.Write("t.xlsx", bytes));
  EXPECT_EQ(read, "2 ['A1:B2']\n");
}

}  // namespace
}  // namespace corvane
