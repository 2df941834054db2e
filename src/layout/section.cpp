#include "layout/section.h"

#include <QChar>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <numeric>
#include <string_view>

#include "html/attribute_list.h"
#include "html/token_obj.h"
#include "html/url_target.h"
#include "layout/floating_obj.h"
#include "layout/form_control.h"
#include "layout/section_list.h"
#include "style/properties.h"
#include "style/style_context.h"
#include "style/style_units.h"

namespace corvane {

namespace {

constexpr char16_t kSpace = 32;

// Text in one font is measured and drawn as in the other: the same platform font, size, style, colours,
// character set, letter spacing and metrics. (The character set the run was asked for is left aside: a
// run draws in the one it got.)
bool DrawAlike(const TMyFont& a, const TMyFont& b) {
  return a.Font() == b.Font() && a.Height() == b.Height() && a.Style() == b.Style() && a.Color() == b.Color() &&
         a.PixelsPerInch() == b.PixelsPerInch() && a.FontBackground() == b.FontBackground() &&
         a.ActualCharSet() == b.ActualCharSet() && a.LetterSpacing() == b.LetterSpacing() &&
         a.TextHeight() == b.TextHeight() && a.Descent() == b.Descent() && a.ExternalLeading() == b.ExternalLeading() &&
         a.InternalLeading() == b.InternalLeading() && a.AverageCharWidth() == b.AverageCharWidth() &&
         a.MaximumCharWidth() == b.MaximumCharWidth();
}

// Takes a run out of the document's list of link runs; the run is nearly always the last one.
void ForgetLinkRun(std::vector<TFontObj*>& runs, TFontObj* run) {
  if (!runs.empty() && runs.back() == run) {
    runs.pop_back();
  } else {
    std::erase(runs, run);
  }
}

int AlignmentOf(const TProperties& properties) {
  const std::string_view align = properties.Value(Prop::TextAlign).AsText();
  if (align == "right") return 3;
  if (align == "center") return 2;
  if (align == "justify") return 4;
  return 1;
}

int ClearOfAttribute(const TAttributeList* attributes) {
  if (!attributes) return 0;
  const TAttribute* clear = attributes->Find(TagSymbol::SymClear);
  if (!clear) return 0;
  std::string value = clear->Text;
  for (char& c : value) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (value == "left") return 1;
  if (value == "right") return 2;
  return 3;
}

std::uint8_t ScriptShiftOf(const TProperties& properties) {
  const std::optional<int> align = properties.GetVerticalAlign();
  if (align == Align::Sub || align == Align::Super) return static_cast<std::uint8_t>(*align);
  return 0;
}

// The clean-ups of Finish that text needs, read in one pass: soft hyphens, two spaces in a row, line
// breaks.
struct TCleanUps {
  bool SoftHyphen = false;
  bool DoubleSpace = false;
  bool LineBreak = false;
};

TCleanUps CleanUpsOf(std::u16string_view text) {
  TCleanUps found;
  const char16_t* units = text.data();
  const std::size_t count = text.size();
  auto look = [&found, units](std::size_t k) {
    const char16_t c = units[k];
    if (c == kSpace) {
      found.DoubleSpace = found.DoubleSpace || (k > 0 && units[k - 1] == kSpace);
    } else if (c == kSoftHyphen) {
      found.SoftHyphen = true;
    } else if (c == kLineBreakChar) {
      found.LineBreak = true;
    }
  };
  if (count > 0) look(0);
  std::size_t i = 1;
#ifdef __SSE2__
  // Eight units at a time, each with the one before it: most blocks hold no space after a space, no soft
  // hyphen and no line break, and are passed over.
  const __m128i space = _mm_set1_epi16(static_cast<short>(kSpace));
  const __m128i softHyphen = _mm_set1_epi16(static_cast<short>(kSoftHyphen));
  const __m128i lineBreak = _mm_set1_epi16(static_cast<short>(kLineBreakChar));
  for (; i + 8 <= count; i += 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i - 1));
    const __m128i pairs = _mm_and_si128(_mm_cmpeq_epi16(block, space), _mm_cmpeq_epi16(before, space));
    const __m128i marks = _mm_or_si128(_mm_cmpeq_epi16(block, softHyphen), _mm_cmpeq_epi16(block, lineBreak));
    if (_mm_movemask_epi8(_mm_or_si128(pairs, marks)) == 0) continue;
    for (std::size_t k = i; k < i + 8; ++k) look(k);
  }
#endif
  for (; i < count; ++i) look(i);
  return found;
}

