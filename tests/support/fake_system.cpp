#include "fake_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "frontend/driver.h"
#include "golden.h"

namespace tarnwick::testing {
namespace {

// One file per name.
frontend::file_identity identity_of(const std::string& name) {
  return {0, std::hash<std::string>{}(name)};
}

class fake_input final : public frontend::input_file {
 public:
  fake_input(std::string name, const std::string& data, const fake_system& faults)
      : name_(std::move(name)),
        data_(data),
        fails_at_(faults.read_fails_at),
        no_memory_(faults.memory_runs_out) {}

  std::ptrdiff_t read(char* buf, std::size_t size) override {
    if (no_memory_) throw std::bad_alloc();
    if (pos_ >= fails_at_) return -1;
    const std::size_t n = std::min({size, data_.size() - pos_, fails_at_ - pos_});
    std::memcpy(buf, data_.data() + pos_, n);
    pos_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }

  frontend::file_identity identity() const override { return identity_of(name_); }
  frontend::failure read_failure() const override { return {frontend::failure::cause::system, 5}; }

 private:
  std::string name_;
  const std::string& data_;  // the file itself, read as it is when read
  std::size_t fails_at_;
  bool no_memory_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<std::string> fake_system::run(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"tarnwick"};
  for (const auto& a : args) argv.push_back(a.c_str());
  events.clear();
  errors.clear();
  EXPECT_EQ(frontend::run(static_cast<int>(argv.size()), argv.data(), *this), 0);
  return events;
}

std::optional<std::tm> fake_system::local_time() {
  if (on_clock) on_clock();
  return fixed_clock();
}

frontend::opened_input fake_system::open_input(const std::string& name) {
  const auto file = files.find(name);
  if (file == files.end()) return {nullptr, {frontend::failure::cause::system, 2}};
  return {std::make_unique<fake_input>(name, file->second, *this), {}};
}

std::optional<frontend::failure> fake_system::replace_file(const std::string& path,
                                                           std::string_view data,
                                                           const frontend::input_file& input) {
  if (input_is_output || input.identity() == identity_of(path)) {
    return frontend::failure{frontend::failure::cause::same_file};
  }
  if (write_fails) return frontend::failure{frontend::failure::cause::system, 28};
  files[path] = data;
  return {};
}

}  // namespace tarnwick::testing
