#include "store/protocol_record.h"

#include <gtest/gtest.h>

namespace klimavo::store {
namespace {

TEST(ProtocolRecord, ImageSizesAndOffsetsMatchTheFileFormat) {
  EXPECT_EQ(TdiskBitColumn::kSize, 21u);
  EXPECT_EQ(TdiskKey::kSize, 16u + 32 * 21 + 1 + 16 * 9 + 1 + 1 + 1 + 5);
  EXPECT_EQ(TdiskFormatSlot::kSize, 129u + 64 + 1 + ir::TCrcBlock::kSize);
  EXPECT_EQ(ir::TCrcBlock::kSize, 2u + 4 * ir::TCrcItem::kSize);
  EXPECT_EQ(TdiskAir::kOffsetParams, TdiskAir::kOffsetKeys + 8 * TdiskKey::kSize);
  EXPECT_EQ(TdiskAir::kOffsetSlots, TdiskAir::kOffsetParams + ir::TIRGsPara::kSize);
  EXPECT_EQ(TdiskAir::kOffsetChecksumFlag, TdiskAir::kOffsetSlots + 9 * TdiskFormatSlot::kSize);
  EXPECT_EQ(TdiskAir{}.ToImage().size(), TdiskAir::kSize);
}

TEST(ProtocolRecord, AnyImageSurvivesReadAndWriteUnchanged) {
  base::Bytes image(TdiskAir::kSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  EXPECT_EQ(TdiskAir::FromImage(image).ToImage(), image);
}

TEST(ProtocolRecord, FieldsLandAtTheirOffsets) {
  TdiskAir r;
  r.Brand.assign("Gree");
  r.Params.Carrier = 0x1234;
  r.Slots[1].Text.assign("<0>[8]");
  r.HasChecksum = 1;
  r.MemoEn.assign("x");
  auto image = r.ToImage();
  EXPECT_EQ(image[TdiskAir::kOffsetBrand], 4);
  EXPECT_EQ(image[TdiskAir::kOffsetBrand + 1], 'G');
  EXPECT_EQ(image[TdiskAir::kOffsetParams], 0x34);
  EXPECT_EQ(image[TdiskAir::kOffsetSlots + TdiskFormatSlot::kSize], 6);
  EXPECT_EQ(image[TdiskAir::kOffsetChecksumFlag], 1);
  EXPECT_EQ(image[TdiskAir::kOffsetMemoEn + 1], 'x');
}

}  // namespace
}  // namespace klimavo::store