// Case mapping one unit at a time keeps the characters and their source positions one to one.
char16_t UpperOf(char16_t c) { return QChar(c).toUpper().unicode(); }
char16_t LowerOf(char16_t c) { return QChar(c).toLower().unicode(); }

}  // namespace

constinit const std::vector<std::unique_ptr<TFloatingObj>> TSection::s_noImages;
constinit const std::vector<TFormControlObj*> TSection::s_noControls;

namespace {

// The building state that the last section dropped on this thread, cleared but with the room its list of
// source positions made, for the next section to take.
template <typename TState>
std::unique_ptr<TState>& SpareBuildState() {
  thread_local std::unique_ptr<TState> spare;
  return spare;
}

// A spare state keeps at most this many source positions' room, and as many characters' of text.
constexpr std::size_t kLargestSpareSources = 1 << 16;

}  // namespace

TSection::TBuildState& TSection::B() {
  if (!m_build) {
    std::unique_ptr<TBuildState>& spare = SpareBuildState<TBuildState>();
    m_build = spare ? std::move(spare) : std::make_unique<TBuildState>();
    if (Buff.empty() && Brk.empty()) {
      Buff.swap(m_build->TextRoom);
      Brk.swap(m_build->BreakRoom);
    }
  }
  return *m_build;
}

TSection::TSection(TSectionList* ownerList, bool paragraphStart, const TUrlTarget* link, TProperties& properties,
                   const TAttributeList* attributes)
    : TSectionBase(ownerList), m_fonts(ownerList ? &ownerList->RunPool() : nullptr) {
  if (link && !link->Url.empty()) B().Link = std::make_unique<TUrlTarget>(*link);
  ChangeFont(properties);
  m_lineHeight = properties.GetLineHeight(-m_fonts[0].Font().Height());
  if (paragraphStart) {
    const TTextIndent indent = properties.GetTextIndent();
    if (indent.IsPercent) {
      m_percentIndent = std::clamp(indent.Value, 0, 90);
    } else {
      m_firstLineIndent = indent.Value;
    }
  }
  m_justify = AlignmentOf(properties);
  ClearAttr = ClearOfAttribute(attributes);
  if (const std::optional<int> clear = properties.GetClear()) ClearAttr = *clear;
  m_breakWord = properties.Value(Prop::WordWrap).AsText() == "break-word";
  if (attributes) B().IdName = attributes->Id();
}

TSection::~TSection() {
  // A section left out (one that kept no text) hands its building room on as a finished one does.
  DropBuildState();
  if (!OwnerList || OwnerList->Clearing) return;
  // Runs of links leave the document's list of link runs with the section.
  std::vector<TFontObj*>& runs = OwnerList->LinkRuns();
  for (int i = 0; i < m_fonts.Count(); ++i) {
    TFontObj* run = &m_fonts[i];
    if (run->LinkFonts()) ForgetLinkRun(runs, run);
    if (run->FocusProxy()) OwnerList->RemoveFromTabOrder(*run->FocusProxy());
  }
}

void TSection::DropBuildState() {
  if (!m_build) return;
  std::unique_ptr<TBuildState>& spare = SpareBuildState<TBuildState>();
  if (spare || m_build->SourceOfChar.capacity() > kLargestSpareSources) {
    m_build.reset();
    return;
  }
  m_build->Clear();
  spare = std::move(m_build);
}

