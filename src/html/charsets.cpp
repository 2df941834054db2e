#include "html/charsets.h"

#include <array>

#include "html/code_pages.h"

namespace corvane {

namespace {

struct TCharsetName {
  std::string_view Name;
  int CharSet;
};

// Searched in this order: earlier entries win over later ones that the value also contains.
constexpr std::array<TCharsetName, kCharsetNameCount> kCharsetNames = {{
    {"1252", 0},        {"8859-1", 0},     {"1253", 161},     {"8859-7", 161},     {"1250", 238},
    {"8859-2", kCharSetIso8859_2},         {"1251", 204},     {"8859-5", 204},     {"koi", 204},
    {"866", 204},       {"1254", 162},     {"8859-3", 162},   {"8859-9", 162},     {"1257", 186},
    {"8859-4", 186},    {"932", 128},      {"949", 129},      {"936", 134},        {"950", 136},
    {"1255", 177},      {"1256", 178},     {"1258", 163},     {"874", 222},        {"ansi", 0},
    {"default", 1},     {"symbol", 2},     {"shiftjis", 128}, {"shift_jis", 128},  {"x-sjis", 128},
    {"hangeul", 129},   {"gb2312", 134},   {"big5", 136},     {"oem", 255},        {"johab", 130},
    {"hebrew", 177},    {"arabic", 178},   {"greek", 161},    {"turkish", 162},    {"vietnamese", 163},
    {"thai", 222},      {"easteurope", 238}, {"russian", 204}, {"euc-kr", 129},    {"5601", 129},
    {"euc-jp", kCharSetEucJp},             {"8859-15", 0},    {"tis-620", 222},
}};

constexpr char kEsc = 0x1B;

// The Shift_JIS pair of a JIS X 0208 pair (both bytes reduced to 7 bits).
unsigned char ShiftJisLead(unsigned char j1) {
  return static_cast<unsigned char>(((j1 + 1) >> 1) + (j1 >= 0x21 && j1 <= 0x5E ? 0x70 : 0xB0));
}

unsigned char ShiftJisTrail(unsigned char j1, unsigned char j2) {
  if (j1 % 2 == 0) return static_cast<unsigned char>(j2 + 0x7E);
  return static_cast<unsigned char>(j2 + 0x1F + (j2 >= 0x60 ? 1 : 0));
}

}  // namespace

std::optional<int> CharsetOfName(std::string_view value) {
  std::string lower(value);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const TCharsetName& entry : kCharsetNames)
    if (lower.find(entry.Name) != std::string::npos) return entry.CharSet;
  return std::nullopt;
}

bool IsIso2022Jp(std::string_view text) {
  const std::size_t at = text.find("\x1B$@");
  const std::size_t b = text.find("\x1B$B");
  if (at == std::string_view::npos && b == std::string_view::npos) return false;
  std::size_t start = 0;
  if (at != std::string_view::npos) start = at;
  if (b != std::string_view::npos && (at == std::string_view::npos || b > at)) start = b;
  const std::string_view rest = text.substr(start);
  return rest.find("\x1B(J") != std::string_view::npos || rest.find("\x1B(B") != std::string_view::npos;
}

std::string Iso2022JpToShiftJis(std::string_view text) {
  enum class TMode { Single, FirstOfPair, SecondOfPair };
  std::string out;
  out.reserve(text.size());
  TMode mode = TMode::Single;
  unsigned char j1 = 0;
  const auto seven = [&text](std::size_t k) { return static_cast<unsigned char>(text[k] & 0x7F); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = seven(i);
    if (c == kEsc && i + 2 < text.size()) {
      const unsigned char a = seven(i + 1), b = seven(i + 2);
      if (a == '(' && (b == 'B' || b == 'J')) {
        mode = TMode::Single;
        i += 2;
        continue;
      }
      if (a == '$' && (b == '@' || b == 'B')) {
        mode = TMode::FirstOfPair;
        i += 2;
        continue;
      }
    }
    switch (mode) {
      case TMode::Single:
        out += static_cast<char>(c);
        break;
      case TMode::FirstOfPair:
        j1 = c;
        out += static_cast<char>(ShiftJisLead(j1));
        mode = TMode::SecondOfPair;
        break;
      case TMode::SecondOfPair:
        out += static_cast<char>(ShiftJisTrail(j1, c));
        mode = TMode::FirstOfPair;
        break;
    }
  }
  return out;
}

void EucJpToShiftJis(std::string& text) {
  bool pairOpen = false;
  unsigned char j1 = 0;
  for (char& byte : text) {
    const unsigned char c = static_cast<unsigned char>(byte);
    if (c <= 0xA0) {
      pairOpen = false;
      continue;
    }
    const unsigned char j = c & 0x7F;
    if (!pairOpen) {
      j1 = j;
      byte = static_cast<char>(ShiftJisLead(j1));
      pairOpen = true;
    } else {
      byte = static_cast<char>(ShiftJisTrail(j1, j));
      pairOpen = false;
    }
  }
}

}  // namespace corvane
