#include "tree/document.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

#include "tree/huge_pages.h"

namespace tolvar {
namespace {

// Pushes the children of one element so that they pop in list order.
void push_children_reversed(const XmlNode& element, std::vector<NodeId>& stack) {
  stack.insert(stack.end(), element.children.rbegin(), element.children.rend());
}

void erase_all(std::vector<NodeId>& ids, NodeId id) {
  ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
}

// The node's name, and its 1-based position among same-named sibling
// elements when there is more than one of them (0 otherwise).
struct PathSegment {
  std::string_view name;
  std::size_t position;
};

// Stops scanning the siblings as soon as the answer is known: a node after
// its first same-named sibling is indexed; the first one is indexed only
// when another follows.
PathSegment path_segment(const XmlDocument& document, NodeId id) {
  const XmlNode& node = document[id];
  if (node.parent == kNoNode || node.is_attribute) return {node.name, 0};
  std::size_t position = 0;
  bool seen_self = false;
  for (NodeId sibling : document[node.parent].children) {
    if (document[sibling].name != node.name) continue;
    if (seen_self) return {node.name, 1};
    ++position;
    if (sibling != id) continue;
    if (position > 1) return {node.name, position};
    seen_self = true;
  }
  return {node.name, 0};
}

// Number of nodes (elements and attributes) in the subtree of an element.
std::size_t subtree_size(const XmlDocument& document, NodeId node) {
  std::size_t size = 0;
  std::vector<NodeId> stack{node};
  while (!stack.empty()) {
    const XmlNode& element = document[stack.back()];
    stack.pop_back();
    size += 1 + element.attributes.size();
    stack.insert(stack.end(), element.children.begin(), element.children.end());
  }
  return size;
}

}  // namespace

NodeId XmlDocument::new_element(std::string name, std::string text) {
  XmlNode& node = nodes.emplace_back();
  node.name = std::move(name);
  node.text = std::move(text);
  return nodes.size() - 1;
}

void XmlDocument::append_child(NodeId parent, NodeId child) {
  nodes[child].parent = parent;
  nodes[parent].children.push_back(child);
}

void XmlDocument::insert_child_after(NodeId parent, NodeId after, NodeId child) {
  std::vector<NodeId>& children = nodes[parent].children;
  auto place = std::find(children.begin(), children.end(), after);
  if (place != children.end()) ++place;
  children.insert(place, child);
  nodes[child].parent = parent;
}

NodeId XmlDocument::add_attribute(NodeId element, std::string name, std::string value) {
  const NodeId id = nodes.size();
  XmlNode& node = nodes.emplace_back();
  node.parent = element;
  node.name = std::move(name);
  node.text = std::move(value);
  node.is_attribute = true;
  nodes[element].attributes.push_back(id);
  return id;
}

void XmlDocument::detach(NodeId node) {
  const NodeId parent = nodes[node].parent;
  if (parent == kNoNode) return;
  // An attribute leaves its element's attribute list, so the element never
  // lists a node that no longer names it as parent.
  erase_all(nodes[node].is_attribute ? nodes[parent].attributes : nodes[parent].children, node);
  nodes[node].parent = kNoNode;
}

void XmlDocument::renumber() {
  rank.assign(nodes.size(), kNoRank);
  if (!has_root()) return;
  std::size_t next = 0;
  std::vector<NodeId> stack{root};
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    // A node linked twice would otherwise be numbered (and walked) twice.
    if (rank[id] != kNoRank) continue;
    rank[id] = next++;
    const XmlNode& node = nodes[id];
    for (NodeId attribute : node.attributes) rank[attribute] = next++;
    push_children_reversed(node, stack);
  }
}

NodeId XmlDocument::copy_from(const XmlDocument& source, NodeId node) {
  const std::size_t needed = nodes.size() + subtree_size(source, node);
  if (needed > nodes.capacity()) {
    nodes.reserve(needed);
    advise_huge_pages(nodes);
  }
  // Pairs of (source node, parent of its copy). Source nodes are addressed
  // by id, never held by reference, as source may be this very arena.
  std::vector<std::pair<NodeId, NodeId>> stack{{node, kNoNode}};
  NodeId top = kNoNode;
  while (!stack.empty()) {
    const auto [original, parent] = stack.back();
    stack.pop_back();
    const NodeId copy = new_element(source[original].name, source[original].text);
    nodes[copy].attributes.reserve(source[original].attributes.size());
    for (std::size_t i = 0; i < source[original].attributes.size(); ++i) {
      const NodeId attribute = source[original].attributes[i];
      add_attribute(copy, source[attribute].name, source[attribute].text);
    }
    if (parent == kNoNode) {
      top = copy;
    } else {
      append_child(parent, copy);
    }
    const std::vector<NodeId>& children = source[original].children;
    nodes[copy].children.reserve(children.size());
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
      stack.emplace_back(*child, copy);
    }
  }
  return top;
}

std::vector<NodeId> XmlDocument::descendants(NodeId node) const {
  std::vector<NodeId> found;
  std::vector<NodeId> stack;
  push_children_reversed(nodes[node], stack);
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    found.push_back(id);
    push_children_reversed(nodes[id], stack);
  }
  return found;
}

std::string XmlDocument::string_value(NodeId node) const {
  std::string out;
  append_string_value(node, out);
  return out;
}

void XmlDocument::append_string_value(NodeId node, std::string& out) const {
  out += nodes[node].text;
  if (nodes[node].children.empty()) return;
  std::vector<NodeId> stack;
  push_children_reversed(nodes[node], stack);
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    out += nodes[id].text;
    push_children_reversed(nodes[id], stack);
  }
}

std::string XmlDocument::node_path(NodeId node) const {
  std::vector<PathSegment> segments;
  for (NodeId id = node; id != kNoNode; id = nodes[id].parent) {
    segments.push_back(path_segment(*this, id));
  }
  std::string path;
  for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
    path += '/';
    path += segment->name;
    if (segment->position == 0) continue;
    char digits[24];
    const auto converted = std::to_chars(std::begin(digits), std::end(digits), segment->position);
    path += '[';
    path.append(digits, converted.ptr);
    path += ']';
  }
  return path;
}

NodeId XmlDocument::child_named(NodeId node, std::string_view name) const {
  for (NodeId child : nodes[node].children) {
    if (nodes[child].name == name) return child;
  }
  return kNoNode;
}

const std::string* XmlDocument::attribute(NodeId node, std::string_view name) const {
  for (NodeId attribute : nodes[node].attributes) {
    if (nodes[attribute].name == name) return &nodes[attribute].text;
  }
  return nullptr;
}

}  // namespace tolvar
