#include "parser/render.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

#include "base/unicode.h"

namespace tolvar {
namespace {

// Shortest round-trip digits without the point, and the decimal exponent of
// the first one: 12.25 gives "1225" and 1.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal shortest_decimal(double value) {
  char buffer[32];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view text(buffer, written.ptr - buffer);  // "1.225e+01"
  const std::size_t e = text.find('e');
  Decimal decimal;
  for (char c : text.substr(0, e)) {
    if (c != '.') decimal.digits += c;
  }
  std::string_view exponent = text.substr(e + 1);
  if (exponent.front() == '+') exponent.remove_prefix(1);  // from_chars takes no '+'
  std::from_chars(exponent.data(), exponent.data() + exponent.size(), decimal.exponent);
  return decimal;
}

std::string exponent_form(const Decimal& decimal) {
  std::string out(1, decimal.digits[0]);
  if (decimal.digits.size() > 1) {
    out += '.';
    out.append(decimal.digits, 1);
  }
  out += 'e';
  out += std::to_string(decimal.exponent);
  return out;
}

std::string positional_form(const Decimal& decimal) {
  const std::string& digits = decimal.digits;
  if (decimal.exponent < 0) {
    return "0." + std::string(-decimal.exponent - 1, '0') + digits;
  }
  const std::size_t integer_digits = decimal.exponent + 1;
  if (digits.size() <= integer_digits) {
    return digits + std::string(integer_digits - digits.size(), '0') + ".0";
  }
  return digits.substr(0, integer_digits) + '.' + digits.substr(integer_digits);
}

bool has_payload_text(TokenKind kind) {
  return kind == TokenKind::Name || kind == TokenKind::Literal || kind == TokenKind::Variable;
}

}  // namespace

std::string render_number(double value) {
  if (std::isinf(value)) return "inf";
  const Decimal decimal = shortest_decimal(value);
  const bool tiny = value != 0 && value < 1e-4;
  return value >= 1e16 || tiny ? exponent_form(decimal) : positional_form(decimal);
}

std::string render_token(const Token& token) {
  std::string out(token_kind_name(token.kind));
  if (token.kind == TokenKind::Number) {
    out += '(' + render_number(token.number) + ')';
  } else if (has_payload_text(token.kind)) {
    out += '(' + quote_text(token.text) + ')';
  }
  return out;
}

std::string render_found(std::span<const Token> tokens, std::size_t cursor) {
  if (cursor >= tokens.size()) return "None";
  return "Some(" + render_token(tokens[cursor]) + ")";
}

}  // namespace tolvar
