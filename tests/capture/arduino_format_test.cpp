#include <gtest/gtest.h>

#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;
using namespace std::string_literals;

const ReaderCase kArduinoCases[] = {
    {"one array on one line",
     "uint16_t rawData[5] = {9000, 4500,  560, 1690, 560};  // NEC\n",
     {{{9000, -4500, 560, -1690, 560}, 38000, "rawData", 1}}},
    {"a dump: byte state arrays, code and comments are skipped",
     "#include <IRremote.h>\n"
     "/* Protocol: DAIKIN\n   uint16_t notMe[2] = {1, 2}; */\n"
     "const unsigned int kCool24[] PROGMEM = {\n"
     "  8950, 4450, // header\n"
     "  600, 1650,\n"
     "  600};\n"
     "uint8_t state[3] = {0x11, 0xDA, 0x27};\n"
     "void setup() { irsend.sendRaw(kCool24, 5, 38); }\n"
     "uint32_t kLong[3] = {300000, 70000, 600};\n",
     {{{8950, -4450, 600, -1650, 600}, 38000, "kCool24", 4}, {{300000, -70000, 600}, 38000, "kLong", 10}}},
    {"signed values keep their signs",
     "int sig[] = {9000, -4500, 560};\n",
     {{{9000, -4500, 560}, 38000, "sig"}}},
    {"zeros and suffixes", "uint16_t z[] = {9000U, 0, 560UL};\n", {{{9560}, 38000, "z"}}},
    {"more values than declared", "uint16_t a[2] = {1, 2, 3};\n", {}, 1, "a", "3 values in an array of 2"},
    {"not a number", "uint16_t a[] = {1, 0x20};\n", {}, 1, "0x20", "a duration"},
    {"no closing brace", "uint16_t a[] = {1,\n2,\n", {}, 1, "a", "no closing '}'"},
    {"NUL inside a value",
     "uint16_t a[] = {5\0"s
     "6};\n",
     {},
     1,
     "{5\\x006};",
     "control byte 0x00"},
};

TEST(ArduinoFormat, ReadsDurationArraysOrNamesTheFault) {
  for (const ReaderCase& c : kArduinoCases) testing::CheckReaderCase(ArduinoFormat(), c);
}

TEST(ArduinoFormat, TheProbeWantsAnArrayOfDurations) {
  EXPECT_GT(ArduinoFormat().probe("// dump\nconst uint16_t raw[] PROGMEM = {1, 2};\n"), kProbeLikely);
  EXPECT_EQ(ArduinoFormat().probe("uint8_t state[2] = {1, 2};\n"), kProbeNo);
  EXPECT_EQ(ArduinoFormat().probe("void f() { int x = 1; }\n"), kProbeNo);
  EXPECT_EQ(ArduinoFormat().probe("9000 -4500 560\n"), kProbeNo);
}

}  // namespace
}  // namespace klimavo::capture
