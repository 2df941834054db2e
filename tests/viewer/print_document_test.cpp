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

}  // namespace
}  // namespace corvane
