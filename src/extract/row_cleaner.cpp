#include "extract/row_cleaner.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "extract/row_extraction.h"
#include "extract/text_search.h"

namespace corvane {

namespace {

constexpr std::array<std::string_view, 43> kOpenTagPrefixes = {
    "<p",      "<address", "<big",    "<blink",     "<blockquote", "<bq",     "<cite",  "<credit",
    "<em",     "<sup",     "<sub",    "<kbd",       "<listing",    "<pre",    "<sample", "<line",
    "<font",   "<div",     "<strong", "<small",     "<var",        "<xmp",    "<blackface",
    "<code",   "<del",     "<insert", "<q",         "<strike",     "<s",      "<tt",    "<b",
    "<i",      "<u",       "<center", "<centre",    "<span",       "<a",      "<h1",    "<h2",
    "<h3",     "<h4",      "<h5",     "<h6"};

constexpr std::array<std::string_view, 43> kCloseTags = {
    "</p>",      "</address>", "</big>",    "</blink>",     "</blockquote>", "</bq>",
    "</cite>",   "</credit>",  "</em>",     "</sup>",       "</sub>",        "</kbd>",
    "</listing>", "</pre>",    "</sample>", "</line>",      "</font>",       "</div>",
    "</strong>", "</small>",   "</var>",    "</xmp>",       "</blackface>",  "</code>",
    "</del>",    "</insert>",  "</q>",      "</strike>",    "</s>",          "</tt>",
    "</b>",      "</i>",       "</u>",      "</center>",    "</centre>",     "</span>",
    "</a>",      "</h1>",      "</h2>",     "</h3>",        "</h4>",         "</h5>",
    "</h6>"};

constexpr std::string_view kNbsp = "&nbsp;";
constexpr TShortPattern kNbspPattern(kNbsp);

constexpr std::size_t LongestOf(const std::array<std::string_view, 43>& tags) {
  std::size_t longest = 0;
  for (std::string_view tag : tags) longest = tag.size() > longest ? tag.size() : longest;
  return longest;
}
constexpr std::size_t kLongestTag = LongestOf(kCloseTags) > LongestOf(kOpenTagPrefixes)
                                        ? LongestOf(kCloseTags)
                                        : LongestOf(kOpenTagPrefixes);

// A set of tags of both lists, one bit per list position.
struct TTagSet {
  std::uint64_t close = 0;
  std::uint64_t prefix = 0;
};

// A tag as a sixteen-byte pattern, compared with sixteen bytes of text in a few instructions: the text
// gets the case bit set where the tag has letters, and must then equal the tag, letters in lower case,
// over the tag's length.
struct TFoldedTag {
  std::array<char, 16> want{};
  std::array<char, 16> fold{};
  std::uint32_t bits = 0;  // one bit per byte of the tag

  constexpr TFoldedTag() = default;
  constexpr explicit TFoldedTag(std::string_view tag) : bits((std::uint32_t{1} << tag.size()) - 1) {
    for (std::size_t i = 0; i < tag.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(tag[i]);
      const bool letter = IsAsciiLetter(c);
      want[i] = static_cast<char>(letter ? (c | 0x20) : c);
      fold[i] = static_cast<char>(letter ? 0x20 : 0);
    }
  }

#if defined(__SSE2__)
  bool Matches(__m128i text) const {
    const __m128i folded = _mm_or_si128(text, _mm_loadu_si128(reinterpret_cast<const __m128i*>(fold.data())));
    const __m128i same = _mm_cmpeq_epi8(folded, _mm_loadu_si128(reinterpret_cast<const __m128i*>(want.data())));
    return (static_cast<std::uint32_t>(_mm_movemask_epi8(same)) & bits) == bits;
  }
#endif
};

// The tags that can match at a "<", by the upper-cased byte after "<" (prefixes) or after "</"
// (closing tags), so that each "<" of a line is compared with a handful of tags, not 86; and the
// closing tags by slot, for the one-pass cleaning. Built at compile time.
class TTagIndex {
 public:
  static constexpr std::size_t kMaxPerByte = 8;

