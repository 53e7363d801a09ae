// The portability rules the expression walker hands each construct to. Each
// appends what it finds to `hits`, in the order found, and never fails.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "parser/expr.h"
#include "rules/checker/checker.h"
#include "rules/checker/outline.h"

namespace tolvar {

// The "//" rule, for one location step.
void check_step(const Step& step, std::vector<RuleHit>& hits);

// The bare positional predicate rule, for one predicate of a location step.
void check_step_predicate(const Expr& predicate, std::vector<RuleHit>& hits);

// A plain absolute path into a repeat as one side of a comparison.
void check_compared_operand(const Expr& operand, const std::vector<std::string>& repeat_paths,
                            std::vector<RuleHit>& hits);

// At most one hit for a call, judged on its name and literal arguments.
void check_function_call(std::string_view name, const std::vector<Expr>& args,
                         std::vector<RuleHit>& hits);

// A path read by an expression that names no element of the primary instance.
void check_instance_path(std::string_view path, const FormOutline& outline,
                         std::vector<RuleHit>& hits);

}  // namespace tolvar
