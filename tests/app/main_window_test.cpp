#include "app/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/table_selection_dialog.h"
#include "modal_answer.h"
#include "support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

const QString kData = CORVANE_TEST_DATA_DIR;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  template <typename T>
  T* Control(const char* name) {
    T* control = window.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QListWidget* List() { return Control<QListWidget>("lstInputFiles"); }
  QLineEdit* Path() { return Control<QLineEdit>("txtOutputCSVPath"); }
  QPushButton* Start() { return Control<QPushButton>("Button1"); }

  QStringList ListTexts() {
    QStringList texts;
    for (int i = 0; i < List()->count(); ++i) texts << List()->item(i)->text();
    return texts;
  }
  QStringList QueueTexts() {
    QStringList texts;
    for (const std::string& path : window.Job().FileQueue().Items()) texts << QString::fromStdString(path);
    return texts;
  }

  // Drops urls on the input list the way a file manager does.
  void Drop(const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QWidget* target = List()->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
  }
  void DropFiles(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    Drop(urls);
  }

  // Clicks button and answers the file dialog it opens: names (one, or several in quotes) chosen in
  // folder, or the folder itself when names is empty; cancels when folder is empty.
  void ClickAndChoose(QAbstractButton* button, const QString& folder, const QString& names = QString()) {
    test::AnswerNextModal([folder, names](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      if (folder.isEmpty()) return dialog->reject();
      dialog->setDirectory(folder);
      // Typed into the name box: selectFile leaves a focused box alone.
      if (!names.isEmpty()) dialog->findChild<QLineEdit*>("fileNameEdit")->setText(names);
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept is protected; it still runs
      if (dialog->isVisible()) {
        ADD_FAILURE() << "the file dialog refused " << names.toStdString();
        dialog->reject();
      }
    });
    QTest::mouseClick(button, Qt::LeftButton);
  }

  // Clicks a check box on its box, which toggles it.
  static void ClickBox(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2)); }

  // Clicks button and answers the message box it shows; returns the message.
  QString ClickAndReadMessage(QAbstractButton* button) {
    QString text;
    test::AnswerNextModal([&text](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      text = box->text();
      box->accept();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    return text;
  }

  test::TTempDir temp;
  TfrmMain window;
};

TEST_F(MainWindowTest, ShowsItsControlsWithTheirCaptions) {
  EXPECT_EQ(window.windowTitle(), "CORVANE");
  EXPECT_EQ(window.centralWidget()->size(), QSize(624, 422));
  EXPECT_EQ(Start()->text(), "&Start");
  EXPECT_EQ(Control<QLabel>("lblFile")->text(), "None");
  EXPECT_EQ(Control<QCheckBox>("chkTrimCellValues")->text(), "&Trim Cell Values ");
  EXPECT_EQ(Control<QCheckBox>("chkAppendFiles")->text(), "A&ppend output to a single Excel file");
  EXPECT_FALSE(Control<QPlainTextEdit>("Memo1")->isVisible());
  EXPECT_EQ(Control<QProgressBar>("pbConversion")->maximum(), 100);
}

TEST_F(MainWindowTest, OpenDialogListsQueueSortedAndOnce) {
  ClickAndChoose(Control<QPushButton>("btnAddFiles"), kData, "\"three-tables.html\" \"one-table.html\"");
  ClickAndChoose(Control<QPushButton>("btnAddFiles"), kData, "one-table.html");
  const QStringList expected = {kData + "/one-table.html", kData + "/three-tables.html"};
  EXPECT_EQ(ListTexts(), expected);
  EXPECT_EQ(QueueTexts(), expected);
  EXPECT_EQ(Control<QProgressBar>("pbConversion")->maximum(), 2);

  ClickAndChoose(Control<QPushButton>("btnAddFiles"), "");  // cancelled: nothing changes
  EXPECT_EQ(ListTexts(), expected);
}

TEST_F(MainWindowTest, DropsShowInDropOrderWhileTheQueueSorts) {
  DropFiles({"/d/b.html", "/d/a.html", "/d/a.html", "/d/REPORT.HTM", "/d/notes.txt", "/d/c.htm"});
  Drop({QUrl("https://example.com/page.html")});
  EXPECT_EQ(ListTexts(), (QStringList{"/d/b.html", "/d/a.html", "/d/a.html", "/d/c.htm"}));
  EXPECT_EQ(QueueTexts(), (QStringList{"/d/a.html", "/d/b.html", "/d/c.htm"}));
}

TEST_F(MainWindowTest, RemoveFilesRemovesTheSelectedFiles) {
  // Dropped in reverse order, so that list positions and queue positions differ.
  DropFiles({"/d/4.html", "/d/3.html", "/d/2.html", "/d/1.html"});
  List()->item(1)->setSelected(true);  // 3.html
  List()->item(2)->setSelected(true);  // 2.html
  QTest::mouseClick(Control<QPushButton>("btnDeleteSelected"), Qt::LeftButton);
  EXPECT_EQ(ListTexts(), (QStringList{"/d/1.html", "/d/4.html"}));
  EXPECT_EQ(QueueTexts(), (QStringList{"/d/1.html", "/d/4.html"}));

  QTest::mouseClick(Control<QPushButton>("btnClearFiles"), Qt::LeftButton);
  EXPECT_TRUE(ListTexts().isEmpty());
  EXPECT_TRUE(QueueTexts().isEmpty());
}

TEST_F(MainWindowTest, BrowseInAppendModeAddsTheExtensionUnlessExactlyXls) {
  ClickBox(Control<QCheckBox>("chkAppendFiles"));
  const QString folder = QString::fromStdString(temp.Path().string());
  const std::vector<std::pair<QString, QString>> cases = {
      {"out", folder + "/out.xls"}, {"out.XLS", folder + "/out.XLS.xls"}, {"out.xls", folder + "/out.xls"}};
  for (const auto& [chosen, expected] : cases) {
    ClickAndChoose(Control<QPushButton>("btnBrowse"), folder, chosen);
    EXPECT_EQ(Path()->text(), expected) << chosen.toStdString();
  }
  ClickAndChoose(Control<QPushButton>("btnBrowse"), "");
  EXPECT_EQ(Path()->text(), folder + "/out.xls") << "a cancelled dialog leaves the path";
}

TEST_F(MainWindowTest, BrowseInPerFileModeChoosesAFolder) {
  fs::create_directory(temp.Path() / "dest");
  const QString folder = QString::fromStdString(temp.Path().string());
  ClickAndChoose(Control<QPushButton>("btnBrowse"), folder + "/dest");
  EXPECT_EQ(Path()->text(), folder + "/dest");
  ClickAndChoose(Control<QPushButton>("btnBrowse"), "");
  EXPECT_EQ(Path()->text(), "") << "a cancelled chooser empties the path";
}

TEST_F(MainWindowTest, AppendBoxEmptiesThePathEitherWay) {
  for (int click = 0; click < 2; ++click) {
    Path()->setText("/some/where");
    ClickBox(Control<QCheckBox>("chkAppendFiles"));
    EXPECT_EQ(Path()->text(), "");
  }
}

TEST_F(MainWindowTest, StartChecksInputAndAddsTheTrailingSlash) {
  QTest::keyClicks(Path(), "/tmp/out");
  EXPECT_EQ(ClickAndReadMessage(Start()), "Select html files");
  EXPECT_EQ(Path()->text(), "/tmp/out/") << "added even though the start was refused";
  EXPECT_EQ(ClickAndReadMessage(Start()), "Select html files");
  EXPECT_EQ(Path()->text(), "/tmp/out/") << "added once";

  DropFiles({kData + "/one-table.html"});
  Path()->clear();
  EXPECT_EQ(ClickAndReadMessage(Start()), "Select the output path for the Excel");
  EXPECT_EQ(Start()->text(), "&Start");
  EXPECT_FALSE(Control<QPlainTextEdit>("Memo1")->isVisible());
}

// Runs the whole job as the user does: drop, choose the folder, Start, answer the table dialog.
TEST_F(MainWindowTest, WholeJobWithATableChoice) {
  const QString out = QString::fromStdString(temp.Path().string());
  DropFiles({kData + "/three-tables.html", kData + "/no-tables.html", kData + "/one-table.html"});
  QTest::keyClicks(Path(), out);
  ClickBox(Control<QCheckBox>("chkTrimCellValues"));

  int dialogs = 0;
  test::AnswerNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<TfrmPreview*>(modal);
    ASSERT_NE(dialog, nullptr);
    ++dialogs;
    QListWidget* tables = dialog->lstTables();
    ASSERT_EQ(tables->count(), 3);
    EXPECT_EQ(tables->item(0)->text(), "Table1");
    QTest::mouseClick(tables->viewport(), Qt::LeftButton, Qt::NoModifier, tables->visualItemRect(tables->item(2)).center());
    QTest::mouseClick(tables->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      tables->visualItemRect(tables->item(0)).center());
    QTest::mouseClick(dialog->btnExtract(), Qt::LeftButton);
  });
  QTest::mouseClick(Start(), Qt::LeftButton);
  EXPECT_FALSE(Start()->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));

  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(test::ReadFile(temp.Path() / "one-table.html.xls"),
            "\"Name\"\t\"Qty\"\r\n\"Bolts\"\t\"12\"\r\n\"Nuts \"\t\"7\"\r\n");
  EXPECT_EQ(test::ReadFile(temp.Path() / "three-tables.html.xls"), "\"first\"\r\n\"third\"\r\n");
  EXPECT_FALSE(fs::exists(temp.Path() / "no-tables.html.xls"));

  const QString rule(94, '-');
  const QString one = kData + "/one-table.html";
  const QString log = Control<QPlainTextEdit>("Memo1")->toPlainText();
  EXPECT_TRUE(log.startsWith(rule + "\nAnalysing     : " + kData + "/no-tables.html\nTable count : 0\n\nExtraction Complete for " +
                             kData + "/no-tables.html\n" + rule + "\n" + rule + "\nAnalysing     : " + one +
                             "\nTable count : 1\n\"Name\"\t\"Qty\"\n"))
      << log.toStdString();
  EXPECT_TRUE(log.endsWith("\"first\"\n\"third\"\n\nExtraction Complete for " + kData + "/three-tables.html\n" + rule))
      << log.toStdString();

  auto* bar = Control<QProgressBar>("pbConversion");
  EXPECT_EQ(bar->maximum(), 3);
  EXPECT_EQ(bar->value(), 3);
  EXPECT_TRUE(ListTexts().isEmpty());
  EXPECT_TRUE(Control<QPlainTextEdit>("Memo1")->isVisible());
  EXPECT_EQ(Control<QLabel>("lblPass")->text(), "3 of 3");

  // "Done" only resets the window.
  QTest::mouseClick(Start(), Qt::LeftButton);
  EXPECT_EQ(Start()->text(), "&Start");
  EXPECT_FALSE(Control<QPlainTextEdit>("Memo1")->isVisible());
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(Control<QLabel>("lblFile")->text(), "None");
  EXPECT_EQ(Control<QLabel>("lblPass")->text(), "");
}

