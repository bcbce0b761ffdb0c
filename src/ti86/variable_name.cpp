#include "ti86/variable_name.h"

namespace tarnwick::ti86 {

variable_name make_variable_name(std::string_view output_name) {
  // Separators of every path style a name may come in: DOS, Unix, VMS directories, drives.
  const std::size_t last = output_name.find_last_of("\\/]:");
  std::string_view base =
      last == std::string_view::npos ? output_name : output_name.substr(last + 1);
  base = base.substr(0, base.find(' '));
  variable_name name{};
  for (std::size_t i = 0; i < name.size() && i < base.size(); ++i) name[i] = base[i];
  return name;
}

}  // namespace tarnwick::ti86
