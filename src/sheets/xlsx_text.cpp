#include "sheets/xlsx_text.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>

namespace corvane {

namespace {

// A character XML cannot hold (or a line's carriage return, which XML readers turn into a line feed),
// written the way spreadsheets escape characters in cells: "_x0001_".
char* PutEscapedCode(char* out, unsigned code) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  *out++ = '_';
  *out++ = 'x';
  for (int shift = 12; shift >= 0; shift -= 4) *out++ = kHex[(code >> shift) & 0xF];
  *out++ = '_';
  return out;
}


bool IsHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'); }

// The most bytes one UTF-16 unit becomes: an escape such as "_x0001_".
constexpr std::size_t kMostBytesPerUnit = 7;

}  // namespace

void AppendXmlText(std::string& xml, const QString& text, qsizetype length) {
  const std::size_t start = xml.size();
  xml.resize(start + static_cast<std::size_t>(length) * kMostBytesPerUnit);
  char* out = xml.data() + start;
  const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
  for (qsizetype i = 0; i < length; ++i) {
    const char16_t c = units[i];
    if (c < 0x80) {
      switch (c) {
        case u'&': out = PutXmlBytes(out, "&amp;"); break;
        case u'<': out = PutXmlBytes(out, "&lt;"); break;
        case u'>': out = PutXmlBytes(out, "&gt;"); break;
        case u'\t':
        case u'\n': *out++ = static_cast<char>(c); break;
        case u'_':
          // A text that looks like an escape keeps its underscore as "_x005F_".
          if (i + 6 < length && units[i + 1] == u'x' && IsHexDigit(units[i + 2]) && IsHexDigit(units[i + 3]) &&
              IsHexDigit(units[i + 4]) && IsHexDigit(units[i + 5]) && units[i + 6] == u'_')
            out = PutEscapedCode(out, c);
          else
            *out++ = '_';
          break;
        default:
          if (c < 0x20 || c == 0x7F)
            out = PutEscapedCode(out, c);
          else
            *out++ = static_cast<char>(c);
      }
      continue;
    }
    char32_t code = c;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      code = 0xFFFD;  // half of a pair
    }
    if (code == 0xFFFE || code == 0xFFFF) {
      out = PutEscapedCode(out, static_cast<unsigned>(code));
    } else if (code < 0x800) {
      *out++ = static_cast<char>(0xC0 | (code >> 6));
      *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      *out++ = static_cast<char>(0xE0 | (code >> 12));
      *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | (code >> 18));
      *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  xml.resize(static_cast<std::size_t>(out - xml.data()));
}

void AppendXmlAttribute(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&': out.append("&amp;"); break;
      case '<': out.append("&lt;"); break;
      case '>': out.append("&gt;"); break;
      case '"': out.append("&quot;"); break;
      default: out.push_back(c);
    }
  }
}

TTextLines LinesOf(const QString& text) {
  TTextLines lines;
  const char16_t* c = reinterpret_cast<const char16_t*>(text.constData());
  const char16_t* const end = c + text.size();
#ifdef __SSE2__
  // Most cells are no longer than a column and of one line: such a text's line is its characters
  // less the second halves of its pairs, counted eight units at a time (the last eight overlapping
  // those before, their units counted already left out).
  if (text.size() >= 8 && text.size() <= kWidestColumn) {
    const __m128i lineFeed = _mm_set1_epi16(u'\n');
    const __m128i halfMask = _mm_set1_epi16(static_cast<short>(0xFC00));
    const __m128i secondHalf = _mm_set1_epi16(static_cast<short>(0xDC00));
    const auto size = static_cast<std::size_t>(text.size());
    int breaks = 0;
    int halves = 0;
    for (std::size_t at = 0; at < size; at += 8) {
      const std::size_t from = std::min(at, size - 8);
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + from));
      // Two mask bits a unit; those of units before at are counted already.
      const int fresh = 0xFFFF & (0xFFFF << (2 * (at - from)));
      breaks |= _mm_movemask_epi8(_mm_cmpeq_epi16(units, lineFeed)) & fresh;
      // Pairs are rare: their halves are counted only where there are some.
      if (const int second = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, halfMask), secondHalf)) & fresh)
        halves += std::popcount(static_cast<unsigned>(second)) / 2;
    }
    if (breaks == 0) {
      lines.Longest = static_cast<int>(size) - halves;
      return lines;
    }
  }
#endif
  int line = 0;
  for (; c != end; ++c) {
    if (*c == u'\n') {
      lines.Longest = std::max(lines.Longest, line);
      lines.Several = true;
      line = 0;
    } else if ((*c & 0xFC00) != 0xDC00 && ++line > kWidestColumn) {
      break;
    }
  }
  lines.Longest = std::max(lines.Longest, line);
  return lines;
}

}  // namespace corvane
