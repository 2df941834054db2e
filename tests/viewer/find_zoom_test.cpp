// The viewer's text search, its text zoom, and the links it follows by itself as its host hears of them.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "layout/section.h"
#include "shown_view.h"
#include "viewer/html_view.h"

namespace corvane {
namespace {

class FindZoomTest : public test::TShownView {
 protected:
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
  int YOf(int index) {
    int x = 0, y = 0;
    EXPECT_TRUE(view.Document().CharIndexToXYRoot(index, x, y));
    return y;
  }
  void ExpectInView(int index, const std::string& step) {
    const int y = YOf(index);
    EXPECT_GE(y, view.Position()) << step;
    EXPECT_LE(y + 20, view.Position() + view.PaintPanel()->height()) << step;
  }
};

// Five "one"s, the second capitalised, the third in a table cell, the last far down the page.
std::string FindPage() {
  std::string html = "<p>xa one</p><p>xb One</p><table border=1><tr><td>xc one</td></tr></table>";
  for (int i = 0; i < 60; ++i) html += "<p>line " + std::to_string(i) + "</p>";
  html += "<p>xd one</p>";
  for (int i = 0; i < 60; ++i) html += "<p>more " + std::to_string(i) + "</p>";
  return html + "<p>xe one</p>";
}

TEST_F(FindZoomTest, FindNextWalksBothWaysWrapsAndSelectsTheMatch) {
  view.LoadFromString(FindPage(), "find.html");
  QApplication::processEvents();
  const int a = IndexOf(u"xa one") + 3, b = IndexOf(u"xb One") + 3, c = IndexOf(u"xc one") + 3;
  const int d = IndexOf(u"xd one") + 3, e = IndexOf(u"xe one") + 3;
  struct TStep {
    const char16_t* Text;
    bool Forward, MatchCase;
    int Expected;  // -1: not found
  } const steps[] = {
      {u"one", true, false, a},  {u"one", true, false, b},   {u"one", true, false, c},
      {u"one", true, false, d},  {u"one", true, false, e},   {u"one", true, false, a},  // wrapped
      {u"one", false, false, e},  // backward past the top
      {u"one", false, false, d}, {u"one", false, false, c},  {u"one", true, true, d},
      {u"one", true, true, e},   {u"one", true, true, a},    {u"one", true, true, c},  // "One" skipped
      {u"ONE", true, true, -1},  {u"one", true, false, c},  // from where the selection was
      {u"xq", false, false, -1}, {u"", true, false, -1},
  };
  int step = 0;
  for (const TStep& s : steps) {
    const std::string name = "step " + std::to_string(step++);
    const bool found = view.FindNext(QString::fromStdU16String(s.Text), s.Forward, s.MatchCase);
    EXPECT_EQ(found, s.Expected >= 0) << name;
    if (s.Expected < 0) {
      EXPECT_EQ(view.SelLength(), 0) << name;
      continue;
    }
    EXPECT_EQ(view.SelStart(), s.Expected) << name;
    EXPECT_EQ(view.SelLength(), 3) << name;
    EXPECT_EQ(view.SelectedText(), QString::fromStdU16String(s.Text).toLower() == "one" &&
                                           s.Expected == b ? QString("One") : QString("one"))
        << name;
    ExpectInView(s.Expected, name);
  }
}

TEST_F(FindZoomTest, TypingKeepsTheMatchInPlaceAsTheTextGrows) {
  view.LoadFromString("<p>ab abc abcd</p>", "typing.html");
  const int first = IndexOf(u"ab abc");
  struct TStep {
    const char16_t* Text;
    int Expected;
  } const steps[] = {{u"a", first}, {u"ab", first}, {u"abc", first + 3}, {u"abcd", first + 7},
                     {u"abcdx", -1}, {u"abcd", first + 7}, {u"ab", first + 7}};
  for (const TStep& s : steps) {
    const QString text = QString::fromStdU16String(s.Text);
    EXPECT_EQ(view.FindNext(text, true, false, true), s.Expected >= 0) << text.toStdString();
    if (s.Expected >= 0) {
      EXPECT_EQ(view.SelStart(), s.Expected) << text.toStdString();
      EXPECT_EQ(view.SelLength(), text.size()) << text.toStdString();
    }
  }
}

TEST_F(FindZoomTest, ZoomScalesTheTextAndKeepsThePlace) {
  std::string html;
  for (int i = 0; i < 120; ++i) html += "<p id=p" + std::to_string(i) + ">line " + std::to_string(i) + "</p>";
  view.LoadFromString(html, "zoom.html");
  const int height = view.DocumentHeight();
  const int y40 = view.Document().IDNameList.Find("p40")->GetYPos();
  view.ScrollToY(y40);
  view.SelectRange(IndexOf(u"line 41"), 7);
  ASSERT_EQ(view.Position(), y40);

  view.SetZoom(2.0);
  EXPECT_EQ(view.Zoom(), 2.0);
  EXPECT_EQ(view.Document().Defaults().Size, 24.0);
  // The lines grow with the text; the page's margins and part of the paragraphs' spacing do not.
  EXPECT_GT(view.DocumentHeight(), height * 3 / 2);
  EXPECT_LT(view.DocumentHeight(), height * 2);
  EXPECT_EQ(view.Position(), view.Document().IDNameList.Find("p40")->GetYPos()) << "the same text at the top";
  EXPECT_EQ(view.SelectedText(), "line 41");

  // A click lands on the character drawn under it at the new size.
  QApplication::processEvents();
  view.PaintPanel()->repaint();
  const int word = IndexOf(u"line 42");
  int x = 0, y = 0;
  ASSERT_TRUE(view.Document().CharIndexToXYRoot(word + 1, x, y));
  QTest::mouseDClick(view.PaintPanel(), Qt::LeftButton, Qt::NoModifier, QPoint(x + 3, y + 8 - view.Position()));
  EXPECT_EQ(view.SelStart(), word);
  EXPECT_EQ(view.SelectedText(), "line");

  // Later loads keep the zoom; it has bounds.
  view.LoadFromString("<p>next</p>", "next.html");
  EXPECT_EQ(view.Document().Defaults().Size, 24.0);
  view.SetZoom(9.0);
  EXPECT_EQ(view.Zoom(), 5.0);
  view.SetZoom(0.0);
  EXPECT_EQ(view.Zoom(), 0.25);
  view.SetZoom(1.0);
  EXPECT_EQ(view.Document().Defaults().Size, 12.0);
}

void WriteFile(const QString& path, const std::string& text) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text.data(), static_cast<qint64>(text.size()));
}

