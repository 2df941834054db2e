#include "app/table_selection_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

#include "app/table_preview.h"
#include "layout/floating_obj.h"
#include "layout/section.h"
#include "modal_answer.h"
#include "viewer/html_view.h"

namespace corvane {
namespace {

class TableSelectionDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
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

}  // namespace
}  // namespace corvane
