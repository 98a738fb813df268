#pragma once
// Which function drives each bit of a set of labelled codes of one format.
// A bit belongs to a function when every two codes in the same state of that
// function carry the same bit and the function's states show it changing. A
// bit that no single function explains may follow a function except in some
// modes, which force it to one value; a bit that several functions explain
// alike is ambiguous until a press separates them.

#include <cstddef>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::analysis {

/// One labelled code: its bits and the state index of each function (-1 = not labelled).
struct LabelledRow {
  ir::TSSByteArray bits;
  std::vector<int> states;
};

enum class BitRole {
  kConstant,     ///< the same in every code
  kChecksum,     ///< a checksum target
  kFunction,     ///< follows one function (in the modes not forced)
  kAmbiguous,    ///< several functions explain it; `function` is the one chosen
  kUnexplained,  ///< changes with functions together in a way no column holds
};

struct BitOwner {
  BitRole role = BitRole::kConstant;
  int function = -1;
  std::vector<int> candidates;    ///< kAmbiguous: every function that explains it
  std::vector<int> forced_modes;  ///< mode states whose codes fix this bit
};

/// Assigns every bit of the rows (all of length `bit_count`). `checksum` marks
/// the checksum targets; `mode_function` is the function index of the mode,
/// -1 when there is none; `mode_states` its number of states.
std::vector<BitOwner> AssignBits(const std::vector<LabelledRow>& rows, std::size_t bit_count,
                                 const std::vector<bool>& checksum, int function_count, int mode_function,
                                 int mode_states);

}  // namespace klimavo::analysis
