#include "store/record_json.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/date_time.h"
#include "ir/checksum.h"
#include "store/library.h"
#include "store/record_validation.h"

namespace klimavo::store {
namespace {

using Json = nlohmann::ordered_json;

// A record that sets every kind of field away from its default, with Chinese
// texts, checksums and code lines (packed, as the library holds them).
LibraryRecord FullRecord() {
  LibraryRecord e;
  TdiskAir& r = e.Record;
  InitRecord(r, base::ToDateTime(base::LocalDateTime{2024, 3, 9, 14, 5, 6, 789}));
  r.Brand.assign("\xB8\xF1\xC1\xA6 Gree");  // 格力 Gree
  r.CodeNo.assign("0149");
  r.MemoCn.assign("\xC0\xE4\xC5\xAF");  // 冷暖
  r.MemoEn.assign("heat pump, \"YAPOF\" remote");
  r.LsbFirst = 1;
  r.RemoteType = 1;
  r.HasChecksum = 1;
  r.Params.Carrier = 38000;
  r.Params.LogicCount = 2;
  r.Params.Logic[0] = {620, -540, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.Logic[1] = {620, -1600, ir::kUnusedDuration, 77};
  r.Params.SplitCount = 2;
  r.Params.Split[0] = {9000, -4500};
  r.Params.Split[1] = {620, ir::kUnusedDuration};
  r.Slots[0].Text.assign("<0>[35]<1>[32]<2>");
  r.Slots[0].Code = {0x09, 0x05, 0x20, 0x50, 0x02, 0x00, 0x20, 0x00, 0xE0};
  r.Slots[0].CodeStored = 1;
  r.Slots[0].Crc.HasChecksum = 1;
  r.Slots[0].Crc.Count = 2;
  r.Slots[0].Crc.Items[1] =
      ir::TCrcItem{1, 28, 4, 2, {ir::TCrcZone{0, 0, 0, 34}, ir::TCrcZone{1, 0, 1, 27}}, 3, 2, 9, 4, 0x0A, 0};
  r.Slots[4].Code[63] = 0xFF;  // a slot without text that still holds a byte
  r.KeyCount = 3;
  const char* names[] = {"Power", "Temp", "\xC4\xA3\xCA\xBD"};  // 模式
  for (std::size_t k = 0; k < 3; ++k) {
    TdiskKey& key = r.Keys[k];
    key.Name.assign(names[k]);
    key.StateCount = 2;
    key.StateNames[0].assign("off");
    key.StateNames[1].assign("on");
    key.Slot = 0;
  }
  r.Keys[0].Slot2 = 1;
  r.Keys[0].FixedFlags = 0x46;
  r.Keys[2].Extra = {0x03, 0x01, 0, 0, 9};
  r.Keys[0].Columns[0] = TdiskBitColumn{
      0, 3, 1, 0, {0, 1, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}};
  r.Keys[1].Columns[2] = TdiskBitColumn{0, 8, 4, 208, {}};
  r.Keys[1].Columns[2].Values.fill(255);
  r.Keys[1].Columns[2].Values[5] = 0x0C;
  ir::TStrProt_Listbase frame{ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(35),
                              ir::TStrProtItem::Split(1), ir::TStrProtItem::Data(32),
                              ir::TStrProtItem::Split(2)};
  TGrdDataLine a{{0x09, 0x05, 0x20, 0x50, 0x02, 0x00, 0x20, 0x00, 0xE0}, frame, 2, 0x81};
  TGrdDataLine b{{0x5A, 0x03}, {ir::TStrProtItem::Data(11)}, 0, 0};
  e.Lines = {{a, b}, {}, {a}};
  return e;
}

void ExpectSameRecord(const LibraryRecord& back, const LibraryRecord& original) {
  EXPECT_EQ(back.Record.ToImage(), original.Record.ToImage());
  EXPECT_EQ(back.Lines, original.Lines);
}

TEST(RecordJson, RecordToJsonAndBackIsTheSameRecord) {
  LibraryRecord original = FullRecord();
  ExpectSameRecord(LibraryRecordFromJsonText(LibraryRecordToJsonText(original)), original);
  // A new record, and one whose flags hold other bytes than 0 and 1.
  LibraryRecord fresh;
  fresh.Record = TdiskAir::FromImage(base::Bytes(TdiskAir::kSize, 0));
  InitRecord(fresh.Record, 0);
  ExpectSameRecord(LibraryRecordFromJsonText(LibraryRecordToJsonText(fresh)), fresh);
  LibraryRecord odd = original;
  odd.Record.LsbFirst = 2;
  odd.Record.HasChecksum = 7;
  odd.Record.Slots[0].Crc.HasChecksum = 9;
  ExpectSameRecord(LibraryRecordFromJsonText(LibraryRecordToJsonText(odd)), odd);
}

TEST(RecordJson, WritesTheFixedNamesAndLeavesDefaultsOut) {
  Json j = LibraryRecordToJson(FullRecord());
  std::vector<std::string> names;
  for (const auto& [name, value] : j.items()) names.push_back(name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"brand", "code", "memo_cn", "memo_en", "lsb_first", "remote_type",
                                      "change_time", "has_checksum", "params", "slots", "keys"}));
  EXPECT_EQ(j["brand"], "\xE6\xA0\xBC\xE5\x8A\x9B Gree");  // UTF-8
  EXPECT_EQ(j["change_time"], "2024-03-09T14:05:06.789");
  EXPECT_EQ(j["lsb_first"], true);
  EXPECT_EQ(j["params"]["logic"], Json::parse("[[620,-540],[620,-1600,2147483647,77]]"));
  EXPECT_EQ(j["params"]["split"], Json::parse("[[9000,-4500],[620,2147483647]]"));
  ASSERT_EQ(j["slots"].size(), 2u);
  EXPECT_EQ(j["slots"][0]["code"],
            "090520500200200"
            "0E0");
  EXPECT_EQ(j["slots"][1]["index"], 4);
  EXPECT_EQ(j["slots"][1]["text"], "");
  const Json& items = j["slots"][0]["crc"]["items"];
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0], Json::parse(R"({"index":1,"target":[1,28,4],"zones":[[0,0,0,34],[1,0,1,27]],"kind":9,
      "width":4,"const":10,"const_op":0,"aux_const":3,"aux_op":2})"));
  const Json& key1 = j["keys"][1];
  ASSERT_EQ(key1["columns"].size(), 1u);
  EXPECT_EQ(key1["columns"][0], Json::parse(R"({"index":2,"frame":0,"bit":8,"width":4,"kind":208,
      "values":[255,255,255,255,255,12]})"));
  EXPECT_EQ(j["keys"][0]["columns"][0]["values"], Json::parse("[0,1]"));
  EXPECT_EQ(j["keys"][2]["extra"], Json::parse("[3,1,0,0,9]"));
  const Json& line = j["keys"][0]["lines"][1];
  EXPECT_EQ(line["bits"], "01011010110");  // 0x5A then the low three bits of 0x03, LSB first
  EXPECT_EQ(line["elements"], "[11]");
  EXPECT_EQ(j["keys"][0]["lines"][0]["elements"], "<0>[35]<1>[32]<2>");
  EXPECT_EQ(j["keys"][0]["lines"][0]["marker"], 0x81);
}

