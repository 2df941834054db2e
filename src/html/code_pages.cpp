#include "html/code_pages.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace corvane {

namespace {

constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsUtf8Name(std::string_view name) {
  std::string upper;
  for (char c : name)
    if (c != '-' && c != '_') upper += Upper(c);
  return upper == "UTF8";
}

std::string ConversionName(int codePage) {
  switch (codePage) {
    case kCodePageSystem: return SystemCharsetName();
    case kCodePageOem: return "CP437";
    case kCodePageMac:
    case 10000: return "MACINTOSH";
    case kCodePageUtf8: return "UTF-8";
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    case 1361: return "JOHAB";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932:
    case 51932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    default: break;
  }
  if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
  return "CP" + std::to_string(codePage);
}

char32_t FromUtf32Le(const unsigned char* bytes) {
  return static_cast<char32_t>(bytes[0]) | static_cast<char32_t>(bytes[1]) << 8 |
         static_cast<char32_t>(bytes[2]) << 16 | static_cast<char32_t>(bytes[3]) << 24;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One well-formed UTF-8 sequence at bytes[i]: its code point and length; length 0 when the bytes there
// do not form one.
struct TUtf8Sequence {
  char32_t CodePoint = 0;
  std::size_t Length = 0;
};

TUtf8Sequence DecodeUtf8(std::string_view bytes, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = at(i);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  char32_t c = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return {};
  }
  if (i + length > bytes.size()) return {};
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char b = at(i + k);
    if (k == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return {};
    c = (c << 6) | (b & 0x3F);
  }
  return {c, length};
}

}  // namespace

