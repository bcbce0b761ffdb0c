// Where the wait for a key ends: which Windows console input records end it. Pure, so it builds
// and is tested on every platform; the Windows console feeds it the records it reads.
#pragma once

#include <cstdint>

namespace tarnwick::frontend::text {

// The kinds of record a Windows console delivers.
enum class input_kind { key, mouse, buffer_size, menu, focus };

// What the decision needs of one console input record.
struct input_record {
  input_kind kind = input_kind::key;
  bool key_down = false;
  std::uint16_t virtual_key = 0;  // the Windows virtual-key code
  char16_t character = 0;         // the UTF-16 unit the key yields, 0 for none
};

// Windows virtual-key codes of the keys the decision names.
namespace vk {
inline constexpr std::uint16_t shift = 0x10, control = 0x11, alt = 0x12, caps_lock = 0x14,
                               escape = 0x1b, page_up = 0x21, end = 0x23, left = 0x25, down = 0x28,
                               insert = 0x2d, del = 0x2e, left_windows = 0x5b, apps = 0x5d,
                               f1 = 0x70, f12 = 0x7b, f13 = 0x7c, num_lock = 0x90,
                               scroll_lock = 0x91;
}  // namespace vk

// True for a key press that yields a character (Ctrl+C included) or is one of F1-F12, the
// arrows, Home, End, Page Up, Page Down, Insert and Delete. Releases, other events and
// modifier or lock keys pressed alone do not end the wait.
bool ends_key_wait(const input_record& record);

}  // namespace tarnwick::frontend::text
