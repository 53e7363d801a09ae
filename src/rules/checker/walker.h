// The one walk over an expression that hands its parts to the rules.
#pragma once

#include <vector>

#include "parser/expr.h"
#include "rules/checker/checker.h"
#include "rules/checker/rules.h"

namespace tolvar {

// Depth-first in written order (walk_expr): a call is checked before its
// arguments, an operator before its operands, a filter's primary and
// predicates before its trailing steps, a step before its predicates.
void walk_expression(const Expr& expr, const RuleSite& site, std::vector<RuleHit>& hits);

}  // namespace tolvar
