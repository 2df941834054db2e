#pragma once

#include <QString>

#include <optional>

namespace corvane {

// The number a cell's text is, when it is a plain decimal number that a spreadsheet shows again exactly
// as written: an optional minus, no leading zeros, no thousands separators, no exponent, no trailing
// zeros after the point, at most 15 significant digits. Anything else (dates, times, "002", "(3)",
// "=1+1", "-0") stays text.
std::optional<double> PlainNumber(const QString& text);

}  // namespace corvane
