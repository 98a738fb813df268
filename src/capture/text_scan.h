#pragma once
// Line and token scanning shared by the text readers of capture files: lines
// with their numbers, tokens, bounded integer parsing, and the capture being
// assembled with its limits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_format.h"

namespace klimavo::capture::scan {

/// One line of a file (without its line end) and its 1-based number.
struct Line {
  std::string_view text;
  int number = 0;
};

/// The lines of a text; a leading UTF-8 byte-order mark and CR before LF are dropped.
std::vector<Line> SplitLines(std::string_view text);
/// The line without blanks and control characters at both ends.
std::string_view Trimmed(std::string_view line);
/// True for a line that holds nothing but blanks.
bool IsBlank(std::string_view line);
/// True for a comment line: the first non-blank character is '#'.
bool IsComment(std::string_view line);
/// The tokens of a line, split at blanks and, when `commas`, also at commas.
std::vector<std::string_view> Tokens(std::string_view line, bool commas);
/// The first meaningful lines of a text (neither blank nor comment), at most `count`.
std::vector<std::string_view> FirstMeaningfulLines(std::string_view text, std::size_t count);
/// True when `text` starts with `prefix`, ASCII letters compared without case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

/// Outcome of parsing a number token.
enum class NumberStatus { kOk, kNotANumber, kOutOfRange };
/// A decimal integer with an optional sign ('+' or '-' only when `signed_ok`);
/// kOutOfRange when its magnitude is above `max_magnitude`.
NumberStatus ParseDecimal(std::string_view token, bool signed_ok, std::int64_t max_magnitude,
                          std::int64_t& value);

/// Largest magnitude of a duration in the given unit.
std::int64_t MaxMagnitude(DurationUnit unit);

/// Builds errors that name the source, line and token.
class ErrorSink {
 public:
  explicit ErrorSink(const ReadOptions& options) : source_(options.source) {}
  ReadResult Fail(int line, std::string_view token, std::string message) const;
  /// The error for a number token that did not parse.
  ReadResult FailNumber(int line, std::string_view token, NumberStatus status, std::string_view what) const;

 private:
  std::string source_;
};

/// The captures of a file as they are assembled: one open capture at a time,
/// closed by the reader at separators; empty captures are never kept.
class CaptureCollector {
 public:
  explicit CaptureCollector(const ReadOptions& options, DurationUnit unit);

  /// Opens a capture on `line` unless one is open; returns it.
  CaptureRead& Open(int line);
  bool IsOpen() const { return open_; }
  CaptureRead& Current() { return captures_.back(); }
  /// Appends a duration to the open capture. Returns the message of the limit
  /// it would exceed (kMaxDurationsPerCapture), or an empty text.
  std::string_view Append(std::int32_t value);
  /// As Append, but a duration of the same sign as the last one is added to it
  /// (bounded by the unit's largest magnitude).
  std::string_view AppendMerging(std::int32_t value);
  /// The carrier given to the next capture opened.
  void SetNextCarrier(std::int32_t carrier) { next_carrier_ = carrier; }
  /// Closes the open capture (dropping it when it holds no duration).
  void Close();
  /// Closes and hands over every capture.
  std::vector<CaptureRead> Finish();

 private:
  std::vector<CaptureRead> captures_;
  std::int32_t default_carrier_;
  std::optional<std::int32_t> next_carrier_;
  DurationUnit unit_;
  bool open_ = false;
};

}  // namespace klimavo::capture::scan
