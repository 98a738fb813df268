#include "firmware/mobile_bundle.h"

#include <algorithm>

#include "base/atomic_file.h"
#include "base/text.h"
#include "firmware/table_image.h"

namespace klimavo::firmware {
namespace {

void AppendPadded(base::ByteWriter& out, const std::string& text, std::size_t size) {
  std::size_t n = std::min(text.size(), size);
  out.bytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), n));
  out.zeros(size - n);
}

}  // namespace

MobileBundle BuildMobileBundle(const store::ProtocolLibrary& library,
                               const config::TimingAdjustments& timing) {
  MobileBundle bundle;
  std::vector<base::Bytes> images;
  base::Bytes directory;
  base::ByteWriter dir(directory);
  store::TdiskAir record;
  store::TBtnLines bit_lines;
  for (int i = 0; i < library.Size(); ++i) {
    const std::string stored_code = library.Records()[static_cast<std::size_t>(i)].Record.CodeNo.str();
    base::Bytes image;
    if (!library.FetchRecord(i, record, bit_lines) ||
        BuildTableImage(record, bit_lines, false, timing, image) != 0) {
      bundle.skipped.push_back(stored_code);
      continue;
    }
    AppendPadded(dir, base::Trim(record.Brand.str()), kBundleBrandBytes);
    AppendPadded(dir, base::Trim(record.CodeNo.str()), kBundleCodeBytes);
    dir.u16(static_cast<std::uint16_t>(image.size()));
    bundle.smallest_image = std::min(bundle.smallest_image, static_cast<int>(image.size()));
    images.push_back(std::move(image));
  }
  bundle.image_count = static_cast<int>(images.size());
  base::ByteWriter out(bundle.bytes);
  out.u32(0);
  out.u32(static_cast<std::uint32_t>(images.size()));
  out.u64(0);
  out.bytes(directory);
  for (const auto& image : images) out.bytes(image);
  out.patch_u64(8, bundle.bytes.size());
  return bundle;
}

MobileBundle WriteMobileBundle(const std::filesystem::path& path, const store::ProtocolLibrary& library,
                               const config::TimingAdjustments& timing) {
  MobileBundle bundle = BuildMobileBundle(library, timing);
  base::WriteFileAtomically(path, bundle.bytes);
  return bundle;
}

}  // namespace klimavo::firmware
