// The console the driver talks to; passed in so the driver runs without a terminal in tests.
#pragma once

#include <string_view>

namespace tarnwick {

class console {
 public:
  virtual ~console() = default;
  // Clears the screen before the banner.
  virtual void clear() = 0;
  // Shows `text` followed by a newline at once.
  virtual void write_line(std::string_view text) = 0;
  // Waits for one key press, or returns at once where no key can be read.
  virtual void wait_key() = 0;
};

// The process's own console: standard output and the controlling terminal.
class terminal_console final : public console {
 public:
  void clear() override;
  void write_line(std::string_view text) override;
  void wait_key() override;
};

}  // namespace tarnwick
