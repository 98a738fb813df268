#include "capture/signal_export.h"

#include <algorithm>

#include "base/gbk.h"
#include "capture/climate_json.h"
#include "firmware/chip_emulator.h"
#include "firmware/table_image.h"
#include "ir/decode.h"
#include "lang/language.h"

namespace klimavo::capture {
namespace {

constexpr std::array<std::string_view, 6> kRoles = {"power", "temp", "mode", "fan", "swing", "vane"};
/// Functions as a key's name says them, in the order they are looked for
/// ("MODE/FAN" is the mode key).
constexpr std::array<std::string_view, 6> kNameWords = {"power", "temp", "mode", "fan", "swing", "vane"};
/// Order of the functions in a label.
constexpr std::array<std::string_view, 6> kLabelOrder = {"power", "mode", "fan", "temp", "swing", "vane"};
constexpr std::uint8_t kKindPublic = 0;
constexpr std::uint8_t kKindPrivate = 1;
constexpr int kEnglish = 1;

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// English, lower case, UTF-8: the built-in names translated, other bytes read as GBK.
std::string EnglishText(std::string_view gbk, bool key_name) {
  const std::string english =
      key_name ? lang::TranslateKeyName(gbk, kEnglish) : lang::TranslateStateName(gbk, kEnglish);
  std::string trimmed = base::GbkToUtf8(english);
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.erase(trimmed.begin());
  return Lower(trimmed);
}

// A state is set unless the key has value columns and none of them gives it a value.
bool StateIsSet(const store::TdiskKey& key, int function_index, int state) {
  if (function_index == 0) return true;  // the power key's two codes may each leave one state unset
  bool has_values = false;
  for (const store::TdiskBitColumn& c : key.Columns) {
    if (!c.InUse() || (c.Kind != kKindPublic && c.Kind != kKindPrivate)) continue;
    has_values = true;
    if (c.Values[static_cast<std::size_t>(state)] != store::kUnsetValue) return true;
  }
  return !has_values;
}

}  // namespace

std::string KeyFunction(const store::TdiskKey& key, int index) {
  const std::string name = EnglishText(key.Name.str(), true);
  for (std::string_view word : kNameWords)
    if (name.find(word) != std::string::npos) return std::string(word);
  return index >= 0 && index < static_cast<int>(kRoles.size())
             ? std::string(kRoles[static_cast<std::size_t>(index)])
             : name;
}

std::string StateLabelValue(std::string_view function, std::string_view state_name, int state) {
  std::string value = EnglishText(state_name, false);
  if (value.empty()) return "state" + std::to_string(state);
  if (function == "temp") {
    const std::size_t end = value.find_first_not_of("0123456789.");
    if (end != 0 && (end == std::string::npos || value.find_first_of("0123456789", end) == std::string::npos))
      return value.substr(0, end);
  } else if (function == "mode") {
    if (value == "dehum") return "dry";
    if (value == "fan") return "fan_only";
  } else if (function == "swing") {
    if (value == "stop") return "off";
    if (value == "swing") return "on";
  }
  return value;
}

SignalExporter::SignalExporter(const store::TdiskAir& record, const store::TBtnLines& lines,
                               const config::TimingAdjustments& timing)
    : record_(record), timing_(timing) {
  const int built = firmware::BuildTableImage(record, lines, false, timing, image_);
  if (built != 0) image_error_ = "the table image cannot be built (error " + std::to_string(built) + ")";
  const int used = std::min<int>(static_cast<int>(record.UsedKeys()), firmware::kFunctionKeys);
  for (int k = 0; k < used; ++k) {
    const store::TdiskKey& key = record.Keys[static_cast<std::size_t>(k)];
    const int states = std::min<int>(key.StateCount, static_cast<int>(store::kMaxStates));
    if (states == 0) continue;
    ExportKey e{k, KeyFunction(key, k), {}};
    for (int s = 0; s < states; ++s) {
      if (StateIsSet(key, k, s))
        e.values.push_back(StateLabelValue(e.function, key.StateNames[static_cast<std::size_t>(s)].str(), s));
      else
        e.values.push_back(std::nullopt);
    }
    keys_.push_back(std::move(e));
  }
  for (const ExportKey& key : keys_) {
    int state = 0;
    const auto first_set =
        std::find_if(key.values.begin(), key.values.end(), [](const auto& v) { return v.has_value(); });
    if (first_set != key.values.end()) state = static_cast<int>(first_set - key.values.begin());
    if (key.function == "power") {
      const auto on = std::find(key.values.begin(), key.values.end(), std::optional<std::string>("on"));
      state = on != key.values.end() ? static_cast<int>(on - key.values.begin())
                                     : (key.values.size() > 1 ? 1 : 0);
    }
    power_on_[static_cast<std::size_t>(key.index)] = state;
  }
}

const ExportKey* SignalExporter::KeyOf(int index) const {
  for (const ExportKey& k : keys_)
    if (k.index == index) return &k;
  return nullptr;
}

const ExportKey* SignalExporter::KeyFor(std::string_view function) const {
  for (const ExportKey& k : keys_)
    if (k.function == function) return &k;
  return nullptr;
}

CaptureLabel SignalExporter::FullLabel(const KeyStates& states) const {
  CaptureLabel label;
  auto add = [&](const ExportKey& k) {
    const auto s = static_cast<std::size_t>(states[static_cast<std::size_t>(k.index)]);
    if (s < k.values.size() && k.values[s]) label.push_back({k.function, *k.values[s]});
  };
  for (std::string_view function : kLabelOrder)
    for (const ExportKey& k : keys_)
      if (k.function == function) add(k);
  for (const ExportKey& k : keys_)
    if (std::find(kLabelOrder.begin(), kLabelOrder.end(), k.function) == kLabelOrder.end()) add(k);
  return label;
}

std::optional<std::string> SignalExporter::Emulate(const KeyStates& states, int pressed,
                                                   CaptureRead& capture) const {
  if (image_error_) return image_error_;
  firmware::StateBlock block{};
  for (std::size_t k = 0; k < states.size(); ++k) block[k] = states[k];
  block[6] = pressed;
  firmware::TACRusher rusher(timing_);
  rusher.Load(record_.LsbFirst != 0, image_, block);
  ir::TIRIntegerArr durations;
  if (!rusher.Run(durations)) return std::string("the table image does not run");
  if (rusher.ErrorCode() != firmware::kEmulatorOk)
    return "the emulator reports error code " + std::to_string(rusher.ErrorCode());
  if (durations.empty()) return std::string("the emulator gives no signal");
  capture.durations = std::move(durations);
  capture.carrier = ir::kDefaultCarrier;
  capture.unit = DurationUnit::kMicroseconds;
  return std::nullopt;
}

namespace {

std::string StatesText(const KeyStates& states) {
  std::string out;
  for (std::size_t k = 0; k < states.size(); ++k) {
    if (k) out += ',';
    out += std::to_string(states[k]);
  }
  return out;
}

}  // namespace

SignalExport SignalExporter::ExportKeys(const KeyExportRequest& request) const {
  SignalExport out;
  std::vector<int> chosen;
  if (request.keys) {
    for (int k : *request.keys) {
      if (!KeyOf(k)) {
        out.error = "key " + std::to_string(k) + " is not a function key of the record (0..5 with states)";
        out.bad_request = true;
        return out;
      }
      chosen.push_back(k);
    }
  } else {
    for (const ExportKey& k : keys_) chosen.push_back(k.index);
  }
  if (request.states) {
    for (std::size_t k = 0; k < request.states->size(); ++k) {
      const int s = (*request.states)[k];
      const ExportKey* key = KeyOf(static_cast<int>(k));
      const int limit = key ? static_cast<int>(key->values.size()) : 1;
      if (s < 0 || s >= limit) {
        out.error = "state " + std::to_string(s) + " of key " + std::to_string(k) +
                    " is not in the record (" + std::to_string(limit) + (limit == 1 ? " state)" : " states)");
        out.bad_request = true;
        return out;
      }
    }
  }
  for (int k : chosen) {
    const ExportKey& key = *KeyOf(k);
    std::vector<KeyStates> runs;
    if (request.states) {
      runs.push_back(*request.states);
    } else {
      for (std::size_t s = 0; s < key.values.size(); ++s) {
        if (!key.values[s]) continue;
        KeyStates states = power_on_;
        states[static_cast<std::size_t>(k)] = static_cast<int>(s);
        runs.push_back(states);
      }
    }
    for (const KeyStates& states : runs) {
      const auto s = static_cast<std::size_t>(states[static_cast<std::size_t>(k)]);
      CaptureRead capture;
      capture.name = key.function + "/" + key.values[s].value_or("state" + std::to_string(s));
      capture.label = FullLabel(states);
      if (auto fault = Emulate(states, k, capture)) {
        out.error = "key " + std::to_string(k) + " in states " + StatesText(states) + ": " + *fault;
        out.captures.clear();
        return out;
      }
      out.captures.push_back(std::move(capture));
    }
  }
  return out;
}

namespace {

constexpr std::string_view kPressed = "pressed";
constexpr std::string_view kCombined = "combined";
constexpr std::string_view kInterpolated = "interpolated";

// The function a label name stands for, as the learner reads it.
std::string CanonicalFunction(std::string_view name) {
  const std::string lower = Lower(std::string(name));
  if (lower == "temperature") return "temp";
  if (lower == "fan_speed") return "fan";
  if (lower == "swing_v") return "swing";
  if (lower == "swing_h") return "vane";
  return lower;
}

// The learned presses in the export's own words, and the words they used.
class PressedIndex {
 public:
  PressedIndex(const std::vector<CaptureLabel>& pressed, const std::vector<ExportKey>& keys) : keys_(keys) {
    for (const CaptureLabel& label : pressed) presses_.push_back(Canonical(label));
  }

