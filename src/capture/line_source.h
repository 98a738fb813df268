#pragma once
// The lines of a capture file, read one at a time from any byte source, so that
// a reader holds one line and never the whole file. The buffer holds at most one
// line (bounded by ReadLimits::line_bytes) and one read chunk beside the bytes
// taken ahead for format detection.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "capture/capture_error.h"

namespace klimavo::capture {

/// Reads up to `size` bytes into `buffer` and returns how many it read: 0 at the
/// end of the input, -1 when it cannot be read (errno says why). It may return
/// fewer bytes than asked for (a pipe gives what has arrived).
using ByteReader = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;

/// One line of a file (without its line end) and its 1-based number.
struct Line {
  std::string_view text;
  int number = 0;
};

class LineSource {
 public:
  /// Bytes asked of the reader at a time.
  static constexpr std::size_t kChunkBytes = 64 * 1024;

  /// The lines of `head` (bytes already taken from the input, e.g. for format
  /// detection) followed by those of `read`, which must outlive the source;
  /// `ended` when the input ended within the head. A leading UTF-8 byte-order
  /// mark and the CR of a CR LF line end are dropped. `source` names the file in errors.
  LineSource(std::string head, bool ended, const ByteReader& read, std::string source,
             std::size_t max_line_bytes);

  /// The next line, valid until the following call; nullopt at the end of the
  /// input or at a fault (then Error() tells which).
  std::optional<Line> Next();
  /// The fault that stopped reading: a line longer than the limit, or a read error.
  const std::optional<CaptureError>& Error() const { return error_; }

 private:
  // Reads one chunk more after the unread bytes; sets error_ when the input cannot be read.
  void Fill();

  std::string buffer_;       // bytes [start_, end_) are unread; the rest is room for reading
  std::size_t start_ = 0;    // first byte of the next line
  std::size_t end_ = 0;      // end of the bytes read
  std::size_t scanned_ = 0;  // bytes from start_ known to hold no line end
  bool ended_;
  const ByteReader& read_;
  std::string source_;
  std::size_t max_line_bytes_;
  int number_ = 0;
  std::optional<CaptureError> error_;
};

}  // namespace klimavo::capture
