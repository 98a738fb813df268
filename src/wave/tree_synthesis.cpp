#include "wave/tree_synthesis.h"

#include <algorithm>
#include <string>

#include "base/gbk.h"
#include "base/text.h"
#include "ir/ir_text.h"

namespace klimavo::wave {
namespace {

constexpr int kMaxRepeatedFrames = 10;
constexpr std::int32_t kRestOfPeriod = 2147483647;

struct FramePlace {
  std::size_t item;  // index of the frame node in the tree control
};

bool NonBlank(const std::string& s) { return !base::Trim(s).empty(); }

ir::TIRIntegerArr ParseDurations(const std::string& text) {
  ir::TIRIntegerArr out;
  if (!ir::TryStrToIntArr(text, ',', out)) return {};
  return out;
}

// Builds the levels of one frame and its segments.
class FrameSynthesiser {
 public:
  FrameSynthesiser(ir::FormatTreeControl& tree, const ir::FormatRootRecord& root, WaveState& state)
      : tree_(tree), root_(root), state_(state) {
    for (std::size_t k = 0; k < root.LogicTexts.size(); ++k)
      logic_.push_back(ParseDurations(root.LogicTexts[k]));
  }

  void Frame(std::size_t frame_item, int place) {
    auto* frame = tree_.Items[frame_item].Record.index() == 1
                      ? &std::get<ir::FormatFrameRecord>(tree_.Items[frame_item].Record)
                      : nullptr;
    if (!frame) return;
    frame_ = frame;
    frame_start_level_ = state_.Durations.size();
    frame_time_ = 0;
    earlier_symbols_ = 0;
    std::vector<std::size_t> leaves;
    for (std::size_t i = frame_item + 1; i < tree_.Items.size() && tree_.Items[i].Depth > 1; ++i)
      if (tree_.Items[i].Parent == static_cast<int>(frame_item)) leaves.push_back(i);
    for (std::size_t n = 0; n < leaves.size(); ++n) {
      auto* leaf = std::get_if<ir::FormatLeafRecord>(&tree_.Items[leaves[n]].Record);
      if (!leaf) continue;
      const bool last_leaf = n + 1 == leaves.size();
      leaf_item_ = static_cast<std::int32_t>(leaves[n]);
      if (leaf->IsData)
        DataLeaf(*leaf, last_leaf);
      else
        SplitLeaf(*leaf);
    }
    frame_->TotalTime = static_cast<std::int32_t>(frame_time_);
    if (state_.Durations.size() > frame_start_level_) {
      WaveSegment box;
      box.Kind = WaveSegment::kFrameBox;
      box.StartLevel = static_cast<std::int32_t>(frame_start_level_);
      box.EndLevel = static_cast<std::int32_t>(state_.Durations.size() - 1);
      box.NodeId = static_cast<std::uint8_t>(place);
      box.TreeItem = static_cast<std::int32_t>(frame_item);
      state_.Segments.push_back(box);
    }
  }

 private:
  void Append(std::int64_t micros) {
    state_.Durations.push_back(static_cast<std::int32_t>(micros * 10));
    frame_time_ += micros < 0 ? -micros : micros;
  }

  void AppendDurations(const ir::TIRIntegerArr& list, std::int64_t multiplier) {
    for (std::int32_t d : list) {
      if (d == kRestOfPeriod || d == -kRestOfPeriod) {
        std::int64_t rest = std::max<std::int64_t>(frame_->Period - frame_time_, 0);
        Append(d > 0 ? rest : -rest);
      } else {
        Append(d * multiplier);
      }
    }
  }

  void SplitLeaf(ir::FormatLeafRecord& leaf) {
    std::string text = leaf.Text;
    if (text.find('|') != std::string::npos) {
      std::vector<std::string> alternatives;
      std::size_t start = 0;
      for (std::size_t bar; (bar = text.find('|', start)) != std::string::npos; start = bar + 1)
        alternatives.push_back(text.substr(start, bar - start));
      alternatives.push_back(text.substr(start));
      if (state_.AlternativeIndex >= static_cast<int>(alternatives.size()) || state_.AlternativeIndex < 0)
        state_.AlternativeIndex = 0;
      text = alternatives[static_cast<std::size_t>(state_.AlternativeIndex)];
    }
    ir::TIRIntegerArr list;
    if (!ir::TryStrToIntArr(text, ',', list) || list.empty()) return;
    const std::size_t first = state_.Durations.size();
    const std::int64_t before = frame_time_;
    AppendDurations(list, 1);
    leaf.TotalTime = static_cast<std::int32_t>(frame_time_ - before);
    WaveSegment s;
    s.Kind = WaveSegment::kField;
    s.StartLevel = static_cast<std::int32_t>(first);
    s.EndLevel = static_cast<std::int32_t>(state_.Durations.size() - 1);
    s.Name = base::GbkToUtf8(leaf.KindName);
    s.NodeId = static_cast<std::uint8_t>(leaf.Id);
    s.TreeItem = leaf_item_;
    s.SymbolCount = 0;
    s.Radix = static_cast<std::uint8_t>(state_.SymbolRadix);
    state_.Segments.push_back(s);
  }