void TSection::RegisterId() {
  if (m_build && !m_build->IdName.empty() && OwnerList) OwnerList->IDNameList.AddObject(m_build->IdName, this);
}

void TSection::StartRun(const TMyFont& font) {
  TBuildState& b = B();
  const int start = static_cast<int>(Buff.size());
  if (m_fonts.Count() > 0 && m_fonts.Last().StartIndex() == start) {
    // A run that starts where the new one starts covers nothing: the new one takes its place.
    TFontObj* replaced = &m_fonts.Last();
    if (replaced->LinkFonts()) ForgetLinkRun(OwnerList->LinkRuns(), replaced);
    if (replaced->FocusProxy()) OwnerList->RemoveFromTabOrder(*replaced->FocusProxy());
    m_fonts.RemoveLast();
  }
  // Outside links, text that goes on in the font of the run before (after an element that changed
  // nothing, or between two elements alike: <b>x</b><b>y</b>) stays in that run. A line of a million
  // letters each in its own element is then one run, not a million.
  if (m_fonts.Count() > 0 && !b.Link) {
    TFontObj& last = m_fonts.Last();
    if (!last.LinkFonts() && last.RunTarget().Url.empty() && !last.FocusProxy() &&
        last.ScriptShift() == b.ScriptShift && last.TitleText() == b.RunTitle && DrawAlike(last.Font(), font))
      return;
  }
  TFontObj& run = m_fonts.Emplace(this, start, font);
  run.SetScriptShift(b.ScriptShift);
  if (!b.RunTitle.empty()) run.SetTitleText(b.RunTitle);
  if (b.Link) {
    run.MakeLinkFonts();
    if (b.LinkFonts) *run.LinkFonts() = *b.LinkFonts;
    run.ApplyFontInfo((*run.LinkFonts())[TFontInfoArray::Link], &OwnerList->Styles.Context().FontMetrics());
    static_cast<TRunTarget&>(run.EditRunTarget()) = *b.Link;
    OwnerList->LinkRuns().push_back(&run);
    if (!OwnerList->State.ManyLinks) run.CreateFocusProxy(*OwnerList, b.Link->TabIndex);
  }
  m_minMaxValid = false;
  m_textMeasured = false;
}

void TSection::ChangeFont(TProperties& properties) {
  TBuildState& b = B();
  b.TextTransform = properties.GetTextTransform();
  const TPropValue& variant = properties.Value(Prop::FontVariant);
  b.SmallCaps = variant.IsText() && variant.AsText() == "small-caps";
  b.InSmallCapsRun = false;
  b.ScriptShift = ScriptShiftOf(properties);
  b.RunTitle = properties.TitleText();
  if (b.Link) {
    if (!b.LinkFonts) b.LinkFonts = std::make_unique<TFontInfoArray>();
    properties.CopyLinkFonts(*b.LinkFonts);
  }
  const TMyFont& font = properties.Font();
  if (b.SmallCaps) {
    b.NormalFont = std::make_unique<TMyFont>(font);
    ThtFontInfo info;
    properties.FillFontInfo(info);
    info.Size = properties.Context().FontSizeToPoints("smaller", info.Size);
    b.SmallFont = std::make_unique<TMyFont>(info, properties.Context().PixelsPerInch(),
                                            &properties.Context().FontMetrics());
    b.SmallFont->SetLetterSpacing(font.LetterSpacing());
  }
  StartRun(font);
}

void TSection::StartLink(const TUrlTarget& link, TProperties& properties) {
  B().Link = link.Url.empty() ? nullptr : std::make_unique<TUrlTarget>(link);
  ChangeFont(properties);
}

void TSection::EndLink(TProperties& properties) {
  B().Link.reset();
  B().LinkFonts.reset();
  ChangeFont(properties);
}

