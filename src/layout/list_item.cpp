#include <QPainter>

#include <algorithm>
#include <array>

#include "layout/block.h"
#include "layout/section_list.h"
#include "layout/text_measurer.h"

namespace corvane {

namespace {

constexpr std::array<const char*, 20> kRoman = {"i",  "ii",  "iii",  "iv", "v",  "vi",  "vii",  "viii", "ix", "x",
                                                "xi", "xii", "xiii", "xiv", "xv", "xvi", "xvii", "xviii", "xix", "xx"};

int ListTypeOf(TBlockLI::TListKind kind, char typeLetter, bool plain, int level) {
  switch (kind) {
    case TBlockLI::TListKind::Ordered:
      switch (typeLetter) {
        case 'A':
          return 8;
        case 'I':
          return 9;
        case 'a':
          return 4;
        case 'i':
          return 5;
        default:
          return 2;
      }
    case TBlockLI::TListKind::Unordered:
      if (plain) return 6;
      // A marker the list names ("d"isc, "c"ircle, "s"quare) holds at every level.
      if (typeLetter == 'd') return 3;
      if (typeLetter == 'c') return 1;
      if (typeLetter == 's') return 7;
      switch (((level % 3) + 3) % 3) {
        case 0:
          return 7;
        case 1:
          return 3;
        default:
          return 1;
      }
    case TBlockLI::TListKind::Definition:
      return 6;
    case TBlockLI::TListKind::None:
      return 3;
  }
  return 3;
}

}  // namespace

TBlockLI::TBlockLI(TSectionList* ownerList, const TAttributeList* attributes, int level, int number, char typeLetter,
                   bool plain, TListKind listKind, TCellBasic* ownerCell, TProperties& properties)
    : TBlock(ownerList, attributes, ownerCell, properties, TKind::ListItem), m_number(number) {
  m_listType = ListTypeOf(listKind, typeLetter, plain, level);
  if (listKind == TListKind::None) {
    // An item outside any list still needs room for its disc.
    const TPropValue& left = MargArrayO[Prop::MarginLeft];
    if (left.IsInteger(NotSet) || left.IsInteger(0)) MargArrayO.Edit(Prop::MarginLeft) = TPropValue::Integer(16);
  }
  if (const int styleType = properties.GetListStyleType(); styleType != 0) m_listType = styleType;
  m_markerFont = properties.MakeFont();
}

std::string TBlockLI::MarkerText() const {
  const int alpha = std::clamp(m_number, 1, 26);
  const int roman = std::clamp(m_number, 1, 20);
  std::string text;
  switch (m_listType) {
    case 2:
      text = std::to_string(m_number);
      break;
    case 4:
      text = std::string(1, static_cast<char>('a' + alpha - 1));
      break;
    case 8:
      text = std::string(1, static_cast<char>('A' + alpha - 1));
      break;
    case 5:
      text = kRoman[static_cast<std::size_t>(roman - 1)];
      break;
    case 9:
      text = kRoman[static_cast<std::size_t>(roman - 1)];
      for (char& c : text) c = static_cast<char>(c - 'a' + 'A');
      break;
    default:
      return {};
  }
  return text + ".";
}

int TBlockLI::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  m_baseline = 0;
  TLayoutArgs item = args;
  item.Context.ListItemBaseline = &m_baseline;
  return TBlock::LayOut(item, MaxWidth, Curs);
}

int TBlockLI::Paint(QPainter& canvas, const TPaintArgs& args) {
  const int result = TBlock::Paint(canvas, args);
  if (DisplayNone || Hidden || m_baseline <= 0 || m_listType == 6) return result;
  const int y = m_baseline - OwnerList->YOffset();
  if (y < args.ARect.top() - 50 || y > args.ARect.top() + args.ARect.height() + 50) return result;
  int X = args.X;
  if (Positioning == 2) X += LeftP;
  if (Positioning == 1) X = args.XRef + LeftP;
  const int x = X + Indent;
  const QColor colour = ToQColor(m_markerFont->Color());
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  switch (m_listType) {
    case 1:  // circle: 7 by 7 pixels, drawn as a ring
      canvas.setPen(colour);
      canvas.setBrush(Qt::NoBrush);
      canvas.drawEllipse(QRect(x - 16, y - 7, 6, 6));
      break;
    case 3:  // disc: 5 by 5 pixels
      canvas.setPen(colour);
      canvas.setBrush(colour);
      canvas.drawEllipse(QRect(x - 15, y - 6, 4, 4));
      break;
    case 7:  // square
      FillRect(canvas, x - 15, y - 6, x - 10, y - 1, colour);
      break;
    default: {
      const std::string text = MarkerText();
      if (text.empty()) break;
      const std::u16string wide(text.begin(), text.end());
      const int width = OwnerList->Measurer().Widths(*m_markerFont).TextWidth(wide.data(), static_cast<int>(wide.size()));
      canvas.setFont(m_markerFont->DrawingFont());
      canvas.setPen(colour);
      canvas.drawText(QPoint(x - 10 - width, y), QString::fromStdString(text));
      break;
    }
  }
  canvas.restore();
  return result;
}

}  // namespace corvane
