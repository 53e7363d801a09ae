#include "rules/checker/walker.h"

#include "parser/expr_walk.h"
#include "rules/checker/rules.h"

namespace tolvar {
namespace {

bool is_comparison(InfixOp op) {
  switch (op) {
    case InfixOp::Eq:
    case InfixOp::Ne:
    case InfixOp::Lt:
    case InfixOp::Le:
    case InfixOp::Gt:
    case InfixOp::Ge:
      return true;
    default:
      return false;
  }
}

// A chain reads as ((a = b) = c): the outer comparison, whose left side is
// the value of an earlier one and never a path, is checked first.
void check_comparisons(const Expr& chain, const std::vector<std::string>& repeat_paths,
                       std::vector<RuleHit>& hits) {
  for (std::size_t i = chain.ops.size(); i-- > 0;) {
    if (!is_comparison(chain.ops[i])) continue;
    if (i == 0) check_compared_operand(chain.args[0], repeat_paths, hits);
    check_compared_operand(chain.args[i + 1], repeat_paths, hits);
  }
}

// Hands each construct to its rule; the state goes unused.
struct Walker {
  const std::vector<std::string>& repeat_paths;
  std::vector<RuleHit>& hits;

  bool expr(const Expr& expr, Place place, bool) {
    if (place == Place::StepPredicate) check_step_predicate(expr, hits);
    if (expr.kind == ExprKind::FunctionCall) {
      check_function_call(expr.text, expr.args, hits);
    } else if (expr.kind == ExprKind::Infix) {
      check_comparisons(expr, repeat_paths, hits);
    }
    return true;
  }
  void step(const Step& step, bool) { check_step(step, hits); }
};

}  // namespace

void walk_expression(const Expr& expr, const std::vector<std::string>& repeat_paths,
                     std::vector<RuleHit>& hits) {
  Walker walker{repeat_paths, hits};
  walk_expr(expr, true, walker);
}

}  // namespace tolvar
