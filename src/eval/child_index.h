// The element children of a document's wide elements, indexed by name.
#pragma once

#include <array>
#include <cstdint>

#include "eval/children_by_name.h"
#include "eval/node_ids.h"
#include "tree/document.h"

namespace tolvar {

// A child step from an element with many children ("../age" from each
// question of a wide group) scans all of them; with the index it finds its
// name in a hash table of the element's children. Rules run row by row,
// so tables are kept for the few elements read last only: the memory stays
// that of a few elements' children however large the document. The
// document's structure must stay as it is while the index lives.
class ChildIndex {
 public:
  explicit ChildIndex(const XmlDocument& document) : document_(document) {}

  // Appends the children of `parent` named `key`, in document order; false,
  // appending nothing, when `parent` has too few children to be worth it.
  bool append_named(NodeId parent, const NameKey& key, NodeIds& out);

 private:
  struct Table {
    NodeId parent = kNoNode;
    bool indexed = false;  // false for an element left to scanning
    std::uint64_t last_used = 0;
    ChildrenByName children;
  };

  const Table& table_of(NodeId parent);

  const XmlDocument& document_;
  std::array<Table, 4> tables_;
  std::uint64_t uses_ = 0;
};

}  // namespace tolvar
