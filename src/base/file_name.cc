#include "base/file_name.h"

#include <algorithm>
#include <cstddef>

#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr char32_t kEscapeBase = 0xDC00;
// U+212A KELVIN SIGN, which str.lower() makes a "k".
constexpr std::string_view kKelvinSign = "\xE2\x84\xAA";

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

// The code point Python decodes at name[pos], advancing past it. A
// well-formed sequence is at least two bytes long, so a byte at or above
// 0x80 taken alone is one outside any, which Python escapes.
char32_t decode_unit(std::string_view name, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(name[pos]);
  const std::size_t start = pos;
  const char32_t code_point = decode_utf8(name, pos);
  return lead >= 0x80 && pos == start + 1 ? kEscapeBase + lead : code_point;
}

char lower_ascii(char byte) { return byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte; }

}  // namespace

bool file_name_precedes(std::string_view name, std::string_view other) {
  // Where both are ASCII their bytes are their code points.
  if (is_ascii(name) && is_ascii(other)) return name < other;
  std::size_t at = 0, other_at = 0;
  while (at < name.size() && other_at < other.size()) {
    const char32_t unit = decode_unit(name, at);
    const char32_t other_unit = decode_unit(other, other_at);
    if (unit != other_unit) return unit < other_unit;
  }
  return at == name.size() && other_at < other.size();
}

// Matched from the end, a character of the name at a time. Of the
// characters beyond ASCII only two lower-case to anything with an ASCII
// letter in it: the Kelvin sign to "k", and U+0130 to "i" followed by
// U+0307, which being no ASCII letter itself can end no ASCII suffix. An
// escaped byte stays what it is. So a name's character matches a suffix's
// letter when it is that letter in either case, or the Kelvin sign for "k".
bool file_name_ends_with(std::string_view name, std::string_view lower_suffix) {
  std::size_t end = name.size();
  for (std::size_t i = lower_suffix.size(); i-- > 0;) {
    const char letter = lower_suffix[i];
    if (end > 0 && lower_ascii(name[end - 1]) == letter) {
      --end;
    } else if (letter == 'k' && name.substr(0, end).ends_with(kKelvinSign)) {
      end -= kKelvinSign.size();
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace tolvar
