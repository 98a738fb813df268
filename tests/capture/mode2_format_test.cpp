#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;
using namespace std::string_literals;

const ReaderCase kMode2Cases[] = {
    {"ir-ctl --mode2 with carrier and timeout",
     "carrier 38000\npulse 9000\nspace 4500\npulse 560\ntimeout 125000\npulse 300\nspace 300\npulse 300\n",
     {{{9000, -4500, 560}, 38000, std::nullopt, 2}, {{300, -300, 300}, 38000, std::nullopt, 6}}},
    {"leading idle space dropped, same kinds joined",
     "space 16777215\npulse 100\npulse 20\nspace 5\nspace 6\npulse 7\n",
     {{{120, -11, 7}}}},
    {"carrier after the pulses applies to that capture",
     "pulse 1\nspace 2\npulse 3\ncarrier 36000\n\npulse 4\n",
     {{{1, -2, 3}, 36000}, {{4}, 38000}}},
    {"carrier before applies to the next", "# lirc\ncarrier 40000\n\npulse 4\n", {{{4}, 40000}}},
    {"unknown word", "pulse 1\ncode 0x10\n", {}, 2, "code", "expected pulse"},
    {"missing number", "pulse 1\nspace\n", {}, 2, "space", "one number"},
    {"signed number", "pulse -1\n", {}, 1, "-1", "not a duration"},
    {"too large", "pulse 214748365\n", {}, 1, "214748365", "out of range"},
    {"joined too large", "pulse 214748364\npulse 1\n", {}, 2, "1", "out of range"},
    {"tab separates", "pulse\t9000\nspace \t 4500\npulse 560\n", {{{9000, -4500, 560}}}},
    {"comma does not separate", "pulse 9000,\n", {}, 1, "9000,", "not a duration"},
    {"NUL inside a duration",
     "pulse 9000\nspace 45\0"s
     "00\n",
     {},
     2,
     "45\\x0000",
     "control byte 0x00"},
    {"NUL after the word",
     "pulse\0"s
     "9000\n",
     {},
     1,
     "pulse\\x009000",
     "control byte 0x00"},
};

TEST(Mode2Format, ReadsPulseSpaceLinesOrNamesTheFault) {
  for (const ReaderCase& c : kMode2Cases) testing::CheckReaderCase(Mode2Format(), c);
}

const ReaderCase kMode2LimitCases[] = {
    {"four durations fit", "pulse 1\nspace 2\npulse 3\nspace 4\n", {{{1, -2, 3, -4}}}},
    {"a fifth is refused",
     "pulse 1\nspace 2\npulse 3\nspace 4\npulse 5\n",
     {},
     5,
     "5",
     "more than 4 durations"},
    {"a long line", "pulse 1\n# " + std::string(31, 'x') + "\n", {}, 2, "", "line longer than 32 bytes"},
};

TEST(Mode2Format, LimitsNameTheLineAndTheLimit) {
  for (const ReaderCase& c : kMode2LimitCases)
    testing::CheckReaderCase(Mode2Format(), c, testing::SmallLimits());
}

}  // namespace
}  // namespace klimavo::capture
