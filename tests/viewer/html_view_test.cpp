// The viewer control on an offscreen display: which scroll bars it shows, the width it lays the
// document out at, scrolling by keys and wheel, keeping its place, and what it paints.
#include "viewer/html_view.h"
#include "shown_view.h"

#include "../images/gif_writer.h"
#include "images/image_cache.h"
#include "layout/image_obj.h"
#include "layout/section.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

std::string Paragraphs(int count) {
  std::string html;
  for (int i = 0; i < count; ++i) html += "<p id=p" + std::to_string(i) + ">line " + std::to_string(i) + "</p>";
  return html;
}

class HtmlViewTest : public test::TShownView {
 protected:
  void Wheel(int delta) {
    QWheelEvent event(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &event);
  }
  int MaxY() const { return view.DocumentHeight() - view.PaintPanel()->height(); }

};

TEST_F(HtmlViewTest, ScrollBarsAppearOnlyWhenNeeded) {
  struct TCase {
    std::string Html;
    bool Vertical, Horizontal;
  } const cases[] = {
      {"<table><tr><td>short</table>", false, false},
      {Paragraphs(100), true, false},
      {"<table width=2000><tr><td>wide</table>", false, true},
      {"<table width=2000><tr><td>wide</table>" + Paragraphs(100), true, true},
  };
  for (const TCase& c : cases) {
    view.LoadFromString(c.Html, "doc");
    EXPECT_EQ(view.VScrollBar()->isVisible(), c.Vertical) << c.Html.substr(0, 40);
    EXPECT_EQ(view.HScrollBar()->isVisible(), c.Horizontal) << c.Html.substr(0, 40);
    // The document is laid out at the width the bar leaves, and the panel takes that width.
    const int width = 543 - 2 - (c.Vertical ? view.BarThickness() : 0);
    if (!c.Horizontal) {
      EXPECT_EQ(view.Document().LayoutWidth(), width) << c.Html.substr(0, 40);
    }
    EXPECT_EQ(view.PaintPanel()->width(), width);
    EXPECT_EQ(view.PaintPanel()->height(), 435 - 2 - (c.Horizontal ? view.BarThickness() : 0));
  }
  // Cleared: no bars, and the panel shows its background only.
  view.Clear();
  EXPECT_FALSE(view.VScrollBar()->isVisible());
  EXPECT_FALSE(view.HScrollBar()->isVisible());
  const QImage blank = view.PaintPanel()->grab().toImage();
  for (int y = 0; y < blank.height(); y += 7)
    for (int x = 0; x < blank.width(); x += 7) ASSERT_EQ(blank.pixelColor(x, y), QColor(Qt::white)) << x << "," << y;
}

TEST_F(HtmlViewTest, KeysScroll) {
  view.LoadFromString("<table width=2000><tr><td>wide</table>" + Paragraphs(100), "doc");
  const int page = view.PaintPanel()->height() - 16;
  struct TStep {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    int Y, X;
  } const steps[] = {
      {Qt::Key_Down, Qt::NoModifier, 16, 0},        {Qt::Key_Down, Qt::NoModifier, 32, 0},
      {Qt::Key_Up, Qt::NoModifier, 16, 0},          {Qt::Key_PageDown, Qt::NoModifier, 16 + page, 0},
      {Qt::Key_Down, Qt::ShiftModifier, 16 + page, 0}, {Qt::Key_End, Qt::NoModifier, -1, 0},
      {Qt::Key_PageUp, Qt::NoModifier, -2, 0},      {Qt::Key_Home, Qt::NoModifier, 0, 0},
      {Qt::Key_Up, Qt::NoModifier, 0, 0},           {Qt::Key_Right, Qt::NoModifier, 0, 15},
      {Qt::Key_Right, Qt::NoModifier, 0, 30},       {Qt::Key_Left, Qt::NoModifier, 0, 15},
  };
  for (const TStep& step : steps) {
    QTest::keyClick(&view, step.Key, step.Modifiers);
    const int y = step.Y == -1 ? MaxY() : step.Y == -2 ? MaxY() - page : step.Y;
    EXPECT_EQ(view.Position(), y) << step.Key;
    EXPECT_EQ(view.Document().YOffset(), y) << step.Key;
    EXPECT_EQ(view.HScrollPosition(), step.X) << step.Key;
  }
}

