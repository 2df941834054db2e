#include "html/html_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "html/charsets.h"
#include "html/id_name_list.h"

namespace corvane {

namespace {

// Source indices are 32-bit; a longer text is cut (the end of the text has an index too).
constexpr std::size_t kMaxTextSize = static_cast<std::size_t>(std::numeric_limits<int>::max()) - 1;
constexpr int kNulsReplaced = 100;
constexpr std::size_t kMaxTagName = 255;

constexpr bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsControl(char c) { return static_cast<unsigned char>(c) <= 8; }  // ends text; 0 is the end itself
constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
// A character of a tag name, already in upper case.
constexpr bool IsTagNameChar(char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z') || c == '_'; }
constexpr bool IsAttributeNameChar(char c) { return c == '-' || IsDigit(c) || IsLetter(c); }

// The bytes of a tag as the quick tag reader sorts them: a blank (space, TAB, CR or LF, which read as
// space and CR) and a character of an attribute name; and each character of a tag name in upper case
// (0 for any other byte).
constexpr std::uint8_t kBlank = 1;
constexpr std::uint8_t kAttributeName = 2;
constexpr std::array<std::uint8_t, 256> kTagBytes = [] {
  std::array<std::uint8_t, 256> kinds{};
  for (int c = 0; c < 256; ++c) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') kinds[c] |= kBlank;
    if (IsAttributeNameChar(static_cast<char>(c))) kinds[c] |= kAttributeName;
  }
  return kinds;
}();
constexpr std::array<char, 256> kTagNameUpper = [] {
  std::array<char, 256> upper{};
  for (int c = 0; c < 256; ++c)
    if (IsTagNameChar(Upper(static_cast<char>(c)))) upper[c] = Upper(static_cast<char>(c));
  return upper;
}();

// The slot of a cache of 2^bits entries for a name's bytes taken as a number.
std::size_t CacheSlot(std::uint64_t key, int bits) {
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> (64 - bits));
}

// The end of a run of plain text bytes that starts at from, the byte before it being plain text itself:
// the first byte below ' ', "<" or "&" (with asciiOnly also any byte of 0x80 and above), or a space
// that a blank, "<" or "&" follows or that stands last before limit. A lone space between words stays
// in the run; runs of blanks are left to be folded the usual way.
std::size_t EndOfPlainRun(std::string_view text, std::size_t from, std::size_t limit, bool asciiOnly) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t to = from;
#if defined(__SSE2__)
  // Sixteen bytes at a time, each with the byte after it for the space rule.
  const __m128i belowSpace = _mm_set1_epi8(0x1F);
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i less = _mm_set1_epi8('<');
  const __m128i amp = _mm_set1_epi8('&');
  while (to + 17 <= limit) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + to));
    const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + to + 1));
    // Unsigned "below ' '" as min(c, 0x1F) == c; signed, it also takes the bytes from 0x80 up.
    const __m128i control = asciiOnly ? _mm_cmplt_epi8(v, space) : _mm_cmpeq_epi8(_mm_min_epu8(v, belowSpace), v);
    const __m128i stop = _mm_or_si128(control, _mm_or_si128(_mm_cmpeq_epi8(v, less), _mm_cmpeq_epi8(v, amp)));
    const __m128i afterEnds =
        _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(after, space), after),
                     _mm_or_si128(_mm_cmpeq_epi8(after, less), _mm_cmpeq_epi8(after, amp)));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop)) |
                          (static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, space))) &
                           static_cast<unsigned>(_mm_movemask_epi8(afterEnds)));
    if (mask != 0) return to + static_cast<std::size_t>(__builtin_ctz(mask));
    to += 16;
  }
#endif
  while (to < limit) {
    const unsigned char c = bytes[to];
    if (c == ' ') {
      if (to + 1 >= limit) break;
      const unsigned char after = bytes[to + 1];
      if (after <= ' ' || after == '<' || after == '&') break;
      ++to;
      continue;
    }
    if (c < ' ' || c == '<' || c == '&' || (asciiOnly && c >= 0x80)) break;
    ++to;
  }
  return to;
}

}  // namespace

