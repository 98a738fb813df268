#include "capture/decode_report.h"

#include <gtest/gtest.h>

namespace klimavo::capture {
namespace {

// A decode result as DecodeCapture gives it for a pulse-distance signal:
// leader, 16 bits, end mark.
ir::Tcomp_aval SampleResult() {
  ir::Tcomp_aval r;
  r.Carrier = 38000;
  r.LogicCodes = {{560, -560}, {560, -1690}};
  r.Protocol.Elements = {ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(16), ir::TStrProtItem::Split(1)};
  r.Protocol.Repeat = 1;
  r.Bits = {1, 0, 0, 0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 1, 1, 1};
  r.Bytes = {0xA1, 0xFE};
  r.BytesMsb = {0x85, 0x7F};
  r.Params.SplitCount = 2;
  r.Params.Split[0] = {9000, -4500};
  r.Params.Split[1] = {560, -4500};
  return r;
}

TEST(DecodeReportJson, KeysInOrderWithTheFixedSeparators) {
  const struct {
    bool lsb_first, both;
    std::optional<std::string> name;
    const char* expected;
  } cases[] = {
      {true, false, std::nullopt,
       R"({"ok": true, "carrier": 38000, "lsb_first": true, "logic": [[560, -560], [560, -1690]], )"
       R"("split": [[9000, -4500], [560, -4500]], "protocol": "<0>[16]<1>", "repeat": 1, )"
       R"("bits": "1000010101111111", "bytes": "A1FE"})"},
      {false, true, "Cool \"22\"",
       R"({"name": "Cool \"22\"", "ok": true, "carrier": 38000, "lsb_first": false, )"
       R"("logic": [[560, -560], [560, -1690]], "split": [[9000, -4500], [560, -4500]], )"
       R"("protocol": "<0>[16]<1>", "repeat": 1, "bits": "1000010101111111", "bytes": "A1FE", "bytes_msb": "857F"})"},
  };
  for (const auto& c : cases) {
    DecodeReport report = MakeDecodeReport(SampleResult(), c.lsb_first, c.both);
    report.name = c.name;
    EXPECT_EQ(DecodeReportJson(report), c.expected);
  }
}

TEST(DecodeReportJson, FailureAndRepeat) {
  DecodeReport failed = MakeFailedReport();
  EXPECT_EQ(DecodeReportJson(failed), R"({"ok": false, "error": "no decoding"})");
  failed.name = "x";
  EXPECT_EQ(DecodeReportJson(failed), R"({"name": "x", "ok": false, "error": "no decoding"})");

  ir::Tcomp_aval r = SampleResult();
  r.Protocol.Repeat = 3;
  r.Params.SplitCount = 0;
  r.LogicCodes = {{889, -889}, {-889, 889}};
  EXPECT_NE(DecodeReportJson(MakeDecodeReport(r, true, false))
                .find(R"("split": [], "protocol": "(<0>[16]<1>)*3", "repeat": 3,)"),
            std::string::npos);
}

TEST(JsonString, EscapesAndKeepsUtf8) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"\n\r\t\b\f\x01\x1f", R"("\n\r\t\b\f\u0001\u001f")"},
      {"\xE5\x88\xB6\xE5\x86\xB7", "\"\xE5\x88\xB6\xE5\x86\xB7\""},  // 制冷 kept
      {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},                  // 4-byte sequence kept
      {"a\xFF"
       "b",
       "\"a\xEF\xBF\xBD"
       "b\""},                                                       // stray byte
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                  // overlong
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // surrogate
      {"\xE5\x88", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                  // cut short
      {std::string("a\0b", 3), R"("a\u0000b")"},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonString(c.in), c.out);
}

TEST(HexBytes, UpperCaseWithSeparator) {
  const std::uint8_t bytes[] = {0x00, 0x0A, 0xFF};
  EXPECT_EQ(HexBytes(bytes), "000AFF");
  EXPECT_EQ(HexBytes(bytes, " "), "00 0A FF");
  EXPECT_EQ(HexBytes({}), "");
}

