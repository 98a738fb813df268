#include "analysis/learn_report.h"

#include "base/text.h"

namespace klimavo::analysis {
namespace {

using Json = nlohmann::ordered_json;

std::string ValuesText(const std::vector<int>& values) {
  std::string text;
  for (int v : values) {
    if (!text.empty()) text += ' ';
    text += v < 0 ? std::string("-") : std::to_string(v);
  }
  return text;
}

std::string ColumnsText(const std::vector<LearnedColumn>& columns) {
  std::string text;
  for (const LearnedColumn& c : columns)
    text += (text.empty() ? "" : ", ") + std::string("frame ") + std::to_string(c.frame) + " bit " +
            std::to_string(c.bit) + " width " + std::to_string(c.width);
  return text.empty() ? "no bits" : text;
}

}  // namespace

std::string LabelText(const capture::CaptureLabel& label) {
  std::string text;
  for (const capture::LabelEntry& e : label) text += (text.empty() ? "" : " ") + e.function + "=" + e.value;
  return text;
}

Json LabelJson(const capture::CaptureLabel& label) {
  Json out = Json::object();
  for (const capture::LabelEntry& e : label) out[e.function] = e.value;
  return out;
}

Json LearnReportJson(const LearnResult& result, std::optional<int> index) {
  Json out;
  out["index"] = index ? Json(*index) : Json(nullptr);
  out["made"] = result.made;
  if (!result.made) out["error"] = result.error;
  out["format"] = result.format;
  out["lsb_first"] = result.record.record.LsbFirst != 0;
  out["checksum_items"] = result.checksum_items;
  Json functions = Json::array();
  for (const LearnedFunction& f : result.functions) {
    Json fn;
    fn["name"] = f.name;
    fn["key"] = f.key >= 0 ? Json(f.key) : Json(nullptr);
    Json bits = Json::array();
    for (const LearnedColumn& c : f.columns)
      bits.push_back({{"frame", c.frame}, {"bit", c.bit}, {"width", c.width}});
    fn["bits"] = bits;
    Json values = Json::array();
    for (const LearnedState& s : f.states) {
      Json v;
      v["state"] = s.name;
      Json column_values = Json::array();
      for (int x : s.values) column_values.push_back(x >= 0 ? Json(x) : Json(nullptr));
      v["value"] = column_values;
      v["basis"] = CertaintyName(s.certainty);
      values.push_back(v);
    }
    fn["values"] = values;
    Json forced = Json::array();
    for (const ForcedByMode& m : f.forced) forced.push_back(m.mode);
    fn["fixed_by_mode"] = forced;
    functions.push_back(fn);
  }
  out["functions"] = functions;
  Json checked = Json::array();
  for (const CheckedPress& c : result.checked) {
    Json one;
    one["source"] = c.source;
    one["label"] = LabelJson(c.label);
    one["equal"] = c.Equal();
    if (!c.sent)
      one["differs_at"] = nullptr;
    else if (c.first_difference)
      one["differs_at"] = *c.first_difference;
    one["sent"] = c.sent;
    checked.push_back(one);
  }
  out["checked"] = checked;
  Json plan = Json::array();
  for (const PlannedPress& p : result.plan)
    plan.push_back({{"label", LabelJson(p.label)}, {"reason", p.reason}});
  out["plan"] = plan;
  Json unused = Json::array();
  for (const UnusedPress& u : result.unused) unused.push_back({{"source", u.source}, {"reason", u.reason}});
  out["unused"] = unused;
  out["notes"] = result.notes;
  return out;
}

std::string LearnReportText(const LearnResult& result) {
  std::string out;
  if (!result.made) return "no record: " + result.error + "\n";
  out += "format " + result.format + ", " + (result.record.record.LsbFirst != 0 ? "LSB" : "MSB") +
         " first, " + std::to_string(result.checksum_items) +
         (result.checksum_items == 1 ? " checksum item\n" : " checksum items\n");
  for (const LearnedFunction& f : result.functions) {
    out += "function " + f.name + (f.key >= 0 ? " (key " + std::to_string(f.key) + ")" : " (no key)") + ": " +
           ColumnsText(f.columns) + "\n";
    for (const LearnedState& s : f.states)
      out += base::Concat({"  ", s.name, " = ", ValuesText(s.values), " ", CertaintyName(s.certainty), "\n"});
    for (const ForcedByMode& m : f.forced) out += "  fixed in mode " + m.mode + "\n";
  }
  int equal = 0;
  for (const CheckedPress& c : result.checked) equal += c.Equal() ? 1 : 0;
  out += "checked " + std::to_string(equal) + " of " + std::to_string(result.checked.size()) +
         " presses equal\n";
  for (const CheckedPress& c : result.checked) {
    if (c.Equal()) continue;
    out += "  " + c.source + " {" + LabelText(c.label) + "}: " +
           (c.sent ? "differs at bit " + std::to_string(*c.first_difference) : std::string("not sent")) +
           "\n";
  }
  out +=
      "plan: " +
      (result.plan.empty() ? std::string("nothing open") : std::to_string(result.plan.size()) + " presses") +
      "\n";
  for (const PlannedPress& p : result.plan) out += "  " + LabelText(p.label) + "  (" + p.reason + ")\n";
  for (const UnusedPress& u : result.unused) out += "unused " + u.source + ": " + u.reason + "\n";
  for (const std::string& n : result.notes) out += "note: " + n + "\n";
  return out;
}

}  // namespace klimavo::analysis
