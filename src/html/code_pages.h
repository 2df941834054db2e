#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "style/char_sets.h"

namespace corvane {

// Code pages carry the numbers documents and fonts have always used for them (1252, 932, 65001 ...).
inline constexpr int kCodePageSystem = 0;  // the system default: the character set of the user's locale
inline constexpr int kCodePageOem = 1;
inline constexpr int kCodePageMac = 2;
inline constexpr int kCodePageShiftJis = 932;
inline constexpr int kCodePageWindows1252 = 1252;
inline constexpr int kCodePageIso8859_2 = 28592;
inline constexpr int kCodePageUtf8 = 65001;

// Font character sets that the reader names.
inline constexpr int kCharSetAnsi = 0;
inline constexpr int kCharSetDefault = 1;
inline constexpr int kCharSetShiftJis = 128;
inline constexpr int kCharSetEastEurope = 238;
// Two values of this system's own, given by the charset names: ISO 8859-2 (the East European character
// set with code page 28592 instead of 1250) and EUC-JP (read as Shift_JIS after transcoding the text).
inline constexpr int kCharSetIso8859_2 = 31;
inline constexpr int kCharSetEucJp = 30;


// The conversion name of the system default code page: the character set of the user's locale (from
// the environment, whatever the program's own locale), with UTF-8 for a plain ASCII or unknown locale.
const std::string& SystemCharsetName();

// The Windows-1252 character of a byte; the five bytes that code page leaves undefined give the code
// point of the same number. Bytes a code page cannot decode fall back to it.
char16_t Windows1252Char(unsigned char byte);

// Converts between the bytes of a code page and UTF-16. A conversion never fails: a code page that the
// platform cannot convert is replaced by the system default one, and a byte that the code page cannot
// decode becomes its Windows-1252 character. Each reader owns one converter (the platform's conversion
// handles are not shared between threads); it keeps what it opened until it goes.
class TCodePageConverter {
 public:
  TCodePageConverter();
  ~TCodePageConverter();
  TCodePageConverter(const TCodePageConverter&) = delete;
  TCodePageConverter& operator=(const TCodePageConverter&) = delete;

  // Appends the characters of bytes to chars. For each character the index of the first byte of its
  // sequence goes to indices: byteIndices[k] for byte k, or k itself when byteIndices is null. Both
  // halves of a surrogate pair take the same index. With indices null no index is kept.
  void AppendUtf16(std::string_view bytes, const int* byteIndices, int codePage, std::vector<char16_t>& chars,
                   std::vector<int>* indices);
  QString ToUtf16(std::string_view bytes, int codePage);
  // Writes the characters of bytes to out, as AppendUtf16 appends them, and answers the end of what it
  // wrote: out needs room for two units a byte.
  char16_t* WriteUtf16(std::string_view bytes, int codePage, char16_t* out);

  // Appends the bytes of one character in the code page; "?" when the code page cannot hold it.
  void AppendEncoded(char32_t codePoint, int codePage, std::string& out);

  // Whether the platform converts the code page itself (otherwise the system default one stands in).
  bool IsUsable(int codePage);
  // Whether every byte below 0x80 reads as the character of the same code wherever it stands: UTF-8 and
  // the single-byte code pages that hold ASCII. Text of such bytes may then be widened without a
  // conversion, and a conversion may be cut before any of them (no sequence goes on over one).
  bool KeepsAscii(int codePage);

 private:
  struct TCodec;
  TCodec& CodecFor(int codePage);

  struct TLookup {
    int CodePage;
    TCodec* Codec;
    bool StandIn;  // the platform cannot convert the code page; the system default codec serves it
  };

  std::vector<std::unique_ptr<TCodec>> m_codecs;
  std::vector<TLookup> m_lookup;
  // The code page asked for last and its codec: text comes in many short pieces of one code page.
  int m_lastCodePage = 0;
  TCodec* m_lastCodec = nullptr;
};

}  // namespace corvane
