#include "rules/checker/walker.h"

#include <cstddef>
#include <string_view>

#include "parser/expr_walk.h"

namespace tolvar {
namespace {

void check_operation(InfixOp op, const Expr& lhs, const Expr& rhs, const RuleSite& site,
                     std::vector<RuleHit>& hits) {
  if (is_comparison(op)) {
    check_comparison(lhs, rhs, site, hits);
  } else if (is_arithmetic(op)) {
    check_one_value(lhs, site, hits);
    check_one_value(rhs, site, hits);
  }
  check_date_text(op, lhs, rhs, hits);
}

// A chain reads as ((a = b) = c): the outer operation comes first, and its
// left side is the value of the earlier ones, which no rule looks into.
void check_chain(const Expr& chain, const RuleSite& site, std::vector<RuleHit>& hits) {
  const Expr earlier;
  for (std::size_t i = chain.ops.size(); i-- > 0;) {
    check_operation(chain.ops[i], i == 0 ? chain.args[0] : earlier, chain.args[i + 1], site, hits);
  }
}

// Arguments after an if()'s condition are chosen by it, and coalesce()
// reads its second only when the first is empty.
bool is_conditional_argument(std::string_view function, std::size_t index) {
  return index > 0 && (function == "if" || function == "coalesce");
}

// Hands each construct to its rules, with the site of the part it stands in.
struct Walker {
  std::vector<RuleHit>& hits;

  const RuleSite& expr(const Expr& expr, Place place, const RuleSite& site) {
    if (place == Place::StepPredicate) check_step_predicate(expr, hits);
    switch (expr.kind) {
      case ExprKind::FunctionCall:
        check_function_call(expr.text, expr.args, site, hits);
        check_call_arguments(expr.text, expr.args, site, hits);
        break;
      case ExprKind::Infix:
        check_chain(expr, site, hits);
        break;
      case ExprKind::Negate:
        check_negation(*expr.lhs, hits);
        break;
      default:
        break;
    }
    return site;
  }

  void step(const Step& step, const RuleSite&) { check_step(step, hits); }

  // A predicate runs only for the nodes its step finds.
  RuleSite part(const Step&, Place, std::size_t, const RuleSite& site) { return conditional(site); }

  RuleSite part(const Expr& holder, Place place, std::size_t index, const RuleSite& site) {
    switch (place) {
      case Place::FilterPredicate:
        return conditional(site);
      case Place::Operand:
        break;
      default:
        return site;
    }
    if (holder.kind == ExprKind::FunctionCall) {
      RuleSite argument = is_conditional_argument(holder.text, index) ? conditional(site) : site;
      argument.enclosing_call = holder.text;
      return argument;
    }
    // An operand of and/or after the first is skipped once the left decides.
    if (holder.kind == ExprKind::Infix && index > 0 &&
        (holder.ops[index - 1] == InfixOp::And || holder.ops[index - 1] == InfixOp::Or)) {
      return conditional(site);
    }
    return site;
  }
};

}  // namespace

RuleSite conditional(const RuleSite& site) {
  RuleSite inner = site;
  inner.runs_on_loading = false;
  return inner;
}

void walk_expression(const Expr& expr, const RuleSite& site, std::vector<RuleHit>& hits) {
  Walker walker{hits};
  walk_expr(expr, site, walker);
}

}  // namespace tolvar
