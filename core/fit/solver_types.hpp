#pragma once
// The vocabulary of one least-squares run: its options, the optional layout
// of a structured (errors-in-variables) problem, the Jacobian as the run
// keeps it, and the result record with its status codes and messages.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit/fit_error.hpp"
#include "core/fit/loss.hpp"

namespace nivaltus::fit {

// Options of one run, in this order. max_nfev absent means 100·max(n, 1)
// residual evaluations; the engine applies no other default.
struct SolverOptions {
  std::optional<std::size_t> max_nfev;
  double f_scale = 1.0;
  double ftol = 1e-8;
  double gtol = 1e-8;
  double xtol = 1e-8;
  Loss loss = Loss::Linear;
};

// g global parameters, P points, L latent coordinates per point.
// Parameter vector: n = g + L·P entries, latent coordinate l of point p at
// g + l·P + p. Residual vector: m = (L + 1)·P entries, residual b·P + p
// belongs to point p. The residuals of point p depend only on the global
// parameters and on the latent coordinates of point p.
struct StructuredLayout {
  std::size_t global_parameter_count = 0;
  std::size_t point_count = 0;
  std::size_t latent_coordinate_count = 0;

  friend constexpr bool operator==(const StructuredLayout&, const StructuredLayout&) = default;
};

// Every size derived from a layout, each computed without wrapping.
struct LayoutSizes {
  std::size_t parameter_count;  // n = g + L·P
  std::size_t residual_count;   // m = (L + 1)·P
  std::size_t global_jacobian;  // m·g, the global columns over all rows
  std::size_t latent_jacobian;  // P·(L + 1)·L, the latent entries of every point
  std::size_t global_block;     // g·g
  std::size_t coupling_blocks;  // P·g·L
  std::size_t latent_blocks;    // P·L·L
};

// nullopt when any size does not fit in a std::size_t.
std::optional<LayoutSizes> layout_sizes(const StructuredLayout& layout);

// The layout's parameter count equals n and every derived size is
// representable; else InvalidInput "structured layout does not match the
// parameter vector".
FitResult<void> check_layout_parameters(const StructuredLayout& layout, std::size_t n);

// An m×n Jacobian in one of two forms.
//   Dense: m·n values, row-major (row i, column j at i·n + j).
//   Structured (layout g, P, L; m and n those of the layout): only the
//   entries that can be non-zero are kept,
//     global block: m×g row-major, J[i, a] at i·g + a;
//     latent block: J[b·P + p, g + l·P + p] at (p·(L + 1) + b)·L + l,
//   every other entry (latent columns of other points) being zero.
// Memory is m·g + P·(L + 1)·L values for a structured Jacobian, linear in P.
class Jacobian {
 public:
  Jacobian() = default;
  // values holds m·n entries.
  static Jacobian dense(std::vector<double> values, std::size_t m, std::size_t n);
  // global holds m·g entries and latent P·(L + 1)·L, m, n from the layout.
  static Jacobian structured(const StructuredLayout& layout, std::vector<double> global,
                             std::vector<double> latent);

  std::size_t rows() const { return m_; }
  std::size_t cols() const { return n_; }
  const std::optional<StructuredLayout>& layout() const { return layout_; }
  bool is_structured() const { return layout_.has_value(); }

  // Dense form: the m·n values. Structured form: the global block.
  std::span<const double> values() const { return values_; }
  // Structured form: the latent block; empty for the dense form.
  std::span<const double> latent_values() const { return latent_; }
  // Structured form: entry (i, a) of the global block, a < g, and the entry of
  // residual block b of point p in the column of its latent coordinate l.
  double global_entry(std::size_t i, std::size_t a) const {
    return values_[i * layout_->global_parameter_count + a];
  }
  double latent_entry(std::size_t p, std::size_t b, std::size_t l) const {
    return latent_[latent_offset(p, b) + l];
  }

  // The m·n row-major matrix, zeros included. For a structured Jacobian this
  // allocates m·n values: only for a caller that needs the matrix whole.
  std::vector<double> to_dense() const;

  // Row i multiplied by factors[i] (factors holds m values).
  void scale_rows(std::span<const double> factors);

 private:
  // Where the L latent entries of residual block b of point p start.
  std::size_t latent_offset(std::size_t p, std::size_t b) const {
    const std::size_t latent_count = layout_->latent_coordinate_count;
    return (p * (latent_count + 1) + b) * latent_count;
  }

  std::size_t m_ = 0;
  std::size_t n_ = 0;
  std::optional<StructuredLayout> layout_;
  std::vector<double> values_;
  std::vector<double> latent_;
};

// Status messages of a run.
namespace status_message {
inline constexpr std::string_view max_evaluations = "The maximum number of function evaluations is exceeded.";
inline constexpr std::string_view no_step = "No acceptable optimization step could be computed.";
inline constexpr std::string_view gtol = "`gtol` termination condition is satisfied.";
inline constexpr std::string_view ftol = "`ftol` termination condition is satisfied.";
inline constexpr std::string_view xtol = "`xtol` termination condition is satisfied.";
inline constexpr std::string_view ftol_and_xtol =
    "Both `ftol` and `xtol` termination conditions are satisfied.";
}  // namespace status_message

// Result of a run that ends without a FitError, fields in this order.
//   status 0: budget exhausted or no acceptable step (success false);
//   1 gtol, 2 ftol, 3 xtol, 4 ftol and xtol (success true).
// jac holds the reported Jacobian, rows scaled by the loss's row factors at
// the final residuals, in structured form when the run had a layout.
struct SolverResult {
  std::vector<double> x;
  std::vector<double> fun;
  Jacobian jac;
  std::string message;
  std::size_t m = 0;
  double cost = 0.0;
  double optimality = 0.0;
  std::size_t nfev = 0;
  std::size_t njev = 0;
  std::int32_t status = 0;
  bool success = false;
};

}  // namespace nivaltus::fit
