#include "core/format_number.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "tests/core/test_support.hpp"

namespace nivaltus {
namespace {

using namespace test;

// Signed zeros, the boundaries of the positional range [1e-4, 1e16), the
// extremes and the non-finite values.
TEST(FormatNumber, Table) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0.0"},     {-0.0, "-0.0"},
      {-2.5, "-2.5"},   {1.0 / 3.0, "0.3333333333333333"},
      {1e-4, "0.0001"}, {std::nextafter(1e-4, 0.0), "9.999999999999999e-5"},
      {-1e-5, "-1e-5"}, {9999999999999998.0, "9999999999999998.0"},
      {1e16, "1e16"},   {-2.5e16, "-2.5e16"},
      {tiny, "5e-324"}, {std::numeric_limits<double>::max(), "1.7976931348623157e308"},
      {-nan, "NaN"},    {-inf, "-inf"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(format_number(value), text) << text;
}

// Every finite double reads back exactly, in the form its magnitude calls
// for, and one significant digit fewer would not read back. Half the samples
// are random bit patterns, half ordinary magnitudes in the positional range.
TEST(FormatNumber, ShortestRoundTrip) {
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> exponent(-4.0, 16.0);
  for (int i = 0; i < 40000; ++i) {
    const double x =
        i % 2 ? std::bit_cast<double>(random()) : std::pow(10.0, exponent(random)) * (i % 4 - 1.0);
    if (!std::isfinite(x)) continue;
    const std::string text = format_number(x);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr)),
              std::bit_cast<std::uint64_t>(x))
        << text;
    const auto e = text.find('e');
    const bool positional = x == 0.0 || (std::abs(x) >= 1e-4 && std::abs(x) < 1e16);
    ASSERT_EQ(e == std::string::npos, positional) << text;
    if (positional) {
      ASSERT_LT(text.find('.') + 1, text.size()) << text;  // a point with a digit after it
    } else {
      ASSERT_TRUE(text[e + 1] != '0' && text[e + 1] != '+' && text.substr(e, 3) != "e-0") << text;
    }
    // Significant digits: no sign, point, exponent, or leading or trailing zeros.
    std::string digits;
    for (char c : text.substr(0, e)) {
      if (c >= '0' && c <= '9') digits += c;
    }
    const auto first = digits.find_first_not_of('0');
    const int significant = static_cast<int>(digits.find_last_not_of('0') - first + 1);
    if (significant > 1) {
      char shorter[64];
      std::snprintf(shorter, sizeof shorter, "%.*e", significant - 2, x);
      ASSERT_NE(std::strtod(shorter, nullptr), x) << text << " vs " << shorter;
    }
  }
}

}  // namespace
}  // namespace nivaltus
