#include "frontend/text/key_event.h"

namespace tarnwick::frontend::text {

bool ends_key_wait(const input_record& record) {
  if (record.kind != input_kind::key || !record.key_down) return false;
  if (record.character != 0) return true;
  const std::uint16_t key = record.virtual_key;
  // Page Up, Page Down, End, Home and the four arrows have the codes from page_up to down.
  return (key >= vk::page_up && key <= vk::down) || key == vk::insert || key == vk::del ||
         (key >= vk::f1 && key <= vk::f12);
}

}  // namespace tarnwick::frontend::text
