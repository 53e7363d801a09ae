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

// Where a part of an expression stands: the form around it, the bind
// attribute holding it, and whether JavaRosa evaluates that part while the
// form loads. What a construct does can depend on all three.
struct RuleSite {
  const FormOutline& outline;
  std::string_view target;  // the bind's trimmed nodeset or ref
  std::string_view rule;    // "relevant", "calculate", "constraint", "required" or "readonly"
  // True for the parts of a relevant, calculate, required or readonly outside
  // every repeat that are evaluated whatever the data: not a predicate, an
  // if() branch or the right side of and/or.
  bool runs_on_loading = false;
  // The name of the nearest call this part is an argument of; empty at the top.
  std::string_view enclosing_call;
};

// The site of a part that is evaluated only for some data.
RuleSite conditional(const RuleSite& site);

// The "//" rule and the other axes JavaRosa refuses, for one location step.
void check_step(const Step& step, std::vector<RuleHit>& hits);

// The bare positional predicate rule, for one predicate of a location step.
void check_step_predicate(const Expr& predicate, std::vector<RuleHit>& hits);

// A plain absolute path to a field that repeats, on either side of a comparison.
void check_comparison(const Expr& lhs, const Expr& rhs, const RuleSite& site,
                      std::vector<RuleHit>& hits);

// A plain absolute path to a field that repeats, standing where one value is
// read: an operand of arithmetic, or a calculation's whole result.
void check_one_value(const Expr& operand, const RuleSite& site, std::vector<RuleHit>& hits);

// The same, for the arguments of a function that reads each as one value and
// the branches of if(); aggregates over a set (count(), sum(), join(), …)
// take repeats as they are.
void check_call_arguments(std::string_view name, const std::vector<Expr>& args,
                          const RuleSite& site, std::vector<RuleHit>& hits);

// A minus sign in front of anything but a written number.
void check_negation(const Expr& operand, std::vector<RuleHit>& hits);

// Rules on a call's name and literal arguments, outer call before inner.
void check_function_call(std::string_view name, const std::vector<Expr>& args,
                         const RuleSite& site, std::vector<RuleHit>& hits);

// The regex() rules: anchoring, and constructs one regex dialect lacks.
void check_regex(const std::vector<Expr>& args, std::vector<RuleHit>& hits);

// A date written as a string literal where the engines convert it: a
// relational comparison or addition and subtraction.
void check_date_text(InfixOp op, const Expr& lhs, const Expr& rhs, std::vector<RuleHit>& hits);

// A calculation whose whole result is a boolean, which the engines store
// under different texts.
void check_stored_boolean(const Expr& calculation, std::vector<RuleHit>& hits);

// A rule the parser refused for nesting deeper than kMaxExpressionDepth,
// which no other rule could look into.
void check_unread_rule(std::vector<RuleHit>& hits);

// A path read by an expression that names no element of the primary instance.
void check_instance_path(std::string_view path, const FormOutline& outline,
                         std::vector<RuleHit>& hits);

}  // namespace tolvar