TEST_F(HtmlViewTest, WheelSteps) {
  QApplication::setWheelScrollLines(3);
  view.LoadFromString(Paragraphs(100), "doc");
  Wheel(-120);
  EXPECT_EQ(view.Position(), 48);
  Wheel(0);  // a sideways wheel
  EXPECT_EQ(view.Position(), 48);
  for (int i = 0; i < 3; ++i) Wheel(-40);  // a touchpad's small steps add up to one notch
  EXPECT_EQ(view.Position(), 96);
  Wheel(120);
  EXPECT_EQ(view.Position(), 48);
  view.SethtOptions(view.htOptions() | htNoWheelMouse);
  Wheel(-120);
  EXPECT_EQ(view.Position(), 48);
}

TEST_F(HtmlViewTest, LoadingKeepsOrResetsThePlace) {
  view.LoadFromString(Paragraphs(3000), "test");
  ASSERT_GT(view.DocumentHeight(), 40000);
  view.ScrollToY(40000);
  EXPECT_EQ(view.Position(), 40000);
  // The same name keeps the place...
  view.LoadFromString(Paragraphs(3000), "test");
  EXPECT_EQ(view.Position(), 40000);
  // ...as far as the new document reaches: a short one is shown from its top.
  view.LoadFromString(Paragraphs(3), "test");
  EXPECT_EQ(view.Position(), 0);
  EXPECT_EQ(view.Document().YOffset(), 0);
  view.LoadFromString(Paragraphs(3000), "test");
  view.ScrollToY(1000);
  view.LoadFromString(Paragraphs(3000), "other");
  EXPECT_EQ(view.Position(), 0);
  // A target scrolls to its element.
  view.LoadFromString(Paragraphs(3000), "other#p500");
  EXPECT_EQ(view.Position(), view.Document().IDNameList.Find("p500")->GetYPos());
  EXPECT_EQ(view.DocumentName().substr(view.DocumentName().size() - 6), "/other");
}

TEST_F(HtmlViewTest, ResizingKeepsTheTopSectionInPlace) {
  view.LoadFromString(Paragraphs(3000), "doc");
  const TIDObject& paragraph = *view.Document().IDNameList.Find("p2500");
  view.ScrollToY(paragraph.GetYPos() + 5);
  ASSERT_GT(view.Position(), 32767);
  view.resize(300, 435);
  EXPECT_EQ(view.Position(), paragraph.GetYPos() + 5);
  EXPECT_EQ(view.Document().YOffset(), view.Position());
  view.resize(543, 435);
  EXPECT_EQ(view.Position(), paragraph.GetYPos() + 5);
}

TEST_F(HtmlViewTest, TheFrameShowsTheFocus) {
  view.LoadFromString("x", "doc");
  view.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  view.clearFocus();
  EXPECT_EQ(view.BorderPanel()->frameShape(), QFrame::NoFrame);
  view.setFocus();
  EXPECT_EQ(view.BorderPanel()->frameShape(), QFrame::Box);
  view.SetBorderStyle(THTMLBorderStyle::htNone);
  EXPECT_EQ(view.PaintPanel()->pos(), QPoint(0, 0));
  EXPECT_EQ(view.BorderWidth(), 0);
  view.SetBorderStyle(THTMLBorderStyle::htSingle);
  EXPECT_EQ(view.PaintPanel()->pos(), QPoint(1, 1));
  EXPECT_EQ(view.BorderPanel()->frameShape(), QFrame::Box);
}