const std::string& SystemCharsetName() {
  static const std::string name = [] {
    std::string codeset;
    if (locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {
      if (const char* text = ::nl_langinfo_l(CODESET, locale)) codeset = text;
      ::freelocale(locale);
    }
    // The C locale reports ASCII; UTF-8 holds ASCII and is what the desktop uses around it.
    if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" || codeset == "US-ASCII")
      return std::string("UTF-8");
    return codeset;
  }();
  return name;
}

char16_t Windows1252Char(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kWindows1252High[byte - 0x80] : static_cast<char16_t>(byte);
}

// What the converter keeps for one code page: UTF-8 is decoded here; every other code page has its
// byte table taken from the platform once, and multi-byte sequences go through the platform one
// character at a time.
struct TCodePageConverter::TCodec {
  enum class TByteKind : std::uint8_t { Char, Lead, Undefined };

  ~TCodec() {
    if (toUnicode != kNoConversion) ::iconv_close(toUnicode);
    if (fromUnicode != kNoConversion) ::iconv_close(fromUnicode);
  }

  std::string name;
  bool utf8 = false;
  bool multiByte = false;
  bool keepsAscii = false;  // see TCodePageConverter::KeepsAscii
  std::array<char32_t, 256> chars{};
  std::array<TByteKind, 256> kinds{};
  iconv_t toUnicode = kNoConversion;
  iconv_t fromUnicode = kNoConversion;  // opened by the first encoding that needs it

  // Converts the first character of bytes; false when they do not begin with one.
  bool DecodeOne(const char* bytes, std::size_t size, char32_t& c, std::size_t& length) {
    ::iconv(toUnicode, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = size;
    unsigned char out[4];
    char* outPointer = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    ::iconv(toUnicode, &in, &inLeft, &outPointer, &outLeft);
    length = size - inLeft;
    if (outLeft != 0 || length == 0) return false;
    c = FromUtf32Le(out);
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
  }

  static std::unique_ptr<TCodec> Open(const std::string& name) {
    auto codec = std::make_unique<TCodec>();
    codec->name = name;
    if (IsUtf8Name(name)) {
      codec->utf8 = true;
      codec->keepsAscii = true;
      return codec;
    }
    codec->toUnicode = ::iconv_open("UTF-32LE", name.c_str());
    if (codec->toUnicode == kNoConversion) return nullptr;
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      ::iconv(codec->toUnicode, nullptr, nullptr, nullptr, nullptr);
      char* in = const_cast<char*>(&byte);
      std::size_t inLeft = 1;
      unsigned char out[8];
      char* outPointer = reinterpret_cast<char*>(out);
      std::size_t outLeft = sizeof out;
      const std::size_t result = ::iconv(codec->toUnicode, &in, &inLeft, &outPointer, &outLeft);
      const int error = errno;
      if (result != static_cast<std::size_t>(-1) && outLeft == sizeof out - 4 && FromUtf32Le(out) <= 0x10FFFF) {
        codec->kinds[b] = TByteKind::Char;
        codec->chars[b] = FromUtf32Le(out);
      } else if (result == static_cast<std::size_t>(-1) && error == EINVAL) {
        codec->kinds[b] = TByteKind::Lead;
        codec->multiByte = true;
      } else {
        codec->kinds[b] = TByteKind::Undefined;
      }
    }
    codec->keepsAscii = !codec->multiByte;
    for (int b = 0; b < 0x80; ++b)
      if (codec->kinds[b] != TByteKind::Char || codec->chars[b] != static_cast<char32_t>(b)) codec->keepsAscii = false;
    return codec;
  }
};

TCodePageConverter::TCodePageConverter() = default;
TCodePageConverter::~TCodePageConverter() = default;

TCodePageConverter::TCodec& TCodePageConverter::CodecFor(int codePage) {
  if (m_lastCodec && m_lastCodePage == codePage) [[likely]]
    return *m_lastCodec;
  for (const TLookup& entry : m_lookup) {
    if (entry.CodePage == codePage) {
      m_lastCodePage = codePage;
      m_lastCodec = entry.Codec;
      return *entry.Codec;
    }
  }
  TLookup entry{codePage, nullptr, false};
  if (std::unique_ptr<TCodec> opened = TCodec::Open(ConversionName(codePage))) {
    entry.Codec = opened.get();
    m_codecs.push_back(std::move(opened));
  } else if (codePage != kCodePageSystem) {
    entry.Codec = &CodecFor(kCodePageSystem);
    entry.StandIn = true;
  } else {
    m_codecs.push_back(TCodec::Open("UTF-8"));  // a locale character set the platform cannot convert
    entry.Codec = m_codecs.back().get();
    entry.StandIn = true;
  }
  m_lookup.push_back(entry);
  return *entry.Codec;
}

bool TCodePageConverter::KeepsAscii(int codePage) { return CodecFor(codePage).keepsAscii; }

bool TCodePageConverter::IsUsable(int codePage) {
  CodecFor(codePage);
  for (const TLookup& entry : m_lookup)
    if (entry.CodePage == codePage) return !entry.StandIn;
  return false;
}

void TCodePageConverter::AppendUtf16(std::string_view bytes, const int* byteIndices, int codePage,
                                     std::vector<char16_t>& chars, std::vector<int>* indices) {
  TCodec& codec = CodecFor(codePage);
  const std::size_t size = bytes.size();
  const auto indexOf = [byteIndices](std::size_t k) { return byteIndices ? byteIndices[k] : static_cast<int>(k); };
  const auto addChar = [&](char32_t c, std::size_t at) {
    if (c >= 0x10000) {
      c -= 0x10000;
      chars.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      chars.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
      if (indices) indices->insert(indices->end(), 2, indexOf(at));
    } else {
      chars.push_back(static_cast<char16_t>(c));
      if (indices) indices->push_back(indexOf(at));
    }
  };

  std::size_t i = 0;
  if (codec.utf8) {
    while (i < size) {
      const unsigned char b = static_cast<unsigned char>(bytes[i]);
      if (b < 0x80) {
        // A run of ASCII bytes is copied at once.
        std::size_t end = i + 1;
        while (end < size && static_cast<unsigned char>(bytes[end]) < 0x80) ++end;
        const std::size_t at = chars.size();
        chars.resize(at + (end - i));
        for (std::size_t k = i; k < end; ++k) chars[at + k - i] = static_cast<unsigned char>(bytes[k]);
        if (indices) {
          const std::size_t from = indices->size();
          indices->resize(from + (end - i));
          for (std::size_t k = i; k < end; ++k) (*indices)[from + k - i] = indexOf(k);
        }
        i = end;
        continue;
      }
      const TUtf8Sequence sequence = DecodeUtf8(bytes, i);
      if (sequence.Length == 0) {
        addChar(Windows1252Char(b), i);
        ++i;
      } else {
        addChar(sequence.CodePoint, i);
        i += sequence.Length;
      }
    }
    return;
  }
  while (i < size) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    switch (codec.kinds[b]) {
      case TCodec::TByteKind::Char:
        addChar(codec.chars[b], i);
        ++i;
        break;
      case TCodec::TByteKind::Lead: {
        char32_t c = 0;
        std::size_t length = 0;
        if (codec.DecodeOne(bytes.data() + i, std::min<std::size_t>(4, size - i), c, length)) {
          addChar(c, i);
          i += length;
        } else {
          addChar(Windows1252Char(b), i);
          ++i;
        }
        break;
      }
      case TCodec::TByteKind::Undefined:
        addChar(Windows1252Char(b), i);
        ++i;
        break;
    }
  }
}

