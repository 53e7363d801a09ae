// Tokens as the lexer makes them, written with the message rendering.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "parser/lexer.h"
#include "parser/render.h"

namespace tolvar {
namespace {

std::string lexed(std::string_view text) {
  Result<std::vector<Token>> tokens = lex_expression(text);
  if (!tokens.ok()) return "error: " + tokens.error();
  std::string out;
  for (const Token& token : tokens.value()) {
    if (!out.empty()) out += ' ';
    out += render_token(token);
  }
  return out;
}

struct LexCase {
  const char* input;
  const char* tokens;
};

const LexCase kLexCases[] = {
    {"", ""},
    {" \t\n\u00a0\u3000", ""},
    {"a\u2003b", R"(Name("a") Name("b"))"},
    {"child::a", R"(Name("child") DoubleColon Name("a"))"},
    {"a:", R"(Name("a:"))"},
    {"a:b:c", R"(Name("a:b:c"))"},
    {"a-b a.b a - b", R"(Name("a-b") Name("a.b") Name("a") Minus Name("b"))"},
    {"$x-1", R"(Variable("x-1"))"},
    {"$ x", R"(Variable("") Name("x"))"},
    {"$a:b", "error: unexpected character ':'"},
    {"1e3", R"(Number(1.0) Name("e3"))"},
    {"1. .5 007", "Number(1.0) Number(0.5) Number(7.0)"},
    {".5.5", "Number(0.5) Number(0.5)"},
    {".5..", "Number(0.5) DoubleDot"},
    {"5-3", "Number(5.0) Minus Number(3.0)"},
    {"../.", "DoubleDot Slash Dot"},
    {"//@*", "DoubleSlash At Star"},
    {"!=<=>=<>=", "NotEqual LessEqual GreaterEqual Less GreaterEqual"},
    {"()[],|+=", "LeftParen RightParen LeftBracket RightBracket Comma Pipe Plus Equal"},
    {"\"it's\"", R"(Literal("it's"))"},
    {"'say \"hi\"'", R"(Literal("say \"hi\""))"},
    {"'a\nb'", R"(Literal("a\nb"))"},
    {"''", R"(Literal(""))"},
    {"\u00e9t\u00e9 \u0663", "error: unexpected character '\u0663'"},
    {"x\u0663\u00b2\u00aa", R"(Name("x٣²ª"))"},
    {"\u00aa", R"(Name("ª"))"},
    {"\u00a7", "error: unexpected character '\u00a7'"},
    {"_x", R"(Name("_x"))"},
    {"a ! b", "error: unexpected character '!'"},
    {"a : b", "error: unexpected character ':'"},
    {"(1 #", "error: unexpected character '#'"},
    {"1.2.3", "error: '1.2.3' is not a number"},
    {"1..2", "error: '1..2' is not a number"},
    {"'abc", "error: unterminated string starting at character 1"},
    {"x = 'a", "error: unterminated string starting at character 5"},
    {"\u00e9\u00e9 = \"a", "error: unterminated string starting at character 6"},
    {"'a\" b", "error: unterminated string starting at character 1"},
};

TEST(Lexer, TokensAndMessagesFollowTheCharacterRules) {
  for (const LexCase& c : kLexCases) {
    EXPECT_EQ(lexed(c.input), c.tokens) << "input: " << c.input;
  }
}

struct NumberCase {
  const char* input;
  double value;
};

const NumberCase kNumberCases[] = {
    {"0.1", 0.1},
    {"9007199254740993", 9007199254740992.0},  // halfway: ties to even
    {"123456789012345678901234567890", 1.2345678901234568e29},
    {"0.00001", 1e-5},
};

TEST(Lexer, NumbersAreTheNearestDouble) {
  for (const NumberCase& c : kNumberCases) {
    Result<std::vector<Token>> tokens = lex_expression(c.input);
    ASSERT_TRUE(tokens.ok()) << c.input;
    EXPECT_EQ(tokens.value().at(0).number, c.value) << c.input;
  }
}

TEST(Lexer, DigitRunsBeyondTheRangeBecomeInfinityOrZero) {
  const std::string huge(400, '9');
  Result<std::vector<Token>> large = lex_expression(huge);
  ASSERT_TRUE(large.ok());
  EXPECT_EQ(large.value()[0].number, std::numeric_limits<double>::infinity());

  const std::string tiny = "0." + std::string(400, '0') + "1";
  Result<std::vector<Token>> small = lex_expression(tiny);
  ASSERT_TRUE(small.ok());
  EXPECT_EQ(small.value()[0].number, 0.0);

  const std::string subnormal = "0." + std::string(322, '0') + "5";
  Result<std::vector<Token>> least = lex_expression(subnormal);
  ASSERT_TRUE(least.ok());
  EXPECT_EQ(least.value()[0].number, 5e-323);
}

}  // namespace
}  // namespace tolvar
