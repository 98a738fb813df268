#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;

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
};

TEST(JsonLinesFormat, ReadsCorpusLinesOrNamesTheFault) {
  for (const ReaderCase& c : kJsonLinesCases) testing::CheckReaderCase(JsonLinesFormat(), c);
}

// The corpus names the file each capture came from; a source that is not a text is ignored.
TEST(JsonLinesFormat, KeepsTheSourceOfEachCaptureAsItsOrigin) {
  const ReadResult r = JsonLinesFormat().read(R"({"source":"ACs/Gree/YB1F2.ir","durations_us":[1]})"
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
  const ReadResult r = JsonLinesFormat().read(deep, ReadOptions{});
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error->token, "durations_us[0]");
}

}  // namespace
}  // namespace klimavo::capture
