#include "firmware/chip_emulator.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "ir/ir_text.h"

namespace klimavo::firmware {
namespace {

/// Relation entry size and state count of each function key.
struct KeyLayout {
  std::size_t entry_size;
  int state_count;
};
constexpr std::array<KeyLayout, kFunctionKeys> kKeyLayouts{{{4, 2}, {4, 15}, {8, 5}, {7, 4}, {4, 2}, {3, 7}}};

constexpr std::size_t kAddressBase = 48;  // an address word is an image offset + 48
constexpr std::size_t kHeaderWords = 5;   // A0..A4
constexpr std::size_t kGlobalEntrySize = 4;
constexpr std::size_t kValueTableHeader = 6;  // one byte per key
constexpr std::size_t kChecksumCalcSize = 5;
constexpr int kMaxReferenceDepth = 16;  // references that chain further are a loop
constexpr int kTemperatureKey = 1;
constexpr int kVaneKey = 5;
constexpr int kMaxTemperatureState = 15;

constexpr std::uint8_t kControlVaneStates = 0x04;
constexpr std::uint8_t kControlChecksums = 0x10;
constexpr std::uint8_t kFlagsRelationAfterTables = 0x80;

/// A key reference code (3 bits): 0 key 0, 1 and 2 key 1, r >= 3 key r - 1.
int KeyOfCode(int code) {
  if (code == 0) return 0;
  if (code <= 2) return 1;
  return code - 1;
}

bool EntryUsesValueList(const std::uint8_t* entry, std::size_t size) {
  if (size <= kGlobalEntrySize) return (entry[1] & 0x80) != 0 && (entry[2] & 0x80) == 0;
  std::size_t values = size - 3;
  for (std::size_t s = 0; s < values; ++s) {
    bool reference = ((entry[0] >> (7 - s)) & 1) != 0;
    if (reference && (entry[3 + s] & 0x80) == 0) return true;
  }
  return false;
}

std::uint8_t Combine(std::uint8_t acc, int op, std::uint8_t operand, int bits) {
  std::uint8_t masked = static_cast<std::uint8_t>(operand & (bits == 8 ? 0xFF : 0x0F));
  int ones = std::popcount(static_cast<unsigned>(masked));
  switch (op) {
    case 0:
      return static_cast<std::uint8_t>(acc + masked);
    case 1:
      return static_cast<std::uint8_t>(acc & masked);
    case 2:
      return static_cast<std::uint8_t>(acc | masked);
    case 3:
      return static_cast<std::uint8_t>(acc ^ masked);
    case 4:
      return static_cast<std::uint8_t>(acc + ones);
    case 5:
      return static_cast<std::uint8_t>(acc + (ones & 1));
    default:
      return acc;
  }
}

std::uint8_t External(std::uint8_t acc, int op, std::uint8_t constant) {
  switch (op) {
    case 0:
      return static_cast<std::uint8_t>(acc + constant);
    case 1:
      return static_cast<std::uint8_t>(acc - constant);
    case 2:
      return static_cast<std::uint8_t>(constant - acc);
    case 3:
      return static_cast<std::uint8_t>(acc & constant);
    case 4:
      return static_cast<std::uint8_t>(acc | constant);
    case 5:
      return static_cast<std::uint8_t>(acc ^ constant);
    case 6:
      return constant;
    case 7:
      return static_cast<std::uint8_t>((acc >> 4) | (acc << 4));
    default:
      return acc;
  }
}

std::int32_t TwoByteDuration(std::uint8_t low, std::uint8_t high) {
  std::int32_t v = (((high >> 1) * 256) + low) & 0x7FFF;
  return (high & 1) ? v : -v;
}

std::int32_t ThreeByteDuration(std::uint8_t low, std::uint8_t middle, std::uint8_t high) {
  std::int32_t v = (((high >> 1) * 65536) + middle * 256 + low) & 0x7FFFFF;
  return (high & 1) ? v : -v;
}

/// Removes the timing adjustment the generator added to a duration's magnitude.
std::int32_t UndoAdjustment(std::int32_t d, std::int32_t high_comp, std::int32_t low_comp) {
  return d > 0 ? d - high_comp : d + low_comp;
}

/// Expands repeat groups: a byte with bit 5 set and a low nibble n > 0 repeats
/// the bytes up to the next byte with bit 5 set n times (that byte is dropped).
base::Bytes ExpandStructure(const std::uint8_t* s, std::size_t count) {
  base::Bytes out;
  std::size_t i = 0;
  while (i < count) {
    std::uint8_t x = s[i];
    if ((x & 0x20) != 0 && (x & 0x0F) > 0) {
      std::size_t j = i + 1;
      while (j < count && (s[j] & 0x20) == 0) ++j;
      if (j < count && j > i + 1) {
        for (int r = 0; r < (x & 0x0F); ++r) out.insert(out.end(), s + i + 1, s + j);
        i = j + 1;
        continue;
      }
    }
    out.push_back(x);
    ++i;
  }
  return out;
}

}  // namespace

void TACRusher::Load(bool lsb_first, const base::Bytes& image, const StateBlock& states) {
  lsb_first_ = lsb_first;
  image_ = image;
  for (int k = 0; k < kFunctionKeys; ++k)
    key_states_[static_cast<std::size_t>(k)] = states[static_cast<std::size_t>(k)];
  pressed_key_ = states[6];
  pressed_state_ = (pressed_key_ >= 0 && pressed_key_ < kFunctionKeys)
                       ? key_states_[static_cast<std::size_t>(pressed_key_)]
                       : 0;
  for (auto& t : key_tables_) t.clear();
  for (auto& v : value_tables_) v.clear();
  global_relation_.clear();
  checksum_entries_.clear();
  frame_table_.clear();
  frame_bytes_.clear();
  control_byte_ = 0;
  format_index_ = 0;
  format_count_ = 1;
  error_code_ = kEmulatorOk;
}

bool TACRusher::Run(ir::TIRIntegerArr& durations) {
  // A pressed key above 5 (records with more keys can ask for one) has no
  // relation table the firmware could run.
  if (pressed_key_ < 0 || pressed_key_ >= kFunctionKeys) return false;
  return Parse() && ApplyRelations() && ApplyChecksums() && BuildSignal(durations);
}

bool TACRusher::ReadWordAt(std::size_t offset, std::uint16_t& word) const {
  if (offset > image_.size() || image_.size() - offset < 2) return false;
  word = base::ReadU16Le(&image_[offset]);
  return true;
}

bool TACRusher::AddressAt(std::size_t offset, std::size_t& address) const {
  std::uint16_t word = 0;
  if (!ReadWordAt(offset, word) || word < kAddressBase) return false;
  address = word - kAddressBase;
  return true;
}

bool TACRusher::Parse() {
  if (image_.size() < 2 * kHeaderWords) return false;
  for (std::size_t i = 0; i < kHeaderWords; ++i) {
    std::uint16_t word = base::ReadU16Le(&image_[2 * i]);
    pointer_tables_[i] = word < kAddressBase ? std::numeric_limits<std::size_t>::max() : word - kAddressBase;
  }
  return ParseRelationBlock() && ParseKeyTableBlock() && ParseValueTables() && ParseFrameTable() &&
         ParseChecksumBlock();
}

bool TACRusher::ParseRelationBlock() {
  std::size_t pos = 0;
  if (!AddressAt(pointer_tables_[0], pos) || pos >= image_.size()) return false;
  control_byte_ = image_[pos];
  if ((control_byte_ & kControlVaneStates) == 0 && key_states_[kVaneKey] > 0) key_states_[kVaneKey] = 0;
  format_count_ = (control_byte_ & 3) + 1;
  pos += 1 + ((control_byte_ & kControlChecksums) ? 2 : 0) + 4;
  std::uint16_t key_formats = 0;
  if (pos > image_.size() || image_.size() - pos < 3 || !ReadWordAt(pos, key_formats)) return false;
  if (pressed_key_ >= 1)
    format_index_ = (key_formats >> (2 * pressed_key_ + 2)) & 3;
  else
    format_index_ = pressed_state_ != 0 ? (key_formats >> 2) & 3 : key_formats & 3;
  return true;
}

bool TACRusher::ParseKeyTableBlock() {
  std::size_t pos = 0;
  if (!AddressAt(pointer_tables_[3], pos)) return false;
  auto available = [&](std::size_t n) { return pos <= image_.size() && image_.size() - pos >= n; };
  auto skip_header = [&]() {
    if (!available(1)) return false;
    std::size_t m = image_[pos];
    if (!available(m + 2)) return false;
    pos += m + 2;
    return true;
  };
  for (int f = 0; f < format_index_; ++f)
    if (!skip_header()) return false;
  if (!available(1)) return false;
  std::size_t m = image_[pos];
  if (m == 0 || !available(m + 2)) return false;
  frame_bytes_.assign(image_.begin() + static_cast<std::ptrdiff_t>(pos + 1),
                      image_.begin() + static_cast<std::ptrdiff_t>(pos + m));
  std::uint8_t g = image_[pos + m];
  std::uint8_t flags = image_[pos + m + 1];
  pos += m + 2;
  for (int f = format_index_ + 1; f < format_count_; ++f)
    if (!skip_header()) return false;

  for (int k = 0; k < kFunctionKeys; ++k) {
    if (!available(1)) return false;
    std::size_t t = image_[pos++];
    base::Bytes table;
    if (t > 0) {
      if (!available(t + 1)) return false;
      table.assign(image_.begin() + static_cast<std::ptrdiff_t>(pos),
                   image_.begin() + static_cast<std::ptrdiff_t>(pos + t + 1));
      pos += t + 1;
    }
    bool host = (flags & kFlagsRelationAfterTables) == 0 && g > 0 && k == (flags & 7);
    if (host) {
      std::size_t global = std::min<std::size_t>(std::size_t{g} + 1, table.size());
      global_relation_.assign(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(global));
      table.erase(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(global));
    }
    key_tables_[static_cast<std::size_t>(k)] = std::move(table);
  }
  if (flags & kFlagsRelationAfterTables) {
    int skipped = (flags >> 3) & 3;
    for (int i = 0; i < skipped; ++i) {
      if (!available(1)) return false;
      std::size_t b = image_[pos];
      if (!available(b + 2)) return false;
      pos += b + 2;
    }
    if (!available(1)) return false;
    std::size_t o = image_[pos++];
    if (o > 0) {
      if (!available(o + 1)) return false;
      global_relation_.assign(image_.begin() + static_cast<std::ptrdiff_t>(pos),
                              image_.begin() + static_cast<std::ptrdiff_t>(pos + o + 1));
    }
  }
  return true;
}

bool TACRusher::ParseValueTables() {
  std::size_t block = 0;
  if (!AddressAt(pointer_tables_[2], block)) return false;
  if (block > image_.size() || image_.size() - block < kValueTableHeader) return false;

  // The value lists are read only when some entry refers to one; the tables
  // are checked in order up to that entry.
  bool uses_lists = false;
  auto check = [&](const base::Bytes& table, std::size_t entry_size) {
    if (table.size() % entry_size != 0) return false;
    for (std::size_t i = 0; i + entry_size <= table.size() && !uses_lists; i += entry_size)
      uses_lists = EntryUsesValueList(&table[i], entry_size);
    return true;
  };
  if (!check(global_relation_, kGlobalEntrySize)) return false;
  for (int k = 0; k < kFunctionKeys && !uses_lists; ++k)
    if (!check(key_tables_[static_cast<std::size_t>(k)], kKeyLayouts[static_cast<std::size_t>(k)].entry_size))
      return false;
  if (!uses_lists) return true;

  std::size_t pos = block + kValueTableHeader;
  for (std::size_t k = 0; k < kFunctionKeys; ++k) {
    std::size_t per_list = image_[block + k] & 0x0F;
    std::size_t lists = (image_[block + k] >> 4) + 1u;
    if (per_list == 0) continue;
    for (std::size_t l = 0; l < lists; ++l) {
      if (image_.size() - pos < per_list) return false;
      value_tables_[k].emplace_back(image_.begin() + static_cast<std::ptrdiff_t>(pos),
                                    image_.begin() + static_cast<std::ptrdiff_t>(pos + per_list));
      pos += per_list;
    }
  }
  return true;
}

bool TACRusher::ParseFrameTable() {
  std::size_t address = 0;
  if (pointer_tables_[1] == std::numeric_limits<std::size_t>::max()) return false;
  if (!AddressAt(pointer_tables_[1] + 2 * static_cast<std::size_t>(format_index_), address)) return false;
  if (address >= image_.size()) return false;
  std::size_t n = image_[address];
  if (image_.size() - address - 1 < n) return false;
  frame_table_.assign(image_.begin() + static_cast<std::ptrdiff_t>(address + 1),
                      image_.begin() + static_cast<std::ptrdiff_t>(address + 1 + n));
  return true;
}

bool TACRusher::ParseChecksumBlock() {
  if ((control_byte_ & kControlChecksums) == 0) return true;
  std::size_t pos = 0;
  if (!AddressAt(pointer_tables_[4], pos) || pos >= image_.size()) return false;
  std::size_t count = std::size_t{image_[pos++]} + 1;
  for (std::size_t i = 0; i < count; ++i) {
    if (pos >= image_.size()) return false;
    std::size_t length = std::size_t{image_[pos++]} + 1;
    if (image_.size() - pos < length) return false;
    if (length < 3 || (length - 3) % kChecksumCalcSize != 0) return false;
    checksum_entries_.emplace_back(image_.begin() + static_cast<std::ptrdiff_t>(pos),
                                   image_.begin() + static_cast<std::ptrdiff_t>(pos + length));
    pos += length;
  }
  return pos == image_.size();
}

bool TACRusher::ApplyRelations() {
  for (std::size_t i = 0; i + kGlobalEntrySize <= global_relation_.size(); i += kGlobalEntrySize)
    if (!RunFourOrThreeByteEntry(-1, &global_relation_[i], 0)) return false;
  const auto key = static_cast<std::size_t>(pressed_key_);
  std::size_t size = kKeyLayouts[key].entry_size;
  for (std::size_t i = 0; i + size <= key_tables_[key].size(); i += size)
    if (!RunEntry(pressed_key_, i / size, 0)) return false;
  return true;
}

bool TACRusher::RunEntry(int key, std::size_t index, int depth) {
  if (key < 0 || key >= kFunctionKeys || depth > kMaxReferenceDepth) return false;
  const auto k = static_cast<std::size_t>(key);
  std::size_t size = kKeyLayouts[k].entry_size;
  const base::Bytes& table = key_tables_[k];
  if ((index + 1) * size > table.size()) return false;
  // Copy the entry: a referenced run may not alias the table while it changes.
  std::array<std::uint8_t, 8> entry{};
  std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(index * size), size, entry.begin());
  if (size <= kGlobalEntrySize) return RunFourOrThreeByteEntry(key, entry.data(), depth);
  return RunStateEntry(key, entry.data(), depth);
}

