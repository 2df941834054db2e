#include "layout/section.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "layout/floating_obj.h"
#include "layout/form_control.h"
#include "layout/image_obj.h"
#include "layout/indent_manager.h"
#include "layout/section_list.h"
#include "layout/text_measurer.h"

namespace corvane {

namespace {

constexpr char16_t kSpace = 32;

bool AboveCjkLimit(char16_t c) { return c > 0x2FFF && !IsLowSurrogate(c); }

// The running sums of the widths of text measured in the fonts of its runs, in one pass: sums[i] is the
// width of text[0, i). Answers false, the sums unfinished, when a run starts before the end of the one
// before it; the caller then measures the general way.
bool SumRunWidths(const std::u16string& text, const TFontList& fonts, TTextMeasurer& measurer, std::vector<int>& out) {
  const int length = static_cast<int>(text.size());
  out.resize(static_cast<std::size_t>(length) + 1);
  int* sums = out.data();
  sums[0] = 0;
  int sum = 0;
  int done = 0;  // sums[0..done] are written
  for (int r = 0; r < fonts.Count(); ++r) {
    const int from = std::min(length, fonts[r].StartIndex());
    const int to = r + 1 < fonts.Count() ? std::min(length, fonts[r + 1].StartIndex()) : length;
    if (from >= to) continue;
    if (from < done) return false;
    // Characters before the first run have no font: they take no room.
    for (; done < from; ++done) sums[done + 1] = sum;
    const char16_t after = to < length ? text[static_cast<std::size_t>(to)] : char16_t{0};
    sum = measurer.Widths(fonts[r].Font()).AccumulateWidths(text.data() + from, to - from, sum, sums + from + 1, after);
    done = to;
  }
  for (; done < length; ++done) sums[done + 1] = sum;
  return true;
}

// The position of the first line-break character in text[from, length), or length.
int NextLineBreak(const char16_t* text, int from, int length) {
  int i = from;
  // Four characters at a time: xor with the break character leaves a zero lane where one stands, and
  // (v - ones) & ~v & high is not 0 exactly when some lane is 0.
  constexpr std::uint64_t kOnes = 0x0001000100010001;
  constexpr std::uint64_t kHigh = 0x8000800080008000;
  constexpr std::uint64_t kBreaks = kOnes * kLineBreakChar;
  for (; i + 4 <= length; i += 4) {
    std::uint64_t v;
    std::memcpy(&v, text + i, sizeof v);
    v ^= kBreaks;
    if ((v - kOnes) & ~v & kHigh) break;
  }
  while (i < length && text[i] != kLineBreakChar) ++i;
  return i;
}

}  // namespace

void TSection::MeasureCharacters() {
  const int length = static_cast<int>(Buff.size());
  const bool hasObjects = !Images().empty() || !Controls().empty();
  if (!m_textMeasured || static_cast<int>(m_sums.size()) != length + 1) {
    // Text alone, its runs in order (every section but a few): the sums in one pass.
    if (!hasObjects && SumRunWidths(Buff, m_fonts, OwnerList->Measurer(), m_sums)) {
      m_textMeasured = true;
      return;
    }
    // The widths of the text depend only on the characters and their fonts: measured once. They are
    // kept as running sums; m_sums[i + 1] holds the width of character i until the sums are formed.
    m_sums.assign(static_cast<std::size_t>(length) + 1, 0);
    TTextMeasurer& measurer = OwnerList->Measurer();
    for (int r = 0; r < m_fonts.Count(); ++r) {
      const int from = std::min(length, m_fonts[r].StartIndex());
      const int to = r + 1 < m_fonts.Count() ? std::min(length, m_fonts[r + 1].StartIndex()) : length;
      if (from >= to) continue;
      const TCharWidths& widths = measurer.Widths(m_fonts[r].Font());
      for (int i = from; i < to; ++i)
        m_sums[static_cast<std::size_t>(i) + 1] =
            widths.Width(Buff[static_cast<std::size_t>(i)], i + 1 < length ? Buff[static_cast<std::size_t>(i) + 1] : 0);
    }
    m_textMeasured = true;
  } else if (hasObjects) {
    // Back from sums to widths, for the objects to take their new sizes.
    for (int i = length; i >= 1; --i) m_sums[static_cast<std::size_t>(i)] -= m_sums[static_cast<std::size_t>(i) - 1];
  } else {
    return;
  }
  // Objects take the size of their last sizing.
  for (const auto& image : Images())
    if (image->Pos < length)
      m_sums[static_cast<std::size_t>(image->Pos) + 1] =
          image->IsFloating() ? 0 : image->ObjWidth + image->HSpaceL + image->HSpaceR;
  for (const TFormControlObj* control : Controls())
    if (control->Pos < length)
      m_sums[static_cast<std::size_t>(control->Pos) + 1] =
          control->IsHidden() ? 0 : control->Width() + control->MarginLeft + control->MarginRight;
  for (int i = 1; i <= length; ++i) m_sums[static_cast<std::size_t>(i)] += m_sums[static_cast<std::size_t>(i) - 1];
}

int TSection::FontWidthOf(int from, int to) const {
  if (from >= to) return 0;
  return m_sums[static_cast<std::size_t>(to)] - m_sums[static_cast<std::size_t>(from)];
}

// Breaks one section into lines. Kept apart from the section's data so that the steps read in order.
class TLineBuilder {
 public:
  TLineBuilder(TSection& section, const TLayoutArgs& args, int& maxWidth)
      : s(section), a(args), mgr(*args.IMgr), maxWidth(maxWidth), length(static_cast<int>(section.Buff.size())) {
    floatPlaced.assign(section.Images().size(), false);
    const char16_t* text = section.Buff.data();
    for (int i = NextLineBreak(text, 0, length); i < length; i = NextLineBreak(text, i + 1, length)) breaks.push_back(i);
  }

