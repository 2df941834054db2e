#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <vector>

#include "layout/text_measurer.h"
#include "style/my_font.h"

namespace corvane {
namespace {

TMyFont FontOf(const char* family, double points, bool bold = false) {
  ThtFontInfo info;
  info.Name = family;
  info.Size = points;
  info.Style.Bold = bold;
  return TMyFont(info, 96.0);
}

// The lines of the default font are as high as its ascent and descent, each rounded to a whole pixel.
TEST(TextMeasurer, DefaultFontLineHeightIsFourteenAndThree) {
  const TMyFont font = FontOf("Times New Roman", 12);
  EXPECT_EQ(font.Height(), -16);
  EXPECT_EQ(font.TextHeight(), 17);
  EXPECT_EQ(font.Descent(), 3);
}

// Whole-pixel widths that add up: a text drawn in one call ends where the sum of its characters' widths
// says, for every family, size and weight, so that line breaking, painting and hit testing agree.
TEST(TextMeasurer, WidthsAddUpAndMatchTheDrawnText) {
  const std::u16string text = u"The quick brown fox, AVAST! To Wa fi ffi 1234567890 \u00e9\u00e8 Zoo.";
  TQtTextMeasurer measurer;
  for (const char* family : {"Times New Roman", "Arial", "Courier New"}) {
    for (double points : {8.0, 12.0, 16.0}) {
      for (bool bold : {false, true}) {
        const TMyFont font = FontOf(family, points, bold);
        const TCharWidths& widths = measurer.Widths(font);
        const int sum = widths.TextWidth(text.data(), static_cast<int>(text.size()));
        const QString qtext = QString::fromStdU16String(text);
        QImage whole(900, 40, QImage::Format_ARGB32_Premultiplied), pieces(900, 40, QImage::Format_ARGB32_Premultiplied);
        whole.fill(Qt::white);
        pieces.fill(Qt::white);
        {
          QPainter painter(&whole);
          painter.setFont(font.DrawingFont());
          painter.drawText(QPoint(3, 30), qtext);
        }
        {
          QPainter painter(&pieces);
          painter.setFont(font.DrawingFont());
          int x = 3;
          for (char16_t c : text) {
            painter.drawText(QPoint(x, 30), QString(QChar(c)));
            x += widths.Width(c);
          }
          EXPECT_EQ(x - 3, sum);
        }
        EXPECT_EQ(whole, pieces) << family << " " << points << (bold ? " bold" : "");
      }
    }
  }
}

TEST(TextMeasurer, ObjectCharactersAndPairs) {
  TQtTextMeasurer measurer;
  const TCharWidths& widths = measurer.Widths(FontOf("Times New Roman", 12));
  for (char16_t c : {kFormControlChar, kImageChar, kLineBreakChar, kSoftHyphen}) EXPECT_EQ(widths.Width(c), 0) << int(c);
  EXPECT_EQ(widths.Width(kNoBreakSpace), widths.Width(u' '));
  // A surrogate pair is one character: its width belongs to the high half.
  const char16_t pair[] = {0xD83D, 0xDE00};
  EXPECT_GT(widths.Width(pair[0], pair[1]), 0);
  EXPECT_EQ(widths.Width(pair[1]), 0);
  EXPECT_EQ(widths.TextWidth(pair, 2), widths.Width(pair[0], pair[1]));

  TFixedPitchMeasurer fixed(7);
  const std::u16string text = u"ab c\u00ad\u0004";
  EXPECT_EQ(fixed.Widths(FontOf("Arial", 30)).TextWidth(text.data(), static_cast<int>(text.size())), 28);
}

// Running sums of widths, as sections keep them: each sum adds the width of one more character, the
// width of a pair cut at the end of the text taken with the character after it. A fresh table (each
// font measures its characters on first use) must give what the measured one gives.
TEST(TextMeasurer, RunningSumsAddTheWidthsOfTheCharacters) {
  struct TCase {
    std::u16string Text;
    char16_t After;
    int Start;
  } const cases[] = {
      {u"Wide and narrow: WWW iii", 0, 0},
      {u"\u00e9t\u00e9 \u00a0\u00ad\u0004\u0008.", 0, 17},
      {u"\u4e00\u4e01 x", 0, 3},
      {u"ab\xD83D", 0xDE00, 0},  // a pair cut at the end
      {u"\xD83D\xDE00z", 0, 0},
  };
  for (const char* family : {"Arial", "Courier New"}) {
    TQtTextMeasurer fresh;  // the tables are shared by the process: a size no other test uses
    const TCharWidths& widths = fresh.Widths(FontOf(family, 13.5));
    for (const TCase& c : cases) {
      const int count = static_cast<int>(c.Text.size());
      std::vector<int> sums(c.Text.size(), -1);
      const int total = widths.AccumulateWidths(c.Text.data(), count, c.Start, sums.data(), c.After);
      int expected = c.Start;
      for (int i = 0; i < count; ++i) {
        const char16_t next = i + 1 < count ? c.Text[static_cast<std::size_t>(i) + 1] : c.After;
        expected += widths.Width(c.Text[static_cast<std::size_t>(i)], next);
        EXPECT_EQ(sums[static_cast<std::size_t>(i)], expected) << family << " case " << &c - cases << " at " << i;
      }
      EXPECT_EQ(total, expected) << family;
    }
    // A pair cut at the end is measured whole with the character after it, not as a lone half.
    const char16_t cut[] = {u'a', 0xD83D};
    int sums[2];
    widths.AccumulateWidths(cut, 2, 0, sums, 0xDE00);
    EXPECT_EQ(sums[1] - sums[0], widths.Width(0xD83D, 0xDE00)) << family;
  }
}

}  // namespace
}  // namespace corvane
