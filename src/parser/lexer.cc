#include "parser/lexer.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <system_error>

#include "base/unicode.h"

namespace tolvar {
namespace {

struct Punctuation {
  std::string_view text;
  TokenKind kind;
};

// Two-character tokens come first so that "//" is not read as two "/".
// A lone "!" or ":" is in no row and falls through to "unexpected character".
constexpr Punctuation kPunctuation[] = {
    {"//", TokenKind::DoubleSlash}, {"..", TokenKind::DoubleDot},
    {"!=", TokenKind::NotEqual},    {"<=", TokenKind::LessEqual},
    {">=", TokenKind::GreaterEqual}, {"::", TokenKind::DoubleColon},
    {"/", TokenKind::Slash},        {".", TokenKind::Dot},
    {"<", TokenKind::Less},         {">", TokenKind::Greater},
    {"(", TokenKind::LeftParen},    {")", TokenKind::RightParen},
    {"*", TokenKind::Star},         {"+", TokenKind::Plus},
    {",", TokenKind::Comma},        {"-", TokenKind::Minus},
    {"=", TokenKind::Equal},        {"@", TokenKind::At},
    {"[", TokenKind::LeftBracket},  {"]", TokenKind::RightBracket},
    {"|", TokenKind::Pipe},
};

bool is_ascii_letter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char32_t c) { return c >= '0' && c <= '9'; }
bool is_digit_at(std::string_view text, std::size_t pos) {
  return pos < text.size() && is_digit(static_cast<unsigned char>(text[pos]));
}

// Code points up to U+00A9 outside ASCII never belong to names.
bool is_name_start(char32_t c) {
  return is_ascii_letter(c) || c == '_' || (c > 0xA9 && is_alphabetic(c));
}

bool is_name_char(char32_t c) {
  return is_ascii_letter(c) || is_digit(c) || c == '-' || c == '.' || c == '_' ||
         (c > 0xA9 && (is_alphabetic(c) || is_numeric(c)));
}

// End of the run of name characters from pos; with `colons`, ':' joins the
// run too unless it begins "::", so "child::a" stops after "child".
std::size_t name_end(std::string_view text, std::size_t pos, bool colons) {
  while (pos < text.size()) {
    if (colons && text[pos] == ':') {
      if (pos + 1 < text.size() && text[pos + 1] == ':') break;
      ++pos;
      continue;
    }
    std::size_t next = pos;
    if (!is_name_char(decode_utf8(text, next))) break;
    pos = next;
  }
  return pos;
}

// Digits with at most one dot, read as the nearest double. from_chars leaves
// the value alone when out of range: a run with a nonzero integer part is
// then too large (infinity), any other run too small (zero).
Result<double> number_value(std::string_view digits) {
  const auto not_a_number = [&] { return fail("'" + std::string(digits) + "' is not a number"); };
  if (std::count(digits.begin(), digits.end(), '.') > 1) return not_a_number();
  double value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    const bool large = digits.substr(0, digits.find('.')).find_first_not_of('0') != std::string_view::npos;
    return large ? std::numeric_limits<double>::infinity() : 0.0;
  }
  if (error != std::errc() || stop != end) return not_a_number();
  return value;
}

class Lexer {
 public:
  // Tokens average well over two bytes of text each, so one reservation
  // usually covers the whole list.
  explicit Lexer(std::string_view text) : text_(text) { tokens_.reserve(text.size() / 2 + 1); }

  Result<std::vector<Token>> run() {
    while (pos_ < text_.size()) {
      std::size_t next = pos_;
      const char32_t c = decode_utf8(text_, next);
      if (is_white_space(c)) {
        pos_ = next;
        continue;
      }
      Status lexed = lex_token(c, next);
      if (!lexed.ok()) return lexed.failure();
    }
    return std::move(tokens_);
  }

 private:
  // Lexes the token that starts with code point c; `next` is the byte after c.
  Status lex_token(char32_t c, std::size_t next) {
    if (c == '"' || c == '\'') return lex_literal(static_cast<char>(c));
    if (c == '$') {
      const std::size_t end = name_end(text_, next, false);
      push(TokenKind::Variable, text_.substr(next, end - next), end);
      return Done{};
    }
    if (is_digit(c)) return lex_number(run_end(next, true));
    if (c == '.' && is_digit_at(text_, next)) return lex_number(run_end(next, false));
    for (const Punctuation& punctuation : kPunctuation) {
      if (starts_here(punctuation.text)) {
        push(punctuation.kind, {}, pos_ + punctuation.text.size());
        return Done{};
      }
    }
    if (is_name_start(c)) {
      const std::size_t end = name_end(text_, next, true);
      push(TokenKind::Name, text_.substr(pos_, end - pos_), end);
      return Done{};
    }
    std::string message = "unexpected character '";
    append_utf8(message, c);
    return fail(message + "'");
  }

  // No escapes: the literal ends at the next quote of the same kind.
  Status lex_literal(char quote) {
    const std::size_t close = text_.find(quote, pos_ + 1);
    if (close == std::string_view::npos) {
      const std::size_t position = count_chars(text_.substr(0, pos_)) + 1;
      return fail("unterminated string starting at character " + std::to_string(position));
    }
    push(TokenKind::Literal, text_.substr(pos_ + 1, close - pos_ - 1), close + 1);
    return Done{};
  }

  // Punctuation is one or two ASCII characters; comparing them directly
  // keeps the table scan cheap.
  bool starts_here(std::string_view piece) const {
    if (text_[pos_] != piece[0]) return false;
    return piece.size() == 1 || (pos_ + 1 < text_.size() && text_[pos_ + 1] == piece[1]);
  }

  // End of the digits from pos, and of dots too with `dots`.
  std::size_t run_end(std::size_t pos, bool dots) const {
    while (pos < text_.size() && (is_digit_at(text_, pos) || (dots && text_[pos] == '.'))) ++pos;
    return pos;
  }

  Status lex_number(std::size_t end) {
    Result<double> value = number_value(text_.substr(pos_, end - pos_));
    if (!value.ok()) return value.failure();
    tokens_.push_back(Token{TokenKind::Number, {}, value.value()});
    pos_ = end;
    return Done{};
  }

  void push(TokenKind kind, std::string_view text, std::size_t end) {
    tokens_.push_back(Token{kind, text});
    pos_ = end;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::vector<Token> tokens_;
};

}  // namespace

Result<std::vector<Token>> lex_expression(std::string_view text) { return Lexer(text).run(); }

}  // namespace tolvar
