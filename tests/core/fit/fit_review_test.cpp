// Covariance of a structured problem whose information matrix is not finite:
// refused with the same error whether the Jacobian comes as its m×n matrix
// or in block form, and as the dense covariance refuses it.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/fit/covariance.hpp"
#include "core/fit/solver_types.hpp"
#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

// Layout g = 1, P = 2, L = 1: columns (global, latent of point 0, latent of
// point 1), rows b·P + p.
constexpr StructuredLayout layout{1, 2, 1};

struct Entry {
  std::size_t row;
  std::size_t column;
};

// The m×n matrix with one entry replaced, and the same matrix in block form.
struct Forms {
  Vector dense;
  Jacobian blocks;
};

Forms jacobian_with(std::optional<Entry> entry, double value) {
  Vector dense{1.0, 2.0, 0.0,   //
               1.0, 0.0, 3.0,   //
               0.0, 1.0, 0.0,   //
               0.0, 0.0, 1.0};  //
  if (entry) dense[entry->row * 3 + entry->column] = value;
  // Global block m×g, then J[b·P + p, g + p] at p·(L + 1) + b.
  Vector global{dense[0], dense[3], dense[6], dense[9]};
  Vector latent{dense[1], dense[7], dense[5], dense[11]};
  return {dense, Jacobian::structured(layout, std::move(global), std::move(latent))};
}

TEST(StructuredCovarianceReview, NonFiniteInformationIsRefusedInEveryForm) {
  const FitError invalid_matrix = input("invalid symmetric matrix for pseudoinverse");
  struct Case {
    std::string name;
    std::optional<Entry> entry;
    double value;
    std::optional<double> variance;  // the global parameter's, when finite
  };
  // Finite: S = ΣJ_i0² − Σ_p C_p²/B_p = 2 − 2²/5 − 3²/10 = 0.3, variance 1/0.3.
  const std::vector<Case> cases{
      {"finite", std::nullopt, 0.0, 1.0 / 0.3},
      {"global entry squares to inf", Entry{0, 0}, 1e200, std::nullopt},
      {"latent entry squares to inf", Entry{0, 1}, 1e200, std::nullopt},
      {"other point's latent entry", Entry{3, 2}, -1e200, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Forms forms = jacobian_with(c.entry, c.value);
    const auto from_matrix = parameter_covariance_structured(forms.dense, layout);
    const auto from_blocks = parameter_covariance_structured(forms.blocks, layout);
    if (c.variance) {
      ASSERT_TRUE(from_matrix.has_value()) << from_matrix.error();
      ASSERT_TRUE(from_blocks.has_value()) << from_blocks.error();
      EXPECT_TRUE(relatively_near((*from_matrix)[0], *c.variance, 1e-12));
      EXPECT_TRUE(bit_identical(*from_matrix, *from_blocks));
      continue;
    }
    EXPECT_TRUE(fails_with(from_matrix, invalid_matrix));
    EXPECT_TRUE(fails_with(from_blocks, invalid_matrix));
    EXPECT_TRUE(fails_with(parameter_covariance(forms.dense, 4, 3, 3), invalid_matrix));
  }
}

}  // namespace
}  // namespace nivaltus::fit
