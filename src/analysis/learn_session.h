#pragma once
// A learning session as the Learn remote window runs it: presses arrive one at
// a time (from the learner, the kernel receiver, the pulse feed or a file),
// each with the label the window asks for — the first press of the plan, or a
// label the user typed — and the record is learned again after each.

#include <optional>
#include <string>
#include <string_view>

#include "analysis/remote_learner.h"

namespace klimavo::analysis {

/// Reads a label typed as "mode=cool fan=low temp=24" (blanks between entries).
/// nullopt with `error` naming the token at fault; an empty text is an empty label.
std::optional<capture::CaptureLabel> ParseLabelText(std::string_view text, std::string& error);

class LearnSession {
 public:
  explicit LearnSession(double decode_tolerance = ir::kDefaultDecodeTolerance,
                        config::TimingAdjustments timing = {})
      : learner_(decode_tolerance, timing) {}

  /// Adds a press with `label` and learns again.
  const LearnResult& Add(const ir::Capture& capture, const capture::CaptureLabel& label,
                         const std::string& source);
  /// Adds presses that carry their own labels (a file) and learns again.
  const LearnResult& AddAll(std::vector<LearnInput> inputs);
  /// The label to ask for next: the plan's first press; without a plan, the
  /// last label with the temperature one degree up (the first presses walk
  /// through the temperatures), or the last label as it was.
  capture::CaptureLabel SuggestedLabel() const;

  const LearnResult& Result() const { return result_; }
  int Presses() const { return static_cast<int>(learner_.Inputs().size()); }

 private:
  RemoteLearner learner_;
  LearnResult result_;
  capture::CaptureLabel last_label_;
};

}  // namespace klimavo::analysis