THtmlReader::THtmlReader(std::string text, int codePage)
    : m_own(std::move(text)), m_documentCodePage(codePage), m_currentCodePage(codePage) {
  m_text = m_own;
  Prepare();
}

THtmlReader::THtmlReader(TBorrowedText text, int codePage)
    : m_text(text.Text), m_documentCodePage(codePage), m_currentCodePage(codePage) {
  Prepare();
}

void THtmlReader::Prepare() {
  if (m_text.size() > kMaxTextSize) m_text = m_text.substr(0, kMaxTextSize);
  if (m_text.find('\0') != std::string_view::npos) {
    OwnText();
    int nuls = 0;
    for (std::size_t at = m_own.find('\0'); at != std::string::npos; at = m_own.find('\0', at + 1)) {
      if (++nuls > kNulsReplaced) {
        m_own.resize(at);
        break;
      }
      m_own[at] = ' ';
    }
    m_text = m_own;
  }
  if (m_text.size() > 3 && m_text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    m_utf8Mark = true;
    m_start = 3;
    m_documentCodePage = m_currentCodePage = kCodePageUtf8;
  } else if (IsIso2022Jp(m_text)) {
    m_own = Iso2022JpToShiftJis(m_text);
    // Reducing bytes to 7 bits can make a NUL, which would end the text early.
    std::replace(m_own.begin(), m_own.end(), '\0', ' ');
    m_text = m_own;
    m_transcoded = true;
    m_documentCodePage = m_currentCodePage = kCodePageShiftJis;
  }
  Rewind();
}

void THtmlReader::OwnText() {
  if (m_text.data() == m_own.data() && m_text.size() == m_own.size()) return;
  m_own.assign(m_text);
  m_text = m_own;
}

THtmlReader::~THtmlReader() = default;

void THtmlReader::SetHandlers(THtmlReaderHandlers handlers) {
  m_handlers = std::move(handlers);
  m_attributes.SetInlineStyleParser(m_handlers.InlineStyle);
  m_reportProgress = m_handlers.Progress && !m_scanOnly;
  UpdatePlainEnd();
}

void THtmlReader::SetScanOnly(bool on) {
  m_scanOnly = on;
  m_reportProgress = m_handlers.Progress && !m_scanOnly;
  UpdatePlainEnd();
}

void THtmlReader::SetKeepPositions(bool on) {
  m_token.SetKeepIndices(on);
  m_collection.SetKeepIndices(on);
}

void THtmlReader::Start() {
  NextChar();
  NextToken();
}

void THtmlReader::Rewind() {
  m_inserted.clear();
  m_includes = 0;
  m_includedBytes = 0;
  m_next = m_start;
  UpdatePlainEnd();
  m_position = static_cast<int>(m_start) - 1;
  m_tagPosition = -1;
  m_lineEnd = TLineEnd::None;
  m_inComment = m_inMarkup = m_rawContent = false;
  m_ch = m_upper = 0;
  m_symbol = TagSymbol::SymEof;
  m_tagValue = 0;
  m_endTag = false;
  m_attributes.Clear();
  m_token.Clear();
}

void THtmlReader::ReportProgress() {
  const long long percent = static_cast<long long>(m_handlers.ProgressScale) * static_cast<long long>(m_next) /
                            static_cast<long long>(m_text.size());
  m_handlers.Progress(TProgressStage::Running, static_cast<int>(percent));
}

inline unsigned char THtmlReader::ReadByte() {
  if (!m_inserted.empty()) [[unlikely]]
    return ReadInsertedByte();
  if (m_next < m_text.size()) [[likely]] {
    const unsigned char c = static_cast<unsigned char>(m_text[m_next++]);
    m_position = static_cast<int>(m_next) - 1;
    if (m_next % kProgressStep == 0 && m_reportProgress) ReportProgress();
    return c;
  }
  m_position = static_cast<int>(m_text.size());
  return 0;
}

