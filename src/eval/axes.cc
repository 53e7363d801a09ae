// The twelve axes, one small function each, in a table indexed by Axis.
#include "eval/axes.h"

#include <algorithm>
#include <iterator>

namespace tolvar {
namespace {

using Nodes = NodeIds;

// Appends the subtrees of `first` and the siblings after it, up to (not
// including) `stop`.
void append_subtrees(const XmlDocument& document, NodeId first, NodeId stop, Nodes& out) {
  for (NodeId at = first; at != stop; at = document[at].next_sibling()) {
    append_subtree(document, at, out);
  }
}

// The element sibling after `node`; for an attribute, the first child of its
// element, which every child follows.
NodeId next_element(const XmlDocument& document, NodeId node) {
  const XmlNode& at = document[node];
  return at.is_attribute() ? document[at.parent()].first_child() : at.next_sibling();
}

void child_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  for (NodeId child : document.children(node)) out.push_back(child);
}

void parent_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  if (document[node].parent() != kNoNode) out.push_back(document[node].parent());
}

void self_axis(const XmlDocument&, NodeId node, Nodes& out) { out.push_back(node); }

void descendant_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  append_subtrees(document, document[node].first_child(), kNoNode, out);
}

void descendant_or_self_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  append_subtree(document, node, out);
}

void ancestor_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  for (NodeId up = document[node].parent(); up != kNoNode; up = document[up].parent()) {
    out.push_back(up);
  }
}

void ancestor_or_self_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  out.push_back(node);
  ancestor_axis(document, node, out);
}

void attribute_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  for (NodeId attribute : document.attributes(node)) out.push_back(attribute);
}

// Walking up from the node, the later siblings of each level and their
// subtrees come out in document order. An attribute precedes every child of
// its element.
void following_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  for (NodeId at = node; document[at].parent() != kNoNode; at = document[at].parent()) {
    append_subtrees(document, next_element(document, at), kNoNode, out);
  }
}

// Walking down from the top, the earlier siblings of each level on the way to
// the node and their subtrees come out in document order; the ancestors
// themselves are left out, and so is everything for an attribute's level.
void preceding_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  Nodes path;
  for (NodeId at = node; document[at].parent() != kNoNode; at = document[at].parent()) {
    path.push_back(at);
  }
  std::reverse(path.begin(), path.end());
  for (NodeId at : path) {
    if (document[at].is_attribute()) continue;
    append_subtrees(document, document[document[at].parent()].first_child(), at, out);
  }
}

void following_sibling_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  if (document[node].parent() == kNoNode || document[node].is_attribute()) return;
  for (NodeId at = document[node].next_sibling(); at != kNoNode;
       at = document[at].next_sibling()) {
    out.push_back(at);
  }
}

void preceding_sibling_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  if (document[node].parent() == kNoNode || document[node].is_attribute()) return;
  for (NodeId at = document[document[node].parent()].first_child(); at != node;
       at = document[at].next_sibling()) {
    out.push_back(at);
  }
}

using AxisWalker = void (*)(const XmlDocument&, NodeId, Nodes&);

struct AxisEntry {
  Axis axis;
  AxisWalker walk;
};

// Indexed by Axis: entry i is the walker of the axis whose value is i.
constexpr AxisEntry kAxisWalkers[] = {
    {Axis::Child, child_axis},
    {Axis::Parent, parent_axis},
    {Axis::Self, self_axis},
    {Axis::Descendant, descendant_axis},
    {Axis::DescendantOrSelf, descendant_or_self_axis},
    {Axis::Ancestor, ancestor_axis},
    {Axis::AncestorOrSelf, ancestor_or_self_axis},
    {Axis::Attribute, attribute_axis},
    {Axis::Following, following_axis},
    {Axis::FollowingSibling, following_sibling_axis},
    {Axis::Preceding, preceding_axis},
    {Axis::PrecedingSibling, preceding_sibling_axis},
};

constexpr bool in_axis_order() {
  for (std::size_t i = 0; i < std::size(kAxisWalkers); ++i) {
    if (static_cast<std::size_t>(kAxisWalkers[i].axis) != i) return false;
  }
  return static_cast<std::size_t>(Axis::PrecedingSibling) + 1 == std::size(kAxisWalkers);
}
static_assert(in_axis_order(), "kAxisWalkers lists every axis at the index of its value");

}  // namespace

void append_axis(const XmlDocument& document, NodeId node, Axis axis, NodeIds& out) {
  kAxisWalkers[static_cast<std::size_t>(axis)].walk(document, node, out);
}

void append_subtree(const XmlDocument& document, NodeId node, NodeIds& out) {
  for (NodeId at = node; at != kNoNode; at = document.next_in_preorder(at, node)) {
    out.push_back(at);
  }
}

}  // namespace tolvar
