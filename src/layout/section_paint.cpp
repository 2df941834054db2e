#include <QPainter>

#include <algorithm>
#include <climits>

#include "html/image_map.h"
#include "html/selection_text.h"
#include "layout/border_painter.h"
#include "layout/floating_obj.h"
#include "layout/form_control.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "layout/text_measurer.h"
#include "style/border_look.h"
#include "style/style_units.h"

namespace corvane {

namespace {

constexpr char16_t kSpace = 32;
constexpr int kPaintMargin = 40;  // items this far outside the clip are not drawn
constexpr int kPieceLength = 256;  // characters drawn in one call at most

bool IsJustifiedSpace(char16_t c) { return c == kSpace || c == kNoBreakSpace; }

// The share of a justified line's extra pixels that the space number n (0-based) gets: extra / spaces
// each, and one more for the first extra % spaces.
int JustifyShare(const LineRec& line, int n) {
  if (line.Spaces <= 0 || line.Extra <= 0) return 0;
  return line.Extra / line.Spaces + (n < line.Extra % line.Spaces ? 1 : 0);
}

QColor Inverse(const QColor& colour) { return QColor(255 - colour.red(), 255 - colour.green(), 255 - colour.blue()); }

}  // namespace

int TSection::LineOfY(int y) const {
  if (m_lines.empty() || y < m_lines.front().Top) return -1;
  const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), y,
                                      [](int value, const LineRec& line) { return value < line.Top; });
  const LineRec& line = *(after - 1);
  if (y >= line.Top + line.BandHeight()) return -1;
  return static_cast<int>(after - m_lines.begin()) - 1;
}

int TSection::LineOfIndex(int index) const {
  if (m_lines.empty()) return -1;
  const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), index,
                                      [](int value, const LineRec& line) { return value < line.Start; });
  if (after == m_lines.begin()) return -1;
  // Empty lines share the start of the line after them: the last line starting at or before index.
  int at = static_cast<int>(after - m_lines.begin()) - 1;
  const LineRec& line = m_lines[static_cast<std::size_t>(at)];
  if (index >= line.Start + line.Ln) return -1;
  return at;
}

// Walks the characters of a line with the widths they are drawn at: fonts, object boxes and the
// justification shares of the spaces.
class TLineWalker {
 public:
  TLineWalker(const TSection& section, const LineRec& line, const std::u16string& text, const TFontList& fonts,
              const std::vector<int>& widthSums, TTextMeasurer& measurer)
      : m_line(line), m_text(text), m_fonts(fonts), m_widthSums(widthSums), m_measurer(measurer) {
    (void)section;
  }
  // The width of character i; characters must be asked for in order from the line's start.
  int Next(int i) {
    const char16_t c = m_text[static_cast<std::size_t>(i)];
    if (c == kImageChar || c == kFormControlChar)
      return static_cast<std::size_t>(i) + 1 < m_widthSums.size()
                 ? m_widthSums[static_cast<std::size_t>(i) + 1] - m_widthSums[static_cast<std::size_t>(i)]
                 : 0;
    if (!m_widths || i >= m_runEnd) {
      const TFontList::TRunAt at = m_fonts.GetFontObjAt(i);
      if (!at.Run) return 0;
      m_widths = &m_measurer.Widths(at.Run->Font());
      m_runEnd = at.RunNumber + 1 < m_fonts.Count() ? m_fonts[at.RunNumber + 1].StartIndex() : INT_MAX;
    }
    int width = m_widths->Width(c, i + 1 < static_cast<int>(m_text.size()) ? m_text[static_cast<std::size_t>(i) + 1] : 0);
    if (IsJustifiedSpace(c) && i < m_line.Start + m_line.Ln - 1) width += JustifyShare(m_line, m_spaceNumber++);
    return width;
  }

 private:
  const LineRec& m_line;
  const std::u16string& m_text;
  const TFontList& m_fonts;
  const std::vector<int>& m_widthSums;  // running sums of the measured widths, objects included
  TTextMeasurer& m_measurer;
  const TCharWidths* m_widths = nullptr;
  int m_runEnd = 0;
  int m_spaceNumber = 0;
};

