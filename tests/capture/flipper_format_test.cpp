#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;
using namespace std::string_literals;

constexpr const char* kHeader = "Filetype: IR signals file\nVersion: 1\n";

const ReaderCase kFlipperCases[] = {
    {"raw blocks, parsed block skipped",
     std::string(kHeader) +
         "#\nname: Off\ntype: raw\nfrequency: 38000\nduty_cycle: 0.330000\ndata: 9000 4500 560 560 560\n"
         "#\nname: Vol\ntype: parsed\nprotocol: NEC\naddress: 07 00 00 00\ncommand: 02 00 00 00\n"
         "#\nname: Cool 22\ntype: raw\nfrequency: 36000\ndata: 3000 1500 400\n",
     {{{9000, -4500, 560, -560, 560}, 38000, "Off", 4}, {{3000, -1500, 400}, 36000, "Cool 22", 16}}},
    {"no frequency takes the default carrier",
     "name: A\ntype: raw\ndata: 1 2 3\n",
     {{{1, -2, 3}, 38000, "A"}}},
    {"keys in any order, CR LF",
     "name: B\r\ndata: 10 20\r\nfrequency: 40000\r\ntype: raw\r\n",
     {{{10, -20}, 40000, "B"}}},
    {"UTF-8 name kept",
     "name: \xE5\x88\xB6\xE5\x86\xB7\ntype: raw\ndata: 5 6\n",
     {{{5, -6}, 38000, "\xE5\x88\xB6\xE5\x86\xB7"}}},
    {"only parsed blocks", "name: P\ntype: parsed\nprotocol: NEC\n", {}},
    {"signed value in data", "name: A\ntype: raw\ndata: 9000 -4500\n", {}, 3, "-4500", "unsigned duration"},
    {"word in data", "name: A\ntype: raw\ndata: 9000 abc 5\n", {}, 3, "abc", "unsigned duration"},
    {"duration too large", "name: A\ntype: raw\ndata: 214748365\n", {}, 3, "214748365", "out of range"},
    {"bad frequency", "name: A\ntype: raw\nfrequency: 38k\ndata: 1\n", {}, 3, "38k", "frequency"},
    {"raw block without data",
     "name: A\ntype: raw\n#\nname: B\ntype: raw\ndata: 1\n",
     {},
     1,
     "A",
     "without 'data:'"},
    {"block without type", "name: A\ndata: 1 2\n", {}, 1, "A", "without 'type:'"},
    {"unknown type", "name: A\ntype: pronto\ndata: 1\n", {}, 2, "pronto", "unknown signal type"},
    {"data before any name", std::string(kHeader) + "data: 1 2\n", {}, 3, "data", "outside a signal block"},
    {"second data line", "name: A\ntype: raw\ndata: 1\ndata: 2\n", {}, 4, "data", "second 'data:'"},
    {"line without colon", "name: A\ntype: raw\n9000 4500\n", {}, 3, "9000 4500", "key: value"},
    {"tab separates durations", "name: A\ntype: raw\ndata: 9000\t4500\n", {{{9000, -4500}, 38000, "A"}}},
    {"NUL inside a duration",
     "name: A\ntype: raw\ndata: 9000 45\0"s
     "00 560\n",
     {},
     3,
     "45\\x0000",
     "control byte 0x00"},
    {"control byte in a key",
     "name: A\ntype: raw\nda\x02ta: 1 2\n",
     {},
     3,
     "da\\x02ta:",
     "control byte 0x02"},
};

TEST(FlipperFormat, ReadsRawBlocksOrNamesTheFault) {
  for (const ReaderCase& c : kFlipperCases) testing::CheckReaderCase(FlipperFormat(), c);
}

TEST(FlipperFormat, DurationsStayInMicrosecondsWhateverTheOption) {
  ReadOptions options;
  options.unit = DurationUnit::kTenthMicroseconds;
  const ReadResult r = ReadWithFormat(FlipperFormat(), "name: A\ntype: raw\ndata: 1 2\n", options);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.captures.at(0).unit, DurationUnit::kMicroseconds);
}

const ReaderCase kFlipperLimitCases[] = {
    {"four durations fit", "name: A\ntype: raw\ndata: 1 2 3 4\n", {{{1, -2, 3, -4}, 38000, "A"}}},
    {"a fifth is refused", "name: A\ntype: raw\ndata: 1 2 3 4 5\n", {}, 3, "5", "more than 4 durations"},
    {"a long line", "name: " + std::string(27, 'n') + "\n", {}, 1, "", "line longer than 32 bytes"},
};

TEST(FlipperFormat, LimitsNameTheLineAndTheLimit) {
  for (const ReaderCase& c : kFlipperLimitCases)
    testing::CheckReaderCase(FlipperFormat(), c, testing::SmallLimits());
}

}  // namespace
}  // namespace klimavo::capture
