#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;
using namespace std::string_literals;

const ReaderCase kPlainTextCases[] = {
    {"blanks and commas mixed",
     "9000, -4500 560,-560\t560 ,  -1690\n",
     {{{9000, -4500, 560, -560, 560, -1690}}}},
    {"lines join until a blank line",
     "# a comment\n9000 -4500\n560 -560\n\n\n300 -300\n",
     {{{9000, -4500, 560, -560}, 38000, std::nullopt, 2}, {{300, -300}, 38000, std::nullopt, 6}}},
    {"carrier holds for the next capture only",
     "carrier: 36000\n1 -2\n\n3 -4\n",
     {{{1, -2}, 36000}, {{3, -4}, 38000}}},
    {"a carrier line ends the capture before it",
     "1 -2\nCarrier : 40000\n3 -4\n",
     {{{1, -2}, 38000}, {{3, -4}, 40000}}},
    {"carrier 0 is kept (unknown)", "carrier: 0\n5 -6\n", {{{5, -6}, 0}}},
    {"CR LF, byte-order mark, plus sign", "\xEF\xBB\xBF+100 -200\r\n\r\n+7\r\n", {{{100, -200}}, {{7}}}},
    {"largest µs duration", "214748364 -214748364\n", {{{214748364, -214748364}}}},
    {"only comments and blanks give nothing", "# nothing\n\n   \n", {}},
    {"trailing commas and lone commas", "1,-2,\n,,\n3\n", {{{1, -2, 3}}}},
    {"a letter in a number", "9000 -4500\n560 -56O\n", {}, 2, "-56O", "not a duration"},
    {"a decimal point", "9000 -45.5\n", {}, 1, "-45.5", "not a duration"},
    {"too large for µs", "9000\n-214748365\n", {}, 2, "-214748365", "out of range"},
    {"huge number", "1 99999999999999999999999999\n", {}, 1, "99999999999999999999999999", "out of range"},
    {"sign alone", "1 - 2\n", {}, 1, "-", "not a duration"},
    {"carrier without value", "carrier:\n1\n", {}, 1, "carrier:", "carrier"},
    {"negative carrier", "carrier: -38000\n1\n", {}, 1, "-38000", "carrier"},
    {"carrier too large", "carrier: 1000001\n1\n", {}, 1, "1000001", "out of range"},
    {"inline comment is not a duration", "1 -2 # end\n", {}, 1, "#", "not a duration"},
    {"control byte quoted", "1 \x7F\n", {}, 1, "\\x7F", "control byte 0x7F is not a separator"},
    {"long token cut in the message",
     "1 " + std::string(100, 'z') + "\n",
     {},
     1,
     std::string(40, 'z') + "...",
     "not a duration"},
    {"tabs separate", "9000\t-4500\t\t560\n", {{{9000, -4500, 560}}}},
    // Only blanks, tabs, commas and line ends separate: any other control byte is refused.
    {"NUL inside a duration",
     "9000 -4500 56\0"s
     "0 -560\n",
     {},
     1,
     "56\\x000",
     "control byte 0x00"},
    {"NUL between durations", "1 \0 2\n"s, {}, 1, "\\x00", "control byte 0x00"},
    {"a line of only a NUL does not end the capture", "1 -2\n\0\n3\n"s, {}, 2, "\\x00", "control byte 0x00"},
    {"form feed", "1,\f-2\n", {}, 1, "\\x0C-2", "control byte 0x0C"},
    {"control byte in a carrier line",
     "carrier: 38\x01"
     "000\n1\n",
     {},
     1,
     "38\\x01000",
     "control byte 0x01"},
};

TEST(PlainTextFormat, ReadsDurationListsOrNamesTheFault) {
  for (const ReaderCase& c : kPlainTextCases) testing::CheckReaderCase(PlainTextFormat(), c);
}

TEST(PlainTextFormat, TenthMicrosecondsAllowTheFull32BitRange) {
  ReadOptions options;
  options.unit = DurationUnit::kTenthMicroseconds;
  testing::CheckReaderCase(PlainTextFormat(),
                           {"ticks", "2147483647 -2147483647\n", {{{2147483647, -2147483647}}}}, options);
  testing::CheckReaderCase(PlainTextFormat(), {"beyond", "2147483648\n", {}, 1, "2147483648", "out of range"},
                           options);
  EXPECT_EQ(ReadWithFormat(PlainTextFormat(), "5 -6", options).captures.at(0).unit,
            DurationUnit::kTenthMicroseconds);
}

TEST(PlainTextFormat, DefaultCarrierComesFromTheOptions) {
  ReadOptions options;
  options.default_carrier = 56000;
  options.source = "x.txt";
  testing::CheckReaderCase(PlainTextFormat(),
                           {"default", "1 -2\n\ncarrier: 38000\n3\n", {{{1, -2}, 56000}, {{3}, 38000}}},
                           options);
  testing::CheckReaderCase(PlainTextFormat(), {"error names the file", "1 x\n", {}, 1, "x", "not"}, options);
}

TEST(PlainTextFormat, TooManyDurationsInOneCaptureIsAnError) {
  std::string text;
  text.reserve(kMaxDurationsPerCapture * 2 + 8);
  for (std::size_t i = 0; i < kMaxDurationsPerCapture; ++i) text += "1 ";
  text += "\n2\n";
  const ReadResult r = ReadWithFormat(PlainTextFormat(), text, ReadOptions{});
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error->line, 2);
  EXPECT_EQ(r.error->token, "2");
  // The limit is per capture: a blank line starts the count again.
  text.insert(text.size() - 2, "\n");
  const ReadResult split = ReadWithFormat(PlainTextFormat(), text, ReadOptions{});
  ASSERT_TRUE(split.ok());
  EXPECT_EQ(split.captures.size(), 2u);
  EXPECT_EQ(split.captures[0].durations.size(), kMaxDurationsPerCapture);
}

const ReaderCase kPlainTextLimitCases[] = {
    {"four durations fit", "1 -2\n3 -4\n", {{{1, -2, 3, -4}}}},
    {"a fifth is refused", "1 -2\n3 -4 5\n", {}, 2, "5", "more than 4 durations in one capture"},
    {"a line of 32 bytes fits, CR LF aside", "# " + std::string(30, 'x') + "\r\n1\n", {{{1}}}},
    {"a line of 33 bytes is refused, comment or not",
     "1\n# " + std::string(31, 'x') + "\n",
     {},
     2,
     "",
     "line longer than 32 bytes"},
};

TEST(PlainTextFormat, LimitsNameTheLineAndTheLimit) {
  for (const ReaderCase& c : kPlainTextLimitCases)
    testing::CheckReaderCase(PlainTextFormat(), c, testing::SmallLimits());
}

}  // namespace
}  // namespace klimavo::capture