  constexpr TTagIndex() {
    for (std::uint8_t k = 0; k < kOpenTagPrefixes.size(); ++k) {
      const unsigned char key = AsciiUpper(static_cast<unsigned char>(kOpenTagPrefixes[k][1]));
      Insert(m_prefixes[key], k);
      m_foldedPrefixes[k] = TFoldedTag(kOpenTagPrefixes[k]);
      if (kOpenTagPrefixes[k].size() == 2) m_shortPrefix[key] = true;
    }
    for (std::uint8_t k = 0; k < kCloseTags.size(); ++k) {
      const std::string_view tag = kCloseTags[k];
      Insert(m_closeTags[AsciiUpper(static_cast<unsigned char>(tag[2]))], k);
      m_foldedCloseTags[k] = TFoldedTag(tag);
      std::uint8_t& slot = m_closeTagBySlot[CloseTagSlot(tag.data(), tag.size())];
      if (slot != 0) throw "two closing tags share a slot: choose other factors in CloseTagSlot";
      slot = static_cast<std::uint8_t>(k + 1);
    }
  }

  static constexpr std::size_t kLongestCloseTag = LongestOf(kCloseTags);

  // The length of the closing tag of the list at at, or 0; sixteen bytes must be readable at at. A
  // closing tag ends at the first ">" after it, and its length and letters give the one tag of the
  // list it can be.
  std::size_t CloseTagLengthAtPadded(const char* at) const {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const unsigned greaterThan =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('>'))));
    if (greaterThan == 0) return 0;
    const std::size_t length = static_cast<std::size_t>(__builtin_ctz(greaterThan)) + 1;
#else
    const void* found = std::memchr(at, '>', 16);
    if (found == nullptr) return 0;
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(found) - at) + 1;
#endif
    if (length < 4 || length > kLongestCloseTag) return 0;
    const std::uint8_t slot = m_closeTagBySlot[CloseTagSlot(at, length)];
    if (slot == 0) return 0;
#if defined(__SSE2__)
    return m_foldedCloseTags[slot - 1].Matches(bytes) ? length : 0;
#else
    return MatchesNoCase(std::string_view(at, length), 0, kCloseTags[slot - 1]) ? length : 0;
