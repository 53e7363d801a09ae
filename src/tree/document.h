// The XML document: an arena of element and attribute nodes with local names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "tree/result.h"

namespace tolvar {

using NodeId = std::size_t;
inline constexpr NodeId kNoNode = std::numeric_limits<NodeId>::max();
inline constexpr std::size_t kNoRank = std::numeric_limits<std::size_t>::max();

// One element or attribute. Names are local names (prefix dropped).
struct XmlNode {
  NodeId parent = kNoNode;  // for an attribute, the element carrying it
  std::string name;
  std::string text;  // element: its one text run; attribute: its value
  std::vector<NodeId> children;
  std::vector<NodeId> attributes;
  bool is_attribute = false;
};

class XmlDocument {
 public:
  NodeId root = kNoNode;
  std::vector<XmlNode> nodes;
  // Document-order rank per node id, kNoRank for nodes not reachable from
  // the root. Valid after parsing and after renumber().
  std::vector<std::size_t> rank;

  const XmlNode& operator[](NodeId id) const { return nodes[id]; }
  XmlNode& operator[](NodeId id) { return nodes[id]; }
  bool has_root() const { return root != kNoNode; }

  // Appends a detached element.
  NodeId new_element(std::string name, std::string text);
  // Sets child's parent and appends it to parent's children.
  void append_child(NodeId parent, NodeId child);
  // Inserts child into parent's children right after `after` (at the end
  // when `after` is not one of them).
  void insert_child_after(NodeId parent, NodeId after, NodeId child);
  NodeId add_attribute(NodeId element, std::string name, std::string value);
  // Removes the node from its parent's children (an attribute from its
  // element's attributes) and clears its parent; it stays in the arena.
  void detach(NodeId node);
  // Rebuilds rank from the root: pre-order, an element, its attributes,
  // then each child's subtree. Call after any change of structure.
  void renumber();
  // Copies node (from any document, this one included) with its attributes
  // and subtree into this arena; returns the new, detached element.
  NodeId copy_from(const XmlDocument& source, NodeId node);

  std::size_t rank_of(NodeId id) const { return id < rank.size() ? rank[id] : kNoRank; }
  // Descendant elements of node in pre-order, node excluded. No recursion.
  std::vector<NodeId> descendants(NodeId node) const;
  // Own text followed by the text of every descendant element in pre-order.
  std::string string_value(NodeId node) const;
  void append_string_value(NodeId node, std::string& out) const;
  // Canonical path such as /data/rep[2]/q; an attribute adds its bare name.
  std::string node_path(NodeId node) const;
  // First child element named `name`, or kNoNode.
  NodeId child_named(NodeId node, std::string_view name) const;
  // Value of the first attribute named `name`, or nullptr.
  const std::string* attribute(NodeId node, std::string_view name) const;
};

// Parses UTF-8 XML text leniently. Fails with one of: "unterminated tag",
// "closing tag without opening", "closing </x> does not match open <y>",
// "more than one root element", "unclosed elements", "no root element".
Result<XmlDocument> parse_xml(std::string_view text);

// The document as "<?xml version='1.0' ?>" followed by the tree on one line.
std::string write_xml(const XmlDocument& document);
// Appends text with & < > and the double quote escaped.
void escape_xml(std::string_view text, std::string& out);

}  // namespace tolvar
