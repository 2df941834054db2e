#include "layout/image_obj.h"

#include <QPainter>

#include <algorithm>
#include <cstdlib>

#include "html/attribute_list.h"
#include "layout/border_painter.h"
#include "layout/layout_math.h"
#include "layout/section_list.h"
#include "style/properties.h"
#include "style/style_context.h"

namespace corvane {

namespace {

// The picture shown for a picture that could not be fetched.
constexpr int kErrorPictureSize = 16;
constexpr int kPlaceholderMinimum = 24;

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return upper;
}

// The font of placeholder texts: Arial at 8 points.
TMyFont PlaceholderFont(double pixelsPerInch) {
  ThtFontInfo info;
  info.Name = "Arial";
  info.Size = 8;
  return TMyFont(info, pixelsPerInch);
}

void ReadSize(const TAttribute& attribute, int& size, bool& percent) {
  if (attribute.Text.find('%') == std::string::npos) {
    size = std::clamp(attribute.Value, 0, 100000);
    percent = false;
  } else if (attribute.Value >= 0 && attribute.Value <= 100) {
    size = attribute.Value;
    percent = true;
  }
}

}  // namespace

TImageObj::TImageObj(TSectionList* document, int position, const TAttributeList& attributes, QString altText)
    : TFloatingObj(document) {
  Pos = position;
  for (const auto& attribute : attributes) {
    switch (attribute->Symbol) {
      case TagSymbol::SymName:
        if (Document && !attribute->Text.empty()) Document->IDNameList.AddObject(attribute->Text, this);
        break;
      case TagSymbol::SymSrc:
        Source = std::string(TrimmedView(attribute->Text));
        break;
      case TagSymbol::SymAlt: {
        std::string title = attribute->Text;
        while (!title.empty() && (title.back() == '\r' || title.back() == '\n')) title.pop_back();
        ImageTitle = title;
        AltText = altText;
        while (AltText.endsWith(QLatin1Char('\r')) || AltText.endsWith(QLatin1Char('\n'))) AltText.chop(1);
        break;
      }
      case TagSymbol::SymAlign: {
        const std::string align = Upper(attribute->Text);
        if (align == "TOP") ObjAlign = 1;
        if (align == "MIDDLE" || align == "ABSMIDDLE") ObjAlign = 2;
        if (align == "LEFT") ObjAlign = 5;
        if (align == "RIGHT") ObjAlign = 6;
        break;
      }
      case TagSymbol::SymBorder:
        NoBorder = attribute->Value == 0;
        BorderSize = std::clamp(attribute->Value, 0, 10);
        break;
      case TagSymbol::SymWidth:
        ReadSize(*attribute, SpecWidth, PercentWidth);
        break;
      case TagSymbol::SymHeight:
        ReadSize(*attribute, SpecHeight, PercentHeight);
        break;
      case TagSymbol::SymHspace:
        HSpaceL = HSpaceR = std::min(40, std::abs(std::max(attribute->Value, -40)));
        m_spaceGiven = true;
        break;
      case TagSymbol::SymVspace:
        VSpaceT = VSpaceB = std::min(40, std::abs(std::max(attribute->Value, -40)));
        break;
      case TagSymbol::SymTransp:
        Transparent = true;
        break;
      case TagSymbol::SymIsmap:
        m_isMap = true;
        break;
      case TagSymbol::SymUsemap: {
        m_usesMap = true;
        std::string name = Upper(TrimmedView(attribute->Text));
        if (name.size() > 1 && name[0] == '#') name.erase(0, 1);
        m_mapName = name;
        break;
      }
      case TagSymbol::SymActive:
        ReactsToMouse = true;
        break;
      default:
        break;
    }
  }
  const std::string title = attributes.Title();
  if (!title.empty()) ImageTitle = title;
  if (Document && !attributes.Id().empty()) Document->IDNameList.AddObject(attributes.Id(), this);
  if (!m_spaceGiven) HSpaceL = HSpaceR = IsFloating() ? 3 : 0;
}

TImageObj::TImageObj(TSectionList* document, std::string source) : TFloatingObj(document), Source(std::move(source)) {
  NoBorder = true;
}

