#include <gtest/gtest.h>

#include <re2/re2.h>

#include <string>

#include "functions_harness.h"
#include "functions/regex.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

using function_testing::run_text;

struct TextCase {
  const char* expression;
  const char* expected;  // "error: " and the message for a failure
};

constexpr const char* kData =
    "<data><nl>a\nb</nl><ref> /data/q </ref><choice> a </choice></data>";

TestHost host_with_tables() {
  TestHost host{std::string(function_testing::kToday), std::string(function_testing::kNow)};
  host.labels[{"a", "/data/q"}] = "Apple";
  host.tables.emplace("fruits", parse_document(
                                    "<root><item><name>apple</name><price>3</price></item>"
                                    "<item><price>0</price></item>"
                                    "<item><name>pear</name><price>5</price></item></root>"));
  host.tables.emplace("wrapped", parse_document(
                                     "<root><rows><item><name>fig</name><price>9</price></item>"
                                     "</rows></root>"));
  host.tables.emplace("empty", XmlDocument{});
  return host;
}

class TextFunctionTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextFunctionTest, GivesTextOrMessage) {
  TestHost host = host_with_tables();
  XmlDocument document = parse_document(kData);
  EXPECT_EQ(run_text(GetParam().expression, host, document), GetParam().expected)
      << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Regex, TextFunctionTest,
    ::testing::Values(
        TextCase{"regex('abc', 'b')", "false"}, TextCase{"regex('abc', 'a.c')", "true"},
        TextCase{"regex('ab', 'a|b')", "false"}, TextCase{"regex('', '')", "true"},
        TextCase{"regex('ABC', '[a-z]+')", "false"}, TextCase{"regex(/data/nl, 'a.b')", "false"},
        TextCase{"regex('axx', 'a)|(b')", "false"},
        TextCase{"regex('١٢٣', '\\d+')", "true"}, TextCase{"regex('١', '\\D')", "false"},
        TextCase{"regex('é_ß', '\\w+')", "true"}, TextCase{"regex('é', '\\W')", "false"},
        TextCase{"regex('\u00a0\u3000', '\\s+')", "true"}, TextCase{"regex('\u2003', '\\S')", "false"},
        TextCase{"regex('x١', '[x\\d]+')", "true"}, TextCase{"regex('é', '[^\\w]')", "false"},
        TextCase{"regex('\u00a0', '[^\\S]')", "true"}, TextCase{"regex('٣', '[^\\D]')", "true"},
        TextCase{"regex('-é', '[é\\W]+')", "true"}, TextCase{"regex('^', '[\\W^]')", "true"},
        TextCase{"regex('a', '[\\W^]')", "false"}, TextCase{"regex('\\d', '\\\\d')", "true"},
        TextCase{"regex('\\d', '\\Q\\d\\E')", "true"}, TextCase{"regex('[:', '[[:alpha:]\\W]+')", "true"},
        TextCase{"regex('x', '(')",
                 "error: regex(): \"(\" is not a pattern this engine can build — missing ): ^(?:()$"},
        TextCase{"regex('x', '\\d(')",
                 "error: regex(): \"\\\\d(\" is not a pattern this engine can build — missing ): "
                 "^(?:\\d()$"},
        TextCase{"regex('x', '(a)\\1')",
                 "error: regex(): \"(a)\\\\1\" is not a pattern this engine can build — invalid "
                 "escape sequence: \\1"},
        TextCase{"regex('x', '[^a\\W]')",
                 "error: regex(): \"[^a\\\\W]\" is not a pattern this engine can build — \\W cannot "
                 "stand inside a negated class [^...]"}));

INSTANTIATE_TEST_SUITE_P(
    Selections, TextFunctionTest,
    ::testing::Values(
        TextCase{"selected('a b  c', ' b ')", "true"}, TextCase{"selected('a b c', '')", "false"},
        TextCase{"selected('ab c', 'a')", "false"}, TextCase{"selected('a\u00a0b', 'b')", "true"},
        TextCase{"selected('a B', 'b')", "false"}, TextCase{"selected-at('a b c', 1)", "b"},
        TextCase{"selected-at('a b c', 1.9)", "b"}, TextCase{"selected-at('a b c', 3)", ""},
        TextCase{"selected-at('a b c', -1)", ""}, TextCase{"selected-at('a b c', 'x')", ""},
        TextCase{"selected-at('a b c', 1 div 0)", ""}, TextCase{"selected-at(' a b', 0)", "a"},
        TextCase{"count-selected('')", "0"}, TextCase{"count-selected(' a  b ')", "2"}));

INSTANTIATE_TEST_SUITE_P(
    ChoicesAndTables, TextFunctionTest,
    ::testing::Values(
        TextCase{"jr:choice-name('a', '/data/q')", "Apple"},
        TextCase{"choice-name(/data/choice, /data/ref)", "Apple"},
        TextCase{"jr:choice-name('zz', ' /data/q ')",
                 "error: jr:choice-name(): no choice \"zz\" for /data/q — the evaluator was given "
                 "no choice list for that question"},
        TextCase{"pulldata('fruits', 'price', 'name', ' apple ')", "3"},
        TextCase{"pulldata('fruits', 'price', 'name', 'pear', 'ignored')", "5"},
        TextCase{"pulldata('fruits', 'price', 'name', '')", "0"},
        TextCase{"pulldata('fruits', 'colour', 'name', 'apple')", ""},
        TextCase{"pulldata('fruits', 'price', 'name', 'plum')", ""},
        TextCase{"pulldata('wrapped', 'price', 'name', 'fig')", "9"},
        TextCase{"pulldata('empty', 'price', 'name', 'fig')", ""},
        TextCase{"pulldata('fruits', 'price', 'name')",
                 "error: pulldata() needs an argument in position 4"},
        TextCase{"pulldata('veg', 'price', 'name', 'leek')",
                 "error: pulldata() cannot find the table 'veg' — the form declares it as an "
                 "external file, and nothing has loaded it"}));

TEST(ChoiceName, EmptyValueAsksNothing) {
  TestHost host{std::string(function_testing::kToday), std::string(function_testing::kNow)};
  XmlDocument document = parse_document(kData);
  EXPECT_EQ(run_text("jr:choice-name(' ', nosuchfn())", host, document), "");
  EXPECT_EQ(host.label_asks, 0);
}

// The rewritten \s and \S must agree with the White_Space table everywhere.
TEST(WidenClassEscapes, SpaceClassesFollowWhiteSpaceProperty) {
  RE2::Options quiet;
  quiet.set_log_errors(false);
  for (const char* pattern : {"\\s", "[\\s]", "\\S", "[\\S]", "[^\\s]", "[^\\S]"}) {
    Result<std::string> widened = widen_class_escapes(pattern);
    ASSERT_TRUE(widened.ok()) << pattern;
    RE2 compiled(widened.value(), quiet);
    ASSERT_TRUE(compiled.ok()) << compiled.error();
    bool wants_space = (std::string(pattern).find('S') == std::string::npos) !=
                       (std::string(pattern).find('^') != std::string::npos);
    for (char32_t c = 0; c <= 0x10FFFF; c += (c < 0x3100 ? 1 : 97)) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      std::string text;
      append_utf8(text, c);
      ASSERT_EQ(RE2::FullMatch(text, compiled), is_white_space(c) == wants_space)
          << pattern << " U+" << std::hex << static_cast<unsigned>(c);
    }
  }
}

}  // namespace
}  // namespace tolvar
