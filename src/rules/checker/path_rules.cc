#include <optional>
#include <string>
#include <string_view>

#include "eval/value.h"
#include "rules/checker/rules.h"

namespace tolvar {
namespace {

// Every "//" is a descendant-or-self step with any test.
bool is_descendant_shorthand(const Step& step) {
  return step.axis == Axis::DescendantOrSelf && step.test.any;
}

// JavaRosa's parser takes child and attribute steps, . and .. and nothing
// else: it refuses the whole expression, so the form never loads.
constexpr const char* kRefusedStep =
    "JavaRosa accepts only child and attribute steps, . and .., and refuses the whole expression "
    "otherwise, so the form does not open";

// The refused axes with the names they are written with, and what reaches
// the same nodes with child steps.
struct RefusedAxis {
  Axis axis;
  const char* construct;
  const char* suggestion;
};

constexpr const char* kFromTheRoot = "the full path from the instance root";
constexpr const char* kUpward = "child steps and .. from here, or the full path from the instance root";
constexpr const char* kOtherRows = "position(..) and count() of the repeat, or indexed-repeat() to read another row";

constexpr RefusedAxis kRefusedAxes[] = {
    {Axis::Descendant, "the descendant:: axis", kFromTheRoot},
    {Axis::DescendantOrSelf, "the descendant-or-self:: axis", kFromTheRoot},
    {Axis::Ancestor, "the ancestor:: axis", kUpward},
    {Axis::AncestorOrSelf, "the ancestor-or-self:: axis", kUpward},
    {Axis::Following, "the following:: axis", kFromTheRoot},
    {Axis::FollowingSibling, "the following-sibling:: axis", kOtherRows},
    {Axis::Preceding, "the preceding:: axis", kFromTheRoot},
    {Axis::PrecedingSibling, "the preceding-sibling:: axis", kOtherRows},
    // Only as . and .. (any node); self::name and parent::name are refused.
    {Axis::Self, "the self:: axis with a name", kFromTheRoot},
    {Axis::Parent, "the parent:: axis with a name", kFromTheRoot},
};

std::optional<RuleHit> refused_step_hit(const Step& step) {
  if (is_descendant_shorthand(step)) {
    return RuleHit{"the // shorthand", kRefusedStep, Breaks::Tablet, kFromTheRoot};
  }
  if ((step.axis == Axis::Self || step.axis == Axis::Parent) && step.test.any) return std::nullopt;
  for (const RefusedAxis& refused : kRefusedAxes) {
    if (refused.axis == step.axis) {
      return RuleHit{refused.construct, kRefusedStep, Breaks::Tablet, refused.suggestion};
    }
  }
  return std::nullopt;
}

RuleHit positional_predicate_hit(double position) {
  std::string n = number_to_string(position);
  return {"the positional predicate [" + n + "]",
          "JavaRosa matches nothing for a bare [n], so this silently reads as empty",
          Breaks::Tablet,
          "[position() = " + n + "]"};
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
  if (std::optional<std::string> only = outline.instance_paths.only_path_named(leaf_name(path))) {
    return only;
  }
  std::string_view first = first_name(path);
  if (outline.instance_root && *outline.instance_root != first) {
    return "a path under /" + *outline.instance_root +
           " \u2014 that is this form's instance root, not /" + std::string(first);
  }
  return std::nullopt;
}

}  // namespace

void check_step(const Step& step, std::vector<RuleHit>& hits) {
  if (std::optional<RuleHit> hit = refused_step_hit(step)) hits.push_back(std::move(*hit));
}

// Only a number standing alone: [1 + 1] and [$n] are left alone.
void check_step_predicate(const Expr& predicate, std::vector<RuleHit>& hits) {
  if (predicate.kind == ExprKind::Number) hits.push_back(positional_predicate_hit(predicate.number));
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
