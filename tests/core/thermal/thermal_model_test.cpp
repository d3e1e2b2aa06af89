// ThermalModel and its quantity names: dispatch to the held model, the order
// of the state checks, and the shared default bodies: their checks, and the
// model's own operations they call. The linear law's P_th does not depend on
// V, so its K_T is K_ref.

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

EosResult<double> evaluate(const ThermalModel& model, std::string_view name, double first, double second) {
  const ThermalQuantityResult result = thermal_evaluate(model, name, first, second);
  if (result) return *result;
  if (const auto* error = std::get_if<EosError>(&result.error())) return std::unexpected(*error);
  ADD_FAILURE() << name << " unexpectedly unavailable";
  return std::unexpected(EosError::non_finite_result());
}

bool same(const EosResult<double>& a, const EosResult<double>& b) {
  return a ? b && std::bit_cast<std::uint64_t>(*a) == std::bit_cast<std::uint64_t>(*b)
           : !b && a.error() == b.error();
}

// Through its name, "pressure" gives the held model's values and errors
// alike, bit for bit, over good states, bad states in both orders and
// subnormals; "volume" takes (P, T) and "temperature" (P, V), and both invert
// the pressure; the aliases give the values of their names. Every other name
// reaches its own term, tied to the others by identities wherever the model
// offers them: S = (E - F)/T, Cv = dE/dT, H - E = G - F, Cp/Cv = K_S/K_T,
// K_T = 1/beta_T and d ln(theta) / d ln(V) = -gamma.
TEST(ThermalModel, NamesReachTheirTerms) {
  const std::pair<double, double> states[] = {{10.5, 1500.0}, {-1.0, nan}, {10.5, 0.0}, {tiny, 1000.0}};
  std::apply(
      [&states](const auto&... models) {
        (
            [&](const auto& model) {
              const ThermalModel held(model);
              SCOPED_TRACE(std::string(held.model_name()));
              const auto term = [&held](std::string_view name, double v = 10.5, double t = 1500.0) {
                const ThermalQuantityResult result = thermal_evaluate(held, name, v, t);
                return result ? *result : nan;
              };
              for (const auto& [v, t] : states) {
                EXPECT_TRUE(same(evaluate(held, "pressure", v, t), model.pressure(v, t))) << v << ", " << t;
              }
              const double p = term("pressure");
              EXPECT_TRUE(relatively_near(term("volume", p, 1500.0), 10.5, 1e-7));
              EXPECT_TRUE(relatively_near(term("temperature", p, 10.5), 1500.0, 1e-6));
              for (auto [alias, name] : {std::pair{"thermal_internal_energy", "thermal_energy"},
                                         {"heat_capacity_v", "molar_heat_capacity_v"},
                                         {"heat_capacity_p", "molar_heat_capacity_p"}}) {
                EXPECT_EQ(std::bit_cast<std::uint64_t>(term(alias)),
                          std::bit_cast<std::uint64_t>(term(name)));
              }
              const double e = term("thermal_energy"), f = term("thermal_helmholtz_free_energy");
              if (!std::isnan(e)) {
                EXPECT_TRUE(relatively_near(term("thermal_entropy"), (e - f) / 1500.0, 1e-12));
                const auto energy = [&](double t) -> EosResult<double> {
                  return term("thermal_energy", 10.5, t);
                };
                EXPECT_TRUE(relatively_near(term("molar_heat_capacity_v"), derivative(energy, 1500.0), 1e-7));
                EXPECT_TRUE(relatively_near(term("thermal_enthalpy") - e,
                                            term("thermal_gibbs_free_energy") - f, 1e-12));
              }
              const double cv = term("molar_heat_capacity_v");
              if (!std::isnan(cv)) {
                EXPECT_TRUE(relatively_near(term("molar_heat_capacity_p") / cv,
                                            term("adiabatic_bulk_modulus") / term("bulk_modulus"), 1e-6));
              }
              EXPECT_TRUE(
                  relatively_near(term("isothermal_compressibility"), 1.0 / term("bulk_modulus"), 1e-6));
              if (!std::isnan(term("characteristic_temperature"))) {
                const auto ln_theta = [&](double ln_v) -> EosResult<double> {
                  return std::log(term("characteristic_temperature", std::exp(ln_v)));
                };
                EXPECT_TRUE(relatively_near(-derivative(ln_theta, std::log(10.5)),
                                            term("gruneisen_parameter"), 1e-6));
              }
            }(models),
            ...);
      },
      thermal_test::all_thermal_models());
}

const LinearThermalPressure linear_law = *LinearThermalPressure::make(bm3_reference(), 300.0, 0.01);

