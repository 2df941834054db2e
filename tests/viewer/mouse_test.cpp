#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "layout/section.h"
#include "viewer/html_view.h"
#include "shown_view.h"

namespace corvane {
namespace {

// A page of a paragraph, a table of two rows, links and enough paragraphs to scroll.
std::string Page() {
  std::string html =
      "<p>alpha beta gamma</p><table border=1><tr><td>a1</td><td>b1</td></tr><tr><td>a2</td><td>b2</td></tr>"
      "</table><p><a href=\"#far\" title=\"Far away\">to far</a> <a href=\"missing.html\">gone</a></p>";
  for (int i = 0; i < 80; ++i) html += "<p>line " + std::to_string(i) + "</p>";
  return html + "<p id=far>far</p>";
}

class MouseTest : public test::TShownView {
 protected:
  void SetUp() override {
    TShownView::SetUp();
    view.LoadFromStrings({Page()}, "mouse.html");
    QApplication::processEvents();
  }
  QWidget* Panel() { return view.PaintPanel(); }
  // The document index of the first character of text (searched in the whole document).
  int IndexOf(std::u16string_view text) {
    std::vector<TSection*> sections;
    view.Document().CollectSections(sections);
    for (TSection* section : sections)
      if (const std::size_t at = section->Text().find(text); at != std::u16string::npos)
        return section->FirstCharIndex + static_cast<int>(at);
    ADD_FAILURE() << "no such text";
    return -1;
  }
  // A panel point inside the character at index.
  QPoint PointOf(int index) {
    int x = 0, y = 0;
    EXPECT_TRUE(view.Document().CharIndexToXYRoot(index, x, y));
    return QPoint(x + 2, y + 4 - view.Document().YOffset());
  }
  QPoint PointOf(std::u16string_view text) { return PointOf(IndexOf(text)); }
  void Move(QPoint point, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent event(QEvent::MouseMove, point, Panel()->mapToGlobal(point), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(Panel(), &event);
  }
};

TEST_F(MouseTest, DraggingSelectsAndShiftClickExtendsFromTheCaret) {
  const int alpha = IndexOf(u"alpha"), gamma = IndexOf(u"gamma");
  QTest::mousePress(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(alpha));
  Move(PointOf(gamma), Qt::LeftButton);
  QTest::mouseRelease(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(gamma));
  EXPECT_EQ(view.SelStart(), alpha);
  EXPECT_EQ(view.SelLength(), gamma - alpha);
  EXPECT_EQ(view.CaretPos(), gamma);

  // A click collapses the selection and moves the caret; Shift-click selects from the caret.
  QTest::mouseClick(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(alpha + 2));
  EXPECT_EQ(view.SelLength(), 0);
  EXPECT_EQ(view.CaretPos(), alpha + 2);
  QTest::mouseClick(Panel(), Qt::LeftButton, Qt::ShiftModifier, PointOf(gamma + 1));
  EXPECT_EQ(view.SelStart(), alpha + 2);
  EXPECT_EQ(view.SelLength(), gamma + 1 - (alpha + 2));

  view.SetNoSelect(true);
  QTest::mousePress(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(alpha));
  Move(PointOf(gamma), Qt::LeftButton);
  QTest::mouseRelease(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(gamma));
  EXPECT_EQ(view.SelLength(), 0) << "NoSelect";
}

TEST_F(MouseTest, DoubleClickSelectsExactlyTheWord) {
  const int beta = IndexOf(u"beta");
  QTest::mouseDClick(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(beta + 2));
  EXPECT_EQ(view.SelStart(), beta);
  EXPECT_EQ(view.SelLength(), 4);
  EXPECT_EQ(view.CaretPos(), beta);
}

TEST_F(MouseTest, CopyPutsTableCellsOnTheClipboardAsTabsAndLines) {
  QTest::mousePress(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(u"a1"));
  // To the first character after the table.
  const QPoint end = PointOf(u"to far");
  Move(end, Qt::LeftButton);
  QTest::mouseRelease(Panel(), Qt::LeftButton, Qt::NoModifier, end);
  QApplication::clipboard()->clear();
  QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QString("a1\tb1\na2\tb2"));
}

TEST_F(MouseTest, LinksShowTheHandAndAreFollowed) {
  std::vector<std::string> covered;
  view.OnHotSpotCovered = [&](const std::string& url) { covered.push_back(url); };
  const QPoint link = PointOf(u"to far");
  Move(link);
  EXPECT_EQ(Panel()->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(view.HoverUrl(), "#far");
  EXPECT_EQ(view.HoverTitle(), "Far away");
  Move(PointOf(u"alpha"));
  EXPECT_EQ(Panel()->cursor().shape(), view.cursor().shape()) << "over text";
  Move(QPoint(530, 2));
  EXPECT_EQ(Panel()->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(covered, (std::vector<std::string>{"#far", ""}));

  // A click follows the link within the page, even with selection switched off.
  view.SetNoSelect(true);
  QTest::mouseClick(Panel(), Qt::LeftButton, Qt::NoModifier, link);
  EXPECT_GT(view.Position(), 0);

  // A page that is not there is reported, not thrown out of the mouse handler.
  view.ScrollToY(0);
  std::vector<QString> errors;
  view.OnLinkError = [&](const QString& message) { errors.push_back(message); };
  QTest::mouseClick(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(u"gone"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].startsWith("Can't locate file: /")) << errors[0].toStdString();
  EXPECT_TRUE(errors[0].endsWith("/missing.html")) << errors[0].toStdString();

  std::vector<std::string> clicked;
  view.OnHotSpotClick = [&](const std::string& url) {
    clicked.push_back(url);
    return true;
  };
  QTest::mouseClick(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(u"gone"));
  EXPECT_EQ(clicked, std::vector<std::string>{"missing.html"});
  EXPECT_EQ(errors.size(), 1u) << "the handler took the click";
}

TEST_F(MouseTest, AnImageMapAreaIsALink) {
  std::string page = "<p><img src=none.gif width=100 height=50 usemap=#m></p>"
                     "<map name=m><area shape=rect coords=0,0,50,50 href=#far title=\"Left half\"></map>";
  for (int i = 0; i < 80; ++i) page += "<p>line " + std::to_string(i) + "</p>";
  view.LoadFromStrings({page + "<p id=far>far</p>"}, "map.html");
  QApplication::processEvents();
  view.PaintPanel()->repaint();
  // The picture's top left: the body's margins, 10 and 5, and the paragraph's space above.
  TObjectAtPoint object;
  QPoint image;
  for (int y = 0; y < 80 && !object.Object; ++y)
    if (view.Document().ObjectAt(20, y, object)) image = QPoint(20 - object.IX, y - object.IY);
  ASSERT_NE(object.Object, nullptr);
  Move(image + QPoint(10, 10));
  EXPECT_EQ(view.HoverUrl(), "#far");
  EXPECT_EQ(Panel()->cursor().shape(), Qt::PointingHandCursor);
  Move(image + QPoint(80, 10));
  EXPECT_EQ(view.HoverUrl(), "") << "the right half is no area";
  QTest::mouseClick(Panel(), Qt::LeftButton, Qt::NoModifier, image + QPoint(10, 10));
  EXPECT_GT(view.Position(), 0);
}

TEST_F(MouseTest, LinksAreFoundWhenThePageIsScrolledSideways) {
  view.LoadFromStrings({"<table width=2000><tr><td>wide</td></tr></table>"
                        "<p style=\"margin-left: 700px\"><a href=\"#x\">far right</a></p>"},
                       "wide.html");
  view.HScrollBar()->setValue(500);
  view.PaintPanel()->repaint();
  const QPoint link = PointOf(u"far right");
  ASSERT_GT(link.x(), 0);
  ASSERT_LT(link.x(), Panel()->width());
  Move(link);
  EXPECT_EQ(view.HoverUrl(), "#x");
}

TEST_F(MouseTest, AFailureInAHandlerIsShownNotThrown) {
  view.OnHotSpotClick = [](const std::string&) -> bool { throw std::runtime_error("the host failed"); };
  // Answers the message box whenever it comes up.
  QString shown;
  QTimer answer;
  answer.setInterval(20);
  QObject::connect(&answer, &QTimer::timeout, [&shown] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->close();
    }
  });
  answer.start();
  QTest::mouseClick(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(u"gone"));
  EXPECT_EQ(shown, "the host failed");
  view.OnHotSpotClick = nullptr;
  QTest::mouseClick(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(u"to far"));
  EXPECT_GT(view.Position(), 0) << "the view goes on";
}

TEST_F(MouseTest, DraggingPastTheBottomScrollsOnATimer) {
  QTest::mousePress(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(u"alpha"));
  // Just below the panel: a line at a time; further below: eight lines.
  Move(QPoint(50, Panel()->height() + 5), Qt::LeftButton);
  EXPECT_TRUE(view.AutoScrolling());
  EXPECT_TRUE(QTest::qWaitFor([this] { return view.Position() > 0; }, 3000));
  const int slow = view.Position();
  EXPECT_EQ(slow % 16, 0);
  Move(QPoint(50, Panel()->height() + 40), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.Position() > slow; }, 3000));
  EXPECT_GE(view.Position() - slow, 128);
  EXPECT_GT(view.SelLength(), 0) << "the selection follows";
  QTest::mouseRelease(Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(50, Panel()->height() + 40));
  EXPECT_FALSE(view.AutoScrolling());
  const int stopped = view.Position();
  QTest::qWait(150);
  EXPECT_EQ(view.Position(), stopped);
}