TEST_F(MainWindowTest, AbortedJobKeepsEveryFileForTheNextStart) {
  DropFiles({kData + "/three-tables.html", kData + "/one-table.html"});
  // An append file in a folder that does not exist cannot be created.
  ClickBox(Control<QCheckBox>("chkAppendFiles"));
  const QString target = QString::fromStdString((temp.Path() / "missing" / "all.xls").string());
  QTest::keyClicks(Path(), target);
  QTest::mouseClick(Start(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));
  const QString log = Control<QPlainTextEdit>("Memo1")->toPlainText();
  EXPECT_TRUE(log.contains("ERROR : Exiting conversion.\nDETAILS : Cannot create file " + target + "\n")) << log.toStdString();
  EXPECT_EQ(ListTexts(), (QStringList{kData + "/three-tables.html", kData + "/one-table.html"}));
  EXPECT_EQ(QueueTexts(), (QStringList{kData + "/one-table.html", kData + "/three-tables.html"}));
  EXPECT_EQ(Control<QProgressBar>("pbConversion")->value(), 2);
}

TEST_F(MainWindowTest, MissingOutputFolderIsMadeOrNamedWithItsReason) {
  DropFiles({kData + "/one-table.html"});
  const fs::path made = temp.Path() / "new" / "deeper";
  QTest::keyClicks(Path(), QString::fromStdString(made.string()));
  QTest::mouseClick(Start(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));
  EXPECT_TRUE(fs::exists(made / "one-table.html.xls"));
  QTest::mouseClick(Start(), Qt::LeftButton);

  DropFiles({kData + "/one-table.html"});
  const QString underFile = QString::fromStdString(temp.Write("plain", "x")) + "/out";
  Path()->setText(underFile);
  EXPECT_EQ(ClickAndReadMessage(Start()), "Cannot create the output folder " + underFile + "/: Not a directory");
  EXPECT_EQ(Start()->text(), "&Start");
  EXPECT_EQ(Control<QProgressBar>("pbConversion")->value(), 0);
  EXPECT_FALSE(Control<QPlainTextEdit>("Memo1")->isVisible());
  EXPECT_EQ(ListTexts(), QStringList{kData + "/one-table.html"});
}

