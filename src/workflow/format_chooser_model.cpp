#include "workflow/format_chooser_model.h"

#include <algorithm>
#include <array>
#include <limits>

#include "base/text.h"
#include "ir/decode.h"
#include "ir/protocol.h"

namespace klimavo::workflow {
namespace {

constexpr long long kMaxCarrier = std::numeric_limits<std::uint16_t>::max();

std::string CellText(std::int32_t value) {
  return value == ir::kUnusedDuration ? std::string() : std::to_string(value);
}

const std::string& CellAt(const std::vector<std::string>& row, std::size_t column) {
  static const std::string kBlank;
  return column < row.size() ? row[column] : kBlank;
}

// Reads duration rows: a row's cells left to right up to the first blank one;
// a row whose first cell is blank ends the reading. Returns the rows read.
template <std::size_t Width, std::size_t Rows>
std::optional<GridFault> ReadDurationRows(const std::vector<std::vector<std::string>>& rows, GridName grid,
                                          std::array<std::array<std::int32_t, Width>, Rows>& into,
                                          int& count) {
  count = 0;
  for (std::size_t r = 0; r < rows.size() && r < Rows; ++r) {
    if (base::Trim(CellAt(rows[r], 0)).empty()) break;
    for (std::size_t c = 0; c < Width; ++c) {
      const std::string cell = base::Trim(CellAt(rows[r], c));
      if (cell.empty()) break;
      long long value = 0;
      if (!base::ParseInteger(cell, value) || value < std::numeric_limits<std::int32_t>::min() ||
          value > std::numeric_limits<std::int32_t>::max())
        return GridFault{kTextNumberOutOfRange, grid, static_cast<int>(r) + 1, static_cast<int>(c) + 1, cell};
      into[r][c] = static_cast<std::int32_t>(value);
    }
    ++count;
  }
  return std::nullopt;
}

}  // namespace

FormatChooserModel::FormatChooserModel(const store::TdiskAir& record, double decode_tolerance)
    : record_(record), tolerance_(decode_tolerance) {
  result_.Params.Reset();
}

void FormatChooserModel::SetEditMode(bool on) {
  edit_mode_ = on;
  if (on) next_enabled_ = true;
}

FormatChooserModel::Arrival FormatChooserModel::CaptureArrived(const ir::TIRIntegerArr& durations,
                                                               std::int32_t carrier) {
  if (carrier != kUnkeptCaptureCarrier) last_capture_ = durations;
  latest_ = durations;
  latest_carrier_ = carrier;
  assisted_.reset();
  Arrival arrival;
  ir::Tcomp_aval decoded;
  last_ok_ = ir::DecodeCapture(durations, carrier, both_orders_, lsb_first_, tolerance_, decoded);
  if (!last_ok_) {
    if (!edit_mode_) next_enabled_ = false;
    return arrival;
  }
  TakeResult(std::move(decoded), arrival);
  return arrival;
}

void FormatChooserModel::TakeResult(ir::Tcomp_aval result, Arrival& arrival) {
  result_ = std::move(result);
  arrival.decoded = true;
  arrival.filter_decoded = both_orders_;
  record_.Params = result_.Params;
  record_.Slots[0].Text.assign(ir::PrintProtocol(result_.Protocol));
  decoded_ = true;
  next_enabled_ = true;
}

FormatChooserModel::Arrival FormatChooserModel::TryHarder() {
  Arrival arrival;
  if (latest_.empty()) return arrival;
  assisted_ = ir::AssistedDecodeCapture(latest_, latest_carrier_, both_orders_, lsb_first_, tolerance_);
  // Only a better reading replaces the result: the blind one, sound or kept,
  // is the result already.
  if (assisted_->outcome != ir::AssistOutcome::kImproved) return arrival;
  last_ok_ = true;
  TakeResult(assisted_->result, arrival);
  return arrival;
}

int FormatChooserModel::AssistVerdictText() const {
  if (!assisted_) return 0;
  switch (assisted_->outcome) {
    case ir::AssistOutcome::kPlain:
      return kTextAssistSound;
    case ir::AssistOutcome::kKept:
      return kTextAssistKept;
    case ir::AssistOutcome::kImproved:
      return kTextAssistImproved;
    case ir::AssistOutcome::kFailed:
      break;
  }
  return kTextAssistFailed;
}

capture::DecodeReport FormatChooserModel::Report() const {
  if (!last_ok_) {
    if (!assisted_) return capture::MakeFailedReport();
    return capture::MakeAssistedReport(*assisted_, lsb_first_, both_orders_);
  }
  capture::DecodeReport report = capture::MakeDecodeReport(result_, lsb_first_, both_orders_);
  if (assisted_) report.assist = assisted_->changes;
  return report;
}

std::string FormatChooserModel::Summary(const capture::SummaryLabels& labels) const {
  if (!last_ok_ && !assisted_) return {};
  return capture::DecodeReportText(Report(), labels);
}

ChooserGrids FormatChooserModel::Grids() const {
  ChooserGrids grids;
  const ir::TIRGsPara& p = record_.Params;
  grids.carrier = std::to_string(p.Carrier);
  const int logic = std::min<int>(p.LogicCount, ir::TIRGsPara::kMaxLogic);
  for (int r = 0; r < logic; ++r) {
    std::vector<std::string> row;
    for (std::int32_t d : p.Logic[static_cast<std::size_t>(r)]) row.push_back(CellText(d));
    grids.logic.push_back(std::move(row));
  }
  const int split = std::min<int>(p.SplitCount, ir::TIRGsPara::kMaxSplit);
  for (int r = 0; r < split; ++r) {
    std::vector<std::string> row;
    for (std::int32_t d : p.Split[static_cast<std::size_t>(r)]) row.push_back(CellText(d));
    grids.split.push_back(std::move(row));
  }
  for (std::size_t s = 0; s < store::kFormatSlots; ++s) {
    std::string text = base::Trim(record_.Slots[s].Text.str());
    if (!text.empty()) grids.protocols.push_back(ProtocolRow{static_cast<int>(s), std::move(text)});
  }
  return grids;
}

std::optional<GridFault> FormatChooserModel::ReadGrids(const ChooserGrids& grids) {
  ir::TIRGsPara params;
  params.Reset();
  const std::string carrier = base::Trim(grids.carrier);
  long long value = 0;
  if (!base::ParseInteger(carrier, value) || value < 0 || value > kMaxCarrier)
    return GridFault{kTextNumberOutOfRange, GridName::Carrier, 0, 0, carrier};
  params.Carrier = static_cast<std::uint16_t>(value);
  int count = 0;
  if (auto fault = ReadDurationRows(grids.logic, GridName::Logic, params.Logic, count)) return fault;
  params.LogicCount = static_cast<std::uint8_t>(count);
  if (auto fault = ReadDurationRows(grids.split, GridName::Split, params.Split, count)) return fault;
  params.SplitCount = static_cast<std::uint8_t>(count);
  if (params.LogicCount <= 1) return GridFault{kTextTooFewLogicCodes, GridName::Logic, 0, 0, {}};
  result_.Params = params;
  return std::nullopt;
}

std::optional<GridFault> FormatChooserModel::Next(const ChooserGrids& grids) {
  if (edit_mode_) return ReadGrids(grids);
  if (result_.LogicCodes.size() < 2) return GridFault{kTextTooFewLogicCodes, GridName::Logic, 0, 0, {}};
  return std::nullopt;
}

}  // namespace klimavo::workflow