void TSection::AppendChar(char16_t c, int source, char flag) {
  m_textMeasured = false;
  Buff.push_back(c);
  Brk.push_back(flag);
  B().SourceOfChar.push_back(source);
}

void TSection::AddText(const TokenObj& token, bool noBreak) {
  AddText(token.Chars().data(), token.Indices().data(), token.Count(), noBreak);
}

void TSection::AddText(const char16_t* chars, const int* sources, int count, bool noBreak) {
  if (count <= 0) return;
  m_textMeasured = false;
  m_minMaxValid = false;
  const char flag = noBreak || IsPreformatted() ? 'n' : 'y';
  TBuildState& b = B();
  if (b.TextTransform == 0 && !(b.SmallCaps && b.SmallFont)) {
    Buff.append(chars, static_cast<std::size_t>(count));
    Brk.append(static_cast<std::size_t>(count), flag);
    b.SourceOfChar.insert(b.SourceOfChar.end(), sources, sources + count);
    return;
  }
  for (int i = 0; i < count; ++i) {
    char16_t c = chars[i];
    if (B().TextTransform == 1) {
      c = UpperOf(c);
    } else if (B().TextTransform == 2) {
      c = LowerOf(c);
    }
    if (B().SmallCaps && B().SmallFont) {
      const char16_t upper = UpperOf(c);
      if (upper != c) {
        if (!B().InSmallCapsRun) {
          StartRun(*B().SmallFont);
          B().InSmallCapsRun = true;
        }
        c = upper;
      } else if (B().InSmallCapsRun && c != kSpace && !(c >= '0' && c <= '9')) {
        StartRun(*B().NormalFont);
        B().InSmallCapsRun = false;
      }
    }
    AppendChar(c, sources[i], flag);
  }
}

void TSection::AddChar(char16_t c, int sourcePosition) { AddText(&c, &sourcePosition, 1, false); }

void TSection::AddBreakOpportunity() {
  // An explicit break opportunity holds inside no-break text too, but never in preformatted text.
  if (!Brk.empty() && !IsPreformatted()) Brk.back() = 'a';
}

void TSection::AddObject(std::unique_ptr<TFloatingObj> object, int sourcePosition) {
  object->Pos = static_cast<int>(Buff.size());
  if (!m_objects) m_objects = std::make_unique<TObjects>();
  m_objects->Images.push_back(std::move(object));
  AppendChar(kImageChar, sourcePosition, IsPreformatted() ? 'n' : 'y');
  m_minMaxValid = false;
}

void TSection::AddFormControl(TFormControlObj& control, int sourcePosition) {
  control.Pos = static_cast<int>(Buff.size());
  if (!m_objects) m_objects = std::make_unique<TObjects>();
  m_objects->Controls.push_back(&control);
  AppendChar(kFormControlChar, sourcePosition, IsPreformatted() ? 'n' : 'y');
  m_minMaxValid = false;
}

TFloatingObj* TSection::ImageAt(int position) const {
  const auto at = std::lower_bound(Images().begin(), Images().end(), position,
                                   [](const std::unique_ptr<TFloatingObj>& image, int p) { return image->Pos < p; });
  return at != Images().end() && (*at)->Pos == position ? at->get() : nullptr;
}

TFormControlObj* TSection::ControlAt(int position) const {
  const auto at = std::lower_bound(Controls().begin(), Controls().end(), position,
                                   [](const TFormControlObj* control, int p) { return control->Pos < p; });
  return at != Controls().end() && (*at)->Pos == position ? *at : nullptr;
}

