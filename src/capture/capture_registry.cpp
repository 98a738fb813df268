// The registry of capture formats, format detection and reading of files.
//
// The list below is the one place that names every format. It is an explicit
// table rather than self-registering objects: the formats live in a static
// library, where an object file that nothing references would be left out of
// the program together with its registration.
#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <istream>
#include <system_error>

#include "capture/capture_format.h"
#include "capture/formats.h"

namespace klimavo::capture {
namespace {

constexpr std::size_t kFormatCount = 6;

std::array<CaptureFormat, kFormatCount> SortedFormats() {
  std::array<CaptureFormat, kFormatCount> formats{PlainTextFormat(), FlipperFormat(), JsonLinesFormat(),
                                                  Mode2Format(),     IrCtlFormat(),   ProntoFormat()};
  std::stable_sort(formats.begin(), formats.end(),
                   [](const CaptureFormat& a, const CaptureFormat& b) { return a.priority < b.priority; });
  return formats;
}

ReadResult FileFailure(const ReadOptions& options, std::string message) {
  ReadResult r;
  r.error = CaptureError{options.source, 0, "", std::move(message)};
  return r;
}

}  // namespace

std::string CaptureError::What() const {
  std::string out = file;
  if (line > 0) out += ":" + std::to_string(line);
  out += ": " + message;
  if (!token.empty()) out += ": '" + token + "'";
  return out;
}

std::span<const CaptureFormat> CaptureFormats() {
  static const std::array<CaptureFormat, kFormatCount> formats = SortedFormats();
  return formats;
}

const CaptureFormat* FindCaptureFormat(std::string_view id) {
  for (const CaptureFormat& f : CaptureFormats())
    if (f.id == id) return &f;
  return nullptr;
}

const CaptureFormat& DetectCaptureFormat(std::string_view text) {
  const CaptureFormat* best = nullptr;
  int best_confidence = kProbeFallback;
  for (const CaptureFormat& f : CaptureFormats()) {  // by priority, so a tie keeps the earlier
    const int confidence = f.probe(text);
    if (confidence > best_confidence) {
      best = &f;
      best_confidence = confidence;
    }
  }
  return best ? *best : PlainTextFormat();
}

ReadResult ReadCaptureText(std::string_view text, const ReadOptions& options) {
  const CaptureFormat& format = DetectCaptureFormat(text);
  ReadResult r = format.read(text, options);
  r.format = std::string(format.id);
  if (r.ok() && r.captures.empty()) r.error = CaptureError{options.source, 0, "", "no capture found"};
  return r;
}

ReadResult ReadCaptureStream(std::istream& in, const ReadOptions& options) {
  std::string text;
  char buffer[1 << 16];
  while (in) {
    in.read(buffer, sizeof buffer);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (text.size() + got > kMaxFileBytes)
      return FileFailure(options, "larger than " + std::to_string(kMaxFileBytes) + " bytes");
    text.append(buffer, got);
  }
  if (in.bad()) return FileFailure(options, "cannot be read");
  return ReadCaptureText(text, options);
}

ReadResult ReadCaptureFile(const std::filesystem::path& path, const ReadOptions& options) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return FileFailure(options, "is a folder, not a capture file");
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return FileFailure(options,
                       "cannot be opened: " + std::error_code(errno, std::generic_category()).message());
  return ReadCaptureStream(in, options);
}

ir::Capture ToCapture(const CaptureRead& read) {
  ir::Capture c;
  c.Carrier = read.carrier;
  c.Durations = read.durations;
  // The readers bound every µs value by kMaxMicros, so ten times it fits.
  if (read.unit == DurationUnit::kMicroseconds)
    for (auto& d : c.Durations) d *= 10;
  return c;
}

}  // namespace klimavo::capture
