#pragma once

#include <optional>

namespace corvane {

// The code page of a font character set (Windows numbering); none for a character set without one.
// Fonts are taken to give the character set asked for. 31 is this system's own number for ISO 8859-2,
// the East European character set read with code page 28592 instead of 1250.
inline std::optional<int> CodePageOfCharSet(int charSet) {
  switch (charSet) {
    case 31: return 28592;
    case 0: return 1252;
    case 1: return 0;
    case 2: return 0;
    case 77: return 2;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 1;
    default: return std::nullopt;
  }
}

}  // namespace corvane