  int Run();

 private:
  struct TFit {
    int Count = 0;
    bool FirstFits = false;
  };

  char16_t C(int i) const { return i >= 0 && i < length ? s.Buff[static_cast<std::size_t>(i)] : 0; }
  char F(int i) const { return i >= 0 && i <= length ? s.Brk[static_cast<std::size_t>(i)] : 'y'; }
  bool IsPlaceholder(int i) const { return C(i) == kFormControlChar || C(i) == kImageChar; }
  int ImageIndexAt(int position) const;
  int LeftAt(int y) const { return mgr.LeftEdge(y) + (firstLine ? s.m_firstLineIndent : 0); }
  TFit CountThatFits(int start, int limit);
  int HyphenWidth(int index) const;
  bool BreakOpportunityBackward(int p, int lineStart) const;
  int WordEnd(int q) const;
  void PlaceFloat(int imageIndex, int atY);
  void AddEmptyLine(int toY);
  void FinishLine(int start, int count, bool last);
  int LineWidthWithoutTrailing(int start, int count, bool shy) const;

  TSection& s;
  const TLayoutArgs& a;
  IndentManager& mgr;
  int& maxWidth;
  const int length;
  std::vector<int> breaks;  // positions of line-break characters
  std::vector<bool> floatPlaced;
  int y = 0;
  int height = 0;
  bool firstLine = true;
  int floatBottom = 0;  // lowest bottom of the floats placed here
};

int TLineBuilder::ImageIndexAt(int position) const {
  const auto& images = s.Images();
  const auto at = std::lower_bound(images.begin(), images.end(), position,
                                   [](const std::unique_ptr<TFloatingObj>& image, int p) { return image->Pos < p; });
  return at != images.end() && (*at)->Pos == position ? static_cast<int>(at - images.begin()) : -1;
}

int TLineBuilder::HyphenWidth(int index) const {
  const TFontList::TFontAt font = s.m_fonts.GetFontAt(index);
  if (!font.Font) return 0;
  return s.OwnerList->Measurer().Widths(*font.Font).Width(u'-');
}

void TLineBuilder::PlaceFloat(int imageIndex, int atY) {
  TFloatingObj& image = *s.Images()[static_cast<std::size_t>(imageIndex)];
  IndentManagerBasic::TFloatBox box{image.ObjWidth, image.ObjHeight, image.HSpaceL,
                                    image.HSpaceR, image.VSpaceT, image.VSpaceB};
  const int x = mgr.PlaceImageFloat(image.ObjAlign, atY, box);
  image.FloatX = x - a.X;
  image.FloatY = atY;
  floatPlaced[static_cast<std::size_t>(imageIndex)] = true;
  floatBottom = std::max(floatBottom, atY + image.ObjHeight + image.VSpaceT + image.VSpaceB);
}

TLineBuilder::TFit TLineBuilder::CountThatFits(int start, int limit) {
  limit = std::min(limit, length - start);
  bool breakFound = false;
  const auto nextBreak = std::lower_bound(breaks.begin(), breaks.end(), start);
  if (nextBreak != breaks.end() && *nextBreak < start + limit) {
    const int d = *nextBreak - start;
    if (d == 0) return {1, true};
    limit = d;
    breakFound = true;
  }
  int left = LeftAt(y);
  int available = mgr.RightEdge(y) - left;
  int width = 0;
  int i = start;
  bool anythingOnLine = false;
  if (s.Images().empty()) {
    // No pictures to place: the line takes characters while the running sum stays within the band.
    const int* sums = s.m_sums.data();
    const std::int64_t most = std::int64_t{sums[start]} + available;
    const int end = start + limit;
    while (i < end && sums[i + 1] <= most) ++i;
    width = sums[i] - sums[start];
  }
  while (i < start + limit) {
    const char16_t c = C(i);
    if (c == kImageChar) {
      const int imageIndex = ImageIndexAt(i);
      if (imageIndex >= 0 && s.Images()[static_cast<std::size_t>(imageIndex)]->IsFloating()) {
        if (!anythingOnLine && !floatPlaced[static_cast<std::size_t>(imageIndex)]) {
          // A float at the very start of the line goes to its edge now, when it fits or can never fit.
          const TFloatingObj& image = *s.Images()[static_cast<std::size_t>(imageIndex)];
          const int total = image.ObjWidth + image.HSpaceL + image.HSpaceR;
          const bool canWiden = mgr.NextWiderY(y) > y;
          const bool fits = total <= available;
          if (fits || !canWiden) {
            PlaceFloat(imageIndex, y);
            // One that can never fit is the only item of its line.
            if (!fits) return {i - start + 1, true};
            left = LeftAt(y);
            available = mgr.RightEdge(y) - left;
          } else {
            break;
          }
        }
        ++i;
        continue;
      }
    }
    const int w = s.CharWidth(i);
    if (width + w > available) break;
    width += w;
    anythingOnLine = true;
    ++i;
  }
  int count = i - start;
  if (count > 0 && count < limit && F(start + count - 1) == 's' &&
      width + HyphenWidth(start + count - 1) > available)
    --count;
  const bool firstFits = count > 0;
  if (breakFound && count == limit) ++count;
  return {count, firstFits};
}

// A place after which the line may end, searching back from q (rule d).
bool TLineBuilder::BreakOpportunityBackward(int p, int lineStart) const {
  const char16_t c = C(p);
  const char f = F(p);
  if (IsHighSurrogate(c) && IsLowSurrogate(C(p + 1))) return false;  // a pair stays whole
  if (p == lineStart) return IsPlaceholder(p) && f != 'n';
  if (f == 'n') return false;
  if (c == kSpace || IsPlaceholder(p) || c == u'-' || c == u'?') return true;
  return AboveCjkLimit(c) || AboveCjkLimit(C(p + 1)) || f == 'a' || f == 's';
}

// The end of the word that holds q (rule e).
int TLineBuilder::WordEnd(int q) const {
  for (int e = q; e < length; ++e) {
    if (e == length - 1) return e;
    if (IsHighSurrogate(C(e)) && IsLowSurrogate(C(e + 1))) continue;
    if (F(e + 1) == 'n') continue;
    const char16_t c = C(e), next = C(e + 1);
    if (c == u'-' || c == u'?' || F(e) == 'a' || F(e) == 's') return e;
    if (next == kSpace || next == kFormControlChar || next == kImageChar || next == kLineBreakChar ||
        AboveCjkLimit(next))
      return e;
  }
  return length - 1;
}

void TLineBuilder::AddEmptyLine(int toY) {
  LineRec line;
  line.Start = std::min(length, s.m_lines.empty() ? 0 : s.m_lines.back().Start + s.m_lines.back().Ln);
  line.Top = y;
  line.SpaceBefore = toY - y;
  line.LineImgHt = line.SpaceBefore;
  line.DrawWidth = mgr.RightEdge(y) - mgr.LeftEdge(y);
  s.m_lines.push_back(std::move(line));
  height += toY - y;
  y = toY;
}

int TLineBuilder::LineWidthWithoutTrailing(int start, int count, bool shy) const {
  int end = start + count;
  while (end > start && (C(end - 1) == kSpace || C(end - 1) == kLineBreakChar)) --end;
  int width = s.FontWidthOf(start, end);
  if (shy && end > start) width += HyphenWidth(end - 1);
  return width;
}

void TLineBuilder::FinishLine(int start, int count, bool last) {
  LineRec line;
  line.Start = start;
  line.Ln = count;
  line.Top = y;
  const int end = start + count;
  bool onlyObjects = !s.IsPreformatted();
  for (int i = start; i < end && onlyObjects; ++i) {
    const char16_t c = C(i);
    onlyObjects = c == kSpace || c == kFormControlChar || c == kImageChar;
  }
  if (!onlyObjects) {
    const TFontList::TRunAt first = s.m_fonts.GetFontObjAt(start);
    for (int r = std::max(0, first.RunNumber); r < s.m_fonts.Count(); ++r) {
      const TFontObj& run = s.m_fonts[r];
      if (r > first.RunNumber && run.StartIndex() >= end) break;
      line.LineHt = std::max(line.LineHt, run.TextHeight());
      line.Descent = std::max(line.Descent, run.Descent());
    }
  }
  if (s.m_lineHeight >= 0) {
    const int extra = s.m_lineHeight - line.LineHt;
    line.SpaceBefore = extra / 2;
    line.SpaceAfter = extra - extra / 2;
  }
  for (const auto& image : s.Images()) {
    if (image->Pos < start || image->Pos >= end || image->IsFloating()) continue;
    image->DrawY = y;
    const int imageHeight = image->ObjHeight + image->VSpaceT + image->VSpaceB;
    int textHeight = line.LineHt;
    if (textHeight == 0) {
      const TFontList::TRunAt run = s.m_fonts.GetFontObjAt(image->Pos);
      if (run.Run) textHeight = run.Run->TextHeight();
    }
    switch (image->ObjAlign) {
      case 1:
        line.SpaceAfter = std::max(line.SpaceAfter, imageHeight - line.LineHt);
        break;
      case 2: {
        const int h = imageHeight - textHeight;
        line.SpaceBefore = std::max(line.SpaceBefore, h / 2);
        line.SpaceAfter = std::max(line.SpaceAfter, h - h / 2);
        // The box is drawn centred on its font run's text, which a line of objects alone does not count
        // in its height: the line holds the box and its spaces where they are drawn.
        const int top = MiddleAlignedTop(*image, s.m_fonts.GetFontObjAt(image->Pos).Run, line.LineHt - line.Descent);
        line.SpaceBefore = std::max(line.SpaceBefore, std::max(0, image->VSpaceT) - top);
        line.SpaceAfter = std::max(line.SpaceAfter, top + image->ObjHeight + std::max(0, image->VSpaceB) - line.LineHt);
        break;
      }
      default:
        line.SpaceBefore = std::max(line.SpaceBefore, imageHeight + line.Descent - line.LineHt);
        break;
    }
  }
  for (TFormControlObj* control : s.Controls()) {
    if (control->Pos < start || control->Pos >= end || control->IsHidden()) continue;
    control->YPos = y;
    const int h = control->Height();
    const int full = h + control->MarginTop + control->MarginBottom;
    switch (control->FormAlign) {
      case 1:
        line.SpaceAfter = std::max(line.SpaceAfter, full - line.LineHt);
        break;
      case 2: {
        const int d = h - line.LineHt;
        line.SpaceBefore = std::max(line.SpaceBefore, d / 2 + control->MarginBottom);
        line.SpaceAfter = std::max(line.SpaceAfter, d - d / 2 + control->MarginTop);
        break;
      }
      case 3:
        line.SpaceBefore = std::max(line.SpaceBefore, full + line.Descent - line.LineHt);
        break;
      default:
        line.SpaceBefore = std::max(line.SpaceBefore, full - line.LineHt);
        break;
    }
  }
  if (!s.OwnerList->IsCopy && s.OwnerList->HasFocusProxies()) {
    const TFontList::TRunAt first = s.m_fonts.GetFontObjAt(start);
    for (int r = std::max(0, first.RunNumber); r < s.m_fonts.Count(); ++r) {
      TFontObj& run = s.m_fonts[r];
      if (r > first.RunNumber && run.StartIndex() >= end) break;
      run.SetLinkY(s.OwnerList->LinkRuns(), y);
    }
  }

  const int left = LeftAt(y);
  const int right = mgr.RightEdge(y);
  line.Shy = count > 0 && F(end - 1) == 's' && !last;
  const int w = LineWidthWithoutTrailing(start, count, line.Shy);
  switch (s.m_justify) {
    case 2:
      line.LineIndent = std::max(left - a.X, (right + left - w) / 2 - a.X);
      break;
    case 3:
      line.LineIndent = std::max(left - a.X, right - a.X - w);
      break;
    case 4:
      line.LineIndent = left - a.X;
      if (!last && count > 1) {
        line.Extra = std::max(0, right - left - w);
        for (int i = start; i < end - 1; ++i)
          if (C(i) == kSpace || C(i) == kNoBreakSpace) ++line.Spaces;
        if (line.Spaces == 0) line.Extra = 0;
      }
      break;
    default:
      line.LineIndent = left - a.X;
      break;
  }
  line.DrawWidth = right - left;
  const int band = line.BandHeight();
  height += band;
  y += band;
  line.LineImgHt = band;
  // Floats met after the start of the line go to their edges below it.
  for (std::size_t k = 0; k < s.Images().size(); ++k) {
    const TFloatingObj& image = *s.Images()[k];
    if (image.Pos < start || image.Pos >= end || !image.IsFloating() || floatPlaced[k]) continue;
    line.LineImgHt = std::max(line.LineImgHt, band + image.ObjHeight + image.VSpaceT + image.VSpaceB);
    PlaceFloat(static_cast<int>(k), y);
  }
  s.m_lines.push_back(std::move(line));
  firstLine = false;
}

int TLineBuilder::Run() {
  y = a.Y;
  const int clear = mgr.ClearDistance(y, s.ClearAttr);
  if (clear > 0) AddEmptyLine(y + clear);
  int start = 0;
  while (start < length) {
    const int remaining = length - start;
    TFit fit;
    if (s.IsPreformatted() && !s.m_breakWord) {
      fit = {remaining, true};
    } else {
      fit = CountThatFits(start, remaining);
      if (!fit.FirstFits && mgr.NextWiderY(y) > y) {
        AddEmptyLine(mgr.NextWiderY(y));
        continue;
      }
      fit.Count = std::max(1, fit.Count);
    }
    int end;  // the line's last character
    if (fit.Count >= remaining) {
      end = length - 1;
      if (s.IsPreformatted() && !s.m_breakWord)
        maxWidth = std::max(maxWidth, LeftAt(y) - a.X + LineWidthWithoutTrailing(start, remaining, false));
    } else {
      const int q = start + fit.Count - 1;
      const char16_t cq = C(q), next = C(q + 1);
      auto swallowSpaces = [this](int e) {
        while (e + 1 < length && C(e + 1) == kSpace) ++e;
        return e;
      };
      const bool qIsPairStart = IsHighSurrogate(cq) && IsLowSurrogate(next);
      if (((cq == kSpace || IsPlaceholder(q) || (AboveCjkLimit(cq) && !qIsPairStart)) && F(q) != 'n') ||
          cq == kLineBreakChar) {
        end = swallowSpaces(q);
      } else if (next == kSpace && F(q + 1) != 'n') {
        end = swallowSpaces(q);
      } else if ((next == kFormControlChar || next == kImageChar) && F(q) != 'n') {
        end = q;
      } else {
        int p = q;
        while (p >= start && !BreakOpportunityBackward(p, start)) --p;
        if (p >= start) {
          end = swallowSpaces(p);
        } else if (!s.m_breakWord) {
          if (mgr.NextWiderY(y) > y) {
            AddEmptyLine(mgr.NextWiderY(y));
            continue;
          }
          end = swallowSpaces(WordEnd(q));
          if (C(end + 1) == kLineBreakChar) ++end;
          const int count = end - start + 1;
          maxWidth = std::max(maxWidth, LeftAt(y) - a.X + LineWidthWithoutTrailing(start, count, false));
        } else {
          end = q;
        }
      }
    }
    const int count = end - start + 1;
    FinishLine(start, count, end >= length - 1);
    start = end + 1;
  }
  return height;
}

int TSection::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  IndentManager& mgr = *args.IMgr;
  PaintY = TopY = PaintTop = args.Y;
  FirstCharIndex = Curs;
  m_lines.clear();
  const int length = static_cast<int>(Buff.size());
  CharCount = length;
  if (length == 0) {
    Height = InkHeight = mgr.ClearDistance(args.Y, ClearAttr);
    MaxWidth = 0;
    BottomY = PaintBottom = args.Y + Height;
    return Height;
  }
  if (m_percentIndent > 0) m_firstLineIndent = args.AWidth * m_percentIndent / 100;
  DrawWidth = mgr.RightEdge(args.Y) - args.X;
  const int width = std::min(mgr.RightEdge(args.Y) - mgr.LeftEdge(args.Y), args.AWidth);
  MaxWidth = width;
  const int availableHeight = args.AHeight != 0 ? args.AHeight : args.BlHt;
  for (const auto& image : Images()) {
    image->SizeObject(width, availableHeight, m_fonts.GetFontObjAt(image->Pos).Run);
    MaxWidth = std::max(MaxWidth, image->ObjWidth);
  }
  for (TFormControlObj* control : Controls()) {
    if (!control->PercentWidth) continue;
    const int margins = control->MarginLeft + control->MarginRight;
    control->SetWidth(std::max(10, std::min(control->Percent * width / 100, width - margins)));
    MaxWidth = std::max(MaxWidth, control->Width());
  }
  MeasureCharacters();
  // Room at once for the lines the text fills at this width, at the least: a long paragraph's lines
  // are then not moved from list to list as they come. A short text asks for one line, as before.
  if (width > 0 && m_lines.capacity() == 0)
    m_lines.reserve(static_cast<std::size_t>(std::min(FontWidthOf(0, length) / width + 1, length)));

