// Reading a form, submission or instance argument: XML text or a file path.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "base/result.h"

namespace tolvar {

// An argument once read: the argument itself when it is XML text, borrowed
// and so never copied, or the content of the file it names, owned.
class Source {
 public:
  explicit Source(std::string_view text) : borrowed_(text) {}
  explicit Source(std::string content) : content_(std::move(content)), owned_(true) {}

  std::string_view text() const { return owned_ ? std::string_view(content_) : borrowed_; }

 private:
  std::string_view borrowed_;
  std::string content_;
  bool owned_ = false;
};

// The argument itself when it starts with "<" after White_Space, otherwise
// the content of the UTF-8 file it names. Fails with
// "{name}: could not read '{path}': {reason}"; anything but a regular file
// (a FIFO, a device, a socket) is refused unopened as "not a regular file",
// and a file longer than a document may be as too large. A file whose text
// begins with anything but white space and "<" is "not an XML document".
Result<Source> read_source(std::string_view argument, std::string_view name);

// The content of the UTF-8 file at `path`, refused as read_source refuses
// a file.
Result<std::string> read_text_file(std::string_view path, std::string_view name);

// True when the argument is XML text rather than a path.
bool is_xml_text(std::string_view argument);

}  // namespace tolvar
