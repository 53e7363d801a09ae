#include <string>
#include <string_view>

#include "rules/checker/rules.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

// A function whose mere use is the problem, whatever its arguments.
struct NameRule {
  std::string_view name;
  const char* construct;
  Breaks breaks;
  const char* effect;
  const char* suggestion;  // null when there is nothing to write instead
  // The effect where JavaRosa evaluates the call while the form loads; null
  // when the effect holds everywhere.
  const char* effect_on_loading = nullptr;
};

constexpr const char* kMissingInEnketo = "Enketo does not implement it, so a web form cannot open this";

constexpr NameRule kNameRules[] = {
    {"last", "last()", Breaks::Tablet, "JavaRosa has no last(), so the rule fails",
     "count() of the repeat", "JavaRosa has no last(), so the form does not open"},
    // Enketo refuses a minus in front of a call, so -int(-x) is no rewrite.
    {"floor", "floor()", Breaks::Tablet, "JavaRosa has no floor()",
     "if(x < int(x), int(x) - 1, int(x))", "JavaRosa has no floor(), so the form does not open"},
    {"ceiling", "ceiling()", Breaks::Tablet, "JavaRosa has no ceiling()",
     "if(x > int(x), int(x) + 1, int(x))", "JavaRosa has no ceiling(), so the form does not open"},
    {"substring", "substring()", Breaks::Tablet, "JavaRosa has substr() but not substring()",
     "substr(), remembering it counts from 0 and its end is exclusive: substring(s, 2, 3) is "
     "substr(s, 1, 4)",
     "JavaRosa has substr() but not substring(), so the form does not open"},
    {"distance", "distance()", Breaks::BothDifferently,
     "Enketo rounds the answer to two decimals and JavaRosa does not, so a rule comparing a "
     "distance against a threshold can fall either side of it",
     "round(distance(\u2026)) or a comparison with room to spare"},
    {"area", "area()", Breaks::BothDifferently,
     "JavaRosa projects the shape onto a plane and Enketo uses a spherical formula, and Enketo "
     "also rounds to two decimals. Over a city block the two agree within a square metre; over a "
     "one-degree square they differ by about 0.0025%",
     "round() the result, or compare with a margin"},
    {"geofence", "geofence()", Breaks::Browser, kMissingInEnketo, nullptr},
    {"is-selected", "is-selected()", Breaks::Browser, kMissingInEnketo, nullptr},
    {"enclosed-area", "enclosed-area()", Breaks::Browser, kMissingInEnketo, nullptr},
    {"base64-decode", "base64-decode()", Breaks::Browser, kMissingInEnketo, nullptr},
    {"extract-signed", "extract-signed()", Breaks::Browser, kMissingInEnketo, nullptr},
};

// JavaRosa reads any casing of "true", Enketo only the lowercase one.
void check_boolean_from_string(const std::vector<Expr>& args, std::vector<RuleHit>& hits) {
  if (args.empty() || args[0].kind != ExprKind::Literal) return;
  const std::string& literal = args[0].text;
  if (literal == "true" || !equals_ignoring_ascii_case(literal, "true")) return;
  hits.push_back({"boolean-from-string(" + quote_text(literal) + ")",
                  "JavaRosa accepts any casing, Enketo only lowercase 'true'",
                  Breaks::BothDifferently, "'true' in lowercase"});
}

}  // namespace

void check_function_call(std::string_view name, const std::vector<Expr>& args,
                         const RuleSite& site, std::vector<RuleHit>& hits) {
  // round() is the rewrite: the two distances differ by under a centimetre,
  // where the areas differ by a share too large for rounding to metres.
  if (name == "distance" && site.enclosing_call == "round") return;
  for (const NameRule& rule : kNameRules) {
    if (rule.name != name) continue;
    const char* effect =
        rule.effect_on_loading && site.runs_on_loading ? rule.effect_on_loading : rule.effect;
    hits.push_back({rule.construct, effect, rule.breaks,
                    rule.suggestion ? std::optional<std::string>(rule.suggestion) : std::nullopt});
    return;
  }
  if (name == "regex") {
    check_regex(args, hits);
  } else if (name == "boolean-from-string") {
    check_boolean_from_string(args, hits);
  }
}

}  // namespace tolvar
