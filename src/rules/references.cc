#include "rules/references.h"

#include <optional>
#include <utility>

#include "parser/expr_walk.h"
#include "parser/plain_path.h"

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
  if (is_named_child(step)) {
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

// Collects the path of every location path met; predicates read against
// the bind's context, not against the step's node, so one context serves all.
struct Collector {
  const Names& context;
  std::vector<std::string>& out;

  bool expr(const Expr& expr, Place, bool) {
    if (expr.kind != ExprKind::Path) return true;
    if (std::optional<std::string> path = resolve(expr, context)) out.push_back(std::move(*path));
    return true;
  }
  void step(const Step&, bool) {}
};

}  // namespace

std::vector<std::string> referenced_paths(const Expr& expr, std::string_view context_path) {
  std::vector<std::string> paths;
  const Names context = context_names(context_path);
  Collector collector{context, paths};
  walk_expr(expr, true, collector);
  return paths;
}

}  // namespace tolvar
