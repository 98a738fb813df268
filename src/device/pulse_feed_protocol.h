#pragma once
// The pulse feed: another program hands the running workbench a pulse train,
// duration by duration, over a local socket. The feed reads UTF-8 lines:
//
//   MSG <wparam> <lparam>    wparam 0: start a train of lparam durations, all 0;
//                            wparam k >= 1: duration k is lparam µs (signed like a
//                            capture); when k is the train's length the train is
//                            handed over (0.1 µs, carrier 38000)
//   PULSES <d1> <d2> ...     the same as MSG 0 n followed by MSG k dk for each k
//
// Other lines, and lines with a token that is not an integer, are ignored;
// nothing is sent back. This file holds the line handling and the name of the
// feed's socket; the GUI owns the socket itself.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "ir/ir_types.h"

namespace klimavo::device {

/// Carrier of every train the feed hands over.
inline constexpr std::int32_t kFeedCarrier = 38000;
/// Longest train accepted (a longer MSG 0 is ignored).
inline constexpr std::int64_t kMaxFeedDurations = 1'000'000;
/// Largest magnitude of a duration in µs: ten times it still fits 32 bits.
inline constexpr std::int64_t kMaxFeedMicros = 214'748'364;
/// Longest line kept; the rest of a longer line is dropped with it.
inline constexpr std::size_t kMaxFeedLineBytes = 16u * 1024u * 1024u;

/// Handles the lines of one connection.
class PulseFeedReader {
 public:
  /// Receives each complete train: durations in 0.1 µs and the carrier.
  using Deliver = std::function<void(const ir::TIRIntegerArr& durations, std::int32_t carrier)>;

  explicit PulseFeedReader(Deliver deliver) : deliver_(std::move(deliver)) {}

  /// Bytes as they arrive; every complete line (LF, or CR LF) is handled, in
  /// order, also when the receiver feeds more bytes while it takes a train.
  void Feed(std::string_view bytes);
  /// One line without its end.
  void HandleLine(std::string_view line);
  /// One (wparam, lparam) pair.
  void Message(std::int64_t wparam, std::int64_t lparam);
  /// The train being filled.
  const ir::TIRIntegerArr& Train() const { return train_; }

 private:
  void FeedLines(std::string_view bytes);

  Deliver deliver_;
  ir::TIRIntegerArr train_;
  std::string partial_;
  std::string pending_;  // bytes that arrived while a train was handed over
  bool feeding_ = false;
  bool dropping_ = false;  // inside a line that grew too long
};

/// `klimavo-feed-<uid>-<first 8 hex digits of the SHA-1 of the resolved home path>`.
std::string PulseFeedName(const std::filesystem::path& home);
/// Where a local server of that name has its socket: the temporary folder
/// ($TMPDIR, else /tmp) joined with the name.
std::filesystem::path PulseFeedSocketPath(const std::filesystem::path& home);

}  // namespace klimavo::device
