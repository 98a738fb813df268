// Reading capture files capture by capture: captures are handed over as they are
// read, the input is read only a bounded way ahead of them whatever its length,
// pieces of any size read as the whole text does, and detection looks at the
// first kDetectBytes only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "capture/capture_format.h"

namespace klimavo::capture {
namespace {

using namespace std::string_literals;

// A byte reader over a text that gives at most `piece` bytes a call and counts
// how far into the text it has been read.
struct CountingReader {
  std::string_view text;
  std::size_t piece;
  std::size_t consumed = 0;

  ByteReader Reader() {
    return [this](char* buffer, std::size_t size) -> std::ptrdiff_t {
      const std::size_t n = text.substr(consumed).copy(buffer, std::min(size, piece));
      consumed += n;
      return static_cast<std::ptrdiff_t>(n);
    };
  }
};

// One capture of 40 durations in each of the three line-based formats, with
// the offset just past its text.
struct Generated {
  std::string text;
  std::vector<std::size_t> ends;
};

using CaptureWriter = std::function<std::string(int index)>;

std::string JsonLine(int i) {
  std::string s = "{\"name\":\"K" + std::to_string(i) + "\",\"carrier_hz\":38000,\"durations_us\":[";
  for (int d = 0; d < 40; ++d)
    s += (d % 2 ? "-" : "") + std::to_string(500 + (i + d) % 900) + (d < 39 ? "," : "");
  return s + "]}\n";
}

std::string PlainCapture(int i) {
  std::string s;
  for (int d = 0; d < 40; ++d)
    s += (d % 2 ? "-" : "") + std::to_string(500 + (i + d) % 900) + (d % 10 == 9 ? "\n" : ", ");
  return s + "\n";
}

std::string Mode2Capture(int i) {
  std::string s;
  for (int d = 0; d < 40; ++d)
    s += (d % 2 ? "space " : "pulse ") + std::to_string(500 + (i + d) % 900) + "\n";
  return s + "timeout 125000\n";
}

Generated Generate(const CaptureWriter& write, std::size_t bytes) {
  Generated g;
  for (int i = 0; g.text.size() < bytes; ++i) {
    g.text += write(i);
    g.ends.push_back(g.text.size());
  }
  return g;
}

// However long the file, when capture k is handed over the input has been read
// at most one chunk past its end (or to the end of the detection head): the
// reader buffers one line and one chunk, never the file.
TEST(CaptureStream, EachCaptureIsHandedOverWithInputReadABoundedWayAhead) {
  // Sizes past the detection head; the plain list, the quickest to read, also at four times that.
  const struct {
    const char* format;
    CaptureWriter write;
    std::vector<std::size_t> sizes;
  } formats[] = {{"jsonl", &JsonLine, {kDetectBytes * 5 / 4}},
                 {"mode2", &Mode2Capture, {kDetectBytes * 5 / 4}},
                 {"text", &PlainCapture, {kDetectBytes * 5 / 4, kDetectBytes * 4}}};
  for (const auto& f : formats) {
    for (std::size_t bytes : f.sizes) {
      SCOPED_TRACE(std::string(f.format) + ", " + std::to_string(bytes) + " bytes");
      const Generated g = Generate(f.write, bytes);
      CountingReader input{g.text, LineSource::kChunkBytes};
      std::size_t handed = 0;
      std::size_t worst_lead = 0;  // bytes read past the end of the capture handed over, after the head
      const StreamResult r = StreamCaptures(input.Reader(), ReadOptions{}, [&](CaptureRead&& c) {
        ASSERT_LT(handed, g.ends.size());
        EXPECT_EQ(c.durations.size(), 40u);
        const std::size_t end = g.ends[handed++];
        EXPECT_LE(input.consumed, std::max(kDetectBytes, end + LineSource::kChunkBytes));
        if (input.consumed > kDetectBytes) worst_lead = std::max(worst_lead, input.consumed - end);
      });
      ASSERT_TRUE(r.ok()) << r.error->What();
      EXPECT_EQ(r.format, f.format);
      EXPECT_EQ(handed, g.ends.size());
      EXPECT_EQ(r.captures, g.ends.size());
      EXPECT_LE(worst_lead, LineSource::kChunkBytes);
    }
  }
}

// Texts in every format, good and bad, fed one byte (or a few) at a time give
// the same captures and the same error as the whole text.
TEST(CaptureStream, PiecesOfAnySizeReadAsTheWholeText) {
  const std::string texts[] = {
      "9000, -4500, 560\n560 -1690\n\ncarrier: 36000\n1 -2\n",
      "\xEF\xBB\xBF"
      "1 -2\r\n\r\n3\r\n",
      "name: A\ntype: raw\nfrequency: 36000\ndata: 1 2 3\n#\nname: B\ntype: parsed\n",
      "{\"name\":\"a\",\"durations_us\":[1,-2]}\n\n{\"durations_us\":[3]}",
      "carrier 38000\npulse 9000\nspace 4500\npulse 560\ntimeout 1\npulse 4\n",
      "+9000 -4500 +560 # timeout 125000\n+300 -300 +300\n",
      "0000 006D 0001 0001\n0156 00ab\n0015 0040\n",
      "1 -2\n\n3 x\n",
      "1 -2 56\0"s
      "0\n",
      "{\"durations_us\":[1]}\n{\"durations_us\":[1,2}\n",
      "JgAIABQSFDYUAA0FAAAAAA==\na: 2600050014121436140d05\n26000900141214\n",
      "{\"commands\": {\"off\": \"2600010014\",\n \"cool\": {\"low\": {\"16\": [9000, 4500]}}}}\n",
      "{\"commands\": {\"off\": \"2600010014\",\n \"cool\": {\"low\": {\"16\": [9000, 4500.5]}}}}\n",
      "uint16_t a[] = {\n9000, 4500,\n560}; /* x\n*/ int b[2] = {1, -2};\n",
      "IRsend 0,9000,4500\n+600-500Ab\nIRsend 0,x\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const ReadResult whole = ReadCaptureText(text, ReadOptions{"t"});
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}}) {
      CountingReader input{text, piece};
      std::vector<CaptureRead> handed;
      const StreamResult r = StreamCaptures(input.Reader(), ReadOptions{"t"},
                                            [&](CaptureRead&& c) { handed.push_back(std::move(c)); });
      EXPECT_EQ(r.format, whole.format);
      ASSERT_EQ(r.ok(), whole.ok());
      if (!r.ok()) {
        EXPECT_EQ(r.error->What(), whole.error->What());
        continue;
      }
      ASSERT_EQ(handed.size(), whole.captures.size());
      for (std::size_t i = 0; i < handed.size(); ++i) {
        EXPECT_EQ(handed[i].durations, whole.captures[i].durations);
        EXPECT_EQ(handed[i].carrier, whole.captures[i].carrier);
        EXPECT_EQ(handed[i].name, whole.captures[i].name);
        EXPECT_EQ(handed[i].line, whole.captures[i].line);
      }
    }
  }
}

