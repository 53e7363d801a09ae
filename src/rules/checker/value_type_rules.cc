// Values whose type the engines read differently: the boolean a calculation
// stores, and a date written as text.
#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "rules/checker/rules.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

// Functions whose result is a boolean.
constexpr std::string_view kBooleanFunctions[] = {
    "boolean",  "boolean-from-string", "checklist", "contains", "ends-with", "false",
    "not",      "regex",               "selected",  "starts-with", "true",   "weighted-checklist",
};

bool is_boolean_result(const Expr& expr) {
  if (expr.kind == ExprKind::Infix) {
    const InfixOp outermost = expr.ops.back();
    return is_comparison(outermost) || outermost == InfixOp::Or || outermost == InfixOp::And;
  }
  if (expr.kind != ExprKind::FunctionCall) return false;
  // if() passes on one of its branches; depth is bounded by the parser's limit.
  if (expr.text == "if") {
    return expr.args.size() == 3 && is_boolean_result(expr.args[1]) &&
           is_boolean_result(expr.args[2]);
  }
  return std::find(std::begin(kBooleanFunctions), std::end(kBooleanFunctions), expr.text) !=
         std::end(kBooleanFunctions);
}

bool is_digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "2020-01-01": the form the browsers take for a date.
bool is_date_text(std::string_view text) {
  return text.size() == 10 && text[4] == '-' && text[7] == '-' && is_digits(text.substr(0, 4)) &&
         is_digits(text.substr(5, 2)) && is_digits(text.substr(8, 2));
}

void check_date_operand(const Expr& operand, std::vector<RuleHit>& hits) {
  if (operand.kind != ExprKind::Literal || !is_date_text(operand.text)) return;
  hits.push_back({"the date written as text " + quote_text(operand.text),
                  "JavaRosa reads it as text and the browsers as a date, so the two engines "
                  "compute different results",
                  Breaks::BothDifferently, "date('" + operand.text + "')"});
}

}  // namespace

void check_date_text(InfixOp op, const Expr& lhs, const Expr& rhs, std::vector<RuleHit>& hits) {
  // Equality compares a literal as text (XPath 1.0); ordering and
  // arithmetic convert it, which is where the engines part.
  if (!is_order(op) && op != InfixOp::Add && op != InfixOp::Sub) return;
  check_date_operand(lhs, hits);
  check_date_operand(rhs, hits);
}

void check_stored_boolean(const Expr& calculation, std::vector<RuleHit>& hits) {
  if (!is_boolean_result(calculation)) return;
  hits.push_back({"a calculation that stores a boolean",
                  "JavaRosa stores it as 1 or 0 and the browsers as true or false, so the saved "
                  "value, and any rule that compares it with 'true' or 1, differs between them",
                  Breaks::BothDifferently, "if(\u2026, 1, 0) or if(\u2026, 'yes', 'no')"});
}

}  // namespace tolvar
