#pragma once
// Test support: builds any isothermal kind by name through its validating
// constructor, and lists one representative model of every kind.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/rt_model.hpp"

namespace nivaltus::test {

inline EosResult<RtModel> build_model(std::string_view name, const std::vector<double>& p) {
  using namespace isothermal;
  const auto wrap = [](const auto& result) -> EosResult<RtModel> {
    if (!result) return std::unexpected(result.error());
    return RtModel(*result);
  };
  if (name == "Baonza") return wrap(Baonza::make(p.at(0), p.at(1), p.at(2)));
  if (name == "BM2") return wrap(BM2::make(p.at(0), p.at(1)));
  if (name == "BM3") return wrap(BM3::make(p.at(0), p.at(1), p.at(2)));
  if (name == "BM4") return wrap(BM4::make(p.at(0), p.at(1), p.at(2), p.at(3)));
  if (name == "Morse3") return wrap(Morse3::make(p.at(0), p.at(1), p.at(2)));
  if (name == "Murnaghan") return wrap(Murnaghan::make(p.at(0), p.at(1), p.at(2)));
  if (name == "ModifiedTait") return wrap(ModifiedTait::make(p.at(0), p.at(1), p.at(2), p.at(3)));
  if (name == "NaturalStrain2") return wrap(NaturalStrain2::make(p.at(0), p.at(1)));
  if (name == "NaturalStrain3") return wrap(NaturalStrain3::make(p.at(0), p.at(1), p.at(2)));
  if (name == "NaturalStrain4") return wrap(NaturalStrain4::make(p.at(0), p.at(1), p.at(2), p.at(3)));
  if (name == "RydbergStacey") return wrap(RydbergStacey::make(p.at(0), p.at(1), p.at(2), p.at(3)));
  if (name == "SunMorse3") return wrap(SunMorse3::make(p.at(0), p.at(1), p.at(2)));
  if (name == "SunMorse4") return wrap(SunMorse4::make(p.at(0), p.at(1), p.at(2)));
  if (name == "Vinet") return wrap(Vinet::make(p.at(0), p.at(1), p.at(2)));
  if (name == "Holzapfel") return wrap(Holzapfel::make(p.at(0), p.at(1), p.at(2), p.at(3), p.at(4)));
  throw std::invalid_argument("unknown isothermal kind " + std::string(name));
}

inline RtModel valid_model(std::string_view name, const std::vector<double>& p) {
  auto model = build_model(name, p);
  if (!model) throw std::invalid_argument(model.error().to_string());
  return *model;
}

struct ModelCase {
  std::string name;
  std::vector<double> parameters;
  double k_prime_at_v0;                        // dK/dP at V0 implied by the parameters
  std::optional<double> k_double_prime_at_v0;  // d2K/dP2 at V0, where a parameter sets it
};

// One model of every kind, in kind order, plus a few that stress a branch.
inline std::vector<ModelCase> all_model_cases() {
  return {
      {"Baonza", {20.0, 100.0, 4.5}, 4.5, std::nullopt},
      {"BM2", {11.2, 160.0}, 4.0, std::nullopt},
      {"BM3", {74.7, 160.3, 4.62}, 4.62, std::nullopt},
      {"BM3", {74.7, 160.3, -1.5}, -1.5, std::nullopt},
      {"BM4", {10.0, 200.0, 4.5, -0.03}, 4.5, -0.03},
      {"Morse3", {20.0, 100.0, 4.7}, 4.7, std::nullopt},
      {"Murnaghan", {40.0, 120.0, 4.3}, 4.3, std::nullopt},
      {"Murnaghan", {40.0, 120.0, 0.0}, 0.0, std::nullopt},
      {"ModifiedTait", {22.5, 130.0, 4.2, -0.033}, 4.2, -0.033},
      {"NaturalStrain2", {11.2, 160.0}, 2.0, std::nullopt},
      {"NaturalStrain3", {74.7, 160.3, 4.62}, 4.62, std::nullopt},
      {"NaturalStrain4", {10.0, 200.0, 4.5, -0.03}, 4.5, -0.03},
      {"RydbergStacey", {12.0, 150.0, 4.8, 2.9}, 4.8, std::nullopt},
      {"SunMorse3", {20.0, 100.0, 4.4}, 4.4, std::nullopt},
      {"SunMorse4", {20.0, 100.0, 4.4}, 4.4, std::nullopt},
      {"Vinet", {16.26, 90.0, 5.6}, 5.6, std::nullopt},
      {"Holzapfel", {16.5, 160.0, 4.6, 1.0, 26.0}, 4.6, std::nullopt},
  };
}

}  // namespace nivaltus::test
