// Walks the pieces of a text between runs of Unicode white space without
// allocating: selection lists and geo points are read this way.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/unicode.h"

namespace tolvar {

class WhiteTokens {
 public:
  explicit WhiteTokens(std::string_view text) : text_(text) {}

  // The next piece (never empty), or nothing when none is left.
  std::optional<std::string_view> next() {
    std::size_t begin = skip_white(text_, pos_);
    if (begin == text_.size()) return std::nullopt;
    std::size_t end = find_white(text_, begin);
    pos_ = end;
    return text_.substr(begin, end - begin);
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace tolvar
