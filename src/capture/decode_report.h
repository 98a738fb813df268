#pragma once
// The canonical text forms of a decode result: the JSON line of
// `klimavo-cli decode --json` and the summary lines of the format chooser.
// Both the CLI and the tests use them, so a difference shows as a text diff.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_label.h"
#include "ir/assisted_decode.h"
#include "ir/ir_types.h"

namespace klimavo::lang {
class Language;
}

namespace klimavo::capture {

/// What one capture decoded to, ready for printing.
struct DecodeReport {
  std::optional<std::string> name;  ///< the capture's name in the file (UTF-8 or raw bytes)
  CaptureLabel label;               ///< the remote's state, when the file gives one
  bool ok = false;                  ///< false: "no decoding"
  std::int32_t carrier = 0;
  bool lsb_first = true;  ///< the bit order asked for
  std::vector<ir::TIRIntegerArr> logic;
  std::vector<std::array<std::int32_t, 2>> split;  ///< the split codes in use
  std::string protocol;                            ///< PrintProtocol(Protocol)
  std::int32_t repeat = 1;
  std::string bits;  ///< '0' and '1' in signal order
  ir::TSSByteArray bytes;
  std::optional<ir::TSSByteArray> bytes_msb;  ///< only when both orders were asked for
  /// Only for an assisted decode: what it changed and why (empty when the blind
  /// reading was sound), or what it tried when nothing fitted.
  std::optional<std::vector<ir::AssistChange>> assist;
};

/// The report of a successful DecodeCapture.
DecodeReport MakeDecodeReport(const ir::Tcomp_aval& result, bool lsb_first, bool both_orders);
/// The report of a capture that did not decode.
DecodeReport MakeFailedReport();
/// The report of an assisted decode: the reading it returned and its changes.
DecodeReport MakeAssistedReport(const ir::AssistedDecode& decode, bool lsb_first, bool both_orders);

/// One JSON object on one line (no line end): keys in a fixed order, ", " and
/// ": " as separators, "name" first when present, then "label" (an object of
/// strings, in the file's order) when the capture carries one;
/// "assist" last when present.
std::string DecodeReportJson(const DecodeReport& report);

/// The language texts that label the summary lines (UTF-8).
struct SummaryLabels {
  std::string carrier;  ///< text 53
  std::string logic;    ///< text 54
  std::string split;    ///< text 55
};
/// The summary lines of the format chooser and the code bytes, each line ended
/// by "\n": carrier and bit order, logic codes, split codes, protocol text,
/// bytes (and the MSB-first bytes when present). A named capture starts with
/// its name; a failed one reads "no decoding". An assisted decode adds one
/// line "assist: CHANGE: WHY" per change.
std::string DecodeReportText(const DecodeReport& report, const SummaryLabels& labels);
/// The summary labels in `language`.
SummaryLabels SummaryLabelsIn(const lang::Language& language);

/// A JSON string literal: quotes, backslashes and control characters escaped,
/// UTF-8 kept, bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);
/// Upper-case hexadecimal, two digits a byte, joined by `separator`.
std::string HexBytes(std::span<const std::uint8_t> bytes, std::string_view separator = "");

}  // namespace klimavo::capture
