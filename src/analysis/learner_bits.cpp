#include "analysis/learner_bits.h"

#include <map>

namespace klimavo::analysis {
namespace {

constexpr int kMaxForcedModes = 3;

// Does function f explain bit b over the rows that `take` admits: the same bit
// in every two rows of one state, and the bit changing between states.
template <class Take>
bool Explains(const std::vector<LabelledRow>& rows, std::size_t b, int f, Take take) {
  std::map<int, std::uint8_t> by_state;
  bool seen0 = false;
  bool seen1 = false;
  for (const LabelledRow& row : rows) {
    const int s = row.states[static_cast<std::size_t>(f)];
    if (s < 0 || !take(row)) continue;
    const std::uint8_t bit = row.bits[b];
    const auto [it, inserted] = by_state.emplace(s, bit);
    if (!inserted && it->second != bit) return false;
    (bit != 0 ? seen1 : seen0) = true;
  }
  return seen0 && seen1;
}

bool ConstantWithin(const std::vector<LabelledRow>& rows, std::size_t b, int mode_function, int mode) {
  int value = -1;
  for (const LabelledRow& row : rows) {
    if (row.states[static_cast<std::size_t>(mode_function)] != mode) continue;
    if (value >= 0 && value != row.bits[b]) return false;
    value = row.bits[b];
  }
  return true;
}

// The smallest set of modes (at most kMaxForcedModes) whose codes hold bit b
// fixed while function f explains it in every other mode; empty when none.
std::vector<int> ForcedModes(const std::vector<LabelledRow>& rows, std::size_t b, int f, int mode_function,
                             int mode_states) {
  std::vector<int> candidates;
  for (int m = 0; m < mode_states; ++m)
    if (ConstantWithin(rows, b, mode_function, m)) candidates.push_back(m);
  const int n = static_cast<int>(candidates.size());
  for (int size = 1; size <= kMaxForcedModes && size < mode_states; ++size) {
    // Subsets of `size` candidates in increasing order, smallest indexes first.
    std::vector<int> pick(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) pick[static_cast<std::size_t>(i)] = i;
    while (size <= n) {
      std::vector<int> modes;
      for (int i : pick) modes.push_back(candidates[static_cast<std::size_t>(i)]);
      const auto follower = [&](const LabelledRow& row) {
        const int m = row.states[static_cast<std::size_t>(mode_function)];
        for (int forced : modes)
          if (m == forced) return false;
        return true;
      };
      if (Explains(rows, b, f, follower)) return modes;
      int i = size - 1;
      while (i >= 0 && pick[static_cast<std::size_t>(i)] == n - size + i) --i;
      if (i < 0) break;
      ++pick[static_cast<std::size_t>(i)];
      for (int j = i + 1; j < size; ++j)
        pick[static_cast<std::size_t>(j)] = pick[static_cast<std::size_t>(j - 1)] + 1;
    }
  }
  return {};
}

// How many different states of f the rows show: the better-evidenced function wins a tie.
int StatesShown(const std::vector<LabelledRow>& rows, int f) {
  std::map<int, int> shown;
  for (const LabelledRow& row : rows)
    if (row.states[static_cast<std::size_t>(f)] >= 0) ++shown[row.states[static_cast<std::size_t>(f)]];
  return static_cast<int>(shown.size());
}

}  // namespace

std::vector<BitOwner> AssignBits(const std::vector<LabelledRow>& rows, std::size_t bit_count,
                                 const std::vector<bool>& checksum, int function_count, int mode_function,
                                 int mode_states) {
  std::vector<BitOwner> owners(bit_count);
  const auto all = [](const LabelledRow&) { return true; };
  for (std::size_t b = 0; b < bit_count; ++b) {
    BitOwner& owner = owners[b];
    if (b < checksum.size() && checksum[b]) {
      owner.role = BitRole::kChecksum;
      continue;
    }
    bool varies = false;
    for (const LabelledRow& row : rows) varies = varies || row.bits[b] != rows.front().bits[b];
    if (!varies) continue;
    for (int f = 0; f < function_count; ++f)
      if (Explains(rows, b, f, all)) owner.candidates.push_back(f);
    if (owner.candidates.size() == 1) {
      owner.role = BitRole::kFunction;
      owner.function = owner.candidates.front();
      owner.candidates.clear();
      continue;
    }
    if (owner.candidates.size() > 1) {
      owner.role = BitRole::kAmbiguous;
      int best = -1;
      for (int f : owner.candidates)
        if (best < 0 || StatesShown(rows, f) > StatesShown(rows, best)) best = f;
      owner.function = best;
      continue;
    }
    owner.role = BitRole::kUnexplained;
    if (mode_function < 0) continue;
    for (int f = 0; f < function_count; ++f) {
      if (f == mode_function) continue;
      std::vector<int> forced = ForcedModes(rows, b, f, mode_function, mode_states);
      if (forced.empty()) continue;
      owner.role = BitRole::kFunction;
      owner.function = f;
      owner.forced_modes = std::move(forced);
      break;
    }
  }
  return owners;
}

}  // namespace klimavo::analysis