TEST(RecordJson, AShortRecordTakesTheNewRecordDefaults) {
  EditableRecord e = RecordFromJsonText(R"({"code":"0007","keys":[{"name":"Power","states":["off","on"]}]})");
  TdiskAir expected = TdiskAir::FromImage(base::Bytes(TdiskAir::kSize, 0));
  InitRecord(expected, 0);
  expected.CodeNo.assign("0007");
  expected.KeyCount = 1;
  expected.Keys[0].Name.assign("Power");
  expected.Keys[0].StateCount = 2;
  expected.Keys[0].StateNames[0].assign("off");
  expected.Keys[0].StateNames[1].assign("on");
  EXPECT_EQ(e.record.ToImage(), expected.ToImage());
  EXPECT_EQ(e.bit_lines, (TBtnLines{{}}));
}

TEST(RecordJson, ErrorsNameTheFieldAtFault) {
  struct Case {
    const char* json;
    const char* field;
  };
  const Case cases[] = {
      {R"({"colour":1})", "colour"},
      {R"([1,2])", "record"},
      {R"({"code":)", "code"},
      {R"({"brand":"123456789012345678901234567890123"})", "brand"},
      {R"({"brand":"\ud83d\ude00"})", "brand"},
      {R"({"code":"1234567"})", "code"},
      {R"({"memo_en":5})", "memo_en"},
      {R"({"lsb_first":256})", "lsb_first"},
      {R"({"remote_type":-1})", "remote_type"},
      {R"({"change_time":"yesterday"})", "change_time"},
      {R"({"params":{"carrier":70000}})", "params.carrier"},
      {R"({"params":{"logic":[[1],[1],[1],[1],[1],[1],[1],[1],[1]]}})", "params.logic"},
      {R"({"params":{"split":[[1,2,3]]}})", "params.split[0]"},
      {R"({"params":{"logic":[[1.5]]}})", "params.logic[0][0]"},
      {R"({"slots":[{"text":"<0>"}]})", "slots[0]"},
      {R"({"slots":[{"index":9}]})", "slots[0].index"},
      {R"({"slots":[{"index":1},{"index":1}]})", "slots[1].index"},
      {R"({"slots":[{"index":0,"code":"0G"}]})", "slots[0].code"},
      {R"({"slots":[{"index":0,"code":"123"}]})", "slots[0].code"},
      {R"({"slots":[{"index":0,"crc":{"items":[{"index":0,"target":[1,2]}]}}]})",
       "slots[0].crc.items[0].target"},
      {R"({"slots":[{"index":0,"crc":{"items":[{"index":0,"zones":[[0,0,0,1],[0,0,0,1],[0,0,0,1]]}]}}]})",
       "slots[0].crc.items[0].zones"},
      {R"({"slots":[{"index":0,"crc":{"mode":1}}]})", "slots[0].crc.mode"},
      {R"({"keys":[{"name":"Power","hue":1}]})", "keys[0].hue"},
      {R"({"keys":[{"states":["123456789"]}]})", "keys[0].states[0]"},
      {R"({"keys":[{"columns":[{"index":32}]}]})", "keys[0].columns[0].index"},
      {R"({"keys":[{"columns":[{"index":0,"values":[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17]}]}]})",
       "keys[0].columns[0].values"},
      {R"({"keys":[{"extra":[1,2,3,4,5,6]}]})", "keys[0].extra"},
      {R"({"keys":[{"lines":[{"bits":"012","elements":"[3]"}]}]})", "keys[0].lines[0].bits"},
      {R"({"keys":[{"lines":[{"bits":"0101","elements":"[3]"}]}]})", "keys[0].lines[0].bits"},
      {R"({"keys":[{"lines":[{"bits":"01","elements":"<0>[2"}]}]})", "keys[0].lines[0].elements"},
      {R"({"keys":[{"lines":[{"elements":"[8*2]"}]}]})", "keys[0].lines[0].elements"},
      {R"({"keys":[{"lines":[{"elements":"[-1]"}]}]})", "keys[0].lines[0].elements"},
      {R"({"keys":[{"lines":[{"repeat":256}]}]})", "keys[0].lines[0].repeat"},
      {R"({"keys":[{},{},{},{},{},{},{},{},{}]})", "keys"},
  };
  for (const Case& c : cases) {
    try {
      RecordFromJsonText(c.json);
      ADD_FAILURE() << "accepted " << c.json;
    } catch (const RecordJsonError& e) {
      EXPECT_EQ(e.field(), c.field) << c.json << " -> " << e.what();
    }
  }
}

// Nesting beyond 32 levels, however deep, is refused before it is parsed or
// shown: neither the parser nor the error text may follow it.
TEST(RecordJson, DeepNestingIsRefusedAtThirtyTwoLevels) {
  auto nested = [](std::size_t levels, const char* open, const char* close) {
    std::string text;
    for (std::size_t i = 0; i < levels; ++i) text += open;
    for (std::size_t i = 0; i < levels; ++i) text += close;
    return text;
  };
  struct Case {
    std::string json;
    bool too_deep;
    const char* field;
  };
  const Case cases[] = {
      {R"({"brand":)" + nested(31, "[", "]") + "}", false,
       "brand"},                                                     // 32 levels in all: read, but not a text
      {R"({"brand":)" + nested(32, "[", "]") + "}", true, nullptr},  // 33 levels
      {R"({"brand":)" + nested(70000, "[", "]") + "}", true, nullptr},
      {R"({"keys":[{"name":)" + nested(10000, "{\"a\":[", "]}") + "}]}", true, nullptr},
  };
  for (const Case& c : cases) {
    try {
      RecordFromJsonText(c.json);
      ADD_FAILURE() << "accepted " << c.json.substr(0, 40);
    } catch (const RecordJsonError& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.find("deeper than 32 levels") != std::string::npos, c.too_deep) << what.substr(0, 200);
      if (c.field != nullptr) {
        EXPECT_EQ(e.field(), c.field) << what.substr(0, 200);
      }
      EXPECT_LT(what.size(), 400u) << what.substr(0, 200);
    }
  }
  try {
    RecordFromJsonText(R"({"brand":)" + nested(32, "[", "]") + "}");
  } catch (const RecordJsonError& e) {
    std::string field = "brand";
    for (int i = 0; i < 31; ++i) field += "[0]";  // where the 33rd level opens
    EXPECT_EQ(e.field(), field);
  }
}

