// The Windows front end's pure pieces, on every platform.
#include <gtest/gtest.h>

#include <string>

#include "frontend/windows/platform.h"

namespace tarnwick::frontend::windows {
namespace {

// A press of the key with the Windows virtual-key code `key`.
constexpr input_record press(std::uint16_t key, char16_t character = 0) {
  return {input_kind::key, true, key, character};
}

TEST(console, decisions) {
  struct {
    const char* what;
    bool decided;
    bool wanted;
  } const cases[] = {
      // Which records end the key wait.
      {"letter", ends_key_wait(press('A', u'a')), true},
      {"Esc", ends_key_wait(press(0x1b, 0x1b)), true},
      {"Ctrl+C", ends_key_wait(press('C', 0x03)), true},
      {"F1", ends_key_wait(press(0x70)), true},
      {"F12", ends_key_wait(press(0x7b)), true},
      {"Page Up", ends_key_wait(press(0x21)), true},
      {"Down", ends_key_wait(press(0x28)), true},
      {"Insert", ends_key_wait(press(0x2d)), true},
      {"Delete", ends_key_wait(press(0x2e)), true},
      {"F13", ends_key_wait(press(0x7c)), false},
      {"Shift", ends_key_wait(press(0x10)), false},
      {"Ctrl", ends_key_wait(press(0x11)), false},
      {"Alt", ends_key_wait(press(0x12)), false},
      {"Caps Lock", ends_key_wait(press(0x14)), false},
      {"Num Lock", ends_key_wait(press(0x90)), false},
      {"Scroll Lock", ends_key_wait(press(0x91)), false},
      {"left Windows", ends_key_wait(press(0x5b)), false},
      {"menu key", ends_key_wait(press(0x5d)), false},
      {"letter released", ends_key_wait({input_kind::key, false, 'A', u'a'}), false},
      {"mouse, or any other event", ends_key_wait({input_kind::mouse, true, 0x70, u'a'}), false},
      // Whether the window closes at exit; with no console, the built program is run on Windows.
      {"dropped on it in Explorer", console_window_is_own(1, true), true},
      {"run in a Command Prompt", console_window_is_own(2, true), false},
      {"a window of its own, output redirected", console_window_is_own(1, false), false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.decided, c.wanted) << c.what;
}

TEST(wide_text, utf8_and_utf16) {
  struct {
    std::string utf8;
    std::u16string utf16;
    bool both_ways;
  } const cases[] = {
      {"\x7f", u"\x7f", true},      // the last single byte
      {"\xc2\x80", u"\x80", true},  // the first of two bytes
      {"a\xc3\xa4\xe2\x82\xac", u"a\u00e4\u20ac", true},
      {"\xf0\x9f\x98\x80", u"\U0001f600", true},                   // a surrogate pair
      {"\xf4\x8f\xbf\xbf", std::u16string{0xdbff, 0xdfff}, true},  // the last high surrogate
      // A lone surrogate, which Windows allows in names, survives the round trip.
      {"a\xed\xa0\x80z", std::u16string{u'a', 0xd800, u'z'}, true},
      {"a\x80\xc0\xaf\xe2\x82", u"a\ufffd\ufffd\ufffd\ufffd\ufffd", false},
      {"\xc3\xc3\xa4", u"\ufffd\u00e4", false},  // a lead byte is no continuation byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16) << c.utf8;
    if (c.both_ways) {
      EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8) << c.utf8;
    }
  }
  // A sequence cut off by the end of the text, though more bytes follow in memory.
  EXPECT_EQ(utf8_to_utf16(std::string_view("\xe2\x82\xac", 2)), u"\ufffd\ufffd");
}

TEST(wide_text, prefixed_paths_are_left_alone) {
  for (const std::u16string path : {u"\\\\?\\C:\\p.hex", u"\\\\.\\COM1"}) {
    EXPECT_EQ(extended_length_path(path), path);
  }
}

TEST(wide_text, crlf_line) {
  EXPECT_EQ(crlf_line("- Tarnwick (1.0) -\n"), "- Tarnwick (1.0) -\r\n\r\n");
}

}  // namespace
}  // namespace tarnwick::frontend::windows