void TSection::Finish(int sourcePosition) {
  if (m_finished) return;
  m_finished = true;
  std::vector<int>& sourceOfChar = B().SourceOfChar;
  // Each clean-up step is one pass that keeps some characters; `original` remembers where each kept
  // character stood, so that runs, pictures and controls move once at the end.
  const int originalLength = static_cast<int>(Buff.size());
  // Most sections need no clean-up at all: `original` is made by the first step that keeps less.
  std::vector<int> original;
  bool compacted = false;
  std::vector<bool> floatsAt(Images().empty() ? 0 : Buff.size(), false);
  for (const auto& image : Images())
    if (image->IsFloating() && image->Pos < originalLength) floatsAt[static_cast<std::size_t>(image->Pos)] = true;

  auto compact = [&](auto keep) {
    if (!compacted) {
      original.resize(Buff.size());
      std::iota(original.begin(), original.end(), 0);
      compacted = true;
    }
    std::size_t out = 0;
    for (std::size_t i = 0; i < Buff.size(); ++i) {
      if (!keep(i, out)) continue;
      Buff[out] = Buff[i];
      Brk[out] = Brk[i];
      sourceOfChar[out] = sourceOfChar[i];
      original[out] = original[i];
      ++out;
    }
    Buff.resize(out);
    Brk.resize(out);
    sourceOfChar.resize(out);
    original.resize(out);
  };

  // 1. Leading spaces.
  std::size_t leading = 0;
  while (leading < Buff.size() && Buff[leading] == kSpace) ++leading;
  // One look at the rest tells which of the steps below have anything to do.
  const TCleanUps cleanUps = CleanUpsOf(std::u16string_view(Buff).substr(leading));
  if (leading > 0) compact([&](std::size_t i, std::size_t) { return i >= leading; });
  // 2. Soft hyphens: the character before one becomes a break point with a hyphen.
  if (cleanUps.SoftHyphen) {
    compact([&](std::size_t i, std::size_t out) {
      if (Buff[i] != kSoftHyphen) return true;
      if (out > 0 && Brk[out - 1] != 'n') Brk[out - 1] = 's';
      return false;
    });
  }
  // 3. Double spaces: the first goes when it may not break, else the second. Taking soft hyphens out
  // may have brought spaces together.
  const bool doubleSpace = cleanUps.SoftHyphen ? Buff.find(u"  ") != std::u16string::npos : cleanUps.DoubleSpace;
  if (doubleSpace) compact([&](std::size_t i, std::size_t out) {
    if (Buff[i] != kSpace || out == 0 || Buff[out - 1] != kSpace) return true;
    if (Brk[out - 1] == 'n') {
      Brk[out - 1] = Brk[i];
      sourceOfChar[out - 1] = sourceOfChar[i];
      original[out - 1] = original[i];
    }
    return false;
  });
  // 4. A space after a floating picture, 5. spaces next to line breaks.
  bool anyFloat = false;
  for (const auto& image : Images()) anyFloat = anyFloat || image->IsFloating();
  if (anyFloat || cleanUps.LineBreak) compact([&](std::size_t i, std::size_t out) {
    if (Buff[i] != kSpace) return true;
    if (out > 0 && Buff[out - 1] == kImageChar && floatsAt[static_cast<std::size_t>(original[out - 1])]) return false;
    if (out > 0 && Buff[out - 1] == kLineBreakChar) return false;
    return !(i + 1 < Buff.size() && Buff[i + 1] == kLineBreakChar);
  });
  // 6. A final line break, then a final space.
  if (Buff.size() > 1) {
    if (Buff.back() == kLineBreakChar) compact([n = Buff.size()](std::size_t i, std::size_t) { return i + 1 < n; });
    if (!Buff.empty() && Buff.back() == kSpace) compact([n = Buff.size()](std::size_t i, std::size_t) { return i + 1 < n; });
  }
  if (compacted) {
    auto newIndex = [&original](int old) {
      return static_cast<int>(std::lower_bound(original.begin(), original.end(), old) - original.begin());
    };
    m_fonts.Remap(newIndex, *OwnerList);
    for (const auto& image : Images()) image->Pos = newIndex(image->Pos);
    for (TFormControlObj* control : Controls()) control->Pos = newIndex(control->Pos);
  }
  // 7. Text ends with a space, unless it is a lone line break. The space belongs to the run of the last
  // character: runs begun after it (a font change just before the end) cover nothing.
  if (!Buff.empty() && !(Buff.size() == 1 && Buff[0] == kLineBreakChar) && Buff.back() != kSpace) {
    while (m_fonts.Count() > 1 && m_fonts.Last().StartIndex() >= static_cast<int>(Buff.size())) {
      TFontObj* dropped = &m_fonts.Last();
      if (dropped->LinkFonts()) ForgetLinkRun(OwnerList->LinkRuns(), dropped);
      if (dropped->FocusProxy()) OwnerList->RemoveFromTabOrder(*dropped->FocusProxy());
      m_fonts.RemoveLast();
    }
    // Source positions only grow along a section, so that they map back to characters.
    AppendChar(kSpace, std::max(sourcePosition, sourceOfChar.back() + 1), Brk.back() == 'n' ? 'n' : 'y');
  }

  Brk.push_back('y');
  BuildSourceIndex();
  GiveBackTextRoom();
  CharCount = static_cast<int>(Buff.size());
  if (!Buff.empty() && OwnerList) m_sectionNumber = ++OwnerList->State.SectionCount;
  m_minMaxValid = false;
  m_textMeasured = false;
}

