#include "extract/row_cleaner.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

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

// The tags that can match at a "<", by the upper-cased byte after "<" (prefixes) or after "</"
// (closing tags), so that each "<" of a line is compared with a handful of tags, not 86. Built at
// compile time.
class TTagIndex {
 public:
  static constexpr std::size_t kMaxPerByte = 8;

  constexpr TTagIndex() {
    for (std::uint8_t k = 0; k < kOpenTagPrefixes.size(); ++k)
      Insert(m_prefixes[AsciiUpper(static_cast<unsigned char>(kOpenTagPrefixes[k][1]))], k);
    for (std::uint8_t k = 0; k < kCloseTags.size(); ++k)
      Insert(m_closeTags[AsciiUpper(static_cast<unsigned char>(kCloseTags[k][2]))], k);
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

  // Length of the closing tag that matches text at pos, or 0. At most one can match: each ends in ">".
  std::size_t CloseTagLengthAt(std::string_view text, std::size_t pos) const {
    if (pos + 3 > text.size() || text[pos + 1] != '/') return 0;
    const TList& closeTags = m_closeTags[AsciiUpper(static_cast<unsigned char>(text[pos + 2]))];
    for (std::size_t i = 0; i < closeTags.count; ++i) {
      const std::string_view tag = kCloseTags[closeTags.tags[i]];
      if (MatchesNoCase(text, pos, tag)) return tag.size();
    }
    return 0;
  }

  // Length of the longest prefix that matches text at pos, or 0.
  std::size_t PrefixLengthAt(std::string_view text, std::size_t pos) const {
    if (pos + 2 > text.size()) return 0;
    const TList& prefixes = m_prefixes[AsciiUpper(static_cast<unsigned char>(text[pos + 1]))];
    std::size_t longest = 0;
    for (std::size_t i = 0; i < prefixes.count; ++i) {
      const std::string_view prefix = kOpenTagPrefixes[prefixes.tags[i]];
      if (prefix.size() > longest && MatchesNoCase(text, pos, prefix)) longest = prefix.size();
    }
    return longest;
  }

 private:
  struct TList {
    std::array<std::uint8_t, kMaxPerByte> tags{};
    std::size_t count = 0;
  };

  static constexpr void Insert(TList& list, std::uint8_t tag) {
    if (list.count == kMaxPerByte) throw "too many tags begin with the same letter";
    list.tags[list.count++] = tag;
  }

  std::array<TList, 256> m_prefixes{};
  std::array<TList, 256> m_closeTags{};
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

// True when a closing tag runs across one of the junctions.
bool CloseTagSpansJunction(std::string_view text, const std::vector<std::size_t>& junctions) {
  for (std::size_t junction : junctions) {
    for (std::size_t q = FirstStartBefore(junction); q < junction && q < text.size(); ++q)
      if (text[q] == '<' && q + TagIndex().CloseTagLengthAt(text, q) > junction) return true;
  }
  return false;
}

// True when a prefix runs across one of the junctions.
bool PrefixSpansJunction(std::string_view text, const std::vector<std::size_t>& junctions) {
  for (std::size_t junction : junctions) {
    for (std::size_t q = FirstStartBefore(junction); q < junction && q < text.size(); ++q)
      if (text[q] == '<' && q + TagIndex().PrefixLengthAt(text, q) > junction) return true;
  }
  return false;
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

// Removes all closing tags in one pass, then all prefixed tags in a second one. That equals the
// tag-by-tag removals as long as no removal brings a new tag of its own list together and no removed
// opening tag holds another "<"; returns false, with out unspecified, when that cannot be ruled out.
bool CleanInTwoPasses(std::string_view text, std::string& out) {
  std::vector<std::size_t> junctions;
  std::string mid;
  mid.reserve(text.size());
  std::size_t read = 0;
  for (std::size_t p = FindByte(text, 0, '<'); p != std::string_view::npos; p = FindByte(text, p + 1, '<')) {
    const std::size_t length = TagIndex().CloseTagLengthAt(text, p);
    if (length == 0) continue;
    mid.append(text, read, p - read);
    junctions.push_back(mid.size());
    read = p + length;
    p = read - 1;
  }
  mid.append(text, read);
  // A prefix brought together here is fine: the second pass meets it as the tag-by-tag removals would.
  if (CloseTagSpansJunction(mid, junctions)) return false;

  junctions.clear();
  out.clear();
  out.reserve(mid.size());
  read = 0;
  for (std::size_t p = FindByte(mid, 0, '<'); p != std::string_view::npos; p = FindByte(mid, p + 1, '<')) {
    if (TagIndex().PrefixLengthAt(mid, p) == 0) continue;
    const std::size_t gt = FindByte(mid, p + 1, '>');
    if (gt == std::string_view::npos) break;  // no later tag can end either
    if (FindByte(std::string_view(mid).substr(0, gt), p + 1, '<') != std::string_view::npos) return false;
    out.append(mid, read, p - read);
    junctions.push_back(out.size());
    read = gt + 1;
    p = gt;
  }
  out.append(mid, read);
  return !PrefixSpansJunction(out, junctions);
}

}  // namespace

std::span<const std::string_view> OpenTagPrefixes() { return kOpenTagPrefixes; }
std::span<const std::string_view> CloseTags() { return kCloseTags; }

std::string CleanRowText(std::string_view line) {
  std::string text = ReplaceNbsp(line);
  if (text.find('<') != std::string::npos) {
    std::string cleaned;
    if (CleanInTwoPasses(text, cleaned)) {
      text.swap(cleaned);
    } else {
      CleanTagByTag(text);
    }
  }
  TrimInPlace(text);
  return text;
}

std::string CleanRowTextTagByTag(std::string_view line) {
  std::string text = ReplaceNbsp(line);
  if (text.find('<') != std::string::npos) CleanTagByTag(text);
  TrimInPlace(text);
  return text;
}

}  // namespace corvane
