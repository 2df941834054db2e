#include "app/table_selection_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QImage>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

#include "app/table_preview.h"
#include "app/ui_texts.h"
#include "layout/floating_obj.h"
#include "layout/section.h"
#include "modal_answer.h"
#include "viewer/html_view.h"

namespace corvane {
namespace {

class TableSelectionDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings(kApplicationTitle, kApplicationTitle).remove("TableSelect");
    dialog.Fragments = {"<table>one</table>", "<table>two</table>", "<table>three</table>"};
    dialog.UpdateListBox();
    dialog.Extracted = false;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  }
  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  void Click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QListWidget* list = dialog.lstTables();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(list->item(row)).center());
  }
  THtmlView& View() { return *static_cast<THtmlView*>(dialog.HtmlView().Widget()); }
  std::string Shown() { return View().DocumentSource(); }

  QWidget parent;
  TfrmPreview dialog{&parent};
};

TEST_F(TableSelectionDialogTest, ListsTablesAndShowsTheHighestSelected) {
  EXPECT_EQ(dialog.windowTitle(), "Table Select");
  EXPECT_EQ(dialog.size(), QSize(664, 476));
  ASSERT_EQ(dialog.lstTables()->count(), 3);
  EXPECT_EQ(dialog.lstTables()->item(2)->text(), "Table3");
  EXPECT_EQ(dialog.chkRememberTables()->text(), "&Remember the selection for other tables for this job.");
  EXPECT_EQ(Shown(), "");

  Click(1);
  EXPECT_EQ(Shown(), "<html><body>\r\n<table>two</table>\r\n</body></html>\r\n");
  Click(2);
  Click(0, Qt::ControlModifier);
  EXPECT_EQ(Shown(), "<html><body>\r\n<table>three</table>\r\n</body></html>\r\n");

  // A new file's tables: the list is filled again and nothing of the old file is shown.
  dialog.Fragments = {"<table>x</table>", "<table>y</table>"};
  dialog.UpdateListBox();
  EXPECT_EQ(dialog.lstTables()->count(), 2);
  EXPECT_EQ(Shown(), "");
}

TEST_F(TableSelectionDialogTest, TheClickedTableIsRendered) {
  dialog.Fragments = {"<table border=1 bgcolor=#ff0000><tr><td width=100 height=40>a</table>",
                      "<table><tr><td>b</table>"};
  dialog.UpdateListBox();
  Click(0);
  THtmlView& view = View();
  EXPECT_FALSE(view.VScrollBar()->isVisible());
  EXPECT_FALSE(view.HScrollBar()->isVisible());
  // The table stands at the body margins inside the panel: red inside its frame, white around it.
  const QImage picture = view.PaintPanel()->grab().toImage();
  EXPECT_EQ(picture.pixelColor(5, 3), QColor(Qt::white));
  EXPECT_EQ(picture.pixelColor(10 + 2, 5 + 2), QColor(Qt::red));  // the spacing between the frames
  EXPECT_EQ(picture.pixelColor(10 + 50, 5 + 25), QColor(Qt::red));
  EXPECT_EQ(picture.pixelColor(10 + 150, 5 + 25), QColor(Qt::white));
  // Clicking it again does not build it again.
  const TSectionBase* shown = &view.Document()[0];
  Click(0);
  EXPECT_EQ(&view.Document()[0], shown);
  // A new file blanks the view.
  dialog.UpdateListBox();
  const QImage blank = view.PaintPanel()->grab().toImage();
  EXPECT_EQ(blank.pixelColor(10 + 50, 5 + 25), QColor(Qt::white));
}

TEST_F(TableSelectionDialogTest, TextIsDarkOnTheWhitePageUnderADarkTheme) {
  const QPalette saved = QApplication::palette();
  QPalette dark = saved;
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
    dark.setColor(role, QColor(0xee, 0xee, 0xee));
  dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
  dark.setColor(QPalette::Button, QColor(0x20, 0x20, 0x20));
  QApplication::setPalette(dark);
  dialog.Fragments = {"<table><tr><td>MMMMMMMM</td></tr></table>"};
  dialog.UpdateListBox();
  Click(0);
  const QImage picture = View().PaintPanel()->grab().toImage();
  QApplication::setPalette(saved);
  // The darkest pixel of the text is black, not the theme's light grey.
  int darkest = 255;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) darkest = std::min(darkest, qGray(picture.pixel(x, y)));
  EXPECT_LT(darkest, 60);
  EXPECT_EQ(picture.pixelColor(5, 3), QColor(Qt::white));
}