TEST(DecodeReportText, TheFormatChoosersSummaryAndTheBytes) {
  const SummaryLabels labels{"Freq:", "Logic Code:", "Spilit Code:"};
  DecodeReport report = MakeDecodeReport(SampleResult(), true, false);
  EXPECT_EQ(
      DecodeReportText(report, labels),
      "Freq:38000 LSB\nLogic Code:(560,-560)(560,-1690)\nSpilit Code:(9000,-4500)(560,-4500)\n<0>[16]<1>\n"
      "A1 FE\n");
  report = MakeDecodeReport(SampleResult(), false, true);
  report.name = "Off";
  EXPECT_EQ(DecodeReportText(report, labels),
            "Off\nFreq:38000MSB\nLogic Code:(560,-560)(560,-1690)\nSpilit "
            "Code:(9000,-4500)(560,-4500)\n<0>[16]<1>\n"
            "A1 FE\n85 7F\n");
  DecodeReport failed = MakeFailedReport();
  failed.name = "Bad\nname";
  EXPECT_EQ(DecodeReportText(failed, labels), "Bad name\nno decoding\n");
}

// The assisted report: the fields of the reading returned, then "assist" last;
// text lines after the bytes. Changes are escaped like every other string.
TEST(DecodeReportAssist, LastKeyOfTheLineAndOneTextLinePerChange) {
  ir::AssistedDecode improved;
  improved.outcome = ir::AssistOutcome::kImproved;
  improved.result = SampleResult();
  improved.changes = {{"tolerance 27 %", "two space classes merged: (560,-1690) and (560,-2281)"},
                      {"end pulse (560,-1690) read as a split code", "a \"quoted\" reason"}};
  DecodeReport report = MakeAssistedReport(improved, true, false);
  EXPECT_EQ(DecodeReportJson(report),
            R"j({"ok": true, "carrier": 38000, "lsb_first": true, "logic": [[560, -560], [560, -1690]], )j"
            R"j("split": [[9000, -4500], [560, -4500]], "protocol": "<0>[16]<1>", "repeat": 1, )j"
            R"j("bits": "1000010101111111", "bytes": "A1FE", "assist": [{"change": "tolerance 27 %", )j"
            R"j("why": "two space classes merged: (560,-1690) and (560,-2281)"}, {"change": "end pulse )j"
            R"j((560,-1690) read as a split code", "why": "a \"quoted\" reason"}]})j");
  const std::string text = DecodeReportText(report, SummaryLabels{"C", "L", "S"});
  EXPECT_NE(text.find("A1 FE\nassist: tolerance 27 %: two space classes merged: (560,-1690) and (560,-2281)\n"
                      "assist: end pulse (560,-1690) read as a split code: a \"quoted\" reason\n"),
            std::string::npos)
      << text;

  ir::AssistedDecode sound;
  sound.outcome = ir::AssistOutcome::kPlain;
  sound.result = SampleResult();
  EXPECT_NE(
      DecodeReportJson(MakeAssistedReport(sound, true, false)).find(R"j("bytes": "A1FE", "assist": []})j"),
      std::string::npos);
  // Without the assisted decode there is no "assist" key at all.
  EXPECT_EQ(DecodeReportJson(MakeDecodeReport(SampleResult(), true, false)).find("assist"),
            std::string::npos);

  ir::AssistedDecode failed;
  failed.changes = {{"no decoding", "tried other tolerances: none reads the capture"}};
  report = MakeAssistedReport(failed, true, false);
  report.name = "x";
  EXPECT_EQ(DecodeReportJson(report),
            R"j({"name": "x", "ok": false, "error": "no decoding", "assist": [{"change": "no decoding", )j"
            R"j("why": "tried other tolerances: none reads the capture"}]})j");
  EXPECT_EQ(DecodeReportText(report, SummaryLabels{}),
            "x\nno decoding\nassist: no decoding: tried other tolerances: none reads the capture\n");
}

}  // namespace
}  // namespace klimavo::capture
