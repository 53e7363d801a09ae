// How deeply an expression nests predicates. Each level multiplies the work
// by the size of the node-set it filters ("//*[//*[//*]]" is cubic in the
// document), a cost that is the language's and not a fault; the harnesses
// skip deep nesting so that fuzzing time goes to finding faults.
#pragma once

#include "parser/expr.h"

namespace tolvar::fuzz {

// 0 without predicates; a predicate adds one level to what it contains.
int predicate_nesting(const Expr& expr);

}  // namespace tolvar::fuzz