#endif
  }

  // True when a prefix matches at at; sixteen bytes must be readable at at.
  bool HasPrefixAtPadded(const char* at) const {
    const unsigned char key = AsciiUpper(static_cast<unsigned char>(at[1]));
    if (m_shortPrefix[key]) return true;
    const TList& prefixes = m_prefixes[key];
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    for (std::size_t i = 0; i < prefixes.count; ++i)
      if (m_foldedPrefixes[prefixes.tags[i]].Matches(bytes)) return true;
#else
    for (std::size_t i = 0; i < prefixes.count; ++i)
      if (MatchesNoCase(std::string_view(at, 16), 0, kOpenTagPrefixes[prefixes.tags[i]])) return true;
#endif
    return false;
  }

  // Adds to set every tag that matches text at pos.
  void AddTagsAt(std::string_view text, std::size_t pos, TTagSet& set) const {
    if (pos + 2 > text.size()) return;
    const unsigned char next = AsciiUpper(static_cast<unsigned char>(text[pos + 1]));
    const TList& prefixes = m_prefixes[next];
    for (std::size_t i = 0; i < prefixes.count; ++i) {
      const std::uint8_t k = prefixes.tags[i];
      if (MatchesNoCase(text, pos, kOpenTagPrefixes[k])) set.prefix |= std::uint64_t{1} << k;
    }
    if (next == '/' && pos + 3 <= text.size()) {
      const TList& closeTags = m_closeTags[AsciiUpper(static_cast<unsigned char>(text[pos + 2]))];
      for (std::size_t i = 0; i < closeTags.count; ++i) {
        const std::uint8_t k = closeTags.tags[i];
        if (MatchesNoCase(text, pos, kCloseTags[k])) set.close |= std::uint64_t{1} << k;
      }
    }
  }

  // True when start, which begins with "<", may be the beginning of a prefix or, with closeTags, of a
  // closing tag: either may be the beginning of the other.
  bool MayBeginTag(std::string_view start, bool closeTags) const {
    if (start.size() < 2) return true;
    const bool close = start[1] == '/';
    if (close && (!closeTags || start.size() < 3)) return closeTags;
    const unsigned char key = AsciiUpper(static_cast<unsigned char>(start[close ? 2 : 1]));
    const TList& list = close ? m_closeTags[key] : m_prefixes[key];
    for (std::size_t i = 0; i < list.count; ++i) {
      const std::string_view tag = close ? kCloseTags[list.tags[i]] : kOpenTagPrefixes[list.tags[i]];
      if (tag.size() >= start.size() ? MatchesNoCase(tag, 0, start) : MatchesNoCase(start, 0, tag)) return true;
    }
    return false;
  }

 private:
  struct TList {
    std::array<std::uint8_t, kMaxPerByte> tags{};
    std::size_t count = 0;
  };

  // Each closing tag of the list has a slot of its own by its length and three of its letters, so that
  // the one tag that may end at a ">" is found at once. (The factors were found by trying.)
  static constexpr std::size_t kCloseTagSlots = 128;
  // (Setting the case bit makes letters lower case and leaves the digits and ">" of tags as they are.)
  static constexpr std::size_t CloseTagSlot(const char* tag, std::size_t length) {
    auto lower = [tag](std::size_t i) { return std::size_t{static_cast<unsigned char>(tag[i] | 0x20)}; };
    return (lower(2) + 7 * lower(3) + lower(length - 2) + 15 * length) % kCloseTagSlots;
  }

  static constexpr void Insert(TList& list, std::uint8_t tag) {
    if (list.count == kMaxPerByte) throw "too many tags begin with the same letter";
    list.tags[list.count++] = tag;
  }

  std::array<TList, 256> m_prefixes{};
  std::array<TList, 256> m_closeTags{};
  std::array<TFoldedTag, kOpenTagPrefixes.size()> m_foldedPrefixes{};
  std::array<TFoldedTag, kCloseTags.size()> m_foldedCloseTags{};
  std::array<std::uint8_t, kCloseTagSlots> m_closeTagBySlot{};  // list position + 1; 0: none
  // A prefix of "<" and one letter: every tag that begins so is taken.
  std::array<bool, 256> m_shortPrefix{};
};

constexpr TTagIndex kTagIndex;

const TTagIndex& TagIndex() { return kTagIndex; }

TTagSet TagsIn(std::string_view text) {
  TTagSet set;
  for (std::size_t p = FindByte(text, 0, '<'); p != std::string_view::npos; p = FindByte(text, p + 1, '<'))
    TagIndex().AddTagsAt(text, p, set);
  return set;
}

// Removals join the text on both sides of them (the junctions, given as positions in the new text); a
// tag can only appear anew across a junction, starting in the few bytes before it.
std::size_t FirstStartBefore(std::size_t junction) {
  return junction >= kLongestTag ? junction - kLongestTag + 1 : 0;
}

void AddTagsAroundJunctions(std::string_view text, const std::vector<std::size_t>& junctions,
                            TTagSet& set) {
  for (std::size_t junction : junctions) {
    for (std::size_t q = FirstStartBefore(junction); q < junction && q < text.size(); ++q)
      if (text[q] == '<') TagIndex().AddTagsAt(text, q, set);
  }
}

// Moves count bytes within text; the ranges may overlap.
void MoveBytes(std::string& text, std::size_t to, std::size_t from, std::size_t count) {
  if (count != 0 && to != from) std::memmove(text.data() + to, text.data() + from, count);
}

