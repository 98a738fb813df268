#pragma once
// The label of a capture: the state of the remote when it was pressed, as the
// capture file names it ("mode" = "cool", "fan" = "low", "temp" = "24"). Labels
// come from JSON Lines ("label" objects), from "# label" comment lines of the
// other text formats and from the place of a code in a climate-code collection.

#include <string>
#include <vector>

namespace klimavo::capture {

/// One function of the remote's state and its value, both as the file writes them.
struct LabelEntry {
  std::string function;  ///< "power", "mode", "fan", "temp", "swing" or any other name
  std::string value;     ///< "on", "cool", "low", "24", …
  bool operator==(const LabelEntry&) const = default;
};

/// The state of the remote for one capture, in the order the file gives it;
/// empty when the capture carries no label.
using CaptureLabel = std::vector<LabelEntry>;

}  // namespace klimavo::capture
