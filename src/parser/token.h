// Tokens of the expression dialect, as the lexer hands them to the parser.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

namespace tolvar {

// The order is the rank of each kind in tables keyed by kind.
enum class TokenKind {
  Name,
  Number,
  Literal,
  Variable,
  Slash,
  DoubleSlash,
  Dot,
  DoubleDot,
  At,
  Star,
  LeftParen,
  RightParen,
  LeftBracket,
  RightBracket,
  Comma,
  Pipe,
  Plus,
  Minus,
  Equal,
  NotEqual,
  Less,
  LessEqual,
  Greater,
  GreaterEqual,
  DoubleColon,
};

inline constexpr std::string_view kTokenKindNames[] = {
    "Name",         "Number",      "Literal",   "Variable",     "Slash",     "DoubleSlash",
    "Dot",          "DoubleDot",   "At",        "Star",         "LeftParen", "RightParen",
    "LeftBracket",  "RightBracket", "Comma",    "Pipe",         "Plus",      "Minus",
    "Equal",        "NotEqual",    "Less",      "LessEqual",    "Greater",   "GreaterEqual",
    "DoubleColon",
};

static_assert(std::size(kTokenKindNames) == static_cast<std::size_t>(TokenKind::DoubleColon) + 1);

// The kind's name as messages write it, for example "RightParen".
inline std::string_view token_kind_name(TokenKind kind) {
  return kTokenKindNames[static_cast<std::size_t>(kind)];
}

// A kind and its payload. `text` (Name, Literal, Variable) views the lexed
// input, so a token lives no longer than that text; `number` is set for Number.
struct Token {
  TokenKind kind;
  std::string_view text;
  double number = 0;
};

}  // namespace tolvar