TEST(CaptureStream, CapturesBeforeAFaultAreHandedOverAndTheFaultEndsTheRead) {
  std::vector<ir::TIRIntegerArr> handed;
  CountingReader input{"1 -2\n\n3 -4\n\n5 x\n\n6\n", 1};
  const StreamResult r = StreamCaptures(input.Reader(), ReadOptions{"f.txt"},
                                        [&](CaptureRead&& c) { handed.push_back(c.durations); });
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error->What(), "f.txt:5: not a duration: 'x'");
  EXPECT_EQ(handed, (std::vector<ir::TIRIntegerArr>{{1, -2}, {3, -4}}));
  EXPECT_EQ(r.captures, 2u);
  // The collecting reader gives the error and no captures.
  const ReadResult collected = ReadCaptureText(input.text, ReadOptions{"f.txt"});
  EXPECT_FALSE(collected.ok());
  EXPECT_TRUE(collected.captures.empty());
}

TEST(CaptureStream, AnInputThatCannotBeReadIsAnErrorOfTheFile) {
  int calls = 0;
  const ByteReader failing = [&calls](char* buffer, std::size_t) -> std::ptrdiff_t {
    if (calls++ == 0) {
      buffer[0] = '1';
      return 1;
    }
    errno = EIO;
    return -1;
  };
  const StreamResult r = StreamCaptures(failing, ReadOptions{"dev"}, [](CaptureRead&&) {});
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error->What(), "dev: cannot be read: Input/output error");
}

// Lines up to the limit are read; one byte more is refused with the line and
// the limit named, whatever the line holds.
TEST(CaptureStream, LinesLongerThanTheLimitAreRefused) {
  const std::string comment = "#" + std::string(kMaxLineBytes - 1, 'x');
  const struct {
    std::string text;
    const char* error;  // nullptr: reads
  } cases[] = {
      {comment + "\n1 -2\n", nullptr},
      {comment + "\r\n1 -2\n", nullptr},
      {"1 -2\n" + comment + "x\n", "big.txt:2: line longer than 16777216 bytes"},
      {"1 -2\n\n" + comment + "xx", "big.txt:3: line longer than 16777216 bytes"},
  };
  for (const auto& c : cases) {
    const ReadResult r = ReadCaptureText(c.text, ReadOptions{"big.txt"});
    if (!c.error) {
      ASSERT_TRUE(r.ok()) << r.error->What();
      EXPECT_EQ(r.captures.at(0).durations, (ir::TIRIntegerArr{1, -2}));
    } else {
      ASSERT_FALSE(r.ok());
      EXPECT_EQ(r.error->What(), c.error);
    }
  }
}

// The ir-ctl marks count only within the first kDetectBytes; a first line longer
// than that is probed up to its last whole token.
TEST(CaptureStream, DetectionLooksAtTheFirstMebibyteOnly) {
  std::string signed_lines;
  while (signed_lines.size() < kDetectBytes) signed_lines += "+9000 -4500 +560 -560 +560\n";
  std::string long_pronto = "0000 006D FFFF FFFF";
  for (int i = 0; i < 2 * 0x1FFFE; ++i) long_pronto += " 0015";
  ASSERT_GT(long_pronto.size(), kDetectBytes);
  const struct {
    const char* label;
    std::string text;
    const char* format;
  } cases[] = {
      {"timeout comment within the head", "+9000 -4500 +560\n# timeout 125000\n" + signed_lines, "ir-ctl"},
      {"timeout comment past the head", signed_lines + "# timeout 125000\n", "text"},
      {"one Pronto line longer than the head", long_pronto + "\n", "pronto"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const ReadResult r = ReadCaptureText(c.text, ReadOptions{});
    ASSERT_TRUE(r.ok()) << r.error->What();
    EXPECT_EQ(r.format, c.format);
  }
}

}  // namespace
}  // namespace klimavo::capture
