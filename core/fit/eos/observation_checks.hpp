#pragma once
// Checks of the measured points of an EOS fit, shared by the pressure-volume
// and the pressure-volume-temperature fronts. Each returns the first failure
// as InvalidInput; nothing is computed from the data here.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "core/fit/fit_error.hpp"

namespace nivaltus::fit::eos {

using Slice = std::span<const double>;
using OptionalSlice = std::optional<std::span<const double>>;

// volume and pressure_sigma hold n values each and n > 0; every pressure is
// finite (zero and negative pressures are data like any other); every volume
// and every pressure sigma is positive and finite.
FitResult<void> validate_common(Slice pressure, Slice volume, Slice pressure_sigma, std::size_t n);

// Absent passes; present, n positive finite values. The message starts with
// `name`.
FitResult<void> validate_optional_sigma(const OptionalSlice& values, std::size_t n, std::string_view name);

// Absent passes; present, n blocks of d x d finite values, each block a
// row-major lower-triangular factor with a positive diagonal. The scan runs
// point by point and, inside a block, row by row: the diagonal of row r, then
// the entries right of it, so the first offending entry in that order names
// the failure.
FitResult<void> validate_cholesky(const OptionalSlice& factors, std::size_t n, std::size_t d);

}  // namespace nivaltus::fit::eos
