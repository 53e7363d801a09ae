// The element children of a document's wide elements, indexed by name.
#pragma once

#include <cstdint>
#include <vector>

#include "tree/document.h"

namespace tolvar {

// A child step from an element with many children ("../age" from each
// question of a wide group) scans all of them; with the index it finds its
// name in a hash table of the element's children. Each element is indexed
// on first need, so a document is paid for only where it is read. The
// document's structure must stay as it is while the index lives.
class ChildIndex {
 public:
  explicit ChildIndex(const XmlDocument& document) : document_(document) {}

  // Appends the children of `parent` named `key`, in document order; false,
  // appending nothing, when `parent` has too few children to be worth it.
  bool append_named(NodeId parent, const NameKey& key, std::vector<NodeId>& out);

 private:
  // An element's slots in `slots_`: mask + 1 of them from `begin`; a mask
  // of 0 for an element left to scanning.
  struct Table {
    std::uint32_t begin;
    std::uint32_t mask;
  };

  Table table_of(NodeId parent);
  Table build(NodeId parent);

  const XmlDocument& document_;
  std::vector<Table> tables_;        // by node id, once the first element is asked for
  std::vector<std::uint32_t> slots_;  // the first child of each name, by name digest
  std::vector<std::uint32_t> next_;   // by node id: the next sibling of the same name
  std::vector<std::uint32_t> last_;   // scratch: the last child of each slot's name
};

}  // namespace tolvar
