#include "rules/checker/walker.h"

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

}  // namespace

void walk_expression(const Expr& expr, const std::vector<std::string>& repeat_paths,
                     std::vector<RuleHit>& hits) {
  switch (expr.kind) {
    case ExprKind::Number:
    case ExprKind::Literal:
    case ExprKind::Variable:
      return;
    case ExprKind::Path:
      check_steps(expr.steps, repeat_paths, hits);
      return;
    case ExprKind::Filter:
      walk_expression(*expr.lhs, repeat_paths, hits);
      for (const Expr& predicate : expr.predicates) walk_expression(predicate, repeat_paths, hits);
      check_steps(expr.steps, repeat_paths, hits);
      return;
    case ExprKind::FunctionCall:
      check_function_call(expr.text, expr.args, hits);
      for (const Expr& arg : expr.args) walk_expression(arg, repeat_paths, hits);
      return;
    case ExprKind::Infix:
      if (is_comparison(expr.op)) check_comparison(*expr.lhs, *expr.rhs, repeat_paths, hits);
      walk_expression(*expr.lhs, repeat_paths, hits);
      walk_expression(*expr.rhs, repeat_paths, hits);
      return;
    case ExprKind::Union:
      walk_expression(*expr.lhs, repeat_paths, hits);
      walk_expression(*expr.rhs, repeat_paths, hits);
      return;
    case ExprKind::Negate:
      walk_expression(*expr.lhs, repeat_paths, hits);
      return;
  }
}

}  // namespace tolvar