TEST_F(TableSelectionDialogTest, TheTableIsReadInItsPagesCharset) {
  // The position list leaves out what stands in table cells: the sections are collected instead.
  auto text = [this] {
    std::vector<TSection*> sections;
    View().Document().CollectSections(sections);
    return sections.empty() ? std::u16string() : sections.front()->Text();
  };
  dialog.Fragments = {"<table><tr><td>\xEA\xE0\xF4\xE5</table>", "<table><tr><td>b</table>"};
  dialog.PageCharset = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">";
  dialog.UpdateListBox();
  Click(0);
  EXPECT_EQ(text(), u"\u043a\u0430\u0444\u0435 ");
  // Another declaration reads the table already shown again.
  dialog.HtmlView().SetPageCharset("<meta charset=iso-8859-1>");
  dialog.HtmlView().LoadStrings({"<html><body>", dialog.Fragments[0], "</body></html>"}, "test");
  EXPECT_EQ(text(), u"\u00ea\u00e0\u00f4\u00e5 ");
}

TEST_F(TableSelectionDialogTest, TheTablesPicturesAreFoundBesideItsPage) {
  const QString folder = QDir::tempPath() + "/corvane_dialog_pictures";
  QDir().mkpath(folder);
  QImage picture(9, 6, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(picture.save(folder + "/flag.png", "PNG"));
  dialog.Fragments = {"<table><tr><td><img src=flag.png></table>", "<table><tr><td>b</table>"};
  dialog.PageFile = (folder + "/page.html").toStdString();
  dialog.UpdateListBox();
  Click(0);
  std::vector<TSection*> sections;
  View().Document().CollectSections(sections);
  ASSERT_FALSE(sections.empty());
  ASSERT_EQ(sections.front()->Images().size(), 1u);
  EXPECT_EQ(sections.front()->Images().front()->ObjWidth, 9);
  QDir(folder).removeRecursively();
}

TEST_F(TableSelectionDialogTest, ExtractGivesTheChosenTablesInAscendingOrder) {
  Click(2);
  Click(0, Qt::ControlModifier);
  dialog.chkRememberTables()->setChecked(true);
  QTest::mouseClick(dialog.btnExtract(), Qt::LeftButton);
  EXPECT_EQ(dialog.Selection, (std::vector<std::string>{"0", "2"}));
  EXPECT_TRUE(dialog.Extracted);
  EXPECT_TRUE(dialog.Remember);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(TableSelectionDialogTest, ExtractWithNothingSelectedAsksAndStaysOpen) {
  QString message;
  test::AnswerNextModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    message = box->text();
    box->accept();
  });
  QTest::mouseClick(dialog.btnExtract(), Qt::LeftButton);
  EXPECT_EQ(message, "Select atleast 1 table");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.Extracted);
}

TEST_F(TableSelectionDialogTest, ClosingWithoutExtractCancelsButKeepsTheLastRemember) {
  Click(1);
  dialog.chkRememberTables()->setChecked(true);
  QTest::mouseClick(dialog.btnExtract(), Qt::LeftButton);
  ASSERT_TRUE(dialog.Remember);

  // Shown again for the next file, closed with its close button after choosing.
  dialog.Extracted = false;
  dialog.show();
  Click(0);
  dialog.chkRememberTables()->setChecked(false);
  dialog.close();
  EXPECT_TRUE(dialog.Selection.empty());
  EXPECT_FALSE(dialog.Extracted);
  EXPECT_TRUE(dialog.Remember) << "only Extract changes it";
  EXPECT_TRUE(dialog.chkRememberTables()->isChecked() == false);
}

