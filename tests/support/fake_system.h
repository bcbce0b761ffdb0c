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

  // Faults, all off to start with.
  std::size_t read_fails_at = static_cast<std::size_t>(-1);  // bytes served before a read fails
  bool memory_runs_out = false;                              // reading the input finds no memory
  bool write_fails = false;                                  // replace_file fails
  bool input_is_output = false;    // any output name reaches the input file
  bool window_is_own = false;      // the window closes as the program ends
  std::function<void()> on_clock;  // runs when the clock is read

  // Runs the program with `args` after its name: the console's events.
  std::vector<std::string> run(const std::vector<std::string>& args);

  void clear_screen() override { events.emplace_back("<clear>"); }
  void write_line(std::string_view text) override { events.emplace_back(text); }
  void wait_key() override { events.emplace_back("<key>"); }
  bool window_closes_at_exit() override { return window_is_own; }
  std::optional<std::tm> local_time() override;

  std::string_view folder_separators() const override { return "/"; }
  std::unique_ptr<frontend::input_file> open_input(const std::string& name) override;
  bool replace_file(const std::string& path, std::string_view data) override;
};

}  // namespace tarnwick::testing
