#include "analysis/learner_plan.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

namespace klimavo::analysis {
namespace {

constexpr int kKeyTemp = 1;
constexpr int kKeyFan = 3;

class Planner {
 public:
  Planner(const std::vector<LearnedFunction>& functions, const std::vector<LabelledRow>& rows,
          std::size_t base_row)
      : functions_(functions), base_(rows[base_row].states), base_bits_(rows[base_row].bits) {
    for (const LabelledRow& row : rows) made_.insert(row.states);
  }

  // The base press with some functions set to other states.
  std::vector<int> Varied(std::initializer_list<std::pair<int, int>> changes) const {
    std::vector<int> states = base_;
    for (const auto& [f, s] : changes) states[static_cast<std::size_t>(f)] = s;
    return states;
  }

  void Add(const std::vector<int>& states, const std::string& reason) {
    if (!made_.insert(states).second) return;
    PlannedPress press;
    for (std::size_t f = 0; f < functions_.size(); ++f) {
      const int s = states[f];
      if (s < 0 || functions_[f].key < 0) continue;
      press.label.push_back({functions_[f].name, functions_[f].states[static_cast<std::size_t>(s)].name});
    }
    press.reason = reason;
    plan_.push_back(std::move(press));
  }

  bool HasColumns(int f) const { return f >= 0 && !functions_[static_cast<std::size_t>(f)].columns.empty(); }
  const std::vector<int>& Base() const { return base_; }
  const ir::TSSByteArray& BaseBits() const { return base_bits_; }
  std::vector<PlannedPress> Take() { return std::move(plan_); }

 private:
  const std::vector<LearnedFunction>& functions_;
  std::vector<int> base_;
  ir::TSSByteArray base_bits_;
  std::set<std::vector<int>> made_;
  std::vector<PlannedPress> plan_;
};

int FunctionOfKey(const std::vector<LearnedFunction>& functions, int key) {
  for (std::size_t i = 0; i < functions.size(); ++i)
    if (functions[i].key == key) return static_cast<int>(i);
  return -1;
}

std::string Names(const std::vector<LearnedFunction>& functions, const std::vector<int>& indexes) {
  std::string text;
  for (int f : indexes) text += (text.empty() ? "" : " and ") + functions[static_cast<std::size_t>(f)].name;
  return text;
}

// Bits that several functions explain alike: vary one of them alone from the base press.
void SeparateAmbiguous(Planner& plan, const std::vector<LearnedFunction>& functions,
                       const std::vector<LabelledRow>& rows, const std::vector<BitOwner>& owners) {
  std::set<std::vector<int>> done;
  for (std::size_t b = 0; b < owners.size(); ++b) {
    const BitOwner& o = owners[b];
    if (o.role != BitRole::kAmbiguous || !done.insert(o.candidates).second) continue;
    for (const LabelledRow& row : rows) {
      if (row.bits[b] == plan.BaseBits()[b]) continue;
      bool added = false;
      for (int f : o.candidates) {
        const int s = row.states[static_cast<std::size_t>(f)];
        if (s < 0 || s == plan.Base()[static_cast<std::size_t>(f)] ||
            functions[static_cast<std::size_t>(f)].key < 0)
          continue;
        plan.Add(plan.Varied({{f, s}}), "bits change with " + Names(functions, o.candidates) +
                                            " alike: this press tells them apart");
        added = true;
        break;
      }
      if (added) break;
    }
  }
}

// States whose bits no press isolates.
void AskUnset(Planner& plan, const std::vector<LearnedFunction>& functions) {
  for (std::size_t f = 0; f < functions.size(); ++f) {
    if (functions[f].key < 0 || !plan.HasColumns(static_cast<int>(f))) continue;
    for (std::size_t s = 0; s < functions[f].states.size(); ++s)
      if (functions[f].states[s].certainty == Certainty::kUnset)
        plan.Add(plan.Varied({{static_cast<int>(f), static_cast<int>(s)}}),
                 functions[f].name + " " + functions[f].states[s].name + " is unset");
  }
}

// Each mode whose presses show one state of a function: press it with another,
// to see whether the mode lets the function change or fixes it.
void AskModeInteraction(Planner& plan, const std::vector<LearnedFunction>& functions,
                        const std::vector<LabelledRow>& rows, int mode_function, int f) {
  if (mode_function < 0 || !plan.HasColumns(f)) return;
  const LearnedFunction& fn = functions[static_cast<std::size_t>(f)];
  const int base_mode = plan.Base()[static_cast<std::size_t>(mode_function)];
  const int base_state = plan.Base()[static_cast<std::size_t>(f)];
  const int modes = static_cast<int>(functions[static_cast<std::size_t>(mode_function)].states.size());
  // The pressed states of f, to pick the one farthest from what a mode showed.
  std::vector<int> pressed;
  for (const LabelledRow& row : rows)
    if (row.states[static_cast<std::size_t>(f)] >= 0)
      pressed.push_back(row.states[static_cast<std::size_t>(f)]);
  std::sort(pressed.begin(), pressed.end());
  pressed.erase(std::unique(pressed.begin(), pressed.end()), pressed.end());
  if (pressed.size() < 2) return;
  for (int m = 0; m < modes; ++m) {
    if (m == base_mode) continue;
    std::set<int> shown;
    for (const LabelledRow& row : rows)
      if (row.states[static_cast<std::size_t>(mode_function)] == m &&
          row.states[static_cast<std::size_t>(f)] >= 0)
        shown.insert(row.states[static_cast<std::size_t>(f)]);
    if (shown.size() >= 2) continue;
    const int seen = shown.empty() ? base_state : *shown.begin();
    int other = -1;
    if (fn.temperature) {
      other = std::abs(pressed.front() - seen) >= std::abs(pressed.back() - seen) ? pressed.front()
                                                                                  : pressed.back();
    } else {
      for (int s : pressed)
        if (s != seen) {
          other = s;
          break;
        }
    }
    if (other < 0 || other == seen) continue;
    plan.Add(plan.Varied({{mode_function, m}, {f, other}}),
             "shows whether " + functions[static_cast<std::size_t>(mode_function)].name + " " +
                 functions[static_cast<std::size_t>(mode_function)].states[static_cast<std::size_t>(m)].name +
                 " lets " + fn.name + " change");
  }
}

}  // namespace

std::vector<PlannedPress> PlanPresses(const std::vector<LearnedFunction>& functions,
                                      const std::vector<LabelledRow>& rows,
                                      const std::vector<BitOwner>& owners, std::size_t base_row,
                                      int mode_function) {
  if (rows.empty()) return {};
  Planner plan(functions, rows, base_row);
  SeparateAmbiguous(plan, functions, rows, owners);
  AskUnset(plan, functions);
  AskModeInteraction(plan, functions, rows, mode_function, FunctionOfKey(functions, kKeyTemp));
  AskModeInteraction(plan, functions, rows, mode_function, FunctionOfKey(functions, kKeyFan));
  return plan.Take();
}

}  // namespace klimavo::analysis
