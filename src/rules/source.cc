#include "rules/source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "base/file_descriptor.h"
#include "base/unicode.h"
#include "tree/document.h"

namespace tolvar {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

Failure unreadable(std::string_view name, std::string_view path, std::string_view reason) {
  std::string message;
  message.append(name).append(": could not read '").append(path).append("': ").append(reason);
  return fail(std::move(message));
}

// Only a regular file has an end to read to: a FIFO blocks until a writer
// comes, a device such as /dev/zero never ends. A directory keeps the
// system's own words.
Status check_regular(const struct stat& info) {
  if (S_ISREG(info.st_mode)) return Done{};
  return fail(S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file");
}

// Reads to the end, or one byte past kMaxDocumentBytes, whichever comes first.
Result<std::string> read_to_end(int fd, std::size_t expected) {
  std::string content;
  content.reserve(std::min(expected, kMaxDocumentBytes) + 1);
  char buffer[1 << 16];
  while (content.size() <= kMaxDocumentBytes) {
    const std::size_t wanted = std::min(sizeof buffer, kMaxDocumentBytes + 1 - content.size());
    const ssize_t got = ::read(fd, buffer, wanted);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return fail(std::strerror(errno));
    }
    content.append(buffer, static_cast<std::size_t>(got));
  }
  if (content.size() > kMaxDocumentBytes) return fail(std::string(kDocumentTooLarge));
  return content;
}

// The whole file, or the reason for not reading it. The type is checked
// before opening, and again on what was opened: O_NONBLOCK keeps the open
// from waiting should the path have become a FIFO in between.
Result<std::string> read_file(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return fail(std::strerror(errno));
  Status regular = check_regular(info);
  if (!regular.ok()) return regular.failure();
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return fail(std::strerror(errno));
  if (::fstat(file.get(), &info) != 0) return fail(std::strerror(errno));
  regular = check_regular(info);
  if (!regular.ok()) return regular.failure();
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxDocumentBytes) {
    return fail(std::string(kDocumentTooLarge));
  }
  return read_to_end(file.get(), static_cast<std::size_t>(info.st_size));
}

}  // namespace

bool is_xml_text(std::string_view argument) {
  std::size_t first = skip_white(argument);
  return first < argument.size() && argument[first] == '<';
}

Result<std::string> read_text_file(std::string_view path, std::string_view name) {
  if (path.find('\0') != std::string_view::npos) {
    return unreadable(name, path, "file name contained an unexpected NUL byte");
  }
  Result<std::string> content = read_file(std::string(path));
  if (!content.ok()) return unreadable(name, path, content.error());
  if (!is_valid_utf8(content.value())) {
    return unreadable(name, path, "stream did not contain valid UTF-8");
  }
  return content;
}

Result<Source> read_source(std::string_view argument, std::string_view name) {
  if (is_xml_text(argument)) return Source(argument);
  Result<std::string> content = read_text_file(argument, name);
  if (!content.ok()) return content.failure();
  // A file is XML on the terms its text would be as an argument (a byte
  // order mark aside); an empty one is left to the XML reader's words.
  std::string_view text = content.value();
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  if (skip_white(text) < text.size() && !is_xml_text(text)) {
    return unreadable(name, argument, "not an XML document (it does not begin with '<')");
  }
  return Source(std::move(content).value());
}

}  // namespace tolvar
