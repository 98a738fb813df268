#include "ir/tolerance.h"

namespace klimavo::ir {
namespace {

// Magnitudes and tolerances are kept below this bound so that |b| ± t never
// overflows; real durations are many orders of magnitude smaller.
constexpr std::int64_t kMagnitudeLimit = std::int64_t{1} << 61;

std::int64_t Magnitude(std::int64_t v) {
  if (v < -kMagnitudeLimit) return kMagnitudeLimit;
  if (v > kMagnitudeLimit) return kMagnitudeLimit;
  return v < 0 ? -v : v;
}

bool OppositeSigns(std::int64_t a, std::int64_t b) { return (a > 0 && b < 0) || (a < 0 && b > 0); }

// |a - b| without overflow, saturated at the magnitude limit.
std::int64_t Distance(std::int64_t a, std::int64_t b) {
  const auto ua = static_cast<std::uint64_t>(a);
  const auto ub = static_cast<std::uint64_t>(b);
  const std::uint64_t d = a >= b ? ua - ub : ub - ua;
  return d > static_cast<std::uint64_t>(kMagnitudeLimit) ? kMagnitudeLimit : static_cast<std::int64_t>(d);
}

bool WithinTolerance(std::int64_t a, std::int64_t b, std::int64_t t) {
  if (t > kMagnitudeLimit) t = kMagnitudeLimit;
  if (t < -kMagnitudeLimit) t = -kMagnitudeLimit;
  const std::int64_t ma = Magnitude(a);
  const std::int64_t mb = Magnitude(b);
  return mb - t <= ma && ma <= mb + t;
}

std::int64_t ScaledTolerance(std::int64_t b, double factor) {
  return RoundHalfEven(static_cast<double>(Magnitude(b)) * factor);
}

}  // namespace

bool IsNear(std::int64_t a, std::int64_t b, double mark_factor, double space_factor) {
  if (a == b) return true;
  if (OppositeSigns(a, b)) return false;
  const double factor = a > 0 ? mark_factor : space_factor;
  const std::int64_t t = space_factor >= 1.0 ? RoundHalfEven(factor) : ScaledTolerance(b, factor);
  return WithinTolerance(a, b, t);
}

bool IsNearAbs50(std::int64_t a, std::int64_t b, double factor) {
  if (a == b || Distance(a, b) < 50) return true;
  if (OppositeSigns(a, b)) return false;
  return WithinTolerance(a, b, ScaledTolerance(b, factor));
}

bool IsNearCfg(std::int64_t a, std::int64_t b, double decode_tolerance) {
  if (a == b || Distance(a, b) < 10) return true;
  if (OppositeSigns(a, b)) return false;
  return WithinTolerance(a, b, ScaledTolerance(b, decode_tolerance));
}

}  // namespace klimavo::ir
