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
// Other lines, and lines with a token that is not an integer, are ignored.
// For every train handed over the workbench answers "TAKEN <n>", n being the
// number of open wizards that took it (0: none was open). This file holds the
// line handling, the memory budget of all connections and the place of the
// feed's socket (a private folder of the user); the GUI owns the socket itself.

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
/// Bytes all connections of a feed may hold together (unfinished lines and
/// bytes waiting their turn); beyond it the line that would grow is dropped.
inline constexpr std::size_t kMaxFeedBufferedBytes = 32u * 1024u * 1024u;
/// Connections a feed serves at once; one more is closed at once.
inline constexpr int kMaxFeedConnections = 8;
/// The answer to each train handed over: "TAKEN <n>".
inline constexpr std::string_view kTakenWord = "TAKEN";

/// The bytes that the connections of one feed hold together.
class PulseFeedBudget {
 public:
  explicit PulseFeedBudget(std::size_t limit = kMaxFeedBufferedBytes) : limit_(limit) {}
  /// Takes `bytes` when they fit; false (nothing taken) when they do not.
  bool Take(std::size_t bytes);
  void Give(std::size_t bytes) { used_ -= bytes < used_ ? bytes : used_; }
  std::size_t Used() const { return used_; }

 private:
  std::size_t limit_;
  std::size_t used_ = 0;
};

/// Handles the lines of one connection.
class PulseFeedReader {
 public:
  /// Receives each complete train: durations in 0.1 µs and the carrier.
  using Deliver = std::function<void(const ir::TIRIntegerArr& durations, std::int32_t carrier)>;

  /// `budget` (may be null: no bound but the line length) is shared by the
  /// readers of one feed and must outlive them.
  explicit PulseFeedReader(Deliver deliver, PulseFeedBudget* budget = nullptr)
      : deliver_(std::move(deliver)), budget_(budget) {}
  ~PulseFeedReader();
  PulseFeedReader(const PulseFeedReader&) = delete;
  PulseFeedReader& operator=(const PulseFeedReader&) = delete;

  /// Bytes as they arrive; every complete line (LF, or CR LF) is handled, in
  /// order, also when the receiver feeds more bytes while it takes a train.
  void Feed(std::string_view bytes);
  /// One line without its end.
  void HandleLine(std::string_view line);
  /// One (wparam, lparam) pair.
  void Message(std::int64_t wparam, std::int64_t lparam);
  /// The train being filled.
  const ir::TIRIntegerArr& Train() const { return train_; }
  /// Bytes this reader holds in the budget.
  std::size_t Held() const { return held_; }

 private:
  void FeedLines(std::string_view bytes);
  bool Hold(std::size_t bytes);
  void Release(std::size_t bytes);

  Deliver deliver_;
  ir::TIRIntegerArr train_;
  std::string partial_;
  std::string pending_;  // bytes that arrived while a train was handed over
  bool feeding_ = false;
  bool dropping_ = false;  // inside a line that grew too long
  PulseFeedBudget* budget_;
  std::size_t held_ = 0;  // bytes of partial_ and pending_ taken from the budget
};

/// `klimavo-feed-<uid>-<first 8 hex digits of the SHA-1 of the resolved home path>`.
std::string PulseFeedName(const std::filesystem::path& home);
/// The user's private folder of feed sockets: $XDG_RUNTIME_DIR when set, else
/// klimavo-<uid> in the temporary folder ($TMPDIR, else /tmp).
std::filesystem::path PulseFeedFolder();
/// Where the feed of `home` has its socket: PulseFeedFolder() / PulseFeedName(home).
std::filesystem::path PulseFeedSocketPath(const std::filesystem::path& home);
/// Checks the folder of the feed sockets, creating it (mode 0700) first when
/// `create` is set and it is missing. It must be a real folder (not a link)
/// owned by the user, which no one else may enter or change: otherwise another
/// user could put a socket of their own under the feed's name and take the
/// captures. Returns why it cannot be used, or an empty text.
std::string PreparePulseFeedFolder(const std::filesystem::path& folder, bool create);
/// Why the feed's socket at `path` must not be used: something that is not a
/// socket, or a socket another user owns, stands there. Empty when there is
/// nothing or a socket of the user.
std::string ForeignSocketProblem(const std::filesystem::path& path);

}  // namespace klimavo::device
