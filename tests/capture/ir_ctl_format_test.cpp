#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;

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
};

TEST(IrCtlFormat, ReadsSignedLinesOrNamesTheFault) {
  for (const ReaderCase& c : kIrCtlCases) testing::CheckReaderCase(IrCtlFormat(), c);
}

}  // namespace
}  // namespace klimavo::capture
