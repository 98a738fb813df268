// The table image: reading assembler lines, the image layout (it must equal
// the converted generator lines placed behind the header and pointer tables),
// the download header, the error codes, and the whole-library jobs built on
// the image (chip-image check, mobile bundle).
#include "firmware/table_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "firmware/chip_emulator.h"
#include "firmware/chip_image_check.h"
#include "firmware/mobile_bundle.h"
#include "firmware/six_key_record.h"
#include "firmware/table_file.h"
#include "ir/ir_text.h"

namespace klimavo::firmware {
namespace {

using fixtures::LibraryOf;

const config::TimingAdjustments kTiming{};
const ImageClock kClock{2026, 12, 10, 4};

store::TdiskAir SixKeyRecord(const std::string& code = "0001") {
  return fixtures::SixKeyRecord("Acme", code);
}

store::TdiskAir WithChecksum(store::TdiskAir r) {
  r.Slots[0].Text.assign("<0>[40]<1>");
  r.HasChecksum = 1;
  r.Slots[0].Crc.HasChecksum = 1;
  r.Slots[0].Crc.Count = 1;
  ir::TCrcItem& item = r.Slots[0].Crc.Items[0];
  item.TargetBit = 32;
  item.ZoneCount = 1;
  item.Zones[0] = {0, 0, 0, 31};
  return r;
}

store::TdiskAir TwoFormats(store::TdiskAir r) {
  r.Slots[1] = r.Slots[0];
  r.Slots[1].Text.assign("<0>[32]<1><0>[16]<1>");
  r.Keys[1].Slot = 1;
  r.Keys[0].Slot2 = 1;
  return r;
}

store::TdiskAir KeyTableRecord(store::TdiskAir r) {
  r.RemoteType = 1;
  for (std::size_t i = 1; i <= 6; ++i) r.Slots[i].Code = {0x12, static_cast<std::uint8_t>(i), 0x56, 0x78};
  return r;
}

int Build(const store::TdiskAir& r, base::Bytes& image, bool header = false) {
  return BuildTableImage(r, store::TBtnLines(r.KeyCount), header, kTiming, kClock, image);
}

std::uint16_t Word(const base::Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// The image read back through its header and pointer tables: the data blocks of each table.
std::vector<std::vector<base::Bytes>> ReadBack(const base::Bytes& image) {
  std::vector<std::size_t> tables;
  for (std::size_t i = 0; i < 5; ++i) tables.push_back(Word(image, 2 * i) - kImageAddressBase);
  EXPECT_EQ(Word(image, 10), 0);
  std::vector<std::vector<std::size_t>> pointers(5);
  std::vector<std::size_t> all;
  std::size_t data_start = image.size();
  for (std::size_t t = 0; t < 5; ++t) {
    std::size_t end = t < 4 ? tables[t + 1] : std::min(data_start, image.size());
    for (std::size_t at = tables[t]; at < end; at += 2) {
      std::size_t p = Word(image, at) - kImageAddressBase;
      pointers[t].push_back(p);
      all.push_back(p);
      data_start = std::min(data_start, p);
    }
  }
  std::sort(all.begin(), all.end());
  std::vector<std::vector<base::Bytes>> blocks(5);
  for (std::size_t t = 0; t < 5; ++t)
    for (std::size_t p : pointers[t]) {
      auto next = std::upper_bound(all.begin(), all.end(), p);
      std::size_t end = next == all.end() ? image.size() : *next;
      blocks[t].emplace_back(image.begin() + static_cast<std::ptrdiff_t>(p),
                             image.begin() + static_cast<std::ptrdiff_t>(end));
    }
  return blocks;
}

TEST(ReadAssemblerBytes, ItemsOfDataLines) {
  struct Case {
    const char* line;
    base::Bytes bytes;
  };
  const Case cases[] = {
      {"\tDB 00111110B\t", {62}},
      {"\tDB  $30, $05, $FF, $02\t;logic0", {0x30, 0x05, 0xFF, 0x02}},
      {"\tDB $00,$40,$41;\xB7\xA2\xC2\xEB", {0x00, 0x40, 0x41}},
      {"  DB $1AB , 101B ,  $x1, 12 ; $77", {0xAB, 5}},
      {"pub_frame_table0:", {}},
      {"\t ;===wave", {}},
      {"errorframe!", {}},
      {"logicBigger", {0}},  // a text item with "B" reads as binary digits
      {"\tDB ;structure", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAssemblerBytes({c.line}), c.bytes) << c.line;
  EXPECT_EQ(ReadAssemblerBytes({"\tDB $01", "", "\tDB $02,$03"}), (base::Bytes{1, 2, 3}));
}

TEST(CArrayText, CreateCppLine) {
  EXPECT_EQ(CArrayText({0x01, 0xAB}), "static unsigned char testdata[]={0x01,0xAB,}");
  EXPECT_EQ(CArrayText({}), "static unsigned char testdata[]={}");
}

TEST(BuildTableImage, OneFormatWithoutChecksumsOrParts) {
  base::Bytes image;
  ASSERT_EQ(Build(KeyTableRecord(SixKeyRecord()), image), 0);
  const base::Bytes header = {0x3C, 0, 0x3E, 0, 0x40, 0, 0x40, 0, 0x42, 0, 0, 0};
  EXPECT_EQ(base::Bytes(image.begin(), image.begin() + 12), header);
  auto blocks = ReadBack(image);
  EXPECT_EQ(blocks[0].size(), 1u);
  EXPECT_EQ(blocks[1].size(), 1u);
  EXPECT_TRUE(blocks[2].empty());
  EXPECT_EQ(blocks[3].size(), 1u);
  EXPECT_TRUE(blocks[4].empty());
  // Control byte 192 is not raised for remote type 1 in the image: 0, then three words.
  EXPECT_EQ(blocks[0][0], (base::Bytes{0x00, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Word(image, 12) - kImageAddressBase, 12 + 2 * 3 + blocks[1][0].size());  // frame table first
}

struct PropertyCase {
  const char* name;
  store::TdiskAir record;
  std::size_t formats;
};

TEST(BuildTableImage, ImageEqualsTheConvertedLinesInItsLayout) {
  const PropertyCase cases[] = {
      {"generator A", SixKeyRecord(), 1},
      {"with checksum", WithChecksum(SixKeyRecord()), 1},
      {"generator B", TwoFormats(SixKeyRecord()), 2},
      {"B with checksum", TwoFormats(WithChecksum(SixKeyRecord())), 2},
      {"key table", KeyTableRecord(SixKeyRecord()), 1},
      {"most significant bit first",
       [] {
         auto r = SixKeyRecord();
         r.LsbFirst = 0;
         return r;
       }(),
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ImageSources s;
    ASSERT_EQ(BuildImageSources(c.record, store::TBtnLines(6), kTiming, s), 0);
    base::Bytes image;
    ASSERT_EQ(Build(c.record, image), 0);
    auto blocks = ReadBack(image);
    ASSERT_EQ(blocks[0].size(), 1u);
    EXPECT_EQ(blocks[0][0], s.relation_block);
    ASSERT_EQ(blocks[1].size(), c.formats);
    for (std::size_t i = 0; i < c.formats; ++i) {
      EXPECT_EQ(blocks[1][i], ReadAssemblerBytes(s.frame_tables[i]));
      // The relation block ends with the frame table index words 0, 1, ...
      EXPECT_EQ(Word(s.relation_block, s.relation_block.size() - 2 * (c.formats - i)), i);
    }
    auto expect_list = [&](std::size_t t, const Lines& lines) {
      base::Bytes bytes = ReadAssemblerBytes(lines);
      if (bytes.empty()) {
        EXPECT_TRUE(blocks[t].empty()) << t;
      } else {
        ASSERT_EQ(blocks[t].size(), 1u) << t;
        EXPECT_EQ(blocks[t][0], bytes) << t;
      }
    };
    expect_list(2, s.parts_table);
    expect_list(3, s.relation_table);
    expect_list(4, s.checksum_table);
    EXPECT_EQ(s.has_checksums, c.record.HasChecksum != 0);
    EXPECT_EQ(!blocks[4].empty(), c.record.HasChecksum != 0);
  }
}

TEST(BuildTableImage, RelationBlockOfTwoFormats) {
  ImageSources s;
  ASSERT_EQ(BuildImageSources(TwoFormats(SixKeyRecord()), store::TBtnLines(6), kTiming, s), 0);
  ASSERT_EQ(s.relation_block.size(), 11u);  // control, two indexes, key format word, two frame indexes
  EXPECT_EQ(s.relation_block[0] & 3, 1);
  EXPECT_EQ(Word(s.relation_block, 5), 0b010100);
  ASSERT_EQ(BuildImageSources(WithChecksum(SixKeyRecord()), store::TBtnLines(6), kTiming, s), 0);
  EXPECT_EQ(s.relation_block.size(), 9u);  // control, checksum index and two indexes, one frame index
  EXPECT_EQ(s.relation_block[0] & 0x10, 0x10);
}

TEST(BuildTableImage, DownloadHeader) {
  store::TdiskAir r = KeyTableRecord(SixKeyRecord("0149"));
  r.Slots[0].Text.assign("<0>[8]<1>[8]<1>[8]<1><0>[8]<1>[8]<1>[8]<1>");  // the triple frames need 12 elements
  base::Bytes plain;
  base::Bytes image;
  ASSERT_EQ(Build(r, plain), 0);
  ASSERT_EQ(Build(r, image, true), 0);
  const std::string name = "Acme\r0149\r";
  ASSERT_EQ(image.size(), 32 + plain.size() + name.size());
  EXPECT_EQ(base::Bytes(image.begin(), image.begin() + 8),
            (base::Bytes{0x95, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(base::Bytes(image.begin() + 32, image.begin() + 32 + static_cast<std::ptrdiff_t>(plain.size())),
            plain);
  EXPECT_EQ(std::string(image.end() - static_cast<std::ptrdiff_t>(name.size()), image.end()), name);
  EXPECT_EQ(Word(image, 12), 32 + plain.size());
  EXPECT_EQ(Word(image, 30), 32 + plain.size());
  EXPECT_EQ(image[14], name.size());
  const base::Bytes expected_mid = {0, 0, 0, 0, 1, 2074 & 0xFF, 12, 10, 4, 0, 0, 0, 0};
  EXPECT_EQ(base::Bytes(image.begin() + 15, image.begin() + 28), expected_mid);
  unsigned sum = 0xCC;
  for (std::size_t i = 0; i < 28; ++i) sum += image[i];
  EXPECT_EQ(image[28], sum & 0xFF);
  EXPECT_EQ(image[29], 0);
  EXPECT_EQ(base::Bytes(image.begin() + 8, image.begin() + 12), (base::Bytes{0, 0, 0, 0}));

  r.CodeNo.assign("A12");
  ASSERT_EQ(Build(r, image, true), 0);
  EXPECT_EQ(Word(image, 0), 0);
}

TEST(BuildTableImage, ErrorCodes) {
  struct Case {
    const char* name;
    store::TdiskAir record;
    int code;
  };
  auto changed = [](auto change) {
    store::TdiskAir r = SixKeyRecord();
    change(r);
    return r;
  };
  store::TdiskAir too_large = KeyTableRecord(SixKeyRecord());
  too_large.KeyCount = 6;  // the most keys the tables take; their codes differ in every byte
  too_large.Slots[0].Text.assign("[512]");
  for (std::size_t i = 0; i < 9; ++i)
    for (std::size_t b = 0; b < 64; ++b) too_large.Slots[i].Code[b] = static_cast<std::uint8_t>(i * 7 + b);
  for (auto& key : too_large.Keys) {
    key.Slot = 0;
    key.StateCount = 16;
  }
  const Case cases[] = {
      {"five keys", changed([](store::TdiskAir& r) { r.KeyCount = 5; }), kImageErrKeyCount},
      {"seven keys", changed([](store::TdiskAir& r) { r.KeyCount = 7; }), kImageErrTooManyKeys},
      {"eight keys without display", changed([](store::TdiskAir& r) {
         r = KeyTableRecord(r);
         r.KeyCount = 8;
       }),
       kImageErrTooManyKeys},
      {"format without key", changed([](store::TdiskAir& r) { r.Slots[2].Text.assign("[8]"); }),
       kImageErrFormatWithoutKey},
      {"five formats", changed([](store::TdiskAir& r) {
         for (std::size_t k = 1; k < 5; ++k) {
           r.Slots[k].Text.assign("<0>[32]<1>");
           r.Keys[k].Slot = static_cast<std::uint8_t>(k);
         }
       }),
       kImageErrTooManyFormats},
      {"no format", changed([](store::TdiskAir& r) { r.Slots[0].Text.assign(""); }), kImageErrNoFormat},
      {"four logic codes", changed([](store::TdiskAir& r) { r.Params.LogicCount = 4; }), kImageErrTables},
      {"untranslatable checksum", changed([](store::TdiskAir& r) {
         r = WithChecksum(r);
         r.Slots[0].Crc.Items[0].OperandWidth = 2;
       }),
       kImageErrTables},
      {"parts in two keys", changed([](store::TdiskAir& r) {
         for (std::size_t k = 2; k < 6; ++k) r.Keys[k].Columns[0].Frame = store::kUnusedFrame;
       }),
       1 - kPartsErrorBase},
      {"repeat above 15", changed([](store::TdiskAir& r) { r.Slots[0].Text.assign("(<0>[32]<1>)*16"); }),
       kErrStructureOverflow},
      {"triple frames over 3 elements", changed([](store::TdiskAir& r) { r.CodeNo.assign("0147"); }),
       kErrTripleTooShort},
      {"third odd width", changed([](store::TdiskAir& r) { r.Slots[0].Text.assign("<0>[3]<1>[5]<1>[26]"); }),
       kErrDataWidth},
      {"list above 4096 bytes", too_large, kErrListTooLarge},
  };
  for (const auto& c : cases) {
    base::Bytes image = {0xEE};
    EXPECT_EQ(Build(c.record, image), c.code) << c.name;
    EXPECT_EQ(image, base::Bytes{0xEE}) << c.name;  // no image on failure
  }
}

// The frame table read back by the emulator sends the record's code. Timing of
// a real capture (corpus: source "ACs/Admiral/Admiral_AC.ir", name "Fan_2":
// leader 8983/-3497, bits 567/-563 and 565/-1669, gap 567/-39806); every key's
// field holds the value the code already carries, so relations change nothing.
TEST(BuildTableImage, EmulatorSendsTheCodeOfTheFrameTable) {
  store::TdiskAir r = SixKeyRecord();
  r.Params.Logic[0] = {567, -563, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.Logic[1] = {565, -1669, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.Split[0] = {8983, -3497};
  r.Params.Split[1] = {567, -39806};
  r.Slots[0].Text.assign("<0>[36]<1>");
  r.Slots[0].Code = {0xA1, 0x5C, 0x3E, 0x07, 0x09};
  for (std::size_t k = 0; k < 6; ++k) {
    auto& c = r.Keys[k].Columns[0];
    std::uint8_t v = (r.Slots[0].Code[c.BitPos / 8] >> (c.BitPos % 8)) & 15;
    c.Values.fill(v);
  }
  ir::TIRIntegerArr expected;
  auto pair = [&](const auto& d) { expected.insert(expected.end(), {d[0], d[1]}); };
  pair(r.Params.Split[0]);
  for (int bit = 0; bit < 36; ++bit) pair(r.Params.Logic[(r.Slots[0].Code[bit / 8] >> (bit % 8)) & 1]);
  pair(r.Params.Split[1]);
  for (bool key_table : {false, true}) {
    SCOPED_TRACE(key_table);
    store::TdiskAir record = key_table ? KeyTableRecord(r) : r;  // key 0 writes slot 0's own bytes
    base::Bytes image;
    ASSERT_EQ(Build(record, image), 0);
    TACRusher rusher(kTiming);
    rusher.Load(true, image, {0, 8, 1, 0, 0, 0, 0, 0});
    ir::TIRIntegerArr durations;
    ASSERT_TRUE(rusher.Run(durations));
    EXPECT_EQ(rusher.ErrorCode(), 0);
    EXPECT_EQ(rusher.FrameBytes(), base::Bytes(r.Slots[0].Code.begin(), r.Slots[0].Code.begin() + 5));
    ASSERT_EQ(durations.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)  // 15-bit encoding keeps all but the low-byte step
      EXPECT_NEAR(durations[i], expected[i], 10) << i;
  }
}

// Records with fields far outside the usual ranges: every generator answers with
// an image or an error code and never reads or writes outside its data.
TEST(BuildTableImage, HostileRecordsGiveAnImageOrAnErrorCode) {
  std::mt19937 random(20261210);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const char* texts[] = {"<0>[32]<1>", "(<0>[48]<1>)*3", "<0>[3]<1>[5]<1>[6]",
                         "[512]",      "<7>[8*60]<9>",   "<0>[8]<1>[8]<1>[8]<1><0>[8]<1>[8]<1>[8]<1>",
                         "",           "(<0>[8]",        "[65535]"};
  const char* codes[] = {"0001", "0147", "0150", "x", "99999"};
  for (int i = 0; i < 300; ++i) {
    store::TdiskAir r = pick(2) ? SixKeyRecord() : WithChecksum(SixKeyRecord());
    r.CodeNo.assign(codes[pick(5)]);
    r.KeyCount = static_cast<std::uint8_t>(pick(3) ? 6 + pick(3) : pick(256));
    r.RemoteType = static_cast<std::uint8_t>(pick(4) == 0);
    r.LsbFirst = static_cast<std::uint8_t>(pick(2));
    r.Params.LogicCount = static_cast<std::uint8_t>(pick(4) ? 2 : pick(256));
    r.Params.SplitCount = static_cast<std::uint8_t>(pick(256));
    for (int s = 0; s < 1 + pick(4); ++s) {
      auto& slot = r.Slots[static_cast<std::size_t>(pick(9))];
      slot.Text.assign(texts[pick(9)]);
      for (auto& b : slot.Code) b = static_cast<std::uint8_t>(random());
      slot.Crc.HasChecksum = static_cast<std::uint8_t>(pick(2));
      slot.Crc.Count = static_cast<std::uint8_t>(pick(256));
      for (auto& item : slot.Crc.Items) {
        item.Kind = static_cast<std::uint8_t>(pick(13));
        item.OperandWidth = static_cast<std::uint8_t>(pick(3) ? 8 : pick(16));
        item.ZoneCount = static_cast<std::uint8_t>(pick(256));
        item.TargetFrame = static_cast<std::uint8_t>(pick(4));
        item.TargetBit = static_cast<std::uint16_t>(pick(600));
        item.TargetWidth = static_cast<std::uint8_t>(pick(40));
        item.Const = static_cast<std::uint16_t>(pick(3) ? 0 : random());
        item.ConstOp = static_cast<std::uint8_t>(pick(9));
        for (auto& z : item.Zones)
          z = {static_cast<std::uint8_t>(pick(4)), static_cast<std::uint16_t>(pick(600)),
               static_cast<std::uint8_t>(pick(4)), static_cast<std::uint16_t>(pick(600))};
      }
    }
    for (auto& key : r.Keys) {
      key.Slot = static_cast<std::uint8_t>(pick(3) ? 0 : pick(256));
      key.Slot2 = static_cast<std::uint8_t>(pick(3) ? 255 : pick(10));
      key.StateCount = static_cast<std::uint8_t>(pick(20));
      for (auto& c : key.Columns)
        if (pick(8) == 0) {
          c.Frame = static_cast<std::uint8_t>(pick(3));
          c.BitPos = static_cast<std::uint16_t>(pick(600));
          c.Width = static_cast<std::uint8_t>(1 + pick(8));
          c.Kind = static_cast<std::uint8_t>(pick(2) ? 0 : 200 + pick(56));
        }
    }
    base::Bytes image;
    int code = BuildTableImage(r, store::TBtnLines(r.UsedKeys()), pick(2) == 0, kTiming, kClock, image);
    if (code == 0) {
      EXPECT_LE(image.size(), kImageBufferSize);
    } else {
      EXPECT_LT(code, 0) << i;
    }
    store::ProtocolLibrary library("/nonexistent/acprotocl.dat");
    library.MutableRecords().push_back({r, store::TBtnLines(r.UsedKeys())});
    Lines lines = TableFileLines(library, {0}, kTiming, nullptr);
    EXPECT_EQ(lines.front(), "SEND_FRAME_INDEX:");
  }
}

TEST(ChipImageCheck, ListsRecordsThatCannotBeBuiltOrRun) {
  store::TdiskAir broken = SixKeyRecord("0002");
  broken.KeyCount = 5;
  store::ProtocolLibrary library =
      LibraryOf({SixKeyRecord("0001"), broken, KeyTableRecord(SixKeyRecord("0003"))});
  ChipImageCheckResult result = CheckAllChipImages(library, kTiming);
  EXPECT_EQ(result.checked, 3);
  EXPECT_FALSE(result.cancelled);
  EXPECT_EQ(std::count(result.listed.begin(), result.listed.end(), "0002"), 1);
  int error_code = -1;
  EXPECT_FALSE(CheckChipImage(library, 7, kTiming, error_code));
  EXPECT_EQ(error_code, 0);

  std::vector<int> seen;
  result = CheckAllChipImages(library, kTiming, [&](int done, int total) {
    seen.push_back(done);
    EXPECT_EQ(total, 3);
    return done < 2;
  });
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  EXPECT_EQ(result.checked, 2);
  EXPECT_TRUE(result.cancelled);
}

TEST(MobileBundle, HeaderDirectoryAndImages) {
  store::TdiskAir broken = SixKeyRecord("0002");
  broken.Slots[0].Text.assign("");
  store::TdiskAir long_brand = KeyTableRecord(SixKeyRecord(" 0003 "));
  long_brand.Brand.assign(" " + std::string(40, 'B'));
  store::ProtocolLibrary library = LibraryOf({SixKeyRecord("0001"), broken, long_brand});
  MobileBundle bundle = BuildMobileBundle(library, kTiming);
  base::Bytes first;
  base::Bytes third;
  ASSERT_EQ(Build(SixKeyRecord("0001"), first), 0);
  ASSERT_EQ(Build(long_brand, third), 0);
  EXPECT_EQ(bundle.skipped, std::vector<std::string>{"0002"});
  EXPECT_EQ(bundle.image_count, 2);
  EXPECT_EQ(bundle.smallest_image, static_cast<int>(std::min(first.size(), third.size())));
  const base::Bytes& b = bundle.bytes;
  ASSERT_EQ(b.size(), 16 + 2 * 40 + first.size() + third.size());
  EXPECT_EQ(base::ReadU32Le(&b[0]), 0u);
  EXPECT_EQ(base::ReadU32Le(&b[4]), 2u);
  EXPECT_EQ(base::ReadU32Le(&b[8]), b.size());
  EXPECT_EQ(base::ReadU32Le(&b[12]), 0u);
  std::string entry0(b.begin() + 16, b.begin() + 56);
  EXPECT_EQ(entry0.substr(0, 32), "Acme" + std::string(28, '\0'));
  EXPECT_EQ(entry0.substr(32, 6), std::string("0001\0\0", 6));
  EXPECT_EQ(Word(b, 16 + 38), first.size());
  std::string entry1(b.begin() + 56, b.begin() + 96);
  EXPECT_EQ(entry1.substr(0, 32),
            std::string(31, 'B') + '\0');  // the stored brand holds 32 bytes, trimmed to 31
  EXPECT_EQ(entry1.substr(32, 6), std::string("0003\0\0", 6));
  EXPECT_EQ(base::Bytes(b.begin() + 96, b.begin() + 96 + static_cast<std::ptrdiff_t>(first.size())), first);
  EXPECT_EQ(base::Bytes(b.end() - static_cast<std::ptrdiff_t>(third.size()), b.end()), third);

  MobileBundle empty = BuildMobileBundle(LibraryOf({}), kTiming);
  EXPECT_EQ(empty.smallest_image, 65536);
  EXPECT_EQ(empty.bytes, (base::Bytes{0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace klimavo::firmware
