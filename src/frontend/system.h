// What the program needs of the world, behind one interface: the console, the files and the
// clock. Each platform has one implementation and the tests have a fake, so the driver runs
// anywhere with fixed inputs.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hexreader/byte_source.h"

namespace tarnwick::frontend {

// An input file opened for reading.
class input_file : public hexreader::byte_source {
 public:
  // True when `name` reaches this very file, by whatever spelling or link.
  virtual bool is_same_file(const std::string& name) const = 0;
};

class system {
 public:
  virtual ~system() = default;

  // Clears the screen before the banner, where there is a screen that can be cleared.
  virtual void clear_screen() = 0;
  // Shows `text` (UTF-8) followed by a line end at once.
  virtual void write_line(std::string_view text) = 0;
  // Waits for one key press, or returns at once where no key can be read.
  virtual void wait_key() = 0;
  // True when the window showing the lines closes as the program ends.
  virtual bool window_closes_at_exit() = 0;

  // The characters that end a folder's name in this system's paths.
  virtual std::string_view folder_separators() const = 0;
  // Opens the file `name` (UTF-8) for reading; null when it cannot be opened or is no file.
  virtual std::unique_ptr<input_file> open_input(const std::string& name) = 0;
  // Makes `path` hold exactly `data`, never half-written; false when it could not, with an
  // existing file at `path` keeping its old content.
  virtual bool replace_file(const std::string& path, std::string_view data) = 0;

  // The local date and time now; nothing where the clock cannot give it.
  virtual std::optional<std::tm> local_time() = 0;
};

// The system of the platform the program runs on: its console, its files, its clock. One
// implementation per platform.
std::unique_ptr<system> make_platform_system();

}  // namespace tarnwick::frontend
