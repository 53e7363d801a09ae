// Reading a form, submission or instance argument: XML text or a file path.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"

namespace tolvar {

// The argument itself when it starts with "<" after White_Space, otherwise
// the content of the UTF-8 file it names. Fails with
// "{name}: could not read '{path}': {reason}".
Result<std::string> read_source(std::string_view argument, std::string_view name);
// The same without copying XML text: the view borrows the argument, or
// `storage` when a file was read into it.
Result<std::string_view> read_source_view(std::string_view argument, std::string_view name,
                                          std::string& storage);

// True when the argument is XML text rather than a path.
bool is_xml_text(std::string_view argument);

}  // namespace tolvar
