#include "device/pulse_feed_protocol.h"

#include <unistd.h>

#include <cstdlib>
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

void PulseFeedReader::Feed(std::string_view bytes) {
  // A receiver that waits for the user (a message box) lets more bytes of the
  // connection arrive while a train is being handed over: they wait their turn.
  if (feeding_) {
    pending_.append(bytes);
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
    FeedLines(more);
  }
}

void PulseFeedReader::FeedLines(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (!dropping_) {
      if (partial_.size() + piece.size() > kMaxFeedLineBytes) {
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

std::filesystem::path PulseFeedSocketPath(const std::filesystem::path& home) {
  const char* tmp = std::getenv("TMPDIR");
  std::filesystem::path folder = tmp != nullptr && *tmp != '\0' ? std::filesystem::path(tmp) : "/tmp";
  return folder.lexically_normal() / PulseFeedName(home);
}

}  // namespace klimavo::device
