#include "app/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/table_selection_dialog.h"
#include "app/ui_texts.h"
#include "modal_answer.h"
#include "support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const QString kData = CORVANE_TEST_DATA_DIR;

// Each test's window starts without what an earlier test's window remembered. The settings live in a
// folder of this test process's own, so that tests run side by side never see each other's.
struct TForgottenSettings {
  TForgottenSettings() {
    static QTemporaryDir folder;
    static const bool moved = [] {
      QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
      return true;
    }();
    static_cast<void>(moved);
    QSettings(kApplicationTitle, kApplicationTitle).clear();
  }
};

// A page of one table of rows rows, each "row N".
std::string RowsTable(int rows) {
  std::string table = "<table>\n";
  for (int row = 0; row < rows; ++row) table += "<tr><td>row " + std::to_string(row) + "</td></tr>\n";
  return table + "</table>\n";
}

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

  // Waits for the job to end, with Start back (as "Done", or "Start" after a stop).
  bool WaitForTheEnd() {
    return QTest::qWaitFor([&] { return Start()->isEnabled() && !Control<QPushButton>("btnStop")->isEnabled(); }, 60000);
  }

  test::TTempDir temp;
  TForgottenSettings forgotten;
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
  EXPECT_EQ(Control<QPushButton>("btnStop")->text(), "&Stop");
  EXPECT_FALSE(Control<QPushButton>("btnStop")->isEnabled());
  EXPECT_EQ(Control<QPushButton>("btnOpenFolder")->text(), "&Open output folder");
  EXPECT_EQ(window.findChild<QAction*>("SaveLog1")->text(), "Save &Log...");
  EXPECT_EQ(window.findChild<QAction*>("SaveLog1")->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(window.findChild<QAction*>("AboutQt1")->text(), "About &Qt");
}

TEST_F(MainWindowTest, OpenDialogListsQueueSortedAndOnce) {
  ClickAndChoose(Control<QPushButton>("btnAddFiles"), kData, "\"three-tables.html\" \"one-table.html\"");
  ClickAndChoose(Control<QPushButton>("btnAddFiles"), kData, "one-table.html");
  const QStringList expected = {kData + "/one-table.html", kData + "/three-tables.html"};
  EXPECT_EQ(ListTexts(), expected);
  EXPECT_EQ(QueueTexts(), expected);
  EXPECT_EQ(Control<QProgressBar>("pbConversion")->maximum(), 2 * TfrmMain::kProgressSteps);

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
  EXPECT_EQ(bar->maximum(), 3 * TfrmMain::kProgressSteps);
  EXPECT_EQ(bar->value(), 3 * TfrmMain::kProgressSteps);
  EXPECT_FALSE(bar->property("failed").toBool());
  EXPECT_EQ(Control<QLabel>("lblOutcome")->text(), "3 files converted, 0 failed, 3 tables written");
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
  EXPECT_EQ(Control<QProgressBar>("pbConversion")->value(), 2 * TfrmMain::kProgressSteps);
}

TEST_F(MainWindowTest, MissingOutputFolderIsMadeOrNamedWithItsReason) {
  DropFiles({kData + "/one-table.html"});
  const fs::path made = temp.Path() / "new" / "deeper";
  QTest::keyClicks(Path(), QString::fromStdString(made.string()));
  QTest::mouseClick(Start(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));
  EXPECT_TRUE(fs::exists(made / "one-table.html.xls"));
  QTest::mouseClick(Start(), Qt::LeftButton);
  QTest::mouseClick(Control<QPushButton>("btnClearFiles"), Qt::LeftButton);  // the job's files stay till then

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
  QString title;
  test::AnswerNextModal([&title](QWidget* modal) {
    title = modal->windowTitle();
    static_cast<QMessageBox*>(modal)->accept();
  });
  window.findChild<QAction*>("AboutQt1")->trigger();
  EXPECT_EQ(title, "About Qt");

  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(window.isVisible());
}

