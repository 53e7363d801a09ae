#include "base/file_write.h"

#include <unistd.h>

#include <cerrno>

namespace tolvar {

WriteOutcome write_once(int fd, std::string_view data) {
  const ssize_t written = ::write(fd, data.data(), data.size());
  if (written < 0) return {0, errno};
  return {static_cast<std::size_t>(written), 0};
}

}  // namespace tolvar