int TSection::JustifiedWidth(const LineRec& line, int from, int to) const {
  TLineWalker walker(*this, line, Buff, m_fonts, m_sums, OwnerList->Measurer());
  int width = 0;
  for (int i = line.Start; i < to; ++i) {
    const int w = walker.Next(i);
    if (i >= from) width += w;
  }
  return width;
}

// How many characters of a line fit into width, a character counting when more than half of it fits.
int TSection::CharsFitting(const LineRec& line, int width) const {
  TLineWalker walker(*this, line, Buff, m_fonts, m_sums, OwnerList->Measurer());
  int used = 0;
  for (int count = 0; count < line.Ln; ++count) {
    const int w = walker.Next(line.Start + count);
    if (used + w > width) return width - used > w / 2 ? count + 1 : count;
    used += w;
  }
  return line.Ln;
}

int TSection::Paint(QPainter& canvas, const TPaintArgs& args) {
  const int result = PaintY + Height;
  m_paintX = args.X;
  if (Buff.empty()) return result;
  const int yOffset = OwnerList->YOffset();
  const int clipTop = args.ARect.top();
  const int clipBottom = args.ARect.top() + args.ARect.height();
  if (PaintY + InkHeight - yOffset < clipTop - kPaintMargin || PaintY - yOffset > clipBottom + kPaintMargin)
    return result;

  // A printed page draws only what lies on it, so that text of the pages beside it is not in it, clipped
  // away; the screen draws a margin around the clip, for what reaches into it.
  const bool printing = OwnerList->Printing;
  const int margin = printing ? 0 : kPaintMargin;

  // Floats are drawn after the whole document, over the text that flows around them.
  for (const auto& image : Images()) {
    if (!image->IsFloating()) continue;
    const int top = image->FloatY - yOffset;
    const int bottom = top + image->ObjHeight + image->VSpaceT + image->VSpaceB;
    if (top > clipBottom || bottom < clipTop || (printing && (top >= clipBottom || bottom <= clipTop))) continue;
    OwnerList->DrawList.AddImage({image.get(), args.X + image->FloatX, image->FloatY, image->FloatY,
                                  m_fonts.GetFontObjAt(image->Pos).Run});
  }

  const int firstVisibleTop = clipTop - margin + yOffset;
  auto line = std::upper_bound(m_lines.begin(), m_lines.end(), firstVisibleTop,
                               [](int value, const LineRec& l) { return value < l.Top + l.BandHeight(); });
  const int stopAt = printing ? clipBottom : clipBottom + kPaintMargin + 1;
  for (; line != m_lines.end(); ++line) {
    if (line->Top - yOffset >= stopAt) break;
    if (line->Ln == 0) continue;
    line->DrawXX = args.X + line->LineIndent;
    line->DrawY = line->Top + line->SpaceBefore;
    PaintLine(canvas, *line, line->DrawXX, line->Top + line->SpaceBefore + line->LineHt, args);
  }
  return result;
}

