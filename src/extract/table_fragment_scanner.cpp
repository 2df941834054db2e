#include "extract/table_fragment_scanner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "extract/text_search.h"

namespace corvane {

namespace {

constexpr std::string_view kOpenTableTag = "<TABLE";
constexpr std::string_view kCloseTableTag = "</TABLE>";
constexpr unsigned char kEndOfFileMark = 26;
// Fragments this large keep the buffer they grew in instead of being copied to an exact fit.
constexpr std::size_t kMoveFragmentSize = std::size_t{1} << 20;

constexpr bool IsLineEndOrMark(unsigned char c) {
  return c == '\r' || c == '\n' || c == kEndOfFileMark;
}

// The position of the next byte at or after i that ends a line, is the end-of-file mark, or is a "<"
// that may begin a table tag; size when there is none. Most of a file is cell text and other tags, so
// it is skipped sixteen bytes at a time, looking for "<TA" and "</TA" in any case.
std::size_t NextEvent(const char* data, std::size_t i, std::size_t size) {
#if defined(__SSE2__)
  const __m128i lessThan = _mm_set1_epi8('<');
  const __m128i slash = _mm_set1_epi8('/');
  const __m128i lowerT = _mm_set1_epi8('t');
  const __m128i lowerA = _mm_set1_epi8('a');
  const __m128i caseBit = _mm_set1_epi8(0x20);
  const __m128i mark = _mm_set1_epi8(static_cast<char>(kEndOfFileMark));
  auto load = [data](std::size_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)); };
  for (; i + 16 + 3 <= size; i += 16) {
    const __m128i b0 = load(i);
    const __m128i b1 = load(i + 1);
    const __m128i b2 = _mm_or_si128(load(i + 2), caseBit);
    const __m128i b3 = _mm_or_si128(load(i + 3), caseBit);
    const __m128i tag = _mm_cmpeq_epi8(b0, lessThan);
    const __m128i open =
        _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(b1, caseBit), lowerT), _mm_cmpeq_epi8(b2, lowerA));
    const __m128i close =
        _mm_and_si128(_mm_cmpeq_epi8(b1, slash), _mm_and_si128(_mm_cmpeq_epi8(b2, lowerT), _mm_cmpeq_epi8(b3, lowerA)));
    // Every byte up to the end-of-file mark's code, in one comparison: CR and LF are among them, and the
    // few other control bytes (a tab) are passed over below.
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(b0, mark), b0);
    unsigned hits =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_and_si128(tag, _mm_or_si128(open, close)), control)));
    while (hits != 0) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(hits));
      const unsigned char c = static_cast<unsigned char>(data[at]);
      if (c == '<' || IsLineEndOrMark(c)) return at;
      hits &= hits - 1;
    }
  }
#endif
  for (; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (c == '<' || IsLineEndOrMark(c)) return i;
  }
  return size;
}

}  // namespace

void TTableFragmentScanner::SetSink(TFragmentSink* sink) {
  m_sink = sink;
  m_keepText = !sink || sink->WantsText(m_count);
}

std::size_t TTableFragmentScanner::Feed(const char* data, std::size_t size, bool atEnd) {
  const std::size_t used = FeedBytes(data, size, atEnd);
  if (used != 0) m_lineStart = IsLineEndOrMark(static_cast<unsigned char>(data[used - 1]));
  m_fed += used;
  return used;
}

std::size_t TTableFragmentScanner::FeedUntilOutside(const char* data, std::size_t size, bool atEnd) {
  m_pauseOutside = true;
  m_paused = false;
  const std::size_t used = Feed(data, size, atEnd);
  m_pauseOutside = false;
  return used;
}

std::size_t TTableFragmentScanner::FeedBytes(const char* data, std::size_t size, bool atEnd) {
  if (m_endMarkSeen || m_stopped) return size;
  std::size_t i = 0;
  // Plain text is kept in runs: data[plain, i) has been looked at but not yet appended.
  std::size_t plain = 0;
  auto keepPlain = [&](std::size_t upto) {
    if (upto > plain) AppendText(data + plain, data + upto);
    plain = upto;
  };
  while (i < size && !m_stopped) {
    if (m_crPending) {
      // The LF of a CR LF ends the line the CR ended: one line break, not a blank line.
      m_crPending = false;
      if (data[i] == '\n') {
        plain = ++i;
        continue;
      }
    }
    if (m_skipToLineEnd) {
      while (i < size && !IsLineEndOrMark(static_cast<unsigned char>(data[i]))) ++i;
      plain = i;
      if (i == size) break;
    }
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (IsLineEndOrMark(c)) {
      keepPlain(i);
      EndLine();
      m_crPending = m_keepLineBreaks && c == '\r';
      plain = ++i;
      if (c == kEndOfFileMark) {
        m_endMarkSeen = true;
        return size;
      }
      if (m_pauseOutside && m_depth == 0) {
        m_paused = true;
        return i;
      }
      continue;
    }
    if (m_takeNextByte) {
      if (m_keepText) m_kept.push_back(static_cast<char>(c));
      m_cut = m_kept.size();
      m_takeNextByte = false;
      plain = ++i;
      continue;
    }
    i = NextEvent(data, i, size);
    if (i == size) break;
    if (data[i] != '<') continue;  // a line end: handled above
    if (size - i < kCloseTableTag.size() && !atEnd) {
      keepPlain(i);
      return i;  // the tag may go on in the next bytes
    }
    const std::string_view rest(data + i, size - i);
    if (MatchesNoCase(rest, 0, kCloseTableTag)) {
      keepPlain(i);
      m_tagEnd = m_fed + i + kCloseTableTag.size();
      CloseTag(data + i);
      if (m_stopped) return size;
      plain = i += kCloseTableTag.size();
    } else if (MatchesNoCase(rest, 0, kOpenTableTag)) {
      keepPlain(i);
      OpenTag(data + i);
      plain = i += kOpenTableTag.size();
    } else {
      ++i;
    }
  }
  keepPlain(i);
  return size;
}