bool TACRusher::RunFourOrThreeByteEntry(int key, const std::uint8_t* entry, int depth) {
  std::size_t size = key < 0 ? kGlobalEntrySize : kKeyLayouts[static_cast<std::size_t>(key)].entry_size;
  std::uint8_t target = entry[0];
  std::uint8_t bit_layout = entry[1];
  std::uint8_t value = entry[2];
  bool reference = (bit_layout & 0x80) != 0;
  if (size == kGlobalEntrySize && pressed_state_ != 0) {
    value = entry[3];
    reference = (bit_layout & 0x40) != 0;
  }
  if (!reference) {
    WriteField(target, bit_layout, value);
    return true;
  }
  return RunReference(value, target, bit_layout, depth);
}

bool TACRusher::RunStateEntry(int key, const std::uint8_t* entry, int depth) {
  const auto k = static_cast<std::size_t>(key);
  const int values = static_cast<int>(kKeyLayouts[k].entry_size) - 3;
  const int s = key_states_[k];
  // A state beyond the entry's values has no byte to send; the run cannot go on.
  if (s < 0 || s >= values) return false;
  std::uint8_t mask = entry[0];
  std::uint8_t target = entry[1];
  std::uint8_t bit_layout = entry[2];
  std::uint8_t value = entry[3 + s];
  if ((mask >> (7 - s)) & 1) return RunReference(value, target, bit_layout, depth);
  WriteField(target, bit_layout, value);
  for (int j = 0; j < kKeyLayouts[k].state_count; ++j) {
    std::uint8_t ref = entry[3 + j];
    if (((mask >> (7 - j)) & 1) && (ref & 0x80) == 0) {
      SetStateFromValue(KeyOfCode((ref >> 4) & 7), ref & 0x0F, value);
      break;
    }
  }
  return true;
}

