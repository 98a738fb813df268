#pragma once
// The large comparison grid of the benchmarks: 200 rows of six 50-bit frames,
// a tenth of whose bits change from row to row (fixed seed).

#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "ir/protocol.h"
#include "store/protocol_record.h"

namespace klimavo::bench {

inline constexpr int kGridRows = 200;
inline constexpr int kGridFrames = 6;
inline constexpr int kGridBits = 300;

inline store::TGrdLines LargeGrid() {
  std::mt19937 random(12345);
  std::bernoulli_distribution changes(0.1);
  std::bernoulli_distribution bit(0.5);
  std::vector<std::uint8_t> base(kGridBits);
  for (auto& b : base) b = bit(random) ? 1 : 0;
  std::string text;
  for (int f = 0; f < kGridFrames; ++f)
    text += base::Concat({"<", std::to_string(f), ">[", std::to_string(kGridBits / kGridFrames), "]"});
  const auto elements = ir::ParseProtocol(text).Elements;
  store::TGrdLines lines;
  for (int r = 0; r < kGridRows; ++r) {
    store::TGrdDataLine line;
    line.Data = base;
    for (auto& b : line.Data)
      if (changes(random)) b = b ? 0 : 1;
    line.Elements = elements;
    line.Repeat = 1;
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace klimavo::bench
