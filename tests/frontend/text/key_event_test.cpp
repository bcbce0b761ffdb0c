#include "frontend/text/key_event.h"

#include <gtest/gtest.h>

namespace tarnwick::frontend::text {
namespace {

// The other keys are tested on a pseudo-terminal, through the built program. A reader that
// called itself once per Esc overflowed its stack after about 175,000 of them.
TEST(key_bytes, an_esc_flood_is_one_key_until_a_character_ends_it) {
  key_bytes key;
  for (int i = 0; i < 10'000'000; ++i) ASSERT_FALSE(key.take(0x1b)) << "Esc " << i;
  EXPECT_TRUE(key.take('x'));
}

}  // namespace
}  // namespace tarnwick::frontend::text
