#pragma once
// The report of the remote learner in text and JSON (docs/learn.md): each
// function with its bits, its values and how sure they are, every labelled
// press checked back through the emulator, the press plan, the presses left
// out and what the record cannot hold.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "analysis/remote_learner.h"

namespace klimavo::analysis {

/// A label as one line of text: "mode=cool fan=low temp=24".
std::string LabelText(const capture::CaptureLabel& label);
/// The JSON object of a label: names in order, values as strings.
nlohmann::ordered_json LabelJson(const capture::CaptureLabel& label);

/// The report as JSON; `index` is the library index of the stored record, if stored.
nlohmann::ordered_json LearnReportJson(const LearnResult& result, std::optional<int> index);
/// The report as text, one line per item, ending in a newline.
std::string LearnReportText(const LearnResult& result);

}  // namespace klimavo::analysis