TEST_F(FindZoomTest, FollowedLinksAreReportedWithThePlaceLeft) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const std::string dir = folder.path().toStdString();
  std::string first = "<p><a href=\"second.html#t\">onward</a> <a href=\"#end\">down</a></p>";
  std::string second;
  for (int i = 0; i < 80; ++i) {
    first += "<p>a " + std::to_string(i) + "</p>";
    second += "<p>b " + std::to_string(i) + "</p>";
  }
  first += "<p id=end>end</p>";
  second = "<title>Second</title>" + second + "<p id=t>target</p>";
  WriteFile(folder.filePath("first.html"), first);
  WriteFile(folder.filePath("odd#name.html"), second);
  WriteFile(folder.filePath("second.html"), second);

  struct TFollowed {
    std::string Path, Target;
    int Before;
  };
  std::vector<TFollowed> followed;
  view.OnLinkFollowed = [&](const std::string& path, const std::string& target, int before) {
    followed.push_back({path, target, before});
  };
  std::string error;
  ASSERT_TRUE(view.LoadFileAt(dir + "/first.html", "", error)) << error;
  QApplication::processEvents();
  view.PaintPanel()->repaint();
  auto click = [&](std::u16string_view text) {
    int x = 0, y = 0;
    ASSERT_TRUE(view.Document().CharIndexToXYRoot(IndexOf(text), x, y));
    QTest::mouseClick(view.PaintPanel(), Qt::LeftButton, Qt::NoModifier, QPoint(x + 2, y + 4 - view.Position()));
  };
  click(u"down");
  ASSERT_EQ(followed.size(), 1u);
  EXPECT_EQ(followed[0].Path, dir + "/first.html");
  EXPECT_EQ(followed[0].Target, "end");
  EXPECT_EQ(followed[0].Before, 0);
  const int endY = view.Position();
  EXPECT_GT(endY, 0);
  view.ScrollToY(0);
  view.PaintPanel()->repaint();
  click(u"onward");
  ASSERT_EQ(followed.size(), 2u);
  EXPECT_EQ(followed[1].Path, dir + "/second.html");
  EXPECT_EQ(followed[1].Target, "t");
  EXPECT_EQ(view.DocumentTitle(), "Second");
  // The target is the last line: the view goes as far down as the page reaches.
  EXPECT_EQ(view.Position(), std::min(view.Document().IDNameList.Find("t")->GetYPos(),
                                      view.DocumentHeight() - view.PaintPanel()->height()));
  EXPECT_GT(view.Position(), 0) << "scrolled to the target";

  // Loading by name: a "#" in the file name is part of it; a missing file leaves the page shown.
  ASSERT_TRUE(view.LoadFileAt(dir + "/odd#name.html", "t", error)) << error;
  EXPECT_EQ(view.DocumentName(), dir + "/odd#name.html");
  EXPECT_GT(view.Position(), 0);
  EXPECT_FALSE(view.LoadFileAt(dir + "/none.html", "", error));
  EXPECT_EQ(error, "Can't locate file: " + dir + "/none.html");
  EXPECT_EQ(view.DocumentName(), dir + "/odd#name.html");
  ASSERT_TRUE(view.LoadFileAt(dir + "/pic.png", "", error));
  EXPECT_EQ(view.DocumentSource(), "<img src=\"" + dir + "/pic.png\">");
  EXPECT_EQ(followed.size(), 2u) << "loads by the host are not reported";
}

}  // namespace
}  // namespace corvane
