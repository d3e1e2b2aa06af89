#include "core/format_number.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

#include "tests/core/test_support.hpp"

namespace nivaltus {
namespace {

using namespace test;

// Positional -?(0|[1-9]d*).(0|d*[1-9]) or exponential -?[1-9](.d*[1-9])?e-?[1-9]d*.
// By hand: libstdc++'s <regex> draws false -Wmaybe-uninitialized under the sanitizers.
bool is_canonical(std::string_view text) {
  const auto all_digits = [](std::string_view s) {
    return !s.empty() && std::ranges::all_of(s, [](char c) { return c >= '0' && c <= '9'; });
  };
  constexpr auto npos = std::string_view::npos;
  if (text.starts_with('-')) text.remove_prefix(1);
  const auto e = text.find('e');
  const std::string_view mantissa = text.substr(0, e);
  const auto dot = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, dot);
  const std::string_view fraction = dot == npos ? "" : mantissa.substr(dot + 1);
  if (e == npos) {
    return dot != npos && all_digits(whole) && (whole == "0" || whole[0] != '0') && all_digits(fraction) &&
           (fraction == "0" || fraction.back() != '0');
  }
  std::string_view exponent = text.substr(e + 1);
  if (exponent.starts_with('-')) exponent.remove_prefix(1);
  return whole.size() == 1 && whole[0] >= '1' && whole[0] <= '9' &&
         (dot == npos || (all_digits(fraction) && fraction.back() != '0')) && all_digits(exponent) &&
         exponent[0] != '0';
}

// Signed zeros, each edge of the positional range [1e-4, 1e16) with the
// doubles on both sides of it, the extremes.
TEST(FormatNumber, Table) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1e-4, "0.0001"},
      {std::nextafter(1e-4, 0.0), "9.999999999999999e-5"},
      {-2.5e16, "-2.5e16"},
      {9999999999999998.0, "9999999999999998.0"},
      {-1e16, "-1e16"},
      {std::nextafter(1e16, inf), "1.0000000000000002e16"},
      {std::nextafter(1e-4, 1.0), "0.00010000000000000002"},
      {tiny, "5e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e308"},
      {-nan, "NaN"},
      {-inf, "-inf"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(format_number(value), text) << text;
}

// Random bit patterns and ordinary magnitudes read back exactly, positional in
// [1e-4, 1e16) only; one significant digit fewer would not read back.
TEST(FormatNumber, ShortestRoundTrip) {
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> exponent(-4.0, 16.0);
  for (const char* text : {"00.5", "1.50", "1.", ".5", "5", "1e+5", "1e05", "10e5", "1.0e5", "1e", "--1.0"}) {
    EXPECT_FALSE(is_canonical(text)) << text;
  }
  for (int i = 0; i < 40000; ++i) {
    const double x =
        i % 2 ? std::bit_cast<double>(random()) : std::pow(10.0, exponent(random)) * (i % 4 - 1.0);
    if (!std::isfinite(x)) continue;
    const std::string text = format_number(x);
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), x) << text;
    const auto e = text.find('e');
    ASSERT_EQ(e == std::string::npos, std::abs(x) >= 1e-4 && std::abs(x) < 1e16) << text;
    // Positional: no leading zero but a lone one, no trailing zero but ".0".
    // Exponent: one leading digit, no trailing zero, no '+', no exponent zeros.
    ASSERT_TRUE(is_canonical(text)) << text;
    std::string digits = text.substr(0, e);
    std::erase_if(digits, [](char c) { return c < '0' || c > '9'; });
    const auto significant = digits.find_last_not_of('0') - digits.find_first_not_of('0') + 1;
    char shorter[64];
    std::snprintf(shorter, sizeof shorter, "%.*e", static_cast<int>(significant) - 2, x);
    ASSERT_TRUE(significant == 1 || std::strtod(shorter, nullptr) != x) << text << " vs " << shorter;
  }
}

}  // namespace
}  // namespace nivaltus