TEST_F(TableSelectionDialogTest, ResizingGrowsTheListAndTheTableAndKeepsExtractAtTheBottomRight) {
  QListWidget* list = dialog.lstTables();
  QWidget* view = dialog.HtmlView().Widget();
  const QSize listBefore = list->size();
  const QSize viewBefore = view->size();
  EXPECT_EQ(listBefore.width(), 121);
  dialog.resize(1000, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(list->height(), listBefore.height() + 224);
  EXPECT_EQ(view->height(), viewBefore.height() + 224);
  EXPECT_EQ(view->width(), viewBefore.width() + 336) << "the table takes the new width";
  const QRect extract(dialog.btnExtract()->mapTo(&dialog, QPoint(0, 0)), dialog.btnExtract()->size());
  EXPECT_EQ(extract.right(), 1000 - 1 - 13);
  EXPECT_EQ(extract.bottom(), 700 - 1 - 8);
  EXPECT_EQ(dialog.chkRememberTables()->mapTo(&dialog, QPoint(0, 0)).x(), 8);

  // The user widens the list by the splitter.
  dialog.Splitter()->setSizes({400, 600});
  EXPECT_GT(list->width(), 300);

  // Small enough for a 640 x 400 screen with a task bar.
  EXPECT_LE(dialog.minimumSize().width(), 640);
  EXPECT_LE(dialog.minimumSize().height(), 360);
  dialog.resize(dialog.minimumSize());
  QCoreApplication::processEvents();
  const QRect small(dialog.btnExtract()->mapTo(&dialog, QPoint(0, 0)), dialog.btnExtract()->size());
  EXPECT_TRUE(dialog.rect().contains(small));
  EXPECT_FALSE(small.intersects(QRect(dialog.chkRememberTables()->mapTo(&dialog, QPoint(0, 0)),
                                      dialog.chkRememberTables()->size())));
}

TEST(TableSelectionPlacement, TheDialogFitsTheScreensFreeArea) {
  const QSize minimum(360, 220);
  struct TCase {
    QRect Wanted, Available, Expected;
  };
  const TCase cases[] = {
      {{100, 100, 664, 476}, {0, 0, 1920, 1040}, {100, 100, 664, 476}},   // fits as it is
      {{-10, 300, 664, 476}, {0, 0, 640, 360}, {0, 0, 640, 360}},         // 200 % on 1280 x 800, task bar
      {{500, 300, 664, 476}, {0, 0, 1024, 700}, {360, 224, 664, 476}},    // moved back onto the screen
      {{0, 0, 664, 476}, {0, 0, 300, 200}, {0, 0, 360, 220}},             // never below the minimum
      {{2000, 10, 664, 476}, {1920, 0, 1280, 1000}, {2000, 10, 664, 476}},  // a second screen
  };
  for (const TCase& c : cases)
    EXPECT_EQ(FitToScreen(c.Wanted, c.Available, minimum), c.Expected) << c.Wanted.x() << "," << c.Wanted.y();
}

TEST_F(TableSelectionDialogTest, TheTitleNamesTheFile) {
  dialog.PageFile = (QDir::tempPath() + "/reports/report.html").toStdString();
  dialog.UpdateListBox();
  EXPECT_EQ(dialog.windowTitle(), "Table Select - report.html");
  dialog.PageFile.clear();
  dialog.UpdateListBox();
  EXPECT_EQ(dialog.windowTitle(), "Table Select");
}

TEST(TableSummary, DescribesEachTableBySizeAndFirstCell) {
  const std::string longText(60, 'x');
  struct TCase {
    std::string Fragment;
    QString Expected;
  };
  const TCase cases[] = {
      {"<table><tr><td>Region<td>Sales</tr><tr><td>North<td>12</table>", u"2 \u00d7 2, \"Region\""_qs},
      {"<table><tr><td colspan=3>Wide</td></tr><tr><td>a</td></tr></table>", u"2 \u00d7 3, \"Wide\""_qs},
      {"<table><tr><td rowspan=2>Tall</td><td>b</td></tr><tr><td>c</td><td>d</td></tr></table>",
       u"2 \u00d7 3, \"Tall\""_qs},
      {"<table><tr><td> </td><td>&nbsp;</td><td><b></b></td><td>  Real \t\n text<br>here </td></tr></table>",
       u"1 \u00d7 4, \"Real text here\""_qs},
      {"<table><tr><td>" + longText + "</td></tr></table>", u"1 \u00d7 1, \""_qs + QString(40, 'x') + u"\u2026\""_qs},
      {"<table><tr><td>" + std::string(39, 'y') + " tail</td></tr></table>",
       u"1 \u00d7 1, \""_qs + QString(39, 'y') + u"\u2026\""_qs},
      {"<table><tr><td>Fish &amp; Chips &lt;3 &quot;hot&quot; &#8364;5</td></tr></table>",
       u"1 \u00d7 1, \"Fish & Chips <3 \"hot\" \u20ac5\""_qs},
      {"<table><tr><th>Head</th></tr><tr><td></td></tr></table>", u"2 \u00d7 1, \"Head\""_qs},
      {"<table><tr><td></td><td></td></tr></table>", u"1 \u00d7 2"_qs},
      {"<table></table>", u"0 \u00d7 0"_qs},
      {"<table><tr><td>unfinished", u"1 \u00d7 1, \"unfinished\""_qs},
  };
  for (const TCase& c : cases) {
    const TTableSummary summary = SummariseTable(c.Fragment, "", false);
    EXPECT_TRUE(summary.Counted);
    EXPECT_EQ(TableDetail(summary, c.Fragment.size()), c.Expected) << c.Fragment;
  }
  // Read in the page's character set.
  const TTableSummary cyrillic = SummariseTable("<table><tr><td>\xEA\xE0\xF4\xE5</table>",
                                                "<meta charset=windows-1251>", false);
  EXPECT_EQ(cyrillic.FirstCell, u"\u043a\u0430\u0444\u0435"_qs);
}

TEST(TableSummary, ALargeTableIsCountedOnlyWhenAskedFor) {
  std::string table = "<table><tr><td></td><td>First</td></tr>";
  int rows = 1;
  for (; table.size() <= kCountOnClickSize; ++rows) table += "<tr><td>row</td><td>cells</td></tr>\n";
  table += "</table>";
  const TTableSummary quick = SummariseTable(table, "", false);
  EXPECT_FALSE(quick.Counted);
  EXPECT_EQ(quick.FirstCell, "First");
  EXPECT_EQ(TableDetail(quick, table.size()), "4.0 MB, \"First\"");
  const TTableSummary full = SummariseTable(table, "", true);
  EXPECT_TRUE(full.Counted);
  EXPECT_EQ(full.Rows, rows);
  EXPECT_EQ(full.Columns, 2);
}

TEST_F(TableSelectionDialogTest, EntriesKeepTheirNamesAndDescribeTheirTables) {
  dialog.Fragments = {"<table><tr><td>Region<td>Sales</tr><tr><td>North<td>12</table>",
                      "<table><tr><td></td></tr></table>"};
  dialog.UpdateListBox();
  QListWidget* list = dialog.lstTables();
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "Table1");
  EXPECT_EQ(list->item(0)->data(TfrmPreview::kDetailRole).toString(), u"2 \u00d7 2, \"Region\""_qs);
  EXPECT_EQ(list->item(0)->toolTip(), u"Table 1: 2 \u00d7 2, \"Region\""_qs);
  EXPECT_EQ(list->item(0)->data(Qt::AccessibleTextRole).toString(), u"Table 1: 2 \u00d7 2, \"Region\""_qs);
  EXPECT_EQ(list->item(1)->text(), "Table2");
  EXPECT_EQ(list->item(1)->toolTip(), u"Table 2: 1 \u00d7 1"_qs);
  // Two lines an entry: the name and, below it, the details.
  EXPECT_GE(list->visualItemRect(list->item(0)).height(), 2 * list->fontMetrics().height());
  // A large table is counted when it is clicked.
  std::string large = "<table><tr><td>Big</td></tr>";
  int rows = 1;
  for (; large.size() <= kCountOnClickSize; ++rows) large += "<tr><td>row</td></tr>\n";
  large += "</table>";
  dialog.Fragments = {"<table><tr><td>a</table>", large};
  dialog.UpdateListBox();
  EXPECT_EQ(list->item(1)->data(TfrmPreview::kDetailRole).toString(), "4.0 MB, \"Big\"");
  Click(1);
  EXPECT_EQ(list->item(1)->data(TfrmPreview::kDetailRole).toString(),
            QString::number(rows) + u" \u00d7 1, \"Big\""_qs);
}

