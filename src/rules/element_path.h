// How a caller's path reads as a chain of element names: what set_answer
// creates and what a session checks against the form's declarations.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace tolvar {

// An XML name without a colon, by the letters and digits Unicode names.
bool is_ncname(std::string_view text);
// A name an element can be written with: NCName, or prefix:NCName.
bool is_element_name(std::string_view text);

// "//" between steps, at the start, or a trailing "/", outside predicates.
bool has_empty_step(std::string_view path);
// The pieces between slashes, empty ones dropped.
std::vector<std::string_view> path_pieces(std::string_view path);
// The pieces below the root: the first is dropped when it is the root's name
// and more follow, so /data/g/q and /g/q mean the same under a root data.
std::span<const std::string_view> below_root(std::span<const std::string_view> pieces,
                                             std::string_view root_name);
// Length of the piece without a trailing positional index such as "[2]";
// the whole length when it has none.
std::size_t length_without_index(std::string_view piece);

}  // namespace tolvar
