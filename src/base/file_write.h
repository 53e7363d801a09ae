// One write to a file descriptor, as the system does it.
#pragma once

#include <cstddef>
#include <string_view>

namespace tolvar {

// How much of the data one write took, or the system's error number (EINTR
// when a signal came before anything was written).
struct WriteOutcome {
  std::size_t written = 0;
  int error = 0;
};

// Writes what the system takes of `data` to `fd` in one call: all of it, or
// a part when a signal or a full pipe ends the call early.
WriteOutcome write_once(int fd, std::string_view data);

}  // namespace tolvar
