#include "rules/references.h"

#include <optional>

namespace tolvar {
namespace {

using Names = std::vector<std::string_view>;

// The pieces of the context path after its first "/", split at every "/":
// "/data/g/q" gives data, g, q; a text without "/" gives none.
Names context_names(std::string_view context_path) {
  Names names;
  std::size_t slash = context_path.find('/');
  if (slash == std::string_view::npos) return names;
  std::string_view rest = context_path.substr(slash + 1);
  for (std::size_t next = rest.find('/'); next != std::string_view::npos; next = rest.find('/')) {
    names.push_back(rest.substr(0, next));
    rest.remove_prefix(next + 1);
  }
  names.push_back(rest);
  return names;
}

// Named child steps, "." and ".." resolve; anything else abandons the path.
bool apply_step(const Step& step, Names& names) {
  if (step.axis == Axis::Child && !step.test.any) {
    names.push_back(step.test.name);
    return true;
  }
  if (step.axis == Axis::Self && step.test.any) return true;
  if (step.axis == Axis::Parent && step.test.any && !names.empty()) {
    names.pop_back();
    return true;
  }
  return false;
}

std::optional<std::string> resolve(const Expr& path, const Names& context) {
  Names names;
  if (!path.absolute) names = context;
  for (const Step& step : path.steps) {
    if (!apply_step(step, names)) return std::nullopt;
  }
  std::string text = "/";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += '/';
    text += names[i];
  }
  return text;
}

void collect(const Expr& expr, const Names& context, std::vector<std::string>& out);

// Predicates read against the bind's context, not against the step's node.
void collect_step_predicates(const std::vector<Step>& steps, const Names& context,
                             std::vector<std::string>& out) {
  for (const Step& step : steps) {
    for (const Expr& predicate : step.predicates) collect(predicate, context, out);
  }
}

void collect(const Expr& expr, const Names& context, std::vector<std::string>& out) {
  switch (expr.kind) {
    case ExprKind::Number:
    case ExprKind::Literal:
    case ExprKind::Variable:
      return;
    case ExprKind::Path:
      if (std::optional<std::string> path = resolve(expr, context)) out.push_back(std::move(*path));
      collect_step_predicates(expr.steps, context, out);
      return;
    case ExprKind::Filter:
      // The steps after a primary lead somewhere no plain path names.
      collect(*expr.lhs, context, out);
      for (const Expr& predicate : expr.predicates) collect(predicate, context, out);
      collect_step_predicates(expr.steps, context, out);
      return;
    case ExprKind::FunctionCall:
      for (const Expr& arg : expr.args) collect(arg, context, out);
      return;
    case ExprKind::Infix:
    case ExprKind::Union:
      collect(*expr.lhs, context, out);
      collect(*expr.rhs, context, out);
      return;
    case ExprKind::Negate:
      collect(*expr.lhs, context, out);
      return;
  }
}

}  // namespace

std::vector<std::string> referenced_paths(const Expr& expr, std::string_view context_path) {
  std::vector<std::string> paths;
  collect(expr, context_names(context_path), paths);
  return paths;
}

}  // namespace tolvar
