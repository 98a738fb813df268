#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;
using namespace std::string_literals;

const ReaderCase kIrCtlCases[] = {
    {"one message per line with timeout comments",
     "+9000 -4500 +560 -560 +560 # timeout 125000\n+300 -300 +300\n",
     {{{9000, -4500, 560, -560, 560}, 38000, std::nullopt, 1}, {{300, -300, 300}, 38000, std::nullopt, 2}}},
    {"a message over two lines", "+9000 -4500\n+560 -560\n", {{{9000, -4500, 560, -560}}}},
    {"a pulse after a pulse starts a new message", "+1 -2 +3\n+4 -5 +6\n", {{{1, -2, 3}}, {{4, -5, 6}}}},
    {"continuation after a space joins", "+9000 -4500 +560\n-560 +560\n", {{{9000, -4500, 560, -560, 560}}}},
    {"carrier line and leading space", "carrier 36000\n-100 +5 -6 +7\n", {{{5, -6, 7}, 36000}}},
    {"blank line separates", "+1 -2 +3\n\n-9 +4\n", {{{1, -2, 3}}, {{4}}}},
    {"unsigned token", "+9000 4500\n", {}, 1, "4500", "'+N' or '-N'"},
    {"word", "+9000 -abc\n", {}, 1, "-abc", "'+N' or '-N'"},
    {"too large", "+214748365\n", {}, 1, "+214748365", "out of range"},
    {"bad carrier", "carrier x\n", {}, 1, "x", "carrier"},
    {"tabs separate", "+9000\t-4500\t+560\n", {{{9000, -4500, 560}}}},
    {"NUL inside a duration",
     "+9000 -45\0"s
     "00 +560\n",
     {},
     1,
     "-45\\x0000",
     "control byte 0x00"},
    {"control byte in a comment is left alone", "+1 -2 +3 # \x01 timeout\n", {{{1, -2, 3}}}},
};

TEST(IrCtlFormat, ReadsSignedLinesOrNamesTheFault) {
  for (const ReaderCase& c : kIrCtlCases) testing::CheckReaderCase(IrCtlFormat(), c);
}

const ReaderCase kIrCtlLimitCases[] = {
    {"four durations fit", "+1 -2 +3 -4\n", {{{1, -2, 3, -4}}}},
    {"a fifth is refused", "+1 -2\n+3 -4 +5\n", {}, 2, "+5", "more than 4 durations"},
    {"a long line", "+1 -2 +3 -4 # " + std::string(19, 'x') + "\n", {}, 1, "", "line longer than 32 bytes"},
};

TEST(IrCtlFormat, LimitsNameTheLineAndTheLimit) {
  for (const ReaderCase& c : kIrCtlLimitCases)
    testing::CheckReaderCase(IrCtlFormat(), c, testing::SmallLimits());
}

}  // namespace
}  // namespace klimavo::capture