std::string ReplaceNbsp(std::string_view line) {
  std::string text;
  text.reserve(line.size());
  std::size_t done = 0;
  for (std::size_t p = FindNoCase(line, 0, kNbsp); p != std::string_view::npos;
       p = FindNoCase(line, done, kNbsp)) {
    text.append(line, done, p - done);
    text.push_back(' ');
    done = p + kNbsp.size();
  }
  text.append(line, done);
  return text;
}

void TrimInPlace(std::string& text) {
  const std::string_view trimmed = TrimBlanks(text);
  const std::size_t begin = static_cast<std::size_t>(trimmed.data() - text.data());
  text.resize(begin + trimmed.size());
  text.erase(0, begin);
}

// Removes every occurrence of tag, scanning left to right; text that a removal brings together is not
// searched again. Returns whether anything was removed.
bool RemoveEveryOccurrence(std::string& text, std::string_view tag, std::vector<std::size_t>& junctions) {
  junctions.clear();
  std::size_t write = 0;
  std::size_t read = 0;
  for (std::size_t p = FindNoCase(text, 0, tag); p != std::string_view::npos;
       p = FindNoCase(text, read, tag)) {
    MoveBytes(text, write, read, p - read);
    write += p - read;
    read = p + tag.size();
    junctions.push_back(write);
  }
  if (junctions.empty()) return false;
  const std::size_t tail = text.size() - read;
  MoveBytes(text, write, read, tail);
  text.resize(write + tail);
  return true;
}

// As long as prefix occurs, removes its first occurrence through the first ">" after it; stops at an
// occurrence without a ">". Works in one left-to-right pass: text[0, write) is the result so far and
// never holds the prefix whole, text[read, end) is still to be looked at, and after a removal an
// occurrence may begin in the last bytes before write and go on at read.
bool RemovePrefixedTags(std::string& text, std::string_view prefix, std::vector<std::size_t>& junctions) {
  junctions.clear();
  const std::size_t size = text.size();
  std::size_t write = 0;
  std::size_t read = 0;
  auto matchesAcross = [&](std::size_t start) {
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      const std::size_t pos = start + i;
      std::size_t at = pos;
      if (pos >= write) {
        at = read + (pos - write);
        if (at >= size) return false;
      }
      if (AsciiUpper(static_cast<unsigned char>(text[at])) !=
          AsciiUpper(static_cast<unsigned char>(prefix[i])))
        return false;
    }
    return true;
  };
  for (;;) {
    std::size_t across = std::string::npos;
    if (!junctions.empty()) {
      for (std::size_t s = write >= prefix.size() ? write - prefix.size() + 1 : 0; s < write; ++s) {
        if (matchesAcross(s)) {
          across = s;
          break;
        }
      }
    }
    if (across != std::string::npos) {
      // The prefix holds no ">", so the ">" that ends this tag lies after its bytes at read.
      const std::size_t gt = FindByte(text, read + prefix.size() - (write - across), '>');
      if (gt == std::string_view::npos) break;
      write = across;
      read = gt + 1;
      junctions.push_back(write);
      continue;
    }
    const std::size_t p = FindNoCase(text, read, prefix);
    if (p == std::string_view::npos) break;
    const std::size_t gt = FindByte(text, p + prefix.size(), '>');
    if (gt == std::string_view::npos) break;
    MoveBytes(text, write, read, p - read);
    write += p - read;
    read = gt + 1;
    junctions.push_back(write);
  }
  if (junctions.empty()) return false;
  MoveBytes(text, write, read, size - read);
  text.resize(write + (size - read));
  return true;
}

void CleanTagByTag(std::string& text) {
  TTagSet present = TagsIn(text);
  std::vector<std::size_t> junctions;
  for (std::size_t k = 0; k < kCloseTags.size(); ++k) {
    if ((present.close >> k & 1) && RemoveEveryOccurrence(text, kCloseTags[k], junctions))
      AddTagsAroundJunctions(text, junctions, present);
  }
  for (std::size_t k = 0; k < kOpenTagPrefixes.size(); ++k) {
    if ((present.prefix >> k & 1) && RemovePrefixedTags(text, kOpenTagPrefixes[k], junctions))
      AddTagsAroundJunctions(text, junctions, present);
  }
}

