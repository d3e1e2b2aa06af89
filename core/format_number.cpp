#include "core/format_number.hpp"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

namespace nivaltus {

std::string format_number(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0.0 ? "inf" : "-inf";

  std::string text;
  if (std::signbit(value)) text += '-';
  const double magnitude = std::abs(value);
  if (magnitude == 0.0) return text + "0.0";

  // Shortest round-trip digits d1 d2 ... dn and decimal exponent e, so that
  // magnitude = d1.d2...dn * 10^e.
  char buffer[32];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t e_position = scientific.find('e');
  const std::string_view mantissa = scientific.substr(0, e_position);
  std::string digits;
  for (char c : mantissa) {
    if (c != '.') digits += c;
  }
  std::string_view exponent_text = scientific.substr(e_position + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  int exponent = 0;
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);

  if (magnitude >= 1e-4 && magnitude < 1e16) {
    if (exponent >= 0) {
      const std::size_t integer_digits = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= integer_digits) {
        text += digits;
        text.append(integer_digits - digits.size(), '0');
        text += ".0";
      } else {
        text.append(digits, 0, integer_digits);
        text += '.';
        text.append(digits, integer_digits);
      }
    } else {
      text += "0.";
      text.append(static_cast<std::size_t>(-exponent - 1), '0');
      text += digits;
    }
    return text;
  }

  text += mantissa;
  text += 'e';
  text += std::to_string(exponent);
  return text;
}

}  // namespace nivaltus
