#pragma once
// The tolerance tests every decoder, matcher and wizard shares. Durations are
// signed µs; rounding is to the nearest integer, halves to even.

#include <cstdint>

namespace klimavo::ir {

/// Round half to even, the rounding of the whole workbench. Exact for every
/// double (no dependence on the floating-point rounding mode); saturates at the
/// 64-bit limits and gives 0 for NaN.
inline std::int64_t RoundHalfEven(double value) {
  constexpr double kLimit = 9.2e18;
  if (!(value < kLimit)) return value >= kLimit ? INT64_MAX : 0;  // also NaN
  if (value <= -kLimit) return INT64_MIN;
  auto whole = static_cast<std::int64_t>(value);               // truncated toward zero
  const double fraction = value - static_cast<double>(whole);  // exact
  if (fraction > 0.5 || (fraction == 0.5 && (whole & 1) != 0)) return whole + 1;
  if (fraction < -0.5 || (fraction == -0.5 && (whole & 1) != 0)) return whole - 1;
  return whole;
}

/// |a| within |b| ± t; t = round(|b| × factor) (factor by the sign of a), or the
/// factor itself as an absolute tolerance when space_factor >= 1.
bool IsNear(std::int64_t a, std::int64_t b, double mark_factor, double space_factor);
/// As IsNear with one factor, and always near when |a − b| < 50.
bool IsNearAbs50(std::int64_t a, std::int64_t b, double factor);
/// As IsNear with the configured decode tolerance, and always near when |a − b| < 10.
bool IsNearCfg(std::int64_t a, std::int64_t b, double decode_tolerance);

}  // namespace klimavo::ir
