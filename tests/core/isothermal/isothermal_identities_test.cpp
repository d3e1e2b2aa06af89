// Properties every isothermal model must have, checked through one helper
// per property over one model of every kind:
//   P(V0) = 0 and K(V0) = K0,
//   K = -V dP/dV (central difference of the pressure),
//   dK/dP at V0 = K0' (and d2K/dP2 at V0 = K0'' where the model has it).

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/core/isothermal/isothermal_test_models.hpp"

namespace nivaltus {
namespace {

using test::all_model_cases;
using test::ModelCase;
using test::valid_model;

class IsothermalIdentity : public ::testing::TestWithParam<ModelCase> {};

std::string case_name(const ::testing::TestParamInfo<ModelCase>& info) {
  return info.param.name + "_" + std::to_string(info.index);
}

double value(const EosResult<double>& result) {
  EXPECT_TRUE(result.has_value()) << result.error().to_string();
  return result.value_or(NAN);
}

TEST_P(IsothermalIdentity, ReferenceStateHasZeroPressureAndBulkModulusK0) {
  const RtModel model = valid_model(GetParam().name, GetParam().parameters);
  EXPECT_NEAR(value(model.pressure(model.v0())), 0.0, 1e-12 * model.k0());
  EXPECT_NEAR(value(model.bulk_modulus(model.v0())), model.k0(), 1e-12 * model.k0());
}

void expect_bulk_modulus_is_minus_v_dp_dv(const RtModel& model, double volume) {
  const double h = 1e-5 * volume;
  const double dp_dv = (value(model.pressure(volume + h)) - value(model.pressure(volume - h))) / (2.0 * h);
  const double k = value(model.bulk_modulus(volume));
  EXPECT_NEAR(k, -volume * dp_dv, 1e-7 * std::abs(k)) << "at V = " << volume;
}

TEST_P(IsothermalIdentity, BulkModulusIsMinusVolumeTimesPressureSlope) {
  const RtModel model = valid_model(GetParam().name, GetParam().parameters);
  for (const double ratio : {0.6, 0.85, 1.0, 1.15})
    expect_bulk_modulus_is_minus_v_dp_dv(model, ratio * model.v0());
}

TEST_P(IsothermalIdentity, PressureDerivativeAtV0IsK0Prime) {
  const RtModel model = valid_model(GetParam().name, GetParam().parameters);
  EXPECT_NEAR(value(model.bulk_modulus_derivative(model.v0(), 1e-4)), GetParam().k_prime_at_v0, 1e-6);
}

class FourthOrderIdentity : public IsothermalIdentity {};

std::vector<ModelCase> fourth_order_cases() {
  std::vector<ModelCase> cases;
  for (const auto& c : all_model_cases()) {
    if (c.k_double_prime_at_v0) cases.push_back(c);
  }
  return cases;
}

TEST_P(FourthOrderIdentity, SecondPressureDerivativeAtV0IsK0DoublePrime) {
  const RtModel model = valid_model(GetParam().name, GetParam().parameters);
  const double v0 = model.v0();
  const double s = 1e-3 * v0;
  const double k_prime_plus = value(model.bulk_modulus_derivative(v0 + s, 1e-4));
  const double k_prime_minus = value(model.bulk_modulus_derivative(v0 - s, 1e-4));
  const double dp = value(model.pressure(v0 + s)) - value(model.pressure(v0 - s));
  EXPECT_NEAR((k_prime_plus - k_prime_minus) / dp, *GetParam().k_double_prime_at_v0, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, IsothermalIdentity, ::testing::ValuesIn(all_model_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(WithK0DoublePrime, FourthOrderIdentity, ::testing::ValuesIn(fourth_order_cases()),
                         case_name);

}  // namespace
}  // namespace nivaltus
