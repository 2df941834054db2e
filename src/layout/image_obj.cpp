#include "layout/image_obj.h"

#include <QPainter>

#include <algorithm>
#include <cstdlib>

#include "html/attribute_list.h"
#include "images/gif_animation.h"
#include "images/still_picture.h"
#include "layout/border_painter.h"
#include "layout/layout_math.h"
#include "layout/section_list.h"
#include "style/properties.h"
#include "style/style_context.h"

namespace corvane {

namespace {

// The stand-in pictures are this size.
constexpr int kErrorPictureSize = 16;
constexpr int kPlaceholderMinimum = 24;

// The picture shown for a picture that could not be fetched: a sunken square with a red cross, its
// corners transparent.
const TPicture& ErrorPicture() {
  static const TPicture picture = [] {
    constexpr int n = kErrorPictureSize;
    QImage colours(n, n, QImage::Format_RGB32);
    colours.fill(QColor(0xF0, 0xF0, 0xF0));
    QImage mask(n, n, QImage::Format_Alpha8);
    mask.fill(255);
    for (int i = 0; i < n; ++i) {
      colours.setPixel(i, 0, qRgb(0x80, 0x80, 0x80));
      colours.setPixel(0, i, qRgb(0x80, 0x80, 0x80));
      colours.setPixel(i, n - 1, qRgb(0xFF, 0xFF, 0xFF));
      colours.setPixel(n - 1, i, qRgb(0xFF, 0xFF, 0xFF));
    }
    for (int i = 4; i < n - 4; ++i) {
      for (int d = 0; d < 2; ++d) {
        colours.setPixel(i + d - (i + d >= n - 4 ? 1 : 0), i, qRgb(0xC0, 0, 0));
        colours.setPixel(n - 1 - i - d + (n - 1 - i - d < 4 ? 1 : 0), i, qRgb(0xC0, 0, 0));
      }
    }
    mask.setPixel(0, 0, 0);
    mask.setPixel(n - 1, 0, 0);
    mask.setPixel(0, n - 1, 0);
    mask.setPixel(n - 1, n - 1, 0);
    TPicture error;
    error.Still = std::make_shared<TStillPicture>(colours, mask);
    return error;
  }();
  return picture;
}

// The picture shown while a picture is still to come, and wherever images are not shown: a small
// framed landscape.
const TPicture& DefaultPicture() {
  static const TPicture picture = [] {
    constexpr int n = kErrorPictureSize;
    QImage colours(n, n, QImage::Format_RGB32);
    colours.fill(QColor(0xFF, 0xFF, 0xFF));
    for (int y = 1; y < n - 1; ++y)
      for (int x = 1; x < n - 1; ++x)
        colours.setPixel(x, y, y < 10 ? qRgb(0x80, 0xC0, 0xFF) : qRgb(0x40, 0xA0, 0x40));
    for (int i = 0; i < n; ++i) {
      for (const QPoint p : {QPoint(i, 0), QPoint(0, i), QPoint(i, n - 1), QPoint(n - 1, i)})
        colours.setPixel(p, qRgb(0x60, 0x60, 0x60));
    }
    TPicture fallback;
    fallback.Still = std::make_shared<TStillPicture>(colours);
    return fallback;
  }();
  return picture;
}

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
    // A negative size counts as not given; a huge one is held within reach of the layout's arithmetic.
    if (attribute.Value < 0) return;
    size = std::min(attribute.Value, 100000);
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

TImageObj::~TImageObj() {
  if (!Document) return;
  if (!m_cacheName.empty()) Document->PictureFetch().Cache().Release(m_cacheName);
  // A document that is being cleared empties its lists at once.
  if (Document->Clearing) return;
  Document->RemoveAnimatedImage(this);
  if (!m_waitingName.empty()) Document->DelayedImages.Remove(m_waitingName, this);
}

bool TImageObj::IsPlaceholder() const { return m_placeholder || (Document && !Document->ShowImages); }

void TImageObj::FetchPicture() {
  m_fetched = true;
  m_placeholder = true;
  m_delayed = false;
  if (!Document || Source.empty()) {
    m_picture = ErrorPicture();
    Transparent = true;
    return;
  }
  const std::string name = Document->ExpandPictureName(Source);
  TFetchedImage fetched;
  TTransparency transparency = Transparent ? TTransparency::LowerLeft : TTransparency::None;
  // A picture already awaited from the host is not asked for again.
  if (Document->DelayedImages.Contains(name)) {
    fetched.Delayed = true;
  } else {
    fetched = Document->PictureFetch().FetchImage(name, transparency);
  }
  if (fetched.Picture) {
    m_cacheName = name;
    m_picture = std::move(fetched.Picture);
    m_placeholder = false;
    // Drawn through its mask when asked for by TRANSP or when the picture has transparency of its own.
    Transparent = transparency != TTransparency::None;
    if (m_picture.Animation) {
      // Each object animates on its own: a picture that another object may show is copied.
      if (fetched.FromCache) m_picture.Animation = m_picture.Animation->Copy();
      if (ReactsToMouse) {
        m_picture.Animation->SetAnimate(false, 0);
      } else {
        Document->AddAnimatedImage(this);
      }
    }
  } else if (fetched.Delayed) {
    m_delayed = true;
    m_picture = DefaultPicture();
    m_waitingName = name;
    Document->DelayedImages.Add(name, this);
  } else {
    m_picture = ErrorPicture();
    Transparent = true;
  }
}

void TImageObj::ForgetPicture() {
  if (Document && !m_cacheName.empty()) Document->PictureFetch().Cache().Release(m_cacheName);
  if (Document) Document->RemoveAnimatedImage(this);
  m_cacheName.clear();
  m_waitingName.clear();
  m_picture = {};
  m_fetched = false;
  m_placeholder = true;
  m_delayed = false;
  SizeFixed = false;
}

void TImageObj::RestartAnimation(bool run, std::int64_t now) {
  if (!m_picture.Animation) return;
  m_picture.Animation->SetAnimate(false, now);
  if (run) m_picture.Animation->SetAnimate(true, now);
}

QRect TImageObj::StepAnimation(std::int64_t now) {
  return m_picture.Animation ? m_picture.Animation->Step(now) : QRect();
}

void TImageObj::SetMouseState(int state) {
  if (state == m_mouseState || !ReactsToMouse || !m_picture.Animation) return;
  TGifAnimation& animation = *m_picture.Animation;
  const int frames = animation.FrameCount();
  if (state == 1 || state == 2) {
    if (frames == 2) {
      animation.SetCurrentFrame(2);
    } else if (frames == 3) {
      animation.SetCurrentFrame(state == 1 ? 2 : 3);
    } else if (Document) {
      animation.SetAnimate(true, Document->Host().AnimationClock());
      Document->AddAnimatedImage(this);
    }
  } else {
    animation.SetAnimate(false, 0);
    if (frames <= 3) animation.SetCurrentFrame(1);
    if (Document) Document->RemoveAnimatedImage(this);
  }
  m_mouseState = state;
  if (Document) Document->Host().InvalidatePanel();
}

void TImageObj::ApplyStyle(TProperties& properties) {
  auto alignAndFloat = [&] {
    // Sub and super (8, 9) have no place for a picture: it keeps its alignment.
    if (const std::optional<int> align = properties.GetVerticalAlign(); align && *align >= 1 && *align <= 4)
      ObjAlign = *align;
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
  const bool showImages = !Document || Document->ShowImages;
  if (showImages && !m_fetched) FetchPicture();
  // Images not shown: the default picture stands in for sizing.
  const TPicture& picture = showImages ? m_picture : DefaultPicture();
  const int W = picture.Width(), H = picture.Height();
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
      // The text's lines: the widest sets the width, and each line its height (the line break that
      // ends the text adds no line).
      const TMyFont font = PlaceholderFont(Document ? Document->Styles.Context().PixelsPerInch() : 96.0);
      const std::u16string text = AltText.toStdU16String();
      int width = 0;
      int lines = 0;
      for (std::size_t begin = 0; begin <= text.size(); ++lines) {
        std::size_t end = text.find_first_of(u"\r\n", begin);
        if (end == std::u16string::npos) end = text.size();
        if (Document)
          width = std::max(width, Document->Measurer().Widths(font).TextWidth(text.data() + begin,
                                                                             static_cast<int>(end - begin)));
        begin = end + (text.compare(end, 2, u"\r\n") == 0 ? 2 : 1);
      }
      BoxWidth = width + 26;
      BoxHeight = std::max(kPlaceholderMinimum, lines * font.TextHeight());
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

int MiddleAlignedTop(const TFloatingObj& object, const TFontObj* run, int baselineY) {
  const int descent = run ? run->Descent() : 0;
  const int height = run ? run->TextHeight() : 0;
  return baselineY + descent - height / 2 - (object.ObjHeight + object.VSpaceB - object.VSpaceT) / 2;
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
    case 2:
      top = MiddleAlignedTop(*this, run, baselineY);
      break;
    default:
      top = baselineY - ObjHeight - VSpaceB;
      break;
  }
  const int b = BorderSize;
  DrawX = x + b;
  DrawY = top + b;
  const int screenTop = top - yOffset;
  const QColor textColour = run ? ToQColor(run->Font().Color()) : QColor(Qt::black);
  const bool showImages = !Document || Document->ShowImages;
  const bool placeholder = IsPlaceholder();
  Drawn = true;
  canvas.save();
  if (placeholder) {
    // The stand-in picture at its own size in the box's corner, when the box has room for it.
    if (BoxWidth >= kPlaceholderMinimum && BoxHeight >= kPlaceholderMinimum) {
      const TPicture& standIn = showImages && m_picture ? m_picture : DefaultPicture();
      standIn.Draw(canvas, QRect(x + b + 4, screenTop + b + 4, standIn.Width(), standIn.Height()),
                   TMaskUse::ThroughMask);
    }
  } else if (ImageWidth > 0 && ImageHeight > 0) {
    m_picture.Draw(canvas, QRect(x + b, screenTop + b, ImageWidth, ImageHeight),
                   Transparent ? TMaskUse::ThroughMask : TMaskUse::Opaque);
  }
  auto drawAlt = [&] {
    if (!placeholder || AltText.isEmpty()) return;
    const TMyFont font = PlaceholderFont(Document ? Document->Styles.Context().PixelsPerInch() : 96.0);
    canvas.setFont(font.DrawingFont());
    canvas.setPen(textColour);
    const QRect area(x + b + 24, screenTop + b + 4, std::max(0, BoxWidth - 26), std::max(0, BoxHeight - 5));
    // A box made to the text's lines breaks it only where the text does: wrapping it again at the
    // drawing font's own widths could push its last word out of the box.
    const bool sizedToText = SpecWidth < 0 && SpecHeight < 0;
    QString text = AltText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    canvas.drawText(area, Qt::AlignLeft | Qt::AlignTop | (sizedToText ? 0 : Qt::TextWordWrap), text);
  };
  if (b == 0) {
    if (placeholder) {
      drawAlt();
      DrawOnePixelFrame(canvas, x, screenTop, x + BoxWidth - 1, screenTop + BoxHeight - 1,
                        ToQColor(SystemColor(16)), ToQColor(SystemColor(20)));
    }
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
