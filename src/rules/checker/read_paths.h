// The paths an expression reads, for the instance path rule.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "parser/expr.h"

namespace tolvar {

// The distinct paths `expr` reads, in the order first met: every absolute
// location path, and the relative ones that stand outside predicates and
// filters, each resolved against the bind's target.
std::vector<std::string> paths_read(const Expr& expr, std::string_view target);

}  // namespace tolvar