unsigned char THtmlReader::ReadInsertedByte() {
  while (!m_inserted.empty()) {
    TInsertedText& inserted = m_inserted.back();
    if (inserted.Next < inserted.Text.size()) return static_cast<unsigned char>(inserted.Text[inserted.Next++]);
    m_inserted.pop_back();
  }
  return ReadByte();
}

void THtmlReader::NextRawCharSlowly() {
  unsigned char c = ReadByte();
  if ((c == '\n' && m_lineEnd == TLineEnd::AfterCr) || (c == '\r' && m_lineEnd == TLineEnd::AfterLf)) {
    m_lineEnd = TLineEnd::None;  // the second half of a CR LF or LF CR pair
    c = ReadByte();
  }
  if (c == '\n') {
    c = '\r';
    m_lineEnd = TLineEnd::AfterLf;
  } else if (c == '\r') {
    m_lineEnd = TLineEnd::AfterCr;
  } else {
    m_lineEnd = TLineEnd::None;
    if (c == '\t') c = ' ';
  }
  UpdatePlainEnd();
  SetCurrentChar(static_cast<char>(c));
  if (c == 0 && m_inComment) {
    m_inComment = false;  // a caller that reads on gets the end of the text, not this error again
    // Browsers let the comment run to the end; the loops that skip it stop at the NUL of the end.
    if (!m_browserRules) throw THtmlParseError(kOpenCommentAtEnd);
  }
}

void THtmlReader::UpdatePlainEnd() {
  if (!m_inserted.empty())
    m_plainEnd = 0;
  else if (!m_reportProgress)
    m_plainEnd = m_text.size();
  else  // short of the next byte whose reading reports progress
    m_plainEnd = std::min(m_text.size(), (m_next / kProgressStep + 1) * kProgressStep - 1);
}

char THtmlReader::PeekChar() const {
  for (auto inserted = m_inserted.rbegin(); inserted != m_inserted.rend(); ++inserted)
    if (inserted->Next < inserted->Text.size()) return inserted->Text[inserted->Next];
  return m_next < m_text.size() ? m_text[m_next] : '\0';
}

void THtmlReader::NextToken() {
  m_token.Clear();
  if (m_ch == '\0') {
    m_symbol = TagSymbol::SymEof;
    return;
  }
  if (m_ch == '<') {
    ScanTag();
    return;
  }
  if (ScanText()) return;
  // A control character of code 1..8 starts no token of its own: it reads as "?", the start of a text.
  SetCurrentChar('?');
  ScanText();
}

// ScanTag from the "<" on, character by character.
bool THtmlReader::ScanTagSlowly() {
  m_endTag = false;
  NextChar();
  if (m_ch == '/') {
    m_endTag = true;
    NextChar();
  } else if (m_ch != '?' && !IsLetter(m_ch)) {
    // "a < b": the "<" is text; what follows it is read by the next NextToken.
    if (!m_scanOnly) m_token.Add(u'<', m_tagPosition);
    m_symbol = TagSymbol::SymText;
    return true;
  }

  char name[kMaxTagName];
  std::memset(name, 0, sizeof(std::uint64_t));  // a short name's key ends in zero bytes
  std::size_t length = 0;
  const auto add = [&](char c) {
    if (length < kMaxTagName) name[length++] = c;
  };
  for (;;) {
    const char c = m_upper;
    if (c == '/') {
      if (length > 0) break;  // "<BR/>"
    } else if (!IsTagNameChar(c)) {
      break;
    }
    if (length == 1 && name[0] == 'H' && c >= '1' && c <= '6') break;  // the level of a heading
    add(c);
    if (m_inserted.empty() && m_position == static_cast<int>(m_next) - 1) {
      // The name's further letters, up to the next progress report, taken at once; the character
      // after them is read the usual way.
      const std::size_t limit = std::min(m_text.size(), (m_next / kProgressStep + 1) * kProgressStep - 1);
      while (m_next < limit) {
        const char b = kUpperCase[static_cast<unsigned char>(m_text[m_next])];
        if (!IsTagNameChar(b)) break;
        if (length == 1 && name[0] == 'H' && b >= '1' && b <= '6') break;
        add(b);
        ++m_next;
      }
    }
    NextChar();
  }
  m_symbol = TagSymbol::SymUnknownTag;
  std::uint64_t key = 0;  // the first eight bytes of the name, for the element cache
  std::memcpy(&key, name, sizeof key);
  if (const auto element = CachedElement(std::string_view(name, length), key)) {
    if (!m_endTag)
      m_symbol = element->Start;
    else if (element->End)
      m_symbol = *element->End;
  }

  SkipBlanks();
  m_tagValue = 0;
  if ((m_symbol == TagSymbol::SymH || m_symbol == TagSymbol::SymHEnd) && m_ch >= '1' && m_ch <= '6') {
    m_tagValue = m_ch - '0';
    NextChar();
  }

  m_attributes.Clear();
  return ScanTagAttributes();
}

