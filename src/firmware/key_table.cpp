// The key table of a remote without display: every key's code is stored whole
// in its own format slot (slot k for key k, the last slot for "temperature
// down"), so each key writes the bytes in which the slots differ.

#include <algorithm>
#include <array>

#include "firmware/parts_model.h"
#include "firmware/parts_tables.h"
#include "ir/protocol.h"

namespace klimavo::firmware {
namespace {

constexpr std::int64_t kMaxCodeBytes = 64;  // frame bytes the firmware can index (6 bits)
constexpr int kBitsPerByte = 8;

using CodeBytes = std::array<std::uint8_t, store::kSlotCodeBytes>;

// The code bytes of slots 0 to the key count over the byte count of slot 0's
// format, as a key's part writes them: the bits of a partial last byte in its
// low bits.
struct Tprt_Btns {
  std::int64_t count = 0;
  std::vector<CodeBytes> slots;
  std::vector<bool> equal;
  std::vector<int> widths;
};

// Preparation moved the r bits of a most-significant-bit-first slot's partial
// byte to the top of the byte, where the frame sends them; but a part writes
// the low r bits of its value there, so a slot with a format text gets them
// back down (a slot without text was never moved).
CodeBytes PartBytes(const store::TdiskAir& record, std::size_t slot, std::int64_t count, int rest) {
  CodeBytes bytes = record.Slots[slot].Code;
  if (record.LsbFirst == 0 && rest != 0 && !record.Slots[slot].Text.empty() && count > 0) {
    std::uint8_t& last = bytes[static_cast<std::size_t>(count - 1)];
    last = static_cast<std::uint8_t>(last >> (kBitsPerByte - rest));
  }
  return bytes;
}

Tprt_Btns CollectButtons(const store::TdiskAir& record, const ir::TStrProt_Listbase& elements) {
  Tprt_Btns b;
  b.count = std::min<std::int64_t>(ir::TotalBytes(elements), store::kSlotCodeBytes);
  const int rest = static_cast<int>(ir::TotalBits(elements) % kBitsPerByte);
  const std::size_t last_slot = std::min<std::size_t>(record.UsedKeys(), store::kFormatSlots - 1);
  for (std::size_t i = 0; i <= last_slot; ++i) b.slots.push_back(PartBytes(record, i, b.count, rest));
  for (std::int64_t p = 0; p < b.count; ++p) {
    const auto at = static_cast<std::size_t>(p);
    b.equal.push_back(std::all_of(b.slots.begin(), b.slots.end(),
                                  [&](const CodeBytes& s) { return s[at] == b.slots[0][at]; }));
    b.widths.push_back(p == b.count - 1 && rest != 0 ? rest : kBitsPerByte);
  }
  return b;
}

}  // namespace

int WriteKeyTable(const PartsInput& in, Lines& relation) {
  const store::TdiskAir& record = in.record;
  const std::size_t keys = record.UsedKeys();
  if (keys == 0 || record.Slots[0].Text.empty()) return 1;
  const ir::TStrProt_Stru protocol = ir::ParseProtocol(record.Slots[0].Text.str());
  // A code beyond the 64 stored bytes cannot be indexed by the firmware.
  if (ir::TotalBytes(protocol.Elements) > kMaxCodeBytes) return kPartsByteIndexTooLarge;
  const Tprt_Btns b = CollectButtons(record, protocol.Elements);
  const CodeBytes& slot0 = record.Slots[0].Code;  // the base code, as the frame sends it

  relation.push_back(Gbk(";==基础数据0"));
  relation.push_back(DbHex(b.count + 1, Gbk(";码值数") + Dec(b.count + 1)));
  for (std::int64_t i = 0; i < b.count; ++i)
    relation.push_back(DbBin(slot0[static_cast<std::size_t>(i)], Gbk(";码值") + Dec(i)));
  relation.push_back(DbBin(0, ""));
  relation.push_back(DbBin(0, Gbk(";无屏无效")));

  for (std::size_t k = 0; k < keys; ++k) {
    const store::TdiskKey& key = record.Keys[k];
    relation.push_back(KeyTitleLine(key));
    const std::size_t title = relation.size();
    const CodeBytes& own = b.slots[std::min(k, b.slots.size() - 1)];
    int bytes = 0;
    auto db = [&](std::string line) {
      relation.push_back(std::move(line));
      ++bytes;
    };
    for (std::int64_t p = 0; p < b.count; ++p) {
      const auto at = static_cast<std::size_t>(p);
      if (b.equal[at]) continue;
      if (k == static_cast<std::size_t>(kKeyMode) || k == static_cast<std::size_t>(kKeyFan))
        db(DbBin(0, Gbk(";从全局中取,=0从下面中取")));
      db(DbHex(p, Gbk(";起始字节") + Dec(p)));
      db(DbBin((b.widths[at] - 1) * 8, Gbk(";起位:0,位数:") + Dec(b.widths[at])));
      if (k == static_cast<std::size_t>(kKeyTemp)) {
        db(DbHex(b.slots[std::min<std::size_t>(1, b.slots.size() - 1)][at], ";temp+"));
        db(DbHex(b.slots.back()[at], ";temp-"));
        continue;
      }
      const int states = k == static_cast<std::size_t>(kKeyVane) ? 1 : key.StateCount;
      for (int i = 0; i < states; ++i) db(DbHex(own[at], ";status=" + Dec(i)));
    }
    relation.insert(relation.begin() + static_cast<std::ptrdiff_t>(title),
                    "\tDB $" + Hex2(bytes - 1) + ";byte count=" + Dec(bytes) + "-1");
  }
  return 0;
}

}  // namespace klimavo::firmware