TEST_F(MainWindowTest, OutputFormatIsChosenAndRemembered) {
  auto* format = Control<QComboBox>("cmbFormat");
  format->setCurrentIndex(2);  // csv
  DropFiles({kData + "/one-table.html"});
  QTest::keyClicks(Path(), QString::fromStdString(temp.Path().string()));
  QTest::mouseClick(Start(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));
  EXPECT_EQ(test::ReadFile(temp.Path() / "one-table.html.csv"), "\xEF\xBB\xBFName,Qty\r\nBolts,12\r\nNuts\xC2\xA0,7\r\n");
  QTest::mouseClick(Start(), Qt::LeftButton);
  {
    TfrmMain another;
    EXPECT_EQ(another.findChild<QComboBox*>("cmbFormat")->currentIndex(), 2);
  }
  format->setCurrentIndex(3);  // jsonl
  EXPECT_EQ(format->currentText(), "jsonl: JSON, a line per table");
  DropFiles({kData + "/one-table.html"});
  QTest::mouseClick(Start(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));
  EXPECT_EQ(test::ReadFile(temp.Path() / "one-table.html.jsonl"),
            "{\"file\":\"" + (kData + "/one-table.html").toStdString() +
                "\",\"table\":1,\"rows\":[[\"Name\",\"Qty\"],[\"Bolts\",\"12\"],[\"Nuts\xC2\xA0\",\"7\"]]}\n");
  QTest::mouseClick(Start(), Qt::LeftButton);
  // One workbook for the job, a sheet per table of every file.
  format->setCurrentIndex(1);
  ClickBox(Control<QCheckBox>("chkAppendFiles"));
  DropFiles({kData + "/one-table.html", kData + "/three-tables.html"});
  QTest::keyClicks(Path(), QString::fromStdString((temp.Path() / "all.xlsx").string()));
  QTest::mouseClick(Start(), Qt::LeftButton);
  test::AnswerNextModal([](QWidget* modal) {
    auto* dialog = qobject_cast<TfrmPreview*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->lstTables()->selectAll();
    dialog->btnExtract()->click();
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));
  EXPECT_EQ(test::ReadFile(temp.Path() / "all.xlsx").substr(0, 2), "PK");
  format->setCurrentIndex(0);
}