// The rest of a tag from the first character after its name, level and blanks: its attributes, read or
// passed over, and whatever else stands before the ">".
bool THtmlReader::ScanTagAttributes() {
  if (m_someAttributes && !m_attributesOf.Contains(m_symbol)) SkipAttributes();
  for (;;) {
    // As ReadAttribute decides it: no attribute begins unless a letter follows the blanks.
    SkipBlanks();
    if (!IsLetter(m_ch)) break;
    std::unique_ptr<TAttribute> attribute = m_attributes.Spare();
    const bool read = ReadAttribute(*attribute);
    if (!read || m_attributes.Count() >= kMaxAttributes) {
      m_attributes.Keep(std::move(attribute));
      if (!read) break;
      continue;
    }
    attribute->CodePage = m_documentCodePage;
    m_attributes.Add(std::move(attribute));
  }

  while (m_ch != '>' && m_ch != '\0') NextChar();
  // The content readers of SCRIPT and STYLE start at the ">".
  if (m_ch == '>' && m_symbol != TagSymbol::SymScript && m_symbol != TagSymbol::SymStyle) NextChar();
  return true;
}

// Most tags are a name, blanks and attributes that are passed over (or none) before a ">", all of them in
// the text itself, below the next progress report. Such a tag is read here from the bytes, character for
// character as ScanTag, SkipAttributes and NextChar read it: a TAB, CR and LF are blanks as the space
// (line ends fold into fewer blanks, which no loop here counts), and the reader is left on the ">" as it
// would be, the character after it read the usual way. Anything else answers false before the reader
// moves: a "<" not followed by a letter or "/" and a letter, a heading (its level follows the name), a
// name longer than the buffer, "<!" or "<%" inside the tag (skipped as
// markup), and a tag whose ">" does not come before m_plainEnd (its end, a NUL, inserted text or a
// progress report first). A tag whose attributes are read is read the long way from its first attribute
// on. The bytes are taken as they are, in any code page, as the long way takes them.
// Inlined into ScanTag, which is little more than this for most tags.
[[gnu::always_inline]] inline // The tag read so far (quickly) as the reader's own, the reader standing on its byte at.
void THtmlReader::StandInTag(bool endTag, TagSymbol symbol, std::size_t at) {
  m_endTag = endTag;
  m_symbol = symbol;
  m_tagValue = 0;
  m_attributes.Clear();
  m_next = at + 1;
  m_position = static_cast<int>(at);
  m_lineEnd = TLineEnd::None;
  SetCurrentChar(m_text[at]);
}