TEST(RecordJson, ErrorTextsQuoteAtMostEightyCharactersOfAValue) {
  const std::string long_text(5000, 'x');
  const std::string chinese = "\xE6\xA0\xBC";  // one character, three bytes
  std::string many_chinese;
  for (int i = 0; i < 200; ++i) many_chinese += chinese;
  std::string long_list = "[";
  for (int i = 0; i < 60000; ++i) long_list += (i ? ",1" : "1");
  long_list += "]";
  struct Case {
    std::string json;
    std::string shown;
  };
  const Case cases[] = {
      {R"({"brand":")" + long_text + R"("})", "\"" + std::string(79, 'x') + "..."},
      {R"({"brand":")" + many_chinese + R"("})", "\"" + many_chinese.substr(0, 79 * 3) + "..."},
      {R"({"brand":)" + long_list + "}", "[1" +
                                             [] {
                                               std::string ones;
                                               for (int i = 0; i < 39; ++i) ones += ",1";
                                               return ones;
                                             }() +
                                             "..."},
      {R"({"brand":5})", "5"},
  };
  for (const Case& c : cases) {
    try {
      RecordFromJsonText(c.json);
      ADD_FAILURE() << "accepted";
    } catch (const RecordJsonError& e) {
      EXPECT_EQ(e.value(), c.shown);
      EXPECT_NE(std::string(e.what()).find(c.shown), std::string::npos);
    }
  }
}

