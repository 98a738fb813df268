#include "analysis/learn_session.h"

#include <charconv>

namespace klimavo::analysis {
namespace {

constexpr int kHighestTemperature = 32;

bool IsTemperature(const std::string& name) { return name == "temp" || name == "temperature"; }

}  // namespace

std::optional<capture::CaptureLabel> ParseLabelText(std::string_view text, std::string& error) {
  capture::CaptureLabel label;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at >= text.size()) break;
    std::size_t end = at;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    const std::string_view token = text.substr(at, end - at);
    const std::size_t eq = token.find('=');
    if (eq == 0 || eq == std::string_view::npos || eq + 1 == token.size()) {
      error = "not name=value: '" + std::string(token) + "'";
      return std::nullopt;
    }
    capture::LabelEntry entry{std::string(token.substr(0, eq)), std::string(token.substr(eq + 1))};
    bool replaced = false;
    for (capture::LabelEntry& e : label)
      if (e.function == entry.function) {
        e.value = entry.value;
        replaced = true;
      }
    if (!replaced) label.push_back(std::move(entry));
    at = end;
  }
  return label;
}

const LearnResult& LearnSession::Add(const ir::Capture& capture, const capture::CaptureLabel& label,
                                     const std::string& source) {
  learner_.Add({source, label, capture});
  if (!label.empty()) last_label_ = label;
  result_ = learner_.Learn();
  return result_;
}

const LearnResult& LearnSession::AddAll(std::vector<LearnInput> inputs) {
  for (LearnInput& in : inputs) {
    if (!in.label.empty()) last_label_ = in.label;
    learner_.Add(std::move(in));
  }
  result_ = learner_.Learn();
  return result_;
}

capture::CaptureLabel LearnSession::SuggestedLabel() const {
  if (!result_.plan.empty()) return result_.plan.front().label;
  capture::CaptureLabel next = last_label_;
  for (capture::LabelEntry& e : next) {
    if (!IsTemperature(e.function)) continue;
    int degrees = 0;
    const auto [end, ec] = std::from_chars(e.value.data(), e.value.data() + e.value.size(), degrees);
    if (ec == std::errc() && end == e.value.data() + e.value.size() && degrees < kHighestTemperature)
      e.value = std::to_string(degrees + 1);
  }
  return next;
}

}  // namespace klimavo::analysis