  TLineBuilder builder(*this, args, MaxWidth);
  Height = builder.Run();
  Curs = FirstCharIndex + length;

  if (int* baseline = args.Context.ListItemBaseline; baseline && *baseline == 0) {
    for (const LineRec& line : m_lines) {
      if (line.Ln == 0) continue;
      *baseline = line.Top + line.LineHt + line.SpaceBefore - line.Descent;
      break;
    }
  }
  int floatBottom = 0;
  for (const auto& image : Images())
    if (image->IsFloating()) floatBottom = std::max(floatBottom, image->FloatY + image->ObjHeight + image->VSpaceT + image->VSpaceB);
  InkHeight = std::max(floatBottom - args.Y, Height);
  BottomY = args.Y + Height;
  PaintBottom = args.Y + InkHeight;

  if (!OwnerList->IsCopy && m_sectionNumber > 0 && m_sectionNumber % 50 == 0 &&
      m_progressCycle != OwnerList->State.LayoutCycle && OwnerList->State.SectionCount > 0) {
    m_progressCycle = OwnerList->State.LayoutCycle;
    const int start = OwnerList->State.ProgressStart;
    OwnerList->Host().LayoutProgress(start + m_sectionNumber * (100 - start) / OwnerList->State.SectionCount);
  }
  return Height;
}

