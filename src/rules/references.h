// The absolute paths an expression reads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "parser/expr.h"

namespace tolvar {

// Every location path of `expr` that resolves to plain names, written
// "/a/b/c", relative paths resolved against `context_path` (a bind's nodeset).
// In the order met; repeats kept.
std::vector<std::string> referenced_paths(const Expr& expr, std::string_view context_path);

}  // namespace tolvar
