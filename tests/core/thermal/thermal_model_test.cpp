// ThermalModel and its quantity names, the order of the state checks, and the
// shared default bodies.

#include "core/thermal/thermal_model.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <utility>

#include "core/thermal/thermal_quantity.hpp"
#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus {
namespace {

using namespace test;
using namespace thermal;
using thermal_test::bm3_reference;

// "pressure" gives the held model's values and errors bit for bit; "volume"
// (P, T) and "temperature" (P, V) invert it; aliases give their names' values.
// Every other name reaches its own term, tied to the others by identities
// wherever the model offers them: S = (E - F)/T, Cv = dE/dT, H - E = G - F,
// Cp/Cv = K_S/K_T, K_T = 1/beta_T and d ln(theta) / d ln(V) = -gamma.
template <class Model>
void expect_names_reach_their_terms(const Model& model) {
  const ThermalModel held(model);
  SCOPED_TRACE(std::string(held.model_name()));
  const auto term = [&held](std::string_view name, double v = 10.5, double t = 1500.0) {
    const ThermalQuantityResult result = thermal_evaluate(held, name, v, t);
    return result ? *result : nan;
  };
  for (const auto& [v, t] : {std::pair{10.5, 1500.0}, {-1.0, nan}, {10.5, 0.0}, {tiny, 1000.0}}) {
    const ThermalQuantityResult by_name = thermal_evaluate(held, "pressure", v, t);
    const EosResult<double> direct = model.pressure(v, t);
    ASSERT_EQ(by_name.has_value(), direct.has_value()) << v << ", " << t;
    if (direct) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(*by_name), std::bit_cast<std::uint64_t>(*direct));
    } else {
      EXPECT_EQ(std::get<EosError>(by_name.error()), direct.error());
    }
  }
  const double p = term("pressure");
  EXPECT_TRUE(relatively_near(term("volume", p, 1500.0), 10.5, 1e-7));
  EXPECT_TRUE(relatively_near(term("temperature", p, 10.5), 1500.0, 1e-6));
  for (auto [alias, name] : {std::pair{"thermal_internal_energy", "thermal_energy"},
                             {"heat_capacity_v", "molar_heat_capacity_v"},
                             {"heat_capacity_p", "molar_heat_capacity_p"}}) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(term(alias)), std::bit_cast<std::uint64_t>(term(name)));
  }
  const double e = term("thermal_energy"), f = term("thermal_helmholtz_free_energy");
  if (!std::isnan(e)) {
    EXPECT_TRUE(relatively_near(term("thermal_entropy"), (e - f) / 1500.0, 1e-12));
    const auto energy = [&](double t) -> EosResult<double> { return term("thermal_energy", 10.5, t); };
    EXPECT_TRUE(relatively_near(term("molar_heat_capacity_v"), derivative(energy, 1500.0), 1e-7));
    EXPECT_TRUE(relatively_near(term("thermal_enthalpy") - e, term("thermal_gibbs_free_energy") - f, 1e-12));
  }
  const double cv = term("molar_heat_capacity_v");
  if (!std::isnan(cv)) {
    EXPECT_TRUE(relatively_near(term("molar_heat_capacity_p") / cv,
                                term("adiabatic_bulk_modulus") / term("bulk_modulus"), 1e-6));
  }
  EXPECT_TRUE(relatively_near(term("isothermal_compressibility"), 1.0 / term("bulk_modulus"), 1e-6));
  if (!std::isnan(term("characteristic_temperature"))) {
    const auto ln_theta = [&](double ln_v) -> EosResult<double> {
      return std::log(term("characteristic_temperature", std::exp(ln_v)));
    };
    EXPECT_TRUE(relatively_near(-derivative(ln_theta, std::log(10.5)), term("gruneisen_parameter"), 1e-6));
  }
}

TEST(ThermalModel, NamesReachTheirTerms) {
  std::apply([](const auto&... model) { (expect_names_reach_their_terms(model), ...); },
             thermal_test::all_thermal_models());
}

// Check order: the thermal part's, then the reference's own (the Tait domain
// ends at 8/3 V0); a relative volume step of one reaches V = 0. Defaults:
// P = P_ref + P_th; the temperature step is capped at 0.49 T, so a huge one
// still gives alpha = 0.01 / K_T. A model's own operation replaces the
// default: the reference state's closed-form K_T, the Taylor increment (not
// P_th, non-zero at Tr), the Debye Tr starting the Debye-quadratic search.
TEST(ThermalModel, ChecksInOrderAndDefaultBodies) {
  const auto [apl, dewaele, dorogokupets, linear, quadratic, log_volume, taylor, debye, einstein,
              holland_powell, tait_holland_powell, multi_oscillator, reference_state] =
      thermal_test::all_thermal_models();
  const LinearThermalPressure linear_law = *LinearThermalPressure::make(bm3_reference(), 300.0, 0.01);
  const std::tuple<const char*, EosResult<double>, EosError> rows[] = {
      {"APL P_th", apl.thermal_pressure(0.0, 0.0), bad_state("temperature")},  // T first, but not in P_vib
      {"APL P_vib", apl.vibrational_pressure(-1.0, nan), bad_state("volume")},
      {"Tait HP P", ThermalModel(tait_holland_powell).pressure(30.0, -1.0), bad_state("temperature")},
      {"Tait HP P", ThermalModel(tait_holland_powell).pressure(30.0, 1000.0),
       bad_state("volume", "is outside the modified Tait EOS domain")},
      {"V", linear_law.volume(nan, 0.0), bad_state("temperature")},
      {"V_dac", linear_law.volume_with_dac_confinement(1.0, 300.0, 1.0),
       bad_state("f_dac", "must lie in [0, 1)")},
      {"K_T", linear_law.bulk_modulus(10.0, 300.0, 1.0), bad_state("volume")},
      {"P_dac", linear_law.dac_thermal_pressure(-5.0, 1300.0, nan), bad_state("f_dac", phrase::finite)},
  };
  for (const auto& [what, result, error] : rows) EXPECT_TRUE(fails_with(result, error)) << what;
  EXPECT_EQ(linear_law.pressure(5.0, 1300.0), 10.0 + value_of(bm3_reference().pressure(5.0)));
  const double k_ref = value_of(bm3_reference().bulk_modulus(10.0));
  EXPECT_TRUE(relatively_near(linear_law.thermal_expansivity(10.0, 300.0, 100.0), 0.01 / k_ref, 1e-7));
  EXPECT_EQ(reference_state.isothermal_compressibility(10.5, 1500.0),
            1.0 / value_of(reference_state.state_eos(1500.0)->bulk_modulus(10.5)));
  EXPECT_NE(taylor.thermal_pressure(10.5, 300.0), 0.0);
  EXPECT_EQ(taylor.dac_thermal_pressure(10.5, 300.0, 0.5), 0.0);
  EXPECT_EQ(quadratic.temperature(value_of(quadratic.pressure(10.5, 300.0)), 10.5), 300.0);  // found at once
}

}  // namespace
}  // namespace nivaltus
