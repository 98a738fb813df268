#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;
using namespace std::string_literals;

const ReaderCase kJsonLinesCases[] = {
    {"corpus lines",
     R"({"source":"ACs/X.ir","name":"Off","carrier_hz":38000,"durations_us":[9000,-4500,560]})"
     "\n\n"
     R"({"durations_us":[1,-2],"carrier_hz":36000})"
     "\n",
     {{{9000, -4500, 560}, 38000, "Off", 1}, {{1, -2}, 36000, std::nullopt, 3}}},
    {"no carrier takes the default", R"({"durations_us":[5,-6]})", {{{5, -6}}}},
    {"escaped UTF-8 name",
     R"({"name":"\u5236\u51b7 \"1\"","durations_us":[5]})",
     {{{5}, 38000, "\xE5\x88\xB6\xE5\x86\xB7 \"1\""}}},
    {"empty list gives nothing", R"({"durations_us":[]})", {}},
    {"not JSON", "{\"durations_us\":[1,2}\n", {}, 1, "{\"durations_us\":[1,2}", "not a JSON object"},
    {"array, not object",
     R"({"durations_us":[1]})"
     "\n[1,2]\n",
     {},
     2,
     "[1,2]",
     "not a JSON object"},
    {"missing durations", R"({"name":"x"})", {}, 1, "durations_us", "missing"},
    {"durations not an array", R"({"durations_us":"1 2"})", {}, 1, "durations_us", "not an array"},
    {"fraction", R"({"durations_us":[1,-2.5]})", {}, 1, "durations_us[1]", "not a duration"},
    {"too large", R"({"durations_us":[1,-2,214748365]})", {}, 1, "durations_us[2]", "not a duration"},
    {"beyond 64 bits",
     R"({"durations_us":[99999999999999999999999]})",
     {},
     1,
     "durations_us[0]",
     "not a duration"},
    {"string duration", R"({"durations_us":["1"]})", {}, 1, "durations_us[0]", "not a duration"},
    {"negative carrier", R"({"durations_us":[1],"carrier_hz":-1})", {}, 1, "carrier_hz", "carrier"},
    {"carrier as text", R"({"durations_us":[1],"carrier_hz":"38000"})", {}, 1, "carrier_hz", "carrier"},
    {"name not a string", R"({"durations_us":[1],"name":5})", {}, 1, "name", "not a string"},
    {"invalid UTF-8 in a string",
     "{\"name\":\"\xFF\",\"durations_us\":[1]}",
     {},
     1,
     "{\"name\":\"\xFF\",\"durations_us\":[1]}",
     "not a JSON object"},
    {"last of a repeated key counts",
     R"({"durations_us":"x","carrier_hz":1,"durations_us":[7,-8],"carrier_hz":36000})",
     {{{7, -8}, 36000}}},
    {"keys of nested objects are ignored",
     R"({"meta":{"durations_us":"x","name":5},"durations_us":[7]})",
     {{{7}}}},
    {"tab between values", "{\"durations_us\":\t[1,\t-2]}", {{{1, -2}}}},
    {"a syntax error names its byte",
     "  {\"durations_us\":[1,,2]}",
     {},
     1,
     "{\"durations_us\":[1,,2]}",
     "not a JSON object (syntax error at byte 22)"},
    {"NUL between values",
     "{\"durations_us\":[1,\0"s
     "2]}",
     {},
     1,
     "{\"durations_us\":[1,\\x002]}",
     "control byte 0x00"},
    {"a lone number is not an object", "5\n", {}, 1, "5", "not a JSON object"},
    {"nested array as a duration",
     R"({"durations_us":[1,[2],3]})",
     {},
     1,
     "durations_us[1]",
     "not a duration"},
};

TEST(JsonLinesFormat, ReadsCorpusLinesOrNamesTheFault) {
  for (const ReaderCase& c : kJsonLinesCases) testing::CheckReaderCase(JsonLinesFormat(), c);
}

// The corpus names the file each capture came from; a source that is not a text is ignored.
TEST(JsonLinesFormat, KeepsTheSourceOfEachCaptureAsItsOrigin) {
  const ReadResult r = ReadWithFormat(JsonLinesFormat(),
                                      R"({"source":"ACs/Gree/YB1F2.ir","durations_us":[1]})"
                                      "\n"
                                      R"({"source":7,"durations_us":[2]})"
                                      "\n"
                                      R"({"durations_us":[3]})",
                                      ReadOptions{});
  ASSERT_TRUE(r.ok());
  ASSERT_EQ(r.captures.size(), 3u);
  EXPECT_EQ(r.captures[0].origin, "ACs/Gree/YB1F2.ir");
  EXPECT_EQ(r.captures[1].origin, std::nullopt);
  EXPECT_EQ(r.captures[2].origin, std::nullopt);
}

TEST(JsonLinesFormat, DeepNestingIsAnErrorNotACrash) {
  const std::string deep = "{\"durations_us\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
  const ReadResult r = ReadWithFormat(JsonLinesFormat(), deep, ReadOptions{});
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error->token, "durations_us[0]");
}

const ReaderCase kJsonLinesLimitCases[] = {
    {"four durations fit", R"({"durations_us":[1,-2,3,-4]})", {{{1, -2, 3, -4}}}},
    {"a fifth is refused",
     R"({"durations_us":[1,-2,3,-4,5]})",
     {},
     1,
     "durations_us",
     "more than 4 durations in one capture"},
    {"a long line",
     "{\"durations_us\":[1]}\n{\"durations_us\":[1,2,3,4,5,6,7,8,9]}\n",
     {},
     2,
     "",
     "line longer than 32 bytes"},
};

TEST(JsonLinesFormat, LimitsNameTheLineAndTheLimit) {
  for (const ReaderCase& c : kJsonLinesLimitCases)
    testing::CheckReaderCase(JsonLinesFormat(), c, testing::SmallLimits());
}

// A line at the real limit, parsed without a document: a million durations read,
// one more refused before any is kept.
TEST(JsonLinesFormat, AMillionDurationsOnOneLine) {
  std::string line = "{\"durations_us\":[";
  for (std::size_t i = 0; i < kMaxDurationsPerCapture; ++i) line += i % 2 ? "-1," : "1,";
  line.back() = ']';
  line += "}";
  const ReadResult r = ReadWithFormat(JsonLinesFormat(), line, ReadOptions{});
  ASSERT_TRUE(r.ok()) << r.error->What();
  EXPECT_EQ(r.captures.at(0).durations.size(), kMaxDurationsPerCapture);
  line.insert(line.size() - 2, ",1");
  const ReadResult over = ReadWithFormat(JsonLinesFormat(), line, ReadOptions{"big.jsonl"});
  ASSERT_FALSE(over.ok());
  EXPECT_EQ(over.error->What(), "big.jsonl:1: more than 1000000 durations in one capture: 'durations_us'");
}

}  // namespace
}  // namespace klimavo::capture
