#pragma once
// Line and token scanning shared by the text readers of capture files: tokens,
// bounded integer parsing, the errors that name the file, line and token, and
// the capture being assembled with its limits.
//
// Only blanks, tabs and (where a format allows them) commas separate tokens; a
// CR counts as part of the line end. Any other control byte inside or between
// tokens is an error, never a separator: a NUL inside "5600" must not turn it
// into two durations.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_format.h"

namespace klimavo::capture::scan {

/// The line without blanks, tabs and CRs at both ends.
std::string_view Trimmed(std::string_view line);
/// True for a line that holds nothing but blanks, tabs and CRs.
bool IsBlank(std::string_view line);
/// True for a comment line: the first non-blank character is '#'.
bool IsComment(std::string_view line);
/// A "# label name=value …" comment line: the state of the remote for the
/// capture that follows (entries in the order written; a name given twice keeps
/// its first place and its last value). nullopt for any other line. A token
/// that is not name=value is put in `bad` and the label returned is empty.
std::optional<CaptureLabel> LabelComment(std::string_view line, std::string_view& bad);
/// The tokens of a line one at a time, split at blanks and tabs and, when
/// `commas`, also at commas. Lines can be long: nothing is collected.
class TokenScanner {
 public:
  TokenScanner(std::string_view line, bool commas) : line_(line), commas_(commas) {}
  /// The next token, or nullopt after the last.
  std::optional<std::string_view> Next();

 private:
  std::string_view line_;
  bool commas_;
  std::size_t at_ = 0;
};
/// All tokens of a short line (probes), as TokenScanner splits them.
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
  CaptureError Fail(int line, std::string_view token, std::string message) const;
  /// The error for a number token that did not parse.
  CaptureError FailNumber(int line, std::string_view token, NumberStatus status, std::string_view what) const;
  /// The error for the first control byte (other than a tab) in `text`, naming
  /// the byte and quoting the token around it; nullopt when there is none.
  /// `commas`: commas separate tokens in this text.
  std::optional<CaptureError> ControlByte(int line, std::string_view text, bool commas) const;

 private:
  std::string source_;
};

/// The captures of a file as they are assembled: one open capture at a time,
/// handed to the sink when the reader closes it; empty captures are dropped.
class CaptureCollector {
 public:
  CaptureCollector(const ReadOptions& options, DurationUnit unit, const CaptureSink& sink);

  /// Opens a capture on `line` unless one is open; returns it.
  CaptureRead& Open(int line);
  bool IsOpen() const { return open_; }
  CaptureRead& Current() { return current_; }
  /// Appends a duration to the open capture. Returns the message of the limit
  /// it would exceed (ReadLimits::durations), or an empty text.
  std::string_view Append(std::int32_t value);
  /// As Append, but a duration of the same sign as the last one is added to it
  /// (bounded by the unit's largest magnitude).
  std::string_view AppendMerging(std::int32_t value);
  /// The carrier given to the next capture opened.
  void SetNextCarrier(std::int32_t carrier) { next_carrier_ = carrier; }
  /// The label given to the next capture opened.
  void SetNextLabel(CaptureLabel label) { next_label_ = std::move(label); }
  /// Closes the open capture and hands it to the sink (dropping it when it holds no duration).
  void Close();

 private:
  const CaptureSink& sink_;
  CaptureRead current_;
  std::int32_t default_carrier_;
  std::optional<std::int32_t> next_carrier_;
  CaptureLabel next_label_;
  DurationUnit unit_;
  std::size_t max_durations_;
  std::string too_many_;
  bool open_ = false;
};

}  // namespace klimavo::capture::scan
