// Order comparisons and arithmetic where an operand is a date.
//
// Collect reads a value as a date when the form types its node as one or a
// date function gave it; Enketo reads any date text as a date. Both compare
// dates chronologically and count a day as its number since 1970-01-01. Where
// the two readings lead to different answers, neither answer is given.
#pragma once

#include <optional>

#include "eval/context.h"
#include "eval/value.h"
#include "parser/expr.h"
#include "base/result.h"

namespace tolvar {

// The value of `op` (an order comparison or arithmetic) over the evaluated
// operands, written as `left` and `right`, or nothing when neither engine reads either operand as
// a date, so that the plain number rules apply. Fails where the answer
// depends on an unnamed time zone or on which engine runs the form.
std::optional<Result<Value>> date_infix(InfixOp op, const Expr& left, const Expr& right,
                                        const Value& lhs, const Value& rhs,
                                        const EvalContext& context);

// The same for unary minus, `expr` being the Negate node.
std::optional<Result<Value>> date_negate(const Expr& expr, const Value& operand,
                                         const EvalContext& context);

}  // namespace tolvar