TEST_F(HtmlViewTest, APageCharsetReadsATableCutFromThatPage) {
  auto text = [this] {
    for (TSectionBase* item : view.Document().PositionList())
      if (item->IsTextSection()) return static_cast<TSection*>(item)->Text();
    return std::u16string();
  };
  struct TCase {
    std::string Declaration, Fragment;
  } const cases[] = {
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">", "caf\xE9"},
      {"<META CHARSET=windows-1251>", "\xEA\xE0\xF4\xE5"},
      {"\xEF\xBB\xBF", "caf\xC3\xA9"},
  };
  const std::u16string expected[] = {u"caf\u00e9 ", u"\u043a\u0430\u0444\u0435 ", u"caf\u00e9 "};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    view.PageCharsetDeclaration = cases[i].Declaration;
    view.LoadFromStrings({"<html><body>", cases[i].Fragment, "</body></html>"}, "test");
    EXPECT_EQ(text(), expected[i]) << cases[i].Declaration;
  }
  // A fragment's own declaration wins.
  view.PageCharsetDeclaration = "<meta charset=windows-1251>";
  view.LoadFromStrings({"<meta charset=iso-8859-1>", "caf\xE9"}, "test");
  EXPECT_EQ(text(), u"caf\u00e9 ");
}

TEST_F(HtmlViewTest, TheScrollBarsPropertyAndTheAlwaysShownBar) {
  const std::string tallAndWide = "<table width=2000><tr><td>wide</table>" + Paragraphs(100);
  struct TCase {
    TScrollStyle Bars;
    ThtmlViewOptions Options;
    std::string Html;
    bool Vertical, VerticalEnabled, Horizontal;
    int LayoutWidth;  // 0: not checked
  } const cases[] = {
      {TScrollStyle::ssNone, 0, tallAndWide, false, true, false, 0},
      {TScrollStyle::ssNone, 0, Paragraphs(100), false, true, false, 541},
      {TScrollStyle::ssVertical, 0, tallAndWide, true, true, false, 0},
      {TScrollStyle::ssHorizontal, 0, tallAndWide, false, true, true, 0},
      // The bar's room is kept even for a short document, whose bar is shown disabled.
      {TScrollStyle::ssBoth, htShowVScroll, "short", true, false, false, 541 - 1},
  };
  for (const TCase& c : cases) {
    view.SetScrollBars(c.Bars);
    view.SethtOptions(c.Options);
    view.LoadFromString(c.Html, "doc");
    const std::string name = std::to_string(static_cast<int>(c.Bars)) + "/" + std::to_string(c.Options);
    EXPECT_EQ(view.VScrollBar()->isVisible(), c.Vertical) << name;
    EXPECT_EQ(view.VScrollBar()->isEnabled(), c.VerticalEnabled) << name;
    EXPECT_EQ(view.HScrollBar()->isVisible(), c.Horizontal) << name;
    const int width = c.LayoutWidth == 541 - 1 ? 541 - view.BarThickness() : c.LayoutWidth;
    if (width != 0) {
      EXPECT_EQ(view.Document().LayoutWidth(), width) << name;
    }
  }
}

TEST_F(HtmlViewTest, TheBarsPageAndLineSteps) {
  view.LoadFromString(Paragraphs(100), "doc");
  const int page = view.PaintPanel()->height() - 16;
  QScrollBar& bar = *view.VScrollBar();
  bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(view.Position(), page);
  bar.triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(view.Position(), page - 16);
  bar.triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(view.Position(), MaxY());
  EXPECT_EQ(view.Document().YOffset(), MaxY());
  // Cleared, the view keeps its place for the next document of the same name.
  view.Clear();
  EXPECT_EQ(view.Position(), MaxY());
  view.LoadFromString(Paragraphs(100), "doc");
  EXPECT_EQ(view.Position(), MaxY());
}

