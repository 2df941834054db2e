#include <QColor>
#include <QPalette>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "style/style_colors.h"

namespace corvane {
namespace {

TEST(ColorFromString, EveryForm) {
  struct TCase {
    const char* text;
    THashMark mark;
    std::optional<TColor> expected;
  };
  const THashMark optional = THashMark::Optional, required = THashMark::Required;
  const std::vector<TCase> cases = {
      {"#f00", optional, 0x020000FF},
      {"f00", optional, 0x020000FF},
      {"#f00", required, 0x020000FF},
      {"f00", required, std::nullopt},
      {"RED", optional, 0x000000FF},
      {" Navy ", required, 0x00800000},
      {"bad", optional, 0x02DDAABB},
      {"#123456", optional, 0x02563412},
      {"##ab", optional, 0x02BBAA00},
      {"#12345678a", optional, std::nullopt},
      {"#xyz", optional, std::nullopt},
      {"nonsense", optional, std::nullopt},
      {"", optional, std::nullopt},
      {"rgb(100%, 0, 0)", required, 0x020000FF},
      {"rgb(300, -5, 0)", optional, 0x020000FF},
      {"rgb( 0 , 128 , 255 )", optional, 0x02FF8000},
      {"rgb(50%,x,1.5)", optional, 0x0200007F},
      {"rgb(1,2)", optional, 0x02000201},
      {"rgb 1,2,3", optional, std::nullopt},
      {"rgb(1,2,3", optional, std::nullopt},
      {"transparent", optional, ColorNone},
      {"ButtonFace", optional, SystemColor(15)},
      {"infobackground", optional, SystemColor(24)},
  };
  for (const TCase& c : cases) EXPECT_EQ(ColorFromString(c.text, c.mark), c.expected) << c.text;
}

TEST(ColorFromString, TheCacheKeepsTheMarkApart) {
  TColorCache cache;
  EXPECT_EQ(cache.ColorFromString("f00"), 0x020000FFu);
  EXPECT_EQ(cache.ColorFromString("F00 ", THashMark::Required), std::nullopt);
  EXPECT_EQ(cache.ColorFromString("f00"), 0x020000FFu);
  EXPECT_EQ(cache.ColorFromString("#f00", THashMark::Required), 0x020000FFu);
}

TEST(ColorTable, HoldsTheKeywordsWithTheirStandardValuesAndTheSystemNames) {
  ASSERT_EQ(ColorNameCount(), 176);
  int keywords = 0;
  for (int i = 0; i < ColorNameCount(); ++i) {
    const std::string name(ColorNameAt(i));
    if (i > 0) {
      EXPECT_LT(ColorNameAt(i - 1), ColorNameAt(i));
    }
    const TColor colour = *ColorFromName(name);
    if (colour == ColorNone || IsSystemColor(colour)) continue;
    ++keywords;
    // Qt knows the same keyword list; its values must agree with ours.
    const QColor expected = QColor::fromString(QString::fromStdString(name));
    ASSERT_TRUE(expected.isValid()) << name;
    EXPECT_EQ(colour, static_cast<TColor>(expected.red() | expected.green() << 8 | expected.blue() << 16)) << name;
  }
  EXPECT_EQ(keywords, 147);
}

TEST(ToQColor, SystemColoursComeFromThePalette) {
  QPalette palette;
  palette.setColor(QPalette::Button, QColor(1, 2, 3));
  palette.setColor(QPalette::ButtonText, QColor(4, 5, 6));
  palette.setColor(QPalette::Window, QColor(7, 8, 9));
  palette.setColor(QPalette::WindowText, QColor(10, 11, 12));
  palette.setColor(QPalette::Highlight, QColor(13, 14, 15));
  palette.setColor(QPalette::HighlightedText, QColor(16, 17, 18));
  palette.setColor(QPalette::ToolTipText, QColor(19, 20, 21));
  palette.setColor(QPalette::ToolTipBase, QColor(22, 23, 24));
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(25, 26, 27));
  const std::vector<std::pair<int, QColor>> cases = {
      {15, QColor(1, 2, 3)},    {18, QColor(4, 5, 6)},    {5, QColor(7, 8, 9)},
      {8, QColor(10, 11, 12)},  {13, QColor(13, 14, 15)}, {14, QColor(16, 17, 18)},
      {23, QColor(19, 20, 21)}, {24, QColor(22, 23, 24)}, {17, QColor(25, 26, 27)},
  };
  for (const auto& [index, expected] : cases) EXPECT_EQ(ToQColor(SystemColor(index), palette), expected) << index;
  EXPECT_EQ(ToQColor(0x020000FF, palette), QColor(255, 0, 0));
  EXPECT_FALSE(ToQColor(ColorNone, palette).isValid());
}

}  // namespace
}  // namespace corvane
