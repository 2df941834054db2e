#include "app/skin.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/table_preview.h"
#include "app/table_selection_dialog.h"
#include "app/ui_texts.h"
#include "modal_answer.h"
#include "viewer/html_view.h"

namespace corvane {
namespace {

QString Resource(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class SkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ApplySkin(kDesktopSkin, nullptr));
    desktopPalette = QApplication::palette();
    desktopStyle = QApplication::style()->name();
    QSettings(kApplicationTitle, kApplicationTitle).remove("View");
    // A folder of this test's own: tests run side by side must not share their files.
    ASSERT_TRUE(temporary.isValid());
    folder = temporary.path();
  }
  void TearDown() override {
    ApplySkin(kDesktopSkin, nullptr);
    QSettings(kApplicationTitle, kApplicationTitle).remove("View");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QString WriteFile(const QString& name, const QByteArray& text) {
    const QString path = folder + "/" + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
  }
  // Answers the next file dialog with the file, typed into its name box (selectFile leaves a focused
  // box alone); then runs next, if given, still inside the answer.
  static void ChooseFile(const QString& path, QString* filter = nullptr, std::function<void()> next = {}) {
    test::AnswerNextModal([=](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      if (filter) *filter = dialog->nameFilters().join(";");
      dialog->setDirectory(QFileInfo(path).absolutePath());
      // The whole path: a name alone would be looked for in a folder the dialog may still be reading.
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QFileInfo(path).absoluteFilePath());
      if (next) next();
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept is protected; it still runs
      if (dialog->isVisible()) {
        ADD_FAILURE() << "the file dialog refused " << path.toStdString();
        dialog->reject();
      }
    });
  }
  QString Setting() { return QSettings(kApplicationTitle, kApplicationTitle).value("View/Skin").toString(); }
  void ExpectDesktopLook() {
    EXPECT_EQ(qApp->styleSheet(), "");
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktopPalette.color(QPalette::Window));
    EXPECT_EQ(QApplication::palette().color(QPalette::Text), desktopPalette.color(QPalette::Text));
    EXPECT_EQ(QApplication::style()->name(), desktopStyle);
    EXPECT_EQ(CurrentSkin(), "desktop");
  }

  QPalette desktopPalette;
  QString desktopStyle;
  QTemporaryDir temporary;
  QString folder;
};

TEST_F(SkinTest, TheMenuSwitchesBetweenTheBuiltInSkinsAndRemembersTheChoice) {
  QWidget window;
  QMenuBar bar(&window);
  bar.addMenu(kFileMenu);
  bar.addMenu(kHelpMenu);
  QMenu* skins = AddSkinMenu(&bar, &window);
  ASSERT_NE(skins, nullptr);
  EXPECT_EQ(skins->title(), "S&kin");
  QStringList menus;
  for (QAction* action : bar.actions()) menus << action->text();
  EXPECT_EQ(menus, QStringList({"&File", "&View", "&Help"}));
  QStringList captions;
  for (QAction* action : skins->actions())
    if (!action->isSeparator()) captions << action->text();
  EXPECT_EQ(captions, QStringList({"&Desktop", "&Light", "D&ark", "&Load skin..."}));

  auto action = [&](const char* name) { return skins->findChild<QAction*>(name); };
  for (const char* name : {"SkinDesktop", "SkinLight", "SkinDark", "SkinLoad"})
    ASSERT_NE(action(name), nullptr) << name;
  EXPECT_TRUE(action("SkinDesktop")->isChecked());

  action("SkinDark")->trigger();
  EXPECT_EQ(qApp->styleSheet(), Resource(":/corvane/skins/dark.qss"));
  EXPECT_FALSE(qApp->styleSheet().isEmpty());
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(0x2b, 0x2b, 0x2b));
  EXPECT_EQ(QApplication::palette().color(QPalette::Text), QColor(0xe0, 0xe0, 0xe0));
  EXPECT_TRUE(action("SkinDark")->isChecked());
  EXPECT_FALSE(action("SkinDesktop")->isChecked());
  EXPECT_EQ(Setting(), "dark");
  EXPECT_EQ(RememberedSkin(), "dark");

  action("SkinLight")->trigger();
  EXPECT_EQ(qApp->styleSheet(), Resource(":/corvane/skins/light.qss"));
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(0xf3, 0xf3, 0xf3));
  EXPECT_TRUE(action("SkinLight")->isChecked());
  EXPECT_EQ(Setting(), "light");

  // Chosen elsewhere (another window's menu, the command line): the checks follow when the menu opens.
  ApplySkin("DARK", nullptr);
  EXPECT_EQ(CurrentSkin(), "dark");
  emit skins->aboutToShow();
  EXPECT_TRUE(action("SkinDark")->isChecked());

  action("SkinDesktop")->trigger();
  ExpectDesktopLook();
  EXPECT_TRUE(action("SkinDesktop")->isChecked());
  EXPECT_EQ(Setting(), "desktop");
}

