#include "store/record_validation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace klimavo::store {
namespace {

namespace fs = std::filesystem;

TdiskAir Record(const char* code) {
  TdiskAir r;
  InitRecord(r, 0);
  r.CodeNo.assign(code);
  r.KeyCount = 2;
  for (std::size_t k = 0; k < 2; ++k) {
    r.Keys[k].StateCount = 2;
    r.Keys[k].StateNames[0].assign("On");
    r.Keys[k].StateNames[1].assign("Off");
  }
  return r;
}

TEST(RecordValidation, ChecksWhatSaveChecksInOrder) {
  std::string pattern = (fs::temp_directory_path() / "klimavo-validation-XXXXXX").string();
  fs::path dir = ::mkdtemp(pattern.data());
  ProtocolLibrary library(dir / "acprotocl.dat");
  library.StoreRecord(Record("0149"), {{}, {}}, -1);
  library.StoreRecord(Record("0150"), {{}, {}}, -1);

  struct Case {
    const char* name;
    TdiskAir record;
    int index;
    RecordValidation expected;
  };
  TdiskAir one_state = Record("0200");
  one_state.Keys[1].StateCount = 1;
  TdiskAir seventeen = Record("0200");
  seventeen.Keys[0].StateCount = 17;
  TdiskAir blank_name = Record("0200");
  blank_name.Keys[1].StateNames[1].assign("  ");
  TdiskAir no_keys = Record("0200");
  no_keys.KeyCount = 0;
  TdiskAir ignored_key = Record("0200");
  ignored_key.Keys[2].StateCount = 0;  // beyond the key count
  TdiskAir used_and_bad = Record(" 0149 ");
  used_and_bad.Keys[0].StateCount = 0;
  const Case cases[] = {
      {"valid new", Record("0200"), -1, {}},
      {"no keys", no_keys, -1, {}},
      {"keys beyond the count", ignored_key, -1, {}},
      {"empty code", Record("   "), -1, {kTextCodeMissing, -1, -1}},
      {"code of another record", Record("0150"), -1, {kTextCodeInUse, -1, -1}},
      {"code in use, any case and blanks", used_and_bad, 1, {kTextCodeInUse, -1, -1}},
      {"own code when replacing", Record("0150"), 1, {}},
      {"one state", one_state, -1, {kTextTooFewStates, 1, -1}},
      {"seventeen states", seventeen, -1, {kTextTooFewStates, 0, -1}},
      {"blank state name", blank_name, -1, {kTextStateNameEmpty, 1, 1}},
  };
  for (const Case& c : cases) {
    RecordValidation v = ValidateRecord(c.record, library, c.index);
    EXPECT_EQ(v.text, c.expected.text) << c.name;
    EXPECT_EQ(v.key, c.expected.key) << c.name;
    EXPECT_EQ(v.state, c.expected.state) << c.name;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace klimavo::store
