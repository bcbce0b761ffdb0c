#include "frontend/text/wide_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick::frontend::text {
namespace {

TEST(wide_text, utf8_and_utf16) {
  struct {
    std::string utf8;
    std::u16string utf16;
    bool both_ways;
  } const cases[] = {
      {"a\xc3\xa4\xe2\x82\xac", u"a\u00e4\u20ac", true},
      {"\xf0\x9f\x98\x80", u"\U0001f600", true},  // a surrogate pair
      // A lone surrogate, which Windows allows in names, survives the round trip.
      {"a\xed\xa0\x80z", std::u16string{u'a', 0xd800, u'z'}, true},
      {"a\x80\xc0\xaf\xe2\x82", u"a\ufffd\ufffd\ufffd\ufffd\ufffd", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16) << c.utf8;
    if (c.both_ways) {
      EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8) << c.utf8;
    }
  }
}

TEST(wide_text, crlf_line) {
  EXPECT_EQ(crlf_line("- Tarnwick (1.0) -\n"), "- Tarnwick (1.0) -\r\n\r\n");
}

}  // namespace
}  // namespace tarnwick::frontend::text