  std::string Symbols(std::int64_t value, int n) const {
    const auto v = static_cast<std::uint32_t>(value);
    if (NonBlank(root_.LogicTexts[4]))
      return ir::IntToRadixStr(static_cast<std::uint8_t>(state_.SymbolRadix), n, v);
    if (NonBlank(root_.LogicTexts[2])) return ir::IntToRadixStr(4, n, v);
    return ir::IntToBinStr(n, value);
  }

  void DataLeaf(ir::FormatLeafRecord& leaf, bool last_leaf) {
    long long count = 0;
    if (!base::ParseInteger(leaf.Text, count) || count <= 0 || count > 64) return;
    const int n = static_cast<int>(count);
    std::string symbols = Symbols(leaf.Value, n);
    if (static_cast<int>(symbols.size()) > n)
      symbols = symbols.substr(symbols.size() - static_cast<std::size_t>(n));
    while (static_cast<int>(symbols.size()) < n) symbols.insert(symbols.begin(), '0');
    const bool lsb_first = root_.BitOrder != 0;
    if (lsb_first) std::reverse(symbols.begin(), symbols.end());
    std::int32_t low = 0, high = n - 1;
    if (NonBlank(leaf.Range) && !ir::TryStrToRange(leaf.Range, low, high)) low = 0, high = n - 1;
    const bool binary = !NonBlank(root_.LogicTexts[2]) && !NonBlank(root_.LogicTexts[4]);
    const bool alternate_ones = NonBlank(root_.LogicTexts[3]);
    const bool end_texts = frame_->NoEndTexts == 0;
    const std::size_t first_level = state_.Durations.size();
    const std::int64_t before = frame_time_;
    for (int i = 0; i < n; ++i) {
      if (i < low || i > high) continue;
      const char c = symbols[static_cast<std::size_t>(i)];
      const int s = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'Z' ? c - 'A' + 10 : 0);
      const std::size_t symbol_first = state_.Durations.size();
      const bool last_bit = last_leaf && i == n - 1;
      if (binary && s == 0 && last_bit && end_texts && NonBlank(frame_->EndText0)) {
        AppendDurations(ParseDurations(frame_->EndText0), 1);
      } else if (binary && s == 1 && alternate_ones) {
        const bool odd = (i + 1 + earlier_symbols_) % 2 == 1;
        AppendDurations(logic_[odd ? 3 : 1], root_.Multiplier);
      } else if (binary && s == 1 && last_bit && end_texts && NonBlank(frame_->EndText1)) {
        AppendDurations(ParseDurations(frame_->EndText1), 1);
      } else if (static_cast<std::size_t>(s) < logic_.size()) {
        AppendDurations(logic_[static_cast<std::size_t>(s)], root_.Multiplier);
      }
      if (state_.Durations.size() > symbol_first) {
        WaveSegment bit;
        bit.Kind = WaveSegment::kBitNumber;
        bit.StartLevel = static_cast<std::int32_t>(symbol_first);
        bit.EndLevel = static_cast<std::int32_t>(state_.Durations.size() - 1);
        bit.Name = base::Concat({"D", std::to_string(lsb_first ? i : n - 1 - i)});
        bit.NodeId = static_cast<std::uint8_t>(lsb_first ? i : n - 1 - i);
        bit.TreeItem = leaf_item_;
        state_.Segments.push_back(bit);
      }
    }
    earlier_symbols_ += n;
    leaf.TotalTime = static_cast<std::int32_t>(frame_time_ - before);
    if (state_.Durations.size() == first_level) return;
    WaveSegment field;
    field.Kind = WaveSegment::kField;
    field.StartLevel = static_cast<std::int32_t>(first_level);
    field.EndLevel = static_cast<std::int32_t>(state_.Durations.size() - 1);
    field.Name = base::GbkToUtf8(leaf.KindName);
    field.Value = static_cast<std::int32_t>(leaf.Value);
    field.SymbolCount = static_cast<std::uint8_t>(n);
    field.Radix = static_cast<std::uint8_t>(state_.SymbolRadix);
    field.NodeId = static_cast<std::uint8_t>(leaf.Id);
    field.TreeItem = leaf_item_;
    state_.Segments.push_back(field);
  }

