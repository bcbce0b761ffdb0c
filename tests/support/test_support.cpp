#include "test_support.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace tarnwick::testing {
namespace {

// Names are UTF-8 everywhere; a path built from a plain string would take the system's
// code page on Windows instead.
std::filesystem::path to_path(const std::string& utf8) {
  return {std::u8string(utf8.begin(), utf8.end())};
}

std::string to_utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

}  // namespace

temp_dir::temp_dir() {
  static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937 pick(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "tarnwick-test-";
    for (int i = 0; i < 8; ++i) name += letters[pick() % (sizeof letters - 1)];
    std::error_code ec;
    if (std::filesystem::create_directory(base / name, ec)) {
      // Private, as mkdtemp makes it.
      std::filesystem::permissions(base / name, std::filesystem::perms::owner_all, ec);
      path_ = to_utf8(base / name);
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

temp_dir::~temp_dir() {
  std::error_code ec;
  std::filesystem::remove_all(to_path(path_), ec);
}

std::string read_file(const std::string& path) {
  std::ifstream in(to_path(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, std::string_view data) {
  std::ofstream out(to_path(path), std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(to_path(path), ec));
}

bool make_dir(const std::string& path) {
  std::error_code ec;
  return std::filesystem::create_directory(to_path(path), ec);
}

std::vector<std::string> list_dir(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(to_path(dir))) {
    names.push_back(to_utf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::ptrdiff_t failing_source::read(char* buf, std::size_t size) {
  if (data_.empty()) return -1;
  const std::size_t n = std::min(size, data_.size());
  std::memcpy(buf, data_.data(), n);
  data_.remove_prefix(n);
  return static_cast<std::ptrdiff_t>(n);
}

std::string from_hex(std::string_view pairs) {
  std::string out;
  int high = -1;
  for (const char c : pairs) {
    if (c == ' ' || c == '\n') continue;
    const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

}  // namespace tarnwick::testing