TEST_F(SkinTest, AUsersStyleSheetIsLoadedFromTheMenu) {
  const QString path = WriteFile("mine.qss", "QWidget { color: #123456; }\nQPushButton { border: 2px solid red; }\n");
  QWidget window;
  QMenuBar bar(&window);
  QMenu* skins = AddSkinMenu(&bar, &window);
  QString filter;
  ChooseFile(path, &filter);
  skins->findChild<QAction*>("SkinLoad")->trigger();
  EXPECT_EQ(filter, "Qt style sheets (*.qss)");
  EXPECT_EQ(qApp->styleSheet(), "QWidget { color: #123456; }\nQPushButton { border: 2px solid red; }\n");
  EXPECT_EQ(CurrentSkin(), path);
  EXPECT_EQ(Setting(), path);
  EXPECT_TRUE(skins->findChild<QAction*>("SkinLoad")->isChecked());
  // Over the desktop's own style and colours.
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktopPalette.color(QPalette::Window));
  QLabel probe;
  probe.ensurePolished();
  EXPECT_EQ(probe.palette().color(QPalette::WindowText), QColor(0x12, 0x34, 0x56));
}

TEST_F(SkinTest, AMissingOrBrokenStyleSheetLeavesTheDesktopLookWithTheReason) {
  struct TCase {
    QString File;
    QString Reason;
  };
  const TCase cases[] = {
      {folder + "/missing.qss", "No such file or directory"},
      {WriteFile("broken.qss", "QWidget { color: red; }\n}}} QPushButton {{ ;; {"), "it is not a valid Qt style sheet"},
      {WriteFile("binary.qss", QByteArray("\x00\x01{\xff\xfe}}", 8)), "it is not a valid Qt style sheet"},
  };
  for (const TCase& c : cases) {
    ASSERT_TRUE(ApplySkin(kDarkSkin, nullptr));
    QString error;
    EXPECT_FALSE(ApplySkin(c.File, &error)) << c.File.toStdString();
    EXPECT_EQ(error, "Cannot load the skin " + QDir::toNativeSeparators(c.File) + ": " + c.Reason);
    ExpectDesktopLook();
  }
  EXPECT_FALSE(ApplySkin(folder + "/missing.qss", nullptr)) << "the message is optional";

  // From the menu: the reason in a message box, and the desktop look is what is remembered.
  RememberSkin(kDarkSkin);
  ASSERT_TRUE(ApplySkin(kDarkSkin, nullptr));
  QWidget window;
  QMenuBar bar(&window);
  QMenu* skins = AddSkinMenu(&bar, &window);
  QString message;
  // The message box comes once the file dialog has closed.
  ChooseFile(folder + "/broken.qss", nullptr, [&message] {
    test::AnswerNextModal([&message](QWidget* box) {
      auto* messageBox = qobject_cast<QMessageBox*>(box);
      ASSERT_NE(messageBox, nullptr) << box->metaObject()->className();
      message = messageBox->text();
      messageBox->accept();
    });
  });
  skins->findChild<QAction*>("SkinLoad")->trigger();
  EXPECT_EQ(message, "Cannot load the skin " + QDir::toNativeSeparators(folder + "/broken.qss") +
                         ": it is not a valid Qt style sheet");
  ExpectDesktopLook();
  EXPECT_TRUE(skins->findChild<QAction*>("SkinDesktop")->isChecked());
  EXPECT_EQ(Setting(), "desktop");
}

