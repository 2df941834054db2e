#pragma once

#include <array>
#include <cstddef>

namespace corvane {

// The four sides of a box, in the one order every four-sided value uses.
enum class TSide : unsigned char { Top, Right, Bottom, Left };
inline constexpr std::array<TSide, 4> kAllSides = {TSide::Top, TSide::Right, TSide::Bottom, TSide::Left};

// A value for each side of a box (margins, paddings, border widths, styles and colours), indexed by
// TSide: {top, right, bottom, left}.
template <typename T>
struct TSides {
  std::array<T, 4> Values{};

  constexpr T& operator[](TSide side) { return Values[static_cast<std::size_t>(side)]; }
  constexpr const T& operator[](TSide side) const { return Values[static_cast<std::size_t>(side)]; }

  constexpr T& Top() { return (*this)[TSide::Top]; }
  constexpr T& Right() { return (*this)[TSide::Right]; }
  constexpr T& Bottom() { return (*this)[TSide::Bottom]; }
  constexpr T& Left() { return (*this)[TSide::Left]; }
  constexpr const T& Top() const { return (*this)[TSide::Top]; }
  constexpr const T& Right() const { return (*this)[TSide::Right]; }
  constexpr const T& Bottom() const { return (*this)[TSide::Bottom]; }
  constexpr const T& Left() const { return (*this)[TSide::Left]; }

  constexpr auto begin() { return Values.begin(); }
  constexpr auto end() { return Values.end(); }
  constexpr auto begin() const { return Values.begin(); }
  constexpr auto end() const { return Values.end(); }

  friend constexpr bool operator==(const TSides&, const TSides&) = default;

  // The same value on every side.
  static constexpr TSides All(const T& value) { return {{value, value, value, value}}; }
};

}  // namespace corvane