// Which of V and T an operation checks first, with both bad. The thermal
// part's checks come first; the difference stencils check V, T, then the
// step, and a relative volume step of one reaches V = 0; f_dac is checked
// before V. The reference's own errors (the end of the Tait domain at 8/3 V0)
// show only after the thermal part succeeded.
TEST(ThermalModel, ChecksInOrder) {
  const auto [apl, dewaele, dorogokupets, linear, quadratic, log_volume, taylor, debye, einstein,
              holland_powell, tait_holland_powell, multi_oscillator, reference_state] =
      thermal_test::all_thermal_models();
  const std::string_view unit = "must lie in [0, 1)";
  const std::tuple<const char*, EosResult<double>, EosError> rows[] = {
      {"APL P_th", apl.thermal_pressure(0.0, 0.0), bad_state("temperature")},  // T first, but not in P_vib
      {"APL P_vib", apl.vibrational_pressure(-1.0, nan), bad_state("volume")},
      {"MGD P_th", debye.thermal_pressure(0.0, -1.0), bad_state("volume")},  // V first; Cv T first
      {"MGD Cv", debye.molar_heat_capacity_v(-1.0, 0.0), bad_state("temperature")},
      {"Tait HP P", ThermalModel(tait_holland_powell).pressure(30.0, -1.0), bad_state("temperature")},
      {"Tait HP P", ThermalModel(tait_holland_powell).pressure(30.0, 1000.0),
       bad_state("volume", "is outside the modified Tait EOS domain")},
      {"V", linear_law.volume(nan, 0.0), bad_state("temperature")},
      {"T", linear_law.temperature(inf, -1.0), bad_state("pressure", phrase::finite)},
      {"V_dac", linear_law.volume_with_dac_confinement(1.0, -1.0, nan), bad_state("temperature")},
      {"V_dac", linear_law.volume_with_dac_confinement(1.0, 300.0, 1.0), bad_state("f_dac", unit)},
      {"K_T", linear_law.bulk_modulus(0.0, 0.0, 0.0), bad_state("volume")},
      {"alpha", linear_law.thermal_expansivity(5.0, 300.0, inf), bad_state("relative_step")},
      {"K_T", linear_law.bulk_modulus(10.0, 300.0, 1.0), bad_state("volume")},
      {"P_dac", linear_law.dac_thermal_pressure(-5.0, 1300.0, nan), bad_state("f_dac", phrase::finite)},
      {"P_dac", linear_law.dac_thermal_pressure(-5.0, 1300.0, 0.5), bad_state("volume")},
  };
  for (const auto& [what, result, error] : rows) EXPECT_TRUE(fails_with(result, error)) << what;
}

// P = P_ref + P_th; the temperature step is capped at 0.49 T, so a huge one
// still gives alpha = 0.01 / K_T. A model's own operation replaces the
// default everywhere: the closed-form K_T of the reference state in the
// compressibility, the Taylor increment (not its thermal pressure, non-zero
// at Tr) in the confinement share, the embedded Debye Tr as the start of the
// Debye-quadratic temperature search, and the model's Cv in
// Cp = Cv + alpha^2 K_T V T 10000 and K_S = K_T Cp/Cv.
TEST(ThermalModel, DefaultBodies) {
  EXPECT_EQ(linear_law.pressure(5.0, 1300.0), 10.0 + value_of(bm3_reference().pressure(5.0)));
  const double k_ref = value_of(bm3_reference().bulk_modulus(10.0));
  EXPECT_TRUE(relatively_near(linear_law.thermal_expansivity(10.0, 300.0, 100.0), 0.01 / k_ref, 1e-7));
  const auto [apl, dewaele, dorogokupets, linear, quadratic, log_volume, taylor, debye, einstein,
              holland_powell, tait_holland_powell, multi_oscillator, reference_state] =
      thermal_test::all_thermal_models();
  EXPECT_EQ(reference_state.isothermal_compressibility(10.5, 1500.0),
            1.0 / value_of(reference_state.state_eos(1500.0)->bulk_modulus(10.5)));
  EXPECT_NE(taylor.thermal_pressure(10.5, 300.0), 0.0);
  EXPECT_EQ(taylor.dac_thermal_pressure(10.5, 300.0, 0.5), 0.0);
  EXPECT_EQ(quadratic.temperature(value_of(quadratic.pressure(10.5, 300.0)), 10.5), 300.0);  // found at once
  const double cv = value_of(holland_powell.molar_heat_capacity_v(10.5, 1000.0));
  const double alpha = value_of(holland_powell.thermal_expansivity(10.5, 1000.0, 1e-5));
  const double k = value_of(holland_powell.bulk_modulus(10.5, 1000.0, 1e-6));
  const double cp = cv + alpha * alpha * k * 10.5 * 1000.0 * 10000.0;
  EXPECT_EQ(holland_powell.molar_heat_capacity_p(10.5, 1000.0), cp);
  EXPECT_EQ(holland_powell.adiabatic_bulk_modulus(10.5, 1000.0), (k * cp) / cv);
}

}  // namespace
}  // namespace nivaltus
