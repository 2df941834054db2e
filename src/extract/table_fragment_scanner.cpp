#include "extract/table_fragment_scanner.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "extract/text_search.h"

namespace corvane {

namespace {

constexpr std::string_view kOpenTableTag = "<TABLE";
constexpr std::string_view kCloseTableTag = "</TABLE>";
constexpr unsigned char kEndOfFileMark = 26;
// Fragments this large keep the buffer they grew in instead of being copied to an exact fit.
constexpr std::size_t kMoveFragmentSize = std::size_t{1} << 20;

// Bytes that end a run of plain text: the start of a tag, line ends and the end-of-file mark.
constexpr std::array<bool, 256> MakeStopBytes() {
  std::array<bool, 256> stop{};
  stop['<'] = true;
  stop['\r'] = true;
  stop['\n'] = true;
  stop[kEndOfFileMark] = true;
  return stop;
}
constexpr std::array<bool, 256> kStopBytes = MakeStopBytes();

constexpr bool IsLineEndOrMark(unsigned char c) {
  return c == '\r' || c == '\n' || c == kEndOfFileMark;
}

}  // namespace

std::size_t TTableFragmentScanner::Feed(const char* data, std::size_t size, bool atEnd) {
  std::size_t i = 0;
  while (i < size) {
    if (m_endMarkSeen) return size;
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (IsLineEndOrMark(c)) {
      EndLine();
      ++i;
      if (c == kEndOfFileMark) {
        m_endMarkSeen = true;
        return size;
      }
      continue;
    }
    if (m_skipToLineEnd) {
      while (i < size && !IsLineEndOrMark(static_cast<unsigned char>(data[i]))) ++i;
      continue;
    }
    if (m_takeNextByte) {
      m_kept.push_back(static_cast<char>(c));
      m_cut = m_kept.size();
      m_takeNextByte = false;
      ++i;
      continue;
    }
    if (c == '<') {
      if (size - i < kCloseTableTag.size() && !atEnd) return i;  // the tag may go on in the next bytes
      m_lineHasText = true;
      const std::string_view rest(data + i, size - i);
      if (MatchesNoCase(rest, 0, kCloseTableTag)) {
        CloseTag(data + i);
        i += kCloseTableTag.size();
      } else if (MatchesNoCase(rest, 0, kOpenTableTag)) {
        OpenTag(data + i);
        i += kOpenTableTag.size();
      } else {
        m_kept.push_back('<');
        ++i;
      }
      continue;
    }
    std::size_t end = i + 1;
    while (end < size && !kStopBytes[static_cast<unsigned char>(data[end])]) ++end;
    AppendText(data + i, data + end);
    i = end;
  }
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
  m_kept.append(begin, end);
}

void TTableFragmentScanner::OpenTag(const char* tag) {
  ++m_depth;
  // An opening tag inside a candidate means the candidate holds another table: drop it. The text of
  // this line since the last cut stays: it begins the new candidate.
  if (m_inCandidate) m_kept.erase(0, m_cut);
  m_kept.append(tag, kOpenTableTag.size());
  m_inCandidate = true;
  m_cut = m_kept.size();
  m_takeNextByte = true;
}

void TTableFragmentScanner::CloseTag(const char* tag) {
  if (m_depth == 0) {
    // A closing tag outside every table: the rest of the line goes, text before the tag included.
    m_kept.resize(m_cut);
    m_skipToLineEnd = true;
    return;
  }
  if (m_inCandidate) {
    m_kept.append(tag, kCloseTableTag.size());
    if (m_kept.size() >= kMoveFragmentSize) {
      m_fragments.push_back(std::move(m_kept));
    } else {
      m_fragments.emplace_back(m_kept);
    }
    m_inCandidate = false;
  }
  m_kept.clear();
  m_cut = 0;
  --m_depth;
}

void TTableFragmentScanner::EndLine() {
  // The text since the last cut stays only as part of a candidate fragment; blank lines never count.
  if (m_lineHasText && !m_skipToLineEnd && m_depth > 0 && m_inCandidate) {
    m_cut = m_kept.size();
  } else {
    m_kept.resize(m_cut);
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
  // Room for the bytes handed back by Feed and at least as many new ones.
  std::vector<char> buffer(std::max(blockSize, 2 * kCloseTableTag.size()));
  std::size_t held = 0;
  for (;;) {
    const std::size_t got = read(buffer.data() + held, buffer.size() - held);
    const bool atEnd = got == 0;
    const std::size_t size = held + got;
    const std::size_t used = Feed(buffer.data(), size, atEnd);
    if (atEnd || m_endMarkSeen) break;
    held = size - used;
    std::memmove(buffer.data(), buffer.data() + used, held);
  }
  Finish();
}

std::vector<std::string> CutTableFragments(std::string_view text) {
  TTableFragmentScanner scanner;
  scanner.Feed(text.data(), text.size(), true);
  scanner.Finish();
  return scanner.TakeFragments();
}

}  // namespace corvane
