#include "eval/child_index.h"

#include <iterator>
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
  const Table table = table_of(parent);
  if (table.mask == 0) return false;
  for (std::uint32_t slot = key.digest() & table.mask;; slot = (slot + 1) & table.mask) {
    const std::uint32_t first = slots_[table.begin + slot];
    if (first == kNone) return true;
    if (!document_[first].has_name(key)) continue;
    for (std::uint32_t child = first; child != kNone; child = next_[child]) out.push_back(child);
    return true;
  }
}

ChildIndex::Table ChildIndex::table_of(NodeId parent) {
  if (tables_.empty()) tables_.assign(document_.size(), Table{kNone, kNone});
  if (tables_[parent].mask == kNone) tables_[parent] = build(parent);
  return tables_[parent];
}

// Open addressing with linear probing, at most half full; each name's
// children are chained in document order.
ChildIndex::Table ChildIndex::build(NodeId parent) {
  const SiblingRange children = document_.children(parent);
  const auto count = static_cast<std::size_t>(std::distance(children.begin(), children.end()));
  if (count < kIndexedFrom) return Table{0, 0};
  std::uint32_t mask = 1;
  while (mask < 2 * count) mask <<= 1;
  --mask;
  if (next_.empty()) next_.assign(document_.size(), kNone);
  const auto begin = static_cast<std::uint32_t>(slots_.size());
  slots_.resize(slots_.size() + mask + 1, kNone);
  last_.assign(mask + 1, kNone);
  for (NodeId child : children) {
    const XmlNode& named = document_[child];
    std::uint32_t slot = named.name_digest() & mask;
    while (slots_[begin + slot] != kNone && !same_name(named, document_[slots_[begin + slot]])) {
      slot = (slot + 1) & mask;
    }
    if (slots_[begin + slot] == kNone) {
      slots_[begin + slot] = static_cast<std::uint32_t>(child);
    } else {
      next_[last_[slot]] = static_cast<std::uint32_t>(child);
    }
    last_[slot] = static_cast<std::uint32_t>(child);
  }
  return Table{begin, mask};
}

}  // namespace tolvar