bool TACRusher::RunReference(std::uint8_t reference, std::uint8_t target, std::uint8_t bit_layout,
                             int depth) {
  int key = KeyOfCode((reference >> 4) & 7);
  int index = reference & 0x0F;
  if (reference & 0x80) return RunEntry(key, static_cast<std::size_t>(index), depth + 1);
  WriteField(target, bit_layout, LookUpValue(key, index));
  return true;
}

std::uint8_t TACRusher::LookUpValue(int key, int list_index) {
  if (key > 5) {
    error_code_ = kEmulatorKeyBeyondFive;
    return 0;
  }
  auto& lists = value_tables_[static_cast<std::size_t>(key)];
  if (list_index >= static_cast<int>(lists.size())) {
    error_code_ = kEmulatorListBeyondKey;
    return 0;
  }
  const base::Bytes& list = lists[static_cast<std::size_t>(list_index)];
  std::int32_t& state = key_states_[static_cast<std::size_t>(key)];
  if (key == kTemperatureKey && list.size() == 2) {
    int a = list[0];
    int b = list[1];
    return static_cast<std::uint8_t>(a < b ? a + state : a - state);
  }
  if (key == kVaneKey && (control_byte_ & kControlVaneStates) == 0 && state > 0) state = 0;
  if (state < 0 || state >= static_cast<int>(list.size())) {
    error_code_ = kEmulatorStateBeyondList;
    return list[0];
  }
  return list[static_cast<std::size_t>(state)];
}

