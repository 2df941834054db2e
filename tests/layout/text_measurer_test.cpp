#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

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

}  // namespace
}  // namespace corvane
