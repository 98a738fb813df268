#pragma once
// Capture files: the registry of the formats in which captured IR signals come
// to the workbench and leave it (plain duration lists, Flipper .ir files, the
// JSON Lines of the capture corpus, LIRC mode2, ir-ctl, Pronto learned codes,
// Broadlink IR packets, climate-code collections, Arduino C arrays, Tasmota
// raw strings).
//
// Each format is one descriptor with a content probe, which returns how sure it
// is that the start of a file is in its format, a reader and, for the formats
// that other tools send from, a writer. Readers take the
// file line by line and hand each capture over as soon as it is complete, so a
// file of any length is read in memory that does not grow with it. Reading
// never throws for bad content: it stops with one error that names the file,
// the line and the token at fault. Every reader is bounded (line length,
// durations per capture, magnitude of a duration), so no input can crash it or
// exhaust memory.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_error.h"
#include "capture/capture_label.h"
#include "capture/line_source.h"
#include "ir/ir_types.h"

namespace klimavo::capture {

/// Bytes at the start of a file that format detection looks at.
inline constexpr std::size_t kDetectBytes = 1024u * 1024u;
/// Longest line of any capture file, without its line end.
inline constexpr std::size_t kMaxLineBytes = 16u * 1024u * 1024u;
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
  int line = 0;                       ///< line on which the capture starts
  std::optional<std::string> origin;  ///< the file it came from, when the file names one (bytes as written)
  CaptureLabel label;                 ///< the remote's state, when the file gives one
  /// How an exported code of a learned record came about ("pressed",
  /// "combined", "interpolated"); written by JSON Lines, not read back.
  std::optional<std::string> basis;
};

/// What one line and one capture may hold at most; a file beyond them is an error.
struct ReadLimits {
  std::size_t line_bytes = kMaxLineBytes;
  std::size_t durations = kMaxDurationsPerCapture;
};

struct CaptureFormat;

/// How to read: the file's name for messages, the defaults of the formats that
/// leave carrier or unit open, and the limits.
struct ReadOptions {
  std::string source = "-";
  std::int32_t default_carrier = ir::kDefaultCarrier;
  /// The unit of formats that do not fix one (the plain duration list).
  DurationUnit unit = DurationUnit::kMicroseconds;
  ReadLimits limits{};
  /// Read as this format instead of detecting one. Detection waits for the first
  /// kDetectBytes (or the end) of the input; a named format reads a pipe line by
  /// line from its first line.
  const CaptureFormat* format = nullptr;
};

/// Takes each capture as soon as its reader has completed it.
using CaptureSink = std::function<void(CaptureRead&& capture)>;

/// How a streamed read ended: the format, the captures handed over, and the
/// error that stopped it. Captures handed over before an error stay valid.
struct StreamResult {
  std::string format;  ///< id of the format that read it (empty when the file could not be opened)
  std::size_t captures = 0;
  std::optional<CaptureError> error;

  bool ok() const { return !error.has_value(); }
};

/// The captures of a file, or the error that stopped reading.
struct ReadResult {
  std::vector<CaptureRead> captures;  ///< empty when there is an error
  std::optional<CaptureError> error;
  std::string format;  ///< id of the format that read it

  bool ok() const { return !error.has_value(); }
};

/// Probe confidences: how sure a probe is (0 = not this format).
inline constexpr int kProbeNo = 0;
inline constexpr int kProbeFallback = 1;
inline constexpr int kProbeLikely = 50;
inline constexpr int kProbeCertain = 100;

/// Why a writer could not write a set of captures: the capture at fault
/// (0-based) and what it holds that the format cannot.
struct WriteError {
  std::size_t capture = 0;
  std::string message;
};

/// Writes captures (in either unit; marks positive, spaces negative) to `out`:
/// the whole file, header included. Nothing is appended on an error.
using CaptureWriter = std::optional<WriteError> (*)(std::span<const CaptureRead> captures, std::string& out);

/// One capture format.
struct CaptureFormat {
  std::string_view id;           ///< short name, e.g. "flipper"
  std::string_view description;  ///< one line for listings
  int priority;                  ///< breaks ties between equal confidences: lower wins
  /// How sure the format is of a file from its first bytes (at most kDetectBytes,
  /// cut at a line end unless the file ends there).
  int (*probe)(std::string_view head);
  /// Reads every line, handing each capture to the sink; the error that stopped it, if any.
  std::optional<CaptureError> (*read)(LineSource& lines, const ReadOptions& options, const CaptureSink& sink);
  /// Writes captures in this format; nullptr for a format that is only read.
  CaptureWriter write;
};

/// Every format, by ascending priority.
std::span<const CaptureFormat> CaptureFormats();
/// The format with this id, or nullptr.
const CaptureFormat* FindCaptureFormat(std::string_view id);
/// The format whose probe is surest of the head (ties: lower priority); the
/// plain duration list when no probe is sure, so its reader names the fault.
const CaptureFormat& DetectCaptureFormat(std::string_view head);

/// Detects the format from the first kDetectBytes of the input (unless the
/// options name one) and reads it capture by capture. No capture at all is an error.
StreamResult StreamCaptures(const ByteReader& read, const ReadOptions& options, const CaptureSink& sink);
/// As StreamCaptures, from a file; a file that cannot be opened is an error of line 0.
StreamResult StreamCaptureFile(const std::filesystem::path& path, const ReadOptions& options,
                               const CaptureSink& sink);
/// A reader of an open file descriptor (e.g. standard input); it returns what
/// has arrived, so lines are read as they come.
ByteReader DescriptorReader(int fd);

/// Collects every capture of a text (see StreamCaptures).
ReadResult ReadCaptureText(std::string_view text, const ReadOptions& options);
/// Collects every capture of a file (see StreamCaptureFile).
ReadResult ReadCaptureFile(const std::filesystem::path& path, const ReadOptions& options);
/// Reads a text with the given format, without detection; no capture is not an error.
ReadResult ReadWithFormat(const CaptureFormat& format, std::string_view text, const ReadOptions& options);

/// The capture as the decoder takes it: durations in 0.1 µs ticks.
ir::Capture ToCapture(const CaptureRead& read);

}  // namespace klimavo::capture
