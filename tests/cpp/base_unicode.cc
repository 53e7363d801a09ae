#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/unicode.h"

namespace tolvar {
namespace {

struct PropertyCase {
  char32_t code_point;
  bool white_space;
  bool alphabetic;
  bool numeric;
};

TEST(UnicodeProperties, FollowTheCharacterDatabase) {
  const PropertyCase cases[] = {
      {U' ', true, false, false},      {U'\t', true, false, false},
      {U'\x1C', false, false, false},  // information separators are not White_Space
      {0x85, true, false, false},      {0xA0, true, false, false},
      {0x1680, true, false, false},    {0x200B, false, false, false},  // zero width space
      {0x2028, true, false, false},    {0x3000, true, false, false},
      {U'a', false, true, false},      {0xE9, false, true, false},
      {0x0345, false, true, false},    // a combining mark that is Alphabetic
      {0x4E00, false, true, false},    {0x0660, false, false, true},  // Arabic-Indic zero
      {0x2167, false, true, true},     // Roman numeral eight: Nl and Other_Alphabetic
      {0xBD, false, false, true},      {U'7', false, false, true},
      {0x1F600, false, false, false},  {0x10FFFF, false, false, false},
  };
  for (const PropertyCase& c : cases) {
    SCOPED_TRACE(static_cast<unsigned>(c.code_point));
    EXPECT_EQ(is_white_space(c.code_point), c.white_space);
    EXPECT_EQ(is_alphabetic(c.code_point), c.alphabetic);
    EXPECT_EQ(is_numeric(c.code_point), c.numeric);
  }
}

struct DecodeCase {
  std::string_view bytes;
  std::vector<char32_t> code_points;
};

TEST(Utf8, DecodesScalarValuesAndReplacesEachMalformedByte) {
  const DecodeCase cases[] = {
      {"a\xC3\xA9", {U'a', 0xE9}},
      {"\xF0\x9F\x98\x80", {0x1F600}},
      {"\xC0\xAF", {0xFFFD, 0xFFFD}},          // overlong "/"
      {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},  // surrogate
      {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},  // above U+10FFFF
      {"\xE2\x82", {0xFFFD, 0xFFFD}},          // cut short
      {"\xEF\xBF\xBD", {0xFFFD}},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::vector<char32_t> decoded;
    for (std::size_t pos = 0; pos < c.bytes.size();) decoded.push_back(decode_utf8(c.bytes, pos));
    EXPECT_EQ(decoded, c.code_points);
    std::string encoded;
    for (char32_t code_point : decoded) append_utf8(encoded, code_point);
    EXPECT_EQ(is_valid_utf8(c.bytes), encoded == c.bytes);
  }
}

struct WhiteCase {
  std::string_view text;
  std::string_view trimmed;
  std::vector<std::string_view> pieces;
};

TEST(WhiteSpace, TrimAndSplitUseTheUnicodeProperty) {
  const WhiteCase cases[] = {
      {"  a b  ", "a b", {"a", "b"}},
      {"\xC2\xA0x\xE3\x80\x80", "x", {"x"}},            // U+00A0 and U+3000
      {"x \xC2\xA0 \xE2\x80\xA9\t", "x", {"x"}},         // mixed ASCII and U+00A0, U+2029
      {"a\xE2\x80\x83" "b", "a\xE2\x80\x83" "b", {"a", "b"}},  // U+2003 between
      {"\xE2\x80\x8Bx\xE2\x80\x8B", "\xE2\x80\x8Bx\xE2\x80\x8B", {"\xE2\x80\x8Bx\xE2\x80\x8B"}},
      {" \xC2\x85 ", "", {}},  // U+0085
      {"x\xA0", "x\xA0", {"x\xA0"}},  // a stray continuation byte is not white space
      {"", "", {}},
  };
  for (const WhiteCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(trim_white(c.text), c.trimmed);
    EXPECT_EQ(split_white(c.text), c.pieces);
    EXPECT_EQ(is_blank(c.text), c.trimmed.empty());
  }
}

TEST(CountChars, CountsCodePoints) {
  EXPECT_EQ(count_chars("a\xC3\xA9\xF0\x9F\x98\x80"), 3u);
  EXPECT_EQ(count_chars("\xC3"), 1u);
}

TEST(QuoteText, EscapesQuotesBackslashesAndHiddenCharacters) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"plain text", "\"plain text\""},
      {"say \"hi\" \\ bye", "\"say \\\"hi\\\" \\\\ bye\""},
      {"a\tb\rc\nd", "\"a\\tb\\rc\\nd\""},
      {std::string_view("\0", 1), "\"\\0\""},
      {"\x01\x7F", "\"\\u{1}\\u{7f}\""},
      {"\xC2\xA0|\xE2\x80\x8B|\xE2\x80\xA8", "\"\\u{a0}|\\u{200b}|\\u{2028}\""},
      {"\xF3\xA0\x80\x81", "\"\\u{e0001}\""},  // a format character
      {"\xCD\xB8", "\"\\u{378}\""},            // unassigned
      {"caf\xC3\xA9 \xE2\x82\xAC 'x'", "\"caf\xC3\xA9 \xE2\x82\xAC 'x'\""},
  };
  for (const auto& [text, quoted] : cases) EXPECT_EQ(quote_text(text), quoted);
}

}  // namespace
}  // namespace tolvar