bool THtmlReader::ScanTagQuickly() {
  // The next byte read is that of the text at m_next, no half of a line end to pass over first (the
  // current character may have been put there: the style sheet parser hands back where it stopped).
  if (!m_inserted.empty() || m_position != static_cast<int>(m_next) - 1 || m_lineEnd != TLineEnd::None)
    return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(m_text.data());
  const std::size_t end = m_plainEnd;
  std::size_t at = m_next;
  // The byte at at, 0 at end: a 0 stops every loop below, and the last one gives up on it.
  const auto byte = [&]() -> unsigned char { return at < end ? bytes[at] : 0; };
  const auto blank = [&]() { return (kTagBytes[byte()] & kBlank) != 0; };
  // A "<" read opens markup that NextChar would skip.
  const auto opensMarkup = [&]() {
    return at + 1 < m_text.size() && (bytes[at + 1] == '!' || bytes[at + 1] == '%');
  };

  const bool endTag = byte() == '/';
  if (endTag) ++at;
  const std::size_t nameAt = at;
  if (!IsLetter(static_cast<char>(byte()))) return false;
  constexpr std::size_t kQuickName = 24;
  char name[kQuickName];
  std::memset(name, 0, sizeof(std::uint64_t));  // a short name's key ends in zero bytes
  const std::size_t nameEnd = std::min(end, at + kQuickName);
  for (char c; at < nameEnd && (c = kTagNameUpper[bytes[at]]) != 0; ++at) name[at - nameAt] = c;
  if (at == nameEnd) return false;  // a long name, or the end
  const std::size_t length = at - nameAt;
  // "H" followed by a level: the name is "H", the level read after it.
  if (name[0] == 'H' && (length == 1 || (name[1] >= '1' && name[1] <= '6'))) return false;
  std::uint64_t key = 0;
  std::memcpy(&key, name, sizeof key);
  const TElementCacheEntry& entry = m_elementCache[CacheSlot(key, kElementCacheBits)];
  const std::optional<TElementSymbols> element = entry.Length == length && entry.Key == key
                                                      ? entry.Symbols
                                                      : CachedElement(std::string_view(name, length), key);
  TagSymbol symbol = TagSymbol::SymUnknownTag;
  if (element) {
    if (!endTag)
      symbol = element->Start;
    else if (element->End)
      symbol = *element->End;
  }

  if (bytes[at] != '>') {
    while (blank()) ++at;
    if (!m_someAttributes || m_attributesOf.Contains(symbol)) {
      if (IsLetter(static_cast<char>(byte()))) {
        // Attributes to read: from the first letter of the first one on, the long way.
        StandInTag(endTag, symbol, at);
        return ScanTagAttributes();
      }
    } else {
      // SkipAttributes and SkipAttributeValue.
      for (;;) {
        while (blank()) ++at;
        if (!IsLetter(static_cast<char>(byte()))) break;
        while (kTagBytes[byte()] & kAttributeName) ++at;
        while (blank()) ++at;
        if (byte() != '=') continue;
        ++at;
        while (blank()) ++at;
        const unsigned char first = byte();
        if (first == '"' || first == '\'') {
          for (++at;; ++at) {
            const unsigned char c = byte();
            if (c == first || c == 0) break;
            if (c == '<' && opensMarkup()) return false;
          }
          if (byte() == first) ++at;
          continue;
        }
        const bool numeric = first == '+' || first == '-' || IsDigit(static_cast<char>(first));
        for (;; ++at) {
          const unsigned char c = byte();
          if (c == 0 || blank() || c == '>' || (numeric && c == '%')) break;
          if (c == '<' && opensMarkup()) return false;
        }
        if (!numeric) continue;
        while (blank()) ++at;
        if (byte() == '%') ++at;
      }
    }
    // Whatever stands before the ">".
    for (;; ++at) {
      const unsigned char c = byte();
      if (c == '>') break;
      if (c == 0 || (c == '<' && opensMarkup())) return false;
    }
  }

  // The ">" lies below m_plainEnd, in the progress step of the "<": the plain end stays as it was.
  StandInTag(endTag, symbol, at);
  // The content readers of SCRIPT and STYLE start at the ">".
  if (symbol != TagSymbol::SymScript && symbol != TagSymbol::SymStyle) NextChar();
  return true;
}

