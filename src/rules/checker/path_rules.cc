#include <string>
#include <string_view>

#include "eval/value.h"
#include "parser/plain_path.h"
#include "rules/checker/rules.h"

namespace tolvar {
namespace {

// Every "//" is a descendant-or-self step with any test; JavaRosa walks
// child steps only.
bool is_descendant_shorthand(const Step& step) {
  return step.axis == Axis::DescendantOrSelf && step.test.any;
}

RuleHit descendant_shorthand_hit() {
  return {"the // shorthand",
          "JavaRosa supports only child steps, so the path matches nothing",
          Breaks::Tablet,
          "the full path from the instance root"};
}

RuleHit positional_predicate_hit(double position) {
  std::string n = number_to_string(position);
  return {"the positional predicate [" + n + "]",
          "JavaRosa matches nothing for a bare [n], so this silently reads as empty",
          Breaks::Tablet,
          "[position() = " + n + "]"};
}

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

bool is_under_repeat(std::string_view path, const std::vector<std::string>& repeat_paths) {
  for (std::string_view repeat : repeat_paths) {
    while (!repeat.empty() && repeat.back() == '/') repeat.remove_suffix(1);
    if (path == repeat || (path.starts_with(repeat) && path.size() > repeat.size() &&
                           path[repeat.size()] == '/')) {
      return true;
    }
  }
  return false;
}

// The path up to its first "@", without trailing "/".
std::string_view element_part(std::string_view path) {
  path = path.substr(0, path.find('@'));
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  return path;
}

// The piece between the first "/" and the next one; empty without a "/".
std::string_view first_name(std::string_view path) {
  std::size_t slash = path.find('/');
  if (slash == std::string_view::npos) return {};
  std::string_view rest = path.substr(slash + 1);
  return rest.substr(0, rest.find('/'));
}

std::string_view leaf_name(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The one instance path with the same leaf name, else a pointer to the
// instance root when the path starts from another one.
std::optional<std::string> instance_path_suggestion(std::string_view path,
                                                    const FormOutline& outline) {
  std::string ending = "/" + std::string(leaf_name(path));
  const std::string* only_match = nullptr;
  int matches = 0;
  for (const std::string& candidate : outline.instance_paths) {
    if (candidate.ends_with(ending)) {
      only_match = &candidate;
      ++matches;
    }
  }
  if (matches == 1) return *only_match;
  std::string_view first = first_name(path);
  if (outline.instance_root && *outline.instance_root != first) {
    return "a path under /" + *outline.instance_root +
           " \u2014 that is this form's instance root, not /" + std::string(first);
  }
  return std::nullopt;
}

}  // namespace

void check_step(const Step& step, std::vector<RuleHit>& hits) {
  if (is_descendant_shorthand(step)) hits.push_back(descendant_shorthand_hit());
}

// Only a number standing alone: [1 + 1] and [$n] are left alone.
void check_step_predicate(const Expr& predicate, std::vector<RuleHit>& hits) {
  if (predicate.kind == ExprKind::Number) hits.push_back(positional_predicate_hit(predicate.number));
}

void check_compared_operand(const Expr& operand, const std::vector<std::string>& repeat_paths,
                            std::vector<RuleHit>& hits) {
  std::string path = plain_absolute_path(operand);
  if (path.empty() || !is_under_repeat(path, repeat_paths)) return;
  hits.push_back({"comparing " + path + ", which repeats",
                  "JavaRosa refuses to compare a field that repeats against a value, so the "
                  "whole rule fails",
                  Breaks::Tablet,
                  "count(" + path + "[. = \u2026]) > 0, or indexed-repeat() to name one instance"});
}

void check_instance_path(std::string_view path, const FormOutline& outline,
                         std::vector<RuleHit>& hits) {
  if (outline.instance_paths.contains(element_part(path))) return;
  // Secondary instances are not outlined, so paths into them go unchecked.
  if (outline.secondary_ids.contains(first_name(path))) return;
  hits.push_back({std::string(path) + ", which this form's instance has no node for",
                  "the path matches nothing, so the rule reads an empty node-set: a calculation "
                  "comes out 0, a comparison comes out false, and a relevant hides its question "
                  "for the whole of fieldwork",
                  Breaks::BothSilently,
                  instance_path_suggestion(path, outline)});
}

}  // namespace tolvar
