#pragma once
// Plane (Givens) rotations: the orthogonal transformations that fold one row
// at a time into a triangular factor and chase the bulge of a QR sweep down
// a bidiagonal.

#include <cmath>
#include <cstddef>
#include <span>

namespace nivaltus::fit {

// The rotation with c·f + s·g = r and −s·f + c·g = 0; the identity for f = g = 0.
struct Givens {
  double c = 1.0;
  double s = 0.0;
  double r = 0.0;
};

inline Givens givens(double f, double g) {
  const double r = std::hypot(f, g);
  if (r == 0.0) return {};
  return {f / r, g / r, r};
}

// Turns the pairs (a_q, b_q) by the rotation: a_q ← c·a_q + s·b_q,
// b_q ← −s·a_q + c·b_q (old values on the right). a and b have one length.
inline void rotate(std::span<double> a, std::span<double> b, Givens g) {
  for (std::size_t q = 0; q < a.size(); ++q) {
    const double x = a[q];
    const double y = b[q];
    a[q] = g.c * x + g.s * y;
    b[q] = -g.s * x + g.c * y;
  }
}

}  // namespace nivaltus::fit