void TImageObj::ApplyStyle(TProperties& properties) {
  auto alignAndFloat = [&] {
    if (const std::optional<int> align = properties.GetVerticalAlign()) ObjAlign = *align;
    if (const std::optional<int> side = properties.GetFloat(); side && *side != 0) {
      if (HSpaceR == 0) HSpaceL = HSpaceR = 3;
      ObjAlign = *side;
    }
  };
  alignAndFloat();
  if (ImageTitle.empty()) ImageTitle = properties.TitleText();
  properties.Font();
  TMarginArray pixels;
  const TBoxValues box = properties.GetBoxValues();
  ConvertBoxValues(box, 200, 200, properties.EmSize(), properties.ExSize(), properties.Context().PixelsPerInch(),
                   pixels);
  ConvertVerticalMargins(box, 200, properties.EmSize(), properties.ExSize(), properties.Context().PixelsPerInch(),
                         pixels);
  auto given = [&box](int index) {
    const TPropValue& value = box[index];
    return value.IsText() || (value.IsInteger() && value.AsInteger() != NotSet);
  };
  if (given(Prop::MarginLeft)) HSpaceL = std::max(0, pixels[Prop::MarginLeft]);
  if (given(Prop::MarginRight)) HSpaceR = std::max(0, pixels[Prop::MarginRight]);
  if (given(Prop::MarginTop)) VSpaceT = std::max(0, pixels[Prop::MarginTop]);
  if (given(Prop::MarginBottom)) VSpaceB = std::max(0, pixels[Prop::MarginBottom]);
  if (properties.GetBorderStyle() != 0) {
    HSpaceL += pixels[Prop::BorderLeftWidth];
    HSpaceR += pixels[Prop::BorderRightWidth];
    VSpaceT += pixels[Prop::BorderTopWidth];
    VSpaceB += pixels[Prop::BorderBottomWidth];
  }
  auto size = [&](int index, int& spec, bool& percent) {
    const TPropValue& value = box[index];
    if (!given(index)) return;
    percent = false;
    if (value.IsText() && value.AsText() == "auto") {
      spec = -1;
    } else if (value.IsText() && value.AsText().find('%') != std::string_view::npos) {
      spec = MulDiv(pixels[index], 100, 200);
      percent = true;
    } else {
      spec = std::clamp(pixels[index], 0, 100000);
    }
  };
  size(Prop::Width, SpecWidth, PercentWidth);
  size(Prop::Height, SpecHeight, PercentHeight);
  alignAndFloat();
  if (properties.HasBorderStyle()) {
    NoBorder = true;
    BorderSize = 0;
  }
}

void TImageObj::SizeObject(int availableWidth, int availableHeight, const TFontObj* run) {
  // No picture is fetched yet: the error picture stands in, and the object shows its placeholder box.
  const int W = kErrorPictureSize, H = kErrorPictureSize;
  const bool placeholder = IsPlaceholder();
  const int b = BorderSize;
  if (!(SizeFixed && !PercentWidth && !PercentHeight)) {
    if (PercentWidth) {
      ImageWidth = MulDiv(availableWidth - 2 * b, SpecWidth, 100);
      if (SpecHeight < 0) {
        ImageHeight = MulDiv(ImageWidth, H, W);
      } else if (PercentHeight) {
        ImageHeight = MulDiv(availableHeight - 2 * b, SpecHeight, 100);
      } else {
        ImageHeight = SpecHeight;
      }
    } else if (PercentHeight) {
      ImageHeight = MulDiv(availableHeight - 2 * b, SpecHeight, 100);
      ImageWidth = SpecWidth >= 0 ? SpecWidth : MulDiv(ImageHeight, W, H);
    } else {
      if (SpecWidth >= 0 && SpecHeight >= 0) {
        ImageWidth = SpecWidth;
        ImageHeight = SpecHeight;
      } else if (SpecHeight >= 0) {
        ImageHeight = SpecHeight;
        ImageWidth = MulDiv(SpecHeight, W, H);
      } else if (SpecWidth >= 0) {
        ImageWidth = SpecWidth;
        ImageHeight = MulDiv(SpecWidth, H, W);
      } else {
        ImageWidth = W;
        ImageHeight = H;
      }
      SizeFixed = !placeholder;
    }
  }
  ImageWidth = std::max(0, ImageWidth);
  ImageHeight = std::max(0, ImageHeight);
  if (placeholder) {
    if (SpecWidth >= 0 || SpecHeight >= 0) {
      BoxWidth = ImageWidth;
      BoxHeight = ImageHeight;
    } else if (!AltText.isEmpty()) {
      const TMyFont font = PlaceholderFont(Document ? Document->Styles.Context().PixelsPerInch() : 96.0);
      const std::u16string text = AltText.toStdU16String();
      const int width = Document ? Document->Measurer().Widths(font).TextWidth(text.data(), static_cast<int>(text.size())) : 0;
      BoxWidth = width + 26;
      BoxHeight = std::max(kPlaceholderMinimum, 2 * font.TextHeight());
    } else {
      BoxWidth = std::max(ImageWidth, kPlaceholderMinimum);
      BoxHeight = std::max(ImageHeight, kPlaceholderMinimum);
    }
    ObjWidth = BoxWidth;
    ObjHeight = BoxHeight;
  } else {
    ObjWidth = ImageWidth;
    ObjHeight = ImageHeight;
  }
  if (run && !run->RunTarget().Url.empty() && !NoBorder) BorderSize = std::max(1, BorderSize);
  if (BorderSize > 0) {
    ObjWidth += 2 * BorderSize;
    ObjHeight += 2 * BorderSize;
  }
}

