#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;

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
};

TEST(Mode2Format, ReadsPulseSpaceLinesOrNamesTheFault) {
  for (const ReaderCase& c : kMode2Cases) testing::CheckReaderCase(Mode2Format(), c);
}

}  // namespace
}  // namespace klimavo::capture
