#include "check.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tree/unicode.h"
#include "tree_support.h"

namespace tolvar::fuzz {
namespace {

bool valid(const XmlDocument& document, NodeId id) { return id < document.size(); }

void check_links(const XmlDocument& document, NodeId id) {
  const XmlNode& node = document[id];
  require(node.parent == kNoNode || valid(document, node.parent), "parent id in the arena");
  if (node.is_attribute) {
    require(node.children.empty() && node.attributes.empty(), "an attribute holds no nodes");
  }
  for (NodeId child : node.children) {
    require(valid(document, child), "child id in the arena");
    require(document[child].parent == id, "a child names its parent");
    require(!document[child].is_attribute, "no attribute among children");
  }
  for (NodeId attribute : node.attributes) {
    require(valid(document, attribute), "attribute id in the arena");
    require(document[attribute].parent == id, "an attribute names its element");
    require(document[attribute].is_attribute, "attribute list holds attributes");
  }
}

// Pre-order from the root: an element, its attributes, then its children.
void check_reachable(const XmlDocument& document) {
  const bool ranked = document.rank.size() == document.size();
  std::vector<bool> seen(document.size(), false);
  std::vector<NodeId> stack{document.root};
  std::size_t next = 0;
  auto visit = [&](NodeId id) {
    require(!seen[id], "no node reachable twice");
    seen[id] = true;
    require(!ranked || document.rank[id] == next, "rank is pre-order position");
    ++next;
  };
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    visit(id);
    for (NodeId attribute : attributes_of(document, id)) visit(attribute);
    const std::vector<NodeId>& children = children_of(document, id);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
}

// A quote or ">" in a name ends a written tag early. The reader drops a
// prefix, so a name set with one ("x:y") reads back as "y"; it trims an
// attribute name before dropping the prefix, so "a: b" leaves " b", which is
// trimmed away when read again.
bool writable_name(std::string_view name, bool element) {
  if (name.empty() || name.find_first_of("\"'>:") != std::string_view::npos) return false;
  if (trim_white(name).size() != name.size()) return false;
  return !element || (name.front() != '?' && name.front() != '!' && name.front() != '/' &&
                      name.back() != '/');
}

}  // namespace

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void check_document(const XmlDocument& document) {
  for (NodeId id = 0; id < document.size(); ++id) check_links(document, id);
  if (!document.has_root()) return;
  require(valid(document, document.root), "root id in the arena");
  require(document[document.root].parent == kNoNode, "the root has no parent");
  check_reachable(document);
}

bool survives_rewriting(const XmlDocument& document) {
  for (const XmlNode& node : document.nodes) {
    if (!writable_name(node.name, !node.is_attribute)) return false;
    if (!node.is_attribute && !node.text.empty() && is_blank(node.text)) return false;
  }
  return true;
}

void check_rewrite_is_stable(std::string_view written) {
  Result<XmlDocument> again = parse_xml(written);
  require(again.ok(), "the writer's output parses");
  require(write_xml(again.value()) == written, "writing what was written changes nothing");
}

}  // namespace tolvar::fuzz
