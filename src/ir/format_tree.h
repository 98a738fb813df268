#pragma once
// The standard form of a protocol frame as a three-level tree: a format root,
// frame nodes, and leaves for data fields and split codes. The waveform view
// draws it next to a captured signal and the analysis wizards fill and read the
// values of its editable fields. This is the model only; a GUI tree control is
// filled from the depth-first list that ShowFormatTree produces.
//
// Texts of the records are GBK bytes. The capacities are those of the fixed
// text fields the records were designed with; what the builder writes fits them,
// except that logic texts are kept whole (a four-duration logic code can be
// longer than 20 characters, and a cut text would draw a wrong waveform).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::ir {

/// Tree levels.
inline constexpr std::uint8_t kTreeLevelRoot = 0;
inline constexpr std::uint8_t kTreeLevelFrame = 1;
inline constexpr std::uint8_t kTreeLevelLeaf = 2;

/// Nominal capacities (bytes) of the record texts.
inline constexpr std::size_t kRootNameCapacity = 7;
inline constexpr std::size_t kRootName2Capacity = 30;
inline constexpr std::size_t kRootName2Shown = 18;  ///< the view shows at most this much of Name2
inline constexpr std::size_t kLogicTextCount = 16;
inline constexpr std::size_t kLogicTextsBuilt = 7;  ///< logic codes 0..6 get a text
inline constexpr std::size_t kFrameNameCapacity = 12;
inline constexpr std::size_t kEndTextCapacity = 30;
inline constexpr std::size_t kKindNameCapacity = 10;
inline constexpr std::size_t kLeafTextCapacity = 30;

/// Kinds of leaf fields.
inline constexpr std::uint8_t kFieldKindSplit = 0;
inline constexpr std::uint8_t kFieldKindOptional = 4;  ///< an editable field only when the caller asks
inline constexpr std::uint8_t kFieldKindData = 5;
inline constexpr std::uint8_t kFieldKindFixed = 6;  ///< never an editable field

/// Kind names of the leaves (GBK): "数据码" and "引导码".
inline constexpr std::string_view kDataKindName = "\xCA\xFD\xBE\xDD\xC2\xEB";
inline constexpr std::string_view kSplitKindName = "\xD2\xFD\xB5\xBC\xC2\xEB";

/// The format: timing shared by every frame.
struct FormatRootRecord {
  std::string Name = "ZOV7300";
  std::string Name2 = "DedeRodoza";
  std::uint16_t Carrier = 0;
  std::uint16_t Multiplier = 1;                           ///< every drawn duration is multiplied by it
  std::array<std::string, kLogicTextCount> LogicTexts{};  ///< "d0,d1,..." of logic code k
  std::uint8_t BitOrder = 0;                              ///< 1 = least significant symbol first
};

/// One frame of the format.
struct FormatFrameRecord {
  std::int32_t Id = 0;
  std::string Name = "frame0";
  std::int32_t SameAs = -1;     ///< id of a frame this frame repeats
  std::int32_t InverseOf = -1;  ///< id of a frame this frame inverts
  std::string EndText0;         ///< special form of a final bit 0
  std::string EndText1;         ///< special form of a final bit 1
  std::int32_t TotalTime = 0;   ///< written by the view
  std::uint8_t NoEndTexts = 0;  ///< 1 = ignore EndText0/1
  std::int32_t Period = 0;      ///< frame period used by "x" durations
  std::uint8_t Reserved = 0;
  std::uint8_t Repeated = 0;  ///< 1 when the protocol repeats (Repeat >= 2)
};

/// One data field or split code of a frame.
struct FormatLeafRecord {
  std::int32_t Id = 0;  ///< running number over the leaves of the frame
  std::string KindName;
  std::string Text;  ///< data: symbol count; split: "mark,space"
  std::uint8_t IsData = 0;
  std::int32_t SameAs = -1;
  std::int32_t InverseOf = -1;
  std::string Range;  ///< optional "low-high" range of symbols
  std::uint8_t FieldKind = kFieldKindSplit;
  std::int64_t Value = 0;  ///< the field's code value
  std::uint8_t Editable = 0;
  std::string Formula;
  std::int32_t TotalTime = 0;  ///< written by the view
};