void TSection::PaintLine(QPainter& canvas, LineRec& line, int x, int textBottom, const TPaintArgs& args) {
  const int clipLeft = args.ARect.left() - kPaintMargin;
  const int clipRight = args.ARect.left() + args.ARect.width() + kPaintMargin;
  const int yOffset = OwnerList->YOffset();
  const int baseline = textBottom - line.Descent - yOffset;
  const int textTop = textBottom - line.LineHt;
  if (OwnerList->InlineList.Count() > 0) {
    if (line.FirstDraw) PrepareInlineBorders(line);
    PaintInlineBorders(canvas, line, x);
  }
  line.FirstDraw = false;

  const bool preformatted = IsPreformatted();
  if (preformatted) {
    canvas.save();
    canvas.setClipRect(QRect(x, line.Top - yOffset, std::max(0, line.DrawWidth + 32000), line.BandHeight()),
                       Qt::IntersectClip);
  }
  const int end = line.Start + line.Ln;
  int drawEnd = end;
  if (drawEnd > line.Start && (Buff[static_cast<std::size_t>(drawEnd) - 1] == kSpace ||
                               Buff[static_cast<std::size_t>(drawEnd) - 1] == kLineBreakChar))
    --drawEnd;
  const int selB = OwnerList->SelB - FirstCharIndex;
  const int selE = OwnerList->SelE - FirstCharIndex;
  const bool anySelection = OwnerList->SelB < OwnerList->SelE;
  TTextMeasurer& measurer = OwnerList->Measurer();

  int penX = x;
  int spaceNumber = 0;
  int i = line.Start;
  const TMyFont* selected = nullptr;
  while (i < drawEnd) {
    const char16_t c = Buff[static_cast<std::size_t>(i)];
    if (c == kImageChar) {
      if (TFloatingObj* image = ImageAt(i); image && !image->IsFloating()) {
        image->Draw(canvas, penX + image->HSpaceL, m_fonts.GetFontObjAt(i).Run, textBottom - line.Descent, textTop);
        penX += image->ObjWidth + image->HSpaceL + image->HSpaceR;
      }
      ++i;
      continue;
    }
    if (c == kFormControlChar) {
      if (TFormControlObj* control = ControlAt(i); control && !control->IsHidden()) {
        const int h = control->Height();
        int cy;
        switch (control->FormAlign) {
          case 1:
            cy = textTop + control->MarginTop;
            break;
          case 2:
            cy = textBottom - line.Descent - (line.LineHt + h) / 2;
            break;
          case 3:
            cy = textBottom - line.Descent - h - control->MarginBottom - line.Descent;
            break;
          default:
            cy = textBottom - line.Descent - h - control->MarginBottom;
            break;
        }
        cy += control->VerticalShift() - yOffset;
        const int cx = penX + control->MarginLeft;
        if (OwnerList->PaintControls || OwnerList->IsCopy) {
          control->PaintAt(canvas, cx, cy);
        } else {
          control->ShowAt(cx, cy);
          OwnerList->ControlShown(*control);
        }
        control->ShowIt = true;
        control->Placed = true;
        penX += control->Width() + control->MarginLeft + control->MarginRight;
      }
      ++i;
      continue;
    }
    if (c == kLineBreakChar) {
      ++i;
      continue;
    }
    // A stretch of text in one font, one selection state, up to the next object (and, on a justified
    // line, up to the next space).
    const TFontList::TRunAt at = m_fonts.GetFontObjAt(i);
    const TFontObj& run = *at.Run;
    int stop = at.RunNumber + 1 < m_fonts.Count() ? std::min(drawEnd, m_fonts[at.RunNumber + 1].StartIndex()) : drawEnd;
    const bool isSelected = anySelection && i >= selB && i < selE;
    if (anySelection) {
      if (i < selB) stop = std::min(stop, selB);
      if (i < selE) stop = std::min(stop, selE);
    }
    if (penX > clipRight) break;  // the rest of the line is out of sight
    // Long stretches go in pieces, so that what lies left of the clip is passed over undrawn.
    int j = i;
    const int pieceEnd = std::min(stop, i + kPieceLength);
    while (j < pieceEnd && !IsObjectChar(Buff[static_cast<std::size_t>(j)])) {
      ++j;
      if (line.Extra > 0 && IsJustifiedSpace(Buff[static_cast<std::size_t>(j) - 1])) break;
    }
    const TMyFont& font = run.Font();
    const TCharWidths& widths = measurer.Widths(font);
    const int width = widths.TextWidth(Buff.data() + i, j - i);
    int y = baseline;
    if (run.ScriptShift() == 8) y += run.Descent() / 2 + 1;
    if (run.ScriptShift() == 9) y -= run.TextHeight() / 3;
    if (selected != &font) {
      canvas.setFont(font.DrawingFont());
      selected = &font;
    }
    const QColor textColour = ToQColor(OwnerList->TextColour(font.Color()));
    const int ascent = run.TextHeight() - run.Descent();
    if (isSelected) {
      FillRect(canvas, penX, y - ascent, penX + width, y + run.Descent(), textColour);
      canvas.setPen(font.FontBackground() != ColorNone ? ToQColor(font.FontBackground()) : Inverse(textColour));
    } else {
      if (font.FontBackground() != ColorNone)
        FillRect(canvas, penX, y - ascent, penX + width, y + run.Descent(), ToQColor(font.FontBackground()));
      canvas.setPen(textColour);
    }
    if (penX + width >= clipLeft)
      canvas.drawText(QPoint(penX, y), QString(reinterpret_cast<const QChar*>(Buff.data() + i), j - i));
    if (run.Active()) {
      canvas.save();
      canvas.setPen(QPen(Qt::black, 1, Qt::DotLine));
      canvas.setBrush(Qt::NoBrush);
      canvas.drawRect(penX, textTop - yOffset, std::max(0, width - 1), std::max(0, line.LineHt - 1));
      canvas.restore();
    }
    penX += width;
    if (line.Extra > 0 && IsJustifiedSpace(Buff[static_cast<std::size_t>(j) - 1]) && j < end)
      penX += JustifyShare(line, spaceNumber++);
    i = j;
  }
  if (line.Shy && drawEnd > line.Start) {
    const TFontList::TRunAt at = m_fonts.GetFontObjAt(drawEnd - 1);
    canvas.setFont(at.Run->Font().DrawingFont());
    canvas.setPen(ToQColor(OwnerList->TextColour(at.Run->Font().Color())));
    canvas.drawText(QPoint(penX, baseline), QStringLiteral("-"));
  }
  if (preformatted) canvas.restore();
}

