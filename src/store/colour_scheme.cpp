#include "store/colour_scheme.h"

#include <algorithm>

#include "base/atomic_file.h"
#include "base/date_time.h"
#include "base/file_error.h"

namespace klimavo::store {
namespace fs = std::filesystem;

void TIR_ColorItem::Read(base::ByteReader& in) {
  Name.read(in);
  for (auto& colour : Colours) colour = in.u32();
  Reserved = in.i32();
}

void TIR_ColorItem::Write(base::ByteWriter& out) const {
  Name.write(out);
  for (auto colour : Colours) out.u32(colour);
  out.i32(Reserved);
}

void ColourSchemeHeader::Read(base::ByteReader& in) {
  Reserved0 = in.i32();
  Author.read(in);
  Created = in.f64();
  Owner.read(in);
  Count = in.u16();
  Selected = in.u16();
  Reserved70 = in.u16();
}

void ColourSchemeHeader::Write(base::ByteWriter& out) const {
  out.i32(Reserved0);
  Author.write(out);
  out.f64(Created);
  Owner.write(out);
  out.u16(Count);
  out.u16(Selected);
  out.u16(Reserved70);
}

ColourScheme DefaultColourScheme(double now) {
  ColourScheme scheme;
  scheme.Header.Author.assign(kColourAuthor);
  scheme.Header.Created = now;
  scheme.Header.Owner.assign(kColourOwner);
  scheme.Header.Count = 1;
  TIR_ColorItem item;
  item.Name.assign(kDefaultSchemeName);
  scheme.Items.push_back(item);
  return scheme;
}

ColourScheme ParseColourScheme(std::span<const std::uint8_t> file) {
  if (file.size() < kColourHeaderSize) {
    ColourScheme scheme = DefaultColourScheme(0.0);
    scheme.State = ColourFileState::kDamaged;
    return scheme;
  }
  ColourScheme scheme;
  base::ByteReader in(file);
  scheme.Header.Read(in);
  std::size_t complete = (file.size() - kColourHeaderSize) / kColourItemSize;
  std::size_t count = std::min<std::size_t>(scheme.Header.Count, complete);
  scheme.Items.resize(count);
  for (auto& item : scheme.Items) item.Read(in);
  if (count < scheme.Header.Count) scheme.State = ColourFileState::kShort;
  return scheme;
}

base::Bytes ColourSchemeBytes(const ColourSchemeHeader& header, const std::vector<TIR_ColorItem>& items) {
  if (items.size() > 0xFFFF) throw base::FileError(kColourFileName, "more than 65535 colour schemes");
  ColourSchemeHeader written = header;
  written.Count = static_cast<std::uint16_t>(items.size());
  base::ByteWriter out;
  written.Write(out);
  for (const auto& item : items) item.Write(out);
  return out.take();
}

ColourScheme LoadColourScheme(const fs::path& binn_dir) {
  std::error_code ec;
  fs::create_directories(binn_dir, ec);
  const fs::path path = binn_dir / kColourFileName;
  if (auto file = base::ReadWholeFile(path)) return ParseColourScheme(*file);
  ColourScheme scheme = DefaultColourScheme(base::NowAsDateTime());
  SaveColourScheme(binn_dir, scheme.Header, scheme.Items);
  scheme.State = ColourFileState::kCreated;
  return scheme;
}

TIR_ColorItem CurrentColours(const ColourScheme& scheme) {
  if (scheme.Items.empty()) return DefaultColourScheme(0.0).Items.front();
  std::size_t selected = scheme.Header.Selected;
  return selected < scheme.Items.size() ? scheme.Items[selected] : scheme.Items.front();
}

void SaveColourScheme(const fs::path& binn_dir, const ColourSchemeHeader& header,
                      const std::vector<TIR_ColorItem>& items) {
  base::WriteFileAtomically(binn_dir / kColourFileName, ColourSchemeBytes(header, items));
}

}  // namespace klimavo::store
