// Fields that repeat, read where the engines expect one value.
//
// JavaRosa reads an absolute path through a repeat that also holds the bound
// node as the bound node's own row. Any other repeat on the path leaves a set
// of rows, which JavaRosa refuses to read as one value ("This field is
// repeated") while the browsers read the first row. Enketo inserts the row
// into absolute paths inside repeats too, except in a form that declares
// odk:xforms-version: there it reads every row, as Web Forms does.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parser/plain_path.h"
#include "rules/checker/rules.h"

namespace tolvar {
namespace {

// Functions that read each argument as one string, number or date. Those
// not listed either aggregate a set (count(), sum(), join(), max(), min(),
// indexed-repeat(), distance(), …) or were not measured.
// choice-name() without its prefix is not listed: no engine knows it.
constexpr std::string_view kOneValueFunctions[] = {
    "abs",         "boolean-from-string", "concat",         "contains",
    "count-selected", "date",             "date-time",      "decimal-date-time", "ends-with",
    "exp",         "format-date",         "format-date-time", "int",           "jr:choice-name",
    "log",         "log10",               "normalize-space", "number",         "pow",
    "regex",       "round",               "selected",       "selected-at",     "sqrt",
    "starts-with", "string",              "string-length",  "substr",          "substring-after",
    "substring-before", "translate",
};

// The browsers read a set of rows as its first row, except that concat()
// joins them all.
constexpr const char* kBrowsersRead = "the first row, or every row in concat()";

// "/a/b/c" for an absolute path of plain named child steps; empty otherwise.
std::string plain_absolute_path(const Expr& operand) {
  std::string text;
  if (!operand.absolute) return text;
  std::optional<std::vector<std::string_view>> names = plain_child_names(operand);
  if (!names) return text;
  for (std::string_view name : *names) {
    text += '/';
    text += name;
  }
  return text;
}

// A plain absolute path that passes through at least one repeat.
struct RepeatedPath {
  std::string path;
  // The repeats on the path that do not hold the bound node, outermost
  // first: each leaves a set of rows. Empty when every repeat on the path
  // also holds the bound node, so JavaRosa reads the bound node's row.
  std::vector<std::string_view> open_repeats;
};

std::optional<RepeatedPath> repeated_path(const Expr& operand, const RuleSite& site) {
  std::string path = plain_absolute_path(operand);
  if (path.empty()) return std::nullopt;
  const std::vector<std::string_view> holding = repeats_holding(path, site.outline);
  if (holding.empty()) return std::nullopt;
  std::vector<std::string_view> open;
  for (std::string_view repeat : holding) {
    if (!is_under_repeat(site.target, repeat)) open.push_back(repeat);
  }
  return RepeatedPath{std::move(path), std::move(open)};
}

std::vector<std::string_view> name_steps(std::string_view path) {
  std::vector<std::string_view> steps;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string_view::npos) slash = path.size();
    if (slash > start) steps.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return steps;
}

// The relative path from the bound node to `path`: "../a" from /data/rep/b
// to /data/rep/a, which every engine reads in the bound node's own row.
std::string relative_path(std::string_view from, std::string_view path) {
  std::vector<std::string_view> here = name_steps(from);
  std::vector<std::string_view> there = name_steps(path);
  std::size_t shared = 0;
  while (shared < here.size() && shared < there.size() && here[shared] == there[shared]) ++shared;
  std::string relative;
  for (std::size_t i = shared; i < here.size(); ++i) relative += "../";
  for (std::size_t i = shared; i < there.size(); ++i) {
    relative += there[i];
    relative += '/';
  }
  if (relative.empty()) return ".";
  relative.pop_back();
  return relative;
}

// indexed-repeat() naming the first row of every repeat left open.
std::string first_row(const RepeatedPath& repeated) {
  std::string call = "indexed-repeat(" + repeated.path;
  for (std::string_view repeat : repeated.open_repeats) {
    call += ", ";
    call += repeat;
    call += ", 1";
  }
  return call + ")";
}

// A path into the bound node's own repeat differs only where Enketo leaves
// absolute paths alone.
bool same_row_differs(const RepeatedPath& repeated, const RuleSite& site) {
  return repeated.open_repeats.empty() && site.outline.declares_xforms_version;
}

void check_repeating_operand(const Expr& operand, const RuleSite& site, std::vector<RuleHit>& hits) {
  std::optional<RepeatedPath> repeated = repeated_path(operand, site);
  if (!repeated) return;
  const std::string& path = repeated->path;
  if (!repeated->open_repeats.empty()) {
    hits.push_back({"comparing " + path + ", which repeats",
                    "JavaRosa refuses to compare a field that repeats against a value, so the "
                    "whole rule fails",
                    Breaks::Tablet,
                    "count(" + path + "[. = \u2026]) > 0, or indexed-repeat() to name one instance"});
  } else if (same_row_differs(*repeated, site)) {
    hits.push_back({"comparing " + path + ", which repeats, by its absolute path inside its own repeat",
                    "JavaRosa compares the current row, while the browsers, in a form that "
                    "declares odk:xforms-version, compare every row and hold when any row matches",
                    Breaks::BothDifferently, relative_path(site.target, path)});
  }
}

}  // namespace

void check_comparison(const Expr& lhs, const Expr& rhs, const RuleSite& site,
                      std::vector<RuleHit>& hits) {
  check_repeating_operand(lhs, site, hits);
  check_repeating_operand(rhs, site, hits);
}

void check_one_value(const Expr& operand, const RuleSite& site, std::vector<RuleHit>& hits) {
  std::optional<RepeatedPath> repeated = repeated_path(operand, site);
  if (!repeated) return;
  const std::string& path = repeated->path;
  if (!repeated->open_repeats.empty()) {
    hits.push_back({path + ", which repeats, read as one value",
                    std::string("JavaRosa refuses to read a field that repeats as one value "
                                "(\"This field is repeated\"), so the rule fails, while the "
                                "browsers read ") + kBrowsersRead,
                    Breaks::Tablet,
                    first_row(*repeated) + " for the first row, or an aggregate such as sum() or "
                                           "join() over every row"});
  } else if (same_row_differs(*repeated, site)) {
    hits.push_back({path + ", which repeats, read by its absolute path inside its own repeat",
                    std::string("JavaRosa reads the current row, while the browsers, in a form "
                                "that declares odk:xforms-version, read ") + kBrowsersRead,
                    Breaks::BothDifferently, relative_path(site.target, path)});
  }
}

void check_call_arguments(std::string_view name, const std::vector<Expr>& args,
                          const RuleSite& site, std::vector<RuleHit>& hits) {
  // if() hands on the branch it chooses, which its caller reads as one value.
  std::size_t first = name == "if" ? 1 : 0;
  if (first == 0 && std::find(std::begin(kOneValueFunctions), std::end(kOneValueFunctions), name) ==
                        std::end(kOneValueFunctions)) {
    return;
  }
  for (std::size_t i = first; i < args.size(); ++i) check_one_value(args[i], site, hits);
}

}  // namespace tolvar
