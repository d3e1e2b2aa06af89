#pragma once
// The named double parameters of a model record, in the order its validating
// constructor takes them. One table per model serves every place that walks
// the parameters: the rebuild from named values, the Python constructors and
// their text signatures, and the tests.
//
// Each entry gives the name in physics notation ("V0", "K0_prime", "Tr"), the
// Python argument name ("v0", "k0_prime", "tr"), the argument's default when
// the Python constructor has one, and the field that holds the value.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nivaltus {

// Default of a Python constructor argument: none (required), a number, or
// None (the constructor then derives the value).
struct PythonDefault {
  enum class Kind : std::uint8_t { required, number, none };
  Kind kind = Kind::required;
  double number = 0.0;
};

inline constexpr PythonDefault python_required{};
inline constexpr PythonDefault python_none{PythonDefault::Kind::none, 0.0};
constexpr PythonDefault python_default(double number) { return {PythonDefault::Kind::number, number}; }

template <class Model>
struct Parameter {
  std::string_view name;
  std::string_view python_name;
  // The field holding the value; reading a const record goes through read().
  double& (*field)(Model&);
  PythonDefault python_default = python_required;

  constexpr double read(const Model& model) const { return field(const_cast<Model&>(model)); }
  constexpr void write(Model& model, double value) const { field(model) = value; }
};

template <class Model, std::size_t N>
using ParameterTable = std::array<Parameter<Model>, N>;

namespace parameter_detail {

template <class Member>
struct MemberOwner;
template <class Owner, class Value>
struct MemberOwner<Value Owner::*> {
  using type = Owner;
  using value = Value;
};

}  // namespace parameter_detail

// The accessor of a double member, `field<&BM3::v0>`, and of a double inside a
// member record, `field<&DebyeQuadraticThermalPressure::debye, &MieGruneisenDebye::Tr>`.
template <auto Member>
constexpr double& field(typename parameter_detail::MemberOwner<decltype(Member)>::type& model) {
  return model.*Member;
}
template <auto Outer, auto Inner>
constexpr double& field(typename parameter_detail::MemberOwner<decltype(Outer)>::type& model) {
  return (model.*Outer).*Inner;
}

// Position of a name in a table; N when the table does not hold it.
template <class Model, std::size_t N>
constexpr std::size_t parameter_index(const ParameterTable<Model, N>& table, std::string_view name) {
  for (std::size_t i = 0; i < N; ++i) {
    if (table[i].name == name) return i;
  }
  return N;
}

// The record's values in table order.
template <class Model, std::size_t N>
constexpr std::array<double, N> parameter_values(const ParameterTable<Model, N>& table, const Model& model) {
  std::array<double, N> values{};
  for (std::size_t i = 0; i < N; ++i) values[i] = table[i].read(model);
  return values;
}

}  // namespace nivaltus