void TSection::GetMinMaxWidth(int& Min, int& Max) {
  if (m_minMaxValid) {
    Min = m_minCache;
    Max = m_maxCache;
    return;
  }
  const int length = static_cast<int>(Buff.size());
  int objectMin = 0;
  int floatSum = 0;
  for (const auto& image : Images()) {
    image->SizeObject(0, 0, m_fonts.GetFontObjAt(image->Pos).Run);
    if (image->PercentWidth) continue;
    if (image->IsFloating()) {
      floatSum += image->ObjWidth + image->HSpaceL + image->HSpaceR;
      if (image->Pos < length) Brk[static_cast<std::size_t>(image->Pos)] = 'y';
    } else {
      objectMin = std::max(objectMin, image->ObjWidth);
    }
  }
  for (const TFormControlObj* control : Controls())
    if (!control->IsHidden())
      objectMin = std::max(objectMin, control->Width() + control->MarginLeft + control->MarginRight);
  MeasureCharacters();

  // The widest segment between line breaks.
  const char16_t* text = Buff.data();
  const char* flags = Brk.data();
  const int* sums = m_sums.data();
  int widest = 0;
  int segmentStart = 0;
  bool firstSegment = true;
  for (;;) {
    const int i = NextLineBreak(text, segmentStart, length);
    int width = FontWidthOf(segmentStart, i);
    if (firstSegment) {
      if (m_percentIndent > 0) {
        width = width * 100 / (100 - m_percentIndent);
      } else {
        width += m_firstLineIndent;
      }
      firstSegment = false;
    }
    widest = std::max(widest, width);
    segmentStart = i + 1;
    if (i >= length) break;
  }
  Max = floatSum + widest;

  // The widest word, or with break word the widest character. A word's width is the difference of the
  // running sums at its ends.
  int minWord = 0;
  if (m_breakWord) {
    for (int i = 0; i < length; ++i) minWord = std::max(minWord, CharWidth(i));
  } else {
    int i = 0;
    while (i < length) {
      while (i < length && (text[i] == kSpace || IsObjectChar(text[i]))) ++i;
      if (i >= length) break;
      const int wordStart = i;
      int hyphen = 0;
      if (AboveCjkLimit(text[i]) && flags[i] == 'y') {
        // A character of its own; the low half of a pair goes with it, 0 wide.
        const int width = CharWidth(i);
        ++i;
        if (i < length && IsLowSurrogate(text[i])) ++i;
        minWord = std::max(minWord, width);
        continue;
      }
      for (;;) {
        const char flag = flags[i];
        ++i;
        if (flag == 'a') break;
        if (flag == 's') {
          const TFontList::TFontAt font = m_fonts.GetFontAt(i - 1);
          if (font.Font) hyphen = OwnerList->Measurer().Widths(*font.Font).Width(u'-');
          break;
        }
        if (i >= length) break;
        const char16_t next = text[i];
        // Letters and most signs go on with the word: only characters up to '?' may end it.
        if (next > u'?') {
          if (AboveCjkLimit(next)) break;
          continue;
        }
        const bool ends = next == kSpace || IsObjectChar(next) || next == u'-' || next == u'?';
        if (ends && flags[i] == 'y') {
          if (next == u'-' || next == u'?') ++i;
          break;
        }
      }
      minWord = std::max(minWord, sums[i] - sums[wordStart] + hyphen);
    }
  }
  Min = std::max(minWord, objectMin);
  m_minCache = Min;
  m_maxCache = Max;
  m_minMaxValid = true;
}

