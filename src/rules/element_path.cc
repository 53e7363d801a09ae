// How a caller's path reads as a chain of element names.
#include "rules/element_path.h"

#include <algorithm>

#include "base/unicode.h"

namespace tolvar {
namespace {

bool is_name_start(char32_t c) {
  if (c < 0x80) return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  return is_alphabetic(c);
}

bool is_name_char(char32_t c) {
  if (c < 0x80) return is_name_start(c) || c == '-' || c == '.' || (c >= '0' && c <= '9');
  return is_alphabetic(c) || is_numeric(c);
}

}  // namespace

bool is_ncname(std::string_view text) {
  std::size_t pos = 0;
  if (text.empty() || !is_name_start(decode_utf8(text, pos))) return false;
  while (pos < text.size()) {
    if (!is_name_char(decode_utf8(text, pos))) return false;
  }
  return true;
}

bool is_element_name(std::string_view text) {
  std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return is_ncname(text);
  return is_ncname(text.substr(0, colon)) && is_ncname(text.substr(colon + 1));
}

bool has_empty_step(std::string_view path) {
  std::size_t depth = 0;  // inside predicates a "//" is an expression's own
  char quote = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    char c = path[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (depth > 0 && (c == '\'' || c == '"')) {
      quote = c;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']') {
      if (depth > 0) --depth;
    } else if (depth == 0 && c == '/' && (i + 1 == path.size() || path[i + 1] == '/')) {
      return true;
    }
  }
  return false;
}

std::vector<std::string_view> path_pieces(std::string_view path) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start) pieces.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return pieces;
}

std::span<const std::string_view> below_root(std::span<const std::string_view> pieces,
                                             std::string_view root_name) {
  if (pieces.size() >= 2 && pieces.front() == root_name) return pieces.subspan(1);
  return pieces;
}

std::size_t length_without_index(std::string_view piece) {
  if (!piece.ends_with(']')) return piece.size();
  std::size_t open = piece.rfind('[');
  if (open == std::string_view::npos || open + 2 >= piece.size()) return piece.size();
  std::string_view digits = piece.substr(open + 1, piece.size() - open - 2);
  bool numeric =
      std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  return numeric ? open : piece.size();
}

}  // namespace tolvar
