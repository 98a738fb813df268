#include "analysis/remote_learner.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "analysis/checksum_discovery/checksum_discovery.h"
#include "analysis/learner_bits.h"
#include "analysis/learner_plan.h"
#include "analysis/record_capture.h"
#include "base/date_time.h"
#include "firmware/chip_emulator.h"
#include "firmware/table_image.h"
#include "ir/checksum.h"
#include "ir/protocol.h"
#include "store/library.h"

namespace klimavo::analysis {
namespace {

constexpr int kKeys = 6;
constexpr int kKeyPower = 0;
constexpr int kKeyTemp = 1;
constexpr int kKeyMode = 2;
constexpr int kKeyFan = 3;
constexpr int kMaxColumnWidth = 8;
constexpr std::size_t kMaxChecksumItems = 3;
constexpr std::int32_t kTicksPerMicro = 10;
constexpr const char* kKeyNames[kKeys] = {"Power", "Temp", "Mode", "Fan", "Swing", "Vane"};

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The key of a function named by a label, -1 for a name without a fixed key.
int FixedKeyOf(const std::string& name) {
  static const std::map<std::string, int> keys = {
      {"power", 0},     {"temp", 1},  {"temperature", 1}, {"mode", 2}, {"fan", 3},
      {"fan_speed", 3}, {"swing", 4}, {"swing_v", 4},     {"vane", 5}, {"swing_h", 5}};
  const auto it = keys.find(Lower(name));
  return it == keys.end() ? -1 : it->second;
}

std::optional<double> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::size_t used = 0;
  try {
    const double v = std::stod(text, &used);
    if (used != text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

struct DecodedPress {
  const LearnInput* input = nullptr;
  ir::TSSByteArray bits;
};

// The state of each function a label names, by function name.
std::map<std::string, std::string> LabelMap(const capture::CaptureLabel& label) {
  std::map<std::string, std::string> map;
  for (const capture::LabelEntry& e : label) map.emplace(e.function, e.value);
  return map;
}

// The functions of the presses, each with its key and its states in key order.
std::vector<LearnedFunction> FunctionsOf(const std::vector<DecodedPress>& presses,
                                         std::vector<std::string>& notes) {
  std::vector<LearnedFunction> functions;
  std::vector<std::vector<std::string>> values;
  for (const DecodedPress& p : presses)
    for (const capture::LabelEntry& e : p.input->label) {
      auto it = std::find_if(functions.begin(), functions.end(),
                             [&](const LearnedFunction& f) { return f.name == e.function; });
      if (it == functions.end()) {
        LearnedFunction f;
        f.name = e.function;
        functions.push_back(f);
        values.emplace_back();
        it = functions.end() - 1;
      }
      auto& v = values[static_cast<std::size_t>(it - functions.begin())];
      if (std::find(v.begin(), v.end(), e.value) == v.end()) v.push_back(e.value);
    }
  std::set<int> taken;
  for (LearnedFunction& f : functions) {
    f.key = FixedKeyOf(f.name);
    if (f.key >= 0 && !taken.insert(f.key).second) f.key = -1;
  }
  for (LearnedFunction& f : functions) {
    if (f.key >= 0 || FixedKeyOf(f.name) >= 0) continue;
    for (int k : {5, 4})
      if (taken.insert(k).second) {
        f.key = k;
        break;
      }
  }
  for (std::size_t i = 0; i < functions.size(); ++i) {
    LearnedFunction& f = functions[i];
    std::vector<std::string>& v = values[i];
    if (f.key < 0)
      notes.push_back("the record has no key left for function \"" + f.name +
                      "\"; its presses are learned without it");
    if (f.key == kKeyPower) {
      // Presses that name other functions but not the power are presses of a running unit.
      const bool running_presses = std::any_of(presses.begin(), presses.end(), [&](const DecodedPress& p) {
        const auto label = LabelMap(p.input->label);
        return label.count(f.name) == 0 && !label.empty();
      });
      const bool has_on =
          std::any_of(v.begin(), v.end(), [](const std::string& x) { return Lower(x) == "on"; });
      if (running_presses && !has_on) v.push_back("on");
      std::stable_sort(v.begin(), v.end(), [](const std::string& a, const std::string& b) {
        return Lower(a) == "off" && Lower(b) != "off";
      });
    }
    if (f.key == kKeyTemp) {
      bool numeric = true;
      bool whole = true;
      for (const std::string& s : v) {
        const auto n = Number(s);
        numeric = numeric && n.has_value();
        whole = whole && n.has_value() && *n == std::floor(*n);
      }
      if (numeric) {
        std::stable_sort(v.begin(), v.end(),
                         [](const std::string& a, const std::string& b) { return *Number(a) < *Number(b); });
        if (whole && !v.empty()) {
          f.temperature = true;
          const int lo = static_cast<int>(*Number(v.front()));
          const int hi = static_cast<int>(*Number(v.back()));
          std::vector<std::string> degrees;
          for (int d = lo; d <= hi; ++d) degrees.push_back(std::to_string(d));
          v = degrees;
        }
      }
    }
    if (v.size() > store::kMaxStates) {
      notes.push_back("function \"" + f.name + "\" shows " + std::to_string(v.size()) +
                      " states; a key holds 16, the rest are left out");
      v.resize(store::kMaxStates);
    }
    for (const std::string& s : v) f.states.push_back(LearnedState{s, Certainty::kUnset, {}});
  }
  return functions;
}

// The state index of function f in a label, -1 when the label does not name it.
int StateOf(const LearnedFunction& f, const std::map<std::string, std::string>& label) {
  const auto it = label.find(f.name);
  if (it == label.end()) return -1;
  for (std::size_t s = 0; s < f.states.size(); ++s) {
    if (f.states[s].name == it->second) return static_cast<int>(s);
    if (f.temperature) {
      const auto n = Number(it->second);
      if (n && std::to_string(static_cast<int>(*n)) == f.states[s].name) return static_cast<int>(s);
    }
  }
  return -1;
}

int FunctionOfKey(const std::vector<LearnedFunction>& functions, int key) {
  for (std::size_t i = 0; i < functions.size(); ++i)
    if (functions[i].key == key) return static_cast<int>(i);
  return -1;
}

// A press that names other functions but not the power is a press of a running unit.
void FillPower(const std::vector<LearnedFunction>& functions, std::vector<LabelledRow>& rows) {
  const int power = FunctionOfKey(functions, kKeyPower);
  if (power < 0) return;
  int on = -1;
  const LearnedFunction& f = functions[static_cast<std::size_t>(power)];
  for (std::size_t s = 0; s < f.states.size(); ++s)
    if (Lower(f.states[s].name) == "on") on = static_cast<int>(s);
  if (on < 0) return;
  for (LabelledRow& row : rows) {
    if (row.states[static_cast<std::size_t>(power)] >= 0) continue;
    for (std::size_t i = 0; i < row.states.size(); ++i)
      if (row.states[i] >= 0) {
        row.states[static_cast<std::size_t>(power)] = on;
        break;
      }
  }
}

struct FrameMap {
  std::vector<int> start;  // first bit of each frame in the code
  std::vector<int> bits;
  // Frame and position of code bit b.
  std::pair<int, int> Of(int b) const {
    for (std::size_t f = start.size(); f-- > 0;)
      if (b >= start[f]) return {static_cast<int>(f), b - start[f]};
    return {0, b};
  }
};

FrameMap MapFrames(const ir::TStrProt_Listbase& elements) {
  FrameMap map;
  const int frames = ir::DataRunCount(elements);
  for (int f = 0; f < frames; ++f) {
    map.start.push_back(static_cast<int>(ir::BitOffsetOfRun(elements, f, 0)));
    map.bits.push_back(static_cast<int>(ir::BitsInRun(elements, f)));
  }
  return map;
}

int ReadValue(const ir::TSSByteArray& bits, int start, int width, bool lsb) {
  int v = 0;
  for (int i = 0; i < width; ++i) {
    const int bit = bits[static_cast<std::size_t>(start + i)] != 0 ? 1 : 0;
    v |= bit << (lsb ? i : width - 1 - i);
  }
  return v;
}

// Columns of contiguous bits of one frame, at most 8 wide, from sorted code bits.
std::vector<std::pair<int, int>> Runs(const std::vector<int>& bits, const FrameMap& frames) {
  std::vector<std::pair<int, int>> runs;  // (first code bit, width)
  for (int b : bits) {
    if (!runs.empty()) {
      auto& [first, width] = runs.back();
      if (first + width == b && frames.Of(first).first == frames.Of(b).first && width < kMaxColumnWidth) {
        ++width;
        continue;
      }
    }
    runs.emplace_back(b, 1);
  }
  return runs;
}

// The pressed values of a column, by degree index.
std::vector<int> KnownIndexes(const std::vector<int>& values) {
  std::vector<int> known;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (values[i] >= 0) known.push_back(static_cast<int>(i));
  return known;
}

// The step per degree when every known value of a column lies on one straight line.
std::optional<int> LinearStep(const std::vector<int>& values) {
  const std::vector<int> known = KnownIndexes(values);
  if (known.size() < 2) return std::nullopt;
  const auto at = [&](int i) { return values[static_cast<std::size_t>(i)]; };
  const int dv = at(known[1]) - at(known[0]);
  const int dd = known[1] - known[0];
  if (dv == 0 || dv % dd != 0) return std::nullopt;
  const int step = dv / dd;
  for (int i : known)
    if (at(i) != at(known[0]) + step * (i - known[0])) return std::nullopt;
  return step;
}

bool Linear(const std::vector<int>& values) { return LinearStep(values).has_value(); }

struct ColumnBuild {
  int function = 0;
  int first = 0;  // code bit
  int width = 0;
};

// Values of a column per state of its function, read from the presses not forced by a mode.
std::vector<int> ColumnValues(const ColumnBuild& c, const LearnedFunction& f, int mode_function,
                              const std::set<int>& forced, const std::vector<LabelledRow>& rows, bool lsb) {
  std::vector<int> values(f.states.size(), -1);
  for (const LabelledRow& row : rows) {
    const int s = row.states[static_cast<std::size_t>(c.function)];
    if (s < 0 || values[static_cast<std::size_t>(s)] >= 0) continue;
    if (mode_function >= 0 && forced.count(row.states[static_cast<std::size_t>(mode_function)]) != 0)
      continue;
    values[static_cast<std::size_t>(s)] = ReadValue(row.bits, c.first, c.width, lsb);
  }
  return values;
}

// Fills the degrees between pressed ones of a linear column, marking those it filled.
void Interpolate(std::vector<int>& values, std::vector<bool>& filled, int width) {
  const std::optional<int> step = LinearStep(values);
  if (!step) return;
  const std::vector<int> known = KnownIndexes(values);
  const int first = known.front();
  const int base = values[static_cast<std::size_t>(first)];
  for (int i = first; i <= known.back(); ++i) {
    if (values[static_cast<std::size_t>(i)] >= 0) continue;
    const int v = base + *step * (i - first);
    if (v < 0 || v >= (1 << width)) continue;
    values[static_cast<std::size_t>(i)] = v;
    filled[static_cast<std::size_t>(i)] = true;
  }
}

// A temperature column whose pressed values climb half a step (or a quarter,
// an eighth) per degree: the pressed degrees left the field's low bits the
// same, so they were taken for constant bits. The column takes them back when
// they are constant in every code, lie beside it in its frame, and make the
// values a straight line through at least three pressed degrees.
void WidenHalfStepTemperatures(std::vector<ColumnBuild>& columns,
                               const std::vector<LearnedFunction>& functions, int mode_function,
                               const std::vector<std::set<int>>& forced, const std::vector<LabelledRow>& rows,
                               const std::vector<BitOwner>& owners, const FrameMap& frames, bool lsb) {
  const auto constant = [&](int b) {
    return b >= 0 && b < static_cast<int>(owners.size()) &&
           owners[static_cast<std::size_t>(b)].role == BitRole::kConstant;
  };
  for (ColumnBuild& c : columns) {
    const LearnedFunction& f = functions[static_cast<std::size_t>(c.function)];
    const std::set<int>& f_forced = forced[static_cast<std::size_t>(c.function)];
    const std::vector<int> values = ColumnValues(c, f, mode_function, f_forced, rows, lsb);
    // Two pressed degrees lie on a line whatever the field: a third must agree.
    if (!f.temperature || KnownIndexes(values).size() < 3 || LinearStep(values)) continue;
    for (int n = 1; n <= 3 && c.width + n <= kMaxColumnWidth; ++n) {
      const ColumnBuild wide{c.function, lsb ? c.first - n : c.first, c.width + n};
      const int added = lsb ? wide.first : c.first + c.width + n - 1;
      if (!constant(added) || frames.Of(added).first != frames.Of(c.first).first) break;
      if (LinearStep(ColumnValues(wide, f, mode_function, f_forced, rows, lsb))) {
        c = wide;
        break;
      }
    }
  }
}

// How many temperature columns read as a straight line in a bit order.
int LinearColumns(const std::vector<ColumnBuild>& columns, const std::vector<LearnedFunction>& functions,
                  int mode_function, const std::vector<std::set<int>>& forced,
                  const std::vector<LabelledRow>& rows, bool lsb) {
  int count = 0;
  for (const ColumnBuild& c : columns) {
    const LearnedFunction& f = functions[static_cast<std::size_t>(c.function)];
    if (!f.temperature || c.width < 2) continue;
    if (Linear(ColumnValues(c, f, mode_function, forced[static_cast<std::size_t>(c.function)], rows, lsb)))
      ++count;
  }
  return count;
}

std::vector<ir::TCrcItem> PickChecksums(const ChecksumDiscovery& found) {
  std::vector<ir::TCrcItem> picked;
  for (const ir::TCrcItem& c : found.candidates) {
    bool overlaps = false;
    for (const ir::TCrcItem& p : picked)
      overlaps = overlaps || (p.TargetFrame == c.TargetFrame && p.TargetBit < c.TargetBit + c.TargetWidth &&
                              c.TargetBit < p.TargetBit + p.TargetWidth);
    if (!overlaps) picked.push_back(c);
    if (picked.size() == kMaxChecksumItems) break;
  }
  return picked;
}

// The chip computes a zone of byte operands only from a byte boundary to a
// nibble boundary. A zone that ends (or starts) elsewhere is widened to the
// boundary when that gives the same value in every code — the bits it takes
// in are the same in all of them.
ir::TCrcItem FitForChip(ir::TCrcItem item, const ir::TStrProt_Listbase& elements,
                        const std::vector<DecodedPress>& presses, bool lsb) {
  const auto same_values = [&](const ir::TCrcItem& a, const ir::TCrcItem& b) {
    for (const DecodedPress& p : presses)
      if (ir::CrcCalculate(p.bits, a, elements, lsb) != ir::CrcCalculate(p.bits, b, elements, lsb))
        return false;
    return true;
  };
  const int unit = item.OperandWidth == 4 ? 4 : 8;
  for (std::size_t z = 0; z < item.ZoneCount && z < item.Zones.size(); ++z) {
    ir::TCrcItem wider = item;
    ir::TCrcZone& zone = wider.Zones[z];
    zone.StartBit = static_cast<std::uint16_t>(zone.StartBit / unit * unit);
    if ((zone.EndBit + 1) % 4 != 0) zone.EndBit = static_cast<std::uint16_t>((zone.EndBit / 4 + 1) * 4 - 1);
    const bool into_target = zone.EndFrame == item.TargetFrame && zone.EndBit >= item.TargetBit &&
                             zone.StartBit < item.TargetBit + item.TargetWidth;
    if (!into_target && zone.EndBit < ir::BitsInRun(elements, zone.EndFrame) && same_values(item, wider))
      item = wider;
  }
  return item;
}

ChecksumDiscovery Discover(const ir::TStrProt_Listbase& elements, const std::vector<DecodedPress>& presses,
                           bool lsb) {
  // Each distinct code once, in the order pressed. A linear search: a learning
  // session holds tens of presses, and ordering byte vectors in a set makes
  // GCC 12 at -O2 report a memcmp over-read that cannot happen.
  std::vector<ir::TSSByteArray> rows;
  for (const DecodedPress& p : presses)
    if (std::find(rows.begin(), rows.end(), p.bits) == rows.end()) rows.push_back(p.bits);
  return DiscoverChecksums(elements, rows, lsb);
}

}  // namespace

const char* CertaintyName(Certainty certainty) {
  switch (certainty) {
    case Certainty::kSeen:
      return "seen";
    case Certainty::kInterpolated:
      return "interpolated";
    case Certainty::kUnset:
      return "unset";
  }
  return "unset";
}

bool LearnResult::AllReproduced() const {
  return made && std::all_of(checked.begin(), checked.end(), [](const CheckedPress& c) { return c.Equal(); });
}

LearnResult RemoteLearner::Learn(const std::string& brand, const std::string& code) const {
  LearnResult out;
  // 1. The most common structure of the blind reading is the format.
  std::map<std::string, int> votes;
  std::vector<std::string> texts(inputs_.size());
  std::map<std::string, ir::Tcomp_aval> first_of;
  for (std::size_t i = 0; i < inputs_.size(); ++i) {
    ir::Tcomp_aval decoded;
    if (!ir::DecodeCapture(inputs_[i].capture.Durations, inputs_[i].capture.Carrier, false, true, tolerance_,
                           decoded))
      continue;
    texts[i] = ir::PrintProtocol(decoded.Protocol);
    if (++votes[texts[i]] == 1) first_of.emplace(texts[i], decoded);
  }
  std::string format;
  int best = 0;
  for (std::size_t i = 0; i < inputs_.size(); ++i)
    if (!texts[i].empty() && votes[texts[i]] > best) {
      best = votes[texts[i]];
      format = texts[i];
    }
  if (format.empty()) {
    out.error = inputs_.empty() ? "no captures to learn from" : "no capture decodes";
    for (const LearnInput& in : inputs_) out.unused.push_back({in.source, "does not decode"});
    return out;
  }
  const ir::Tcomp_aval& reference = first_of.at(format);

  store::TdiskAir& record = out.record.record;
  store::InitRecord(record, base::NowAsDateTime());
  record.Brand.assign(brand);
  record.CodeNo.assign(code);
  record.Params = reference.Params;
  record.Params.Carrier =
      static_cast<std::uint16_t>(reference.Carrier > 0 ? reference.Carrier : ir::kDefaultCarrier);
  record.Slots[0].Text.assign(format);
  out.format = format;

  // 2. Every capture read again against that format's timing, as the function wizard reads them.
  std::vector<DecodedPress> presses;   // every press of the format
  std::vector<DecodedPress> labelled;  // those with a label
  for (const LearnInput& in : inputs_) {
    ir::TIRGsPara params = record.Params;
    const RecordCapture read = ReadRecordCapture(in.capture.Durations, params, record.Slots, tolerance_);
    if (!read.decoded) {
      out.unused.push_back({in.source, "does not decode"});
      continue;
    }
    if (read.slot != 0) {
      out.unused.push_back({in.source, "another structure: " + ir::PrintProtocol(read.structure)});
      continue;
    }
    presses.push_back({&in, read.bits});
    if (in.label.empty())
      out.unused.push_back({in.source, "no label (used only to find the checksum)"});
    else
      labelled.push_back({&in, read.bits});
  }
  if (labelled.empty()) {
    out.error = "no labelled capture reads with the format " + format;
    return out;
  }

  // 3. Functions and the state of each press.
  out.functions = FunctionsOf(labelled, out.notes);
  std::vector<LearnedFunction>& functions = out.functions;
  std::vector<LabelledRow> rows;
  for (const DecodedPress& p : labelled) {
    const auto label = LabelMap(p.input->label);
    LabelledRow row{p.bits, {}};
    for (const LearnedFunction& f : functions) row.states.push_back(f.key >= 0 ? StateOf(f, label) : -1);
    rows.push_back(std::move(row));
  }
  FillPower(functions, rows);

  // 4. Checksums: searched in both bit orders; an order in which only one finds them decides.
  const ir::TStrProt_Listbase elements = ir::ParseProtocol(format).Elements;
  const std::size_t bit_count = static_cast<std::size_t>(ir::TotalBits(elements));
  ChecksumDiscovery lsb_found = Discover(elements, presses, true);
  ChecksumDiscovery msb_found = Discover(elements, presses, false);
  const bool lsb_has = !lsb_found.candidates.empty();
  const bool msb_has = !msb_found.candidates.empty();

  std::vector<bool> checksum_bits(bit_count, false);
  const auto mark_targets = [&](const std::vector<ir::TCrcItem>& items) {
    std::fill(checksum_bits.begin(), checksum_bits.end(), false);
    for (const ir::TCrcItem& c : items) {
      const auto start = ir::BitOffsetOfRun(elements, c.TargetFrame, c.TargetBit);
      for (int i = 0; i < c.TargetWidth; ++i)
        if (static_cast<std::size_t>(start + i) < bit_count)
          checksum_bits[static_cast<std::size_t>(start + i)] = true;
    }
  };
  // 5. Which function drives each bit, with the checksum targets of one bit order left out.
  const int mode_function = FunctionOfKey(functions, kKeyMode);
  const int mode_states =
      mode_function >= 0 ? static_cast<int>(functions[static_cast<std::size_t>(mode_function)].states.size())
                         : 0;
  const FrameMap frames = MapFrames(elements);
  std::vector<BitOwner> owners;
  std::vector<std::set<int>> forced;
  std::vector<int> unexplained;
  std::vector<ColumnBuild> columns;
  const auto analyse = [&](const std::vector<ir::TCrcItem>& targets) {
    mark_targets(targets);
    owners = AssignBits(rows, bit_count, checksum_bits, static_cast<int>(functions.size()), mode_function,
                        mode_states);
    forced.assign(functions.size(), {});
    std::vector<std::vector<int>> bits_of(functions.size());
    unexplained.clear();
    for (std::size_t b = 0; b < owners.size(); ++b) {
      const BitOwner& o = owners[b];
      if (o.role == BitRole::kUnexplained) unexplained.push_back(static_cast<int>(b));
      if (o.role != BitRole::kFunction && o.role != BitRole::kAmbiguous) continue;
      if (functions[static_cast<std::size_t>(o.function)].key < 0) continue;
      bits_of[static_cast<std::size_t>(o.function)].push_back(static_cast<int>(b));
      forced[static_cast<std::size_t>(o.function)].insert(o.forced_modes.begin(), o.forced_modes.end());
    }
    columns.clear();
    for (std::size_t f = 0; f < functions.size(); ++f)
      for (const auto& [first, width] : Runs(bits_of[f], frames))
        columns.push_back({static_cast<int>(f), first, width});
  };
  const std::vector<ir::TCrcItem> first_items = PickChecksums(lsb_has ? lsb_found : msb_found);
  analyse(first_items);

  // 6. Bit order: the one in which the checksum is found, else the one that makes temperatures linear.
  bool lsb = true;
  if (lsb_has != msb_has)
    lsb = lsb_has;
  else
    lsb = LinearColumns(columns, functions, mode_function, forced, rows, true) >=
          LinearColumns(columns, functions, mode_function, forced, rows, false);
  std::vector<ir::TCrcItem> items = PickChecksums(lsb ? lsb_found : msb_found);
  if (items != first_items) analyse(items);
  WidenHalfStepTemperatures(columns, functions, mode_function, forced, rows, owners, frames, lsb);
  for (ir::TCrcItem& item : items) item = FitForChip(item, elements, presses, lsb);
  record.LsbFirst = lsb ? 1 : 0;
  out.checksum_items = static_cast<int>(items.size());
  if (!items.empty()) {
    record.HasChecksum = 1;
    record.Slots[0].Crc.HasChecksum = 1;
    record.Slots[0].Crc.Count = static_cast<std::uint8_t>(items.size());
    std::copy(items.begin(), items.end(), record.Slots[0].Crc.Items.begin());
  }

  // 7. Keys, columns and values.
  record.KeyCount = kKeys;
  for (int k = 0; k < kKeys; ++k) {
    store::TdiskKey& key = record.Keys[static_cast<std::size_t>(k)];
    key.Name.assign(kKeyNames[k]);
    key.StateCount = 0;
    key.Slot = 0;
  }
  for (std::size_t fi = 0; fi < functions.size(); ++fi) {
    LearnedFunction& f = functions[fi];
    if (f.key < 0) continue;
    store::TdiskKey& key = record.Keys[static_cast<std::size_t>(f.key)];
    if (FixedKeyOf(f.name) < 0) key.Name.assign(f.name.substr(0, 15));
    key.StateCount = static_cast<std::uint8_t>(f.states.size());
    for (std::size_t s = 0; s < f.states.size(); ++s) key.StateNames[s].assign(f.states[s].name.substr(0, 8));
    std::vector<bool> filled(f.states.size(), false);
    std::vector<bool> missing(f.states.size(), false);
    std::size_t next_column = 0;
    for (const ColumnBuild& c : columns) {
      if (c.function != static_cast<int>(fi)) continue;
      std::vector<int> values = ColumnValues(c, f, mode_function, forced[fi], rows, lsb);
      std::vector<bool> column_filled(values.size(), false);
      if (f.temperature) Interpolate(values, column_filled, c.width);
      const auto [frame, bit] = frames.Of(c.first);
      f.columns.push_back({frame, bit, c.width});
      if (next_column < store::kColumnsPerKey) {
        store::TdiskBitColumn& col = key.Columns[next_column++];
        col.Frame = static_cast<std::uint8_t>(frame);
        col.BitPos = static_cast<std::uint16_t>(bit);
        col.Width = static_cast<std::uint8_t>(c.width);
        col.Kind = 0;
        col.Values.fill(store::kUnsetValue);
        for (std::size_t s = 0; s < values.size(); ++s)
          if (values[s] >= 0) col.Values[s] = static_cast<std::uint8_t>(values[s]);
      }
      for (std::size_t s = 0; s < values.size(); ++s) {
        f.states[s].values.push_back(values[s]);
        filled[s] = filled[s] || column_filled[s];
        missing[s] = missing[s] || values[s] < 0;
      }
    }
    for (std::size_t s = 0; s < f.states.size(); ++s) {
      bool pressed = false;
      for (const LabelledRow& row : rows) pressed = pressed || row.states[fi] == static_cast<int>(s);
      Certainty& c = f.states[s].certainty;
      c = missing[s] ? Certainty::kUnset : filled[s] ? Certainty::kInterpolated : Certainty::kSeen;
      if (!pressed && c == Certainty::kSeen) c = Certainty::kUnset;  // a degree with no column to carry it
      if (c == Certainty::kUnset)
        out.notes.push_back("state \"" + f.states[s].name + "\" of " + f.name + " is left unset: " +
                            (f.temperature && !pressed
                                 ? "not pressed, and the pressed temperatures lie on no straight line"
                                 : "no press shows its bits"));
    }
    if (mode_function >= 0 && !forced[fi].empty()) {
      const std::uint8_t bit = f.key == kKeyTemp ? 0 : f.key == kKeyFan ? 1 : 2;
      for (int m : forced[fi]) {
        f.forced.push_back(
            {functions[static_cast<std::size_t>(mode_function)].states[static_cast<std::size_t>(m)].name});
        if (bit < 2 && m < 8)
          record.Keys[kKeyMode].Extra[bit] =
              static_cast<std::uint8_t>(record.Keys[kKeyMode].Extra[bit] | (1u << m));
      }
      if (bit >= 2)
        out.notes.push_back("mode fixes the bits of " + f.name +
                            " in some states; the record holds that only for temperature and fan");
    }
  }
  for (int b : unexplained) {
    const auto [frame, bit] = frames.Of(b);
    out.notes.push_back(
        "bit " + std::to_string(bit) + " of frame " + std::to_string(frame) +
        " changes with several functions together; the record cannot hold it and keeps its first value");
  }

  // 8. The stored code: the press naming the most functions.
  std::size_t base_row = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto named = [](const LabelledRow& row) {
      return std::count_if(row.states.begin(), row.states.end(), [](int s) { return s >= 0; });
    };
    if (named(rows[r]) > named(rows[base_row])) base_row = r;
  }
  ir::TSSByteArray bytes;
  ir::BitsToBytes(elements, rows[base_row].bits, lsb, bytes);
  std::copy_n(bytes.begin(), std::min(bytes.size(), store::kSlotCodeBytes), record.Slots[0].Code.begin());
  record.Slots[0].CodeStored = 1;

  // The code lines: a mode that forces a field reads its value from the mode key's line of that state.
  out.record.bit_lines.assign(kKeys, {});
  const bool forcing = record.Keys[kKeyMode].Extra[0] != 0 || record.Keys[kKeyMode].Extra[1] != 0;
  const ir::TStrProt_Stru structure = ir::ParseProtocol(format);
  const auto line_of = [&](const ir::TSSByteArray& bits) {
    store::TGrdDataLine line;
    line.Data = bits;
    line.Elements = structure.Elements;
    line.Repeat = static_cast<std::uint16_t>(structure.Repeat);
    return line;
  };
  if (forcing) {
    out.record.bit_lines[kKeyPower].push_back(line_of(rows[base_row].bits));
    out.record.bit_lines[kKeyTemp].push_back(line_of(rows[base_row].bits));
    for (int m = 0; m < mode_states; ++m) {
      const LabelledRow* pick = &rows[base_row];
      for (const LabelledRow& row : rows)
        if (row.states[static_cast<std::size_t>(mode_function)] == m) {
          pick = &row;
          break;
        }
      out.record.bit_lines[kKeyMode].push_back(line_of(pick->bits));
    }
  }

  // 9. Every labelled press sent again through the emulator.
  base::Bytes image;
  int built = firmware::BuildTableImage(record, out.record.bit_lines, false, timing_, image);
  if (built == firmware::kImageErrTables && record.HasChecksum != 0) {
    // A checksum the chip cannot compute: the record keeps it (it is what the
    // codes show), and the presses are sent without it so the rest is checked.
    store::TdiskAir without = record;
    without.HasChecksum = 0;
    if (firmware::BuildTableImage(without, out.record.bit_lines, false, timing_, image) == 0) {
      built = 0;
      out.notes.push_back(
          "the checksum found is one the chip cannot compute; presses are sent back without it");
    }
  }
  if (built != 0) {
    const auto keys_with_fields =
        std::count_if(functions.begin(), functions.end(),
                      [](const LearnedFunction& f) { return f.key >= 0 && !f.columns.empty(); });
    out.notes.push_back(
        "the chip image cannot be built from the record (table image error " + std::to_string(built) +
        "), so no press could be sent back" +
        (keys_with_fields <= 2 ? "; a record of one format needs fields in at least three keys" : ""));
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    CheckedPress checked;
    checked.source = labelled[r].input->source;
    checked.label = labelled[r].input->label;
    if (built == 0) {
      firmware::StateBlock block{};
      for (std::size_t fi = 0; fi < functions.size(); ++fi) {
        const int k = functions[fi].key;
        if (k < 0) continue;
        const int s = rows[r].states[fi] >= 0 ? rows[r].states[fi] : rows[base_row].states[fi];
        block[static_cast<std::size_t>(k)] = std::max(s, 0);
      }
      const int power = FunctionOfKey(functions, kKeyPower);
      const bool off =
          power >= 0 && rows[r].states[static_cast<std::size_t>(power)] >= 0 &&
          Lower(functions[static_cast<std::size_t>(power)]
                    .states[static_cast<std::size_t>(rows[r].states[static_cast<std::size_t>(power)])]
                    .name) == "off";
      block[firmware::kFunctionKeys] = off ? kKeyPower : kKeyTemp;
      firmware::TACRusher rusher(timing_);
      rusher.Load(lsb, image, block);
      ir::TIRIntegerArr micros;
      if (rusher.Run(micros) && !micros.empty()) {
        ir::TIRIntegerArr ticks;
        for (std::int32_t d : micros) ticks.push_back(d * kTicksPerMicro);
        ir::TIRGsPara params = record.Params;
        const RecordCapture sent = ReadRecordCapture(ticks, params, record.Slots, tolerance_);
        if (sent.decoded && sent.slot == 0) {
          checked.sent = true;
          const ir::TSSByteArray& want = rows[r].bits;
          for (std::size_t b = 0; b < std::max(want.size(), sent.bits.size()); ++b)
            if (b >= want.size() || b >= sent.bits.size() || want[b] != sent.bits[b]) {
              checked.first_difference = static_cast<int>(b);
              break;
            }
        }
      }
    }
    out.checked.push_back(std::move(checked));
  }

  // 10. The presses that would settle what is open.
  out.plan = PlanPresses(functions, rows, owners, base_row, mode_function);
  out.made = true;
  return out;
}

}  // namespace klimavo::analysis
