#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;
using namespace std::string_literals;

// Frequency word 0x006D = 109 periods of 0.241246 µs = 26.2958 µs: 38029 Hz.
// 0x0156 = 342 periods = 8993 µs, 0x00AB = 171 -> 4497 µs, 0x0015 = 21 -> 552 µs,
// 0x0040 = 64 -> 1683 µs.
const ReaderCase kProntoCases[] = {
    {"once sequence",
     "0000 006D 0003 0000 0156 00AB 0015 0015 0015 0040\n",
     {{{8993, -4497, 552, -552, 552, -1683}, 38029}}},
    {"once plus one repeat, over two lines, lower case",
     "0000 006d 0001 0001\n0156 00ab\n0015 0040\n",
     {{{8993, -4497, 552, -1683}, 38029}}},
    {"repeat only", "0000 006D 0000 0001 0015 0040\n", {{{552, -1683}, 38029}}},
    {"two codes back to back",
     "0000 006D 0001 0000 0015 0015 0000 006D 0001 0000 0040 0040\n",
     {{{552, -552}, 38029}, {{1683, -1683}, 38029}}},
    {"not a learned code", "0100 006D 0001 0000 0015 0015\n", {}, 1, "0100", "learned"},
    {"carrier word 0", "0000 0000 0001 0000 0015 0015\n", {}, 1, "0000", "carrier word"},
    {"no pairs", "0000 006D 0000 0000\n", {}, 1, "0000", "without burst pairs"},
    {"short code at the end", "0000 006D 0002 0000\n0015 0015 0015\n", {}, 2, "0015", "7 of 8"},
    {"cut by a blank line", "0000 006D 0001 0000 0015\n\n0015\n", {}, 1, "0015", "5 of 6"},
    {"header cut short", "0000 006D\n", {}, 1, "006D", "2 of 4"},
    {"not four hex digits", "0000 006D 0001 0000 015 0015\n", {}, 1, "015", "four hex digits"},
    {"not hex", "0000 006D 0001 0000 00G5 0015\n", {}, 1, "00G5", "four hex digits"},
    {"carrier above 1 MHz", "0000 0004 0001 0000 0015 0015\n", {}, 1, "0004", "carrier word"},
    // 0xFFFF periods of 15.8 ms each: far beyond the largest duration.
    {"duration beyond the µs range",
     "0000 FFFF 0001 0000 0001 FFFF\n",
     {},
     1,
     "FFFF",
     "duration out of range"},
    {"tab separates", "0000\t006D 0001 0000\t0015 0040\n", {{{552, -1683}, 38029}}},
    {"NUL inside a word",
     "0000 006D 0001 0000 00\0"s
     "15 0040\n",
     {},
     1,
     "00\\x0015",
     "control byte 0x00"},
};

TEST(ProntoFormat, ReadsLearnedCodesOrNamesTheFault) {
  for (const ReaderCase& c : kProntoCases) testing::CheckReaderCase(ProntoFormat(), c);
}

TEST(ProntoFormat, SmallestCarrierWordGivesTheHighestCarrier) {
  const ReadResult r = ReadWithFormat(ProntoFormat(), "0000 0005 0001 0000 FFFF FFFF\n", ReadOptions{});
  ASSERT_TRUE(r.ok()) << r.error->What();
  EXPECT_EQ(r.captures.at(0).durations, (ir::TIRIntegerArr{79050, -79050}));
  EXPECT_EQ(r.captures.at(0).carrier, 829029);
}

const ReaderCase kProntoLimitCases[] = {
    {"four durations fit", "0000 006D 0002 0000\n0015 0015\n0015 0015\n", {{{552, -552, 552, -552}, 38029}}},
    {"a fifth is refused",
     "0000 006D 0003 0000\n0015 0015\n0015 0015\n0015 0015\n",
     {},
     4,
     "0015",
     "more than 4 durations"},
    {"a long line", "0000 006D 0003 0000 0015 0015 0015\n", {}, 1, "", "line longer than 32 bytes"},
};

TEST(ProntoFormat, LimitsNameTheLineAndTheLimit) {
  for (const ReaderCase& c : kProntoLimitCases)
    testing::CheckReaderCase(ProntoFormat(), c, testing::SmallLimits());
}

}  // namespace
}  // namespace klimavo::capture
