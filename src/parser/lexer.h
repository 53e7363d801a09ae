// The lexer: expression text to tokens.
#pragma once

#include <string_view>
#include <vector>

#include "parser/token.h"
#include "base/result.h"

namespace tolvar {

// All tokens of the text, White_Space skipped. Fails on the first character
// that starts no token ("unexpected character 'c'"), on a quote without its
// closing twin and on a digit-and-dot run with two dots. Token texts view `text`.
Result<std::vector<Token>> lex_expression(std::string_view text);

}  // namespace tolvar
