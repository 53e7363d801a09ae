// Canonical node paths for many nodes of one document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "eval/children_by_name.h"
#include "tree/document.h"

namespace tolvar {

// The same text as XmlDocument::node_path, but each parent's children are
// numbered once, on first need, rather than rescanned for every node: naming
// every row of a repeat with thousands of rows stays linear. The document
// must not change while this object is in use.
class NodePaths {
 public:
  explicit NodePaths(const XmlDocument& document);
  std::string path(NodeId node);

 private:
  // The k of "[k]", or 0 when the node is the only child of its name.
  std::size_t index_of(NodeId node);
  void number_children(NodeId parent);

  const XmlDocument& document_;
  std::vector<std::uint32_t> index_;  // per node id; kUnnumbered until its parent is numbered
  ChildrenByName by_name_;  // scratch: the children of the parent being numbered
};

}  // namespace tolvar
