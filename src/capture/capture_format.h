#pragma once
// Capture files: the registry of the formats in which captured IR signals come
// to the workbench (plain duration lists, Flipper .ir files, the JSON Lines of
// the capture corpus, LIRC mode2, ir-ctl, Pronto learned codes).
//
// Each format is one descriptor with a content probe, which returns how sure it
// is that a text is in its format, and a reader. Reading never throws for bad
// content: it returns the captures or one error that names the file, the line
// and the token at fault. Every reader is bounded (file size, durations per
// capture, magnitude of a duration), so no input can crash it or exhaust memory.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::capture {

/// Limits of every reader.
inline constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;
inline constexpr std::size_t kMaxDurationsPerCapture = 1'000'000;
/// Largest magnitude of a duration in µs: ten times it still fits a 32-bit tick count.
inline constexpr std::int64_t kMaxMicros = 214'748'364;
/// Largest magnitude of a duration in 0.1 µs ticks.
inline constexpr std::int64_t kMaxTicks = 2'147'483'647;
/// Highest carrier accepted, in Hz (IR carriers stay far below).
inline constexpr std::int64_t kMaxCarrierHz = 1'000'000;
/// Longest token quoted in an error message; longer ones are cut with "...".
inline constexpr std::size_t kMaxQuotedToken = 40;

/// The unit of the durations of a file.
enum class DurationUnit { kMicroseconds, kTenthMicroseconds };

/// One capture as read from a file, in the file's unit.
struct CaptureRead {
  std::optional<std::string> name;  ///< the name the file gives it, if any (bytes as written)
  ir::TIRIntegerArr durations;      ///< marks positive, spaces negative
  std::int32_t carrier = ir::kDefaultCarrier;
  DurationUnit unit = DurationUnit::kMicroseconds;
  int line = 0;  ///< line on which the capture starts
  std::optional<std::string> origin;  ///< the file it came from, when the file names one (bytes as written)
};

/// Where a file could not be read, and why.
struct CaptureError {
  std::string file;   ///< as given by ReadOptions::source
  int line = 0;       ///< 1-based; 0 when the fault is not on one line
  std::string token;  ///< the token at fault (empty when there is none)
  std::string message;

  /// "file:line: message: 'token'" (line and token left out when absent).
  std::string What() const;
};

/// How to read: the file's name for messages, and the defaults of the formats
/// that leave carrier or unit open.
struct ReadOptions {
  std::string source = "-";
  std::int32_t default_carrier = ir::kDefaultCarrier;
  /// The unit of formats that do not fix one (the plain duration list).
  DurationUnit unit = DurationUnit::kMicroseconds;
};

/// The captures of a file, or the error that stopped reading.
struct ReadResult {
  std::vector<CaptureRead> captures;
  std::optional<CaptureError> error;
  std::string format;  ///< id of the format that read it

  bool ok() const { return !error.has_value(); }
};

/// Probe confidences: how sure a probe is (0 = not this format).
inline constexpr int kProbeNo = 0;
inline constexpr int kProbeFallback = 1;
inline constexpr int kProbeLikely = 50;
inline constexpr int kProbeCertain = 100;

/// One capture format.
struct CaptureFormat {
  std::string_view id;           ///< short name, e.g. "flipper"
  std::string_view description;  ///< one line for listings
  int priority;                  ///< breaks ties between equal confidences: lower wins
  int (*probe)(std::string_view text);
  ReadResult (*read)(std::string_view text, const ReadOptions& options);
};

/// Every format, by ascending priority.
std::span<const CaptureFormat> CaptureFormats();
/// The format with this id, or nullptr.
const CaptureFormat* FindCaptureFormat(std::string_view id);
/// The format whose probe is surest of the text (ties: lower priority); the
/// plain duration list when no probe is sure, so its reader names the fault.
const CaptureFormat& DetectCaptureFormat(std::string_view text);

/// Detects the format and reads the text. No capture at all is an error.
ReadResult ReadCaptureText(std::string_view text, const ReadOptions& options);
/// Reads a file (at most kMaxFileBytes); an unreadable file is an error of line 0.
ReadResult ReadCaptureFile(const std::filesystem::path& path, const ReadOptions& options);
/// Reads a stream to its end (at most kMaxFileBytes), e.g. standard input.
ReadResult ReadCaptureStream(std::istream& in, const ReadOptions& options);

/// The capture as the decoder takes it: durations in 0.1 µs ticks.
ir::Capture ToCapture(const CaptureRead& read);

}  // namespace klimavo::capture
