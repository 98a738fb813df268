// Pronto hex learned codes:
//
//   0000 006D 0022 0002 0157 00AC 0015 0016 ...
//
// Word 0 is 0000 (a learned code), word 1 the carrier as a count of 0.241246 µs
// periods, words 2 and 3 the number of burst pairs of the once and the repeat
// sequence, then the pairs (mark, space) in carrier periods. A capture is the
// once sequence followed by one copy of the repeat sequence. A code may run over
// several lines; the word after a complete code starts the next one.
#include <array>
#include <cmath>
#include <string>

#include "capture/capture_writer.h"
#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

/// One Pronto frequency unit in µs.
constexpr double kProntoClockMicros = 0.241246;
constexpr std::size_t kHeaderWords = 4;
constexpr std::size_t kWordDigits = 4;

bool HexWord(std::string_view token, std::uint32_t& value) {
  if (token.size() != kWordDigits) return false;
  value = 0;
  for (char c : token) {
    int digit = 0;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return false;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return true;
}

int Probe(std::string_view text) {
  const auto lines = scan::FirstMeaningfulLines(text, 1);
  if (lines.empty()) return kProbeNo;
  const auto tokens = scan::Tokens(lines[0], false);
  if (tokens.size() < kHeaderWords || tokens[0] != "0000") return kProbeNo;
  for (std::string_view t : tokens) {
    std::uint32_t w = 0;
    if (!HexWord(t, w)) return kProbeNo;
  }
  return 80;
}

// A word of a code with where it stands; its text is kept for messages, as the
// line it came from is gone when a code runs over several lines.
struct Word {
  Word(std::uint32_t v, std::string_view t, int l) : value(v), line(l) { t.copy(text.data(), kWordDigits); }
  std::string_view Token() const { return {text.data(), kWordDigits}; }
  std::uint32_t value;
  std::array<char, kWordDigits> text{};
  int line;
};

class ProntoReader {
 public:
  ProntoReader(const ReadOptions& options, const CaptureSink& sink)
      : errors_(options), collector_(options, DurationUnit::kMicroseconds, sink) {}

  std::optional<CaptureError> Read(LineSource& lines) {
    while (const auto line = lines.Next()) {
      std::string_view bad;
      if (auto label = scan::LabelComment(line->text, bad)) {
        if (!bad.empty()) return errors_.Fail(line->number, bad, "not name=value in a label comment");
        collector_.SetNextLabel(std::move(*label));
        continue;
      }
      if (scan::IsComment(line->text)) continue;
      if (scan::IsBlank(line->text)) {
        if (auto fault = Incomplete()) return fault;
        continue;
      }
      if (auto fault = errors_.ControlByte(line->number, line->text, false)) return fault;
      scan::TokenScanner tokens(line->text, false);
      while (const auto token = tokens.Next()) {
        std::uint32_t value = 0;
        if (!HexWord(*token, value))
          return errors_.Fail(line->number, *token, "not a Pronto word (four hex digits)");
        if (auto fault = Take(Word{value, *token, line->number})) return fault;
      }
    }
    if (lines.Error()) return lines.Error();
    return Incomplete();
  }

 private:
  std::optional<CaptureError> Take(const Word& w) {
    words_.push_back(w);
    if (words_.size() == 1 && w.value != 0)
      return errors_.Fail(w.line, w.Token(), "only learned Pronto codes (starting 0000) are read");
    if (words_.size() == 2 && (w.value == 0 || 1e6 / (w.value * kProntoClockMicros) > kMaxCarrierHz))
      return errors_.Fail(w.line, w.Token(), "carrier word out of range");
    if (words_.size() == kHeaderWords) {
      pairs_ = std::size_t{words_[2].value} + words_[3].value;
      if (pairs_ == 0) return errors_.Fail(w.line, w.Token(), "a Pronto code without burst pairs");
    }
    if (words_.size() >= kHeaderWords && words_.size() == kHeaderWords + 2 * pairs_) return Emit();
    return std::nullopt;
  }

  std::optional<CaptureError> Emit() {
    const double period_us = words_[1].value * kProntoClockMicros;
    collector_.SetNextCarrier(static_cast<std::int32_t>(std::lround(1e6 / period_us)));
    collector_.Open(words_[0].line);
    for (std::size_t i = kHeaderWords; i < words_.size(); ++i) {
      const double us = std::round(words_[i].value * period_us);
      if (us > static_cast<double>(kMaxMicros))
        return errors_.Fail(words_[i].line, words_[i].Token(), "duration out of range");
      const auto v = static_cast<std::int32_t>(us);
      const bool mark = (i - kHeaderWords) % 2 == 0;
      if (auto fault = collector_.Append(mark ? v : -v); !fault.empty())
        return errors_.Fail(words_[i].line, words_[i].Token(), std::string(fault));
    }
    collector_.Close();
    words_.clear();
    return std::nullopt;
  }

  // A code cut short by a blank line or the end of the file.
  std::optional<CaptureError> Incomplete() {
    if (words_.empty()) return std::nullopt;
    const Word& last = words_.back();
    const std::string expected = words_.size() < kHeaderWords ? std::to_string(kHeaderWords)
                                                              : std::to_string(kHeaderWords + 2 * pairs_);
    return errors_.Fail(
        last.line, last.Token(),
        "Pronto code ends after " + std::to_string(words_.size()) + " of " + expected + " words");
  }

  scan::ErrorSink errors_;
  scan::CaptureCollector collector_;
  std::vector<Word> words_;
  std::size_t pairs_ = 0;
};

std::optional<CaptureError> Read(LineSource& lines, const ReadOptions& options, const CaptureSink& sink) {
  return ProntoReader(options, sink).Read(lines);
}

/// The gap written after a capture that ends on a mark: a code is made of
/// (mark, space) pairs.
constexpr std::int32_t kClosingGapMicros = 100'000;
constexpr std::uint32_t kMaxWord = 0xFFFF;

void AppendWord(std::string& out, std::uint32_t word) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += ' ';
  for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(word >> shift) & 0xF];
}

