// Numbers and tokens as parser messages write them.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "parser/render.h"

namespace tolvar {
namespace {

struct RenderNumberCase {
  double value;
  const char* text;
};

const RenderNumberCase kRenderNumberCases[] = {
    {0, "0.0"},
    {3, "3.0"},
    {0.5, "0.5"},
    {12.25, "12.25"},
    {0.1, "0.1"},
    {1e-4, "0.0001"},
    {1.5e-5, "1.5e-5"},
    {1e-5, "1e-5"},
    {1e15, "1000000000000000.0"},
    {9999999999999998, "9999999999999998.0"},
    {1e16, "1e16"},
    {1.25e17, "1.25e17"},
    {1e300, "1e300"},
    {5e-324, "5e-324"},
    {std::numeric_limits<double>::infinity(), "inf"},
};

TEST(Render, NumbersUseShortestDigitsWithAFraction) {
  for (const RenderNumberCase& c : kRenderNumberCases) {
    EXPECT_EQ(render_number(c.value), c.text) << c.value;
  }
}

TEST(Render, PayloadsAreQuotedWithEscapes) {
  EXPECT_EQ(render_token(Token{TokenKind::Literal, "a\"b\\c\td\n"}), R"(Literal("a\"b\\c\td\n"))");
  EXPECT_EQ(render_token(Token{TokenKind::Variable, ""}), R"(Variable(""))");
  EXPECT_EQ(render_token(Token{TokenKind::GreaterEqual, {}}), "GreaterEqual");
}

TEST(Render, FoundTokenIsSomeOrNone) {
  const std::vector<Token> tokens = {Token{TokenKind::Number, {}, 3}};
  EXPECT_EQ(render_found(tokens, 0), "Some(Number(3.0))");
  EXPECT_EQ(render_found(tokens, 1), "None");
}

}  // namespace
}  // namespace tolvar
