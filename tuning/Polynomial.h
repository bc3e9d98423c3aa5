#pragma once
// Least squares with few unknowns: the normal equations solved by Gaussian
// elimination with partial pivoting, and polynomials of low degree fitted on
// a scaled abscissa so that degree 3 over 0..1300 °C stays well conditioned.
#include <array>
#include <optional>
#include <vector>

namespace calorix::tuning {

// Accumulates rows of x·β ≈ y (weights w) for up to kMax unknowns.
class LeastSquares {
 public:
  static constexpr int kMax = 6;
  explicit LeastSquares(int unknowns) : n_(unknowns) {}
  void add(const double* x, double y, double w = 1.0);
  // The solution; empty when the rows do not determine every unknown.
  std::optional<std::array<double, kMax>> solve() const;
  int rows() const { return rows_; }

 private:
  int n_;
  int rows_ = 0;
  std::array<std::array<double, kMax>, kMax> ata_{};
  std::array<double, kMax> aty_{};
};

// y = c[0] + c[1]·x + c[2]·x² + c[3]·x³ in plain (unscaled) x.
struct Cubic {
  std::array<double, 4> c{};  // D, C, B, A: the constant first
  double operator()(double x) const { return ((c[3] * x + c[2]) * x + c[1]) * x + c[0]; }
};

// The polynomial of the given degree (0..3) through the points in the least
// squares sense; empty when the points cannot determine it.
std::optional<Cubic> fitPolynomial(const std::vector<double>& xs, const std::vector<double>& ys,
                                   int degree, const std::vector<double>& weights = {});

}  // namespace calorix::tuning