// The bytes a tag of the lists is made of, up to its ">".
constexpr std::array<bool, 256> kTagBytes = [] {
  std::array<bool, 256> bytes{};
  for (int c = 0; c < 256; ++c)
    bytes[c] = IsAsciiLetter(static_cast<unsigned char>(c)) || (c >= '0' && c <= '9') || c == '/' || c == '<';
  return bytes;
}();

constexpr std::size_t npos = std::string_view::npos;

// Eight bytes of an index of bits as one word, the first byte's bits lowest.
inline std::uint64_t IndexWord(const unsigned char* bytes) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
  } else {
    std::uint64_t word = 0;
    for (int i = 7; i >= 0; --i) word = word << 8 | bytes[i];
    return word;
  }
}

// The first position at or after from marked in the index, or npos; size is the text's. One word
// of the index, read from the byte that holds from, almost always holds the answer.
inline std::size_t NextMarked(const unsigned char* index, std::size_t size, std::size_t from) {
  while (from < size) {
    const std::uint64_t bits = IndexWord(index + from / 8) >> (from % 8);
    if (bits != 0) return from + static_cast<std::size_t>(__builtin_ctzll(bits));
    from = from / 8 * 8 + 64;
  }
  return npos;
}

// The same in either of two indexes.
inline std::size_t NextMarkedInEither(const unsigned char* first, const unsigned char* second, std::size_t size,
                                      std::size_t from) {
  while (from < size) {
    const std::uint64_t bits = (IndexWord(first + from / 8) | IndexWord(second + from / 8)) >> (from % 8);
    if (bits != 0) return from + static_cast<std::size_t>(__builtin_ctzll(bits));
    from = from / 8 * 8 + 64;
  }
  return npos;
}

// Copies count bytes sixteen at a time: both buffers have room for the bytes that go past the end.
inline void CopyBytes(char* out, const char* in, std::size_t count) {
#if defined(__SSE2__)
  // Most runs of text between tags are short: the first thirty-two bytes go without a test, so that
  // their varying lengths do not make the processor guess.
  auto copy16 = [out, in](std::size_t i) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
  };
  copy16(0);
  copy16(16);
  for (std::size_t i = 32; i < count; i += 16) copy16(i);
#else
  std::memcpy(out, in, count);
#endif
}

// True when a removal that has just ended the line at end may have brought a tag of the lists
// together: when the bytes from the last "<" before the end may begin a prefix or, with closeTags, a
// closing tag. Only the last "<" is looked at, and only as far back as a tag can begin: a tag holds
// one "<", at its start, then nothing but "/", letters and digits up to its end. (The line was just
// written in pieces of sixteen bytes; it is read back byte by byte, which the processor can take
// straight from its pending stores.)
[[gnu::noinline]] bool MayJoinTagBefore(const char* end, std::size_t lineSize, bool closeTags) {
  const std::size_t reach = std::min(lineSize, kLongestTag - 1);
  for (std::size_t back = 1; back <= reach; ++back) {
    const unsigned char c = static_cast<unsigned char>(end[-static_cast<std::ptrdiff_t>(back)]);
    if (c == '<') return TagIndex().MayBeginTag(std::string_view(end - back, back), closeTags);
    if (!kTagBytes[c]) return false;
  }
  return false;
}

inline bool MayJoinTag(const char* end, std::size_t lineSize, bool closeTags) {
  // Most removals come after a space, a quote or a ">"; the line pad makes end[-1] readable.
  if (!kTagBytes[static_cast<unsigned char>(end[-1])]) return false;
  return MayJoinTagBefore(end, lineSize, closeTags);
}

}  // namespace

std::span<const std::string_view> OpenTagPrefixes() { return kOpenTagPrefixes; }
std::span<const std::string_view> CloseTags() { return kCloseTags; }

