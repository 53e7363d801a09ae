#include "eval/child_index.h"

#include <algorithm>
#include <limits>

namespace tolvar {
namespace {

// Below this many children a scan costs no more than a lookup.
constexpr std::size_t kIndexedFrom = 16;
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

bool same_name(const XmlNode& a, const XmlNode& b) {
  return a.name_digest() == b.name_digest() && a.name() == b.name();
}

}  // namespace

bool ChildIndex::append_named(NodeId parent, const NameKey& key, std::vector<NodeId>& out) {
  const Table& table = table_of(parent);
  if (table.slots.empty()) return false;
  const std::size_t mask = table.slots.size() - 1;
  for (std::size_t slot = key.digest() & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t first = table.slots[slot];
    if (first == kNone) return true;
    if (!document_[table.children[first]].has_name(key)) continue;
    for (std::uint32_t child = first; child != kNone; child = table.next[child]) {
      out.push_back(table.children[child]);
    }
    return true;
  }
}

// The table kept for `parent`, or one built in place of the one used
// longest ago.
const ChildIndex::Table& ChildIndex::table_of(NodeId parent) {
  ++uses_;
  for (Table& table : tables_) {
    if (table.parent == parent) {
      table.last_used = uses_;
      return table;
    }
  }
  Table& oldest = *std::min_element(tables_.begin(), tables_.end(),
                                    [](const Table& a, const Table& b) {
                                      return a.last_used < b.last_used;
                                    });
  build(oldest, parent);
  oldest.last_used = uses_;
  return oldest;
}

// Open addressing with linear probing, at most half full; each name's
// children are chained in document order.
void ChildIndex::build(Table& table, NodeId parent) {
  table.parent = parent;
  table.children.clear();
  for (NodeId child : document_.children(parent)) table.children.push_back(child);
  table.slots.clear();
  if (table.children.size() < kIndexedFrom) return;
  std::size_t mask = 1;
  while (mask < 2 * table.children.size()) mask <<= 1;
  --mask;
  table.slots.assign(mask + 1, kNone);
  table.next.assign(table.children.size(), kNone);
  tail_.assign(mask + 1, kNone);
  for (std::uint32_t i = 0; i < table.children.size(); ++i) {
    const XmlNode& named = document_[table.children[i]];
    std::size_t slot = named.name_digest() & mask;
    while (table.slots[slot] != kNone &&
           !same_name(named, document_[table.children[table.slots[slot]]])) {
      slot = (slot + 1) & mask;
    }
    if (table.slots[slot] == kNone) {
      table.slots[slot] = i;
    } else {
      table.next[tail_[slot]] = i;
    }
    tail_[slot] = i;
  }
}

}  // namespace tolvar
