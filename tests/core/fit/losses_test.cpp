// Robust losses: names, cost, weights and row factors against closed forms
// and the conventions of SciPy's least_squares (ρ of z = (r/C)², cost
// ½C²Σρ, weights ρ', Jacobian rows scaled by √(ρ' + 2zρ'')).

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/fit/loss.hpp"
#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

const double root_epsilon = std::sqrt(machine_epsilon);

TEST(Loss, FromNameIsExactAndCaseSensitive) {
  const std::pair<const char*, Loss> accepted[] = {
      {"linear", Loss::Linear}, {"soft_l1", Loss::SoftL1}, {"huber", Loss::Huber},
      {"cauchy", Loss::Cauchy}, {"arctan", Loss::Arctan},
  };
  for (const auto& [name, loss] : accepted) {
    EXPECT_EQ(Loss::from_name(name), loss);
    EXPECT_EQ(loss.name(), name);
  }
  for (const char* name : {"Linear", "HUBER", " huber", "cauchy ", "softl1", "", "l2"}) {
    EXPECT_TRUE(fails_with(Loss::from_name(name), input(std::string("unsupported loss function: ") + name)));
  }
}

struct LossCase {
  Loss loss;
  double r, c;
  double rho, weight, row_factor;
};

// ρ, ρ' and √max(ρ' + 2zρ'', ε) worked out by hand at chosen z.
const LossCase loss_cases[] = {
    {Loss::Linear, 3.0, 2.0, 2.25, 1.0, 1.0},
    {Loss::Huber, 2.0, 2.0, 1.0, 1.0, 1.0},                                  // z = 1 stays quadratic
    {Loss::Huber, 3.0, 1.5, 3.0, 0.5, root_epsilon},                         // z = 4: ρ' + 2zρ'' = 0
    {Loss::Huber, -0.5, 1.0, 0.25, 1.0, 1.0},                                // z = 1/4
    {Loss::SoftL1, std::sqrt(3.0), 1.0, 2.0, 0.5, std::sqrt(0.125)},         // z = 3: 1/(1+z)^1.5
    {Loss::Cauchy, std::sqrt(3.0), 1.0, std::log(4.0), 0.25, root_epsilon},  // 1/4 − 6/16 < 0
    {Loss::Cauchy, 0.5, 1.0, std::log(1.25), 0.8, std::sqrt(0.48)},          // z = 1/4: 0.8 − 0.32
    {Loss::Arctan, 0.0, 3.0, 0.0, 1.0, 1.0},
    {Loss::Arctan, std::sqrt(0.5), 1.0, std::atan(0.5), 0.8, 0.4},  // z = 1/2: 0.8 − 0.64
    {Loss::Arctan, 2.0, 1.0, std::atan(4.0), 1.0 / 17.0, root_epsilon},
};

TEST(Loss, CostWeightAndRowFactorMatchClosedForms) {
  for (const LossCase& c : loss_cases) {
    const Vector r{c.r};
    SCOPED_TRACE(std::string(c.loss.name()) + " r=" + std::to_string(c.r));
    EXPECT_TRUE(relatively_near(robust_cost(r, c.loss, c.c), 0.5 * c.c * c.c * c.rho, 1e-14) || c.rho == 0.0);
    EXPECT_TRUE(relatively_near(robust_weights(r, c.loss, c.c)[0], c.weight, 1e-14));
    EXPECT_TRUE(relatively_near(robust_row_factors(r, c.loss, c.c)[0], c.row_factor, 1e-6));
  }
}

// Weights and row factors never fall below the floor, also where ρ' is
// vanishingly small or not a number.
TEST(Loss, FloorsHoldForHugeAndNaNArguments) {
  for (const Loss loss : {Loss::SoftL1, Loss::Huber, Loss::Cauchy, Loss::Arctan}) {
    const Vector r{1e150, nan};
    const Vector weights = robust_weights(r, loss, 1.0);
    const Vector factors = robust_row_factors(r, loss, 1.0);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_GE(weights[i], machine_epsilon) << loss.name() << " " << i;
      EXPECT_EQ(factors[i], root_epsilon) << loss.name() << " " << i;
    }
  }
  EXPECT_EQ(robust_weights(Vector{1e200}, Loss::Linear, 1.0)[0], 1.0);
  EXPECT_EQ(robust_row_factors(Vector{1e200}, Loss::Linear, 1.0)[0], 1.0);
}

}  // namespace
}  // namespace nivaltus::fit
