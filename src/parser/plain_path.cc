#include "parser/plain_path.h"

namespace tolvar {

std::optional<std::vector<std::string_view>> plain_child_names(const Expr& path) {
  if (path.kind != ExprKind::Path) return std::nullopt;
  std::vector<std::string_view> names;
  for (const Step& step : path.steps) {
    if (!is_plain_child(step)) return std::nullopt;
    names.push_back(step.test.name);
  }
  return names;
}

}  // namespace tolvar
