// The page window of `corvane view` on an offscreen display: its history, title, find bar, zoom, reload
// and the keys that close it.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/view_window.h"
#include "layout/section.h"
#include "modal_answer.h"
#include "viewer/html_view.h"

namespace corvane {
namespace {

std::string Lines(const std::string& word, int count) {
  std::string html;
  for (int i = 0; i < count; ++i) html += "<p>" + word + " " + std::to_string(i) + "</p>";
  return html;
}

class ViewWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    Write("first.html", "<title>First</title>" + Lines("a", 30) +
                            "<p><a href=\"second.html\">to second</a> <a href=\"#end\">to end</a></p>" +
                            Lines("b", 60) + "<p id=end>end one</p>");
    Write("second.html", Lines("c", 80) + "<p>one two one</p>");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  std::string Path(const std::string& name) const { return folder.filePath(QString::fromStdString(name)).toStdString(); }
  void Write(const std::string& name, const std::string& text) {
    QFile file(QString::fromStdString(Path(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
  }
  THtmlView& View() { return window.View(); }
  QWidget* Panel() { return View().PaintPanel(); }
  int IndexOf(std::u16string_view text) {
    std::vector<TSection*> sections;
    View().Document().CollectSections(sections);
    for (TSection* section : sections)
      if (const std::size_t at = section->Text().find(text); at != std::u16string::npos)
        return section->FirstCharIndex + static_cast<int>(at);
    ADD_FAILURE() << "no such text";
    return -1;
  }
  // Scrolls the text into view and clicks it; answers the position the view had at the click.
  int Click(std::u16string_view text) {
    int x = 0, y = 0;
    EXPECT_TRUE(View().Document().CharIndexToXYRoot(IndexOf(text), x, y));
    if (y < View().Position() || y + 20 > View().Position() + Panel()->height()) View().ScrollToY(y - 40);
    Panel()->repaint();
    EXPECT_TRUE(View().Document().CharIndexToXYRoot(IndexOf(text), x, y));
    const int position = View().Position();
    QTest::mouseClick(Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(x + 2, y + 4 - position));
    return position;
  }
  void SideButton(QWidget* widget, Qt::MouseButton button) {
    const QPoint at(20, 20);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
  }
  // Runs act and answers the message box it shows; returns the message.
  QString MessageOf(const std::function<void()>& act) {
    QString text;
    test::AnswerNextModal([&text](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      text = box->text();
      box->accept();
    });
    act();
    return text;
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClick(focused ? focused : &window, static_cast<Qt::Key>(key), modifiers);
  }

  QTemporaryDir folder;
  TViewWindow window;
};

TEST_F(ViewWindowTest, LinksEnterTheHistoryAndEveryWayBackRestoresThePlace) {
  std::string error;
  ASSERT_TRUE(window.Open(Path("first.html"), error)) << error;
  EXPECT_EQ(window.windowTitle(), "First - CORVANE");
  EXPECT_FALSE(window.BackAction()->isEnabled());
  // The link under the mouse shows in the status bar until the mouse leaves it.
  auto move = [&](QPoint point) {
    QMouseEvent event(QEvent::MouseMove, point, Panel()->mapToGlobal(point), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Panel(), &event);
  };
  int x = 0, y = 0;
  ASSERT_TRUE(View().Document().CharIndexToXYRoot(IndexOf(u"to end"), x, y));
  View().ScrollToY(y - 40);
  Panel()->repaint();
  ASSERT_TRUE(View().Document().CharIndexToXYRoot(IndexOf(u"to end"), x, y));
  ASSERT_GT(y - View().Position(), 0);
  move(QPoint(x + 2, y + 4 - View().Position()));
  EXPECT_EQ(window.statusBar()->currentMessage(), "#end");
  move(QPoint(Panel()->width() - 5, 2));
  EXPECT_EQ(window.statusBar()->currentMessage(), "");

  const int firstPlace = Click(u"to second");
  ASSERT_GT(firstPlace, 0);
  EXPECT_EQ(View().DocumentName(), Path("second.html"));
  EXPECT_EQ(window.windowTitle(), "second.html - CORVANE");
  EXPECT_EQ(View().Position(), 0);
  EXPECT_EQ(window.HistoryCount(), 2);
  EXPECT_TRUE(window.BackAction()->isEnabled());
  EXPECT_FALSE(window.ForwardAction()->isEnabled());
  View().ScrollToY(150);

  struct TWay {
    const char* Name;
    std::function<void()> Back, Forward;
  } const ways[] = {
      {"Alt+Left and Alt+Right", [&] { Key(Qt::Key_Left, Qt::AltModifier); },
       [&] { Key(Qt::Key_Right, Qt::AltModifier); }},
      {"the side buttons on the page", [&] { SideButton(Panel(), Qt::BackButton); },
       [&] { SideButton(Panel(), Qt::ForwardButton); }},
      {"the side buttons on the window", [&] { SideButton(&window, Qt::BackButton); },
       [&] { SideButton(&window, Qt::ForwardButton); }},
      {"the Go menu", [&] { window.BackAction()->trigger(); }, [&] { window.ForwardAction()->trigger(); }},
  };
  for (const TWay& way : ways) {
    way.Back();
    EXPECT_EQ(View().DocumentName(), Path("first.html")) << way.Name;
    EXPECT_EQ(View().Position(), firstPlace) << way.Name;
    EXPECT_EQ(window.windowTitle(), "First - CORVANE") << way.Name;
    EXPECT_FALSE(window.BackAction()->isEnabled()) << way.Name;
    EXPECT_TRUE(window.ForwardAction()->isEnabled()) << way.Name;
    way.Back();  // nothing further back
    EXPECT_EQ(View().DocumentName(), Path("first.html")) << way.Name;
    way.Forward();
    EXPECT_EQ(View().DocumentName(), Path("second.html")) << way.Name;
    EXPECT_EQ(View().Position(), 150) << way.Name;
    EXPECT_EQ(window.windowTitle(), "second.html - CORVANE") << way.Name;
  }

  // A jump within the page is a step too; a new link drops the steps ahead.
  window.GoBack();
  Click(u"to end");
  const int endPlace = View().Position();
  EXPECT_GT(endPlace, firstPlace);
  EXPECT_EQ(window.HistoryCount(), 2) << "second.html is no longer ahead";
  window.GoBack();
  EXPECT_EQ(View().Position(), firstPlace);
  window.GoForward();
  EXPECT_EQ(View().Position(), endPlace);
  EXPECT_EQ(View().DocumentName(), Path("first.html"));
}

TEST_F(ViewWindowTest, TheTitleFollowsThePage) {
  struct TCase {
    const char* File;
    std::string Html;
    QString Title;
  } const cases[] = {
      {"titled.html", "<title>Prices 2024</title><p>x</p>", "Prices 2024 - CORVANE"},
      {"untitled.html", "<p>x</p>", "untitled.html - CORVANE"},
      {"blank title.htm", "<title>  </title><p>x</p>", "blank title.htm - CORVANE"},
      {"notes.txt", "<title>not a title</title>", "notes.txt - CORVANE"},
  };
  for (const TCase& c : cases) {
    Write(c.File, c.Html);
    ASSERT_TRUE(window.OpenPage(Path(c.File)));
    EXPECT_EQ(window.windowTitle(), c.Title);
  }
  EXPECT_EQ(window.HistoryCount(), 4);
}

TEST_F(ViewWindowTest, TheFindBarSearchesAsTypedAndBothWays) {
  ASSERT_TRUE(window.OpenPage(Path("second.html")));
  EXPECT_FALSE(window.FindBarShown());
  Key(Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(window.FindBarShown());
  EXPECT_EQ(QApplication::focusWidget(), window.FindEdit());
  EXPECT_EQ(window.FindEdit()->objectName(), "txtFind");
  const int first = IndexOf(u"one two one"), second = first + 8;

  struct TStep {
    const char* Name;
    std::function<void()> Act;
    int Start, Length;  // -1: not found
  } const steps[] = {
      {"typed o", [&] { QTest::keyClick(window.FindEdit(), Qt::Key_O); }, first, 1},
      {"typed on", [&] { QTest::keyClick(window.FindEdit(), Qt::Key_N); }, first, 2},
      {"typed one", [&] { QTest::keyClick(window.FindEdit(), Qt::Key_E); }, first, 3},
      {"Enter", [&] { Key(Qt::Key_Return); }, second, 3},
      {"Enter wraps", [&] { Key(Qt::Key_Return); }, first, 3},
      {"Shift+Enter wraps back", [&] { Key(Qt::Key_Return, Qt::ShiftModifier); }, second, 3},
      {"Shift+F3", [&] { Key(Qt::Key_F3, Qt::ShiftModifier); }, first, 3},
      {"F3", [&] { Key(Qt::Key_F3); }, second, 3},
      {"typed onex", [&] { QTest::keyClick(window.FindEdit(), Qt::Key_X); }, -1, 0},
      {"Backspace", [&] { QTest::keyClick(window.FindEdit(), Qt::Key_Backspace); }, second, 3},
  };
  for (const TStep& step : steps) {
    step.Act();
    if (step.Start < 0) {
      EXPECT_EQ(View().SelLength(), 0) << step.Name;
      EXPECT_EQ(window.FindStatus()->text(), "Not found") << step.Name;
      EXPECT_FALSE(window.FindEdit()->styleSheet().isEmpty()) << step.Name;
      continue;
    }
    EXPECT_EQ(View().SelStart(), step.Start) << step.Name;
    EXPECT_EQ(View().SelLength(), step.Length) << step.Name;
    EXPECT_EQ(window.FindStatus()->text(), "") << step.Name;
    EXPECT_TRUE(window.FindEdit()->styleSheet().isEmpty()) << step.Name;
    // The match, at the foot of a long page, is scrolled into view.
    int x = 0, y = 0;
    ASSERT_TRUE(View().Document().CharIndexToXYRoot(step.Start, x, y));
    EXPECT_GE(y, View().Position()) << step.Name;
    EXPECT_LE(y + 20, View().Position() + Panel()->height()) << step.Name;
  }

  // Esc closes the find bar first, then the window.
  Key(Qt::Key_Escape);
  EXPECT_FALSE(window.FindBarShown());
  EXPECT_TRUE(window.isVisible());
  Key(Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(ViewWindowTest, ZoomStepsByKeysAndStaysAcrossLinks) {
  ASSERT_TRUE(window.OpenPage(Path("first.html")));
  EXPECT_EQ(TViewWindow::ZoomSteps(),
            (std::vector<double>{0.5, 0.67, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}));
  const int height = View().DocumentHeight();
  struct TStep {
    Qt::Key Key;
    int Times;
    double Zoom;
  } const steps[] = {
      {Qt::Key_Equal, 1, 1.1}, {Qt::Key_Plus, 1, 1.25}, {Qt::Key_Minus, 1, 1.1}, {Qt::Key_0, 1, 1.0},
      {Qt::Key_Minus, 3, 0.67}, {Qt::Key_Minus, 3, 0.5},  // stops at the smallest
      {Qt::Key_Plus, 20, 3.0},                             // and at the largest
      {Qt::Key_0, 1, 1.0},      {Qt::Key_Plus, 5, 2.0},
  };
  for (const TStep& step : steps) {
    for (int i = 0; i < step.Times; ++i) Key(step.Key, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(window.Zoom(), step.Zoom) << step.Key << " x" << step.Times;
    EXPECT_DOUBLE_EQ(View().Document().Defaults().Size, 12 * step.Zoom) << step.Key << " x" << step.Times;
  }
  EXPECT_GT(View().DocumentHeight(), height * 3 / 2);
  EXPECT_EQ(window.statusBar()->currentMessage(), "Zoom 200%");
  Click(u"to second");
  EXPECT_EQ(View().DocumentName(), Path("second.html"));
  EXPECT_DOUBLE_EQ(View().Document().Defaults().Size, 24.0);
  window.GoBack();
  EXPECT_DOUBLE_EQ(View().Document().Defaults().Size, 24.0);
}

TEST_F(ViewWindowTest, ReloadKeepsThePlaceAndAFailedLoadKeepsThePage) {
  ASSERT_TRUE(window.OpenPage(Path("first.html")));
  View().ScrollToY(300);
  Write("first.html", "<title>Changed</title>" + Lines("z", 100));
  Key(Qt::Key_F5);
  EXPECT_EQ(window.windowTitle(), "Changed - CORVANE");
  EXPECT_EQ(View().Position(), 300);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor is given back";

  QFile::remove(QString::fromStdString(Path("first.html")));
  EXPECT_EQ(MessageOf([&] { Key(Qt::Key_F5); }), QString::fromStdString("Can't locate file: " + Path("first.html")));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "given back after a failure too";
  EXPECT_EQ(window.windowTitle(), "Changed - CORVANE");
  EXPECT_EQ(View().Position(), 300);
  EXPECT_NE(IndexOf(u"z 99"), -1);

  EXPECT_EQ(MessageOf([&] { window.OpenPage(Path("none.html")); }),
            QString::fromStdString("Can't locate file: " + Path("none.html")));
  EXPECT_EQ(window.HistoryCount(), 1);
  EXPECT_EQ(window.windowTitle(), "Changed - CORVANE");

  // Ctrl+O asks for a page and opens it.
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  test::AnswerNextModal([this](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"HTML files (*.html *.htm)", "All files (*)"}));
    dialog->setDirectory(folder.path());
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(Path("second.html")));
    static_cast<QDialog*>(dialog)->accept();
  });
  Key(Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(View().DocumentName(), Path("second.html"));
  EXPECT_EQ(window.HistoryCount(), 2);
}

// File > Print Preview shows the page's pages; File > Export PDF writes them where the user says.
TEST_F(ViewWindowTest, ThePagePrintsIntoThePreviewAndAPdf) {
  Write("long.html", "<title>Long</title>" + Lines("line", 400));
  ASSERT_TRUE(window.OpenPage(Path("long.html")));
  auto* preview = window.findChild<QAction*>("PrintPreview1");
  auto* pdf = window.findChild<QAction*>("ExportPdf1");
  ASSERT_NE(preview, nullptr);
  ASSERT_NE(pdf, nullptr);
  EXPECT_EQ(window.findChild<QAction*>("Print1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

  int pages = 0;
  test::AnswerNextModal([&pages](QWidget* modal) {
    auto* dialog = qobject_cast<QPrintPreviewDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    if (auto* widget = dialog->findChild<QPrintPreviewWidget*>()) pages = widget->pageCount();
    dialog->reject();
  });
  preview->trigger();
  EXPECT_GT(pages, 1);

  test::AnswerNextModal([this](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters(), QStringList{"PDF file (*.pdf)"});
    dialog->setDirectory(folder.path());
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(Path("long")));
    static_cast<QDialog*>(dialog)->accept();
  });
  pdf->trigger();
  QFile written(QString::fromStdString(Path("long.pdf")));
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  const QByteArray bytes = written.readAll();
  EXPECT_TRUE(bytes.startsWith("%PDF-"));
  EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page "), pages) << "as many pages as the preview";
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ViewWindowTest, CtrlWClosesTheWindow) {
  ASSERT_TRUE(window.OpenPage(Path("second.html")));
  Key(Qt::Key_W, Qt::ControlModifier);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace corvane
