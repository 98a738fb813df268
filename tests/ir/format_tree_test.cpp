#include "ir/format_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/gbk.h"
#include "ir/protocol.h"

namespace klimavo::ir {
namespace {

constexpr std::int32_t x = kUnusedDuration;

TIRGsPara TwoSplitParams() {
  TIRGsPara p;
  p.Carrier = 37900;
  p.LogicCount = 2;
  p.Logic[0] = {560, -560, x, x};
  p.Logic[1] = {560, -1690, x, x};
  p.SplitCount = 2;
  p.Split[0] = {9000, -4500};
  p.Split[1] = {560, -20000};
  return p;
}

struct LeafView {
  std::string caption;
  std::string text;
  bool data;
};

std::vector<LeafView> Leaves(const TMyTeeView& view) {
  std::vector<LeafView> leaves;
  const TMyTeeMode& frame = *view.Root().Children.at(0);
  for (const auto& node : frame.Children) {
    const auto* leaf = node->RecordAs<FormatLeafRecord>();
    leaves.push_back({node->Caption, leaf ? leaf->Text : "?", leaf && leaf->IsData == 1});
  }
  return leaves;
}

std::string Describe(const std::vector<LeafView>& leaves) {
  std::string out;
  for (const LeafView& l : leaves) out += l.caption + "=" + l.text + (l.data ? "d " : "s ");
  return out;
}

struct ShapeCase {
  const char* protocol;
  bool expanded;
  const char* leaves;
};

TEST(BuildFormatTree, LeavesFollowTheElements) {
  const ShapeCase cases[] = {
      {"<0>[32]<1>", false, "Wave0=9000,-4500s Logic1=8d Logic2=8d Logic3=8d Logic4=8d Wave5=560,-20000s "},
      {"[12]", false, "Logic0=8d Logic1=4d "},
      {"[4*3]", false, "Logic0=8d Logic1=4d "},
      {"[4*3]", true, "Logic0=4d Logic1=4d Logic2=4d "},
      {"<1>[3]<1>[8]", true, "Wave0=560,-20000s Logic1=3d Wave2=560,-20000s Logic3=8d "},
      {"<5>", true, "Wave0=2147483647,2147483647s "},  // a split code not in use: its unused slots
      {"<9>", true, "Wave0=s "},                       // beyond the split table: no durations
      {"", true, ""},
  };
  for (const ShapeCase& c : cases) {
    const TMyTeeView view = c.expanded ? BuildFormatTreeFromText(TwoSplitParams(), c.protocol, true)
                                       : BuildFormatTree(TwoSplitParams(), ParseProtocol(c.protocol), true);
    EXPECT_EQ(Describe(Leaves(view)), c.leaves) << c.protocol;
  }
}

TEST(BuildFormatTree, LeafRecordsAreNumberedAndTyped) {
  TMyTeeView view = BuildFormatTreeFromText(TwoSplitParams(), "<0>[9]<1>", true);
  const TMyTeeMode& frame = *view.Root().Children.at(0);
  ASSERT_EQ(frame.Children.size(), 4u);
  for (std::size_t i = 0; i < frame.Children.size(); ++i) {
    const TMyTeeMode& node = *frame.Children[i];
    const auto* leaf = node.RecordAs<FormatLeafRecord>();
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(node.Level, kTreeLevelLeaf);
    EXPECT_EQ(node.Parent, &frame);
    EXPECT_EQ(leaf->Id, static_cast<std::int32_t>(i));
    const bool data = i == 1 || i == 2;
    EXPECT_EQ(leaf->KindName, base::Utf8ToGbk(data ? "数据码" : "引导码").value());
    EXPECT_EQ(leaf->IsData, data ? 1 : 0);
    EXPECT_EQ(leaf->FieldKind, data ? kFieldKindData : kFieldKindSplit);
    EXPECT_EQ(leaf->Editable, data ? 1 : 0);
    EXPECT_EQ(leaf->SameAs, -1);
    EXPECT_EQ(leaf->InverseOf, -1);
    EXPECT_EQ(leaf->Value, 0);
    EXPECT_TRUE(leaf->Range.empty());
    EXPECT_TRUE(leaf->Formula.empty());
  }
}

TEST(BuildFormatTree, RootAndFrameRecords) {
  TIRGsPara params = TwoSplitParams();
  for (int k = 2; k < 8; ++k) params.Logic[k] = {100 * k, -100 * k, x, x};
  params.Logic[3] = {10000, -10000, 10000, -10000};
  params.LogicCount = 8;
  const TMyTeeView msb = BuildFormatTreeFromText(params, "(<0>[48]<1>)*2", false);
  const TMyTeeMode& root = msb.Root();
  EXPECT_EQ(root.Level, kTreeLevelRoot);
  EXPECT_EQ(root.Caption, "");
  const auto* r = root.RecordAs<FormatRootRecord>();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Name, "ZOV7300");
  EXPECT_EQ(r->Name2, "DedeRodoza");
  EXPECT_EQ(r->Carrier, 37900);
  EXPECT_EQ(r->Multiplier, 1);
  EXPECT_EQ(r->BitOrder, 0);
  EXPECT_EQ(r->LogicTexts[0], "560,-560");
  EXPECT_EQ(r->LogicTexts[3], "10000,-10000,10000,-10000");  // kept whole
  EXPECT_EQ(r->LogicTexts[6], "600,-600");
  for (std::size_t k = 7; k < kLogicTextCount; ++k) EXPECT_EQ(r->LogicTexts[k], "") << k;  // only seven