  // A label in the export's words; the words the label used are remembered.
  CaptureLabel Canonical(const CaptureLabel& label) {
    CaptureLabel canonical;
    for (const LabelEntry& e : label) {
      LabelEntry c{CanonicalFunction(e.function), e.value};
      for (const ExportKey& key : keys_) {
        if (key.function != c.function) continue;
        for (const std::optional<std::string>& v : key.values)
          if (v && (*v == e.value || *v == StateLabelValue(c.function, e.value.substr(0, 8), 0)))
            c.value = *v;
      }
      if (std::none_of(given_.begin(), given_.end(), [&](const auto& g) { return g.first == c; }))
        given_.push_back({c, e});
      if (std::none_of(names_.begin(), names_.end(), [&](const auto& n) { return n.first == c.function; }))
        names_.push_back({c.function, e.function});
      canonical.push_back(std::move(c));
    }
    return canonical;
  }

  const std::vector<CaptureLabel>& Presses() const { return presses_; }

  // How the code of a state came about: its label (power on) or {power: off}.
  std::string_view Basis(const CaptureLabel& label) const {
    for (const LabelEntry& e : label)
      if (e.function == "temp" &&
          std::none_of(presses_.begin(), presses_.end(), [&](const CaptureLabel& p) { return Has(p, e); }))
        return kInterpolated;
    for (const CaptureLabel& press : presses_)
      if (Shows(press, label)) return kPressed;
    return kCombined;
  }