bool THtmlReader::ScanTag() {
  if (m_ch != '<') return false;
  m_tagPosition = m_position;
  return (m_quickTags && ScanTagQuickly()) || ScanTagSlowly();
}

std::optional<TElementSymbols> THtmlReader::CachedElement(std::string_view upperName, std::uint64_t key) {
  if (upperName.empty() || upperName.size() > sizeof key) return LookupElement(upperName);
  TElementCacheEntry& entry = m_elementCache[CacheSlot(key, kElementCacheBits)];
  if (entry.Length != upperName.size() || entry.Key != key) {
    entry.Key = key;
    entry.Length = static_cast<std::uint8_t>(upperName.size());
    entry.Symbols = LookupElement(upperName);
  }
  return entry.Symbols;
}

TagSymbol THtmlReader::CachedAttribute(std::string_view upperName) {
  if (upperName.empty() || upperName.size() > sizeof(std::uint64_t))
    return LookupAttribute(upperName).value_or(TagSymbol::SymUnknownAttr);
  std::uint64_t key = 0;
  for (std::size_t k = 0; k < upperName.size(); ++k)
    key |= std::uint64_t{static_cast<unsigned char>(upperName[k])} << (8 * k);
  TAttributeCacheEntry& entry = m_attributeCache[CacheSlot(key, kAttributeCacheBits)];
  if (entry.Length != upperName.size() || entry.Key != key) {
    entry.Key = key;
    entry.Length = static_cast<std::uint8_t>(upperName.size());
    entry.Symbol = LookupAttribute(upperName).value_or(TagSymbol::SymUnknownAttr);
  }
  return entry.Symbol;
}

bool THtmlReader::ReadAttribute(TAttribute& attribute) {
  attribute.Symbol = TagSymbol::SymUnknownAttr;
  SkipBlanks();
  if (!IsLetter(m_ch)) return false;
  attribute.AttrName.clear();
  while (m_ch == '-' || IsDigit(m_ch) || IsLetter(m_ch)) {
    attribute.AttrName += m_upper;
    if (m_inserted.empty() && m_position == static_cast<int>(m_next) - 1) {
      // The name's further characters, up to the next progress report, taken at once.
      const std::size_t limit = std::min(m_text.size(), (m_next / kProgressStep + 1) * kProgressStep - 1);
      std::size_t to = m_next;
      while (to < limit && IsAttributeNameChar(m_text[to])) ++to;
      const std::size_t at = attribute.AttrName.size();
      attribute.AttrName.resize(at + (to - m_next));
      for (std::size_t k = m_next; k < to; ++k) attribute.AttrName[at + k - m_next] = kUpperCase[static_cast<unsigned char>(m_text[k])];
      m_next = to;
    }
    NextChar();
  }
  attribute.Symbol = CachedAttribute(attribute.AttrName);
  SkipBlanks();
  if (m_someAttributes && !m_attributeSymbols.Contains(attribute.Symbol)) {
    // An attribute not wanted: kept as an unknown one, its value passed over.
    attribute.Symbol = TagSymbol::SymUnknownAttr;
    attribute.Value = 0;
    attribute.Text.clear();
    SkipAttributeValue();
    return true;
  }
  attribute.Value = attribute.Symbol == TagSymbol::SymBorder ? 1 : 0;
  attribute.Text.clear();
  if (m_ch == '=') {
    NextChar();
    SkipBlanks();
    if (m_ch == '"' || m_ch == '\'')
      ReadQuotedValue(attribute);
    else
      ReadUnquotedValue(attribute, m_ch == '+' || m_ch == '-' || IsDigit(m_ch));
  }
  if (attribute.Symbol == TagSymbol::SymId && !attribute.Text.empty() && !m_scanOnly && m_idList)
    m_idList->AddPosition(attribute.Text, m_position);
  return true;
}

