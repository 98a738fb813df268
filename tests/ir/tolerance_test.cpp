#include "ir/tolerance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace klimavo::ir {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  struct Case {
    double value;
    std::int64_t expected;
  };
  const Case cases[] = {{0.5, 0},  {1.5, 2},  {2.5, 2},   {-0.5, 0},  {-1.5, -2}, {-2.5, -2},
                        {2.49, 2}, {2.51, 3}, {10.5, 10}, {11.5, 12}, {-3.7, -4}, {7.0, 7}};
  for (const Case& c : cases) EXPECT_EQ(RoundHalfEven(c.value), c.expected) << c.value;
}

struct NearCase {
  std::int64_t a;
  std::int64_t b;
  double mark_factor;
  double space_factor;
  bool expected;
};

TEST(IsNear, ComparesMagnitudesWithinTheScaledTolerance) {
  const NearCase cases[] = {
      {100, 100, 0.0, 0.0, true},    // equal needs no tolerance
      {121, 100, 0.21, 0.21, true},  // t = 21, upper edge
      {122, 100, 0.21, 0.21, false},
      {79, 100, 0.21, 0.21, true},  // lower edge
      {78, 100, 0.21, 0.21, false},
      {62, 50, 0.25, 0.25, true},  // 12.5 rounds to 12
      {63, 50, 0.25, 0.25, false},
      {-121, -100, 0.21, 0.21, true},  // spaces compare magnitudes
      {100, -100, 0.5, 0.5, false},    // opposite signs never match
      {-100, 100, 0.5, 0.5, false},
      {0, 1, 0.0, 1.0, true},  // a = 0 takes the space factor: an absolute 1 µs
      {0, 2, 0.0, 1.0, false},
      {0, 10, 0.9, 0.1, false},        // t = 1
      {110, 100, 0.1, 0.5, true},      // a > 0 takes the mark factor
      {-110, -100, 0.5, 0.05, false},  // a < 0 takes the space factor
      {101, 100, 0.4, 1.0, false},     // space factor >= 1: mark factor 0.4 rounds to an absolute 0
      {-103, -100, 0.1, 3.0, true},    // absolute 3 µs
      {-104, -100, 0.1, 3.0, false},
      {102, 100, 2.0, 2.0, true},  // absolute 2 µs for marks too
  };
  for (const NearCase& c : cases)
    EXPECT_EQ(IsNear(c.a, c.b, c.mark_factor, c.space_factor), c.expected)
        << c.a << " vs " << c.b << " factors " << c.mark_factor << "/" << c.space_factor;
}

TEST(IsNearAbs50, AlwaysNearWithinFiftyMicroseconds) {
  const NearCase cases[] = {
      {20, -20, 0.08, 0, true},  // the 50 µs rule comes before the sign test
      {1049, 1000, 0.0, 0, true},     {1050, 1000, 0.0, 0, false},   {1080, 1000, 0.08, 0, true},  // t = 80
      {1081, 1000, 0.08, 0, false},   {-4800, -4500, 0.08, 0, true},                               // t = 360
      {-4861, -4500, 0.08, 0, false}, {200, -200, 0.08, 0, false},
  };
  for (const NearCase& c : cases)
    EXPECT_EQ(IsNearAbs50(c.a, c.b, c.mark_factor), c.expected) << c.a << " vs " << c.b;
}

TEST(IsNearCfg, AlwaysNearWithinTenMicrosecondsElseTheDecodeTolerance) {
  const NearCase cases[] = {
      {5, -4, 0.21, 0, true},      // |a - b| = 9
      {110, 100, 0.05, 0, false},  // |a - b| = 10, t = 5
      {121, 100, 0.21, 0, true},  {122, 100, 0.21, 0, false}, {-560, -1690, 0.21, 0, false},
      {560, 580, 0.21, 0, true},  {300, -300, 0.9, 0, false},
  };
  for (const NearCase& c : cases)
    EXPECT_EQ(IsNearCfg(c.a, c.b, c.mark_factor), c.expected) << c.a << " vs " << c.b;
}

TEST(Tolerance, ExtremeValuesDoNotOverflow) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  EXPECT_FALSE(IsNear(kMax, kMin, 0.5, 0.5));
  EXPECT_TRUE(IsNear(kMax, kMax - 1, 0.5, 0.5));
  EXPECT_FALSE(IsNearAbs50(kMax, kMin, 0.5));
  EXPECT_FALSE(IsNearCfg(kMin, kMax, 1e300));
  EXPECT_EQ(RoundHalfEven(1e300), kMax);
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

}  // namespace
}  // namespace klimavo::ir