  static bool Has(const CaptureLabel& press, const LabelEntry& e) {
    return std::find(press.begin(), press.end(), e) != press.end();
  }
  // Whether a press (export words) is of the state of an exported label.
  static bool Shows(const CaptureLabel& press, const CaptureLabel& label) {
    const LabelEntry off{"power", "off"};
    if (Has(press, off) != Has(label, off)) return false;
    return std::all_of(label.begin(), label.end(), [&](const LabelEntry& e) { return Has(press, e); });
  }

  // The label with each function and value as the presses first wrote them
  // (a value never pressed, such as an interpolated degree, as the export writes it).
  CaptureLabel GivenForm(const CaptureLabel& label) const {
    CaptureLabel out;
    for (const LabelEntry& e : label) {
      const auto g = std::find_if(given_.begin(), given_.end(), [&](const auto& p) { return p.first == e; });
      LabelEntry entry = g != given_.end() ? g->second : e;
      const auto n =
          std::find_if(names_.begin(), names_.end(), [&](const auto& p) { return p.first == e.function; });
      if (n != names_.end()) entry.function = n->second;
      out.push_back(std::move(entry));
    }
    return out;
  }

 private:
  const std::vector<ExportKey>& keys_;
  std::vector<CaptureLabel> presses_;
  std::vector<std::pair<LabelEntry, LabelEntry>> given_;    ///< export form, given form
  std::vector<std::pair<std::string, std::string>> names_;  ///< export function, given name
};

// Whether two signals read as the same bits (both must decode).
bool SameBits(const CaptureRead& a, const CaptureRead& b) {
  ir::Tcomp_aval da;
  ir::Tcomp_aval db;
  const ir::Capture ca = ToCapture(a);
  const ir::Capture cb = ToCapture(b);
  if (!ir::DecodeCapture(ca.Durations, ca.Carrier, false, true, ir::kDefaultDecodeTolerance, da) ||
      !ir::DecodeCapture(cb.Durations, cb.Carrier, false, true, ir::kDefaultDecodeTolerance, db))
    return true;  // nothing to tell them apart by
  return da.Bits == db.Bits;
}

// What the presses that are not reproduced point at: for each such press,
// the entries of its label (power aside) that no reproduced press shares;
// when every entry is shared, its mode (a mode that encodes a field its own
// way makes some of its codes come out right and others not), else the
// press's own state. A state that carries all of one press's entries is withheld.
std::vector<CaptureLabel> Suspects(const std::vector<CaptureLabel>& presses,
                                   const std::vector<CaptureLabel>& failing) {
  std::vector<CaptureLabel> reproduced;
  for (const CaptureLabel& p : presses)
    if (std::find(failing.begin(), failing.end(), p) == failing.end()) reproduced.push_back(p);
  std::vector<CaptureLabel> suspects;
  for (const CaptureLabel& f : failing) {
    CaptureLabel own;
    for (const LabelEntry& e : f)
      if (e.function != "power" || e.value == "off")
        if (std::none_of(reproduced.begin(), reproduced.end(),
                         [&](const CaptureLabel& r) { return PressedIndex::Has(r, e); }))
          own.push_back(e);
    if (own.empty()) {
      const auto mode =
          std::find_if(f.begin(), f.end(), [](const LabelEntry& e) { return e.function == "mode"; });
      if (mode != f.end()) own.push_back(*mode);
    }
    suspects.push_back(own.empty() ? f : own);
  }
  return suspects;
}

}  // namespace

SignalExport SignalExporter::ExportAllStates(const AllStatesRequest& request) const {
  SignalExport out = ExportAllStates(request.press);
  if ((!request.pressed && request.pressed_codes.empty()) || out.error) return out;
  std::vector<CaptureLabel> labels = request.pressed.value_or(std::vector<CaptureLabel>{});
  for (const CaptureRead& c : request.pressed_codes)
    if (!c.label.empty()) labels.push_back(c.label);
  PressedIndex index(labels, keys_);
  std::vector<CaptureLabel> failing;
  for (const CaptureLabel& l : request.not_reproduced) failing.push_back(index.Canonical(l));
  for (const CaptureRead& pressed : request.pressed_codes) {
    if (pressed.label.empty()) continue;
    const CaptureLabel label = index.Canonical(pressed.label);
    for (const CaptureRead& code : out.captures)
      if (PressedIndex::Shows(label, code.label) && !SameBits(pressed, code)) failing.push_back(label);
  }
  const std::vector<CaptureLabel> suspects = Suspects(index.Presses(), failing);
  std::vector<CaptureRead> kept;
  for (CaptureRead& capture : out.captures) {
    const bool withheld = std::any_of(suspects.begin(), suspects.end(), [&](const CaptureLabel& s) {
      return std::all_of(s.begin(), s.end(),
                         [&](const LabelEntry& e) { return PressedIndex::Has(capture.label, e); });
    });
    if (withheld) {
      ++out.withheld;
      continue;
    }
    capture.basis = std::string(index.Basis(capture.label));
    if (request.given_form) capture.label = index.GivenForm(capture.label);
    kept.push_back(std::move(capture));
  }
  out.captures = std::move(kept);
  return out;
}

TableText WriteAllStatesTable(const SignalExporter& exporter, const store::TdiskAir& record,
                              const CaptureFormat& format, AllStatesRequest request) {
  TableText out;
  const bool climate = std::string_view(format.id) == "climate-json";
  if (climate) request.given_form = false;
  SignalExport result = exporter.ExportAllStates(request);
  if (result.error) {
    out.error = std::move(result.error);
    out.bad_request = result.bad_request;
    return out;
  }
  std::optional<WriteError> fault;
  if (climate)
    fault = WriteClimateJson(
        result.captures,
        ClimateFileInfo{base::GbkToUtf8(record.Brand.str()), {base::GbkToUtf8(record.CodeNo.str())}},
        out.text);
  else if (format.write)
    fault = format.write(result.captures, out.text);
  else
    out.error = std::string("format ") + std::string(format.id) + " cannot be written";
  if (fault) out.error = fault->message;
  if (out.error) out.text.clear();
  out.codes = result.captures.size();
  out.withheld = result.withheld;
  return out;
}

SignalExport SignalExporter::ExportAllStates(std::optional<int> press) const {
  SignalExport out;
  const ExportKey* power = KeyFor("power");
  const ExportKey* mode = KeyFor("mode");
  const ExportKey* fan = KeyFor("fan");
  const ExportKey* temp = KeyFor("temp");
  const ExportKey* swing = KeyFor("swing");
  if (!mode && !fan && !temp && !swing) {
    out.error = "the record has no mode, fan, temperature or swing key";
    return out;
  }
  const ExportKey* pressed = press ? KeyOf(*press) : temp ? temp : mode ? mode : power;
  if (!pressed) {
    out.error =
        press ? "key " + std::to_string(*press) + " is not a function key of the record (0..5 with states)"
              : "the record has no key to press";
    out.bad_request = true;
    return out;
  }
  auto run = [&](const KeyStates& states, int key, std::string name, CaptureLabel label) {
    CaptureRead capture;
    capture.name = std::move(name);
    capture.label = std::move(label);
    if (auto fault = Emulate(states, key, capture)) {
      out.error = "states " + StatesText(states) + " (" + *capture.name + "): " + *fault;
      return false;
    }
    out.captures.push_back(std::move(capture));
    return true;
  };
  if (power) {
    const auto off = std::find(power->values.begin(), power->values.end(), std::optional<std::string>("off"));
    KeyStates states = power_on_;
    states[static_cast<std::size_t>(power->index)] =
        off != power->values.end() ? static_cast<int>(off - power->values.begin()) : 0;
    if (!run(states, power->index, "off", {{"power", "off"}})) {
      out.captures.clear();
      return out;
    }
  }
  // The set states of a key, or one "no choice" when the record lacks the key.
  auto choices = [](const ExportKey* key) {
    std::vector<int> states;
    if (!key) return std::vector<int>{-1};
    for (std::size_t s = 0; s < key->values.size(); ++s)
      if (key->values[s]) states.push_back(static_cast<int>(s));
    return states;
  };
  for (int m : choices(mode))
    for (int f : choices(fan))
      for (int w : choices(swing))
        for (int t : choices(temp)) {
          KeyStates states = power_on_;
          CaptureLabel label;
          std::string name;
          auto take = [&](const ExportKey* key, int s, std::string_view function) {
            if (!key) return;
            states[static_cast<std::size_t>(key->index)] = s;
            label.push_back({std::string(function), *key->values[static_cast<std::size_t>(s)]});
          };
          take(mode, m, "mode");
          take(fan, f, "fan");
          take(temp, t, "temp");
          take(swing, w, "swing");
          for (const ExportKey* key : {mode, fan, swing, temp})
            if (key)
              name += (name.empty() ? "" : "/") +
                      *key->values[static_cast<std::size_t>(states[static_cast<std::size_t>(key->index)])];
          if (!run(states, pressed->index, name, label)) {
            out.captures.clear();
            return out;
          }
        }
  return out;
}

}  // namespace klimavo::capture
