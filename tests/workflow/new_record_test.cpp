// The making of a new record: the template it starts from, the format taken
// from an accepted decode, and the refusals of a record made from a capture.
#include "workflow/new_record.h"

#include <gtest/gtest.h>

#include "base/gbk.h"
#include "ir/decode.h"
#include "ir/protocol.h"
#include "store/file_test_support.h"
#include "workflow_test_support.h"

namespace klimavo::workflow {
namespace {

namespace fs = std::filesystem;
using store::testing::ScratchDir;
using testing::CorpusCapture;
using testing::RecordWithKeys;

store::TdiskAir TemplateRecord() {
  store::TdiskAir record = RecordWithKeys({{"Power", {"Off", "On"}}, {"Temp", {"16", "17", "18"}}});
  record.Brand.assign("Template");
  record.Keys[0].Columns[0].Frame = 0;
  record.Slots[0].Text.assign("<0>[8]");
  return record;
}

store::ProtocolLibrary LibraryWith(const fs::path& dir, const std::vector<std::string>& codes) {
  store::ProtocolLibrary library(dir / "acprotocl.dat");
  for (const std::string& code : codes) {
    store::TdiskAir record = TemplateRecord();
    record.CodeNo.assign(code);
    library.StoreRecord(record, {}, -1);
  }
  return library;
}

TEST(LoadNewRecordTemplate, TemplateFileThenLibraryRecordZeroThenNoKeys) {
  const fs::path dir = ScratchDir("workflow");
  store::ProtocolLibrary empty(dir / "none.dat");
  EXPECT_EQ(LoadNewRecordTemplate(empty, dir, true).KeyCount, 0);
  EXPECT_FALSE(fs::exists(dir / "templet.apf"));

  store::ProtocolLibrary library = LibraryWith(dir, {"0149"});
  EXPECT_EQ(LoadNewRecordTemplate(library, dir, false).CodeNo.str(), "0149");
  EXPECT_FALSE(fs::exists(dir / "templet.apf")) << "the command-line path never writes the template";
  EXPECT_EQ(LoadNewRecordTemplate(library, dir, true).CodeNo.str(), "0149");
  ASSERT_TRUE(fs::exists(dir / "templet.apf"));

  store::TdiskAir own = TemplateRecord();
  own.CodeNo.assign("T1");
  store::SaveTemplate(dir, own);
  EXPECT_EQ(LoadNewRecordTemplate(library, dir, true).CodeNo.str(), "T1");
  fs::resize_file(dir / "templet.apf", store::TdiskAir::kSize - 1);  // a damaged template is ignored
  EXPECT_EQ(LoadNewRecordTemplate(library, dir, false).CodeNo.str(), "0149");
}

TEST(PrepareNewRecord, KeysAndStatesSurviveEverythingElseIsNew) {
  const store::TdiskAir record = PrepareNewRecord(TemplateRecord(), 45000.5);
  EXPECT_EQ(record.KeyCount, 2);
  EXPECT_EQ(record.Keys[1].Name.str(), "Temp");
  EXPECT_EQ(record.Keys[1].StateNames[2].str(), "18");
  EXPECT_FALSE(record.Keys[0].Columns[0].InUse());
  EXPECT_TRUE(record.Brand.empty());
  EXPECT_TRUE(record.Slots[0].Text.empty());
  EXPECT_EQ(record.ChangeTime, 45000.5);
}

TEST(ApplyDecodedFormat, TakesTimingTextBitOrderAndAtMost64CodeBytes) {
  ir::Tcomp_aval result;
  result.Params.Carrier = 36000;
  result.Params.LogicCount = 2;
  result.Protocol = ir::ParseProtocol("<0>[560]<1>");
  for (int i = 0; i < 70; ++i) result.Bytes.push_back(static_cast<std::uint8_t>(i + 1));
  store::TdiskAir record;
  record.Slots[0].Code.fill(0xEE);
  ApplyDecodedFormat(record, result, false);
  EXPECT_EQ(record.Params, result.Params);
  EXPECT_EQ(record.Slots[0].Text.str(), "<0>[560]<1>");
  EXPECT_EQ(record.LsbFirst, 0);
  EXPECT_EQ(record.Slots[0].Code[0], 1);
  EXPECT_EQ(record.Slots[0].Code[63], 64);
  EXPECT_EQ(record.Slots[0].CodeStored, 1);

  result.Bytes = {0xAB};
  ApplyDecodedFormat(record, result, true);
  EXPECT_EQ(record.LsbFirst, 1);
  EXPECT_EQ(record.Slots[0].Code[0], 0xAB);
  EXPECT_EQ(record.Slots[0].Code[1], 0) << "the rest of the code bytes is cleared";
}

TEST(FinishNewRecord, ThePowerKeyUsesTheDecodedFormatAndTheRecordIsNamed) {
  const fs::path dir = ScratchDir("workflow");
  const store::ProtocolLibrary library = LibraryWith(dir, {"0149"});
  ir::Tcomp_aval decode;
  decode.Params.LogicCount = 2;
  decode.Protocol = ir::ParseProtocol("<0>[16]<1>");
  decode.Bytes = {0x12, 0x34};
  store::TdiskAir record = PrepareNewRecord(TemplateRecord(), 45000);
  ASSERT_TRUE(FinishNewRecord(record, decode, true, library));
  EXPECT_EQ(record.Slots[0].Text.str(), "<0>[16]<1>");
  EXPECT_EQ(record.Keys[0].Slot, 0);
  EXPECT_EQ(record.Keys[1].Slot, store::kNoSlot) << "only the power key is given the format";
  EXPECT_EQ(record.Brand.str(), "New File");
  EXPECT_EQ(record.CodeNo.str(), "0150");

  store::TdiskAir no_keys = PrepareNewRecord(store::TdiskAir{}, 45000);
  EXPECT_TRUE(FinishNewRecord(no_keys, decode, true, library));
  EXPECT_EQ(no_keys.Keys[0].Slot, store::kNoSlot) << "a record without keys has no power key";

  store::TdiskAir no_text = PrepareNewRecord(TemplateRecord(), 45000);
  EXPECT_FALSE(FinishNewRecord(no_text, ir::Tcomp_aval{}, true, library));
  EXPECT_EQ(no_text.Keys[0].Slot, store::kNoSlot);
}

// Corpus: ACs/Airmax/Airmax.ir, "Power_on".
TEST(NewRecordFromCapture, MakesTheRecordNewMakesWithoutWritingAnything) {
  const auto capture = CorpusCapture("ACs/Airmax/Airmax.ir", "Power_on");
  ASSERT_TRUE(capture) << "the capture is missing from the corpus";
  const fs::path dir = ScratchDir("workflow");
  store::ProtocolLibrary library = LibraryWith(dir, {"0149", "0150", "ABC"});
  const auto library_bytes = store::testing::ReadBytes(library.File());
  NewRecordRequest request{*capture, 0.21, true, std::nullopt, std::nullopt, 45001.25};
  const NewRecordResult result = NewRecordFromCapture(library, dir, request);
  ASSERT_TRUE(result.ok());
  ir::Tcomp_aval decode;
  ASSERT_TRUE(ir::DecodeCapture(capture->Durations, capture->Carrier, false, true, 0.21, decode));
  EXPECT_EQ(result.record.Params, decode.Params);
  EXPECT_EQ(result.record.Slots[0].Text.str(), ir::PrintProtocol(decode.Protocol));
  EXPECT_EQ(
      std::vector<std::uint8_t>(result.record.Slots[0].Code.begin(), result.record.Slots[0].Code.begin() + 6),
      decode.Bytes);
  EXPECT_EQ(result.record.Brand.str(), "New File");
  EXPECT_EQ(result.record.CodeNo.str(), "0151");
  EXPECT_EQ(result.record.KeyCount, 2);  // the keys of library record 0, the template's source
  EXPECT_FALSE(result.record.Keys[0].Columns[0].InUse());
  EXPECT_EQ(result.record.Keys[0].Slot, 0) << "the power key uses the decoded format, as after New";
  EXPECT_EQ(result.record.ChangeTime, 45001.25);
  EXPECT_EQ(library.Size(), 3);
  EXPECT_EQ(store::testing::ReadBytes(library.File()), library_bytes);
  EXPECT_FALSE(fs::exists(dir / "templet.apf"));
}

TEST(NewRecordFromCapture, Refusals) {
  const auto capture = CorpusCapture("ACs/Airmax/Airmax.ir", "Power_on");
  ASSERT_TRUE(capture) << "the capture is missing from the corpus";
  const fs::path dir = ScratchDir("workflow");
  struct Case {
    const char* what;
    std::vector<std::string> codes;
    std::optional<std::string> code;
    std::optional<std::string> brand;
    ir::TIRIntegerArr durations;
    store::TdiskAir templ;
    NewRecordRefusal refusal;
    int key;
  };
  const store::TdiskAir good = TemplateRecord();
  store::TdiskAir one_state = good;
  one_state.Keys[1].StateCount = 1;
  store::TdiskAir blank_state = good;
  blank_state.Keys[1].StateNames[1].assign(" ");
  store::TdiskAir blank_name = good;
  blank_name.Keys[0].Name.assign("");
  const Case cases[] = {
      {"an unreadable capture", {}, {}, {}, {90000, -45000, 5600}, good, NewRecordRefusal::NoDecoding, -1},
      {"an empty code", {}, " ", {}, capture->Durations, good, NewRecordRefusal::CodeEmpty, -1},
      {"a code of 7 bytes", {}, "1234567", {}, capture->Durations, good, NewRecordRefusal::CodeTooLong, -1},
      {"a code in use, any case",
       {"ab12"},
       "AB12",
       {},
       capture->Durations,
       good,
       NewRecordRefusal::CodeInUse,
       -1},
      {"a next code of 7 bytes",
       {"999999"},
       {},
       {},
       capture->Durations,
       good,
       NewRecordRefusal::NextCodeTooLong,
       -1},
      {"a brand of 33 bytes",
       {},
       {},
       std::string(33, 'b'),
       capture->Durations,
       good,
       NewRecordRefusal::BrandTooLong,
       -1},
      {"a key with one state", {}, {}, {}, capture->Durations, one_state, NewRecordRefusal::TooFewStates, 1},
      {"a blank state name",
       {},
       {},
       {},
       capture->Durations,
       blank_state,
       NewRecordRefusal::StateNameEmpty,
       1},
      {"a key without a name", {}, {}, {}, capture->Durations, blank_name, NewRecordRefusal::KeyNameEmpty, 0},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    store::ProtocolLibrary library = LibraryWith(dir, c.codes);
    store::SaveTemplate(dir, c.templ);
    NewRecordRequest request{ir::Capture{c.durations, 38000}, 0.21, true, c.brand, c.code, 45000};
    const NewRecordResult result = NewRecordFromCapture(library, dir, request);
    EXPECT_EQ(result.refusal, c.refusal) << c.what;
    EXPECT_EQ(result.key, c.key) << c.what;
  }
}

}  // namespace
}  // namespace klimavo::workflow
