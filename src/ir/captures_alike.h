#pragma once
// Captures of one remote read alike: presses of the same remote should share
// one structure and one timing, yet a blind reading of each press alone may
// add a split marker where a gap ran long or read a jittered pair as a class
// of its own. The captures whose readings differ from the structure most of
// them share only by such details are read again against that structure and
// timing, decoding against a known format.

#include <vector>

#include "ir/assisted_decode.h"
#include "ir/ir_types.h"

namespace klimavo::ir {

/// One capture of a file with its assisted decode.
struct AlikeCapture {
  TIRIntegerArr ticks;  ///< the capture, in 0.1 µs
  AssistedDecode decode;
};

/// Reads again, against the commonest structure (shared by at least two
/// captures) and the timing of its first capture, every capture read otherwise
/// or not at all. A capture is taken only when its whole signal reads so: every
/// data pair within the tolerance (at most 40 %, or 150 µs) of one logic code
/// and at most half as far from it as from the other, every split pair near
/// its code (any long gap for a gap), every repetition with the same bits,
/// nothing before the leader but a noise pulse or a lead-in and nothing after
/// the end but a gap and a stray pulse. Each one re-read gets its result
/// replaced and a change that says so. Returns how many were re-read.
int ReadCapturesAlike(std::vector<AlikeCapture>& captures, bool both_orders, bool lsb_first,
                      double tolerance);

}  // namespace klimavo::ir
