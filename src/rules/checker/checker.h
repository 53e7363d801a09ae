// The portability checker: constructs JavaRosa and Enketo treat differently.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "eval/stop_check.h"
#include "tree/document.h"

namespace tolvar {

enum class Breaks { Tablet, Browser, BothDifferently, BothSilently };

// "Collect / KoboCollect", "Enketo web forms", "both, differently",
// "both, identically and silently".
const char* breaks_text(Breaks breaks);

struct RuleHit {
  std::string construct;
  std::string effect;
  Breaks breaks = Breaks::Tablet;
  std::optional<std::string> suggestion;
};

struct Finding {
  std::string path;        // the bind's target, trimmed
  std::string rule;        // "relevant", "calculate", "constraint", "required", "readonly"
  std::string expression;  // the attribute value, trimmed
  std::string construct;
  std::string effect;
  Breaks breaks = Breaks::Tablet;
  std::optional<std::string> suggestion;
};

// Every finding of a parsed form, in bind, attribute and walk order.
// Never fails: unparsable rules and binds without a target are skipped; a
// rule nested too deep to read is reported as unchecked. Each element counts
// as one step of `stop`; after a stop the findings are those of the elements
// checked so far.
std::vector<Finding> check_form_document(const XmlDocument& document, StopCheck* stop = nullptr);

// "{path} ({rule}): {construct} — {effect}, {phrase}.{ Write … instead.}"
std::string finding_says(const Finding& finding);

}  // namespace tolvar
