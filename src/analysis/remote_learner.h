#pragma once
// Learning a whole remote from labelled presses. Each capture carries the
// state of the remote when it was pressed ("mode" = "cool", "temp" = "24", …).
// The learner reads them all with one format, finds which bits follow which
// function (and which bits a mode forces), finds the checksum, and builds an
// ordinary protocol record: one key per function with its states, bit-field
// columns with one value per state, the stored code and the checksum items.
// Every labelled press is then sent again through the chip emulator and
// compared bit by bit, and a press plan names the few further presses that
// would settle what the presses so far leave open.
//
// The learner never invents a value it did not see: a temperature between two
// pressed ones is interpolated only when the pressed ones lie on one straight
// line, and a state whose bits no press isolates stays unset.

#include <optional>
#include <string>
#include <vector>

#include "capture/capture_label.h"
#include "config/config.h"
#include "ir/decode.h"
#include "ir/ir_types.h"
#include "store/record_json.h"

namespace klimavo::analysis {

/// One labelled press as the learner takes it.
struct LearnInput {
  std::string source;           ///< where it came from, e.g. "codes.jsonl:12"
  capture::CaptureLabel label;  ///< empty: the press can only help find the checksum
  ir::Capture capture;          ///< durations in 0.1 µs
};

/// How sure the learner is of the value of one state.
enum class Certainty {
  kSeen,          ///< a press shows it
  kInterpolated,  ///< a temperature between pressed ones on one straight line
  kUnset,         ///< no press isolates it: the record leaves it unset
};
/// "seen", "interpolated", "unset".
const char* CertaintyName(Certainty certainty);

/// Where a column of a function lies in the code.
struct LearnedColumn {
  int frame = 0;
  int bit = 0;    ///< first bit within the frame
  int width = 0;  ///< at most 8
};

/// One state of a learned function.
struct LearnedState {
  std::string name;  ///< as the labels write it ("cool", "24")
  Certainty certainty = Certainty::kUnset;
  std::vector<int> values;  ///< one per column; -1 = unset
};

/// A mode state that forces the fields of a function to one value.
struct ForcedByMode {
  std::string mode;  ///< the mode state's name
};

/// One function of the remote and the key that holds it.
struct LearnedFunction {
  std::string name;  ///< the label's name ("mode")
  int key = -1;      ///< the record's key, -1 when the record has no room for it
  bool temperature = false;
  std::vector<LearnedColumn> columns;
  std::vector<LearnedState> states;  ///< in key state order
  std::vector<ForcedByMode> forced;  ///< modes that fix this function's fields
};

/// One labelled press sent again through the emulator.
struct CheckedPress {
  std::string source;
  capture::CaptureLabel label;
  bool sent = false;                    ///< the emulator produced a signal that reads with the format
  std::optional<int> first_difference;  ///< none: equal
  bool Equal() const { return sent && !first_difference.has_value(); }
};

/// A further press worth making, and why.
struct PlannedPress {
  capture::CaptureLabel label;
  std::string reason;
};

/// A press the learner left out, and why.
struct UnusedPress {
  std::string source;
  std::string reason;
};

struct LearnResult {
  bool made = false;  ///< false: no record (error says why)
  std::string error;
  store::EditableRecord record;
  std::string format;  ///< the format text of the record
  std::vector<LearnedFunction> functions;
  std::vector<CheckedPress> checked;
  std::vector<PlannedPress> plan;  ///< most useful first
  std::vector<UnusedPress> unused;
  /// What the record cannot hold, and states left unset.
  std::vector<std::string> notes;
  int checksum_items = 0;

  /// Every labelled press that was used comes out of the emulator bit-exact.
  bool AllReproduced() const;
};

/// Collects labelled presses and learns a record from them.
class RemoteLearner {
 public:
  explicit RemoteLearner(double decode_tolerance = ir::kDefaultDecodeTolerance,
                         config::TimingAdjustments timing = {})
      : tolerance_(decode_tolerance), timing_(timing) {}

  void Add(LearnInput input) { inputs_.push_back(std::move(input)); }
  void Clear() { inputs_.clear(); }
  const std::vector<LearnInput>& Inputs() const { return inputs_; }

  /// Learns from every press added so far (brand and code number go into the record).
  LearnResult Learn(const std::string& brand = "Learned", const std::string& code = "0001") const;

 private:
  double tolerance_;
  config::TimingAdjustments timing_;
  std::vector<LearnInput> inputs_;
};

}  // namespace klimavo::analysis
