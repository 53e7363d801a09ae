#include <optional>
#include <string>
#include <string_view>

#include "rules/checker/checker.h"
#include "rules/checker/outline.h"
#include "rules/checker/read_paths.h"
#include "rules/checker/rules.h"
#include "rules/checker/walker.h"
#include "rules/form_reading.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

struct BreaksWording {
  const char* display;  // the "breaks" value of a finding
  const char* phrase;   // how a message says it
};

// Indexed by Breaks.
constexpr BreaksWording kBreaksWording[] = {
    {"Collect / KoboCollect", "on Collect / KoboCollect"},
    {"Enketo web forms", "on Enketo web forms"},
    {"both, differently", "and the two engines differ"},
    {"both, identically and silently", "identically on both engines"},
};

// Whether the bind keeps a calculation's result as text, as every XLSForm
// calculate does: a bind without a type or with type string. Attribute
// targets are entity declarations (…/@create, …/@update), which the server
// reads alike whichever way a boolean is written.
bool keeps_result_as_text(const XmlDocument& document, NodeId bind, std::string_view target) {
  if (target.find('@') != std::string_view::npos) return false;
  std::optional<std::string_view> type = given_attribute(document, bind, "type");
  if (!type) return true;
  std::string_view name = trim_white(*type);
  return name.substr(name.find(':') + 1) == "string";
}

// The hits of one rule expression: what a calculation stores, then the
// walker's, then the paths that name nothing in the primary instance.
std::vector<RuleHit> check_rule(const Expr& expr, const RuleSite& site, bool as_text) {
  std::vector<RuleHit> hits;
  if (site.rule == "calculate") {
    if (as_text) check_stored_boolean(expr, hits);
    check_one_value(expr, site, hits);
  }
  walk_expression(expr, site, hits);
  if (!site.outline.instance_paths.empty()) {
    for (const std::string& path : paths_read(expr, site.target)) {
      check_instance_path(path, site.outline, hits);
    }
  }
  return hits;
}

// The hits of one rule attribute. Syntax is the loader's business:
// portability is only asked of rules that parse, and one refused for its
// depth alone is unread, not wrong.
std::vector<RuleHit> check_source(std::string_view source, const RuleSite& site, bool as_text) {
  Result<Expr> expr = parse_expression(source);
  if (expr.ok()) return check_rule(expr.value(), site, as_text);
  std::vector<RuleHit> hits;
  if (expr.over_limit()) check_unread_rule(hits);
  return hits;
}

void check_bind(const XmlDocument& document, NodeId bind, const FormOutline& outline,
                std::vector<Finding>& findings) {
  std::optional<std::string_view> written_target = bind_target(document, bind);
  if (!written_target) return;
  const std::string_view target = trim_white(*written_target);
  bool as_text = keeps_result_as_text(document, bind, target);
  for (const RuleAttribute& attribute : kRuleAttributes) {
    const std::string_view rule = attribute.name;
    std::optional<std::string_view> source = given_attribute(document, bind, rule);
    if (!source) continue;
    // JavaRosa evaluates every rule but constraints of the nodes outside
    // repeats as the form loads.
    RuleSite site{outline, target, rule,
                  rule != "constraint" && !in_any_repeat(target, outline), {}};
    for (RuleHit& hit : check_source(*source, site, as_text)) {
      findings.push_back({std::string(target), std::string(rule),
                          std::string(trim_white(*source)), std::move(hit.construct),
                          std::move(hit.effect), hit.breaks, std::move(hit.suggestion)});
    }
  }
}

}  // namespace

const char* breaks_text(Breaks breaks) { return kBreaksWording[static_cast<int>(breaks)].display; }

std::vector<Finding> check_form_document(const XmlDocument& document, StopCheck* stop) {
  std::vector<Finding> findings;
  if (!document.has_root()) return findings;
  std::vector<NodeId> elements = document.descendants(document.root);
  elements.insert(elements.begin(), document.root);
  FormOutline outline = outline_form(document, elements);
  for (NodeId id : elements) {
    if (stop != nullptr && stop->should_stop()) break;
    if (document[id].name() == "bind") check_bind(document, id, outline, findings);
  }
  return findings;
}

std::string finding_says(const Finding& finding) {
  std::string says = finding.path + " (" + finding.rule + "): " + finding.construct + " \u2014 " +
                     finding.effect + ", " + kBreaksWording[static_cast<int>(finding.breaks)].phrase +
                     ".";
  if (finding.suggestion) says += " Write " + *finding.suggestion + " instead.";
  return says;
}

}  // namespace tolvar