// One learned code per capture and line, all pairs in the once sequence. The
// durations are counted in periods of the carrier as its word gives it, so
// reading them back multiplies by the same period.
std::optional<WriteError> Write(std::span<const CaptureRead> captures, std::string& out) {
  std::string text;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CaptureRead& c = captures[i];
    ir::TIRIntegerArr signal = write::SignalOf(c);
    if (signal.empty()) return write::Fault(c, i, "holds no mark");
    if (signal.size() % 2 != 0) signal.push_back(-kClosingGapMicros);
    const auto carrier_word =
        static_cast<std::uint32_t>(std::lround(1e6 / (write::CarrierOf(c) * kProntoClockMicros)));
    if (carrier_word == 0 || carrier_word > kMaxWord)
      return write::Fault(c, i, "carrier " + std::to_string(write::CarrierOf(c)) + " Hz has no Pronto word");
    if (signal.size() / 2 > kMaxWord) return write::Fault(c, i, "more burst pairs than a Pronto code holds");
    const double period_us = carrier_word * kProntoClockMicros;
    text += write::LabelComment(c.label) + "0000";
    AppendWord(text, carrier_word);
    AppendWord(text, static_cast<std::uint32_t>(signal.size() / 2));
    AppendWord(text, 0);
    for (std::int32_t d : signal) {
      const double periods = std::round(std::abs(d) / period_us);
      if (periods > kMaxWord)
        return write::Fault(
            c, i, "duration " + std::to_string(std::abs(d)) + " us is longer than a Pronto word holds");
      AppendWord(text, static_cast<std::uint32_t>(periods < 1 ? 1 : periods));
    }
    text += "\n";
  }
  out += text;
  return std::nullopt;
}

}  // namespace

const CaptureFormat& ProntoFormat() {
  static const CaptureFormat format{
      "pronto", "Pronto hex learned codes ('0000 FREQ ONCE REPEAT' and burst pairs)", 30, &Probe, &Read,
      &Write};
  return format;
}

}  // namespace klimavo::capture
