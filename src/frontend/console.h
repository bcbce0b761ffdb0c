// The console the driver talks to; passed in so the driver runs without a terminal in tests.
#pragma once

#include <memory>
#include <string_view>

namespace tarnwick {

class console {
 public:
  virtual ~console() = default;
  // Clears the screen before the banner, where there is a screen that can be cleared.
  virtual void clear() = 0;
  // Shows `text` (UTF-8) followed by a line end at once.
  virtual void write_line(std::string_view text) = 0;
  // Waits for one key press, or returns at once where no key can be read.
  virtual void wait_key() = 0;
};

// The process's own console: standard output and the keyboard. One implementation per
// platform.
std::unique_ptr<console> make_system_console();

}  // namespace tarnwick