// The characters ReadAttribute reads, one attribute after another, without keeping them. A character
// reference in a value takes only characters that cannot end the value, so the value ends where it
// does when it is read.
void THtmlReader::SkipAttributes() {
  for (;;) {
    SkipBlanks();
    if (!IsLetter(m_ch)) return;
    while (m_ch == '-' || IsDigit(m_ch) || IsLetter(m_ch)) NextChar();
    SkipBlanks();
    SkipAttributeValue();
  }
}

void THtmlReader::SkipAttributeValue() {
  if (m_ch != '=') return;
  NextChar();
  SkipBlanks();
  if (m_ch == '"' || m_ch == '\'') {
    const char quote = m_ch;
    NextChar();
    while (m_ch != quote && m_ch != '\0') {
      if (m_ch != '\r' && m_inserted.empty() && m_position == static_cast<int>(m_next) - 1) {
        // Plain bytes up to the next progress report at once, as ReadQuotedValue takes them.
        const std::size_t limit = std::min(m_text.size(), (m_next / kProgressStep + 1) * kProgressStep - 1);
        std::size_t to = m_next;
        while (to < limit) {
          const char c = m_text[to];
          if (static_cast<unsigned char>(c) <= '\r' || c == quote || c == '<') break;
          ++to;
        }
        m_next = to;
      }
      NextChar();
    }
    if (m_ch == quote) NextChar();
    return;
  }
  const bool numeric = m_ch == '+' || m_ch == '-' || IsDigit(m_ch);
  while (m_ch != '\0' && m_ch != ' ' && m_ch != '\r' && m_ch != '>' && !(numeric && m_ch == '%')) NextChar();
  if (!numeric) return;
  SkipBlanks();
  if (m_ch == '%') NextChar();
}

// Up to the same quote or the end of the text; a ">" does not end it. References are decoded into the
// document code page, the one the attribute records, so that the whole value is in one code page.
void THtmlReader::ReadQuotedValue(TAttribute& attribute) {
  const bool keepLineEnds = attribute.Symbol == TagSymbol::SymTitle || attribute.Symbol == TagSymbol::SymAlt;
  const char quote = m_ch;
  NextChar();
  while (m_ch != quote && m_ch != '\0') {
    if (m_ch == '&') {
      attribute.Text += DecodeReferenceToText(m_documentCodePage);
      continue;
    }
    if (m_ch != '\r')
      attribute.Text += m_ch;
    else if (keepLineEnds)
      attribute.Text += "\r\n";
    if (m_ch != '\r' && m_inserted.empty() && m_position == static_cast<int>(m_next) - 1) {
      // The plain bytes after this one, up to the next progress report, are taken at once; the byte
      // that ends them is read the usual way.
      const std::size_t limit = std::min(m_text.size(), (m_next / kProgressStep + 1) * kProgressStep - 1);
      std::size_t to = m_next;
      while (to < limit) {
        const char c = m_text[to];
        if (static_cast<unsigned char>(c) <= '\r' || c == quote || c == '&' || c == '<') break;
        ++to;
      }
      attribute.Text.append(m_text, m_next, to - m_next);
      m_next = to;
    }
    NextChar();
  }
  if (m_ch == quote) NextChar();
  attribute.Value = AttributeIntegerValue(attribute.Text);
}

// A numeric value (sign or digit first) ends at a blank, "%" or ">", and a "%" after it joins the text;
// any other unquoted value ends at a blank or ">" and keeps the default integer.
void THtmlReader::ReadUnquotedValue(TAttribute& attribute, bool numeric) {
  const int codePage = CurrentCodePage();
  while (m_ch != '\0' && m_ch != ' ' && m_ch != '\r' && m_ch != '>' && !(numeric && m_ch == '%')) {
    if (m_ch == '&') {
      attribute.Text += DecodeReferenceToText(codePage);
      continue;
    }
    attribute.Text += m_ch;
    NextChar();
  }
  if (!numeric) return;
  SkipBlanks();
  attribute.Value = AttributeIntegerValue(attribute.Text);
  if (m_ch == '%') {
    NextChar();
    attribute.Text += '%';
  }
}

