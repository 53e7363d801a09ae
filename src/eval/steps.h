// Location steps and predicates over lists of node ids.
#pragma once

#include <span>

#include "eval/context.h"
#include "parser/expr.h"
#include "base/result.h"

namespace tolvar {

// Keeps, predicate by predicate, the nodes for which the predicate holds,
// evaluated with the node's position and the list's size as context. A
// number holds when it equals the position.
Status apply_predicates(NodeIds& nodes, std::span<const Expr> predicates,
                        const EvalContext& context);

// Replaces `nodes` by the nodes the steps reach from them, step by step,
// each step's output normalised to document order.
Status apply_steps(NodeIds& nodes, std::span<const Step> steps,
                   const EvalContext& context);

}  // namespace tolvar
