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
};

constexpr const char* kMissingInEnketo = "Enketo does not implement it, so a web form cannot open this";

constexpr NameRule kNameRules[] = {
    {"last", "last()", Breaks::Tablet, "JavaRosa has no last(), so the rule fails",
     "count() of the repeat"},
    {"floor", "floor()", Breaks::Tablet, "JavaRosa has no floor()",
     "int() for a positive number, or -int(-x) to round down"},
    {"ceiling", "ceiling()", Breaks::Tablet, "JavaRosa has no ceiling()",
     "-int(-x), or int(x) + 1 when x has a fraction"},
    {"substring", "substring()", Breaks::Tablet, "JavaRosa has substr() but not substring()",
     "substr(), remembering it counts from 0 and its end is exclusive: substring(s, 2, 3) is "
     "substr(s, 1, 4)"},
    {"pulldata", "pulldata()", Breaks::Browser,
     "pulldata() is ODK Collect's own function, not an XForms one. Enketo does not have it, so "
     "every rule that calls it fails there",
     "instance('file')/root/item[key = \u2026]/column, which both engines evaluate"},
    {"distance", "distance()", Breaks::BothDifferently,
     "Enketo rounds the answer to two decimals and JavaRosa does not, so a rule comparing a "
     "distance against a threshold can fall either side of it",
     "round(distance(\u2026)) or a comparison with room to spare"},
    {"area", "area()", Breaks::BothDifferently,
     "JavaRosa projects the shape onto a plane and Enketo uses a spherical formula, and Enketo "
     "also rounds to two decimals. Over a city block the two agree within a square metre; over a "
     "degree they differ by a tenth of a percent",
     "round() the result, or compare with a margin"},
    {"geofence", "geofence()", Breaks::Browser, kMissingInEnketo, nullptr},
    {"is-selected", "is-selected()", Breaks::Browser, kMissingInEnketo, nullptr},
    {"enclosed-area", "enclosed-area()", Breaks::Browser, kMissingInEnketo, nullptr},
    {"base64-decode", "base64-decode()", Breaks::Browser, kMissingInEnketo, nullptr},
    {"extract-signed", "extract-signed()", Breaks::Browser, kMissingInEnketo, nullptr},
};

// A "|" outside any class or group, which the anchors do not span.
bool has_top_level_alternation(std::string_view pattern) {
  bool in_class = false;
  int depth = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '\\') {
      ++i;
    } else if (c == '[') {
      in_class = true;
    } else if (c == ']') {
      in_class = false;
    } else if (in_class) {
      continue;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth > 0) --depth;
    } else if (c == '|' && depth == 0) {
      return true;
    }
  }
  return false;
}

// JavaRosa matches the whole value, Enketo searches within it; only a
// pattern anchored at both ends around one alternative means the same to both.
void check_regex(const std::vector<Expr>& args, std::vector<RuleHit>& hits) {
  if (args.size() < 2 || args[1].kind != ExprKind::Literal) {
    hits.push_back({"regex() with a pattern that is not written out",
                    "the pattern is built at runtime, so whether it anchors cannot be checked "
                    "here \u2014 the two engines still differ on unanchored ones",
                    Breaks::BothDifferently, std::nullopt});
    return;
  }
  std::string_view pattern = args[1].text;
  std::string suggestion = "'^(?:" + std::string(pattern) + ")$'";
  bool anchored = pattern.starts_with('^') && pattern.ends_with('$');
  if (!anchored) {
    hits.push_back({"regex() with the unanchored pattern " + quote_text(pattern),
                    "JavaRosa requires the whole value to match while Enketo accepts a match "
                    "anywhere in it, so the same answer passes in one and fails in the other",
                    Breaks::BothDifferently, std::move(suggestion)});
  } else if (has_top_level_alternation(pattern)) {
    hits.push_back({"regex() with alternation outside the anchors: " + quote_text(pattern),
                    "the ^ and $ bind only to the first and last alternatives, so this is "
                    "anchored in JavaRosa and loose in Enketo despite looking anchored",
                    Breaks::BothDifferently, std::move(suggestion)});
  }
}

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
                         std::vector<RuleHit>& hits) {
  for (const NameRule& rule : kNameRules) {
    if (rule.name != name) continue;
    hits.push_back({rule.construct, rule.effect, rule.breaks,
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
