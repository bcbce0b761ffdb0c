#include "frontend/wide_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(wide_text, utf8_and_utf16_both_ways) {
  struct {
    const char* what;
    std::string utf8;
    std::u16string utf16;
  } const cases[] = {
      {"ASCII", "prog.hex", u"prog.hex"},
      {"two bytes", "\xc3\xa4", u"\u00e4"},
      {"three bytes", "\xe2\x82\xac", u"\u20ac"},
      {"four bytes, a surrogate pair", "\xf0\x9f\x98\x80", u"\U0001f600"},
      {"lone high surrogate", "a\xed\xa0\x80z", std::u16string{u'a', 0xd800, u'z'}},
      {"lone low surrogate", "\xed\xbf\xbf", std::u16string{0xdfff}},
      {"empty", "", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8) << c.what;
    EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16) << c.what;
  }
}

TEST(wide_text, bytes_that_are_not_utf8) {
  struct {
    const char* what;
    std::string utf8;
    std::u16string utf16;
  } const cases[] = {
      {"stray continuation byte", "a\x80z", u"a\ufffdz"},
      {"overlong", "\xc0\xaf", u"\ufffd\ufffd"},
      {"cut short", "a\xe2\x82", u"a\ufffd\ufffd"},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},
      {"0xFF", "\xff", u"\ufffd"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16) << c.what;
}

TEST(wide_text, crlf_line) {
  EXPECT_EQ(crlf_line("Success!"), "Success!\r\n");
  EXPECT_EQ(crlf_line("- Tarnwick (1.0) -\n"), "- Tarnwick (1.0) -\r\n\r\n");
  EXPECT_EQ(crlf_line(""), "\r\n");
}

TEST(wide_text, extended_length_path) {
  struct {
    std::u16string full;
    std::u16string extended;
  } const cases[] = {
      {u"C:\\dir\\prog.hex", u"\\\\?\\C:\\dir\\prog.hex"},
      {u"\\\\server\\share\\prog.hex", u"\\\\?\\UNC\\server\\share\\prog.hex"},
      {u"\\\\?\\C:\\prog.hex", u"\\\\?\\C:\\prog.hex"},
      {u"\\\\.\\NUL", u"\\\\.\\NUL"},
  };
  for (const auto& c : cases) EXPECT_EQ(extended_length_path(c.full), c.extended);
}

}  // namespace
}  // namespace tarnwick