// Closing mid-job asks first: No keeps the job going and the window open, Yes stops the job, undoing
// the run going on, and closes.
TEST_F(MainWindowTest, ClosingDuringAJobAsksWhetherToStopIt) {
  const QString big = QString::fromStdString(temp.Write("big.html", RowsTable(400000)));
  // Large enough that the job is still running when the question is answered.
  const QString huge = QString::fromStdString(temp.Write("huge.html", RowsTable(3000000)));
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    const fs::path out = temp.Path() / (yes ? "out-yes" : "out-no");
    fs::create_directory(out);
    DropFiles({yes ? huge : big});
    Path()->setText(QString::fromStdString(out.string()));
    QTest::mouseClick(Start(), Qt::LeftButton);
    QString question;
    test::AnswerNextModal([&question, yes](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      question = box->text();
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    window.close();  // with Yes, returns once the run has been undone
    EXPECT_EQ(question, "A job is running. Stop it and close?");
    if (yes) {
      EXPECT_FALSE(window.isVisible());
      EXPECT_TRUE(fs::is_empty(out)) << "the run was undone";
      break;
    }
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 60000));
    const std::string written = test::ReadFile(out / "big.html.xls");
    EXPECT_EQ(written.substr(written.size() - 14), "\"row 399999\"\r\n");
    QTest::mouseClick(Start(), Qt::LeftButton);
  }
}

// Stop, by its button or by Esc, undoes the run going on, keeps the outputs of the runs before it,
// names the files not converted in the log and leaves them in the list for the next Start.
TEST_F(MainWindowTest, StopUndoesTheRunGoingOnAndKeepsTheFilesNotConverted) {
  const QString a = QString::fromStdString(temp.Write("a.html", "<table><tr><td>a</td></tr></table>"));
  const QString b = QString::fromStdString(temp.Write("b.html", "<table><tr><td>1</td></tr></table><table><tr><td>2</td></tr></table>"));
  const QString c = QString::fromStdString(temp.Write("c.html", "<table><tr><td>c</td></tr></table>"));
  const fs::path out = temp.Path() / "out";
  fs::create_directory(out);
  DropFiles({c, b, a});
  Path()->setText(QString::fromStdString(out.string()));
  // While the user chooses b's tables, Stop is pressed: b's run is undone once they are chosen.
  test::AnswerNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<TfrmPreview*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Control<QPushButton>("btnStop")->isEnabled());
    Control<QPushButton>("btnStop")->click();
    EXPECT_FALSE(Control<QPushButton>("btnStop")->isEnabled());
    dialog->lstTables()->selectAll();
    dialog->btnExtract()->click();
  });
  QTest::mouseClick(Start(), Qt::LeftButton);
  ASSERT_TRUE(WaitForTheEnd());

  EXPECT_EQ(FileNames(out), std::vector<std::string>{"a.html.xls"});
  const QString log = Control<QPlainTextEdit>("Memo1")->toPlainText();
  EXPECT_TRUE(log.contains("ERROR : Conversion stopped; nothing written for " + b + "\n")) << log.toStdString();
  EXPECT_TRUE(log.endsWith("Not converted: " + b + "\nNot converted: " + c)) << log.toStdString();
  EXPECT_EQ(ListTexts(), (QStringList{b, c}));
  EXPECT_EQ(QueueTexts(), (QStringList{b, c}));
  EXPECT_EQ(Start()->text(), "&Start");
  EXPECT_FALSE(Control<QPlainTextEdit>("Memo1")->isVisible());
  EXPECT_EQ(Control<QProgressBar>("pbConversion")->value(), 0);
  EXPECT_EQ(Control<QLabel>("lblOutcome")->text(), "Stopped: 1 file converted, 2 files not converted, 1 table written");

  // Esc presses Stop, here in the middle of a large file's only table.
  const QString big = QString::fromStdString(temp.Write("big.html", RowsTable(400000)));
  QTest::mouseClick(Control<QPushButton>("btnClearFiles"), Qt::LeftButton);
  DropFiles({big, c});
  QTest::mouseClick(Start(), Qt::LeftButton);
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_FALSE(Control<QPushButton>("btnStop")->isEnabled()) << "pressed";
  ASSERT_TRUE(WaitForTheEnd());
  EXPECT_EQ(FileNames(out), std::vector<std::string>{"a.html.xls"});
  EXPECT_EQ(ListTexts(), (QStringList{big, c}));
  EXPECT_EQ(Control<QLabel>("lblOutcome")->text(), "Stopped: 0 files converted, 2 files not converted, 0 tables written");
  EXPECT_EQ(Start()->text(), "&Start");
}

