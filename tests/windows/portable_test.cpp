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
  // Keys that type a character, and the function, paging, arrow and editing keys end the key
  // wait: a letter, Esc, Ctrl+C, F1, F12, Page Up, Down, Insert and Delete.
  for (const input_record r : {press('A', u'a'), press(0x1b, 0x1b), press('C', 0x03), press(0x70),
                               press(0x7b), press(0x21), press(0x28), press(0x2d), press(0x2e)}) {
    EXPECT_TRUE(ends_key_wait(r)) << r.virtual_key;
  }
  // F13, Shift, Ctrl, Alt, the lock keys, left Windows and the menu key do not, nor a key's
  // release or a mouse event.
  for (const input_record r :
       {press(0x7c), press(0x10), press(0x11), press(0x12), press(0x14), press(0x90), press(0x91),
        press(0x5b), press(0x5d), input_record{input_kind::key, false, 'A', u'a'},
        input_record{input_kind::mouse, true, 0x70, u'a'}}) {
    EXPECT_FALSE(ends_key_wait(r))
        << static_cast<int>(r.kind) << ' ' << r.virtual_key << ' ' << r.key_down;
  }
  // The window closes at exit when dropped on in Explorer, not in a Command Prompt nor with the
  // output redirected; with no console, the built program is run on Windows.
  EXPECT_TRUE(console_window_is_own(1, true));
  EXPECT_FALSE(console_window_is_own(2, true));
  EXPECT_FALSE(console_window_is_own(1, false));
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
