#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The number a cell's text is, when it is a plain decimal number that a spreadsheet shows again exactly
// as written: an optional minus, no leading zeros, no thousands separators, no exponent, no trailing
// zeros after the point, at most 15 significant digits. Anything else (dates, times, "002", "(3)",
// "=1+1", "-0") stays text.
std::optional<double> PlainNumber(const QString& text);

// How numbers written the way a language writes them are read (--numbers locale): the decimal
// separator and the group separator of the page's language. Group is ',' or '.', ' ' for any space
// (space, no-break space, narrow no-break space) or '\'' for an apostrophe (' or U+2019).
struct TNumberReading {
  bool Locale = false;  // false: only plain numbers (PlainNumber)
  char16_t Decimal = u'.';
  char16_t Group = u',';
};

// The separators of a language tag ("de", "pt-BR", "de_CH.UTF-8"); English ones for a language not
// known.
TNumberReading NumberReadingOf(std::string_view language);
// The language of a page: the LANG of its HTML element, looked for in head (its first bytes); empty
// when it has none.
std::string PageLanguage(std::string_view head);
// The user's language for numbers: LC_ALL, else LC_NUMERIC, else LANG; empty when none is set (or
// it is C or POSIX).
std::string UserNumbersLanguage();

// A number as a cell holds it, with how it is shown: FormatId is 0 for General, else one of the
// workbook's fixed number formats (see NumberFormatCode).
struct TCellNumber {
  double Value = 0;
  int FormatId = 0;
};

// The fixed number formats: with or without group separators, 0 to 3 decimals, and as a plain
// number, a percentage or a negative number in parentheses.
inline constexpr int kFirstNumberFormat = 164;
inline constexpr int kNumberFormats = 24;
std::string NumberFormatCode(int formatId);

// The number a cell's text is under reading: PlainNumber's numbers in General format and, with
// Locale, also "1,204", "12%", "(12)", "1.234,5" as the language writes them, with a format that
// shows the value as written ("#,##0", "0.0%", "#,##0;(#,##0)" ...). Text no fixed format shows
// exactly as written ("002", "1,20,000", dates, codes) stays text.
std::optional<TCellNumber> CellNumber(const QString& text, const TNumberReading& reading);

}  // namespace corvane
