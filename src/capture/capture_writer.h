#pragma once
// What the capture writers share: the signal of a capture as the alternating
// formats hold it, names and labels made safe for a line of text, and the
// error that names the capture a format cannot hold.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "capture/capture_format.h"

namespace klimavo::capture::write {

/// The carrier a capture is written with: its own, or 38000 Hz when it has none.
std::int32_t CarrierOf(const CaptureRead& capture);

/// The capture's durations in µs (0.1 µs ticks rounded to the nearest µs) as a
/// signal: zero durations and the idle spaces before the first mark dropped,
/// touching durations of one sign joined (bounded by kMaxMicros), so marks and
/// spaces alternate, starting with a mark. Empty for a capture without a mark.
ir::TIRIntegerArr SignalOf(const CaptureRead& capture);

/// The name for a one-line field: control bytes become '_'; empty stays empty.
std::string LineSafe(std::string_view text);
/// The capture's name for formats that need one: its own (line-safe), else
/// "signal_N" with N its 1-based place.
std::string NameOf(const CaptureRead& capture, std::size_t index);

/// "# label mode=cool fan=low temp=24\n" for a labelled capture, else "".
/// Blanks and '=' inside a function or value become '_', so the line reads back.
std::string LabelComment(const CaptureLabel& label);

/// The error for capture `index`: "capture N (name): message".
WriteError Fault(const CaptureRead& capture, std::size_t index, std::string message);

/// Durations joined by `separator` as decimal numbers, signed or as magnitudes.
std::string JoinDurations(const ir::TIRIntegerArr& durations, std::string_view separator, bool magnitudes);

}  // namespace klimavo::capture::write
