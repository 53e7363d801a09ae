#include "rules/source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "base/unicode.h"

namespace tolvar {
namespace {

Failure unreadable(std::string_view name, std::string_view path, std::string_view reason) {
  std::string message;
  message.append(name).append(": could not read '").append(path).append("': ").append(reason);
  return fail(std::move(message));
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The whole file, or the operating system's reason for not reading it.
Result<std::string> read_file(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return fail(std::strerror(errno));
  std::string content;
  char buffer[1 << 16];
  for (;;) {
    std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    content.append(buffer, got);
    if (got < sizeof buffer) break;
  }
  // fopen succeeds on a directory; the read is where it fails.
  if (std::ferror(file.get())) return fail(std::strerror(errno));
  return content;
}

}  // namespace

bool is_xml_text(std::string_view argument) {
  std::size_t first = skip_white(argument);
  return first < argument.size() && argument[first] == '<';
}

Result<Source> read_source(std::string_view argument, std::string_view name) {
  if (is_xml_text(argument)) return Source(argument);
  std::string path(argument);
  if (path.find('\0') != std::string::npos) {
    return unreadable(name, argument, "file name contained an unexpected NUL byte");
  }
  errno = 0;
  Result<std::string> content = read_file(path);
  if (!content.ok()) return unreadable(name, argument, content.error());
  if (!is_valid_utf8(content.value())) {
    return unreadable(name, argument, "stream did not contain valid UTF-8");
  }
  return Source(std::move(content).value());
}

}  // namespace tolvar