void TTableFragmentScanner::AppendText(const char* begin, const char* end) {
  if (!m_lineHasText) {
    for (const char* p = begin; p != end; ++p) {
      if (!IsBlankByte(static_cast<unsigned char>(*p))) {
        m_lineHasText = true;
        break;
      }
    }
  }
  if (!m_keepText) return;
  m_kept.append(begin, end);
  if (m_pendingLimit != 0 && !m_inCandidate && m_kept.size() > m_pendingLimit) m_overflowed = m_stopped = true;
}

void TTableFragmentScanner::OpenTag(const char* tag) {
  m_lineHasText = true;
  ++m_depth;
  // An opening tag inside a candidate means the candidate holds another table: drop it. The text of
  // this line since the last cut stays: it begins the new candidate.
  if (m_inCandidate) m_kept.erase(0, m_cut);
  if (m_keepText) m_kept.append(tag, kOpenTableTag.size());
  m_inCandidate = true;
  m_cut = m_kept.size();
  m_takeNextByte = true;
}

void TTableFragmentScanner::CloseTag(const char* tag) {
  m_lineHasText = true;
  if (m_depth == 0) {
    // A closing tag outside every table: the rest of the line goes, text before the tag included.
    m_kept.resize(m_cut);
    m_skipToLineEnd = true;
    return;
  }
  if (m_inCandidate) {
    if (m_keepText) m_kept.append(tag, kCloseTableTag.size());
    if (m_sink) {
      m_stopped = !m_sink->Take(m_count, m_kept);
    } else if (m_kept.size() >= kMoveFragmentSize) {
      m_fragments.push_back(std::move(m_kept));
    } else {
      m_fragments.emplace_back(m_kept);
    }
    ++m_count;
    if (m_sink) m_keepText = m_sink->WantsText(m_count);
    m_inCandidate = false;
  }
  m_kept.clear();
  m_cut = 0;
  --m_depth;
}

void TTableFragmentScanner::EndLine() {
  // The text since the last cut stays only as part of a candidate fragment; blank lines never count.
  const bool inCandidate = !m_skipToLineEnd && m_depth > 0 && m_inCandidate;
  if (m_lineHasText && inCandidate) {
    m_cut = m_kept.size();
  } else {
    m_kept.resize(m_cut);
  }
  if (m_keepLineBreaks && inCandidate && m_keepText) {
    m_kept.push_back('\n');
    m_cut = m_kept.size();
  }
  m_lineHasText = false;
  m_skipToLineEnd = false;
  m_takeNextByte = false;
}

void TTableFragmentScanner::Finish() {
  EndLine();
  // A table still open at the end of the file pairs with nothing.
  m_kept = std::string();
  m_cut = 0;
  m_inCandidate = false;
}

void TTableFragmentScanner::ScanAll(const std::function<std::size_t(char*, std::size_t)>& read,
                                    std::size_t blockSize) {
  // Room for the bytes handed back by Feed and at least as many new ones; not zero-filled, since a
  // small file uses little of it.
  const std::size_t capacity = std::max(blockSize, 2 * kCloseTableTag.size());
  const std::unique_ptr<char[]> buffer(new char[capacity]);
  std::size_t held = 0;
  for (;;) {
    const std::size_t got = read(buffer.get() + held, capacity - held);
    const bool atEnd = got == 0;
    const std::size_t size = held + got;
    const std::size_t used = Feed(buffer.get(), size, atEnd);
    if (atEnd || m_endMarkSeen || m_stopped) break;
    held = size - used;
    std::memmove(buffer.get(), buffer.get() + used, held);
  }
  Finish();
}

std::vector<std::string> CutTableFragments(std::string_view text, TLineBreaks lineBreaks) {
  TTableFragmentScanner scanner;
  scanner.SetLineBreaks(lineBreaks);
  scanner.Feed(text.data(), text.size(), true);
  scanner.Finish();
  return scanner.TakeFragments();
}

void JoinFragmentLines(std::string& fragment) { std::erase(fragment, '\n'); }

}  // namespace corvane
