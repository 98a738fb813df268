#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;
using namespace std::string_literals;

const ReaderCase kTasmotaCases[] = {
    {"frequency 0 is 38 kHz", "IRsend 0,9000,4500,560,1690,560\n", {{{9000, -4500, 560, -1690, 560}, 38000}}},
    {"kHz and Hz, blanks, comments",
     "# kitchen\nirsend 36, 9000, 4500, 560\n\nIRsend raw,40000,700,800\n",
     {{{9000, -4500, 560}, 36000, std::nullopt, 2}, {{700, -800}, 40000, std::nullopt, 4}}},
    // A = 8570, B = 4240, C = 550, D = 1580, E = 510, F = 565, G = 1565, H = 505.
    {"the compact form",
     "IRsend raw,0,+8570-4240+550-1580C-510+565-1565F-505Fh\n",
     {{{8570, -4240, 550, -1580, 550, -510, 565, -1565, 565, -505, 565, -505}}}},
    {"the compact form on its own", "+600-500Ab\n", {{{600, -500, 600, -500}}}},
    {"a letter joins a mark to a mark", "+600-500AA\n", {{{600, -500, 1200}}}},
    {"a letter before its duration", "+600-500C\n", {}, 1, "C", "names no duration"},
    {"not part of the compact form", "+600-500*\n", {}, 1, "*", "compact"},
    {"no frequency", "IRsend 9000\n", {}, 1, "9000", "frequency,durations"},
    {"frequency out of range", "IRsend 2000000,1,2\n", {}, 1, "2000000", "a frequency"},
    {"not a duration", "IRsend 0,9000,45x0\n", {}, 1, "45x0", "a duration"},
    {"the bit-stream form",
     "IRsend raw,0,8620,4260,544,411,1496,0101011010001110\n",
     {},
     1,
     "0101011010001110",
     "bit-stream"},
    {"something else", "power on\n", {}, 1, "power on", "IRsend"},
    {"NUL inside a duration",
     "IRsend 0,90\0"s
     "00\n",
     {},
     1,
     "90\\x0000",
     "control byte 0x00"},
};

TEST(TasmotaFormat, ReadsRawStringsOrNamesTheFault) {
  for (const ReaderCase& c : kTasmotaCases) testing::CheckReaderCase(TasmotaFormat(), c);
}

TEST(TasmotaFormat, TheProbeTellsRawStringsFromProtocolCommands) {
  EXPECT_GT(TasmotaFormat().probe("IRsend 0,9000,4500\n"), kProbeLikely);
  EXPECT_GT(TasmotaFormat().probe("+8570-4240+550-1580C\n"), kProbeLikely);
  EXPECT_EQ(TasmotaFormat().probe("IRsend {\"Protocol\":\"NEC\",\"Bits\":32,\"Data\":1}\n"), kProbeNo);
  EXPECT_EQ(TasmotaFormat().probe("+9000 -4500 +560\n"), kProbeNo);
}

}  // namespace
}  // namespace klimavo::capture
