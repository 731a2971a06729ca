#include "common/text_encoding.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(TextEncodingTest, Windows1252AndUtf8) {
  const struct {
    std::string cp1252, utf8;
  } cases[] = {
      {"Level 1", "Level 1"},
      {"Caf\xE9", "Caf\xC3\xA9"},
      {"\x80 \x9F", "\xE2\x82\xAC \xC5\xB8"},  // euro sign, Y with diaeresis
      {"\x81", "\xC2\x81"},                     // undefined bytes map to C1 controls
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
    EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252);
  }
}

TEST(TextEncodingTest, WhatWindows1252CannotHoldBecomesAQuestionMark) {
  EXPECT_EQ(Utf8ToCp1252("\xE2\x98\x83"), "?");      // snowman
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x90\x89x"), "?x");  // dragon, four bytes
  EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");              // cut short
  EXPECT_EQ(Utf8ToCp1252("\xFFok"), "?ok");          // not UTF-8 at all
}

}  // namespace
}  // namespace qm