void TSection::PrepareInlineBorders(LineRec& line) {
  line.BorderList.reset();
  TInlineList& records = OwnerList->InlineList;
  const int lineFirst = FirstCharIndex + line.Start;
  const int lineLast = lineFirst + line.Ln - 1;
  records.ForEachOverlapping(lineFirst, lineLast, [&](const InlineRec& record) {
    // An element covers [start, end): from its first character to the one after its last.
    const int start = record.StartDoc;
    const int end = record.EndDoc - 1;
    BorderRec border;
    border.MargArray = record.MargArray;
    border.OpenStart = start < lineFirst;
    border.OpenEnd = end > lineLast;
    border.Start = std::max(start, lineFirst) - FirstCharIndex;
    border.End = std::min(end, lineLast) - FirstCharIndex;
    const int x0 = line.DrawXX + JustifiedWidth(line, line.Start, border.Start);
    const int x1 = line.DrawXX + JustifiedWidth(line, line.Start, border.End + 1);
    border.Box = QRect(x0, line.DrawY, std::max(0, x1 - x0), line.LineHt);
    if (!line.BorderList) line.BorderList = std::make_unique<std::vector<BorderRec>>();
    line.BorderList->push_back(border);
  });
  line.FirstX = line.DrawXX;
}

void TSection::PaintInlineBorders(QPainter& canvas, LineRec& line, int x) {
  const int yOffset = OwnerList->YOffset();
  if (!line.BorderList) return;
  for (const BorderRec& border : *line.BorderList) {
    const QRect box = border.Box.translated(x - line.FirstX, -yOffset);
    const TMarginArray& m = border.MargArray;
    if (static_cast<TColor>(m[Prop::BackgroundColor]) != ColorNone)
      FillRect(canvas, box.left(), box.top(), box.left() + box.width(), box.top() + box.height(),
               ToQColor(static_cast<TColor>(m[Prop::BackgroundColor])));
    const int left = border.OpenStart ? 0 : m[Prop::BorderLeftWidth];
    const int right = border.OpenEnd ? 0 : m[Prop::BorderRightWidth];
    const QRect outer = box.adjusted(-left, -m[Prop::BorderTopWidth], right, m[Prop::BorderBottomWidth]);
    TBorderLook look = BorderLookOf(m);
    if (border.OpenStart) look.Styles.Left() = BorderKind::None;
    if (border.OpenEnd) look.Styles.Right() = BorderKind::None;
    DrawBorder(canvas, outer, box, OwnerList->Printing, static_cast<TColor>(m[Prop::BackgroundColor]), look);
  }
}

int TSection::CharIndexAt(int X, int Y, TCharAtPoint& result) {
  const int at = LineOfY(Y);
  if (at < 0) return -1;
  const LineRec& line = m_lines[static_cast<std::size_t>(at)];
  const int lineX = m_paintX + line.LineIndent;
  if (X > lineX + line.DrawWidth) return -1;
  result.CaretHeight = line.LineHt;
  result.YR = line.Top + line.SpaceBefore;
  if (X < lineX) {
    result.InText = false;
    result.XR = lineX;
    return FirstCharIndex + line.Start;
  }
  const int count = CharsFitting(line, X - lineX);
  result.XR = lineX + JustifiedWidth(line, line.Start, line.Start + count);
  result.InText = count < line.Ln;
  return FirstCharIndex + line.Start + count;
}

