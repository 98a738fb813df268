#pragma once
// A table row for the capture readers: a text and either the captures it must
// give or the error (line, token, words of the message) it must stop with.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "capture/capture_format.h"

namespace klimavo::capture::testing {

struct ExpectedCapture {
  ExpectedCapture(ir::TIRIntegerArr d, std::int32_t c = ir::kDefaultCarrier,
                  std::optional<std::string> n = std::nullopt, int l = 0)
      : durations(std::move(d)), carrier(c), name(std::move(n)), line(l) {}
  ir::TIRIntegerArr durations;
  std::int32_t carrier;
  std::optional<std::string> name;
  int line;  ///< 0: not checked
};

struct ReaderCase {
  ReaderCase(const char* l, std::string t, std::vector<ExpectedCapture> c, int line = 0,
             std::string token = {}, std::string words = {})
      : label(l),
        text(std::move(t)),
        captures(std::move(c)),
        error_line(line),
        error_token(std::move(token)),
        error_words(std::move(words)) {}
  const char* label;
  std::string text;
  std::vector<ExpectedCapture> captures;  ///< expected on success
  int error_line;                         ///< > 0: an error is expected on this line
  std::string error_token;
  std::string error_words;  ///< words the message must contain
};

/// Options with limits small enough for a table row to reach them.
inline ReadOptions SmallLimits() {
  ReadOptions options;
  options.limits.line_bytes = 32;
  options.limits.durations = 4;
  return options;
}

inline void CheckReaderCase(const CaptureFormat& format, const ReaderCase& c,
                            const ReadOptions& options = {}) {
  SCOPED_TRACE(c.label);
  const ReadResult r = ReadWithFormat(format, c.text, options);
  if (c.error_line > 0) {
    ASSERT_FALSE(r.ok()) << "expected an error";
    EXPECT_EQ(r.error->file, options.source);
    EXPECT_EQ(r.error->line, c.error_line);
    EXPECT_EQ(r.error->token, c.error_token);
    EXPECT_NE(r.error->message.find(c.error_words), std::string::npos) << r.error->What();
    return;
  }
  ASSERT_TRUE(r.ok()) << r.error->What();
  ASSERT_EQ(r.captures.size(), c.captures.size());
  for (std::size_t i = 0; i < c.captures.size(); ++i) {
    SCOPED_TRACE("capture " + std::to_string(i));
    EXPECT_EQ(r.captures[i].durations, c.captures[i].durations);
    EXPECT_EQ(r.captures[i].carrier, c.captures[i].carrier);
    EXPECT_EQ(r.captures[i].name, c.captures[i].name);
    if (c.captures[i].line > 0) {
      EXPECT_EQ(r.captures[i].line, c.captures[i].line);
    }
  }
}

}  // namespace klimavo::capture::testing