void TACRusher::SetStateFromValue(int key, int list_index, std::uint8_t value) {
  if (key > 5) {
    error_code_ = kEmulatorKeyBeyondFive;
    return;
  }
  auto& lists = value_tables_[static_cast<std::size_t>(key)];
  if (list_index >= static_cast<int>(lists.size())) {
    error_code_ = kEmulatorListBeyondKey;
    return;
  }
  const base::Bytes& list = lists[static_cast<std::size_t>(list_index)];
  std::int32_t& state = key_states_[static_cast<std::size_t>(key)];
  if (key == kTemperatureKey && list.size() == 2) {
    int a = list[0];
    int b = list[1];
    int step = a < b ? 1 : -1;
    for (int x = a, count = 0;; x += step, ++count) {
      if (x == value) {
        if (count < kMaxTemperatureState) state = count;
        return;
      }
      if (x == b) return;
    }
  }
  for (std::size_t j = 0; j < list.size(); ++j) {
    if (list[j] == value) {
      if (static_cast<int>(j) < kKeyLayouts[static_cast<std::size_t>(key)].state_count)
        state = static_cast<std::int32_t>(j);
      return;
    }
  }
}

void TACRusher::WriteField(std::uint8_t target_byte, std::uint8_t bit_layout, std::uint8_t value) {
  const std::size_t b = target_byte;
  if (b >= frame_bytes_.size()) return;
  const int start = bit_layout & 7;
  const int width = ((bit_layout >> 3) & 7) + 1;
  const std::size_t available_bits = (frame_bytes_.size() - b) * 8;
  for (int i = 0; i < width; ++i) {
    const std::size_t pos = static_cast<std::size_t>(start + i);
    if (pos >= available_bits) break;
    const int value_bit = lsb_first_ ? i : width - 1 - i;
    const bool on = ((value >> value_bit) & 1) != 0;
    const int bit = lsb_first_ ? static_cast<int>(pos % 8) : 7 - static_cast<int>(pos % 8);
    std::uint8_t& byte = frame_bytes_[b + pos / 8];
    byte = static_cast<std::uint8_t>(on ? (byte | (1u << bit)) : (byte & ~(1u << bit)));
  }
}

