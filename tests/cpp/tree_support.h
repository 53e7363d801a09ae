// Child and attribute lists as vectors, for indexing in tests.
#pragma once

#include <vector>

#include "tree/document.h"

namespace tolvar {

inline std::vector<NodeId> children_of(const XmlDocument& document, NodeId id) {
  const SiblingRange children = document.children(id);
  return {children.begin(), children.end()};
}

inline std::vector<NodeId> attributes_of(const XmlDocument& document, NodeId id) {
  const SiblingRange attributes = document.attributes(id);
  return {attributes.begin(), attributes.end()};
}

}  // namespace tolvar