int TSection::LinkAt(int X, int Y, TLinkAtResult& result) {
  int flags = 0;
  for (const auto& image : Images()) {
    int ix = 0, iy = 0;
    if (!image->PictureAt(X, Y, ix, iy)) continue;
    result.Title = image->ImageTitle;
    if (!result.Title.empty()) flags |= LinkAtTitle;
    OwnerList->ActiveImage = image.get();
    if (TFormControlObj* control = image->FormControl()) {
      result.FormControl = control;
      result.FormX = ix;
      result.FormY = iy;
      return flags | LinkAtFormControl;
    }
    if (!image->UsesMap()) {
      TFontObj* run = m_fonts.GetFontObjAt(image->Pos).Run;
      if (run && !run->RunTarget().Url.empty()) {
        result.Link = run->RunTarget();
        OwnerList->ActiveLink = run;
        if (image->IsMap()) {
          // A server-side map gets the point inside the picture.
          std::string& url = result.Link->Url;
          url.push_back('?');
          url.append(std::to_string(ix));
          url.push_back(',');
          url.append(std::to_string(iy));
        }
        flags |= LinkAtLink;
      }
      return flags;
    }
    for (const auto& map : OwnerList->MapList) {
      if (map->MapName != image->MapName()) continue;
      TMapItem::TAreaHit hit = map->FindArea(ix, iy);
      if (hit.Found && hit.Target) {
        result.Link = static_cast<const TRunTarget&>(*hit.Target);
        flags |= LinkAtLink;
      }
      if (!hit.Title.empty()) {
        result.Title = hit.Title;
        flags |= LinkAtTitle;
      }
      break;
    }
    return flags;
  }
  for (const LineRec& line : m_lines) {
    if (line.Ln == 0) continue;
    const int drawY = line.Top + line.SpaceBefore;
    if (!(drawY < Y && Y <= drawY + line.LineHt)) continue;
    const int lineX = m_paintX + line.LineIndent;
    if (X < lineX) return flags;
    TLineWalker walker(*this, line, Buff, m_fonts, m_sums, OwnerList->Measurer());
    int count = 0, used = 0;
    while (count < line.Ln) {
      const int w = walker.Next(line.Start + count);
      if (used + w > X - lineX) break;
      used += w;
      ++count;
    }
    if (count >= line.Ln) return flags;
    const int index = line.Start + count;
    if (Buff[static_cast<std::size_t>(index)] == kImageChar) return flags;
    TFontObj* run = m_fonts.GetFontObjAt(index).Run;
    if (!run) return flags;
    if (!run->RunTarget().Url.empty()) {
      result.Link = run->RunTarget();
      OwnerList->ActiveLink = run;
      flags |= LinkAtLink;
    }
    if (!run->TitleText().empty()) {
      result.Title = run->TitleText();
      flags |= LinkAtTitle;
    }
    return flags;
  }
  return flags;
}

bool TSection::ObjectAt(int X, int Y, TObjectAtPoint& result) {
  for (const auto& image : Images()) {
    int ix = 0, iy = 0;
    if (!image->PictureAt(X, Y, ix, iy)) continue;
    result.Object = image.get();
    result.IX = ix;
    result.IY = iy;
    return true;
  }
  return false;
}

int TSection::SourcePosOf(int index) {
  const int F = FirstCharIndex, N = CharCount;
  if (SIndexList.empty() || index >= F + N || index < F) return -1;
  const int k = index - F;
  const auto after = std::upper_bound(SIndexList.begin(), SIndexList.end(), k,
                                      [](int value, const IndexObj& rec) { return value < rec.Pos; });
  if (after == SIndexList.begin()) return -1;
  const IndexObj& rec = *(after - 1);
  return k - rec.Pos + rec.Index;
}

int TSection::LastSourcePosition() const {
  if (SIndexList.empty() || CharCount == 0) return -1;
  const IndexObj& last = SIndexList.back();
  return last.Index + (CharCount - 1 - last.Pos);
}

