#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "capture/decode_report.h"

namespace klimavo::capture {
namespace {

struct LabelCase {
  LabelCase(const char* n, const char* f, std::string t, std::vector<CaptureLabel> l, int line = 0,
            std::string token = {})
      : name(n),
        format(f),
        text(std::move(t)),
        labels(std::move(l)),
        error_line(line),
        error_token(std::move(token)) {}
  const char* name;
  const char* format;
  std::string text;
  std::vector<CaptureLabel> labels;  // one per capture, on success
  int error_line;
  std::string error_token;
};

// Labels come with each capture in every text format, in the order written;
// a malformed label stops the read at its line like any other fault.
TEST(CaptureLabel, EveryFormatCarriesTheLabelOfItsCaptures) {
  const std::vector<LabelCase> cases = {
      {"json lines: strings and numbers in order, numbers as written",
       "jsonl",
       R"({"label":{"power":"on","temp":24,"half":24.5,"mode":"cool"},"durations_us":[1,-2]})"
       "\n"
       R"({"durations_us":[3,-4]})"
       "\n",
       {{{"power", "on"}, {"temp", "24"}, {"half", "24.5"}, {"mode", "cool"}}, {}}},
      {"json lines: a name given twice keeps its place and its last value",
       "jsonl",
       R"({"label":{"mode":"cool","fan":"low","mode":"dry"},"durations_us":[1]})",
       {{{"mode", "dry"}, {"fan", "low"}}}},
      {"json lines: the last label counts",
       "jsonl",
       R"({"label":{"mode":"cool"},"durations_us":[1],"label":{"fan":"high"}})",
       {{{"fan", "high"}}}},
      {"json lines: a label that is not an object",
       "jsonl",
       R"({"label":"cool","durations_us":[1]})",
       {},
       1,
       "label"},
      {"json lines: a value that is neither string nor number",
       "jsonl",
       R"({"label":{"mode":"cool","swing":true},"durations_us":[1]})",
       {},
       1,
       "label.swing"},
      {"json lines: a nested value",
       "jsonl",
       R"({"label":{"temp":{"c":24}},"durations_us":[1]})",
       {},
       1,
       "label.temp"},
      {"plain list: a label starts the capture it names",
       "text",
       "# label mode=cool temp=24\n1 -2 3\n# label mode=heat\n4 -5 6\n",
       {{{"mode", "cool"}, {"temp", "24"}}, {{"mode", "heat"}}}},
      {"plain list: other comments are no label", "text", "# labelled by hand\n1 -2 3\n", {{}}},
      {"plain list: a token without '='", "text", "# label mode=cool fan\n1 -2\n", {}, 1, "fan"},
      {"mode2", "mode2", "# label fan=low\npulse 100\nspace 200\npulse 300\n", {{{"fan", "low"}}}},
      {"flipper: the label names the signal that follows",
       "flipper",
       "Filetype: IR signals file\nVersion: 1\n#\n# label mode=dry\nname: A\ntype: raw\ndata: 1 2 3\n"
       "#\nname: B\ntype: raw\ndata: 4 5\n",
       {{{"mode", "dry"}}, {}}},
      {"pronto", "pronto", "# label temp=20\n0000 006D 0001 0000 0010 0020\n", {{{"temp", "20"}}}},
  };
  for (const LabelCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadResult r = ReadWithFormat(*FindCaptureFormat(c.format), c.text, ReadOptions{});
    if (c.error_line > 0) {
      ASSERT_FALSE(r.ok());
      EXPECT_EQ(r.error->line, c.error_line);
      EXPECT_EQ(r.error->token, c.error_token);
      continue;
    }
    ASSERT_TRUE(r.ok()) << r.error->What();
    ASSERT_EQ(r.captures.size(), c.labels.size());
    for (std::size_t i = 0; i < c.labels.size(); ++i) EXPECT_EQ(r.captures[i].label, c.labels[i]) << i;
  }
}

// The decode line echoes a label only when the capture has one, so unlabelled
// output stays as it was.
TEST(CaptureLabel, DecodeLineEchoesTheLabel) {
  DecodeReport report = MakeFailedReport();
  report.name = "A";
  EXPECT_EQ(DecodeReportJson(report), R"({"name": "A", "ok": false, "error": "no decoding"})");
  report.label = {{"mode", "cool"}, {"temp", "24"}};
  EXPECT_EQ(DecodeReportJson(report),
            R"({"name": "A", "label": {"mode": "cool", "temp": "24"}, "ok": false, "error": "no decoding"})");
}

}  // namespace
}  // namespace klimavo::capture
