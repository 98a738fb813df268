#pragma once
// Signals for the analysis tests: a capture synthesised from a timing block,
// a protocol text and code bytes, and the signal the chip image emulator sends
// for a key press of a record (what the programmed remote would send).

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "config/config.h"
#include "firmware/chip_emulator.h"
#include "firmware/table_image.h"
#include "ir/ir_types.h"
#include "ir/protocol.h"
#include "store/record_json.h"

namespace klimavo::testing {

/// A capture in 0.1 µs: the pairs of every element, ending with the last mark
/// (as a learner records it, without the final space).
inline ir::TIRIntegerArr SynthesiseBits(const ir::TIRGsPara& params, const ir::TStrProt_Listbase& elements,
                                        const ir::TSSByteArray& bits) {
  ir::TIRIntegerArr out;
  std::size_t cursor = 0;
  for (const ir::TStrProtItem& e : elements) {
    if (!e.IsData()) {
      out.push_back(params.Split[e.Value][0] * 10);
      out.push_back(params.Split[e.Value][1] * 10);
      continue;
    }
    for (int i = 0; i < e.Value && cursor < bits.size(); ++i, ++cursor) {
      out.push_back(params.Logic[bits[cursor]][0] * 10);
      out.push_back(params.Logic[bits[cursor]][1] * 10);
    }
  }
  if (!out.empty()) out.pop_back();
  return out;
}

/// As SynthesiseBits for code bytes packed along the protocol text.
inline ir::TIRIntegerArr Synthesise(const ir::TIRGsPara& params, const std::string& text,
                                    const ir::TSSByteArray& bytes, bool lsb_first) {
  const ir::TStrProt_Stru protocol = ir::ParseProtocol(text);
  ir::TSSByteArray bits;
  ir::BytesToBits(protocol.Elements, bytes, lsb_first, bits);
  ir::TIRIntegerArr one = SynthesiseBits(params, protocol.Elements, bits);
  ir::TIRIntegerArr all;
  for (int r = 0; r < protocol.Repeat; ++r) {
    if (r > 0) all.push_back(params.Split[protocol.Elements.back().Value][1] * 10);
    all.insert(all.end(), one.begin(), one.end());
  }
  return all;
}

inline store::EditableRecord LoadSampleRecord(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return store::RecordFromJsonText(text.str());
}

/// The sample records of data/library, in file-name order.
inline std::vector<std::filesystem::path> SampleRecordFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/library"))
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

/// The states of the keys that are not pressed: power on, 24 degrees, mode 1.
inline constexpr firmware::StateBlock kRestingStates{1, 8, 1, 0, 0, 0, 0, 0};

/// The signal (in 0.1 µs, as a learner hands it over) that the record's table
/// image sends when `key` is pressed in `state`; empty when it cannot be built.
inline ir::TIRIntegerArr EmulatePress(const store::TdiskAir& record, const store::TBtnLines& bit_lines,
                                      int key, int state, const config::TimingAdjustments& timing = {}) {
  base::Bytes image;
  if (firmware::BuildTableImage(record, bit_lines, false, timing, image) != 0) return {};
  firmware::StateBlock states = kRestingStates;
  states[static_cast<std::size_t>(key)] = state;
  states[6] = key;
  firmware::TACRusher rusher(timing);
  rusher.Load(record.LsbFirst != 0, image, states);
  ir::TIRIntegerArr micros;
  if (!rusher.Run(micros)) return {};
  for (std::int32_t& d : micros) d *= 10;
  return micros;
}

}  // namespace klimavo::testing
