#include "frontend/temporary_name.h"

namespace tarnwick::frontend {

std::string temporary_name(std::string_view output_base, std::uint64_t& seed) {
  static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string name = ".";
  if (!output_base.empty()) {
    name += output_base;
    name += '.';
  }
  name += "tarnwick-";
  for (int i = 0; i < 8; ++i) {
    // A linear congruential step (Knuth's MMIX constants); its high bits are the random ones.
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    name += digits[(seed >> 33) % (sizeof digits - 1)];
  }
  return name;
}

bool create_temporary(std::string_view output_base, std::uint64_t seed,
                      const std::function<creation(const std::string& name)>& create) {
  std::string_view owner = output_base;
  for (int attempt = 0; attempt < 100; ++attempt) {
    switch (create(temporary_name(owner, seed))) {
      case creation::created:
        return true;
      case creation::exists:
        break;
      case creation::failed:
        if (owner.empty()) return false;
        owner = {};  // too long a name, most likely
        break;
    }
  }
  return false;
}

}  // namespace tarnwick::frontend