// The bar moves while one large file is read, pass by pass: by the time its tables are shown, the
// two passes that read them have filled two thirds of the file's part of the bar.
TEST_F(MainWindowTest, ProgressMovesWithinALargeFile) {
  std::string page = "<table><tr><td>first</td></tr></table>\n";
  for (int k = 0; k < 24; ++k) page += "<p>" + std::string(1 << 20, 'x') + "</p>\n";
  page += "<table><tr><td>second</td></tr></table>\n";
  const QString large = QString::fromStdString(temp.Write("large.html", page));
  DropFiles({large});
  Path()->setText(QString::fromStdString(temp.Path().string()));
  auto* bar = Control<QProgressBar>("pbConversion");
  std::vector<int> values;
  QObject::connect(bar, &QProgressBar::valueChanged, bar, [&values](int value) { values.push_back(value); });
  int atChoice = -1;
  QString rate;
  bool asked = false;
  test::AnswerNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<TfrmPreview*>(modal);
    ASSERT_NE(dialog, nullptr);
    asked = true;
    atChoice = bar->value();
    rate = Control<QLabel>("lblRate")->text();
    EXPECT_EQ(Control<QLabel>("lblPass")->text(), "2 of 3") << "the pass label is the job's own";
    dialog->lstTables()->selectAll();
    dialog->btnExtract()->click();
  });
  QTest::mouseClick(Start(), Qt::LeftButton);
  // Busy, so that each report is shown as soon as it comes.
  while (!asked) QCoreApplication::processEvents();
  ASSERT_TRUE(WaitForTheEnd());

  EXPECT_EQ(atChoice, 666);
  EXPECT_TRUE(QRegularExpression("^[0-9]+\\.[0-9] MB/s$").match(rate).hasMatch()) << rate.toStdString();
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  // Besides two thirds at the choice and the full bar at the end, the bar moved during the first passes.
  EXPECT_TRUE(std::any_of(values.begin(), values.end(), [](int v) { return v > 0 && v < 666; }));
  EXPECT_EQ(bar->value(), 1000);
  EXPECT_TRUE(QRegularExpression("^[0-9]+\\.[0-9] MB/s$").match(Control<QLabel>("lblRate")->text()).hasMatch());
}

// The outcome says how the job went; a job with a failed file ends on a bar that says so, and names
// the failed files. Open output folder opens the folder the outputs went to.
TEST_F(MainWindowTest, OutcomeSaysHowTheJobWent) {
  const QString missing = QString::fromStdString((temp.Path() / "missing.html").string());
  const QString folder = QString::fromStdString(temp.Path().string());
  struct TCase {
    QStringList files;
    bool append;
    QString path;
    QString outcome;
    QString bar;  // the failed bar's text; empty for a bar without failures
    QString opened;
  };
  const std::vector<TCase> cases = {
      {{kData + "/one-table.html", kData + "/no-tables.html"}, false, folder + "/per-file",
       "2 files converted, 0 failed, 1 table written", "", folder + "/per-file/"},
      {{kData + "/one-table.html", missing}, false, folder + "/per-file", "1 file converted, 1 failed, 1 table written",
       "1 file failed", folder + "/per-file/"},
      {{missing, kData + "/one-table.html", kData + "/one-table.html"}, true, folder + "/all.xls",
       "1 file converted, 1 failed, 1 table written", "1 file failed", folder},
  };
  struct TUrlCatcher : QTextBrowser {
    QList<QUrl> opened;
    void doSetSource(const QUrl& url, QTextDocument::ResourceType) override { opened << url; }
  } catcher;
  QDesktopServices::setUrlHandler("file", &catcher, "setSource");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.outcome.toStdString());
    if (Control<QCheckBox>("chkAppendFiles")->isChecked() != c.append) ClickBox(Control<QCheckBox>("chkAppendFiles"));
    DropFiles(c.files);
    Path()->setText(c.path);
    QTest::mouseClick(Start(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));
    auto* bar = Control<QProgressBar>("pbConversion");
    EXPECT_EQ(Control<QLabel>("lblOutcome")->text(), c.outcome);
    EXPECT_EQ(bar->property("failed").toBool(), !c.bar.isEmpty());
    EXPECT_EQ(bar->isTextVisible(), !c.bar.isEmpty());
    if (!c.bar.isEmpty()) {
      EXPECT_EQ(bar->format(), c.bar);
      EXPECT_EQ(Control<QLabel>("lblOutcome")->toolTip(), "Failed:\n" + missing);
      EXPECT_TRUE(Control<QPlainTextEdit>("Memo1")->toPlainText().contains("Extraction Failed for " + missing + "\n"));
    }
    EXPECT_EQ(bar->value(), bar->maximum());
    QTest::mouseClick(Control<QPushButton>("btnOpenFolder"), Qt::LeftButton);
    EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(c.opened)});
    catcher.opened.clear();

    QTest::mouseClick(Start(), Qt::LeftButton);  // Done
    EXPECT_FALSE(bar->property("failed").toBool());
    EXPECT_EQ(Control<QLabel>("lblOutcome")->text(), "");
    QTest::mouseClick(Control<QPushButton>("btnClearFiles"), Qt::LeftButton);
  }
  QDesktopServices::unsetUrlHandler("file");
}

