// Plain paths: chains of named child steps, the paths that name instance
// nodes directly.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "parser/expr.h"

namespace tolvar {

// A step down the child axis to elements of one name ("q", not "*").
inline bool is_named_child(const Step& step) {
  return step.axis == Axis::Child && !step.test.any;
}

// A named child step without predicates.
inline bool is_plain_child(const Step& step) {
  return is_named_child(step) && step.predicates.empty();
}

// The names a location path steps through, when every step is a plain
// child step; nothing for any other expression. "/" alone gives no names.
std::optional<std::vector<std::string_view>> plain_child_names(const Expr& path);

}  // namespace tolvar
