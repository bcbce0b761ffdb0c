#include "frontend/text/key_event.h"

#include <gtest/gtest.h>

namespace tarnwick::frontend::text {
namespace {

struct key_case {
  const char* what;
  input_record record;
  bool ends;
};

constexpr input_record press(std::uint16_t key, char16_t character = 0) {
  return {input_kind::key, true, key, character};
}

constexpr input_record release(std::uint16_t key, char16_t character = 0) {
  return {input_kind::key, false, key, character};
}

TEST(key_record, which_end_the_wait) {
  const key_case cases[] = {
      {"letter", press('A', u'a'), true},
      {"Esc", press(vk::escape, 0x1b), true},
      {"Enter", press(0x0d, u'\r'), true},
      {"Tab", press(0x09, u'\t'), true},
      {"Backspace", press(0x08, 0x08), true},
      {"Ctrl+C", press('C', 0x03), true},
      {"F1", press(vk::f1), true},
      {"F12", press(vk::f12), true},
      {"Page Up", press(vk::page_up), true},
      {"End", press(vk::end), true},
      {"Left", press(vk::left), true},
      {"Down", press(vk::down), true},
      {"Insert", press(vk::insert), true},
      {"Delete", press(vk::del), true},
      {"F13", press(vk::f13), false},
      {"Shift", press(vk::shift), false},
      {"Ctrl", press(vk::control), false},
      {"Alt", press(vk::alt), false},
      {"Caps Lock", press(vk::caps_lock), false},
      {"Num Lock", press(vk::num_lock), false},
      {"Scroll Lock", press(vk::scroll_lock), false},
      {"left Windows", press(vk::left_windows), false},
      {"menu key", press(vk::apps), false},
      {"letter released", release('A', u'a'), false},
      {"mouse", {input_kind::mouse, true, vk::f1, u'a'}, false},
      {"focus", {input_kind::focus, true, 0, 0}, false},
      {"menu", {input_kind::menu, true, 0, 0}, false},
      {"buffer size", {input_kind::buffer_size, true, 0, 0}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(ends_key_wait(c.record), c.ends) << c.what;
}

}  // namespace
}  // namespace tarnwick::frontend::text
