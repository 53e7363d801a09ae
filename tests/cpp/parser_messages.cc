// Every parse failure and its exact message.
#include <gtest/gtest.h>

#include "parser/expr.h"

namespace tolvar {
namespace {

struct MessageCase {
  const char* input;
  const char* message;
};

const MessageCase kMessageCases[] = {
    {"", "expected a node test, found None"},
    {"   ", "expected a node test, found None"},
    {"1 +", "expected a node test, found None"},
    {"-", "expected a node test, found None"},
    {"//", "expected a node test, found None"},
    {"a/", "expected a node test, found None"},
    {"@", "expected a node test, found None"},
    {")", "expected a node test, found Some(RightParen)"},
    {"a[]", "expected a node test, found Some(RightBracket)"},
    {"f(a,)", "expected a node test, found Some(RightParen)"},
    {"1 | -a", "expected a node test, found Some(Minus)"},
    {"a/3", "expected a node test, found Some(Number(3.0))"},
    {"a/'x'", R"(expected a node test, found Some(Literal("x")))"},
    {"(1", "expected RightParen, found None"},
    {"f(1 2)", "expected RightParen, found Some(Number(2.0))"},
    {"text(", "expected RightParen, found None"},
    {"processing-instruction('x')", R"(expected RightParen, found Some(Literal("x")))"},
    {"a[1", "expected RightBracket, found None"},
    {"a[1 b]", R"(expected RightBracket, found Some(Name("b")))"},
    {"namespace::x", "unsupported axis 'namespace'"},
    {"a::b", "unsupported axis 'a'"},
    {"Child::a", "unsupported axis 'Child'"},
    {"1 2", R"(unexpected trailing input in "1 2" at token 1)"},
    {"a b", R"(unexpected trailing input in "a b" at token 1)"},
    {"a AND b", R"(unexpected trailing input in "a AND b" at token 1)"},
    {"a = \"x\" y", R"(unexpected trailing input in "a = \"x\" y" at token 3)"},
    {"a\tb", R"(unexpected trailing input in "a\tb" at token 1)"},
    {"1e3", R"(unexpected trailing input in "1e3" at token 1)"},
    {"'it''s'", R"(unexpected trailing input in "'it''s'" at token 1)"},
    {"@child::x", R"(unexpected trailing input in "@child::x" at token 2)"},
    {"..b", R"(unexpected trailing input in "..b" at token 1)"},
    {"$x(1)", R"~(unexpected trailing input in "$x(1)" at token 1)~"},
    {"a)", R"~(unexpected trailing input in "a)" at token 1)~"},
    // The lexer runs over the whole text first.
    {"(1 #", "unexpected character '#'"},
    {"a/ 'x", "unterminated string starting at character 4"},
    {") 1.2.3", "'1.2.3' is not a number"},
};

TEST(Parser, FailuresCarryTheExactMessage) {
  for (const MessageCase& c : kMessageCases) {
    Result<Expr> parsed = parse_expression(c.input);
    if (parsed.ok()) {
      ADD_FAILURE() << c.input << " parsed";
      continue;
    }
    EXPECT_EQ(parsed.error(), c.message) << "input: " << c.input;
  }
}

}  // namespace
}  // namespace tolvar
