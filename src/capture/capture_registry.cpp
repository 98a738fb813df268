// The registry of capture formats, format detection and reading of files.
//
// The list below is the one place that names every format. It is an explicit
// table rather than self-registering objects: the formats live in a static
// library, where an object file that nothing references would be left out of
// the program together with its registration.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

#include "capture/capture_format.h"
#include "capture/formats.h"

namespace klimavo::capture {
namespace {

constexpr std::size_t kFormatCount = 10;
/// Room for the first read of the head; it doubles up to kDetectBytes.
constexpr std::size_t kFirstHeadRead = 4096;

std::array<CaptureFormat, kFormatCount> SortedFormats() {
  std::array<CaptureFormat, kFormatCount> formats{
      PlainTextFormat(), FlipperFormat(),   JsonLinesFormat(),   Mode2Format(),   IrCtlFormat(),
      ProntoFormat(),    BroadlinkFormat(), ClimateJsonFormat(), ArduinoFormat(), TasmotaFormat()};
  std::stable_sort(formats.begin(), formats.end(),
                   [](const CaptureFormat& a, const CaptureFormat& b) { return a.priority < b.priority; });
  return formats;
}

CaptureError FileError(const ReadOptions& options, std::string message) {
  return CaptureError{options.source, 0, "", std::move(message)};
}

std::string ErrnoText(int fault) { return std::error_code(fault, std::generic_category()).message(); }

// The first bytes of an input, taken for format detection.
struct Head {
  std::string bytes;
  bool ended = false;  // the input ended within them
  std::optional<CaptureError> error;
};

Head ReadHead(const ByteReader& read, const ReadOptions& options) {
  Head head;
  std::size_t got = 0;
  while (got < kDetectBytes) {
    // Room doubles from a few KiB, so a short input takes a short buffer.
    head.bytes.resize(std::min(kDetectBytes, std::max(kFirstHeadRead, 2 * got)));
    const std::ptrdiff_t n = read(head.bytes.data() + got, head.bytes.size() - got);
    if (n < 0) {
      head.error = FileError(options, "cannot be read: " + ErrnoText(errno));
      break;
    }
    if (n == 0) {
      head.ended = true;
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  head.bytes.resize(got);
  return head;
}

// What the probes see of the head. When the input goes on past it, the head is
// cut after its last line end (or, when it holds no line end, after its last
// separator), so that no probe sees a line or token cut in two.
std::string_view ProbeWindow(std::string_view head, bool ended) {
  if (ended) return head;
  std::size_t cut = head.rfind('\n');
  if (cut == std::string_view::npos) cut = head.find_last_of(" \t,");
  return cut == std::string_view::npos ? head : head.substr(0, cut + 1);
}

// A reader of a text in memory; `rest` is what is left to read.
ByteReader TextReader(std::string_view& rest) {
  return [&rest](char* buffer, std::size_t size) -> std::ptrdiff_t {
    const std::size_t n = rest.copy(buffer, size);
    rest.remove_prefix(n);
    return static_cast<std::ptrdiff_t>(n);
  };
}

// Collects what a streaming read hands over; the captures are dropped on an error.
template <typename StreamFn>
ReadResult Collect(StreamFn&& stream) {
  ReadResult r;
  const StreamResult s = stream([&r](CaptureRead&& c) { r.captures.push_back(std::move(c)); });
  r.format = s.format;
  r.error = s.error;
  if (r.error) r.captures.clear();
  return r;
}

}  // namespace

std::string CaptureError::What() const {
  std::string out = file;
  if (line > 0) {
    out += ':';
    out += std::to_string(line);
  }
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

const CaptureFormat& DetectCaptureFormat(std::string_view head) {
  const CaptureFormat* best = nullptr;
  int best_confidence = kProbeFallback;
  for (const CaptureFormat& f : CaptureFormats()) {  // by priority, so a tie keeps the earlier
    const int confidence = f.probe(head);
    if (confidence > best_confidence) {
      best = &f;
      best_confidence = confidence;
    }
  }
  return best ? *best : PlainTextFormat();
}

StreamResult StreamCaptures(const ByteReader& read, const ReadOptions& options, const CaptureSink& sink) {
  StreamResult r;
  Head head;
  if (!options.format) head = ReadHead(read, options);
  if (head.error) {
    r.error = std::move(head.error);
    return r;
  }
  const CaptureFormat& format =
      options.format ? *options.format : DetectCaptureFormat(ProbeWindow(head.bytes, head.ended));
  r.format = std::string(format.id);
  LineSource lines(std::move(head.bytes), head.ended, read, options.source, options.limits.line_bytes);
  const CaptureSink counted = [&r, &sink](CaptureRead&& c) {
    ++r.captures;
    sink(std::move(c));
  };
  r.error = format.read(lines, options, counted);
  if (!r.error && r.captures == 0) r.error = FileError(options, "no capture found");
  return r;
}

ByteReader DescriptorReader(int fd) {
  return [fd](char* buffer, std::size_t size) -> std::ptrdiff_t {
    for (;;) {
      const ssize_t n = ::read(fd, buffer, size);
      if (n >= 0 || errno != EINTR) return n;
    }
  };
}

StreamResult StreamCaptureFile(const std::filesystem::path& path, const ReadOptions& options,
                               const CaptureSink& sink) {
  StreamResult r;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    r.error = FileError(options, "is a folder, not a capture file");
    return r;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    r.error = FileError(options, "cannot be opened: " + ErrnoText(errno));
    return r;
  }
  r = StreamCaptures(DescriptorReader(fd), options, sink);
  ::close(fd);
  return r;
}

ReadResult ReadCaptureText(std::string_view text, const ReadOptions& options) {
  std::string_view rest = text;
  const ByteReader reader = TextReader(rest);
  return Collect([&](const CaptureSink& sink) { return StreamCaptures(reader, options, sink); });
}

ReadResult ReadCaptureFile(const std::filesystem::path& path, const ReadOptions& options) {
  return Collect([&](const CaptureSink& sink) { return StreamCaptureFile(path, options, sink); });
}

ReadResult ReadWithFormat(const CaptureFormat& format, std::string_view text, const ReadOptions& options) {
  std::string_view rest = text;
  const ByteReader reader = TextReader(rest);
  return Collect([&](const CaptureSink& sink) {
    LineSource lines({}, false, reader, options.source, options.limits.line_bytes);
    StreamResult s;
    s.format = std::string(format.id);
    s.error = format.read(lines, options, sink);
    return s;
  });
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
