// How tokens are written inside parser messages.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "parser/token.h"

namespace tolvar {

// Shortest digits that read back as the same value, always with a fraction
// ("3.0", "12.25"); exponent form at 1e16 and above or below 1e-4 ("1e16",
// "1.5e-5"); "inf". The value is never negative: the lexer makes no signs.
std::string render_number(double value);

// The kind name, with the payload for the kinds that carry one:
// "RightParen", `Name("age")`, "Number(3.0)".
std::string render_token(const Token& token);

// The token at the cursor as "Some(<token>)", or "None" past the last token.
std::string render_found(std::span<const Token> tokens, std::size_t cursor);

}  // namespace tolvar
