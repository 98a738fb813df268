#pragma once
// The signals of a record as a programmed remote would send them, ready to be
// written in any capture format: the table image of the record runs in the
// chip emulator once per key and state asked for, and each signal becomes a
// named, labelled capture.
//
// Keys 0..5 are the function keys the emulator knows (power, temperature,
// mode, fan, swing, vane). A key's label function comes from its name when the
// name says one ("Fan", "风量") and from its place otherwise; a state's label
// value from its name in English, in the words the climate-code collections
// use ("Dehum" is "dry", a mode "Fan" is "fan_only", a swing "Stop" is "off",
// "24℃" is "24"). A state that none of the key's value columns sets (the
// learner leaves states it never saw unset) is not exported.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "config/config.h"
#include "store/protocol_record.h"

namespace klimavo::capture {

/// One function key of the record as the export sees it.
struct ExportKey {
  int index = 0;
  std::string function;  ///< "power", "temp", "mode", "fan", "swing" or "vane"
  /// The label value of each state; nullopt for a state that is not set.
  std::vector<std::optional<std::string>> values;
};

/// A state of the six function keys, as the emulator takes it.
using KeyStates = std::array<int, 6>;

/// What to export. Without `states`, each chosen key runs through its states
/// with the other keys at the power-on state; with them, each chosen key is
/// pressed once in that state. Without `keys`, every function key is chosen.
struct KeyExportRequest {
  std::optional<std::vector<int>> keys;
  std::optional<KeyStates> states;
};

/// What an export of every state asks for.
struct AllStatesRequest {
  /// The key pressed (default: the temperature key, else the mode key, else power).
  std::optional<int> press;
  /// The labels of the presses a learned record was made from. With them each
  /// signal carries its basis: "pressed" when a press showed that combination,
  /// "interpolated" when its temperature was never pressed, "combined" when it
  /// joins functions that were each pressed but never together. Its label then
  /// uses the function names and values as those presses wrote them, unless
  /// `given_form` is false (a climate-code file needs its own words).
  std::optional<std::vector<CaptureLabel>> pressed;
  bool given_form = true;
  /// Presses (of `pressed`) whose code the record does not reproduce, as the
  /// learner's check back found them. Their states are not exported, nor the
  /// states that share what only such presses show (a mode whose codes the
  /// record cannot hold): a missing code is better than a wrong one.
  std::vector<CaptureLabel> not_reproduced;
  /// The pressed codes themselves, when they are at hand: each is compared
  /// with the table's code of its state, and one that differs counts as not
  /// reproduced. Their labels count as pressed.
  std::vector<CaptureRead> pressed_codes;
};

/// The signals, or the first fault (an image that cannot be built, a state
/// the emulator cannot run, a key or state that is not in the record).
struct SignalExport {
  std::vector<CaptureRead> captures;  ///< durations in µs, carrier 38000
  std::optional<std::string> error;
  /// States left out because pressed codes of theirs were not reproduced.
  std::size_t withheld = 0;
  bool bad_request = false;  ///< the error is a key or state the record does not have
};

class SignalExporter {
 public:
  SignalExporter(const store::TdiskAir& record, const store::TBtnLines& lines,
                 const config::TimingAdjustments& timing);

  /// The function keys in use (index order).
  const std::vector<ExportKey>& Keys() const { return keys_; }
  /// The power-on state: power on, every other key at its first set state.
  const KeyStates& PowerOnState() const { return power_on_; }

  /// The key presses a request asks for.
  SignalExport ExportKeys(const KeyExportRequest& request) const;
  /// Every combination of the record's states: off once, then mode, fan,
  /// temperature and swing (those the record has), each pressed with
  /// `press` (default: the temperature key, else the mode key, else power).
  /// Labels and names are those of a climate-code file: {power: off} and
  /// "off"; {mode, fan, temp, swing} and "cool/low/[swing/]24".
  SignalExport ExportAllStates(std::optional<int> press = std::nullopt) const;
  /// The same with the learned presses' basis and label forms (see AllStatesRequest).
  SignalExport ExportAllStates(const AllStatesRequest& request) const;

 private:
  const ExportKey* KeyOf(int index) const;
  const ExportKey* KeyFor(std::string_view function) const;
  /// Runs one state with one key pressed; fills the capture or returns the fault.
  std::optional<std::string> Emulate(const KeyStates& states, int pressed, CaptureRead& capture) const;
  CaptureLabel FullLabel(const KeyStates& states) const;

  const store::TdiskAir& record_;
  config::TimingAdjustments timing_;
  base::Bytes image_;
  std::optional<std::string> image_error_;
  std::vector<ExportKey> keys_;
  KeyStates power_on_{};
};

/// Every state of a record written as one file of `format` (climate-json
/// included): the text, or the fault. The command line's export and the
/// Learn remote window both write the table through this.
struct TableText {
  std::string text;
  std::size_t codes = 0;     ///< the signals written
  std::size_t withheld = 0;  ///< states left out: the record does not reproduce their presses
  std::optional<std::string> error;
  bool bad_request = false;  ///< the error is a key the record does not have
};
TableText WriteAllStatesTable(const SignalExporter& exporter, const store::TdiskAir& record,
                              const CaptureFormat& format, AllStatesRequest request);

/// The label function of a key from its name, else from its place (0..5).
std::string KeyFunction(const store::TdiskKey& key, int index);
/// The label value of a state name for a key of that function.
std::string StateLabelValue(std::string_view function, std::string_view state_name, int state);

}  // namespace klimavo::capture
