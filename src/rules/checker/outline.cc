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

void FormOutline::add_repeat(std::string_view nodeset) {
  std::string_view repeat = trim_white(nodeset);
  while (!repeat.empty() && repeat.back() == '/') repeat.remove_suffix(1);
  repeat_paths.emplace(repeat);
}

bool is_under_repeat(std::string_view path, std::string_view repeat) {
  return path == repeat ||
         (path.starts_with(repeat) && path.size() > repeat.size() && path[repeat.size()] == '/');
}

std::vector<std::string_view> repeats_holding(std::string_view path, const FormOutline& outline) {
  std::vector<std::string_view> holding;
  // Each prefix of `path` that ends a step, then `path` itself.
  for (std::size_t end = path.find('/', 1); ; end = path.find('/', end + 1)) {
    auto found = outline.repeat_paths.find(path.substr(0, end));
    if (found != outline.repeat_paths.end()) holding.push_back(*found);
    if (end == std::string_view::npos) break;
  }
  return holding;
}

bool in_any_repeat(std::string_view path, const FormOutline& outline) {
  return !repeats_holding(path, outline).empty();
}

FormOutline outline_form(const XmlDocument& document, const std::vector<NodeId>& elements) {
  FormOutline outline;
  bool primary_seen = false;
  for (NodeId id : elements) {
    const XmlNode& node = document[id];
    if (node.name() == "repeat") {
      if (const std::optional<std::string_view> nodeset = document.attribute(id, "nodeset")) {
        outline.add_repeat(*nodeset);
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