// The log shows its last 10,000 lines and says how many it leaves out; Save Log saves every line.
TEST_F(MainWindowTest, LogShowsItsLastLinesAndSaveLogSavesThemAll) {
  const QString rows = QString::fromStdString(temp.Write("rows.html", RowsTable(12000)));
  DropFiles({rows});
  Path()->setText(QString::fromStdString((temp.Path() / "out").string()));
  QTest::mouseClick(Start(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 60000));

  const std::string rule(94, '-');
  std::string expected = rule + "\nAnalysing     : " + rows.toStdString() + "\nTable count : 1\n";
  for (int row = 0; row < 12000; ++row) expected += "\"row " + std::to_string(row) + "\"\n";
  expected += "\nExtraction Complete for " + rows.toStdString() + "\n" + rule + "\n";
  // 12,006 lines, of which the last 10,000 are shown.
  QTextDocument* shown = Control<QPlainTextEdit>("Memo1")->document();
  ASSERT_EQ(shown->blockCount(), 10001);
  EXPECT_EQ(shown->firstBlock().text(), "\u2026 2,006 earlier lines not shown: File > Save Log saves them all");
  EXPECT_EQ(shown->findBlockByNumber(1).text(), "\"row 2003\"");
  EXPECT_EQ(shown->lastBlock().text(), QString::fromStdString(rule));

  const QString folder = QString::fromStdString(temp.Path().string());
  test::AnswerNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(folder);
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(folder + "/job.log");
    static_cast<QDialog*>(dialog)->accept();
  });
  window.findChild<QAction*>("SaveLog1")->trigger();
  EXPECT_EQ(test::ReadFile(temp.Path() / "job.log"), expected);
}

// The output settings and the window's size come back in a new window; each mode remembers its path.
TEST_F(MainWindowTest, SettingsComeBackInANewWindow) {
  const QString folder = QString::fromStdString(temp.Path().string()) + "/";
  const QString target = folder + "all.csv";
  Path()->setText(folder);
  ClickBox(Control<QCheckBox>("chkTrimCellValues"));
  Control<QComboBox>("cmbFormat")->setCurrentIndex(2);
  window.resize(700, 520);
  window.close();
  {
    TfrmMain second;
    EXPECT_EQ(second.findChild<QLineEdit*>("txtOutputCSVPath")->text(), folder);
    EXPECT_TRUE(second.findChild<QCheckBox*>("chkTrimCellValues")->isChecked());
    EXPECT_FALSE(second.findChild<QCheckBox*>("chkAppendFiles")->isChecked());
    EXPECT_EQ(second.findChild<QComboBox*>("cmbFormat")->currentIndex(), 2);
    EXPECT_EQ(second.size(), QSize(700, 520));
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    ClickBox(second.findChild<QCheckBox*>("chkAppendFiles"));
    EXPECT_EQ(second.findChild<QLineEdit*>("txtOutputCSVPath")->text(), "") << "the Append box still empties the path";
    second.findChild<QLineEdit*>("txtOutputCSVPath")->setText(target);
    second.close();
  }
  TfrmMain third;
  EXPECT_TRUE(third.findChild<QCheckBox*>("chkAppendFiles")->isChecked());
  EXPECT_EQ(third.findChild<QLineEdit*>("txtOutputCSVPath")->text(), target);
  EXPECT_TRUE(third.findChild<QCheckBox*>("chkTrimCellValues")->isChecked());
  Control<QComboBox>("cmbFormat")->setCurrentIndex(0);
}

// A finished job leaves its files in the list, and in the queue, for another run; Delete removes the
// selected ones.
TEST_F(MainWindowTest, FinishedJobKeepsItsFilesAndDeleteRemovesThem) {
  const QStringList dropped = {kData + "/one-table.html", kData + "/no-tables.html"};
  DropFiles(dropped);
  Path()->setText(QString::fromStdString(temp.Path().string()));
  QTest::mouseClick(Start(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));
  EXPECT_EQ(ListTexts(), dropped);
  EXPECT_EQ(QueueTexts(), (QStringList{kData + "/no-tables.html", kData + "/one-table.html"}));
  QTest::mouseClick(Start(), Qt::LeftButton);  // Done
  EXPECT_EQ(ListTexts(), dropped);

  fs::remove(temp.Path() / "one-table.html.xls");
  QTest::mouseClick(Start(), Qt::LeftButton);  // runs again
  ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == "&Done"; }, 20000));
  EXPECT_TRUE(fs::exists(temp.Path() / "one-table.html.xls"));
  QTest::mouseClick(Start(), Qt::LeftButton);

  List()->setFocus();
  List()->item(0)->setSelected(true);
  QTest::keyClick(List(), Qt::Key_Delete);
  EXPECT_EQ(ListTexts(), QStringList{kData + "/no-tables.html"});
  EXPECT_EQ(QueueTexts(), QStringList{kData + "/no-tables.html"});
}

