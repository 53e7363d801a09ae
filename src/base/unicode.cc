#include "base/unicode.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>

namespace tolvar {
namespace {

struct CodeRange {
  char32_t first;
  char32_t last;
};

#include "base/unicode_tables.inc"

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

template <std::size_t N>
bool in_ranges(const CodeRange (&ranges)[N], char32_t c) {
  // First range whose end is not below c; c is in it when it starts at or before c.
  const CodeRange* found = std::lower_bound(
      std::begin(ranges), std::end(ranges), c,
      [](const CodeRange& range, char32_t value) { return range.last < value; });
  return found != std::end(ranges) && found->first <= c;
}

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed sequence at text[pos], or 0 when it is malformed:
// overlong forms, surrogates and values above U+10FFFF are rejected.
std::size_t sequence_length(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - pos < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!is_continuation(byte(i))) return 0;
  }
  return length;
}

bool is_hidden(char32_t c) { return in_ranges(kHiddenRanges, c); }

// Escapes with a short fixed form; every other hidden code point uses \u{hex}.
struct ShortEscape {
  char32_t code_point;
  std::string_view written;
};
constexpr ShortEscape kShortEscapes[] = {
    {U'"', "\\\""}, {U'\\', "\\\\"}, {U'\t', "\\t"}, {U'\r', "\\r"}, {U'\n', "\\n"}, {U'\0', "\\0"},
};

void append_escaped(std::string& out, char32_t c) {
  for (const ShortEscape& escape : kShortEscapes) {
    if (escape.code_point == c) {
      out += escape.written;
      return;
    }
  }
  if (!is_hidden(c)) {
    append_utf8(out, c);
    return;
  }
  char digits[8];
  const auto converted = std::to_chars(std::begin(digits), std::end(digits),
                                       static_cast<std::uint32_t>(c), 16);
  out += "\\u{";
  out.append(digits, converted.ptr);
  out += '}';
}

// Length of the last character when it is White_Space, 0 otherwise. A
// malformed tail decodes as U+FFFD, which is not White_Space.
std::size_t trailing_white_length(std::string_view text) {
  const auto last_byte = static_cast<unsigned char>(text.back());
  if (last_byte < 0x80) return is_ascii_white(last_byte) ? 1 : 0;
  std::size_t start = text.size() - 1;
  while (start > 0 && text.size() - start < 4 &&
         is_continuation(static_cast<unsigned char>(text[start]))) {
    --start;
  }
  std::size_t end = start;
  const char32_t last = decode_utf8(text, end);
  return end == text.size() && is_white_space(last) ? text.size() - start : 0;
}

}  // namespace

bool is_white_space(char32_t c) {
  if (c < 0x80) return is_ascii_white(static_cast<unsigned char>(c));
  return in_ranges(kWhiteSpaceRanges, c);
}

bool is_alphabetic(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  return in_ranges(kAlphabeticRanges, c);
}

bool is_numeric(char32_t c) {
  if (c < 0x80) return c >= '0' && c <= '9';
  return in_ranges(kNumericRanges, c);
}

char32_t decode_utf8(std::string_view text, std::size_t& pos) {
  if (pos >= text.size()) {
    ++pos;
    return kReplacement;
  }
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  const std::size_t length = sequence_length(text, pos);
  if (length == 0) {
    ++pos;
    return kReplacement;
  }
  // The lead byte keeps 7 - length payload bits; each continuation byte six.
  char32_t c = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    c = (c << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  }
  pos += length;
  return c;
}

void append_utf8(std::string& out, char32_t c) {
  if (c > kMaxCodePoint || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool is_valid_utf8(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t length = sequence_length(text, pos);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

std::size_t skip_white(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      if (!is_ascii_white(byte)) return pos;
      ++pos;
      continue;
    }
    std::size_t next = pos;
    if (!is_white_space(decode_utf8(text, next))) return pos;
    pos = next;
  }
  return text.size();
}

std::size_t find_white(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      if (is_ascii_white(byte)) return pos;
      ++pos;
      continue;
    }
    std::size_t next = pos;
    if (is_white_space(decode_utf8(text, next))) return pos;
    pos = next;
  }
  return text.size();
}

std::string_view trim_white(std::string_view text) {
  // Most texts have nothing to trim: an ASCII character that is not white at
  // either end settles it without decoding.
  const auto ends_plain = [](char end) {
    const auto byte = static_cast<unsigned char>(end);
    return byte < 0x80 && !is_ascii_white(byte);
  };
  if (!text.empty() && ends_plain(text.front()) && ends_plain(text.back())) return text;
  text.remove_prefix(skip_white(text));
  std::size_t length;
  while (!text.empty() && (length = trailing_white_length(text)) != 0) text.remove_suffix(length);
  return text;
}

bool is_blank(std::string_view text) { return skip_white(text) == text.size(); }

std::vector<std::string_view> split_white(std::string_view text) {
  std::vector<std::string_view> pieces;
  std::size_t start = skip_white(text);
  while (start < text.size()) {
    const std::size_t end = find_white(text, start);
    pieces.push_back(text.substr(start, end - start));
    start = skip_white(text, end);
  }
  return pieces;
}

std::size_t count_chars(std::string_view text) {
  std::size_t count = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
    } else {
      decode_utf8(text, pos);
    }
    ++count;
  }
  return count;
}

std::string quote_text(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  std::size_t pos = 0;
  while (pos < text.size()) append_escaped(out, decode_utf8(text, pos));
  out += '"';
  return out;
}

bool equals_ignoring_ascii_case(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace tolvar