bool THtmlReader::ScanText() {
  if (IsControl(m_ch) || m_ch == '<') return false;
  m_symbol = TagSymbol::SymText;
  const int codePage = CurrentCodePage();
  // Bytes below 0x80 of a code page that keeps them go to the token at once, widened; the others are
  // collected and converted, each piece before the next widened run (a cut there changes no character).
  const bool widen = !m_scanOnly && !m_token.Sink() && KeepsAscii(codePage);
  while (!IsControl(m_ch) && m_ch != '<') {
    while (m_ch == '&') {
      if (m_scanOnly) {
        TReference passed;
        ReadReference(passed);
      } else {
        DecodeReferenceToToken(m_token, codePage);
      }
    }
    m_collection.Clear();
    for (;;) {
      if (m_ch == ' ' || m_ch == '\r' || m_ch == '\t' || m_ch == '\n') {
        if (widen && m_collection.Empty())
          m_token.Add(u' ', m_position);
        else if (!m_scanOnly)
          m_collection.Add(' ', m_position);
        do NextChar();
        while (m_ch == ' ' || m_ch == '\r' || m_ch == '\t' || m_ch == '\n');
      } else if (IsControl(m_ch) || m_ch == '<' || m_ch == '&') {
        break;
      } else if (m_inserted.empty() && m_position == static_cast<int>(m_next) - 1) {
        // A run of plain text bytes after this one is taken at once, up to the next progress report;
        // its end is read the usual way.
        const std::size_t limit = std::min(m_text.size(), (m_next / kProgressStep + 1) * kProgressStep - 1);
        if (widen && static_cast<unsigned char>(m_ch) < 0x80) {
          const std::size_t to = EndOfPlainRun(m_text, m_next, limit, true);
          if (!m_collection.Empty()) {
            AddBytesToToken(m_token, m_collection, codePage, m_converter);
            m_collection.Clear();
          }
          std::size_t from = m_next - 1;
          if (m_text[from] != m_ch) {  // a control character read as "?"
            m_token.Add(static_cast<char16_t>(m_ch), m_position);
            ++from;
          }
          m_token.AddAscii(m_text.data() + from, to - from, static_cast<int>(from));
          m_next = to;
        } else {
          const std::size_t to = EndOfPlainRun(m_text, m_next, limit, false);
          if (!m_scanOnly) {
            m_collection.Add(m_ch, m_position);
            m_collection.AddRun(m_text.data() + m_next, to - m_next, static_cast<int>(m_next));
            ConvertCollectedPiece(codePage);
          }
          m_next = to;
        }
        NextChar();
      } else {
        if (!m_scanOnly) m_collection.Add(m_ch, m_position);
        NextChar();
      }
    }
    if (!m_scanOnly && !m_collection.Empty()) AddBytesToToken(m_token, m_collection, codePage, m_converter);
  }
  return true;
}

bool THtmlReader::KeepsAscii(int codePage) {
  if (codePage != m_asciiCodePage) {
    m_asciiCodePage = codePage;
    m_keepsAscii = m_converter.KeepsAscii(codePage);
  }
  return m_keepsAscii;
}

// A long text is converted as it is collected, in pieces that end after a byte below '0': no character
// of any code page read goes on past such a byte, so the token's text is the same as converted whole,
// while the bytes collected for it stay within a piece and a run.
void THtmlReader::ConvertCollectedPiece(int codePage) {
  constexpr std::size_t kPiece = std::size_t{1} << 16;
  const std::string_view chars = m_collection.Chars();
  if (chars.size() < kPiece) return;
  std::size_t end = chars.size();
  const std::size_t lowest = chars.size() - std::min(chars.size(), kPiece);
  while (end > lowest && static_cast<unsigned char>(chars[end - 1]) >= 0x30) --end;
  if (end == lowest) return;
  m_token.AddConverted(chars.substr(0, end), m_collection.KeepIndices() ? m_collection.Indices().data() : nullptr,
                       codePage, m_converter);
  m_collection.DropFirst(end);
}

}  // namespace corvane
