#include "analysis/checksum_wizard.h"

#include <algorithm>

#include "analysis/record_capture.h"
#include "base/text.h"
#include "ir/protocol.h"
#include "ir/tolerance.h"
#include "store/format_list.h"

namespace klimavo::analysis {
namespace {

constexpr std::int32_t kNoCarrier = -1;
/// Carriers within this factor of the record's keep the record's carrier.
constexpr double kNearCarrier = 0.15;

// Sets a flag for the time of a call, also when it leaves early.
class Busy {
 public:
  explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
  ~Busy() { flag_ = false; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  bool& flag_;
};

// Every key's used columns, one list per key: the grid marks them all.
ir::TBtnBitsInfo EveryKeysFields(const store::TdiskAir& record) {
  ir::TBtnBitsInfo zones(record.UsedKeys());
  for (std::size_t k = 0; k < record.UsedKeys(); ++k) {
    for (const store::TdiskBitColumn& c : record.Keys[k].Columns)
      if (c.InUse()) zones[k].push_back({c.Frame, c.BitPos, c.Width});
  }
  return zones;
}

// The bit counts of the frames of an element list.
std::vector<std::int64_t> FrameLengths(const ir::TStrProt_Listbase& elements) {
  std::vector<std::int64_t> lengths;
  for (int f = 0; f < ir::DataRunCount(elements); ++f) lengths.push_back(ir::BitsInRun(elements, f));
  return lengths;
}

}  // namespace

ChecksumWizard::ChecksumWizard(store::TdiskAir& record, double decode_tolerance)
    : record_(record), tolerance_(decode_tolerance) {}

void ChecksumWizard::Open() {
  format_texts_.clear();
  format_slots_.clear();
  for (const store::Tex_gsstrut& entry : store::BuildFormatList(record_)) {
    format_texts_.push_back(entry.Text);
    format_slots_.push_back(entry.FrameIndex);
  }
  selected_format_ = format_texts_.empty() ? -1 : 0;
  current_item_ = 0;
  grid_.SetLowPre(record_.LsbFirst != 0);
  grid_.SetHexMode(true);
  grid_.SetChecksumMode(true);
  grid_.SetKeyZones(EveryKeysFields(record_), -1);  // no current key: every key's fields count
  SyncGrid();
  Emit(ChecksumWizardEvent::FormatsChanged);
  Emit(ChecksumWizardEvent::FlagsChanged);
  Emit(ChecksumWizardEvent::ItemsChanged);
}

int ChecksumWizard::SelectedSlot() const {
  if (selected_format_ < 0 || selected_format_ >= static_cast<int>(format_slots_.size())) return -1;
  return format_slots_[static_cast<std::size_t>(selected_format_)];
}

ir::TCrcBlock* ChecksumWizard::Block() {
  const int slot = SelectedSlot();
  return slot < 0 ? nullptr : &record_.Slots[static_cast<std::size_t>(slot)].Crc;
}

const ir::TCrcBlock* ChecksumWizard::Block() const {
  const int slot = SelectedSlot();
  return slot < 0 ? nullptr : &record_.Slots[static_cast<std::size_t>(slot)].Crc;
}

void ChecksumWizard::Emit(ChecksumWizardEvent event) {
  if (events_ != nullptr) events_->Changed(event);
}

void ChecksumWizard::SyncGrid() {
  const ir::TCrcBlock* block = Block();
  grid_.SetChecksumBlock(block != nullptr ? *block : ir::TCrcBlock{}, true);
  grid_.SetHasChecksum(block != nullptr && RecordHasChecksum() && block->HasChecksum != 0);
}

void ChecksumWizard::SelectFormat(int index) {
  if (index < 0 || index >= static_cast<int>(format_texts_.size()) || index == selected_format_) return;
  Busy switching(switching_);
  selected_format_ = index;
  current_item_ = 0;
  // Every entry refreshes the tables and the grid, so that what is shown is
  // always the block that edits go to.
  SyncGrid();
  Emit(ChecksumWizardEvent::FormatsChanged);
  Emit(ChecksumWizardEvent::FlagsChanged);
  Emit(ChecksumWizardEvent::ItemsChanged);
}

void ChecksumWizard::RefreshAfterFlags() {
  if (current_item_ >= ItemRows()) current_item_ = 0;
  SyncGrid();
  Emit(ChecksumWizardEvent::FlagsChanged);
  Emit(ChecksumWizardEvent::ItemsChanged);
}

void ChecksumWizard::SetRecordHasChecksum(bool on) {
  if (format_texts_.empty()) return;  // a record without formats has nothing to describe
  const store::TdiskAir before = record_;
  if (on) {
    for (store::TdiskFormatSlot& slot : record_.Slots) {
      if (slot.Crc.Count == 0) slot.Crc.Count = 1;
      for (ir::TCrcItem& item : slot.Crc.Items)
        if (item.ZoneCount == 0) item.ZoneCount = 1;
    }
  }
  record_.HasChecksum = on ? 1 : 0;
  if (!(record_ == before)) Changed();
  RefreshAfterFlags();
}

bool ChecksumWizard::FormatHasChecksum() const {
  const ir::TCrcBlock* block = Block();
  return block != nullptr && block->HasChecksum != 0;
}

void ChecksumWizard::SetFormatHasChecksum(bool on) {
  ir::TCrcBlock* block = Block();
  if (block == nullptr) return;
  const std::uint8_t flag = on ? 1 : 0;
  if (block->HasChecksum != flag) {
    block->HasChecksum = flag;
    Changed();
  }
  RefreshAfterFlags();
}

int ChecksumWizard::ItemCountChoice() const {
  const ir::TCrcBlock* block = Block();
  if (block == nullptr || block->Count < 1 || block->Count > kMaxChosenItems) return -1;
  return block->Count - 1;
}

void ChecksumWizard::SetItemCount(int count) {
  ir::TCrcBlock* block = Block();
  if (block == nullptr || switching_ || count < 1 || count > kMaxChosenItems) return;
  if (block->Count != count) {
    block->Count = static_cast<std::uint8_t>(count);
    Changed();
  }
  RefreshAfterFlags();
}

// ----- Captures -----

void ChecksumWizard::CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  if (handling_capture_) return;
  Busy busy(handling_capture_);
  // A carrier far from the record's becomes the record's; an unknown one
  // (-1, or 0 from the learner) leaves it alone.
  if (carrier != kNoCarrier && carrier > 0 && carrier <= UINT16_MAX &&
      !ir::IsNear(carrier, record_.Params.Carrier, kNearCarrier, kNearCarrier)) {
    record_.Params.Carrier = static_cast<std::uint16_t>(carrier);
    Changed();
  }
  const RecordCapture read = ReadRecordCapture(durations, record_.Params, record_.Slots, tolerance_);
  if (read.params_changed) Changed();
  if (!read.decoded || read.bits.empty()) return;  // not this record's signal: nothing is shown
  if (read.repeat_mismatch && events_ != nullptr) events_->Message(ChecksumWizardMessage::RepeatMismatch);