// The position is where the parser stopped: the last character of the token at
// fault, counted in characters (a Chinese character is one column).
TEST(RecordJson, SyntaxErrorsNameTheLineTheColumnAndTheField) {
  struct Case {
    const char* json;
    const char* where;
    const char* field;
  };
  const Case cases[] = {
      {"{\n  \"brand\": \"Gree\",\n  \"code\": 0149\n}", "line 3, column 14 (field code)", "code"},
      {"{\"keys\": [\n {\"name\": \"Power\", \"states\": [\"off\" \"on\"]}]}",
       "line 2, column 40 (field keys[0].states[1])", "keys[0].states[1]"},
      {"{\"brand\": \"\xE6\xA0\xBC\xE5\x8A\x9B\", }", "line 1, column 17 (field brand)", "brand"},
      {"", "line 1, column 1:", "record"},
      {"{} x", "line 1, column 4:", "record"},
  };
  for (const Case& c : cases) {
    try {
      RecordFromJsonText(c.json);
      ADD_FAILURE() << "accepted " << c.json;
    } catch (const RecordJsonError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.where, 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find("not valid JSON"), std::string::npos) << e.what();
      EXPECT_EQ(e.field(), c.field) << e.what();
    }
  }
}

// A text of many tiny values is refused while it is read, before it is held
// in memory (a list of 20 million empty objects once took 25 times its size),
// and no message quotes more than about 80 characters of what it was given.
TEST(RecordJson, HostileTextsAreRefusedEarlyWithShortMessages) {
  const auto repeated = [](const std::string& item, std::size_t n) {
    std::string out;
    out.reserve(item.size() * n + n);
    for (std::size_t i = 0; i < n; ++i) {
      if (i) out += ',';
      out += item;
    }
    return out;
  };
  std::string bad_byte = R"({"brand":")" + std::string(1'000'000, 'a') + "\xFF" + R"("})";
  struct Case {
    const char* what;
    std::string json;
    const char* says;
    const char* field;
  };
  const Case cases[] = {
      {"a list of empty objects", "[" + repeated("{}", 1'000'000) + "]", "is not an object", "record"},
      {"a long list inside", R"({"keys":[)" + repeated("{}", 70'000) + "]}", "more than 65535 entries",
       "keys[65535]"},
      {"many values", R"({"keys":[)" + repeated("[" + repeated("0", 60'000) + "]", 20) + "]}",
       "more than 1000000 values", nullptr},
      {"many names",
       "{" +
           [] {
             std::string names;
             for (int i = 0; i < 300; ++i) names += (i ? "," : "") + ("\"n" + std::to_string(i) + "\":0");
             return names;
           }() +
           "}",
       "more than 256 names", "n256"},
      {"a long unknown name", "{\"" + std::string(100'000, 'k') + "\":1}", "not a name of the record form",
       nullptr},
      {"a bad byte in a long text", bad_byte, "not valid JSON", "brand"},
  };
  for (const Case& c : cases) {
    try {
      RecordFromJsonText(c.json);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const RecordJsonError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(c.says), std::string::npos) << c.what << ": " << what.substr(0, 300);
      EXPECT_LT(what.size(), 400u) << c.what << ": " << what.substr(0, 300);
      if (c.field != nullptr) {
        EXPECT_EQ(e.field(), c.field) << c.what;
      }
    }
  }
}

TEST(RecordJson, TextsAboveSixtyFourMebibytesAreRefusedUnread) {
  std::string big(kMaxRecordJsonBytes + 1, ' ');
  big.front() = '{';
  big.back() = '}';
  try {
    RecordFromJsonText(big);
    ADD_FAILURE() << "accepted";
  } catch (const RecordJsonError& e) {
    EXPECT_NE(std::string(e.what()).find("67108865 bytes"), std::string::npos) << e.what();
  }
  big.resize(kMaxRecordJsonBytes);
  big.back() = '}';
  EXPECT_NO_THROW(RecordFromJsonText(big));
}

TEST(RecordJson, LinesThatDoNotFitAStoredLineAreRefused) {
  std::string many(65 * 3, ' ');
  for (int i = 0; i < 65; ++i) many.replace(static_cast<std::size_t>(i) * 3, 3, "[1]");
  std::string long_bits(130 * 8, '1');
  const std::string cases[] = {
      R"({"keys":[{"lines":[{"elements":")" + many + R"("}]}]})",
      R"({"keys":[{"lines":[{"bits":")" + long_bits + R"(","elements":"[1040]"}]}]})",
  };
  for (const std::string& json : cases)
    EXPECT_THROW(RecordFromJsonText(json), RecordJsonError) << json.substr(0, 40);
  std::string fits(129 * 8, '0');
  EXPECT_NO_THROW(
      RecordFromJsonText(R"({"keys":[{"lines":[{"bits":")" + fits + R"(","elements":"[1032]"}]}]})"));
}

TEST(RecordJson, ChangeTimeReadsBackToTheSameDouble) {
  const double values[] = {
      0.0,
      base::ToDateTime(base::LocalDateTime{2024, 3, 9, 14, 5, 6, 0}),
      base::ToDateTime(base::LocalDateTime{2024, 3, 9, 14, 5, 6, 789}),
      45000.123456789,  // not a whole millisecond
      45000.999999999,
      39000.5 + 1e-9,
  };
  for (double v : values) {
    double back = -1;
    std::string iso = ChangeTimeToIso(v);
    ASSERT_TRUE(ChangeTimeFromIso(iso, back)) << iso;
    EXPECT_EQ(back, v) << iso;
  }
  // Many arbitrary date-times, before and after 1899-12-30.
  std::uint64_t seed = 12345;
  for (int i = 0; i < 5000; ++i) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    double v = static_cast<double>(seed >> 11) / 9007199254740992.0 * 3000000.0 - 700000.0;
    double back = -1;
    ASSERT_TRUE(ChangeTimeFromIso(ChangeTimeToIso(v), back)) << ChangeTimeToIso(v);
    ASSERT_EQ(back, v) << ChangeTimeToIso(v);
  }
  double v = 0;
  EXPECT_TRUE(ChangeTimeFromIso("2024-03-09T14:05", v));
  EXPECT_EQ(ChangeTimeToIso(v), "2024-03-09T14:05:00");
  for (const char* bad : {"2024-13-01T00:00:00", "2024-03-09", "2024-03-09T14:05:06.12x", ""})
    EXPECT_FALSE(ChangeTimeFromIso(bad, v)) << bad;
}

// The sample library of a new home: every record reads, passes what Save
// checks, survives a round trip, and its code lines carry the checksums its
// items describe.
TEST(RecordJson, SampleLibraryRecordsAreSound) {
  std::vector<std::filesystem::path> files;
  for (const auto& e :
       std::filesystem::directory_iterator(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/library"))
    if (e.path().extension() == ".json") files.push_back(e.path());
  ASSERT_GE(files.size(), 6u);
  ProtocolLibrary library(std::filesystem::temp_directory_path() / "klimavo-never-written.dat");
  int with_checksums = 0, without_display = 0;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EditableRecord e = RecordFromJsonText(text.str());
    EXPECT_TRUE(ValidateRecord(e.record, library, -1).ok()) << file;
    library.MutableRecords().push_back({e.record, PackLines(e.bit_lines, IsLsbFirst(e.record))});
    ExpectSameRecord(LibraryRecordFromJsonText(LibraryRecordToJsonText(library.Records().back())),
                     library.Records().back());
    with_checksums += e.record.HasChecksum != 0;
    without_display += e.record.RemoteType == 1;
    for (std::size_t k = 0; k < e.bit_lines.size(); ++k) {
      for (const TGrdDataLine& line : e.bit_lines[k]) {
        EXPECT_FALSE(line.Data.empty()) << file << " key " << k;
        ASSERT_LT(e.record.Keys[k].Slot, kFormatSlots) << file << " key " << k;
        const ir::TCrcBlock& crc = e.record.Slots[e.record.Keys[k].Slot].Crc;
        if (e.record.HasChecksum == 0 || crc.HasChecksum == 0) continue;
        for (std::size_t i = 0; i < crc.Count; ++i) {
          EXPECT_EQ(ir::CrcCalculate(line.Data, crc.Items[i], line.Elements, IsLsbFirst(e.record)),
                    ir::CrcReadTarget(line.Data, crc.Items[i], line.Elements, IsLsbFirst(e.record)))
              << file << " key " << k;
        }
      }
    }
  }
  EXPECT_GE(with_checksums, 1);
  EXPECT_GE(without_display, 1);
}

}  // namespace
}  // namespace klimavo::store