TEST_F(HtmlViewTest, EventsOfALoad) {
  std::vector<std::string> seen;
  view.OnProcessing = [&](bool on) { seen.push_back(on ? "processing" : "done"); };
  view.OnParseBegin = [&](std::string& source) {
    seen.push_back("parse " + source);
    source = "<meta http-equiv=REFRESH content=\"5; URL=next.html\"><title>T</title>b";
  };
  view.OnParseEnd = [&] { seen.push_back("parsed"); };
  view.OnMetaRefresh = [&](int delay, const std::string& url) { seen.push_back(std::to_string(delay) + " " + url); };
  view.LoadFromStrings({"a"}, "doc");
  const std::vector<std::string> expected = {"processing", "parse a\r\n", "parsed", "done", "5 next.html"};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(view.DocumentTitle(), "T");
}

TEST_F(HtmlViewTest, LoadingFiles) {
  const std::string folder = QDir::tempPath().toStdString() + "/corvane_view_test";
  QDir().mkpath(QString::fromStdString(folder));
  const std::string text = folder + "/notes.txt";
  {
    QFile file(QString::fromStdString(text));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<b>not bold</b>");
  }
  std::string error;
  ASSERT_TRUE(view.LoadFromFile(text, error));
  EXPECT_EQ(view.DocumentKind(), TDocumentKind::PlainText);
  EXPECT_FALSE(view.LoadFromFile(folder + "/none.html", error));
  EXPECT_EQ(error, "Can't locate file: " + folder + "/none.html");
  EXPECT_FALSE(view.LoadFromFile(folder, error));
  QDir(QString::fromStdString(folder)).removeRecursively();
}

std::vector<TImageObj*> ImagesOf(const TSectionList& document) {
  std::vector<TImageObj*> images;
  for (TSectionBase* item : document.PositionList()) {
    if (!item->IsTextSection()) continue;
    for (const auto& object : static_cast<TSection*>(item)->Images())
      if (auto* image = dynamic_cast<TImageObj*>(object.get())) images.push_back(image);
  }
  return images;
}

std::string PngBytes(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return bytes.toStdString();
}

TEST_F(HtmlViewTest, PicturesComeFromTheHostAndAnimateOnTheTimer) {
  test::TTestGif gif;
  gif.Width = 4;
  gif.Height = 2;
  gif.LoopCount = 0;
  for (std::uint8_t fill : {2, 3}) gif.Frames.push_back({.Width = 4, .Height = 2, .Fill = fill, .Delay = 3});
  const std::string moving = test::EncodeGif(gif);
  std::vector<std::string> asked;
  view.OnImageRequest = [&](const std::string& name) {
    asked.push_back(name);
    if (name.ends_with("/a.png")) return TImageStream::WithData(PngBytes(30, 12));
    if (name.ends_with("/moving.gif")) return TImageStream::WithData(moving);
    return TImageStream::Waiting();
  };
  const std::vector<std::string> page = {"<img src=a.png><img src=late.png><img src=moving.gif>"};
  view.LoadFromStrings(page, "test");
  std::vector<TImageObj*> images = ImagesOf(view.Document());
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[0]->ObjWidth, 30);
  EXPECT_TRUE(images[1]->IsDelayed());
  ASSERT_TRUE(images[2]->Picture().IsAnimated());
  EXPECT_TRUE(view.AnimationTimer()->isActive());
  QTest::qWait(200);
  EXPECT_GT(images[2]->Picture().Animation->CurrentFrame() + images[2]->Picture().Animation->CurrentRepeat(), 2)
      << "the timer stepped the animation";

  const std::string late = asked[1];
  EXPECT_TRUE(late.ends_with("/late.png")) << late;
  EXPECT_TRUE(view.InsertImage(late, PngBytes(7, 5)));
  images = ImagesOf(view.Document());
  EXPECT_FALSE(images[1]->IsPlaceholder());
  EXPECT_EQ(images[1]->ObjWidth, 7);

  // A second load of the page takes its pictures from the cache.
  asked.clear();
  view.LoadFromStrings(page, "test");
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(view.ImageCache()->Count(), 3);
  view.Clear();
  EXPECT_EQ(view.ImageCache()->Count(), 0);
  EXPECT_FALSE(view.AnimationTimer()->isActive());
}

}  // namespace
}  // namespace corvane
