#pragma once
// The press plan of the remote learner: the fewest further presses, each named
// by its label, that would settle what the presses so far leave open — bits
// that two functions explain alike, temperatures that cannot be interpolated,
// enumeration states no press isolates, and whether each mode lets the
// temperature and the fan change or forces them.

#include <cstddef>
#include <vector>

#include "analysis/learner_bits.h"
#include "analysis/remote_learner.h"

namespace klimavo::analysis {

/// The plan, most useful first, without a press already made. `base_row` is
/// the press the others are varied from; `mode_function` the mode's function
/// index, -1 when there is none.
std::vector<PlannedPress> PlanPresses(const std::vector<LearnedFunction>& functions,
                                      const std::vector<LabelledRow>& rows,
                                      const std::vector<BitOwner>& owners, std::size_t base_row,
                                      int mode_function);

}  // namespace klimavo::analysis
