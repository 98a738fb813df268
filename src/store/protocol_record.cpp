#include "store/protocol_record.h"

namespace klimavo::store {

void TdiskBitColumn::Read(base::ByteReader& in) {
  Frame = in.u8();
  BitPos = in.u16();
  Width = in.u8();
  Kind = in.u8();
  in.bytes(Values);
}

void TdiskBitColumn::Write(base::ByteWriter& out) const {
  out.u8(Frame);
  out.u16(BitPos);
  out.u8(Width);
  out.u8(Kind);
  out.bytes(Values);
}

void TdiskKey::Read(base::ByteReader& in) {
  Name.read(in);
  for (auto& c : Columns) c.Read(in);
  StateCount = in.u8();
  for (auto& s : StateNames) s.read(in);
  FixedFlags = in.u8();
  Slot = in.u8();
  Slot2 = in.u8();
  in.bytes(Extra);
}

void TdiskKey::Write(base::ByteWriter& out) const {
  Name.write(out);
  for (const auto& c : Columns) c.Write(out);
  out.u8(StateCount);
  for (const auto& s : StateNames) s.write(out);
  out.u8(FixedFlags);
  out.u8(Slot);
  out.u8(Slot2);
  out.bytes(Extra);
}

void TdiskFormatSlot::Read(base::ByteReader& in) {
  Text.read(in);
  in.bytes(Code);
  CodeStored = in.u8();
  Crc.Read(in);
}

void TdiskFormatSlot::Write(base::ByteWriter& out) const {
  Text.write(out);
  out.bytes(Code);
  out.u8(CodeStored);
  Crc.Write(out);
}

void TdiskAir::WriteImage(base::ByteWriter& out) const {
  out.u8(Reserved0);
  out.u8(LsbFirst);
  out.u8(RemoteType);
  out.f64(ChangeTime);
  Brand.write(out);
  CodeNo.write(out);
  out.u8(KeyCount);
  for (const auto& k : Keys) k.Write(out);
  Params.Write(out);
  for (const auto& s : Slots) s.Write(out);
  out.u8(HasChecksum);
  MemoCn.write(out);
  MemoEn.write(out);
}

base::Bytes TdiskAir::ToImage() const {
  base::ByteWriter out;
  WriteImage(out);
  return out.take();
}

bool TdiskAir::ReadImage(std::span<const std::uint8_t> image) {
  if (image.size() < kSize) return false;
  base::ByteReader in(image.first(kSize));
  Reserved0 = in.u8();
  LsbFirst = in.u8();
  RemoteType = in.u8();
  ChangeTime = in.f64();
  Brand.read(in);
  CodeNo.read(in);
  KeyCount = in.u8();
  for (auto& k : Keys) k.Read(in);
  Params.Read(in);
  for (auto& s : Slots) s.Read(in);
  HasChecksum = in.u8();
  MemoCn.read(in);
  MemoEn.read(in);
  return in.ok();
}

TdiskAir TdiskAir::FromImage(std::span<const std::uint8_t> image) {
  TdiskAir r;
  r.ReadImage(image);
  return r;
}

}  // namespace klimavo::store