int TSection::DocPosOf(int sourcePosition, bool previous) {
  const int F = FirstCharIndex, N = CharCount;
  if (SIndexList.empty() || N == 0) return -1;
  const IndexObj& last = SIndexList.back();
  const int lastSource = last.Index + (N - 1 - last.Pos);
  const int s = sourcePosition;
  if (!previous) {
    if (s > lastSource) return -1;
    if (s <= SIndexList.front().Index) return F;
  } else {
    if (s < SIndexList.front().Index) return -1;
    if (s > lastSource) return F + N - 1;
  }
  // The run whose source range holds s, or the gap after it.
  const auto after = std::upper_bound(SIndexList.begin(), SIndexList.end(), s,
                                      [](int value, const IndexObj& rec) { return value < rec.Index; });
  const std::size_t r = static_cast<std::size_t>(after - SIndexList.begin()) - 1;
  const IndexObj& rec = SIndexList[r];
  const int runLength = (r + 1 < SIndexList.size() ? SIndexList[r + 1].Pos : N) - rec.Pos;
  if (s < rec.Index + runLength) return F + rec.Pos + (s - rec.Index);
  // In the gap between this run and the next.
  if (previous) return F + rec.Pos + runLength - 1;
  return r + 1 < SIndexList.size() ? F + SIndexList[r + 1].Pos : F + N - 1;
}

bool TSection::CharIndexToXY(int index, int& X, int& Y) {
  const int F = FirstCharIndex, N = CharCount;
  if (index < F || index > F + N) return false;
  const int k = index - F;
  int y = TopY;
  for (const LineRec& line : m_lines) {
    if (line.Ln > 0 && k >= line.Start && k < line.Start + line.Ln) {
      X = m_paintX + line.LineIndent + JustifiedWidth(line, line.Start, k);
      Y = y;
      return true;
    }
    y += line.BandHeight();
  }
  return false;
}

bool TSection::CharAt(int index, char16_t& ch, TSectionBase*& object) {
  const int k = index - FirstCharIndex;
  if (k < 0 || k >= static_cast<int>(Buff.size())) return false;
  ch = Buff[static_cast<std::size_t>(k)];
  object = this;
  return true;
}

namespace {

std::u16string Lowered(const std::u16string& text) {
  std::u16string lower = text;
  for (char16_t& c : lower) c = QChar(c).toLower().unicode();
  return lower;
}

}  // namespace

int TSection::FindText(int from, const std::u16string& text, bool matchCase) {
  if (text.empty() || Buff.empty()) return -1;
  const int start = std::max(0, from - FirstCharIndex);
  if (start >= static_cast<int>(Buff.size())) return -1;
  const std::size_t at = matchCase ? Buff.find(text, static_cast<std::size_t>(start))
                                   : Lowered(Buff).find(Lowered(text), static_cast<std::size_t>(start));
  return at == std::u16string::npos ? -1 : FirstCharIndex + static_cast<int>(at);
}

int TSection::FindTextBackward(int from, const std::u16string& text, bool matchCase) {
  if (text.empty() || Buff.empty()) return -1;
  const int limit = from - FirstCharIndex;  // the match must end before it
  if (limit < static_cast<int>(text.size())) return -1;
  const std::size_t lastStart = static_cast<std::size_t>(limit) - text.size();
  const std::size_t at = matchCase ? Buff.rfind(text, lastStart) : Lowered(Buff).rfind(Lowered(text), lastStart);
  return at == std::u16string::npos ? -1 : FirstCharIndex + static_cast<int>(at);
}

void TSection::CopySelection() {
  SelTextCount* collector = OwnerList->Collector();
  if (!collector || Buff.empty()) return;
  const int selB = OwnerList->SelB - FirstCharIndex;
  const int selE = OwnerList->SelE - FirstCharIndex;
  const int length = static_cast<int>(Buff.size());
  for (const LineRec& line : m_lines) {
    if (line.Ln == 0) continue;
    int from = std::max(line.Start, selB);
    int to = std::min(line.Start + line.Ln, selE);
    if (to >= length) to = length - 1;  // the final space belongs to no text
    if (from < to) collector->AddText(Buff.data() + from, to - from);
  }
  if (selE > length) collector->AddTextWithLineEnd(nullptr, 0);
}

}  // namespace corvane
