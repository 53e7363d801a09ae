#include "rules/checker/outline.h"

#include <string_view>
#include <utility>

#include "base/unicode.h"
#include "rules/form_reading.h"

namespace tolvar {
namespace {

// Name paths of `top` and every element below it, without recursion: in
// pre-order a node's parent is always on the stack of open ancestors.
void add_name_paths(const XmlDocument& document, NodeId top, FormOutline& outline) {
  NamePaths& paths = outline.instance_paths;
  // Each open ancestor with its entry in `paths`.
  std::vector<std::pair<NodeId, std::size_t>> open;
  open.emplace_back(top, paths.add(NamePaths::kTop, document[top].name()));
  for (NodeId id : document.descendants(top)) {
    while (open.back().first != document[id].parent()) open.pop_back();
    open.emplace_back(id, paths.add(open.back().second, document[id].name()));
  }
}

}  // namespace

bool is_under_repeat(std::string_view path, std::string_view repeat) {
  while (!repeat.empty() && repeat.back() == '/') repeat.remove_suffix(1);
  return path == repeat ||
         (path.starts_with(repeat) && path.size() > repeat.size() && path[repeat.size()] == '/');
}

bool in_any_repeat(std::string_view path, const FormOutline& outline) {
  for (std::string_view repeat : outline.repeat_paths) {
    if (is_under_repeat(path, repeat)) return true;
  }
  return false;
}

FormOutline outline_form(const XmlDocument& document, const std::vector<NodeId>& elements) {
  FormOutline outline;
  bool primary_seen = false;
  for (NodeId id : elements) {
    const XmlNode& node = document[id];
    if (node.name() == "repeat") {
      if (const std::optional<std::string_view> nodeset = document.attribute(id, "nodeset")) {
        outline.repeat_paths.emplace_back(trim_white(*nodeset));
      }
    } else if (node.name() == "model") {
      if (document.attribute(id, "xforms-version")) outline.declares_xforms_version = true;
    } else if (node.name() == "instance") {
      if (is_secondary_instance(document, id)) {
        outline.secondary_ids.emplace(*document.attribute(id, "id"));
      } else if (!primary_seen) {
        // Only the first instance without an id is the primary one here,
        // unlike primary_instance (form.h): a secondary instance written
        // first never holds the data a rule's absolute paths name.
        primary_seen = true;
        if (node.has_children()) {
          outline.instance_root = document[node.first_child()].name();
          add_name_paths(document, node.first_child(), outline);
        }
      }
    }
  }
  return outline;
}

}  // namespace tolvar
