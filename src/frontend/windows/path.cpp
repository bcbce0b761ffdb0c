#include "frontend/windows/path.h"

#include <windows.h>

#include "frontend/text/wide_text.h"

namespace tarnwick::frontend::windows {

std::wstring widen(std::string_view utf8) {
  const std::u16string utf16 = text::utf8_to_utf16(utf8);
  return {utf16.begin(), utf16.end()};
}

std::string narrow(std::wstring_view utf16) {
  return text::utf16_to_utf8(std::u16string(utf16.begin(), utf16.end()));
}

std::wstring system_path(const std::string& name) {
  const std::wstring wide = widen(name);
  if (wide.empty()) return {};
  // The full path also turns every `/` into `\`, which the prefixed form no longer does.
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return {};
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);  // the size needed, its terminating zero included
  }
  const std::u16string extended =
      text::extended_length_path(std::u16string(full.begin(), full.end()));
  return {extended.begin(), extended.end()};
}

bool is_device_path(std::wstring_view path) {
  return path.starts_with(L"\\\\.\\");
}

}  // namespace tarnwick::frontend::windows