  ASSERT_EQ(root.Children.size(), 1u);
  const TMyTeeMode& frame = *root.Children[0];
  EXPECT_EQ(frame.Caption, "Frame0");
  EXPECT_EQ(frame.Level, kTreeLevelFrame);
  const auto* f = frame.RecordAs<FormatFrameRecord>();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Id, 0);
  EXPECT_EQ(f->Name, "frame0");
  EXPECT_EQ(f->SameAs, -1);
  EXPECT_EQ(f->InverseOf, -1);
  EXPECT_EQ(f->Period, 0);
  EXPECT_TRUE(f->EndText0.empty());
  EXPECT_TRUE(f->EndText1.empty());
  EXPECT_EQ(f->NoEndTexts, 1);  // the empty end texts are not drawn for the final bit
  EXPECT_EQ(f->Repeated, 1);

  EXPECT_EQ(BuildFormatTreeFromText(params, "<0>[48]<1>", true).Root().RecordAs<FormatRootRecord>()->BitOrder,
            1);
  const TStrProt_Listbase elements = ParseProtocol("(<0>[48]<1>)*2").Elements;
  const TMyTeeView once = BuildFormatTreeFromElements(params, elements, true);
  EXPECT_EQ(once.Root().Children[0]->RecordAs<FormatFrameRecord>()->Repeated, 0);
  EXPECT_EQ(Leaves(once).size(), 8u);
}

TEST(IsEditableField, OnlyFreeDataFields) {
  FormatLeafRecord base;
  base.IsData = 1;
  base.Editable = 1;
  base.FieldKind = kFieldKindData;
  struct Case {
    const char* what;
    void (*change)(FormatLeafRecord&);
    bool plain;
    bool with_optional;
  };
  const Case cases[] = {
      {"a data field", [](FormatLeafRecord&) {}, true, true},
      {"a split leaf", [](FormatLeafRecord& l) { l.IsData = 0; }, false, false},
      {"IsData other than 1", [](FormatLeafRecord& l) { l.IsData = 2; }, false, false},
      {"not editable", [](FormatLeafRecord& l) { l.Editable = 0; }, false, false},
      {"a copy of another field", [](FormatLeafRecord& l) { l.SameAs = 3; }, false, false},
      {"the inverse of another field", [](FormatLeafRecord& l) { l.InverseOf = 0; }, false, false},
      {"kind 6", [](FormatLeafRecord& l) { l.FieldKind = kFieldKindFixed; }, false, false},
      {"kind 4 on request", [](FormatLeafRecord& l) { l.FieldKind = kFieldKindOptional; }, false, true},
      {"kind 0 with data", [](FormatLeafRecord& l) { l.FieldKind = 0; }, true, true},
  };
  for (const Case& c : cases) {
    FormatLeafRecord leaf = base;
    c.change(leaf);
    EXPECT_EQ(IsEditableField(leaf, false), c.plain) << c.what;
    EXPECT_EQ(IsEditableField(leaf, true), c.with_optional) << c.what;
  }
}

