// An open file descriptor, closed when it goes out of scope.
#pragma once

#include <unistd.h>

namespace tolvar {

class FileDescriptor {
 public:
  // Takes over `fd`; a negative one (a failed open) is never closed.
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace tolvar
