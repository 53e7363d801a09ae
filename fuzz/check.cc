#include "check.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/unicode.h"

namespace tolvar::fuzz {
namespace {

bool valid(const XmlDocument& document, NodeId id) { return id < document.size(); }

// Walks one sibling list, checking each entry and the links back; a list
// longer than the arena has a cycle.
void check_list(const XmlDocument& document, NodeId id, const SiblingRange& list,
                bool attributes) {
  NodeId before = kNoNode;
  std::size_t length = 0;
  for (NodeId entry : list) {
    require(valid(document, entry), "listed id in the arena");
    require(++length <= document.size(), "a sibling list ends");
    require(document[entry].parent() == id, "a listed node names its parent");
    require(document[entry].is_attribute() == attributes, "children and attributes kept apart");
    require(document.previous_sibling(entry) == before, "previous links mirror next links");
    before = entry;
  }
  if (!attributes) require(document.last_child(id) == before, "the last child is known");
}

void check_links(const XmlDocument& document, NodeId id) {
  const XmlNode& node = document[id];
  require(node.parent() == kNoNode || valid(document, node.parent()), "parent id in the arena");
  if (node.is_attribute()) {
    require(!node.has_children() && node.first_attribute() == kNoNode,
            "an attribute holds no nodes");
  }
  check_list(document, id, document.children(id), false);
  check_list(document, id, document.attributes(id), true);
}

// Pre-order from the root: an element, its attributes, then its children.
void check_reachable(const XmlDocument& document) {
  std::vector<bool> seen(document.size(), false);
  std::vector<NodeId> stack{document.root};
  std::size_t next = 0;
  auto visit = [&](NodeId id) {
    require(!seen[id], "no node reachable twice");
    seen[id] = true;
    require(document.rank_of(id) == next, "rank is pre-order position");
    ++next;
  };
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    visit(id);
    for (NodeId attribute : document.attributes(id)) visit(attribute);
    document.push_children_reversed(id, stack);
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
  require(document[document.root].parent() == kNoNode, "the root has no parent");
  check_reachable(document);
}

bool survives_rewriting(const XmlDocument& document) {
  for (NodeId id = 0; id < document.size(); ++id) {
    const XmlNode& node = document[id];
    if (!writable_name(node.name(), !node.is_attribute())) return false;
    if (!node.is_attribute() && !node.text().empty() && is_blank(node.text())) return false;
  }
  return true;
}

void check_rewrite_is_stable(std::string_view written) {
  Result<XmlDocument> again = parse_xml(written);
  require(again.ok(), "the writer's output parses");
  require(write_xml(again.value()) == written, "writing what was written changes nothing");
}

}  // namespace tolvar::fuzz
