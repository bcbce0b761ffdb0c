// A system in memory, for running the driver with fixed inputs and faults that can be
// switched on: the files are a map, the console is recorded, the clock stands still.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/system.h"

namespace tarnwick::testing {

class fake_system : public frontend::system {
 public:
  std::map<std::string, std::string> files;  // name to content; no other file exists
  std::vector<std::string> events;           // "<clear>", each line, "<key>"
  std::vector<std::string> errors;           // each line on the error stream

  // Faults, all off to start with.
  std::size_t read_fails_at = static_cast<std::size_t>(-1);  // bytes served before a read fails
  bool memory_runs_out = false;                              // reading the input finds no memory
  bool write_fails = false;        // replace_file fails with the system's error 28 (a full disk)
  bool input_is_output = false;    // any output name reaches the input file
  bool window_is_own = false;      // the window closes as the program ends
  std::function<void()> on_clock;  // runs when the clock is read

  // Runs the program with `args` after its name: the console's events.
  std::vector<std::string> run(const std::vector<std::string>& args);

  void clear_screen() override { events.emplace_back("<clear>"); }
  void write_line(std::string_view text) override { events.emplace_back(text); }
  void write_error_line(std::string_view text) override { errors.emplace_back(text); }
  void wait_key() override { events.emplace_back("<key>"); }
  bool window_closes_at_exit() override { return window_is_own; }
  std::optional<std::tm> local_time() override;

  std::string_view folder_separators() const override { return "/"; }
  // A missing file fails with error 2; a read fails with error 5; the system's words for
  // error N are "error N".
  frontend::opened_input open_input(const std::string& name) override;
  std::optional<frontend::failure> replace_file(const std::string& path, std::string_view data,
                                                const frontend::input_file& input) override;
  std::string error_text(int code) override { return "error " + std::to_string(code); }
};

}  // namespace tarnwick::testing
