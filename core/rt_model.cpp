#include "core/rt_model.hpp"

#include <array>
#include <concepts>
#include <tuple>
#include <type_traits>

#include "core/fit/named_parameters.hpp"

namespace nivaltus {

namespace {

constexpr std::array<std::string_view, RtModel::kind_count> kind_names = {
    "Baonza",
    "BM2",
    "BM3",
    "BM4",
    "Morse3",
    "Murnaghan",
    "ModifiedTait",
    "NaturalStrain2",
    "NaturalStrain3",
    "NaturalStrain4",
    "RydbergStacey",
    "SunMorse3",
    "SunMorse4",
    "Vinet",
    "Holzapfel",
};

// Wraps a record result into an RtModel result.
template <class Model>
EosResult<RtModel> wrap(const EosResult<Model>& result) {
  if (!result) return std::unexpected(result.error());
  return RtModel(*result);
}

// A record of the kind built by its validating constructor from the values
// of its parameter table, in table order.
template <class Model, std::size_t N>
EosResult<RtModel> make_from(const std::array<double, N>& values) {
  return wrap(std::apply(&Model::make, values));
}

template <class Model>
concept ShiftableModel = requires(const Model& model, double shift) {
  { model.with_pressure_derivative_shift(shift) } -> std::same_as<EosResult<Model>>;
};

}  // namespace

std::string_view RtModel::kind_name(Kind kind) { return kind_names[static_cast<std::size_t>(kind)]; }

EosResult<RtModel> RtModel::with_reference_state(double v0, double k0) const {
  return std::visit(
      [v0, k0](const auto& model) {
        using Model = std::remove_cvref_t<decltype(model)>;
        static_assert(Model::parameter_table()[0].name == "V0" && Model::parameter_table()[1].name == "K0");
        auto values = parameter_values(Model::parameter_table(), model);
        values[0] = v0;
        values[1] = k0;
        return make_from<Model>(values);
      },
      model_);
}

fit::FitResult<RtModel> RtModel::with_parameters(const RtModel& model, std::span<const std::string> names,
                                                 std::span<const double> values) {
  if (auto bad = native_fit::check_lengths(names, values); !bad) return std::unexpected(bad.error());
  return std::visit(
      [names, values](const auto& held) -> fit::FitResult<RtModel> {
        using Model = std::remove_cvref_t<decltype(held)>;
        const auto named = native_fit::named_values(Model::parameter_table(), held, names, values);
        if (!named) return std::unexpected(named.error());
        const EosResult<RtModel> built = make_from<Model>(*named);
        if (!built) return fit::fail_eos(built.error());
        return *built;
      },
      model.model_);
}

EosResult<RtModel> RtModel::with_pressure_derivative_shift(double shift) const {
  if (shift == 0.0) return *this;
  return std::visit(
      [shift](const auto& model) -> EosResult<RtModel> {
        if constexpr (ShiftableModel<std::remove_cvref_t<decltype(model)>>) {
          return wrap(model.with_pressure_derivative_shift(shift));
        } else {
          return fail_parameter("kprime_log_coefficient",
                                "reference EOS does not support a pressure-derivative shift");
        }
      },
      model_);
}

}  // namespace nivaltus
