#pragma once
// The descriptors of the capture formats. Each lives in its own file; the
// registry (capture_registry.cpp) lists them with their priorities.

#include "capture/capture_format.h"

namespace klimavo::capture {

/// Signed durations separated by blanks and/or commas; `carrier: N`; `#` comments;
/// a blank line separates captures. The unit is ReadOptions::unit.
const CaptureFormat& PlainTextFormat();
/// Flipper Zero `.ir` signal files: raw blocks are read, parsed blocks skipped.
const CaptureFormat& FlipperFormat();
/// JSON Lines with `durations_us`, `carrier_hz` and an optional `name`.
const CaptureFormat& JsonLinesFormat();
/// LIRC `mode2` and `ir-ctl --mode2`: `pulse N`, `space N`, `carrier N`, `timeout N`.
const CaptureFormat& Mode2Format();
/// `ir-ctl -r` raw lines: `+N -N ...`.
const CaptureFormat& IrCtlFormat();
/// Pronto hex learned codes: `0000 FREQ ONCE REPEAT` and the burst pairs.
const CaptureFormat& ProntoFormat();
/// Broadlink IR packets, base64 or hex, one a line, optionally `name: packet`.
const CaptureFormat& BroadlinkFormat();
/// The climate-code collections' JSON files (climate_json.h).
const CaptureFormat& ClimateJsonFormat();
/// Arduino-style C arrays of durations: `uint16_t rawData[N] = {...};`.
const CaptureFormat& ArduinoFormat();
/// Tasmota raw strings: `IRsend 0,9000,4500,...` and the compact `+9000-4500A...` form.
const CaptureFormat& TasmotaFormat();

}  // namespace klimavo::capture