TEST_F(MouseTest, AMiddleDragScrollsUntilThePointerComesBack) {
  QTest::mousePress(Panel(), Qt::MiddleButton, Qt::NoModifier, QPoint(100, 100));
  QTest::mouseRelease(Panel(), Qt::MiddleButton, Qt::NoModifier, QPoint(100, 100));
  EXPECT_TRUE(view.DragScrolling());
  Move(QPoint(100, 170));
  EXPECT_TRUE(QTest::qWaitFor([this] { return view.Position() > 0; }, 3000));
  const int moved = view.Position();
  EXPECT_EQ(moved % 32, 0);
  Move(QPoint(100, 110));
  EXPECT_TRUE(QTest::qWaitFor([this] { return !view.AutoScrolling(); }, 3000));
  const int still = view.Position();
  QTest::qWait(150);
  EXPECT_EQ(view.Position(), still);
  QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_FALSE(view.DragScrolling()) << "a key ends it";
}

TEST_F(MouseTest, ALoadDuringAutoScrollLeavesNothingRunning) {
  QTest::mousePress(Panel(), Qt::LeftButton, Qt::NoModifier, PointOf(u"alpha"));
  Move(QPoint(50, Panel()->height() + 40), Qt::LeftButton);
  ASSERT_TRUE(view.AutoScrolling());
  // A timer that loads another page in the middle of the drag, as a host might.
  QTimer::singleShot(120, &view, [this] { view.LoadFromStrings({"<p>short</p>"}, "other.html"); });
  QTest::qWait(350);
  EXPECT_FALSE(view.AutoScrolling());
  EXPECT_EQ(view.Position(), 0) << "a short page cannot scroll";
  QTest::mouseRelease(Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
}

}  // namespace
}  // namespace corvane
