// Writing a whole buffer to a file descriptor.
#pragma once

#include <string_view>

namespace tarnwick::frontend::posix {

// Writes every byte of `data` to `fd`, retrying interrupted and short writes; false on an
// error, with errno saying why.
bool write_all(int fd, std::string_view data);

}  // namespace tarnwick::frontend::posix
