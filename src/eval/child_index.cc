#include "eval/child_index.h"

#include <algorithm>
#include <iterator>

namespace tolvar {
namespace {

// Below this many children a scan costs no more than a lookup.
constexpr std::ptrdiff_t kIndexedFrom = 16;

}  // namespace

bool ChildIndex::append_named(NodeId parent, const NameKey& key, NodeIds& out) {
  const Table& table = table_of(parent);
  if (!table.indexed) return false;
  const ChildrenByName& children = table.children;
  for (std::uint32_t i = children.first_named(document_, key); i != ChildrenByName::kNone;
       i = children.next_of_name(i)) {
    out.push_back(children.children()[i]);
  }
  return true;
}

// The table kept for `parent`, or one made in place of the one used
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
  const SiblingRange range = document_.children(parent);
  oldest.parent = parent;
  oldest.indexed = std::distance(range.begin(), range.end()) >= kIndexedFrom;
  if (oldest.indexed) oldest.children.group(document_, parent);
  oldest.last_used = uses_;
  return oldest;
}

}  // namespace tolvar
