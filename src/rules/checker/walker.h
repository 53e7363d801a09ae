// The one walk over an expression that hands its parts to the rules.
#pragma once

#include <string>
#include <vector>

#include "parser/expr.h"
#include "rules/checker/checker.h"

namespace tolvar {

// Depth-first in written order (walk_expr): a call is checked before its
// arguments, a comparison before its operands, a filter's primary and
// predicates before its trailing steps, a step before its predicates.
void walk_expression(const Expr& expr, const std::vector<std::string>& repeat_paths,
                     std::vector<RuleHit>& hits);

}  // namespace tolvar
