#pragma once
// The one way numbers are written into messages, representations and debug
// text.

#include <string>

namespace nivaltus {

// Shortest text that reads back to the same double. Zero and magnitudes in
// [1e-4, 1e16) in positional form with at least one digit after the point
// ("1.0", "0.25", "-0.0"); other magnitudes in exponent form without '+' or
// leading exponent zeros ("1e-5", "2.5e16"); "NaN", "inf", "-inf".
std::string format_number(double value);

}  // namespace nivaltus
