#include "core/fit/named_parameters.hpp"

#include <cstdint>

namespace nivaltus::native_fit {

ReferenceUpdates reference_updates(std::span<const std::string> names, std::span<const double> values) {
  ReferenceUpdates updates;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].starts_with(reference_prefix)) {
      updates.names.push_back(names[i].substr(reference_prefix.size()));
      updates.values.push_back(values[i]);
    }
  }
  return updates;
}

namespace {

void append_code_point_escape(std::string& text, std::uint32_t code_point) {
  constexpr std::string_view digits = "0123456789abcdef";
  text += "\\u{";
  bool started = false;
  for (int shift = 20; shift >= 0; shift -= 4) {
    const std::uint32_t digit = (code_point >> shift) & 0xF;
    if (digit != 0 || started || shift == 0) {
      text += digits[digit];
      started = true;
    }
  }
  text += '}';
}

}  // namespace

// Names reach here as UTF-8. The C0 controls and DEL are single bytes; the C1
// controls U+0080..U+009F are the two-byte sequences C2 80..C2 9F. Every
// other byte is copied as it is.
std::string quoted(std::string_view text) {
  std::string result = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    switch (byte) {
      case '"':
        result += "\\\"";
        continue;
      case '\\':
        result += "\\\\";
        continue;
      case '\n':
        result += "\\n";
        continue;
      case '\r':
        result += "\\r";
        continue;
      case '\t':
        result += "\\t";
        continue;
      case '\0':
        result += "\\0";
        continue;
      default:
        break;
    }
    if (byte < 0x20 || byte == 0x7F) {
      append_code_point_escape(result, byte);
    } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      append_code_point_escape(result, static_cast<unsigned char>(text[i + 1]));
      ++i;
    } else {
      result += static_cast<char>(byte);
    }
  }
  result += '"';
  return result;
}

fit::FitError unavailable(std::string_view name) {
  return fit::FitError::invalid_input("parameter " + quoted(name) + " is unavailable for the native EOS");
}

fit::FitResult<void> check_lengths(std::span<const std::string> names, std::span<const double> values) {
  if (names.size() != values.size()) {
    return fit::fail_input("native EOS parameter names and values have different lengths");
  }
  return {};
}

}  // namespace nivaltus::native_fit
