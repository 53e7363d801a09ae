// Unicode properties and UTF-8 helpers. Properties come from tables generated
// from the Unicode Character Database by tools/gen_unicode_tables.py.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

bool is_white_space(char32_t c);  // White_Space property
// The White_Space property for a byte below 0x80.
constexpr bool is_ascii_white(unsigned char byte) {
  return byte == ' ' || (byte >= '\t' && byte <= '\r');
}
bool is_alphabetic(char32_t c);   // Alphabetic derived property
bool is_numeric(char32_t c);      // general category Nd, Nl or No

// Decodes the code point starting at text[pos] and advances pos past it.
// Malformed bytes decode as U+FFFD and advance by one byte.
char32_t decode_utf8(std::string_view text, std::size_t& pos);
void append_utf8(std::string& out, char32_t c);
bool is_valid_utf8(std::string_view text);

// The text with White_Space removed at both ends.
std::string_view trim_white(std::string_view text);
// True when the text is empty or White_Space only.
bool is_blank(std::string_view text);
// Byte offset of the first character that is not White_Space (text.size() if none).
std::size_t skip_white(std::string_view text, std::size_t pos = 0);
// Byte offset of the first White_Space character at or after pos (text.size() if none).
std::size_t find_white(std::string_view text, std::size_t pos = 0);
// Pieces between runs of White_Space; never empty pieces.
std::vector<std::string_view> split_white(std::string_view text);
// Number of code points.
std::size_t count_chars(std::string_view text);

// True when text equals `lower` (lower-case ASCII) under ASCII case folding.
bool equals_ignoring_ascii_case(std::string_view text, std::string_view lower);

// The text between double quotes, with backslash escapes for the double quote,
// the backslash, \t \r \n \0 and \u{hex} for other non-printable code points.
std::string quote_text(std::string_view text);

}  // namespace tolvar