TEST_F(SkinTest, TheRememberedSkinAtStartAndTheCommandLinesForOneRun) {
  EXPECT_EQ(RememberedSkin(), "desktop");
  RememberSkin(kDarkSkin);
  EXPECT_TRUE(ApplyRememberedSkin(nullptr));
  EXPECT_EQ(CurrentSkin(), "dark");

  // The command line's choice is for this run: the remembered one stays.
  QString error;
  EXPECT_TRUE(ApplySkinOption("light", &error));
  EXPECT_EQ(CurrentSkin(), "light");
  EXPECT_EQ(RememberedSkin(), "dark");
  EXPECT_FALSE(ApplySkinOption(folder + "/none.qss", &error));
  ExpectDesktopLook();

  // A remembered file that has gone: the desktop look, and the choice kept for when it is back.
  const QString gone = folder + "/gone.qss";
  RememberSkin(gone);
  EXPECT_FALSE(ApplyRememberedSkin(&error));
  EXPECT_EQ(error, "Cannot load the skin " + QDir::toNativeSeparators(gone) + ": No such file or directory");
  ExpectDesktopLook();
  EXPECT_EQ(RememberedSkin(), gone);
}

TEST_F(SkinTest, PagesStayBlackOnWhiteUnderTheDarkSkin) {
  ASSERT_TRUE(ApplySkin(kDarkSkin, nullptr));
  QWidget parent;
  TfrmPreview dialog(&parent);
  dialog.Fragments = {"<table><tr><td>MMMMMMMM</td></tr><tr><td><input type=text value=WWWW></td></tr></table>",
                      "<table><tr><td>b</table>"};
  dialog.UpdateListBox();
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QListWidget* list = dialog.lstTables();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(0)).center());
  auto& view = static_cast<THtmlView&>(*dialog.HtmlView().Widget());
  QCoreApplication::processEvents();

  // The dialog itself is dark, in its own font throughout.
  EXPECT_EQ(list->font().pixelSize(), dialog.chkRememberTables()->font().pixelSize());
  EXPECT_EQ(list->font().family(), dialog.chkRememberTables()->font().family());
  const QImage listPicture = list->viewport()->grab().toImage();
  EXPECT_LT(qGray(listPicture.pixel(listPicture.width() / 2, listPicture.height() - 10)), 60);

  const QImage picture = view.PaintPanel()->grab().toImage();
  EXPECT_EQ(picture.pixelColor(5, 3), QColor(Qt::white));
  EXPECT_EQ(picture.pixelColor(picture.width() - 5, picture.height() - 5), QColor(Qt::white));
  int darkest = 255;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) darkest = std::min(darkest, qGray(picture.pixel(x, y)));
  EXPECT_LT(darkest, 60) << "the text is black";

  // The page's text field: black on white too.
  const auto fields = view.PaintPanel()->findChildren<QLineEdit*>();
  ASSERT_EQ(fields.size(), 1);
  QLineEdit* field = fields.front();
  EXPECT_EQ(field->text(), "WWWW");
  const QImage fieldPicture = field->grab().toImage();
  EXPECT_EQ(fieldPicture.pixelColor(fieldPicture.width() - 4, fieldPicture.height() / 2), QColor(Qt::white));
  int fieldDarkest = 255;
  for (int y = 0; y < fieldPicture.height(); ++y)
    for (int x = 0; x < fieldPicture.width() / 2; ++x)
      fieldDarkest = std::min(fieldDarkest, qGray(fieldPicture.pixel(x, y)));
  EXPECT_LT(fieldDarkest, 60);

  // Back to the desktop look: the page keeps no style sheet of its own.
  ASSERT_TRUE(ApplySkin(kDesktopSkin, nullptr));
  EXPECT_EQ(view.styleSheet(), "");
}

}  // namespace
}  // namespace corvane
