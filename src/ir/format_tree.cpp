#include "ir/format_tree.h"

#include <algorithm>

#include "ir/protocol.h"

namespace klimavo::ir {
namespace {

constexpr int kBitsPerField = 8;
constexpr std::string_view kFrameCaption = "Frame0";
constexpr std::string_view kDataLeafCaption = "Logic";
constexpr std::string_view kSplitLeafCaption = "Wave";
constexpr std::string_view kLineEnd = "\r\n";

std::string JoinDurations(const std::array<std::int32_t, 4>& slots) {
  std::string text;
  for (std::int32_t d : slots) {
    if (d == kUnusedDuration) continue;
    if (!text.empty()) text += ',';
    text += std::to_string(d);
  }
  return text;
}

FormatRootRecord MakeRootRecord(const TIRGsPara& params, bool lsb_first) {
  FormatRootRecord root;
  root.Carrier = params.Carrier;
  for (std::size_t k = 0; k < kLogicTextsBuilt; ++k) root.LogicTexts[k] = JoinDurations(params.Logic[k]);
  root.BitOrder = lsb_first ? 1 : 0;
  return root;
}

FormatLeafRecord MakeDataLeaf(std::int32_t id, int symbols) {
  FormatLeafRecord leaf;
  leaf.Id = id;
  leaf.KindName = kDataKindName;
  leaf.Text = std::to_string(symbols);
  leaf.IsData = 1;
  leaf.FieldKind = kFieldKindData;
  leaf.Editable = 1;
  return leaf;
}

// A split leaf shows the durations of its split code. An index beyond the
// split table has no durations, so its text stays empty rather than reading
// outside the table.
FormatLeafRecord MakeSplitLeaf(const TIRGsPara& params, std::int32_t id, int split) {
  FormatLeafRecord leaf;
  leaf.Id = id;
  leaf.KindName = kSplitKindName;
  if (split < TIRGsPara::kMaxSplit) {
    const auto& code = params.Split[static_cast<std::size_t>(split)];
    leaf.Text = std::to_string(code[0]) + "," + std::to_string(code[1]);
  }
  leaf.IsData = 0;
  leaf.FieldKind = kFieldKindSplit;
  return leaf;
}

void AddLeaf(TMyTeeMode& frame, std::string_view caption, std::int32_t id, FormatLeafRecord leaf) {
  frame.AddChild(std::string(caption) + std::to_string(id), std::move(leaf));
}

// Visits every node depth first, parents before children.
template <class Node, class Visit>
void WalkDepthFirst(Node& node, const Visit& visit) {
  visit(node);
  for (const auto& child : node.Children) WalkDepthFirst(static_cast<Node&>(*child), visit);
}

}  // namespace

TMyTeeMode& TMyTeeMode::AddChild(std::string caption, FormatNodeRecord data) {
  auto child = std::make_unique<TMyTeeMode>();
  child->Data = std::move(data);
  child->Level = static_cast<std::uint8_t>(Level + 1);
  child->Caption = std::move(caption);
  child->Parent = this;
  Children.push_back(std::move(child));
  return *Children.back();
}

TMyTeeView::TMyTeeView() : root_(std::make_unique<TMyTeeMode>()) {}

TMyTeeMode* TMyTeeView::FindFrame(std::int32_t id) {
  TMyTeeMode* found = nullptr;
  WalkDepthFirst(*root_, [&](TMyTeeMode& node) {
    const auto* frame = node.RecordAs<FormatFrameRecord>();
    if (found == nullptr && node.Level == kTreeLevelFrame && frame != nullptr && frame->Id == id)
      found = &node;
  });
  return found;
}

TMyTeeMode* TMyTeeView::FindLeaf(std::int32_t id) {
  TMyTeeMode* found = nullptr;
  WalkDepthFirst(*root_, [&](TMyTeeMode& node) {
    const auto* leaf = node.RecordAs<FormatLeafRecord>();
    if (found == nullptr && node.Level == kTreeLevelLeaf && leaf != nullptr && leaf->Id == id) found = &node;
  });
  return found;
}

TMyTeeView BuildFormatTree(const TIRGsPara& params, const TStrProt_Stru& protocol, bool lsb_first) {
  TMyTeeView view;
  TMyTeeMode& root = view.Root();
  root.Data = MakeRootRecord(params, lsb_first);

  FormatFrameRecord frame_record;
  // The built frame has no special end forms, so its final bit is drawn with
  // the logic codes like every other bit rather than with an empty end text.
  frame_record.NoEndTexts = 1;
  frame_record.Repeated = protocol.Repeat >= 2 ? 1 : 0;
  TMyTeeMode& frame = root.AddChild(std::string(kFrameCaption), frame_record);

  std::int32_t counter = 0;
  for (const TStrProtItem& element : protocol.Elements) {
    if (element.IsData()) {
      for (int i = 0; i < element.Value / kBitsPerField; ++i, ++counter) {
        AddLeaf(frame, kDataLeafCaption, counter, MakeDataLeaf(counter, kBitsPerField));
      }
      if (const int rest = element.Value % kBitsPerField; rest > 0) {
        AddLeaf(frame, kDataLeafCaption, counter, MakeDataLeaf(counter, rest));
        ++counter;
      }
    } else {
      AddLeaf(frame, kSplitLeafCaption, counter, MakeSplitLeaf(params, counter, element.Value));
      ++counter;
    }
  }
  return view;
}

TMyTeeView BuildFormatTreeFromText(const TIRGsPara& params, std::string_view protocol_text, bool lsb_first) {
  TStrProt_Stru protocol;
  ParseProtocolExpanded(protocol_text, protocol);
  return BuildFormatTree(params, protocol, lsb_first);
}

TMyTeeView BuildFormatTreeFromElements(const TIRGsPara& params, const TStrProt_Listbase& elements,
                                       bool lsb_first) {
  TStrProt_Stru protocol;
  protocol.Elements = elements;
  return BuildFormatTree(params, protocol, lsb_first);
}

bool IsEditableField(const FormatLeafRecord& leaf, bool include_optional) {
  if (leaf.IsData != 1 || leaf.Editable == 0) return false;
  if (leaf.SameAs != -1 || leaf.InverseOf != -1) return false;
  if (leaf.FieldKind == kFieldKindFixed) return false;
  return leaf.FieldKind != kFieldKindOptional || include_optional;
}

std::vector<TMyTeeMode*> EditableFields(TMyTeeView& view, bool include_optional) {
  std::vector<TMyTeeMode*> fields;
  WalkDepthFirst(view.Root(), [&](TMyTeeMode& node) {
    const auto* leaf = node.RecordAs<FormatLeafRecord>();
    if (node.Level == kTreeLevelLeaf && leaf != nullptr && IsEditableField(*leaf, include_optional)) {
      fields.push_back(&node);
    }
  });
  return fields;
}

std::string FormatTreeText(const TMyTeeView& view) {
  std::string text;
  WalkDepthFirst(view.Root(), [&](const TMyTeeMode& node) {
    text.append(node.Level, '\t');
    text += node.Caption;
    text += kLineEnd;
  });
  return text;
}

std::vector<FormatTreeItem> LoadTreeText(std::string_view text) {
  std::vector<FormatTreeItem> items;
  std::vector<int> open;  // index of the last node at each depth
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t depth = 0;
    while (depth < line.size() && line[depth] == '\t') ++depth;
    // A node can sit at most one level below the node before it.
    depth = std::min(depth, open.size());
    FormatTreeItem item;
    item.Depth = static_cast<int>(depth);
    item.Caption = std::string(line.substr(std::min(depth, line.size())));
    item.Parent = depth == 0 ? -1 : open[depth - 1];
    open.resize(depth);
    open.push_back(static_cast<int>(items.size()));
    items.push_back(std::move(item));
  }
  return items;
}

bool ShowFormatTree(const TMyTeeView& view, FormatTreeControl& control) {
  control.Items.clear();
  control.Items = LoadTreeText(FormatTreeText(view));
  // The text has one line per node in depth-first order, so the n-th control
  // node belongs to the n-th node of the walk.
  std::size_t index = 0;
  WalkDepthFirst(view.Root(), [&](const TMyTeeMode& node) {
    if (index < control.Items.size()) control.Items[index].Record = node.Data;
    ++index;
  });
  return true;
}

}  // namespace klimavo::ir