void TImageObj::Draw(QPainter& canvas, int x, const TFontObj* run, int baselineY, int topY) {
  const int yOffset = Document ? Document->YOffset() : 0;
  int top;
  switch (ObjAlign) {
    case 1:
    case 5:
    case 6:
      top = topY + VSpaceT;
      break;
    case 2: {
      const int descent = run ? run->Descent() : 0;
      const int height = run ? run->TextHeight() : 0;
      top = baselineY + descent - height / 2 - (ObjHeight + VSpaceB - VSpaceT) / 2;
      break;
    }
    default:
      top = baselineY - ObjHeight - VSpaceB;
      break;
  }
  const int b = BorderSize;
  DrawX = x + b;
  DrawY = top + b;
  const int screenTop = top - yOffset;
  const QColor textColour = run ? ToQColor(run->Font().Color()) : QColor(Qt::black);
  canvas.save();
  if (BoxWidth >= kPlaceholderMinimum && BoxHeight >= kPlaceholderMinimum) {
    // The error picture: a small sunken square with a red cross.
    const int px = x + b + 4, py = screenTop + b + 4;
    DrawOnePixelFrame(canvas, px, py, px + kErrorPictureSize - 1, py + kErrorPictureSize - 1,
                      ToQColor(SystemColor(16)), ToQColor(SystemColor(20)));
    canvas.setPen(QPen(QColor(0xC0, 0, 0), 2));
    canvas.drawLine(px + 4, py + 4, px + kErrorPictureSize - 5, py + kErrorPictureSize - 5);
    canvas.drawLine(px + kErrorPictureSize - 5, py + 4, px + 4, py + kErrorPictureSize - 5);
  }
  auto drawAlt = [&] {
    if (AltText.isEmpty()) return;
    const TMyFont font = PlaceholderFont(Document ? Document->Styles.Context().PixelsPerInch() : 96.0);
    canvas.setFont(font.DrawingFont());
    canvas.setPen(textColour);
    const QRect area(x + b + 24, screenTop + b + 4, std::max(0, BoxWidth - 26), std::max(0, BoxHeight - 5));
    canvas.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, AltText);
  };
  if (b == 0) {
    drawAlt();
    DrawOnePixelFrame(canvas, x, screenTop, x + BoxWidth - 1, screenTop + BoxHeight - 1, ToQColor(SystemColor(16)),
                      ToQColor(SystemColor(20)));
  } else {
    drawAlt();
    // The frame of a picture in a link: b pixels inside the object box, in the text colour.
    FillRect(canvas, x, screenTop, x + ObjWidth, screenTop + b, textColour);
    FillRect(canvas, x, screenTop + ObjHeight - b, x + ObjWidth, screenTop + ObjHeight, textColour);
    FillRect(canvas, x, screenTop + b, x + b, screenTop + ObjHeight - b, textColour);
    FillRect(canvas, x + ObjWidth - b, screenTop + b, x + ObjWidth, screenTop + ObjHeight - b, textColour);
  }
  if (run && run->Active()) {
    canvas.setPen(QPen(Qt::black, 1, Qt::DotLine));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawRect(x, screenTop, std::max(0, ObjWidth - 1), std::max(0, ObjHeight - 1));
  }
  canvas.restore();
}

bool TImageObj::PictureAt(int x, int y, int& ix, int& iy) const {
  const int width = ObjWidth - 2 * BorderSize;
  const int height = ObjHeight - 2 * BorderSize;
  if (x < DrawX || x >= DrawX + width || y < DrawY || y >= DrawY + height) return false;
  ix = x - DrawX;
  iy = y - DrawY;
  return true;
}

TPanelObj::TPanelObj(TSectionList* document, const TAttributeList& attributes) : TFloatingObj(document) {
  if (const TAttribute* width = attributes.Find(TagSymbol::SymWidth)) ObjWidth = std::clamp(width->Value, 0, 100000);
  if (const TAttribute* height = attributes.Find(TagSymbol::SymHeight)) ObjHeight = std::clamp(height->Value, 0, 100000);
  if (const TAttribute* align = attributes.Find(TagSymbol::SymAlign)) {
    const std::string value = Upper(align->Text);
    if (value == "TOP") ObjAlign = 1;
    if (value == "MIDDLE") ObjAlign = 2;
    if (value == "LEFT") ObjAlign = 5;
    if (value == "RIGHT") ObjAlign = 6;
  }
  if (const TAttribute* space = attributes.Find(TagSymbol::SymHspace)) HSpaceL = HSpaceR = std::clamp(space->Value, 0, 40);
  if (const TAttribute* space = attributes.Find(TagSymbol::SymVspace)) VSpaceT = VSpaceB = std::clamp(space->Value, 0, 40);
}

void TPanelObj::Draw(QPainter&, int x, const TFontObj*, int baselineY, int) {
  DrawX = x;
  DrawY = baselineY - ObjHeight - VSpaceB;
}

}  // namespace corvane