TEST(EditableFields, AreTheDataLeavesInOrder) {
  TMyTeeView view = BuildFormatTreeFromText(TwoSplitParams(), "<0>[16]<1>[4]", true);
  view.FindLeaf(2)->RecordAs<FormatLeafRecord>()->SameAs = 1;
  const std::vector<TMyTeeMode*> fields = EditableFields(view, false);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0]->Caption, "Logic1");
  EXPECT_EQ(fields[1]->Caption, "Logic4");
}

TEST(TMyTeeView, FindsFramesAndLeavesById) {
  TMyTeeView view = BuildFormatTreeFromText(TwoSplitParams(), "<0>[16]<1>", true);
  ASSERT_NE(view.FindFrame(0), nullptr);
  EXPECT_EQ(view.FindFrame(0)->Caption, "Frame0");
  EXPECT_EQ(view.FindFrame(1), nullptr);
  ASSERT_NE(view.FindLeaf(3), nullptr);
  EXPECT_EQ(view.FindLeaf(3)->Caption, "Wave3");
  EXPECT_EQ(view.FindLeaf(4), nullptr);
  EXPECT_EQ(view.FindLeaf(-1), nullptr);
}

TEST(ShowFormatTree, WritesTheTreeAsTabbedLines) {
  const TMyTeeView view = BuildFormatTreeFromText(TwoSplitParams(), "<0>[12]<1>", true);
  EXPECT_EQ(FormatTreeText(view), "\r\n\tFrame0\r\n\t\tWave0\r\n\t\tLogic1\r\n\t\tLogic2\r\n\t\tWave3\r\n");
}

TEST(ShowFormatTree, FillsTheControlWithRecordCopies) {
  FormatTreeControl control;
  control.Items.push_back({0, "stale", -1, FormatLeafRecord{}});
  const TMyTeeView first = BuildFormatTreeFromText(TwoSplitParams(), "<0>[32]", true);
  ASSERT_TRUE(ShowFormatTree(first, control));
  const TMyTeeView view = BuildFormatTreeFromText(TwoSplitParams(), "<0>[12]<1>", true);
  ASSERT_TRUE(ShowFormatTree(view, control));  // replaces what the control held

  struct Row {
    int depth;
    const char* caption;
    int parent;
  };
  const Row rows[] = {{0, "", -1},      {1, "Frame0", 0}, {2, "Wave0", 1},
                      {2, "Logic1", 1}, {2, "Logic2", 1}, {2, "Wave3", 1}};
  ASSERT_EQ(control.Items.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(control.Items[i].Depth, rows[i].depth) << i;
    EXPECT_EQ(control.Items[i].Caption, rows[i].caption) << i;
    EXPECT_EQ(control.Items[i].Parent, rows[i].parent) << i;
  }
  EXPECT_TRUE(std::holds_alternative<FormatRootRecord>(control.Items[0].Record));
  EXPECT_TRUE(std::holds_alternative<FormatFrameRecord>(control.Items[1].Record));
  const auto* logic2 = std::get_if<FormatLeafRecord>(&control.Items[4].Record);
  ASSERT_NE(logic2, nullptr);
  EXPECT_EQ(logic2->Id, 2);
  EXPECT_EQ(logic2->Text, "4");
  // The control holds copies: changing the tree leaves them alone.
  TMyTeeView changed = BuildFormatTreeFromText(TwoSplitParams(), "<0>[12]<1>", true);
  ASSERT_TRUE(ShowFormatTree(changed, control));
  changed.FindLeaf(2)->RecordAs<FormatLeafRecord>()->Value = 9;
  EXPECT_EQ(std::get<FormatLeafRecord>(control.Items[4].Record).Value, 0);
}

TEST(LoadTreeText, TakesDepthFromTabsAndAcceptsBareLineFeeds) {
  const auto items = LoadTreeText("a\n\tb\r\n\t\t\tc\n\td");
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[1].Parent, 0);
  EXPECT_EQ(items[2].Depth, 2);  // a node sits at most one level below the one before
  EXPECT_EQ(items[2].Caption, "\tc");
  EXPECT_EQ(items[2].Parent, 1);
  EXPECT_EQ(items[3].Depth, 1);
  EXPECT_EQ(items[3].Parent, 0);
  EXPECT_TRUE(LoadTreeText("").empty());
}

}  // namespace
}  // namespace klimavo::ir
