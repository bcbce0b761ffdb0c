#include "frontend/windows/write_all.h"

#include <algorithm>

namespace tarnwick::frontend::windows {

bool write_all(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    const auto size = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1U << 30));
    DWORD written = 0;
    if (WriteFile(file, data.data(), size, &written, nullptr) == 0 || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

}  // namespace tarnwick::frontend::windows