using FormatNodeRecord = std::variant<FormatRootRecord, FormatFrameRecord, FormatLeafRecord>;

/// One tree node: its record, level, caption, parent and children.
struct TMyTeeMode {
  FormatNodeRecord Data;
  std::uint8_t Level = kTreeLevelRoot;
  std::string Caption;
  TMyTeeMode* Parent = nullptr;
  std::vector<std::unique_ptr<TMyTeeMode>> Children;

  /// Appends a child node one level below this one and returns it.
  TMyTeeMode& AddChild(std::string caption, FormatNodeRecord data);

  template <class Record>
  Record* RecordAs() {
    return std::get_if<Record>(&Data);
  }
  template <class Record>
  const Record* RecordAs() const {
    return std::get_if<Record>(&Data);
  }
};

/// Owns the root node; destroying or reassigning it frees the whole tree. A
/// view that was moved from holds no tree until it is assigned again.
class TMyTeeView {
 public:
  TMyTeeView();
  TMyTeeView(TMyTeeView&&) noexcept = default;
  TMyTeeView& operator=(TMyTeeView&&) noexcept = default;
  TMyTeeView(const TMyTeeView&) = delete;
  TMyTeeView& operator=(const TMyTeeView&) = delete;
  ~TMyTeeView() = default;

  TMyTeeMode& Root() { return *root_; }
  const TMyTeeMode& Root() const { return *root_; }
  /// The first level-1 node whose frame Id is `id`, or nullptr.
  TMyTeeMode* FindFrame(std::int32_t id);
  /// The first level-2 node whose leaf Id is `id`, or nullptr.
  TMyTeeMode* FindLeaf(std::int32_t id);

 private:
  std::unique_ptr<TMyTeeMode> root_;
};

/// Builds the tree of one frame: the root, "Frame0", and its leaves.
TMyTeeView BuildFormatTree(const TIRGsPara& params, const TStrProt_Stru& protocol, bool lsb_first);
/// As BuildFormatTree, the text read with ParseProtocolExpanded ("[8*4]" gives four leaves).
TMyTeeView BuildFormatTreeFromText(const TIRGsPara& params, std::string_view protocol_text, bool lsb_first);
/// As BuildFormatTree over an element list sent once.
TMyTeeView BuildFormatTreeFromElements(const TIRGsPara& params, const TStrProt_Listbase& elements,
                                       bool lsb_first);

/// A data leaf the wizards fill and read: data, editable, not tied to another
/// field, not a fixed kind; kind 4 only when `include_optional`.
bool IsEditableField(const FormatLeafRecord& leaf, bool include_optional);
/// The editable leaves of the tree in depth-first order.
std::vector<TMyTeeMode*> EditableFields(TMyTeeView& view, bool include_optional);

/// One node of a tree control: its depth, caption, the index of its parent
/// (-1 for a top node) and a copy of its record.
struct FormatTreeItem {
  int Depth = 0;
  std::string Caption;
  int Parent = -1;
  FormatNodeRecord Record;
};

/// What a tree control holds: its nodes in depth-first order.
struct FormatTreeControl {
  std::vector<FormatTreeItem> Items;
};

/// The tree as text, one line per node, depth first: Level tabs, the caption, CR LF.
std::string FormatTreeText(const TMyTeeView& view);
/// Loads a tree text into control nodes, one per line at the depth of its tabs
/// (records left default).
std::vector<FormatTreeItem> LoadTreeText(std::string_view text);
/// Replaces what `control` holds by the tree, with a copy of every node's record
/// attached; always succeeds.
bool ShowFormatTree(const TMyTeeView& view, FormatTreeControl& control);

}  // namespace klimavo::ir
