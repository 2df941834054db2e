// Printing a document: the print copy's geometry on the paper, what its pages paint by the print
// options, the PDF it writes, and the preview dialog over its pages.
#include "viewer/print_document.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "layout/section_list.h"

namespace corvane {
namespace {

constexpr int kScreenDpi = 96;

QSizeF A4() { return QPageSize(QPageSize::A4).size(QPageSize::Millimeter); }

TPrintSource SourceOf(std::string html, ThtmlViewOptions options = 0) {
  TPrintSource source;
  source.Text = std::move(html);
  source.ReferenceName = "page.html";
  source.Options = options;
  return source;
}

std::string Paragraphs(int count) {
  std::string html;
  for (int i = 0; i < count; ++i) html += "<p>line " + std::to_string(i) + "</p>";
  return html;
}

// Page index of copy painted on white paper at the screen's resolution.
QImage PaintedPage(TPrintCopy& copy, int index = 0) {
  const QSize paper = (A4() * (kScreenDpi / 25.4)).toSize();
  QImage picture(paper, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  copy.PaintPage(painter, index);
  return picture;
}

bool HasColour(const QImage& picture, QRgb colour) {
  for (int y = 0; y < picture.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    for (int x = 0; x < picture.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (colour & 0xFFFFFF)) return true;
  }
  return false;
}

TEST(PrintCopy, LaysTheDocumentOutBetweenTheMarginsAtTheScale) {
  struct TCase {
    double Margin;  // centimetres, all four
    double Scale;
    int Width;      // document pixels between the margins of A4 (210 mm)
  } const cases[] = {
      {2.0, 1.0, 642},  // (210 - 40) mm at 96 per inch
      {0.0, 1.0, 793},
      {2.0, 2.0, 321},
      {2.0, 0.5, 1285},
      {-3.0, 1.0, 793},  // a margin below nothing is none
  };
  for (const TCase& c : cases) {
    TPrintSource source = SourceOf("<p>x</p>");
    source.MarginLeft = source.MarginRight = source.MarginTop = source.MarginBottom = c.Margin;
    source.Scale = c.Scale;
    TPrintCopy copy(source, A4(), kScreenDpi);
    EXPECT_EQ(copy.ContentWidth(), c.Width) << c.Margin << " " << c.Scale;
    EXPECT_EQ(copy.PageCount(), 1);
    EXPECT_TRUE(copy.Document().Printing);
  }
  struct TSides {
    double Left, Right;
    int Width;
  } const sides[] = {{0.0, 2.0, 718}, {2.0, 0.0, 718}, {1.0, 3.0, 642}, {15.0, 10.0, 793}};
  for (const TSides& c : sides) {
    TPrintSource source = SourceOf("<p>x</p>");
    source.MarginLeft = c.Left;
    source.MarginRight = c.Right;
    EXPECT_EQ(TPrintCopy(source, A4(), kScreenDpi).ContentWidth(), c.Width) << c.Left << " " << c.Right;
  }
  // A larger scale holds less on a page; the pages are cut where the lines allow.
  TPrintSource full = SourceOf(Paragraphs(300));
  TPrintSource half = full;
  half.Scale = 0.5;
  const int fullPages = TPrintCopy(full, A4(), kScreenDpi).PageCount();
  const int halfPages = TPrintCopy(half, A4(), kScreenDpi).PageCount();
  EXPECT_GT(fullPages, 5);
  EXPECT_LE(halfPages, fullPages / 2 + 1);
}

TEST(PrintCopy, AWideDocumentIsMadeSmallerToFitAcross) {
  TPrintCopy copy(SourceOf("<table width=2000><tr><td>wide</td></tr></table>"), A4(), kScreenDpi);
  EXPECT_GE(copy.LayoutWidth(), 2000);
  EXPECT_NEAR(copy.PaintScale(), 642.0 / copy.LayoutWidth(), 0.01);
  TPrintCopy narrow(SourceOf("<p>narrow</p>"), A4(), kScreenDpi);
  EXPECT_DOUBLE_EQ(narrow.PaintScale(), 1.0);
}

TEST(PrintCopy, PaintsBackgroundsAndTextByThePrintOptions) {
  const std::string html = "<body bgcolor=#00ff00><p style=\"color: #ff0000; font-size: 40px\">MMMM</p>"
                           "<table><tr><td bgcolor=#0000ff>cell cell cell</td></tr></table></body>";
  struct TCase {
    ThtmlViewOptions Options;
    bool Page, Table, Red;
  } const cases[] = {
      {0, false, false, true},
      {htPrintBackground, true, false, true},
      {htPrintTableBackground, false, true, true},
      {htPrintMonochromeBlack, false, false, false},
      {htPrintBackground | htPrintTableBackground | htPrintMonochromeBlack, true, true, false},
  };
  for (const TCase& c : cases) {
    TPrintCopy copy(SourceOf(html, c.Options), A4(), kScreenDpi);
    const QImage page = PaintedPage(copy);
    // The margins stay white whatever is printed.
    EXPECT_EQ(page.pixel(10, 10) & 0xFFFFFF, 0xFFFFFFu) << c.Options;
    EXPECT_EQ(page.pixel(200, 700) & 0xFFFFFF, c.Page ? 0x00FF00u : 0xFFFFFFu) << c.Options;
    EXPECT_EQ(HasColour(page, qRgb(0, 0, 255)), c.Table) << c.Options;
    EXPECT_EQ(HasColour(page, qRgb(255, 0, 0)), c.Red) << c.Options;
  }
}

TEST(PrintCopy, ThePageShowsOnlyItsOwnLines) {
  // A page's band is painted alone: the next page's first line is not on it, not even clipped away.
  TPrintCopy copy(SourceOf("<p>first</p><page><p>second</p>"), A4(), kScreenDpi);
  ASSERT_EQ(copy.PageCount(), 2);
  const QImage first = PaintedPage(copy, 0);
  const QImage second = PaintedPage(copy, 1);
  const int top = static_cast<int>(2.0 / 2.54 * kScreenDpi);
  // Both lines stand at the top of their pages' content.
  auto inkAt = [top](const QImage& page) {
    for (int y = top; y < top + 40; ++y)
      for (int x = top; x < top + 100; ++x)
        if ((page.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return true;
    return false;
  };
  EXPECT_TRUE(inkAt(first));
  EXPECT_TRUE(inkAt(second));
  EXPECT_NE(first, second);
  EXPECT_EQ(PageFooterText(2, 7), QStringLiteral("page 2 of 7"));
}

TEST(PrintCopy, TheViewsSourceAndPrintPropertiesAreTaken) {
  THtmlView view;
  view.PrintMarginLeft = 1.5;
  view.PrintMarginBottom = 3.0;
  view.PrintScale = 0.8;
  view.SethtOptions(htPrintBackground);
  view.ViewImages = false;
  view.LoadFromString("<p>shown</p>", "/tmp/shown.html");
  const TPrintSource source = PrintSourceOf(view);
  EXPECT_EQ(source.Text, "<p>shown</p>");
  EXPECT_EQ(source.ReferenceName, view.DocumentName());
  EXPECT_EQ(source.MarginLeft, 1.5);
  EXPECT_EQ(source.MarginRight, 2.0);
  EXPECT_EQ(source.MarginBottom, 3.0);
  EXPECT_EQ(source.Scale, 0.8);
  EXPECT_EQ(source.Options, ThtmlViewOptions(htPrintBackground));
  EXPECT_FALSE(source.ShowImages);
  TPrintCopy copy(source, A4(), kScreenDpi);
  EXPECT_TRUE(copy.Document().PrintBackground);
  EXPECT_FALSE(copy.Document().PrintTableBackground);
  EXPECT_FALSE(copy.Document().ShowImages);
}

int PdfPageCount(const QByteArray& pdf) {
  int count = 0;
  for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0; at = pdf.indexOf("/Type /Page", at + 1))
    if (pdf.mid(at + 11, 1) != "s") ++count;
  return count;
}

TEST(PrintCopy, ExportsAPdfOfItsPages) {
  QTemporaryDir dir;
  const QString path = dir.filePath("out.pdf");
  QString error;
  ASSERT_TRUE(ExportPdf(SourceOf("<p>one</p><page><p>two</p><page><p>three</p>"), path, QPageSize(QPageSize::A5), &error))
      << error.toStdString();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray pdf = file.readAll();
  EXPECT_TRUE(pdf.startsWith("%PDF"));
  EXPECT_EQ(PdfPageCount(pdf), 3);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.pdf"});

  const QString nowhere = dir.filePath("missing/out.pdf");
  EXPECT_FALSE(ExportPdf(SourceOf("<p>x</p>"), nowhere, QPageSize(QPageSize::A4), &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(PrintCopy, ThePreviewShowsEveryPage) {
  std::unique_ptr<QPrintPreviewDialog> dialog(
      MakePreviewDialog(SourceOf("<p>one</p><page><p>two</p><page><p>three</p><page><p>four</p>"), nullptr));
  dialog->show();
  QApplication::processEvents();
  auto* preview = dialog->findChild<QPrintPreviewWidget*>();
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->pageCount(), 4);
  dialog->close();
}

// The pages of a copy as [top, bottom) with the number of table heads each repeats.
std::vector<std::vector<int>> PageBands(const TPrintCopy& copy, int count) {
  std::vector<std::vector<int>> bands;
  for (int i = 0; i < count && i < copy.PageCount(); ++i) {
    const TPageRange& page = copy.Pages()[static_cast<std::size_t>(i)];
    bands.push_back({page.Top, page.Bottom, static_cast<int>(page.Heads.size())});
  }
  return bands;
}

// count pages, each begun by <page>, and what the pages hold spread over lines of text.
std::string ForcedPages(int count) {
  std::string html;
  for (int i = 0; i < count; ++i) html += (i > 0 ? "<page><p>page " : "<p>page ") + std::to_string(i) + "</p><p>text</p>";
  return html;
}

// Half a page of paragraphs, then a block kept on one page where it fits that is taller than a page, so
// that the first page is cut inside it; then more paragraphs.
std::string TallKeptBlock() {
  std::string html;
  for (int i = 0; i < 15; ++i) html += "<p>before " + std::to_string(i) + "</p>";
  html += "<div style=\"page-break-inside: avoid\">";
  for (int i = 0; i < 70; ++i) html += "kept " + std::to_string(i) + "<br>";
  html += "</div>";
  for (int i = 0; i < 60; ++i) html += "<p>after " + std::to_string(i) + "</p>";
  return html;
}

// A copy held to a number of pages keeps the first pages of the whole document, cut after the last one
// kept with a note, and builds only a first part of a long document.
TEST(PrintCopy, AHeldCopyKeepsTheFirstPagesOfTheWholeDocument) {
  struct TCase {
    std::string Html;
    int MaxPages;
    int Kept;
    bool Whole;  // built whole
    std::vector<std::string> Notices;
  } const cases[] = {
      {ForcedPages(5), 0, 5, true, {}},
      {ForcedPages(5), 5, 5, true, {}},
      {ForcedPages(5), 9, 5, true, {}},
      {ForcedPages(6), 5, 5, true, {"page.html needs more than 5 pages; the PDF is cut after page 5"}},  // the end is near
      {ForcedPages(400), 3, 3, false, {"page.html needs more than 3 pages; the PDF is cut after page 3"}},
      {ForcedPages(400), 1, 1, false, {"page.html needs more than 1 pages; the PDF is cut after page 1"}},
      // A part that ended inside the block would keep it whole on the second page.
      {TallKeptBlock(), 1, 1, false, {"page.html needs more than 1 pages; the PDF is cut after page 1"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Html.size()) + " bytes, at most " + std::to_string(c.MaxPages) + " pages");
    const TPrintSource source = SourceOf(c.Html);
    const TPrintCopy whole(source, A4(), kScreenDpi);
    TPrintBounds bounds;
    bounds.MaxPages = c.MaxPages;
    bounds.FirstBytes = 64;
    const TPrintCopy held(source, A4(), kScreenDpi, bounds);
    EXPECT_EQ(held.PageCount(), c.Kept);
    EXPECT_EQ(held.PagesCut(), c.Kept < whole.PageCount());
    EXPECT_EQ(held.LaidOut().Whole, c.Whole);
    EXPECT_EQ(held.LaidOut().BytesBuilt < source.Text.size(), !c.Whole);
    EXPECT_EQ(held.Notices("page.html"), c.Notices);
    EXPECT_EQ(PageBands(held, c.Kept), PageBands(whole, c.Kept));
  }
}

// A table of many rows with a head, its widest cells in its first rows so that its columns do not
// depend on how many rows are built.
std::string HeadedRows(int count) {
  std::string html = "<table border=1><thead><tr><th>Item</th><th>Value</th></tr></thead>";
  for (int row = 0; row < count; ++row)
    html += "<tr><td>row " + std::to_string(row % 10) + "</td><td>" + std::string(1 + row % 7, 'w') + "</td></tr>\n";
  return html + "</table><p>after</p>";
}

// However many rows a document has, a copy held to a few pages builds the same first part of it in the
// same rounds, and its pages paint as those of the whole document do.
TEST(PrintCopy, AHeldCopyBuildsOnlyWhatReachesItsPages) {
  constexpr int kPages = 4;
  TPrintSource shorter = SourceOf(HeadedRows(3000));
  shorter.MarginBottom = 0;  // no footer: it counts the pages of each copy
  const TPrintCopy whole(shorter, A4(), kScreenDpi);
  ASSERT_GT(whole.PageCount(), 50);

  TPrintBounds bounds;
  bounds.MaxPages = kPages;
  bounds.FirstBytes = 2048;
  std::size_t built = 0;
  int rounds = 0;
  for (const int rows : {3000, 30000}) {
    SCOPED_TRACE(rows);
    TPrintSource source = shorter;
    source.Text = HeadedRows(rows);
    TPrintCopy held(source, A4(), kScreenDpi, bounds);
    EXPECT_FALSE(held.LaidOut().Whole);
    EXPECT_GT(held.LaidOut().Rounds, 1);
    if (built == 0) {
      built = held.LaidOut().BytesBuilt;
      rounds = held.LaidOut().Rounds;
    }
    EXPECT_EQ(held.LaidOut().BytesBuilt, built);
    EXPECT_EQ(held.LaidOut().Rounds, rounds);
    EXPECT_LT(built, std::size_t{64} << 10);  // of 190 KB and 1.9 MB
    ASSERT_EQ(held.PageCount(), kPages);
    EXPECT_EQ(PageBands(held, kPages), PageBands(whole, kPages));
    // Past the first page every page repeats the table's head.
    EXPECT_EQ(held.Pages().back().Heads.size(), 1u);
    for (int page = 0; page < kPages; ++page)
      EXPECT_TRUE(PaintedPage(held, page) == PaintedPage(const_cast<TPrintCopy&>(whole), page)) << page;
  }
}

// A held copy's grid of a table keeps within the places it is given, and says so.
TEST(PrintCopy, AHeldCopyCutsSpansPastItsTablePlaces) {
  TPrintBounds bounds;
  bounds.TablePlaces = 1000;
  std::string staircase = "<table>";  // about 60 by 60 places
  for (int row = 0; row < 60; ++row)
    staircase += "<tr><td colspan=" + std::to_string(60 - row) + " rowspan=" + std::to_string(60 - row) + ">x<td>y";
  const TPrintCopy copy(SourceOf(staircase + "</table>"), A4(), kScreenDpi, bounds);
  EXPECT_TRUE(copy.TableSpansCut());
  EXPECT_EQ(copy.Notices("page.html"),
            std::vector<std::string>{"page.html: spans of a table were cut where its grid would pass 1000 places"});
  EXPECT_EQ(TPrintCopy(SourceOf("<table><tr><td colspan=10>x</td></tr></table>"), A4(), kScreenDpi, bounds).Notices("p"),
            std::vector<std::string>{});
}

// A held copy builds a table row's cells up to its columns, and says so.
TEST(PrintCopy, AHeldCopyLeavesOutCellsPastItsTableColumns) {
  TPrintBounds bounds;
  bounds.TableColumns = 3;
  const struct {
    std::string Page;
    std::vector<std::string> Notices;
  } cases[] = {
      {"<table><tr><td>a<td>b<td>c<td>d</table>",
       {"page.html has a table of more than 3 columns; the PDF shows its first 3"}},
      {"<table><tr><td>a<td>b<td>c<tr><td>d</table>", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TPrintCopy(SourceOf(c.Page), A4(), kScreenDpi, bounds).Notices("page.html"), c.Notices) << c.Page;
}

}  // namespace
}  // namespace corvane
