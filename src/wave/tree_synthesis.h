#pragma once
// Tree mode of the waveform view: the levels and labelled segments of a
// protocol's standard form, synthesised from the format tree held by a tree
// control, and the reading and writing of the tree's field values.

#include <cstdint>
#include <vector>

#include "ir/format_tree.h"
#include "wave/wave_state.h"

namespace klimavo::wave {

/// Rebuilds the view's levels, segments and header values from the tree (only
/// when it holds more than 2 nodes; otherwise the view is left cleared).
/// Writes each frame's and leaf's TotalTime back into the tree.
void SynthesiseFromTree(ir::FormatTreeControl& tree, WaveState& state);
/// The symbol radix of the tree's root (from the count of its logic texts).
int SymbolRadixOf(const ir::FormatRootRecord& root);
/// Writes one byte into each editable field in tree order until the bytes run out.
void SetNodeValues(ir::FormatTreeControl& tree, const std::vector<std::uint8_t>& bytes, bool include_kind4);
/// The low byte of each editable field's value, in tree order.
std::vector<std::uint8_t> GetNodeValues(const ir::FormatTreeControl& tree, bool include_kind4);

}  // namespace klimavo::wave
