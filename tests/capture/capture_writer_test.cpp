#include "capture/capture_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "capture/capture_format.h"

namespace klimavo::capture {
namespace {

// How close a duration reads back after writing: exact, or within half the
// format's unit (a Broadlink unit is 30.45 µs, a Pronto period 26.3 µs at 38 kHz).
int Resolution(std::string_view id) {
  if (id == "broadlink" || id == "climate-json") return 16;
  if (id == "pronto") return 14;
  return 0;
}

bool KeepsNames(std::string_view id) { return id == "flipper" || id == "jsonl" || id == "broadlink"; }

std::vector<CaptureRead> CorpusCaptures() {
  const ReadResult r = ReadCaptureFile(KLIMAVO_CORPUS_FILE, ReadOptions{});
  EXPECT_TRUE(r.ok()) << r.error->What();
  return r.captures;
}

// Every real capture of the corpus, written in every format that has a
// writer, is detected as that format and reads back as its signal: the same
// durations within the format's resolution, the carrier, and the name where
// the format keeps one. A Pronto code is made of pairs, so a capture that ends
// on a mark comes back with the closing gap after it.
TEST(CaptureWriters, TheCorpusReadsBackFromEveryFormat) {
  std::vector<CaptureRead> captures = CorpusCaptures();
  ASSERT_EQ(captures.size(), 608u);
  // A climate-code file places each code by its label.
  for (std::size_t i = 0; i < captures.size(); ++i)
    captures[i].label = {{"mode", "cool"}, {"fan", "low"}, {"temp", std::to_string(i)}};
  std::size_t formats = 0;
  for (const CaptureFormat& format : CaptureFormats()) {
    if (!format.write) continue;
    ++formats;
    SCOPED_TRACE(format.id);
    std::string text;
    const auto fault = format.write(captures, text);
    ASSERT_FALSE(fault) << fault->message;
    const ReadResult r = ReadCaptureText(text, ReadOptions{"written"});
    ASSERT_TRUE(r.ok()) << r.error->What();
    EXPECT_EQ(r.format, format.id);
    ASSERT_EQ(r.captures.size(), captures.size());
    const int resolution = Resolution(format.id);
    for (std::size_t i = 0; i < captures.size(); ++i) {
      SCOPED_TRACE(*captures[i].name);
      const ir::TIRIntegerArr expected = write::SignalOf(captures[i]);
      ir::TIRIntegerArr got = r.captures[i].durations;
      if (format.id == "pronto" && expected.back() > 0) {
        ASSERT_EQ(got.size(), expected.size() + 1);
        EXPECT_NEAR(got.back(), -100000, resolution);
        got.pop_back();
      }
      ASSERT_EQ(got.size(), expected.size());
      for (std::size_t k = 0; k < got.size(); ++k) {
        if (std::abs(got[k] - expected[k]) > resolution) {
          ADD_FAILURE() << "duration " << k << ": " << got[k] << " for " << expected[k];
          break;
        }
      }
      EXPECT_NEAR(r.captures[i].carrier, captures[i].carrier, 40);
      if (KeepsNames(format.id)) {
        EXPECT_EQ(r.captures[i].name, captures[i].name);
      }
    }
  }
  EXPECT_GE(formats, 9u);
}

TEST(CaptureWriters, ACaptureWithoutAMarkIsRefusedAndNothingIsWritten) {
  CaptureRead good;
  good.durations = {9000, -4500, 560};
  good.label = {{"power", "off"}};
  CaptureRead idle;
  idle.name = "idle";
  idle.durations = {-4500};
  idle.label = {{"mode", "cool"}, {"temp", "20"}};
  const std::vector<CaptureRead> captures{good, idle};
  for (const CaptureFormat& format : CaptureFormats()) {
    if (!format.write) continue;
    SCOPED_TRACE(format.id);
    std::string text = "kept";
    const auto fault = format.write(captures, text);
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->capture, 1u);
    EXPECT_EQ(fault->message, "capture 2 (idle): holds no mark");
    EXPECT_EQ(text, "kept");
  }
}

TEST(CaptureWriters, DurationsBeyondAFormatAreRefused) {
  CaptureRead c;
  c.durations = {9000, -3'000'000, 560};
  const struct {
    const char* id;
    const char* message;
  } cases[] = {
      {"broadlink", "capture 1: duration 3000000 us is longer than a Broadlink packet holds"},
      {"pronto", "capture 1: duration 3000000 us is longer than a Pronto word holds"},
  };
  for (const auto& k : cases) {
    std::string text;
    const auto fault = FindCaptureFormat(k.id)->write(std::vector<CaptureRead>{c}, text);
    ASSERT_TRUE(fault) << k.id;
    EXPECT_NE(fault->message.find(k.message), std::string::npos) << fault->message;
  }
}

// The signal of a capture: µs from either unit, no idle space before the
// first mark, no zero, durations of one sign joined.
TEST(CaptureWriters, TheSignalAlternatesFromAMark) {
  const struct {
    ir::TIRIntegerArr durations;
    DurationUnit unit;
    ir::TIRIntegerArr signal;
  } cases[] = {
      {{-100, 9000, -4500, 560}, DurationUnit::kMicroseconds, {9000, -4500, 560}},
      {{9000, 0, 1000, -200, -300, 5}, DurationUnit::kMicroseconds, {10000, -500, 5}},
      {{90004, -45005, 5606, -4}, DurationUnit::kTenthMicroseconds, {9000, -4501, 561}},
      {{-5, 0}, DurationUnit::kMicroseconds, {}},
  };
  for (const auto& c : cases) {
    CaptureRead read;
    read.durations = c.durations;
    read.unit = c.unit;
    EXPECT_EQ(write::SignalOf(read), c.signal);
  }
}

// A label value is a JSON number only where the number prints as the same text.
TEST(CaptureWriters, JsonLinesWritesLabelsAsObjects) {
  CaptureRead c;
  c.name = "cool \"24\"";
  c.durations = {9000, -4500, 560};
  c.label = {{"temp", "24"}, {"t", "24.5"}, {"a", "024"}, {"b", "24.50"},
             {"c", "-0"},    {"d", "-3"},   {"e", "cool"}};
  std::string text;
  ASSERT_FALSE(FindCaptureFormat("jsonl")->write(std::vector<CaptureRead>{c}, text));
  EXPECT_EQ(text,
            "{\"name\": \"cool \\\"24\\\"\", \"label\": {\"temp\": 24, \"t\": 24.5, \"a\": \"024\", \"b\": "
            "\"24.50\", "
            "\"c\": \"-0\", \"d\": -3, \"e\": \"cool\"}, \"carrier_hz\": 38000, \"durations_us\": [9000, "
            "-4500, 560]}\n");
}

TEST(CaptureWriters, LabelsBecomeOneCommentLine) {
  EXPECT_EQ(write::LabelComment({}), "");
  EXPECT_EQ(write::LabelComment({{"mode", "cool"}, {"temp", "24"}, {"my fan", "a=b\n"}}),
            "# label mode=cool temp=24 my_fan=a_b_\n");
}

}  // namespace
}  // namespace klimavo::capture
