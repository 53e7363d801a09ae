// The twelve axes, one small function each, in a table indexed by Axis.
#include "eval/axes.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace tolvar {
namespace {

using Nodes = std::vector<NodeId>;
using Siblings = std::vector<NodeId>::const_iterator;

void append_subtrees(const XmlDocument& document, Siblings first, Siblings last, Nodes& out) {
  for (; first != last; ++first) append_subtree(document, *first, out);
}

// Where `node` stands among its parent's children; end() for an attribute,
// which is never among them.
Siblings find_among_siblings(const XmlDocument& document, NodeId node, const Nodes& siblings) {
  if (document[node].is_attribute) return siblings.end();
  return std::find(siblings.begin(), siblings.end(), node);
}

// The siblings after `node`; for an attribute, all children of its element.
Siblings later_siblings(const XmlDocument& document, NodeId node, const Nodes& siblings) {
  if (document[node].is_attribute) return siblings.begin();
  const Siblings at = find_among_siblings(document, node, siblings);
  return at == siblings.end() ? at : std::next(at);
}

// The end of the siblings before `node`; none for an attribute.
Siblings earlier_siblings_end(const XmlDocument& document, NodeId node, const Nodes& siblings) {
  if (document[node].is_attribute) return siblings.begin();
  return find_among_siblings(document, node, siblings);
}

// The children of the node's parent; only for a node that has a parent.
const Nodes& siblings_of(const XmlDocument& document, NodeId node) {
  return document[document[node].parent].children;
}

void child_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  const Nodes& children = document[node].children;
  out.insert(out.end(), children.begin(), children.end());
}

void parent_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  if (document[node].parent != kNoNode) out.push_back(document[node].parent);
}

void self_axis(const XmlDocument&, NodeId node, Nodes& out) { out.push_back(node); }

void descendant_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  append_subtrees(document, document[node].children.begin(), document[node].children.end(), out);
}

void descendant_or_self_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  append_subtree(document, node, out);
}

void ancestor_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  for (NodeId up = document[node].parent; up != kNoNode; up = document[up].parent) {
    out.push_back(up);
  }
}

void ancestor_or_self_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  out.push_back(node);
  ancestor_axis(document, node, out);
}

void attribute_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  const Nodes& attributes = document[node].attributes;
  out.insert(out.end(), attributes.begin(), attributes.end());
}

// Walking up from the node, the later siblings of each level and their
// subtrees come out in document order. An attribute precedes every child of
// its element.
void following_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  for (NodeId at = node; document[at].parent != kNoNode; at = document[at].parent) {
    const Nodes& siblings = siblings_of(document, at);
    append_subtrees(document, later_siblings(document, at, siblings), siblings.end(), out);
  }
}

// Walking down from the top, the earlier siblings of each level on the way to
// the node and their subtrees come out in document order; the ancestors
// themselves are left out.
void preceding_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  Nodes path;
  for (NodeId at = node; document[at].parent != kNoNode; at = document[at].parent) {
    path.push_back(at);
  }
  for (auto at = path.rbegin(); at != path.rend(); ++at) {
    const Nodes& siblings = siblings_of(document, *at);
    append_subtrees(document, siblings.begin(), earlier_siblings_end(document, *at, siblings), out);
  }
}

void following_sibling_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  if (document[node].parent == kNoNode) return;
  const Nodes& siblings = siblings_of(document, node);
  const Siblings at = find_among_siblings(document, node, siblings);
  if (at != siblings.end()) out.insert(out.end(), std::next(at), siblings.end());
}

void preceding_sibling_axis(const XmlDocument& document, NodeId node, Nodes& out) {
  if (document[node].parent == kNoNode) return;
  const Nodes& siblings = siblings_of(document, node);
  const Siblings at = find_among_siblings(document, node, siblings);
  if (at != siblings.end()) out.insert(out.end(), siblings.begin(), at);
}

using AxisWalker = void (*)(const XmlDocument&, NodeId, Nodes&);

// Indexed by Axis, in the order of its enumerators.
constexpr std::array<AxisWalker, 12> kAxisWalkers = {
    child_axis,          parent_axis,
    self_axis,           descendant_axis,
    descendant_or_self_axis, ancestor_axis,
    ancestor_or_self_axis,   attribute_axis,
    following_axis,      following_sibling_axis,
    preceding_axis,      preceding_sibling_axis,
};
static_assert(static_cast<std::size_t>(Axis::PrecedingSibling) + 1 == kAxisWalkers.size());

}  // namespace

void append_axis(const XmlDocument& document, NodeId node, Axis axis, std::vector<NodeId>& out) {
  kAxisWalkers[static_cast<std::size_t>(axis)](document, node, out);
}

void append_subtree(const XmlDocument& document, NodeId node, std::vector<NodeId>& out) {
  // Children are pushed last-first so the first child is visited next.
  std::vector<NodeId> pending{node};
  while (!pending.empty()) {
    const NodeId at = pending.back();
    pending.pop_back();
    out.push_back(at);
    const Nodes& children = document[at].children;
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
}

}  // namespace tolvar