// The window grows and shrinks: the input list and the log take the difference, the right-hand
// buttons keep to the right edge, and at the smallest size every control is still in the window.
TEST_F(MainWindowTest, ResizingGrowsTheListAndTheLogAndKeepsButtonsRight) {
  const char* rightButtons[] = {"btnAddFiles", "btnDeleteSelected", "btnClearFiles", "btnBrowse", "Button1",
                                "btnStop", "btnOpenFolder"};
  QWidget* client = window.centralWidget();
  auto rightGap = [&](const char* name) {
    QWidget* button = Control<QWidget>(name);
    return client->width() - (button->mapTo(client, QPoint(button->width(), 0)).x());
  };
  std::map<std::string, int> gaps;
  for (const char* name : rightButtons) gaps[name] = rightGap(name);
  const QSize list = List()->size();
  auto* memo = Control<QPlainTextEdit>("Memo1");
  const QSize log = memo->size();
  const int menu = window.menuBar()->height();
  struct TCase {
    QSize client;
    int listGrows;  // in height; the width grows as the window does
  };
  const std::vector<TCase> cases = {{{624, 422}, 0}, {{1000, 700}, 278}, {{700, 422}, 0}, {{624, 340}, 0},
                                    {{600, 322}, -11}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.client.width()) + "x" + std::to_string(c.client.height()));
    window.resize(c.client.width(), c.client.height() + menu);
    QCoreApplication::processEvents();
    ASSERT_EQ(client->size(), c.client);
    const int wider = c.client.width() - 624;
    EXPECT_EQ(List()->size(), QSize(list.width() + wider, list.height() + c.listGrows));
    EXPECT_EQ(memo->size(), QSize(log.width() + wider, log.height() + c.listGrows));
    for (const char* name : rightButtons) EXPECT_EQ(rightGap(name), gaps[name]) << name;
    // Every control lies inside the window, below the banner's remains, and no two buttons overlap.
    std::vector<QRect> buttons;
    for (QWidget* control : client->findChildren<QWidget*>()) {
      const QString name = control->objectName();
      if (control->isHidden() || name.isEmpty() || name.startsWith("qt_") || name == "ImgTop") continue;
      const QRect place(control->mapTo(client, QPoint(0, 0)), control->size());
      EXPECT_TRUE(client->rect().contains(place)) << control->objectName().toStdString();
      if (qobject_cast<QPushButton*>(control)) buttons.push_back(place);
    }
    for (std::size_t i = 0; i < buttons.size(); ++i)
      for (std::size_t j = i + 1; j < buttons.size(); ++j) EXPECT_FALSE(buttons[i].intersects(buttons[j]));
  }
  EXPECT_EQ(window.minimumSize(), QSize(600, 322 + menu));
}

// On opening, the window fits the screen: at 200% on a 1280x800 screen the screen is 640x400.
TEST(FitToScreen, ShrinksToTheScreenAndMovesOntoIt) {
  const QSize minimum(608, 380);
  struct TCase {
    QRect wanted, available, fitted;
  };
  const std::vector<TCase> cases = {
      {{100, 100, 632, 480}, {0, 0, 1280, 800}, {100, 100, 632, 480}},  // fits as it is
      {{0, 0, 632, 480}, {0, 0, 640, 400}, {0, 0, 632, 400}},          // shorter
      {{-50, 300, 632, 480}, {0, 0, 1280, 800}, {0, 300, 632, 480}},    // moved on from the left
      {{900, 600, 632, 480}, {0, 24, 1280, 776}, {648, 320, 632, 480}}, // moved up and left
      {{0, 0, 632, 480}, {0, 0, 500, 300}, {0, 0, 608, 380}},          // never below the minimum
  };
  for (const TCase& c : cases) EXPECT_EQ(FitToScreen(c.wanted, c.available, minimum), c.fitted);
}

}  // namespace
}  // namespace corvane
