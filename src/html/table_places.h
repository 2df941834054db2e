#pragma once

namespace corvane {

// The most places (rows times columns) a table's grid may take, for the sheet reader and for the
// viewer's table layout alike: hostile spans never make a table take gigabytes.
inline constexpr long long kMaxTablePlaces = 50'000'000;

}  // namespace corvane
