// The nodes an axis reaches from one node.
#pragma once

#include "eval/node_ids.h"
#include "parser/expr.h"
#include "tree/document.h"

namespace tolvar {

// Appends the nodes of `axis` from `node` to `out`, in the axis order:
// document order, except nearest first for the ancestor axes.
void append_axis(const XmlDocument& document, NodeId node, Axis axis, NodeIds& out);

// Appends `node` and its descendant elements in pre-order. No recursion.
void append_subtree(const XmlDocument& document, NodeId node, NodeIds& out);

}  // namespace tolvar