// A page of thousands of tables: the list is filled without reading them all; an entry gets its
// details when it comes into view.
TEST_F(TableSelectionDialogTest, EntriesAreDescribedAsTheyComeIntoView) {
  std::vector<std::string> tables;
  for (int i = 1; i <= 500; ++i) tables.push_back("<table><tr><td>cell " + std::to_string(i) + "</table>");
  dialog.Fragments = tables;
  dialog.UpdateListBox();
  QListWidget* list = dialog.lstTables();
  ASSERT_EQ(list->count(), 500);
  EXPECT_EQ(list->item(0)->data(TfrmPreview::kDetailRole).toString(), u"1 \u00d7 1, \"cell 1\""_qs);
  EXPECT_TRUE(list->item(499)->data(TfrmPreview::kDetailRole).toString().isEmpty());
  list->scrollToItem(list->item(499));
  list->viewport()->repaint();
  EXPECT_EQ(list->item(499)->data(TfrmPreview::kDetailRole).toString(), u"1 \u00d7 1, \"cell 500\""_qs);
  EXPECT_TRUE(list->item(250)->data(TfrmPreview::kDetailRole).toString().isEmpty()) << "never seen";
  EXPECT_EQ(list->item(499)->text(), "Table500");
}

// File > Export PDF writes the table shown, under the page's name and the table's number; with no table
// shown there is nothing to print, and the dialog says so.
TEST_F(TableSelectionDialogTest, TheTableShownIsExportedAsAPdf) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  dialog.PageFile = folder.filePath("prices.html").toStdString();
  dialog.UpdateListBox();
  auto* pdf = dialog.findChild<QAction*>("ExportPdf1");
  ASSERT_NE(pdf, nullptr);
  QString message;
  test::AnswerNextModal([&message](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      message = box->text();
      box->accept();
    }
  });
  pdf->trigger();
  EXPECT_EQ(message, "There is no page to print: click a table first.");

  Click(1);
  QString offered;
  test::AnswerNextModal([&](QWidget* modal) {
    auto* chooser = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(chooser, nullptr);
    offered = chooser->findChild<QLineEdit*>("fileNameEdit")->text();
    chooser->setDirectory(folder.path());
    chooser->findChild<QLineEdit*>("fileNameEdit")->setText(folder.filePath("two.pdf"));
    static_cast<QDialog*>(chooser)->accept();
  });
  pdf->trigger();
  EXPECT_EQ(offered, "prices table 2.pdf");
  QFile written(folder.filePath("two.pdf"));
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.readAll().startsWith("%PDF-"));
}

