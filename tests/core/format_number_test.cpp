#include "core/format_number.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace nivaltus {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(FormatNumber, Table) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1.0, "1.0"},
      {-1.0, "-1.0"},
      {0.25, "0.25"},
      {0.1, "0.1"},
      {1.0 / 3.0, "0.3333333333333333"},
      {100.0, "100.0"},
      {123.456, "123.456"},
      {-2.5, "-2.5"},
      {0.001, "0.001"},
      {1.2345e-3, "0.0012345"},
      {1e-4, "0.0001"},
      {std::nextafter(1e-4, 0.0), "9.999999999999999e-5"},
      {1e-5, "1e-5"},
      {-1e-5, "-1e-5"},
      {1.5e-7, "1.5e-7"},
      {1e15, "1000000000000000.0"},
      {1e15 + 0.5, "1000000000000000.5"},
      {9999999999999998.0, "9999999999999998.0"},
      {1e16, "1e16"},
      {2.5e16, "2.5e16"},
      {-2.5e16, "-2.5e16"},
      {1e22, "1e22"},
      {1e300, "1e300"},
      {-1e-300, "-1e-300"},
      {std::numeric_limits<double>::denorm_min(), "5e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e308"},
      {std::numeric_limits<double>::min(), "2.2250738585072014e-308"},
      {nan, "NaN"},
      {-nan, "NaN"},
      {inf, "inf"},
      {-inf, "-inf"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_number(c.value), c.text) << c.text;
}

// Significant digits of a formatted finite number, without sign, point,
// leading zeros (positional form) or exponent; trailing zeros of the integer
// part of a positional form are kept only as placeholders, so they are
// dropped too.
std::string significant_digits(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == 'e') break;
    if (c >= '0' && c <= '9') digits += c;
  }
  const auto first = digits.find_first_not_of('0');
  const auto last = digits.find_last_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first, last - first + 1);
}

// Every finite double reads back exactly, in the form its magnitude calls
// for, and with one significant digit fewer it would not read back.
TEST(FormatNumber, ShortestRoundTripOverRandomBitPatterns) {
  std::mt19937_64 random(20240611);
  int checked = 0;
  while (checked < 20000) {
    const double x = std::bit_cast<double>(random());
    if (!std::isfinite(x)) continue;
    ++checked;
    const std::string text = format_number(x);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr)),
              std::bit_cast<std::uint64_t>(x))
        << text;
    const bool positional = x == 0.0 || (std::abs(x) >= 1e-4 && std::abs(x) < 1e16);
    ASSERT_EQ(text.find('e') == std::string::npos, positional) << text;
    ASSERT_EQ(text.find('+'), std::string::npos) << text;
    if (positional) {
      const auto point = text.find('.');
      ASSERT_NE(point, std::string::npos) << text;
      ASSERT_LT(point + 1, text.size()) << text;
    } else {
      const auto exponent = text.substr(text.find('e') + 1);
      ASSERT_NE(exponent.front() == '-' ? exponent[1] : exponent[0], '0') << text;
    }
    const int digits = static_cast<int>(significant_digits(text).size());
    if (digits > 1) {
      char shorter[64];
      std::snprintf(shorter, sizeof shorter, "%.*e", digits - 2, x);
      ASSERT_NE(std::strtod(shorter, nullptr), x) << text << " vs " << shorter;
    }
  }
}

// Doubles of ordinary size, where the positional form is used.
TEST(FormatNumber, RoundTripInPositionalRange) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> exponent(-4.0, 16.0);
  for (int i = 0; i < 20000; ++i) {
    const double x = std::pow(10.0, exponent(random)) * (i % 2 == 0 ? 1.0 : -1.0);
    const std::string text = format_number(x);
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), x) << text;
  }
}

}  // namespace
}  // namespace nivaltus
