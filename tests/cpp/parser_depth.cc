// Nesting beyond kMaxExpressionDepth is refused; anything accepted is no
// deeper. A chain of one level's operators is no nesting, however long.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "parser/expr.h"

namespace tolvar {
namespace {

const std::string kTooDeep =
    "the expression nests deeper than 256 levels — tolvar refuses it rather than risk running "
    "out of stack";

std::string repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// Longest chain of lhs/args/predicates below the node.
int depth(const Expr& expr) {
  int deepest = -1;
  const auto visit = [&](const Expr& child) { deepest = std::max(deepest, depth(child)); };
  for (const Step& step : expr.steps) std::ranges::for_each(step.predicates, visit);
  std::ranges::for_each(expr.predicates, visit);
  std::ranges::for_each(expr.args, visit);
  if (expr.lhs) visit(*expr.lhs);
  return deepest + 1;
}

std::string parens(int n) { return repeat("(", n) + "1" + repeat(")", n); }
std::string chain(const char* op, int terms) { return "a" + repeat(op, terms - 1); }
std::string minuses(int n) { return repeat("-", n) + "1"; }
std::string calls(int n) { return repeat("f(", n) + repeat(")", n); }
std::string predicates(int n) { return repeat("a[", n) + "1" + repeat("]", n); }

struct DepthCase {
  const char* name;
  std::string input;
  bool accepted;
};

const DepthCase kDepthCases[] = {
    {"256 parentheses", parens(256), true},
    {"257 parentheses", parens(257), false},
    {"100000 open parentheses", repeat("(", 100000), false},
    {"257-term or chain", chain(" or a", 257), true},
    {"258-term or chain", chain(" or a", 258), true},
    {"200-term or chain", chain(" or a", 200), true},
    {"100000-term sum", chain("+a", 100000), true},
    {"100000-term union", chain("|a", 100000), true},
    {"100000-term mixed sum", chain("+a-a", 50000), true},
    {"100000-term and chain", chain(" and a", 100000), true},
    {"100000-term comparison chain", chain("<a>=a", 50000), true},
    {"100000-term product", chain("*a div a mod a", 33334), true},
    {"chains of every level", chain(" or a and a=a<a+a*a|a", 20000), true},
    {"257 parenthesised sums", repeat("(", 257) + "a" + repeat("+a)", 257), false},
    {"256 parenthesised sums", repeat("(", 255) + "a" + repeat("+a)", 255) + "+a", true},
    {"256 minuses", minuses(256), true},
    {"257 minuses", minuses(257), false},
    {"100000 minuses", minuses(100000), false},
    {"256 nested calls", calls(256), true},
    {"300 nested calls", calls(300), false},
    {"256 nested predicates", predicates(256), true},
    {"300 nested predicates", predicates(300), false},
    {"a chain inside a chain", "(" + chain("+a", 200) + ")" + repeat("*a", 100), true},
    {"chains in arguments", repeat("f(", 100) + chain(" and a", 200) + repeat(")", 100), true},
    {"chains in 256 arguments", repeat("f(", 256) + chain(" and a", 200) + repeat(")", 256),
     false},
    {"chains in 255 arguments", repeat("f(", 255) + chain(" and a", 200) + repeat(")", 255),
     true},
    {"chain under parentheses", repeat("(", 200) + chain("=a", 50) + repeat(")", 200), true},
    {"100000 steps", chain("/a", 100000), true},
};

TEST(ParserDepth, DeepInputIsRefusedAndAcceptedTreesStayShallow) {
  for (const DepthCase& c : kDepthCases) {
    Result<Expr> parsed = parse_expression(c.input);
    ASSERT_EQ(parsed.ok(), c.accepted) << c.name;
    if (parsed.ok()) {
      EXPECT_LE(depth(parsed.value()), kMaxExpressionDepth) << c.name;
    } else {
      EXPECT_EQ(parsed.error(), kTooDeep) << c.name;
      EXPECT_TRUE(parsed.over_limit()) << c.name;
    }
  }
}

// What is wrong in the text is no limit, however deep it stands.
TEST(ParserDepth, SyntaxErrorsAreNotOverTheLimit) {
  const std::string kInvalid[] = {
      "1 +", "a[", "(1", "f(1,", "1 1", "'open", "-", parens(256) + ")", repeat("(", 200) + "1 +",
  };
  for (const std::string& text : kInvalid) {
    Result<Expr> parsed = parse_expression(text);
    ASSERT_FALSE(parsed.ok()) << text;
    EXPECT_FALSE(parsed.over_limit()) << text;
  }
}

}  // namespace
}  // namespace tolvar