void TSection::GiveBackTextRoom() {
  TBuildState& b = B();
  // Copies are made at their size (short ones inside the string itself).
  std::u16string text(Buff);
  std::string breaks(Brk);
  Buff.swap(text);
  Brk.swap(breaks);
  if (text.capacity() <= kLargestSpareSources && breaks.capacity() <= kLargestSpareSources) {
    text.clear();
    breaks.clear();
    b.TextRoom = std::move(text);
    b.BreakRoom = std::move(breaks);
  }
}

void TSection::BuildSourceIndex() {
  // The positions are kept as a list of jumps, so that a section holds a few entries where it had one
  // per character. They are gathered in a list of the thread's that keeps its room from section to
  // section, and copied once at their number. The per-character list is only emptied: a dropped building
  // state hands its room to the next section.
  thread_local std::vector<IndexObj> jumps;
  std::vector<int>& sourceOfChar = B().SourceOfChar;
  const std::size_t count = sourceOfChar.size();
  const int* sources = sourceOfChar.data();
  jumps.clear();
  if (count > 0) jumps.push_back({0, sources[0]});
  std::size_t i = 1;
#ifdef __SSE2__
  // Four positions at a time: most follow the one before and are passed over.
  const __m128i one = _mm_set1_epi32(1);
  for (; i + 4 <= count; i += 4) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sources + i));
    const __m128i next = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sources + i - 1)), one);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(here, next)) == 0xFFFF) continue;
    for (std::size_t k = i; k < i + 4; ++k)
      if (sources[k] != sources[k - 1] + 1) jumps.push_back({static_cast<int>(k), sources[k]});
  }
#endif
  for (; i < count; ++i)
    if (sources[i] != sources[i - 1] + 1) jumps.push_back({static_cast<int>(i), sources[i]});
  SIndexList.assign(jumps.data(), jumps.data() + jumps.size());
  if (jumps.capacity() > kLargestSpareSources) std::vector<IndexObj>().swap(jumps);
  sourceOfChar.clear();
}

void TPreFormated::Finish(int sourcePosition) {
  if (m_finished) return;
  m_finished = true;
  // An empty line has no character before the space: it takes the given position.
  const int source = B().SourceOfChar.empty() ? sourcePosition : B().SourceOfChar.back() + 1;
  AppendChar(kSpace, source, 'n');
  Brk.push_back('y');
  BuildSourceIndex();
  GiveBackTextRoom();
  CharCount = static_cast<int>(Buff.size());
  if (OwnerList) m_sectionNumber = ++OwnerList->State.SectionCount;
  m_minMaxValid = false;
}

}  // namespace corvane