bool TACRusher::ApplyChecksums() {
  if (checksum_entries_.empty()) return true;
  int selector = pressed_key_ >= 1 ? pressed_key_ + 1 : (pressed_state_ != 0 ? 1 : 0);
  for (const auto& entry : checksum_entries_) {
    if (((entry[0] >> selector) & 1) == 0) continue;
    std::uint8_t acc = EvaluateChecksum(entry);
    if (entry[1] >= frame_bytes_.size()) return false;
    WriteField(entry[1], entry[2], acc);
  }
  return true;
}

std::uint8_t TACRusher::EvaluateChecksum(const base::Bytes& entry) const {
  std::uint8_t acc = 0;
  const std::size_t size = frame_bytes_.size();
  auto low = [](std::uint8_t v) { return static_cast<std::uint8_t>(v & 0x0F); };
  auto high = [](std::uint8_t v) { return static_cast<std::uint8_t>(v >> 4); };
  for (std::size_t c = 3; c + kChecksumCalcSize <= entry.size(); c += kChecksumCalcSize) {
    const std::uint8_t c0 = entry[c], c1 = entry[c + 1], c2 = entry[c + 2], c3 = entry[c + 3],
                       k = entry[c + 4];
    if ((c1 & 0x40) == 0) {
      acc = External(acc, c3 & 0x0F, k);
      continue;
    }
    const int inner = c2 & 0x0F;
    const bool eight_bits = (c0 & 0x40) != 0;
    const bool last_whole = (c1 & 0x80) != 0;
    std::size_t pos = c0 & 63;
    const std::size_t last = c1 & 63;
    if (c0 & 0x80) {
      if (pos < size)
        acc = Combine(acc, inner, lsb_first_ ? high(frame_bytes_[pos]) : low(frame_bytes_[pos]), 4);
      ++pos;
    }
    const std::size_t end = last_whole ? last + 1 : last;  // exclusive
    for (; pos < end; ++pos) {
      if (pos >= size) continue;
      const std::uint8_t byte = frame_bytes_[pos];
      if (eight_bits) {
        acc = Combine(acc, inner, byte, 8);
      } else {
        acc = Combine(acc, inner, low(byte), 4);
        acc = Combine(acc, inner, high(byte), 4);
      }
    }
    if (!last_whole && last < size)
      acc = Combine(acc, inner, lsb_first_ ? low(frame_bytes_[last]) : high(frame_bytes_[last]), 4);
    acc = External(acc, c2 >> 4, k);
  }
  return acc;
}