  ir::FormatTreeControl& tree_;
  const ir::FormatRootRecord& root_;
  WaveState& state_;
  std::vector<ir::TIRIntegerArr> logic_;
  ir::FormatFrameRecord* frame_ = nullptr;
  std::int32_t leaf_item_ = -1;  // tree item of the leaf being drawn
  std::size_t frame_start_level_ = 0;
  std::int64_t frame_time_ = 0;
  int earlier_symbols_ = 0;
};

// The order in which frames are drawn: repeated frames are inserted RepeatCount
// times at the place of the first of them.
std::vector<std::size_t> FrameSequence(const ir::FormatTreeControl& tree, int repeat_count) {
  std::vector<std::size_t> frames, repeated, sequence;
  for (std::size_t i = 0; i < tree.Items.size(); ++i)
    if (tree.Items[i].Depth == 1) frames.push_back(i);
  if (repeat_count <= 0) return frames;
  bool inserted = false;
  for (std::size_t f : frames) {
    const auto* rec = std::get_if<ir::FormatFrameRecord>(&tree.Items[f].Record);
    if (rec && rec->Repeated && repeated.size() < kMaxRepeatedFrames) repeated.push_back(f);
  }
  for (std::size_t f : frames) {
    const auto* rec = std::get_if<ir::FormatFrameRecord>(&tree.Items[f].Record);
    if (!rec || !rec->Repeated) {
      sequence.push_back(f);
      continue;
    }
    if (inserted) continue;
    inserted = true;
    for (int pass = 0; pass < repeat_count; ++pass)
      sequence.insert(sequence.end(), repeated.begin(), repeated.end());
  }
  return sequence;
}

bool Editable(const ir::FormatTreeItem& item, bool include_kind4) {
  const auto* leaf = std::get_if<ir::FormatLeafRecord>(&item.Record);
  return item.Depth == 2 && leaf && ir::IsEditableField(*leaf, include_kind4);
}

}  // namespace

int SymbolRadixOf(const ir::FormatRootRecord& root) {
  int j = 0;
  for (const auto& text : root.LogicTexts) j += NonBlank(text) ? 1 : 0;
  if (j == 3) j = NonBlank(root.LogicTexts[2]) ? 4 : 2;
  if (j >= 5 && j <= 8) return 8;
  if (j >= 9) return 16;
  return j;
}

void SynthesiseFromTree(ir::FormatTreeControl& tree, WaveState& state) {
  state.Clear();
  state.Segments.clear();
  if (tree.Items.size() <= 2) return;
  const auto* root = std::get_if<ir::FormatRootRecord>(&tree.Items[0].Record);
  if (!root) return;
  state.ProtocolName = base::GbkToUtf8(root->Name.substr(0, 7));
  state.ProtocolName2 = base::GbkToUtf8(base::GbkCut(root->Name2, 18));
  state.Carrier = root->Carrier;
  state.RecordNo = 0;
  state.SymbolRadix = SymbolRadixOf(*root);
  FrameSynthesiser synthesiser(tree, *root, state);
  int place = 0;
  for (std::size_t frame : FrameSequence(tree, state.RepeatCount)) synthesiser.Frame(frame, place++);
}

void SetNodeValues(ir::FormatTreeControl& tree, const std::vector<std::uint8_t>& bytes, bool include_kind4) {
  std::size_t next = 0;
  for (auto& item : tree.Items) {
    if (next >= bytes.size()) return;
    if (!Editable(item, include_kind4)) continue;
    std::get<ir::FormatLeafRecord>(item.Record).Value = bytes[next++];
  }
}

std::vector<std::uint8_t> GetNodeValues(const ir::FormatTreeControl& tree, bool include_kind4) {
  std::vector<std::uint8_t> out;
  for (const auto& item : tree.Items)
    if (Editable(item, include_kind4))
      out.push_back(static_cast<std::uint8_t>(std::get<ir::FormatLeafRecord>(item.Record).Value & 0xFF));
  return out;
}

}  // namespace klimavo::wave
