#include "rules/checker/read_paths.h"

#include <unordered_set>

#include "rules/references.h"

namespace tolvar {
namespace {

struct Reader {
  std::string_view target;
  std::vector<std::string> paths;  // in the order met, repeats kept

  // `top_level` is false inside predicates and filters, where a relative
  // path is read against a node that the bind's target does not name.
  void visit(const Expr& expr, bool top_level) {
    switch (expr.kind) {
      case ExprKind::Number:
      case ExprKind::Literal:
      case ExprKind::Variable:
        return;
      case ExprKind::Path:
        if (expr.absolute || top_level) read_location_path(expr);
        visit_step_predicates(expr.steps);
        return;
      case ExprKind::Filter:
        visit(*expr.lhs, false);
        for (const Expr& predicate : expr.predicates) visit(predicate, false);
        visit_step_predicates(expr.steps);
        return;
      case ExprKind::FunctionCall:
        for (const Expr& arg : expr.args) visit(arg, top_level);
        return;
      case ExprKind::Infix:
      case ExprKind::Union:
        visit(*expr.lhs, top_level);
        visit(*expr.rhs, top_level);
        return;
      case ExprKind::Negate:
        visit(*expr.lhs, top_level);
        return;
    }
  }

  void visit_step_predicates(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      for (const Expr& predicate : step.predicates) visit(predicate, false);
    }
  }

  // The first path the location path references; when the path itself does
  // not resolve, that is the first one its predicates give.
  void read_location_path(const Expr& path) {
    std::vector<std::string> referenced = referenced_paths(path, target);
    if (!referenced.empty()) paths.push_back(std::move(referenced.front()));
  }
};

}  // namespace

std::vector<std::string> paths_read(const Expr& expr, std::string_view target) {
  Reader reader{target, {}};
  reader.visit(expr, true);
  std::vector<std::string> distinct;
  std::unordered_set<std::string_view> seen;
  for (const std::string& path : reader.paths) {
    if (seen.insert(path).second) distinct.push_back(path);
  }
  return distinct;
}

}  // namespace tolvar