  if (!format_tree_ || !ir::SameProtocol(read.structure, current_)) {
    ShowStructure(read.structure);
    format_label_ = ir::PrintProtocol(current_);
    Emit(ChecksumWizardEvent::FormatLabelChanged);
  }
  current_.Repeat = read.structure.Repeat;
  ShowFieldBits(read.bits, read.structure.Elements);
  grid_.AddLine(read.bits, read.structure);
}

void ChecksumWizard::ShowStructure(const ir::TStrProt_Stru& structure) {
  current_ = structure;
  format_tree_.emplace(ir::BuildFormatTree(record_.Params, structure, record_.LsbFirst != 0));
  Emit(ChecksumWizardEvent::FormatTreeChanged);
}

void ChecksumWizard::ShowFieldBits(const ir::TSSByteArray& bits, const ir::TStrProt_Listbase& elements) {
  field_bytes_.clear();
  ir::BitsToBytes(elements, bits, record_.LsbFirst != 0, field_bytes_);
  Emit(ChecksumWizardEvent::FieldValuesChanged);
}

void ChecksumWizard::SelectRow(int row) {
  store::TGrdDataLine line;
  if (handling_capture_ || !grid_.GetLine(row, line)) return;
  format_tree_.emplace(ir::BuildFormatTreeFromElements(record_.Params, line.Elements, record_.LsbFirst != 0));
  Emit(ChecksumWizardEvent::FormatTreeChanged);
  ShowFieldBits(line.Data, line.Elements);
}

// ----- Finding the checksum -----

std::vector<ir::TSSByteArray> ChecksumWizard::FormatRows() const {
  std::vector<ir::TSSByteArray> rows;
  if (SelectedSlot() < 0) return rows;
  const auto wanted =
      FrameLengths(ir::ParseProtocol(format_texts_[static_cast<std::size_t>(selected_format_)]).Elements);
  for (const store::TGrdDataLine& line : grid_.GetLines())
    if (FrameLengths(line.Elements) == wanted) rows.push_back(line.Data);
  return rows;
}

bool ChecksumWizard::FindChecksum() {
  searched_ = true;
  if (SelectedSlot() < 0) {
    discovery_ = ChecksumDiscovery{};
    discovery_.note = DiscoveryNote::TooFewRows;
    Emit(ChecksumWizardEvent::DiscoveryChanged);
    return false;
  }
  const auto elements = ir::ParseProtocol(format_texts_[static_cast<std::size_t>(selected_format_)]).Elements;
  discovery_ = DiscoverChecksums(elements, FormatRows(), record_.LsbFirst != 0);
  Emit(ChecksumWizardEvent::DiscoveryChanged);
  return ApplyCandidate(0);
}

bool ChecksumWizard::ApplyCandidate(int index) {
  if (index < 0 || index >= static_cast<int>(discovery_.candidates.size())) return false;
  return PutIntoItem(discovery_.candidates[static_cast<std::size_t>(index)]);
}

bool ChecksumWizard::ApplyRival(int index) {
  if (index < 0 || index >= static_cast<int>(discovery_.rivals.size())) return false;
  return PutIntoItem(discovery_.rivals[static_cast<std::size_t>(index)].item);
}

bool ChecksumWizard::PutIntoItem(const ir::TCrcItem& found) {
  if (Block() == nullptr) return false;
  // The found item only counts when the record and the format have checksums.
  if (!RecordHasChecksum()) SetRecordHasChecksum(true);
  ir::TCrcBlock* block = Block();
  block->HasChecksum = 1;
  if (current_item_ < 0 || current_item_ >= static_cast<int>(block->Items.size())) current_item_ = 0;
  block->Count = static_cast<std::uint8_t>(std::max<int>(block->Count, current_item_ + 1));
  ir::TCrcItem& item = block->Items[static_cast<std::size_t>(current_item_)];
  const std::uint16_t aux_const = item.AuxConst;  // reserved fields stay as they were
  const std::uint8_t aux_op = item.AuxOp;
  item = found;
  item.AuxConst = aux_const;
  item.AuxOp = aux_op;
  Changed();
  RefreshAfterFlags();
  return true;
}

}  // namespace klimavo::analysis
