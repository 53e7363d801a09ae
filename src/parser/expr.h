// The expression tree of the XForms dialect of XPath 1.0.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace tolvar {

enum class Axis {
  Child,
  Parent,
  Self,
  Descendant,
  DescendantOrSelf,
  Ancestor,
  AncestorOrSelf,
  Attribute,
  Following,
  FollowingSibling,
  Preceding,
  PrecedingSibling,
};

enum class InfixOp { Or, And, Eq, Ne, Lt, Le, Gt, Ge, Add, Sub, Mul, Div, Mod };

// "<", "<=", ">" and ">=".
inline bool is_order(InfixOp op) {
  return op == InfixOp::Lt || op == InfixOp::Le || op == InfixOp::Gt || op == InfixOp::Ge;
}
// "=", "!=" and the order comparisons.
inline bool is_comparison(InfixOp op) {
  return op == InfixOp::Eq || op == InfixOp::Ne || is_order(op);
}
// "+", "-", "*", "div" and "mod".
inline bool is_arithmetic(InfixOp op) {
  return op == InfixOp::Add || op == InfixOp::Sub || op == InfixOp::Mul || op == InfixOp::Div ||
         op == InfixOp::Mod;
}

// `any` for *, node(), text(), comment(), processing-instruction();
// otherwise a local name (everything after the last ':').
struct NodeTest {
  bool any = false;
  std::string name;
};

struct Expr;

struct Step {
  Axis axis = Axis::Child;
  NodeTest test;
  std::vector<Expr> predicates;
};

enum class ExprKind { Number, Literal, Variable, Path, Filter, FunctionCall, Infix, Negate, Union };

// One node of the tree. Which fields are used depends on `kind`:
//   Number: number            Literal: text        Variable: text (the name)
//   Path: absolute, steps     Filter: lhs (primary), predicates, steps
//   FunctionCall: text (the name as written), args
//   Infix: args (two or more operands), ops (one fewer: ops[i] joins the
//          value of args[0..i] with args[i + 1])
//   Negate: lhs (operand)     Union: args (two or more operands)
// A run of operators of one precedence level, "a or b or c" or "a + b - c",
// is one node however long it is, read left to right as ((a or b) or c): a
// chain is not nesting, and nothing that walks the tree recurses along it.
struct Expr {
  ExprKind kind = ExprKind::Number;
  double number = 0;
  std::string text;
  bool absolute = false;
  std::vector<Step> steps;
  std::vector<Expr> predicates;
  std::vector<Expr> args;
  std::vector<InfixOp> ops;
  std::unique_ptr<Expr> lhs;
};

// Deepest nesting the parser accepts (parentheses, predicates, arguments,
// unary minus, operators of different levels); deeper input is refused so
// that the recursive parser and evaluator cannot exhaust the stack.
inline constexpr int kMaxExpressionDepth = 256;

// Lexes and parses the whole text. Fails with the lexer's or the parser's
// first message, or, as over a limit (Result::over_limit), when the
// expression nests deeper than kMaxExpressionDepth.
Result<Expr> parse_expression(std::string_view text);

}  // namespace tolvar