char16_t* TCodePageConverter::WriteUtf16(std::string_view bytes, int codePage, char16_t* out) {
  TCodec& codec = CodecFor(codePage);
  const auto write = [&out](char32_t c) {
    if (c >= 0x10000) {
      c -= 0x10000;
      *out++ = static_cast<char16_t>(0xD800 + (c >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      *out++ = static_cast<char16_t>(c);
    }
  };
  const std::size_t size = bytes.size();
  const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t i = 0;
  if (codec.utf8) {
    while (i < size) {
      const unsigned char b = data[i];
      if (b < 0x80) {
        *out++ = b;
        ++i;
        continue;
      }
      const TUtf8Sequence sequence = DecodeUtf8(bytes, i);
      if (sequence.Length == 0) {
        write(Windows1252Char(b));
        ++i;
      } else {
        write(sequence.CodePoint);
        i += sequence.Length;
      }
    }
    return out;
  }
  while (i < size) {
    const unsigned char b = data[i];
    if (codec.kinds[b] == TCodec::TByteKind::Char) {
      write(codec.chars[b]);
      ++i;
      continue;
    }
    char32_t c = 0;
    std::size_t length = 0;
    if (codec.kinds[b] == TCodec::TByteKind::Lead &&
        codec.DecodeOne(bytes.data() + i, std::min<std::size_t>(4, size - i), c, length)) {
      write(c);
      i += length;
    } else {
      write(Windows1252Char(b));
      ++i;
    }
  }
  return out;
}

QString TCodePageConverter::ToUtf16(std::string_view bytes, int codePage) {
  std::vector<char16_t> chars;
  chars.reserve(bytes.size());
  AppendUtf16(bytes, nullptr, codePage, chars, nullptr);
  return QString(reinterpret_cast<const QChar*>(chars.data()), static_cast<qsizetype>(chars.size()));
}

void TCodePageConverter::AppendEncoded(char32_t codePoint, int codePage, std::string& out) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    out += '?';
    return;
  }
  TCodec& codec = CodecFor(codePage);
  if (codec.utf8) {
    AppendUtf8(codePoint, out);
    return;
  }
  if (codePoint < 0x80 && codec.kinds[codePoint] == TCodec::TByteKind::Char && codec.chars[codePoint] == codePoint) {
    out += static_cast<char>(codePoint);
    return;
  }
  for (int b = 0; b < 256; ++b) {
    if (codec.kinds[b] == TCodec::TByteKind::Char && codec.chars[b] == codePoint) {
      out += static_cast<char>(b);
      return;
    }
  }
  if (codec.multiByte) {
    if (codec.fromUnicode == kNoConversion) codec.fromUnicode = ::iconv_open(codec.name.c_str(), "UTF-32LE");
    if (codec.fromUnicode != kNoConversion) {
      const unsigned char in[4] = {static_cast<unsigned char>(codePoint), static_cast<unsigned char>(codePoint >> 8),
                                   static_cast<unsigned char>(codePoint >> 16), 0};
      char* inPointer = const_cast<char*>(reinterpret_cast<const char*>(in));
      std::size_t inLeft = sizeof in;
      char encoded[16];
      char* outPointer = encoded;
      std::size_t outLeft = sizeof encoded;
      ::iconv(codec.fromUnicode, nullptr, nullptr, nullptr, nullptr);
      if (::iconv(codec.fromUnicode, &inPointer, &inLeft, &outPointer, &outLeft) != static_cast<std::size_t>(-1)) {
        // A shift-state code page may need to return to its initial state after the character.
        ::iconv(codec.fromUnicode, nullptr, nullptr, &outPointer, &outLeft);
        out.append(encoded, sizeof encoded - outLeft);
        return;
      }
    }
  }
  out += '?';
}

}  // namespace corvane
