#include "core/fit/loss.hpp"

#include <cmath>
#include <string>

#include "core/name_table.hpp"

namespace nivaltus::fit {
namespace {

constexpr NameTable<Loss::Kind, 5> loss_names = {{
    {"linear", Loss::Linear},
    {"soft_l1", Loss::SoftL1},
    {"huber", Loss::Huber},
    {"cauchy", Loss::Cauchy},
    {"arctan", Loss::Arctan},
}};

double rho(Loss::Kind kind, double z) {
  switch (kind) {
    case Loss::Linear:
      return z;
    case Loss::SoftL1:
      return 2.0 * (std::sqrt(1.0 + z) - 1.0);
    case Loss::Huber:
      return z <= 1.0 ? z : 2.0 * std::sqrt(z) - 1.0;
    case Loss::Cauchy:
      return std::log1p(z);
    case Loss::Arctan:
      return std::atan(z);
  }
  return z;
}

struct Derivatives {
  double first;
  double second;
};

Derivatives rho_derivatives(Loss::Kind kind, double z) {
  switch (kind) {
    case Loss::Linear:
      return {1.0, 0.0};
    case Loss::SoftL1:
      return {1.0 / std::sqrt(1.0 + z), -0.5 / std::pow(1.0 + z, 1.5)};
    case Loss::Huber:
      if (z <= 1.0) return {1.0, 0.0};
      return {1.0 / std::sqrt(z), -0.5 / std::pow(z, 1.5)};
    case Loss::Cauchy: {
      const double t = 1.0 + z;
      return {1.0 / t, -1.0 / (t * t)};
    }
    case Loss::Arctan: {
      const double t = 1.0 + z * z;
      return {1.0 / t, -2.0 * z / (t * t)};
    }
  }
  return {1.0, 0.0};
}

}  // namespace

FitResult<Loss> Loss::from_name(std::string_view name) {
  if (const auto kind = value_from_name(loss_names, name)) return Loss(*kind);
  return fail_input("unsupported loss function: " + std::string(name));
}

std::string_view Loss::name() const { return name_of_value(loss_names, kind_); }

double robust_cost(std::span<const double> residuals, Loss loss, double f_scale) {
  const double c2 = f_scale * f_scale;
  const double factor = c2 * 0.5;
  double sum = -0.0;
  for (const double r : residuals) sum += rho(loss.kind(), (r * r) / c2);
  return factor * sum;
}

std::vector<double> robust_weights(std::span<const double> residuals, Loss loss, double f_scale) {
  const double c2 = f_scale * f_scale;
  std::vector<double> weights(residuals.size());
  for (std::size_t i = 0; i < residuals.size(); ++i) {
    const double z = (residuals[i] * residuals[i]) / c2;
    weights[i] = std::fmax(rho_derivatives(loss.kind(), z).first, machine_epsilon);
  }
  return weights;
}

std::vector<double> robust_row_factors(std::span<const double> residuals, Loss loss, double f_scale) {
  // Linear: ρ' + 2zρ'' = 1 for every z, also where z overflows to infinity.
  if (loss == Loss::Linear) return std::vector<double>(residuals.size(), 1.0);
  const double c2 = f_scale * f_scale;
  std::vector<double> factors(residuals.size());
  for (std::size_t i = 0; i < residuals.size(); ++i) {
    const double z = (residuals[i] * residuals[i]) / c2;
    const auto [first, second] = rho_derivatives(loss.kind(), z);
    double factor = second * 2.0;
    factor = factor * z;
    factor = factor + first;
    factors[i] = std::sqrt(std::fmax(factor, machine_epsilon));
  }
  return factors;
}

std::vector<double> robust_result_jacobian(std::vector<double> jacobian, std::span<const double> residuals,
                                           std::size_t n, Loss loss, double f_scale) {
  if (n == 0) return jacobian;
  const std::vector<double> factors = robust_row_factors(residuals, loss, f_scale);
  for (std::size_t i = 0; i < factors.size(); ++i) {
    for (std::size_t j = 0; j < n; ++j) jacobian[i * n + j] *= factors[i];
  }
  return jacobian;
}

}  // namespace nivaltus::fit