TEST_F(TableSelectionDialogTest, ANewJobStartsWithTheRememberBoxUnticked) {
  dialog.StartJob();
  Click(1);
  dialog.chkRememberTables()->setChecked(true);
  QTest::mouseClick(dialog.btnExtract(), Qt::LeftButton);
  ASSERT_TRUE(dialog.Remember);
  // The next file of the same job: the box is as the user left it.
  dialog.Extracted = false;
  dialog.show();
  EXPECT_TRUE(dialog.chkRememberTables()->isChecked());
  dialog.close();
  // The next job.
  dialog.StartJob();
  EXPECT_FALSE(dialog.chkRememberTables()->isChecked());
  EXPECT_FALSE(dialog.Remember);
}

TEST_F(TableSelectionDialogTest, TheSizeAndTheSplitAreKeptForTheNextTime) {
  dialog.resize(700, 450);
  dialog.Splitter()->setSizes({250, 450});
  QCoreApplication::processEvents();
  const QList<int> split = dialog.Splitter()->sizes();
  Click(0);
  QTest::mouseClick(dialog.btnExtract(), Qt::LeftButton);

  TfrmPreview next(&parent);
  next.Fragments = {"<table>one</table>"};
  next.UpdateListBox();
  next.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
  EXPECT_EQ(next.size(), QSize(700, 450));
  EXPECT_EQ(next.Splitter()->sizes(), split);
  next.close();
}

}  // namespace
}  // namespace corvane
