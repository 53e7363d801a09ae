#include "nesting.h"

#include <algorithm>
#include <vector>

namespace tolvar::fuzz {
namespace {

int deepest_predicate(const std::vector<Expr>& predicates) {
  int deepest = 0;
  for (const Expr& predicate : predicates) deepest = std::max(deepest, 1 + predicate_nesting(predicate));
  return deepest;
}

}  // namespace

// Recursion is bounded by the parser's kMaxExpressionDepth.
int predicate_nesting(const Expr& expr) {
  int deepest = deepest_predicate(expr.predicates);
  for (const Step& step : expr.steps) deepest = std::max(deepest, deepest_predicate(step.predicates));
  for (const Expr& arg : expr.args) deepest = std::max(deepest, predicate_nesting(arg));
  if (expr.lhs) deepest = std::max(deepest, predicate_nesting(*expr.lhs));
  return deepest;
}

}  // namespace tolvar::fuzz
