#include "core/thermal/thermal_model.hpp"

#include <tuple>

#include "core/fit/named_parameters.hpp"

namespace nivaltus {

namespace {

using native_fit::ReferenceUpdates;

bool is_reference_name(std::string_view name) { return name.starts_with(native_fit::reference_prefix); }

fit::FitResult<RtModel> rebuild_reference(const RtModel& reference, const ReferenceUpdates& updates) {
  return RtModel::with_parameters(reference, updates.names, updates.values);
}

// A ModifiedTait reference is rebuilt as that kind and stays that kind.
fit::FitResult<isothermal::ModifiedTait> rebuild_reference(const isothermal::ModifiedTait& reference,
                                                           const ReferenceUpdates& updates) {
  const fit::FitResult<RtModel> rebuilt = rebuild_reference(RtModel(reference), updates);
  if (!rebuilt) return std::unexpected(rebuilt.error());
  return *rebuilt->get_if<isothermal::ModifiedTait>();
}

// The model over the rebuilt reference from the values of its parameter
// table. Most kinds take the values in table order after the reference; the
// overloads below hold the rules of the others.
template <class Model, class Reference, std::size_t N>
EosResult<Model> build(const Model&, const Reference& reference, const std::array<double, N>& values) {
  return std::apply([&reference](auto... value) { return Model::make(reference, value...); }, values);
}

// The two law choices are carried over from the current model.
EosResult<thermal::MieGruneisenDebye> build(const thermal::MieGruneisenDebye& current,
                                            const RtModel& reference, const std::array<double, 6>& v) {
  return thermal::build_mie_gruneisen_debye(reference, v[0], v[1], v[2], v[3], v[4], v[5],
                                            current.debye_temperature_law,
                                            current.thermal_pressure_reference);
}

// Cvmax = 3 n R of the new n, and the first law choices, as its constructor
// builds it.
EosResult<thermal::MieGruneisenEinstein> build(const thermal::MieGruneisenEinstein&, const RtModel& reference,
                                               const std::array<double, 5>& v) {
  return thermal::build_mie_gruneisen_einstein(reference, v[0], v[1], v[2], v[3], v[4]);
}

EosResult<thermal::MultiOscillatorGruneisen> build(const thermal::MultiOscillatorGruneisen&,
                                                   const RtModel& reference,
                                                   const std::array<double, 19>& v) {
  return thermal::MultiOscillatorGruneisen::from_table_values(reference, v);
}

// The expansion and volume laws and the kind of bulk-modulus law stay; the
// betas count only under the reciprocal-cubic law.
EosResult<thermal::ThermalReferenceState> build(const thermal::ThermalReferenceState& current,
                                                const RtModel& reference, const std::array<double, 8>& v) {
  using thermal::BulkModulusLaw;
  const EosResult<thermal::ThermalReferenceState> state = thermal::ThermalReferenceState::make(
      reference, v[0], v[1], v[2], v[3], current.thermal_expansion_law, current.reference_volume_law);
  if (!state) return state;
  const BulkModulusLaw law = current.bulk_modulus_law.kind == BulkModulusLaw::Kind::reciprocal_cubic
                                 ? BulkModulusLaw::reciprocal_cubic(v[4], v[5], v[6])
                                 : BulkModulusLaw::linear_temperature();
  return thermal::ThermalReferenceState::with_temperature_laws(*state, law, v[7]);
}

// Under the linear-temperature law a non-zero beta (NaN included) among the
// names has no meaning; zero betas pass and are ignored.
fit::FitResult<void> check_betas(const ThermalModel& model, std::span<const std::string> names,
                                 std::span<const double> values) {
  const auto* state = model.get_if<thermal::ThermalReferenceState>();
  if (state == nullptr || state->bulk_modulus_law.kind != thermal::BulkModulusLaw::Kind::linear_temperature) {
    return {};
  }
  for (const std::string_view beta : {"beta1", "beta2", "beta3"}) {
    if (native_fit::value(names, values, beta, 0.0) != 0.0) {
      return fit::fail_eos(
          EosError::invalid_parameter("beta coefficients", "require reciprocal cubic compressibility"));
    }
  }
  return {};
}

}  // namespace

fit::FitResult<ThermalModel> ThermalModel::with_parameters(const ThermalModel& model,
                                                           std::span<const std::string> names,
                                                           std::span<const double> values) {
  if (auto bad = native_fit::check_lengths(names, values); !bad) return std::unexpected(bad.error());
  const ReferenceUpdates updates = native_fit::reference_updates(names, values);
  if (auto bad = check_betas(model, names, values); !bad) return std::unexpected(bad.error());
  return std::visit(
      [&](const auto& held) -> fit::FitResult<ThermalModel> {
        using Model = std::remove_cvref_t<decltype(held)>;
        const auto named =
            native_fit::named_values(Model::parameter_table(), held, names, values, is_reference_name);
        if (!named) return std::unexpected(named.error());
        const auto reference = rebuild_reference(held.reference, updates);
        if (!reference) return std::unexpected(reference.error());
        const auto built = build(held, *reference, *named);
        if (!built) return fit::fail_eos(built.error());
        return ThermalModel(*built);
      },
      model.model_);
}

}  // namespace nivaltus