void TTextCleaner::Load(std::string_view text) {
  m_size = text.size();
  // Buffers only grow. The bytes after the text are zeros, which match no tag and are not marked.
  const std::size_t indexSize = (m_size + 15) / 16 * 2 + kIndexPad;
  auto grow = [](std::string& buffer, std::size_t size) {
    if (buffer.size() < size) buffer.resize(std::max(size, 2 * buffer.size()));
  };
  grow(m_text, m_size + kTextPad);
  grow(m_line, kLinePad + m_size + kTextPad);
  if (m_lessThanOrAmpersand.size() < indexSize) {
    m_lessThanOrAmpersand.resize(std::max(indexSize, 2 * m_lessThanOrAmpersand.size()));
    m_greaterThan.resize(m_lessThanOrAmpersand.size());
  }
  m_lineSize = 0;
  const char* from = text.data();
  char* data = m_text.data();
  auto* lessThanOrAmpersand = reinterpret_cast<unsigned char*>(m_lessThanOrAmpersand.data());
  auto* greaterThan = reinterpret_cast<unsigned char*>(m_greaterThan.data());

  // Sixteen bytes at a time are copied and indexed; the last few are copied first, to be indexed with
  // the zeros after them.
  const std::size_t whole = m_size / 16 * 16;
  if (m_size != whole) std::memcpy(data + whole, from + whole, m_size - whole);
  std::memset(data + m_size, 0, kTextPad);
  std::size_t pos = 0;
  auto index = [&](const char* bytes16) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(data + pos), bytes);
    const unsigned special = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('&')))));
    const unsigned close = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('>'))));
#else
    std::memmove(data + pos, bytes16, 16);
    unsigned special = 0;
    unsigned close = 0;
    for (int i = 0; i < 16; ++i) {
      special |= unsigned{bytes16[i] == '<' || bytes16[i] == '&'} << i;
      close |= unsigned{bytes16[i] == '>'} << i;
    }
#endif
    auto store = [pos](unsigned char* index, unsigned bits) {
      const unsigned char bytes[2] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8)};
      std::memcpy(index + pos / 8, bytes, 2);
    };
    store(lessThanOrAmpersand, special);
    store(greaterThan, close);
  };
  for (; pos < whole; pos += 16) index(from + pos);
  if (pos < m_size) {
    index(data + pos);
    pos += 16;
  }
  std::memset(lessThanOrAmpersand + pos / 8, 0, kIndexPad);
  std::memset(greaterThan + pos / 8, 0, kIndexPad);
}

TTextCleaner::TResult TTextCleaner::CleanText() { return Clean<false>(nullptr, nullptr, false); }

TTextCleaner::TResult TTextCleaner::CleanCells(const TShortPattern& cellTag, const TShortPattern& cellEndTag,
                                               bool trimCells) {
  return Clean<true>(&cellTag, &cellEndTag, trimCells);
}

