// What the program needs of the world, behind one interface: the console, the files and the
// clock. Each platform has one implementation and the tests have a fake, so the driver runs
// anywhere with fixed inputs.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hexreader/byte_source.h"

namespace tarnwick::frontend {

// Why a step failed: an error the system reported, or one of the program's own refusals.
struct failure {
  enum class cause {
    system,                 // the system's error `code`: an errno value, or a Windows error code
    not_regular_file,       // a folder, a device, a pipe or a socket where a file was wanted
    link_in_shared_folder,  // a link another user owns in a sticky, world-writable folder
    link_loop,              // more links in a row than the system itself would follow
    same_file,              // the output would be the input file itself
    output_changed,         // something else took the output's place while it was written
    too_large,              // the program passes the largest size the file format holds
    out_of_memory,          // the conversion could not get the memory it needs
    not_intel_hex,          // text in which no line is a record: a source or a binary
  };
  cause why = cause::system;
  int code = 0;
  bool operator==(const failure&) const = default;
};

// One file, wherever it is reached from: its device or volume, and its number there.
struct file_identity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const file_identity&) const = default;
};

// An input file opened for reading.
class input_file : public hexreader::byte_source {
 public:
  // Which file this is.
  virtual file_identity identity() const = 0;
  // Why the last read that returned -1 failed.
  virtual failure read_failure() const = 0;
};

// The outcome of opening an input: the file, or why there is none.
struct opened_input {
  std::unique_ptr<input_file> file;
  failure error;
};

class system {
 public:
  virtual ~system() = default;

  // Clears the screen before the banner, where there is a screen that can be cleared.
  virtual void clear_screen() = 0;
  // Shows `text` (UTF-8) followed by a line end at once.
  virtual void write_line(std::string_view text) = 0;
  // Shows `text` (UTF-8) followed by a line end on the error stream.
  virtual void write_error_line(std::string_view text) = 0;
  // Waits for one key press, or returns at once where no key can be read.
  virtual void wait_key() = 0;
  // True when the window showing the lines closes as the program ends.
  virtual bool window_closes_at_exit() = 0;

  // The characters that end a folder's name in this system's paths.
  virtual std::string_view folder_separators() const = 0;
  // Opens the file `name` (UTF-8) for reading; no file when it cannot be opened or is no file.
  virtual opened_input open_input(const std::string& name) = 0;
  // Makes `path` hold exactly `data`, never half-written, unless the file it reaches is
  // `input`. Nothing when done; otherwise why not, with an existing file at `path` keeping its
  // old content, except where only the final flush failed (see the platform's replace_file).
  virtual std::optional<failure> replace_file(const std::string& path, std::string_view data,
                                              const input_file& input) = 0;
  // The system's own words for its error code `code`.
  virtual std::string error_text(int code) = 0;

  // The local date and time now; nothing where the clock cannot give it.
  virtual std::optional<std::tm> local_time() = 0;
};

// The system of the platform the program runs on: its console, its files, its clock. One
// implementation per platform.
std::unique_ptr<system> make_platform_system();

}  // namespace tarnwick::frontend
