#include "base/sha1.h"

#include <gtest/gtest.h>

namespace klimavo::base {
namespace {

TEST(Sha1Test, KnownDigests) {
  struct Case {
    std::string data;
    const char* hex;
  };
  const Case cases[] = {
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
      // 55 and 56 bytes: the length still fits the block, and no longer does.
      {std::string(55, 'x'), "cef734ba81a024479e09eb5a75b6ddae62e6abf1"},
      {std::string(56, 'x'), "901305367c259952f4e7af8323f480d59f81335b"},
  };
  for (const Case& c : cases) EXPECT_EQ(Sha1Hex(c.data), c.hex) << c.data.size() << " bytes";
}

}  // namespace
}  // namespace klimavo::base
