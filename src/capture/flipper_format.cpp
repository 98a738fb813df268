// Flipper Zero `.ir` signal files:
//
//   Filetype: IR signals file
//   Version: 1
//   #
//   name: Cool_22
//   type: raw
//   frequency: 38000
//   duty_cycle: 0.330000
//   data: 8983 3497 563 567 ...
//
// A block starts at its `name:` line. Raw blocks give one capture each (the
// unsigned durations alternate mark, space, starting with a mark); parsed
// blocks (protocol/address/command) carry no durations and are skipped. Keys
// this reader does not use (duty_cycle, Filetype, Version, ...) are ignored.
#include <string>

#include "capture/capture_writer.h"
#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

constexpr std::string_view kFileTypeLine = "Filetype: IR signals file";

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

// "key: value" with the key trimmed; nullopt when the line has no colon.
std::optional<KeyValue> SplitKey(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  return KeyValue{scan::Trimmed(line.substr(0, colon)), scan::Trimmed(line.substr(colon + 1))};
}

int Probe(std::string_view text) {
  const auto lines = scan::FirstMeaningfulLines(text, 1);
  if (lines.empty()) return kProbeNo;
  if (scan::StartsWithNoCase(lines[0], kFileTypeLine)) return kProbeCertain;
  const auto kv = SplitKey(lines[0]);
  if (kv && (kv->key == "name" || kv->key == "Filetype")) return 90;
  return kProbeNo;
}

// The block being read. Its texts are copies: the lines they come from are
// gone by the time the block ends.
struct Block {
  bool open = false;
  int line = 0;
  std::string name;
  std::string type;
  int type_line = 0;
  std::optional<std::int32_t> carrier;
  std::string data;
  int data_line = 0;
  CaptureLabel label;
};

class FlipperReader {
 public:
  FlipperReader(const ReadOptions& options, const CaptureSink& sink)
      : options_(options), errors_(options), collector_(options, DurationUnit::kMicroseconds, sink) {}

  std::optional<CaptureError> Read(LineSource& lines) {
    while (const auto line = lines.Next()) {
      std::string_view bad;
      if (auto label = scan::LabelComment(line->text, bad)) {
        if (!bad.empty()) return errors_.Fail(line->number, bad, "not name=value in a label comment");
        pending_label_ = std::move(*label);  // names the signal whose 'name:' follows
        continue;
      }
      if (scan::IsBlank(line->text) || scan::IsComment(line->text)) continue;
      const std::string_view trimmed = scan::Trimmed(line->text);
      if (auto fault = errors_.ControlByte(line->number, trimmed, false)) return fault;
      auto kv = SplitKey(trimmed);
      if (!kv) return errors_.Fail(line->number, trimmed, "expected 'key: value'");
      if (auto fault = Take(*kv, line->number)) return fault;
    }
    if (lines.Error()) return lines.Error();
    return EndBlock();
  }

 private:
  std::optional<CaptureError> Take(const KeyValue& kv, int line) {
    if (kv.key == "name") {
      if (auto fault = EndBlock()) return fault;
      block_ = Block{};
      block_.open = true;
      block_.line = line;
      block_.name = std::string(kv.value);
      block_.label = std::move(pending_label_);
      pending_label_.clear();
      return std::nullopt;
    }
    const bool block_key = kv.key == "type" || kv.key == "frequency" || kv.key == "data";
    if (!block_key) return std::nullopt;
    if (!block_.open) return errors_.Fail(line, kv.key, "key outside a signal block (no 'name:' before it)");
    if (kv.key == "type") {
      block_.type = std::string(kv.value);
      block_.type_line = line;
    } else if (kv.key == "frequency") {
      std::int64_t hz = 0;
      const auto status = scan::ParseDecimal(kv.value, false, kMaxCarrierHz, hz);
      if (status != scan::NumberStatus::kOk)
        return errors_.FailNumber(line, kv.value, status, "a frequency in Hz");
      block_.carrier = static_cast<std::int32_t>(hz);
    } else {
      if (!block_.data.empty()) return errors_.Fail(line, kv.key, "second 'data:' line in one signal");
      block_.data = std::string(kv.value);
      block_.data_line = line;
    }
    return std::nullopt;
  }

  std::optional<CaptureError> EndBlock() {
    if (!block_.open) return std::nullopt;
    block_.open = false;
    if (block_.type == "parsed") return std::nullopt;
    if (block_.type != "raw") {
      if (block_.type_line == 0) return errors_.Fail(block_.line, block_.name, "signal without 'type:'");
      return errors_.Fail(block_.type_line, block_.type, "unknown signal type (raw or parsed)");
    }
    if (block_.data.empty()) return errors_.Fail(block_.line, block_.name, "raw signal without 'data:'");
    collector_.SetNextCarrier(block_.carrier.value_or(options_.default_carrier));
    CaptureRead& capture = collector_.Open(block_.line);
    capture.name = block_.name;
    capture.label = std::move(block_.label);
    bool mark = true;
    scan::TokenScanner tokens(block_.data, false);
    while (const auto next = tokens.Next()) {
      const std::string_view token = *next;
      std::int64_t v = 0;
      const auto status = scan::ParseDecimal(token, false, kMaxMicros, v);
      if (status != scan::NumberStatus::kOk)
        return errors_.FailNumber(block_.data_line, token, status, "an unsigned duration");
      if (auto fault = collector_.Append(static_cast<std::int32_t>(mark ? v : -v)); !fault.empty())
        return errors_.Fail(block_.data_line, token, std::string(fault));
      mark = !mark;
    }
    collector_.Close();
    return std::nullopt;
  }

  const ReadOptions& options_;
  scan::ErrorSink errors_;
  scan::CaptureCollector collector_;
  Block block_;
  CaptureLabel pending_label_;
};

std::optional<CaptureError> Read(LineSource& lines, const ReadOptions& options, const CaptureSink& sink) {
  return FlipperReader(options, sink).Read(lines);
}

// One raw block per capture, each after a "#" line as the Flipper writes its files.
std::optional<WriteError> Write(std::span<const CaptureRead> captures, std::string& out) {
  std::string text = std::string(kFileTypeLine) + "\nVersion: 1\n";
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CaptureRead& c = captures[i];
    const ir::TIRIntegerArr signal = write::SignalOf(c);
    if (signal.empty()) return write::Fault(c, i, "holds no mark");
    text += "#\n" + write::LabelComment(c.label) + "name: " + write::NameOf(c, i) +
            "\ntype: raw\nfrequency: " + std::to_string(write::CarrierOf(c)) +
            "\nduty_cycle: 0.330000\ndata: " + write::JoinDurations(signal, " ", true) + "\n";
  }
  out += text;
  return std::nullopt;
}

}  // namespace

const CaptureFormat& FlipperFormat() {
  static const CaptureFormat format{
      "flipper", "Flipper Zero .ir signal files (raw blocks; parsed blocks skipped)", 10, &Probe, &Read,
      &Write};
  return format;
}

}  // namespace klimavo::capture
