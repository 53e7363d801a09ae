// The elements a form's primary instance declares.
#include "rules/declared_elements.h"

#include <vector>

#include "rules/element_path.h"

namespace tolvar {

bool DeclaredElements::contains(std::string_view path) const {
  if (!primary_.has_root() || has_empty_step(path)) return false;
  std::vector<std::string_view> names = path_pieces(path);
  for (std::string_view& name : names) name = name.substr(0, length_without_index(name));
  if (names.empty()) return false;
  std::string_view root_name = primary_[primary_.root].name();
  // "/data" names the root itself; a bare "data" its child named data.
  if (names.size() == 1 && path.starts_with('/') && names.front() == root_name) return true;

  std::vector<NodeId> current{primary_.root};
  for (std::string_view name : below_root(names, root_name)) {
    std::vector<NodeId> next;
    for (NodeId parent : current) {
      for (NodeId child : primary_.children(parent)) {
        if (primary_[child].name() == name) next.push_back(child);
      }
    }
    if (next.empty()) return false;
    current = std::move(next);
  }
  return true;
}

}  // namespace tolvar