bool TACRusher::BuildSignal(ir::TIRIntegerArr& durations) const {
  const base::Bytes& t = frame_table_;
  if (t.size() < 3) return false;
  const int width2 = (t[0] & 7) + 1;
  const int width3 = ((t[0] >> 3) & 7) + 1;
  const std::size_t logic_count = (t[2] >> 6) + 1u;
  const std::size_t structure_count = (t[2] & 63) + 1u;
  const std::size_t head = 3 + 4 * logic_count + structure_count;
  if (t.size() < head || (t.size() - head) % 5 != 0) return false;

  std::vector<std::array<std::int32_t, 2>> logic(logic_count);
  for (std::size_t l = 0; l < logic_count; ++l) {
    const std::size_t p = 3 + 4 * l;
    logic[l][0] =
        UndoAdjustment(TwoByteDuration(t[p], t[p + 1]), timing_.LogicHighComp, timing_.LogicLowComp);
    logic[l][1] =
        UndoAdjustment(TwoByteDuration(t[p + 2], t[p + 3]), timing_.LogicHighComp, timing_.LogicLowComp);
  }
  std::vector<std::array<std::int32_t, 2>> splits((t.size() - head) / 5);
  for (std::size_t i = 0; i < splits.size(); ++i) {
    const std::size_t p = head + 5 * i;
    splits[i][0] = UndoAdjustment(TwoByteDuration(t[p], t[p + 1]), timing_.WaveHighComp, timing_.WaveLowComp);
    splits[i][1] = UndoAdjustment(ThreeByteDuration(t[p + 2], t[p + 3], t[p + 4]), timing_.WaveHighComp,
                                  timing_.WaveLowComp);
  }

  ir::TIRIntegerArr raw;
  for (std::uint8_t x : ExpandStructure(&t[3 + 4 * logic_count], structure_count)) {
    const int type = x >> 6;
    const std::size_t index = x & 63;
    if (type == 0) {
      if (index >= splits.size()) return false;
      raw.push_back(splits[index][0]);
      raw.push_back(splits[index][1]);
      continue;
    }
    if (index >= frame_bytes_.size()) return false;
    const int width = type == 1 ? 8 : (type == 2 ? width2 : width3);
    const std::uint8_t byte = frame_bytes_[index];
    for (int j = 0; j < width; ++j) {
      const std::size_t bit = static_cast<std::size_t>(lsb_first_ ? (byte >> j) & 1 : (byte >> (7 - j)) & 1);
      if (bit >= logic_count) return false;
      raw.push_back(logic[bit][0]);
      raw.push_back(logic[bit][1]);
    }
  }
  durations = ir::MergeSameSign(raw);
  return true;
}

}  // namespace klimavo::firmware
