#include "device/pulse_feed_protocol.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "base/sha1.h"
#include "base/text.h"

namespace klimavo::device {
namespace {

constexpr std::string_view kMessageWord = "MSG";
constexpr std::string_view kPulsesWord = "PULSES";
constexpr std::size_t kNameHashDigits = 8;
constexpr std::int32_t kTicksPerMicro = 10;

std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    const std::size_t start = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
    if (at > start) tokens.push_back(line.substr(start, at - start));
  }
  return tokens;
}

std::optional<std::int64_t> Integer(std::string_view token) {
  long long value = 0;
  if (!base::ParseInteger(token, value)) return std::nullopt;
  return value;
}

}  // namespace

bool PulseFeedBudget::Take(std::size_t bytes) {
  if (bytes > limit_ - used_) return false;
  used_ += bytes;
  return true;
}

PulseFeedReader::~PulseFeedReader() { Release(held_); }

bool PulseFeedReader::Hold(std::size_t bytes) {
  if (budget_ != nullptr && !budget_->Take(bytes)) return false;
  held_ += bytes;
  return true;
}

void PulseFeedReader::Release(std::size_t bytes) {
  if (budget_ != nullptr) budget_->Give(bytes);
  held_ -= bytes;
}

void PulseFeedReader::Feed(std::string_view bytes) {
  // A receiver that waits for the user (a message box) lets more bytes of the
  // connection arrive while a train is being handed over: they wait their turn,
  // within the budget; bytes beyond it are dropped with the line they end.
  if (feeding_) {
    if (Hold(bytes.size())) {
      pending_.append(bytes);
    } else {
      dropping_ = true;
    }
    return;
  }
  feeding_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{feeding_};
  FeedLines(bytes);
  while (!pending_.empty()) {
    const std::string more = std::move(pending_);
    pending_.clear();
    Release(more.size());
    FeedLines(more);
  }
}

void PulseFeedReader::FeedLines(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (!dropping_) {
      if (partial_.size() + piece.size() > kMaxFeedLineBytes ||
          (end == std::string_view::npos && !Hold(piece.size()))) {
        Release(std::min(held_, partial_.size()));
        partial_.clear();
        dropping_ = true;
      } else {
        partial_.append(piece);
      }
    }
    if (end == std::string_view::npos) return;
    bytes.remove_prefix(end + 1);
    std::string line = std::move(partial_);
    partial_.clear();
    // The line is complete: what its unfinished part held goes back.
    Release(std::min(held_, line.size() > piece.size() ? line.size() - piece.size() : 0));
    const bool dropped = dropping_;
    dropping_ = false;
    if (dropped) continue;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    HandleLine(line);
  }
}

void PulseFeedReader::HandleLine(std::string_view line) {
  const std::vector<std::string_view> tokens = Tokens(line);
  if (tokens.empty()) return;
  if (base::EqualsIgnoreCaseAscii(tokens[0], kMessageWord)) {
    if (tokens.size() != 3) return;
    const auto wparam = Integer(tokens[1]);
    const auto lparam = Integer(tokens[2]);
    if (wparam && lparam) Message(*wparam, *lparam);
    return;
  }
  if (!base::EqualsIgnoreCaseAscii(tokens[0], kPulsesWord)) return;
  const auto count = static_cast<std::int64_t>(tokens.size() - 1);
  if (count > kMaxFeedDurations) return;
  std::vector<std::int64_t> durations;
  durations.reserve(tokens.size() - 1);
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    const auto d = Integer(tokens[i]);
    if (!d || *d > kMaxFeedMicros || *d < -kMaxFeedMicros) return;  // the whole line is ignored
    durations.push_back(*d);
  }
  Message(0, count);
  for (std::size_t k = 0; k < durations.size(); ++k) Message(static_cast<std::int64_t>(k) + 1, durations[k]);
}

void PulseFeedReader::Message(std::int64_t wparam, std::int64_t lparam) {
  if (wparam == 0) {
    if (lparam < 0 || lparam > kMaxFeedDurations) return;
    train_.assign(static_cast<std::size_t>(lparam), 0);
    return;
  }
  if (wparam < 0 || wparam > static_cast<std::int64_t>(train_.size())) return;
  if (lparam > kMaxFeedMicros || lparam < -kMaxFeedMicros) return;
  train_[static_cast<std::size_t>(wparam - 1)] = static_cast<std::int32_t>(lparam) * kTicksPerMicro;
  if (wparam == static_cast<std::int64_t>(train_.size()) && deliver_) deliver_(train_, kFeedCarrier);
}

std::string PulseFeedName(const std::filesystem::path& home) {
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::canonical(home, error);
  if (error) resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(home, error), error);
  if (resolved.empty()) resolved = home;
  std::string text = resolved.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return "klimavo-feed-" + std::to_string(::getuid()) + "-" + base::Sha1Hex(text).substr(0, kNameHashDigits);
}

std::filesystem::path PulseFeedFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/') return std::filesystem::path(runtime).lexically_normal();
  const char* tmp = std::getenv("TMPDIR");
  std::filesystem::path folder = tmp != nullptr && *tmp != '\0' ? std::filesystem::path(tmp) : "/tmp";
  return (folder / ("klimavo-" + std::to_string(::getuid()))).lexically_normal();
}

std::filesystem::path PulseFeedSocketPath(const std::filesystem::path& home) {
  std::filesystem::path folder = PulseFeedFolder();
  if (!folder.has_filename()) folder = folder.parent_path();
  return folder / PulseFeedName(home);
}

std::string PreparePulseFeedFolder(const std::filesystem::path& folder, bool create) {
  const std::string name = folder.string();
  if (create && ::mkdir(name.c_str(), 0700) != 0 && errno != EEXIST)
    return "cannot create the feed's folder " + name + ": " + std::strerror(errno);
  struct stat status {};
  if (::lstat(name.c_str(), &status) != 0) return "the feed's folder " + name + " is missing";
  if (!S_ISDIR(status.st_mode)) return "the feed's folder " + name + " is not a real folder";
  if (status.st_uid != ::getuid())
    return "the feed's folder " + name + " belongs to another user (uid " + std::to_string(status.st_uid) +
           ")";
  if ((status.st_mode & 077) != 0) return "the feed's folder " + name + " is open to other users";
  return {};
}

std::string ForeignSocketProblem(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return {};
  if (!S_ISSOCK(status.st_mode)) return path.string() + " is not a socket";
  if (status.st_uid != ::getuid())
    return "the feed's socket " + path.string() + " belongs to another user (uid " +
           std::to_string(status.st_uid) + ")";
  return {};
}

}  // namespace klimavo::device
