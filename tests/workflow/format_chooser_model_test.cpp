// The format chooser's logic: decoding captures into the result and the
// working record, the summary, going on, and reading the edit grids.
#include "workflow/format_chooser_model.h"

#include <gtest/gtest.h>

#include "ir/decode.h"
#include "ir/protocol.h"
#include "ir/synthetic_misses.h"
#include "workflow_test_support.h"

namespace klimavo::workflow {
namespace {

using testing::CorpusCapture;

const capture::SummaryLabels kLabels{"Carrier", "Logic codes:", "Split codes:"};
constexpr double kTolerance = 0.21;
/// Durations (0.1 µs) that neither decoder reads.
const ir::TIRIntegerArr kUnreadable = {90000, -45000, 5600};

// Corpus: ACs/Airmax/Airmax.ir, "Power_on" (two frames of 48 bits).
ir::Capture Airmax() {
  auto c = CorpusCapture("ACs/Airmax/Airmax.ir", "Power_on");
  if (!c) ADD_FAILURE() << "corpus capture missing";
  return c.value_or(ir::Capture{});
}

TEST(FormatChooserModel, ADecodedCaptureBecomesTheResultAndTheWorkingFormat) {
  const ir::Capture capture = Airmax();
  store::TdiskAir record;
  record.Slots[0].Text.assign("<0>[8]<1>");
  const store::TdiskAir before = record;
  FormatChooserModel model(record, kTolerance);
  EXPECT_FALSE(model.NextEnabled());

  const auto arrival = model.CaptureArrived(capture.Durations, capture.Carrier);
  ASSERT_TRUE(arrival.decoded);
  EXPECT_FALSE(arrival.filter_decoded);
  ir::Tcomp_aval expected;
  ASSERT_TRUE(ir::DecodeCapture(capture.Durations, capture.Carrier, false, true, kTolerance, expected));
  EXPECT_EQ(model.Result().Params, expected.Params);
  EXPECT_EQ(model.Result().Bytes, expected.Bytes);
  EXPECT_EQ(model.WorkingRecord().Params, expected.Params);
  EXPECT_EQ(model.WorkingRecord().Slots[0].Text.str(), "(<0>[48]<1>)*2");
  EXPECT_TRUE(model.Decoded());
  EXPECT_TRUE(model.NextEnabled());
  EXPECT_EQ(model.LastCapture(), capture.Durations);
  // The opener's record is not touched while the chooser is open.
  EXPECT_EQ(record, before);
  EXPECT_EQ(model.Summary(kLabels),
            "Carrier38000 LSB\nLogic codes:(585,-483)(585,-1553)\nSplit codes:(4440,-4311)(583,-4719)\n"
            "(<0>[48]<1>)*2\n4D B2 F9 06 00 FF\n");
}

TEST(FormatChooserModel, AnUnreadableCaptureStopsGoingOnButKeepsTheResult) {
  const ir::Capture capture = Airmax();
  for (const bool edit_mode : {false, true}) {
    FormatChooserModel model(store::TdiskAir{}, kTolerance);
    model.SetEditMode(edit_mode);
    ASSERT_TRUE(model.CaptureArrived(capture.Durations, capture.Carrier).decoded);
    const ir::Tcomp_aval kept = model.Result();
    EXPECT_FALSE(model.CaptureArrived(kUnreadable, 38000).decoded);
    EXPECT_EQ(model.NextEnabled(), edit_mode) << edit_mode;
    EXPECT_TRUE(model.Decoded());
    EXPECT_EQ(model.Result().Params, kept.Params);
    EXPECT_EQ(model.Result().Bytes, kept.Bytes);
    EXPECT_EQ(model.Summary(kLabels), "");
    EXPECT_EQ(model.LastCapture(), kUnreadable);
  }
}

TEST(FormatChooserModel, TheMarkedCarrierIsDecodedButNotKeptAsTheLastCapture) {
  const ir::Capture capture = Airmax();
  FormatChooserModel model(store::TdiskAir{}, kTolerance);
  model.CaptureArrived(kUnreadable, 38000);
  EXPECT_TRUE(model.CaptureArrived(capture.Durations, kUnkeptCaptureCarrier).decoded);
  EXPECT_EQ(model.LastCapture(), kUnreadable);
}

TEST(FormatChooserModel, BitOrderAndBothOrdersShowInTheSummaryAndTheFilterMessage) {
  const ir::Capture capture = Airmax();
  struct Case {
    bool lsb_first;
    bool both;
    std::string first_line;
    std::string bytes;
  } cases[] = {
      {true, false, "Carrier38000 LSB", "4D B2 F9 06 00 FF\n"},
      {false, false, "Carrier38000MSB", "B2 4D 9F 60 00 FF\n"},
      {true, true, "Carrier38000 LSB", "4D B2 F9 06 00 FF\nB2 4D 9F 60 00 FF\n"},
  };
  for (const Case& c : cases) {
    FormatChooserModel model(store::TdiskAir{}, kTolerance);
    model.SetLsbFirst(c.lsb_first);
    model.SetBothOrders(c.both);
    EXPECT_EQ(model.CaptureArrived(capture.Durations, capture.Carrier).filter_decoded, c.both);
    const std::string summary = model.Summary(kLabels);
    EXPECT_EQ(summary.substr(0, summary.find('\n')), c.first_line);
    EXPECT_EQ(summary.substr(summary.find("(<0>[48]<1>)*2\n") + 15), c.bytes);
  }
}

TEST(FormatChooserModel, GoingOnNeedsTwoLogicCodesOutsideEditMode) {
  FormatChooserModel model(store::TdiskAir{}, kTolerance);
  const auto fault = model.Next({});
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->text, kTextTooFewLogicCodes);
}

store::TdiskAir RecordWithFormat() {
  store::TdiskAir record;
  record.Params.Carrier = 37900;
  record.Params.LogicCount = 2;
  record.Params.Logic[0] = {560, -560, ir::kUnusedDuration, ir::kUnusedDuration};
  record.Params.Logic[1] = {560, -1690, ir::kUnusedDuration, ir::kUnusedDuration};
  record.Params.SplitCount = 1;
  record.Params.Split[0] = {9000, -4500};
  record.Slots[0].Text.assign("<0>[32]");
  record.Slots[3].Text.assign(" <0>[16] ");
  return record;
}

TEST(FormatChooserModel, EditModeGridsShowTheRecordsTimingAndFrames) {
  FormatChooserModel model(RecordWithFormat(), kTolerance);
  model.SetEditMode(true);
  EXPECT_TRUE(model.NextEnabled());
  const ChooserGrids grids = model.Grids();
  EXPECT_EQ(grids.carrier, "37900");
  EXPECT_EQ(grids.logic,
            (std::vector<std::vector<std::string>>{{"560", "-560", "", ""}, {"560", "-1690", "", ""}}));
  EXPECT_EQ(grids.split, (std::vector<std::vector<std::string>>{{"9000", "-4500"}}));
  EXPECT_EQ(grids.protocols, (std::vector<ProtocolRow>{{0, "<0>[32]"}, {3, "<0>[16]"}}));
}

TEST(FormatChooserModel, ReadingTheGrids) {
  using Rows = std::vector<std::vector<std::string>>;
  struct Case {
    const char* what;
    std::string carrier;
    Rows logic;
    Rows split;
    std::optional<GridFault> fault;
    ir::TIRGsPara expected;
  };
  ir::TIRGsPara ok;
  ok.Carrier = 38000;
  ok.LogicCount = 2;
  ok.Logic[0] = {560, ir::kUnusedDuration, ir::kUnusedDuration, ir::kUnusedDuration};  // 560, blank, 600
  ok.Logic[1] = {560, -1690, 10, -20};
  ok.SplitCount = 1;
  ok.Split[0] = {9000, -4500};
  const Rows logic = {{"560", "", "600", ""}, {" 560", "-1690 ", "10", "-20"}, {"", "7"}, {"1", "2"}};
  const Rows split = {{"9000", "-4500"}};
  Case cases[] = {
      {"a blank cell ends its row; a blank first cell ends the grid", "38000", logic, split, std::nullopt,
       ok},
      {"a cell that is not a number",
       "38000",
       {{"560", "5x0"}, {"1", "2"}},
       split,
       GridFault{kTextNumberOutOfRange, GridName::Logic, 1, 2, "5x0"},
       {}},
      {"a split cell beyond 32 bits",
       "38000",
       logic,
       {{"1", "2147483648"}},
       GridFault{kTextNumberOutOfRange, GridName::Split, 1, 2, "2147483648"},
       {}},
      {"a carrier beyond 16 bits",
       "70000",
       logic,
       split,
       GridFault{kTextNumberOutOfRange, GridName::Carrier, 0, 0, "70000"},
       {}},
      {"an empty carrier",
       " ",
       logic,
       split,
       GridFault{kTextNumberOutOfRange, GridName::Carrier, 0, 0, ""},
       {}},
      {"one logic code is too few",
       "38000",
       {{"560", "-560"}},
       split,
       GridFault{kTextTooFewLogicCodes, GridName::Logic, 0, 0, ""},
       {}},
  };
  for (const Case& c : cases) {
    FormatChooserModel model(RecordWithFormat(), kTolerance);
    model.SetEditMode(true);
    ChooserGrids grids{c.carrier, c.logic, c.split, {}};
    const auto fault = model.Next(grids);
    ASSERT_EQ(fault.has_value(), c.fault.has_value()) << c.what;
    if (fault) {
      EXPECT_EQ(fault->text, c.fault->text) << c.what;
      EXPECT_EQ(fault->grid, c.fault->grid) << c.what;
      EXPECT_EQ(fault->row, c.fault->row) << c.what;
      EXPECT_EQ(fault->column, c.fault->column) << c.what;
      EXPECT_EQ(fault->value, c.fault->value) << c.what;
      EXPECT_EQ(model.Result().Params, ir::TIRGsPara{}) << c.what << ": a failed read leaves the result";
    } else {
      EXPECT_EQ(model.Result().Params, c.expected) << c.what;
    }
  }
}

// "Try harder" on a capture whose blind reading is wrong: the assisted reading
// becomes the result and the working format, and the summary says why.
TEST(FormatChooserModel, TryHarderTakesABetterReadingAndExplainsIt) {
  const ir::TIRIntegerArr lead_in =
      ir::synthetic::ToTicks(ir::synthetic::StrayLeadIn({0x20, 0xDF, 0x10, 0xEF}));
  FormatChooserModel model(store::TdiskAir{}, kTolerance);
  EXPECT_FALSE(model.CanTryHarder());
  EXPECT_FALSE(model.TryHarder().decoded);
  ASSERT_TRUE(model.CaptureArrived(lead_in, 38000).decoded);
  EXPECT_EQ(model.WorkingRecord().Slots[0].Text.str(), "[1]<0>[32]<1>");
  EXPECT_EQ(model.AssistVerdictText(), 0);

  ASSERT_TRUE(model.CanTryHarder());
  const auto arrival = model.TryHarder();
  EXPECT_TRUE(arrival.decoded);
  EXPECT_EQ(model.WorkingRecord().Slots[0].Text.str(), "<2><0>[32]<1>");
  EXPECT_EQ(model.Result().Bytes, (ir::TSSByteArray{0x20, 0xDF, 0x10, 0xEF}));
  EXPECT_EQ(model.WorkingRecord().Params, model.Result().Params);
  EXPECT_TRUE(model.NextEnabled());
  const std::string summary = model.Summary(kLabels);
  EXPECT_NE(summary.find("20 DF 10 EF\nassist: lead-in of 1 pulse (560,-560) read as split codes: "),
            std::string::npos)
      << summary;
  EXPECT_EQ(model.AssistVerdictText(), kTextAssistImproved);

  // The next capture starts afresh.
  const ir::Capture airmax = Airmax();
  model.CaptureArrived(airmax.Durations, airmax.Carrier);
  EXPECT_FALSE(model.Assisted().has_value());
  EXPECT_EQ(model.Summary(kLabels).find("assist:"), std::string::npos);
}

// A sound reading stays; an unreadable capture stays unread and the summary
// names what was tried.
TEST(FormatChooserModel, TryHarderKeepsASoundReadingAndClaimsNothingUnread) {
  const ir::Capture airmax = Airmax();
  FormatChooserModel model(store::TdiskAir{}, kTolerance);
  ASSERT_TRUE(model.CaptureArrived(airmax.Durations, airmax.Carrier).decoded);
  const std::string before = model.Summary(kLabels);
  EXPECT_FALSE(model.TryHarder().decoded);
  EXPECT_EQ(model.Summary(kLabels), before);
  EXPECT_EQ(model.AssistVerdictText(), kTextAssistSound);

  model.CaptureArrived(kUnreadable, 38000);
  EXPECT_FALSE(model.TryHarder().decoded);
  EXPECT_FALSE(model.NextEnabled());
  const std::string summary = model.Summary(kLabels);
  EXPECT_EQ(summary.rfind("no decoding\nassist: no decoding: tried ", 0), 0u) << summary;
  EXPECT_EQ(model.AssistVerdictText(), kTextAssistFailed);
  // The result of the earlier capture is still the one the opener would take.
  EXPECT_EQ(model.Result().Bytes, (ir::TSSByteArray{0x4D, 0xB2, 0xF9, 0x06, 0x00, 0xFF}));
}

}  // namespace
}  // namespace klimavo::workflow
