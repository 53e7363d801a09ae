#include "rules/checker/read_paths.h"

#include <unordered_set>
#include <utility>

#include "parser/expr_walk.h"
#include "rules/references.h"

namespace tolvar {
namespace {

struct Reader {
  std::string_view target;
  std::vector<std::string> paths;  // in the order met, repeats kept

  // The state is whether the expression stands at the top level: not inside
  // a predicate or a filter, where a relative path is read against a node
  // that the bind's target does not name.
  bool expr(const Expr& expr, Place, bool top_level) {
    if (expr.kind == ExprKind::Path && (expr.absolute || top_level)) read_location_path(expr);
    return top_level && expr.kind != ExprKind::Path && expr.kind != ExprKind::Filter;
  }
  void step(const Step&, bool) {}

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
  walk_expr(expr, true, reader);
  std::vector<std::string> distinct;
  std::unordered_set<std::string_view> seen;
  for (const std::string& path : reader.paths) {
    if (seen.insert(path).second) distinct.push_back(path);
  }
  return distinct;
}

}  // namespace tolvar