int TPreFormated::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  // Lines are never broken, so the widths are measured again after the layout.
  const int height = TSection::LayOut(args, MaxWidth, Curs);
  if (!m_breakWord) m_minMaxValid = false;
  return height;
}

void TPreFormated::GetMinMaxWidth(int& Min, int& Max) {
  if (m_breakWord) {
    TSection::GetMinMaxWidth(Min, Max);
    return;
  }
  if (!m_minMaxValid) {
    MeasureCharacters();
    m_maxCache = FontWidthOf(0, static_cast<int>(Buff.size()));
    m_minCache = std::min(6000, m_maxCache);
    m_minMaxValid = true;
  }
  Min = m_minCache;
  Max = m_maxCache;
}

}  // namespace corvane

namespace corvane {

bool TSection::CanTranslate() const { return Images().empty() && Controls().empty() && !OwnerList->HasFocusProxies(); }

void TSection::Translate(int dy, int dCurs) {
  TopY += dy;
  PaintY += dy;
  PaintTop += dy;
  BottomY += dy;
  PaintBottom += dy;
  FirstCharIndex += dCurs;
  for (LineRec& line : m_lines) {
    line.Top += dy;
    line.DrawY += dy;
    if (line.BorderList)
      for (BorderRec& border : *line.BorderList) border.Box.translate(0, dy);
  }
}

}  // namespace corvane