TEST_F(MainWindowTest, KeyboardReachesMenusAndButtons) {
  auto* file = window.findChild<QMenuBar*>("mmMain")->actions().at(0)->menu();
  EXPECT_EQ(file->title(), "&File");
  QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }, 2000));
  QTest::keyClick(file, Qt::Key_Escape);
  QTest::keyClick(file, Qt::Key_Escape);
  EXPECT_EQ(window.findChild<QAction*>("OpenHTML1")->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(window.findChild<QAction*>("Quit1")->shortcut(), QKeySequence("Ctrl+Q"));

  // Enter on the focused Start presses it.
  Start()->setFocus();
  QString message;
  test::AnswerNextModal([&message](QWidget* modal) {
    message = static_cast<QMessageBox*>(modal)->text();
    static_cast<QMessageBox*>(modal)->accept();
  });
  QTest::keyClick(Start(), Qt::Key_Return);
  EXPECT_EQ(message, "Select html files");

  // Help > About names the program, its version and its licence.
  test::AnswerNextModal([&message](QWidget* modal) {
    message = static_cast<QMessageBox*>(modal)->text();
    static_cast<QMessageBox*>(modal)->accept();
  });
  window.findChild<QAction*>("About1")->trigger();
  EXPECT_EQ(message, QString("CORVANE ") + CORVANE_VERSION +
                         "\n\nTables from web pages, straight into your spreadsheet\n\nProprietary software: all rights reserved.");
  EXPECT_FALSE(window.windowIcon().isNull());

  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, ClosingDuringARunWaitsForItAndNeverAsks) {
  std::string tables;
  for (int t = 0; t < 3; ++t) {
    tables += "<table>\n";
    for (int row = 0; row < 20000; ++row) tables += "<tr><td>" + std::to_string(row) + "</td></tr>\n";
    tables += "</table>\n";
  }
  const QString many = QString::fromStdString(temp.Write("many.html", tables));
  fs::create_directory(temp.Path() / "out");
  DropFiles({many});
  QTest::keyClicks(Path(), QString::fromStdString((temp.Path() / "out").string()));
  QTest::mouseClick(Start(), Qt::LeftButton);
  window.close();  // returns once the run has ended

  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no table dialog was shown";
  EXPECT_TRUE(fs::is_empty(temp.Path() / "out")) << "no choice was made, so nothing is written";
}

}  // namespace
}  // namespace corvane
