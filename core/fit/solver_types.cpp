#include "core/fit/solver_types.hpp"

#include "core/fit/checked_size.hpp"

namespace nivaltus::fit {

std::optional<LayoutSizes> layout_sizes(const StructuredLayout& layout) {
  const std::size_t g = layout.global_parameter_count;
  const std::size_t points = layout.point_count;
  const std::size_t latent = layout.latent_coordinate_count;
  const auto latent_parameters = checked_product(latent, points);
  if (!latent_parameters) return std::nullopt;
  const auto parameters = checked_sum(g, *latent_parameters);
  const auto blocks = checked_sum(latent, 1);
  if (!parameters || !blocks) return std::nullopt;
  const auto residuals = checked_product(*blocks, points);
  if (!residuals) return std::nullopt;
  const auto global_jacobian = checked_product(*residuals, g);
  const auto latent_jacobian = checked_product(points, *blocks, latent);
  const auto global_block = checked_product(g, g);
  const auto coupling = checked_product(points, g, latent);
  const auto latent_blocks = checked_product(points, latent, latent);
  if (!global_jacobian || !latent_jacobian || !global_block || !coupling || !latent_blocks)
    return std::nullopt;
  return LayoutSizes{*parameters,   *residuals, *global_jacobian, *latent_jacobian,
                     *global_block, *coupling,  *latent_blocks};
}

FitResult<void> check_layout_parameters(const StructuredLayout& layout, std::size_t n) {
  const auto sizes = layout_sizes(layout);
  if (!sizes || sizes->parameter_count != n) {
    return fail_input("structured layout does not match the parameter vector");
  }
  return {};
}

Jacobian Jacobian::dense(std::vector<double> values, std::size_t m, std::size_t n) {
  Jacobian jacobian;
  jacobian.m_ = m;
  jacobian.n_ = n;
  jacobian.values_ = std::move(values);
  return jacobian;
}

Jacobian Jacobian::structured(const StructuredLayout& layout, std::vector<double> global,
                              std::vector<double> latent) {
  Jacobian jacobian;
  jacobian.m_ = (layout.latent_coordinate_count + 1) * layout.point_count;
  jacobian.n_ = layout.global_parameter_count + layout.latent_coordinate_count * layout.point_count;
  jacobian.layout_ = layout;
  jacobian.values_ = std::move(global);
  jacobian.latent_ = std::move(latent);
  return jacobian;
}

std::vector<double> Jacobian::to_dense() const {
  if (!layout_) return values_;
  std::vector<double> dense(m_ * n_, 0.0);
  const std::size_t g = layout_->global_parameter_count;
  const std::size_t points = layout_->point_count;
  const std::size_t latent = layout_->latent_coordinate_count;
  for (std::size_t i = 0; i < m_; ++i) {
    for (std::size_t a = 0; a < g; ++a) dense[i * n_ + a] = values_[i * g + a];
    const std::size_t p = i % points;
    const std::size_t row = latent_offset(p, i / points);
    for (std::size_t l = 0; l < latent; ++l) dense[i * n_ + g + l * points + p] = latent_[row + l];
  }
  return dense;
}

void Jacobian::scale_rows(std::span<const double> factors) {
  if (!layout_) {
    for (std::size_t i = 0; i < m_; ++i) {
      for (std::size_t j = 0; j < n_; ++j) values_[i * n_ + j] *= factors[i];
    }
    return;
  }
  const std::size_t g = layout_->global_parameter_count;
  const std::size_t points = layout_->point_count;
  const std::size_t latent = layout_->latent_coordinate_count;
  for (std::size_t i = 0; i < m_; ++i) {
    for (std::size_t a = 0; a < g; ++a) values_[i * g + a] *= factors[i];
    const std::size_t row = latent_offset(i % points, i / points);
    for (std::size_t l = 0; l < latent; ++l) latent_[row + l] *= factors[i];
  }
}

}  // namespace nivaltus::fit
