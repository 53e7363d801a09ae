// Numbers as text and text as numbers.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "eval/value.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Integers below 1e21 are written exactly, digit for digit.
std::string integer_to_string(double number) {
  if (number == 0) return "0";  // negative zero too
  if (std::fabs(number) < 9007199254740992.0) {  // 2^53: exact in int64
    std::array<char, 24> buffer;
    auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                             static_cast<std::int64_t>(number)).ptr;
    return std::string(buffer.data(), end);
  }
  std::array<char, 32> buffer;
  auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number,
                           std::chars_format::fixed, 0).ptr;
  return std::string(buffer.data(), end);
}

// Shortest round-trip digits, moved from scientific into positional notation.
std::string positional_to_string(double number) {
  std::array<char, 40> buffer;
  char* const first = buffer.data();
  char* const last = std::to_chars(first, first + buffer.size(), number,
                                   std::chars_format::scientific).ptr;
  std::string_view sci(first, last - first);  // [-]d[.ddd]e(+|-)xx
  std::string out;
  if (sci.front() == '-') {
    out.push_back('-');
    sci.remove_prefix(1);
  }
  const std::size_t e = sci.find('e');
  std::string digits(sci.substr(0, e));
  if (digits.size() > 1) digits.erase(1, 1);  // drop the '.'
  int exponent = 0;
  std::string_view exp_text = sci.substr(e + 1);
  if (exp_text.front() == '+') exp_text.remove_prefix(1);
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);

  // Digits before the point: the first digit stands at 10^exponent.
  const long integer_digits = static_cast<long>(exponent) + 1;
  const long digit_count = static_cast<long>(digits.size());
  if (integer_digits <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-integer_digits), '0');
    out += digits;
  } else if (integer_digits >= digit_count) {
    out += digits;
    out.append(static_cast<std::size_t>(integer_digits - digit_count), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(integer_digits));
    out.push_back('.');
    out.append(digits, static_cast<std::size_t>(integer_digits));
  }
  return out;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The shape of an unsigned decimal: where its digits are, and the exponent.
struct DecimalShape {
  bool valid = false;
  // Decimal exponent of the leading non-zero digit, saturated; only read when
  // the parse overflows or underflows, to tell which of the two happened.
  long leading_exponent = 0;
};

std::size_t skip_digits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && is_digit(text[pos])) ++pos;
  return pos;
}

long saturated_exponent(std::string_view digits, bool negative) {
  constexpr long kCap = 1'000'000;
  long value = 0;
  for (char c : digits) value = std::min(kCap, value * 10 + (c - '0'));
  return negative ? -value : value;
}

// digits [ "." digits ] [ (e|E) [sign] digits ], at least one mantissa digit.
DecimalShape read_decimal(std::string_view text) {
  DecimalShape shape;
  const std::size_t int_end = skip_digits(text, 0);
  std::size_t pos = int_end;
  std::size_t frac_begin = pos;
  std::size_t frac_end = pos;
  if (pos < text.size() && text[pos] == '.') {
    frac_begin = pos + 1;
    frac_end = skip_digits(text, frac_begin);
    pos = frac_end;
  }
  if (int_end == 0 && frac_end == frac_begin) return shape;
  long exponent = 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    const std::size_t exp_end = skip_digits(text, pos);
    if (exp_end == pos) return shape;
    exponent = saturated_exponent(text.substr(pos, exp_end - pos), negative);
    pos = exp_end;
  }
  if (pos != text.size()) return shape;
  shape.valid = true;
  for (std::size_t i = 0; i < frac_end; ++i) {
    if (i == int_end || text[i] == '0') continue;
    const long place = i < int_end ? static_cast<long>(int_end - i) - 1
                                   : -static_cast<long>(i - int_end);
    shape.leading_exponent = place + exponent;
    break;
  }
  return shape;
}

// Up to 15 digits alone, the commonest answer, make an integer below 2^53
// that a double holds exactly: no need for the general reading.
std::optional<double> small_integer(std::string_view text) {
  if (text.empty() || text.size() > 15) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return static_cast<double>(value);
}

double read_magnitude(std::string_view text) {
  if (std::optional<double> integer = small_integer(text)) return *integer;
  if (equals_ignoring_ascii_case(text, "inf") || equals_ignoring_ascii_case(text, "infinity")) {
    return kInfinity;
  }
  if (equals_ignoring_ascii_case(text, "nan")) return kNaN;
  const DecimalShape shape = read_decimal(text);
  if (!shape.valid) return kNaN;
  double value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  // from_chars leaves the value alone when the result would round to zero or
  // overflow; the leading digit's place tells which.
  if (ec == std::errc::result_out_of_range) return shape.leading_exponent > 0 ? kInfinity : 0.0;
  if (ec != std::errc() || ptr != text.data() + text.size()) return kNaN;
  return value;
}

}  // namespace

std::string number_to_string(double number) {
  if (std::isnan(number)) return "NaN";
  if (std::isinf(number)) return number > 0 ? "Infinity" : "-Infinity";
  if (number == std::trunc(number) && std::fabs(number) < 1e21) return integer_to_string(number);
  return positional_to_string(number);
}

double text_to_number(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const double magnitude = read_magnitude(text);
  return negative ? -magnitude : magnitude;
}

}  // namespace tolvar
