// Enketo's evaluator reads "-" as the sign of a written number only: before a
// path, a call or a bracket its parser finds "too many tokens" and refuses
// the expression. JavaRosa and Web Forms negate anything.
#include "rules/checker/rules.h"

namespace tolvar {

void check_negation(const Expr& operand, std::vector<RuleHit>& hits) {
  // -1 is a written number; in --x the inner minus is the one reported.
  if (operand.kind == ExprKind::Number || operand.kind == ExprKind::Negate) return;
  hits.push_back({"a minus sign in front of a path, call or bracket",
                  "Enketo takes a minus sign only as part of a written number and refuses the "
                  "expression otherwise, so a web form does not open, or a constraint rejects "
                  "every answer",
                  Breaks::Browser, "0 - (\u2026), a subtraction every engine reads"});
}

}  // namespace tolvar
