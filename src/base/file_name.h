// File names compared as Python compares them once it has decoded them as
// str, so that the engine's search finds and orders files as os.listdir,
// sorted() and str.lower() would.
#pragma once

#include <string_view>

namespace tolvar {

// True when the name, decoded as Python decodes file names, comes before
// `other` in code point order. Python decodes a file name as UTF-8 with each
// byte outside a well-formed sequence taken as U+DC00 plus the byte, which
// orders such names otherwise than their bytes do.
bool file_name_precedes(std::string_view name, std::string_view other);

// True when the name, decoded so and lower-cased as str.lower() does, ends
// with `lower_suffix`, which is lower-case ASCII.
bool file_name_ends_with(std::string_view name, std::string_view lower_suffix);

}  // namespace tolvar
