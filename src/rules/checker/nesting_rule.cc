// A rule nested deeper than tolvar reads is not wrong, and the engines may
// well run it (JavaRosa, Enketo and Web Forms all do just past the limit),
// but nothing here has looked inside it: it is reported, never passed.
#include <string>

#include "rules/checker/rules.h"

namespace tolvar {

void check_unread_rule(std::vector<RuleHit>& hits) {
  hits.push_back({"an expression nested deeper than " + std::to_string(kMaxExpressionDepth) +
                      " levels",
                  "tolvar does not read expressions nested this deep, so this rule went "
                  "unchecked",
                  Breaks::BothSilently, "calculations of their own for the inner parts"});
}

}  // namespace tolvar
