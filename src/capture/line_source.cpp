#include "capture/line_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace klimavo::capture {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
/// Least room a read is given.
constexpr std::size_t kMinRoom = 4096;

}  // namespace

LineSource::LineSource(std::string head, bool ended, const ByteReader& read, std::string source,
                       std::size_t max_line_bytes)
    : buffer_(std::move(head)),
      end_(buffer_.size()),
      ended_(ended),
      read_(read),
      source_(std::move(source)),
      max_line_bytes_(max_line_bytes) {}

std::optional<Line> LineSource::Next() {
  while (!error_) {
    const char* from = buffer_.data() + start_ + scanned_;
    const auto* found = static_cast<const char*>(std::memchr(from, '\n', end_ - start_ - scanned_));
    const bool last = !found && ended_;
    if (found || last) {
      if (last && start_ == end_) return std::nullopt;
      const std::size_t line_end = found ? static_cast<std::size_t>(found - buffer_.data()) : end_;
      std::string_view text(buffer_.data() + start_, line_end - start_);
      start_ = found ? line_end + 1 : line_end;
      scanned_ = 0;
      ++number_;
      if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
      if (number_ == 1 && text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
      if (text.size() > max_line_bytes_) break;
      return Line{text, number_};
    }
    scanned_ = end_ - start_;
    // One byte more than the limit may be the CR of a CR LF line end.
    if (scanned_ > max_line_bytes_ + 1) {
      ++number_;
      break;
    }
    Fill();
  }
  if (!error_)
    error_ =
        CaptureError{source_, number_, "", "line longer than " + std::to_string(max_line_bytes_) + " bytes"};
  return std::nullopt;
}

void LineSource::Fill() {
  if (start_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
  }
  // The buffer grows only when the unread bytes leave less than a chunk of room,
  // by as much as it holds (at least kMinRoom, at most a chunk): a short file
  // takes a short buffer, and a long one at most one line and one chunk (or
  // the head, which came first).
  if (buffer_.size() - end_ < kChunkBytes)
    buffer_.resize(end_ + std::clamp(buffer_.size(), kMinRoom, kChunkBytes));
  const std::ptrdiff_t got = read_(buffer_.data() + end_, std::min(buffer_.size() - end_, kChunkBytes));
  if (got < 0) {
    const int fault = errno;
    error_ = CaptureError{source_, 0, "",
                          "cannot be read: " + std::error_code(fault, std::generic_category()).message()};
    return;
  }
  end_ += static_cast<std::size_t>(got);
  if (got == 0) ended_ = true;
}

}  // namespace klimavo::capture