// One loop for both: the whole text as one piece, or the cells as pieces joined by quotes and tabs.
// Everything is kept in locals: the line is written through a char pointer, which may point anywhere
// as far as the compiler knows, and would make it load the members again after each byte.
template <bool kCells>
TTextCleaner::TResult TTextCleaner::Clean(const TShortPattern* cellTag, const TShortPattern* cellEndTag,
                                          bool trimCells) {
  const char* const in = m_text.data();
  const std::size_t size = m_size;
  const auto* const lessThanOrAmpersand = reinterpret_cast<const unsigned char*>(m_lessThanOrAmpersand.data());
  const auto* const greaterThan = reinterpret_cast<const unsigned char*>(m_greaterThan.data());
  char* const out = m_line.data() + kLinePad;
  std::size_t write = 0;
  // A removal that ends the line at or past joinLimit cannot have joined a tag: the last "<" on the
  // line is too far back. Each "<" put on the line sets it kLongestTag bytes past the "<"; cutting the
  // line back leaves it, which only means a closer look than needed.
  std::size_t joinLimit = 0;
  std::size_t next = 0;  // where the search for the next cell begins
  for (;;) {
    std::size_t read = 0;
    std::size_t cellStart = 0;
    if constexpr (kCells) {
      // Most often the next cell's tag follows the last one's end tag at once.
      std::size_t tag = next;
      if (next >= size || !cellTag->MatchesPadded(in + next)) {
        tag = NextMarked(lessThanOrAmpersand, size, next);
        while (tag != npos && !cellTag->MatchesPadded(in + tag))
          tag = NextMarked(lessThanOrAmpersand, size, tag + 1);
        if (tag == npos) break;
      }
      const std::size_t gt = NextMarked(greaterThan, size, tag + kCellTagLength);
      if (gt == npos) break;
      read = gt + 1;
      if (trimCells) {
        while (read < size && IsBlankByte(static_cast<unsigned char>(in[read]))) ++read;
      }
      cellStart = write;
      if (write != 0) out[write++] = kCellSeparator;
      out[write++] = kCellQuote;
    }
    const std::size_t textBegin = read;
    for (;;) {
      const std::size_t at = NextMarked(lessThanOrAmpersand, size, read);
      if (at == npos) {
        if constexpr (kCells) {
          // No end tag: this cell and the rest of the row are not cells.
          write = cellStart;
        } else {
          CopyBytes(out + write, in + read, size - read);
          write += size - read;
        }
        goto done;
      }
      CopyBytes(out + write, in + read, at - read);
      write += at - read;
      if (in[at] == '&') {
        const bool nbsp = kNbspPattern.MatchesPadded(in + at);
        out[write++] = nbsp ? ' ' : '&';
        read = at + (nbsp ? kNbsp.size() : 1);
        continue;
      }
      if (in[at + 1] == '/') {
        if (const std::size_t length = TagIndex().CloseTagLengthAtPadded(in + at)) {
          read = at + length;
          if (joinLimit > write && MayJoinTag(out + write, write, true)) return TResult::Unsure;
          continue;
        }
        if constexpr (kCells) {
          if (cellEndTag->MatchesPadded(in + at)) {
            read = at;
            break;
          }
        }
      } else if (TagIndex().HasPrefixAtPadded(in + at)) {
        std::size_t end = NextMarkedInEither(lessThanOrAmpersand, greaterThan, size, at + 1);
        while (end != npos && in[end] == '&')
          end = NextMarkedInEither(lessThanOrAmpersand, greaterThan, size, end + 1);
        if (end != npos) {
          if (in[end] == '<') return TResult::Unsure;
          read = end + 1;
          if (joinLimit > write && MayJoinTag(out + write, write, false)) return TResult::Unsure;
          continue;
        }
        // No ">" and no "<" follow: no end tag either, and nothing more is removed, only "&nbsp;"
        // replaced.
        if constexpr (kCells) {
          write = cellStart;
          goto done;
        }
      }
      out[write++] = '<';
      joinLimit = write - 1 + kLongestTag;
      read = at + 1;
    }
    // At the cell's end tag.
    if (trimCells) {
      // Blanks at the end of the cell were copied as they are, after everything the cleaning changed.
      std::size_t blankEnd = read;
      while (blankEnd > textBegin && IsBlankByte(static_cast<unsigned char>(in[blankEnd - 1]))) --blankEnd;
      write -= read - blankEnd;
    }
    out[write++] = kCellQuote;
    next = read + kCellEndTagLength;
  }
done:
  m_lineSize = write;
  return kCells && write == 0 ? TResult::NoCells : TResult::Done;
}

std::string CleanRowText(std::string_view line) {
  TTextCleaner cleaner;
  cleaner.Load(line);
  if (cleaner.CleanText() == TTextCleaner::TResult::Unsure) return CleanRowTextTagByTag(line);
  return std::string(TrimBlanks(cleaner.Line()));
}

std::string CleanRowTextTagByTag(std::string_view line) {
  std::string text = ReplaceNbsp(line);
  if (text.find('<') != std::string::npos) CleanTagByTag(text);
  TrimInPlace(text);
  return text;
}

}  // namespace corvane
