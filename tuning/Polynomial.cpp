#include "tuning/Polynomial.h"

#include <algorithm>
#include <cmath>

namespace calorix::tuning {

void LeastSquares::add(const double* x, double y, double w) {
  for (int r = 0; r < n_; ++r) {
    for (int c = 0; c < n_; ++c) ata_[r][c] += w * x[r] * x[c];
    aty_[r] += w * x[r] * y;
  }
  ++rows_;
}

std::optional<std::array<double, LeastSquares::kMax>> LeastSquares::solve() const {
  auto a = ata_;
  auto b = aty_;
  double scale = 0;
  for (int r = 0; r < n_; ++r) scale = std::max(scale, std::abs(a[r][r]));
  if (scale == 0) return std::nullopt;
  for (int col = 0; col < n_; ++col) {
    int pivot = col;
    for (int r = col + 1; r < n_; ++r)
      if (std::abs(a[r][col]) > std::abs(a[pivot][col])) pivot = r;
    // A pivot this small against the largest diagonal: the rows leave it free.
    if (std::abs(a[pivot][col]) <= 1e-12 * scale) return std::nullopt;
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (int r = col + 1; r < n_; ++r) {
      const double f = a[r][col] / a[col][col];
      for (int c = col; c < n_; ++c) a[r][c] -= f * a[col][c];
      b[r] -= f * b[col];
    }
  }
  std::array<double, kMax> x{};
  for (int r = n_ - 1; r >= 0; --r) {
    double s = b[r];
    for (int c = r + 1; c < n_; ++c) s -= a[r][c] * x[c];
    x[r] = s / a[r][r];
  }
  return x;
}

std::optional<Cubic> fitPolynomial(const std::vector<double>& xs, const std::vector<double>& ys,
                                   int degree, const std::vector<double>& weights) {
  degree = std::clamp(degree, 0, 3);
  if (xs.size() != ys.size() || int(xs.size()) <= degree) return std::nullopt;
  // Fit in u = (x - mid) / half, then expand back into powers of x.
  const auto [lo, hi] = std::minmax_element(xs.begin(), xs.end());
  const double mid = (*lo + *hi) / 2, half = std::max((*hi - *lo) / 2, 1e-9);
  LeastSquares ls(degree + 1);
  for (std::size_t k = 0; k < xs.size(); ++k) {
    const double u = (xs[k] - mid) / half;
    double row[4] = {1, u, u * u, u * u * u};
    ls.add(row, ys[k], weights.empty() ? 1.0 : weights[k]);
  }
  const auto beta = ls.solve();
  if (!beta) return std::nullopt;
  // Σ β_j ((x - mid)/half)^j expanded by the binomial theorem.
  Cubic out;
  for (int j = 0; j <= degree; ++j) {
    const double bj = (*beta)[j] / std::pow(half, j);
    for (int k = 0; k <= j; ++k) {
      double binom = 1;
      for (int m = 0; m < k; ++m) binom = binom * (j - m) / (m + 1);
      out.c[k] += bj * binom * std::pow(-mid, j - k);
    }
  }
  return out;
}

}  // namespace calorix::tuning
