#include "capture/decode_report.h"

#include <algorithm>

#include "base/gbk.h"
#include "base/text.h"
#include "ir/protocol.h"
#include "lang/language.h"
#include "lang/text_numbers.h"

namespace klimavo::capture {
namespace {

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";
constexpr std::string_view kNoDecoding = "no decoding";

// Length of the valid UTF-8 sequence at the start of `s`, or 0.
std::size_t Utf8SequenceLength(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  std::size_t n = 0;
  std::uint32_t cp = 0;
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF)
    n = 2, cp = b0 & 0x1F;
  else if (b0 >= 0xE0 && b0 <= 0xEF)
    n = 3, cp = b0 & 0x0F;
  else if (b0 >= 0xF0 && b0 <= 0xF4)
    n = 4, cp = b0 & 0x07;
  else
    return 0;
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and code points beyond U+10FFFF are not UTF-8.
  if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

void AppendIntList(std::string& out, std::span<const std::int32_t> values) {
  out += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) out += ", ";
    out += std::to_string(values[i]);
  }
  out += ']';
}

void AppendKey(std::string& out, std::string_view key) {
  if (out.size() > 1) out += ", ";
  out += '"';
  out += key;
  out += "\": ";
}

void AppendAssist(std::string& out, const std::optional<std::vector<ir::AssistChange>>& assist) {
  if (!assist) return;
  AppendKey(out, "assist");
  out += '[';
  for (std::size_t i = 0; i < assist->size(); ++i) {
    if (i) out += ", ";
    out += "{\"change\": " + JsonString((*assist)[i].change) + ", \"why\": " + JsonString((*assist)[i].why) +
           "}";
  }
  out += ']';
}

void AppendAssistLines(std::string& out, const std::optional<std::vector<ir::AssistChange>>& assist) {
  if (!assist) return;
  for (const ir::AssistChange& c : *assist) out += "assist: " + c.change + ": " + c.why + "\n";
}

}  // namespace

DecodeReport MakeDecodeReport(const ir::Tcomp_aval& result, bool lsb_first, bool both_orders) {
  DecodeReport r;
  r.ok = true;
  r.carrier = result.Carrier;
  r.lsb_first = lsb_first;
  r.logic = result.LogicCodes;
  const int splits = std::min<int>(result.Params.SplitCount, ir::TIRGsPara::kMaxSplit);
  for (int k = 0; k < splits; ++k) r.split.push_back(result.Params.Split[static_cast<std::size_t>(k)]);
  r.protocol = ir::PrintProtocol(result.Protocol);
  r.repeat = result.Protocol.Repeat;
  r.bits.reserve(result.Bits.size());
  for (std::uint8_t b : result.Bits) r.bits += b ? '1' : '0';
  r.bytes = result.Bytes;
  if (both_orders) r.bytes_msb = result.BytesMsb;
  return r;
}

DecodeReport MakeFailedReport() { return DecodeReport{}; }

DecodeReport MakeAssistedReport(const ir::AssistedDecode& decode, bool lsb_first, bool both_orders) {
  DecodeReport r = decode.ok() ? MakeDecodeReport(decode.result, lsb_first, both_orders) : MakeFailedReport();
  r.assist = decode.changes;
  return r;
}

std::string DecodeReportJson(const DecodeReport& report) {
  std::string out = "{";
  if (report.name) {
    AppendKey(out, "name");
    out += JsonString(*report.name);
  }
  if (!report.label.empty()) {
    AppendKey(out, "label");
    out += '{';
    for (std::size_t i = 0; i < report.label.size(); ++i) {
      if (i) out += ", ";
      out += JsonString(report.label[i].function) + ": " + JsonString(report.label[i].value);
    }
    out += '}';
  }
  AppendKey(out, "ok");
  if (!report.ok) {
    out += "false";
    AppendKey(out, "error");
    out += JsonString(kNoDecoding);
    AppendAssist(out, report.assist);
    return out + "}";
  }
  out += "true";
  AppendKey(out, "carrier");
  out += std::to_string(report.carrier);
  AppendKey(out, "lsb_first");
  out += report.lsb_first ? "true" : "false";
  AppendKey(out, "logic");
  out += '[';
  for (std::size_t i = 0; i < report.logic.size(); ++i) {
    if (i) out += ", ";
    AppendIntList(out, report.logic[i]);
  }
  out += ']';
  AppendKey(out, "split");
  out += '[';
  for (std::size_t i = 0; i < report.split.size(); ++i) {
    if (i) out += ", ";
    AppendIntList(out, report.split[i]);
  }
  out += ']';
  AppendKey(out, "protocol");
  out += JsonString(report.protocol);
  AppendKey(out, "repeat");
  out += std::to_string(report.repeat);
  AppendKey(out, "bits");
  out += JsonString(report.bits);
  AppendKey(out, "bytes");
  out += JsonString(HexBytes(report.bytes));
  if (report.bytes_msb) {
    AppendKey(out, "bytes_msb");
    out += JsonString(HexBytes(*report.bytes_msb));
  }
  AppendAssist(out, report.assist);
  return out + "}";
}

std::string DecodeReportText(const DecodeReport& report, const SummaryLabels& labels) {
  std::string out;
  if (report.name) {
    // A name is one line of the summary: control characters become blanks.
    for (char ch : *report.name) out += static_cast<unsigned char>(ch) < 0x20 ? ' ' : ch;
    out += '\n';
  }
  if (!report.ok) {
    out += std::string(kNoDecoding) + "\n";
    AppendAssistLines(out, report.assist);
    return out;
  }
  out += labels.carrier + std::to_string(report.carrier) + (report.lsb_first ? " LSB" : "MSB") + "\n";
  out += labels.logic;
  for (const auto& code : report.logic) {
    out += '(';
    for (std::size_t i = 0; i < code.size(); ++i) {
      if (i) out += ',';
      out += std::to_string(code[i]);
    }
    out += ')';
  }
  out += "\n" + labels.split;
  for (const auto& code : report.split)
    out += base::Concat({"(", std::to_string(code[0]), ",", std::to_string(code[1]), ")"});
  out += "\n" + report.protocol + "\n";
  out += HexBytes(report.bytes, " ") + "\n";
  if (report.bytes_msb) out += HexBytes(*report.bytes_msb, " ") + "\n";
  AppendAssistLines(out, report.assist);
  return out;
}

std::string JsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text[0]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\b') {
      out += "\\b";
    } else if (c == '\f') {
      out += "\\f";
    } else if (c < 0x20) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      const std::size_t n = Utf8SequenceLength(text);
      if (n == 0) {
        out += kReplacementChar;
        text.remove_prefix(1);
        continue;
      }
      out += text.substr(0, n);
      text.remove_prefix(n);
      continue;
    }
    text.remove_prefix(1);
  }
  return out + "\"";
}

std::string HexBytes(std::span<const std::uint8_t> bytes, std::string_view separator) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += separator;
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 0xF];
  }
  return out;
}

SummaryLabels SummaryLabelsIn(const lang::Language& language) {
  return {base::GbkToUtf8(language.Text(lang::kTextCarrier)),
          base::GbkToUtf8(language.Text(lang::kTextLogicCodes)),
          base::GbkToUtf8(language.Text(lang::kTextSplitCodes))};
}

}  // namespace klimavo::capture
