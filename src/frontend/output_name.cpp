#include "frontend/output_name.h"

namespace tarnwick {

std::string make_output_name(std::string_view input_name) {
  constexpr std::size_t extension_length = 4;
  std::string name;
  if (input_name.size() > extension_length) {
    name = input_name.substr(0, input_name.size() - extension_length);
  }
  name += ".86p";
  return name;
}

}  // namespace tarnwick
