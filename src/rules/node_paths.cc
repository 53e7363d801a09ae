#include "rules/node_paths.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>

namespace tolvar {
namespace {

constexpr std::uint32_t kUnnumbered = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kFree = std::numeric_limits<std::uint32_t>::max();

bool same_name(const XmlNode& a, const XmlNode& b) {
  return a.name_digest() == b.name_digest() && a.name() == b.name();
}

}  // namespace

NodePaths::NodePaths(const XmlDocument& document)
    : document_(document), index_(document.size(), kUnnumbered) {}

std::string NodePaths::path(NodeId node) {
  std::vector<NodeId> chain;
  for (NodeId id = node; id != kNoNode; id = document_[id].parent()) chain.push_back(id);
  std::string path;
  for (auto id = chain.rbegin(); id != chain.rend(); ++id) {
    path += '/';
    path += document_[*id].name();
    std::size_t index = index_of(*id);
    if (index == 0) continue;
    char digits[24];
    auto converted = std::to_chars(std::begin(digits), std::end(digits), index);
    path += '[';
    path.append(digits, converted.ptr);
    path += ']';
  }
  return path;
}

// The root and attributes are never indexed.
std::size_t NodePaths::index_of(NodeId node) {
  const XmlNode& element = document_[node];
  if (element.parent() == kNoNode || element.is_attribute()) return 0;
  if (index_[node] == kUnnumbered) number_children(element.parent());
  // A node missing from its parent's list is named as node_path names it.
  return index_[node] == kUnnumbered ? 0 : index_[node];
}

// One pass groups the children by name in a small open-addressed table
// (the name digest picks the slot, so most probes never read a name), a
// second numbers each group's runs in document order: linear, and without
// allocating once the scratch lists have grown.
void NodePaths::number_children(NodeId parent) {
  const SiblingRange children = document_.children(parent);
  std::size_t mask = 1;
  while (mask < 2 * static_cast<std::size_t>(std::distance(children.begin(), children.end()))) {
    mask <<= 1;
  }
  --mask;
  slots_.assign(mask + 1, kFree);
  groups_.clear();
  groups_.reserve(mask);
  group_of_.clear();
  group_of_.reserve(mask);
  for (NodeId child : children) {
    const XmlNode& named = document_[child];
    std::size_t slot = named.name_digest() & mask;
    while (slots_[slot] != kFree && !same_name(named, document_[groups_[slots_[slot]].first])) {
      slot = (slot + 1) & mask;
    }
    if (slots_[slot] == kFree) {
      slots_[slot] = static_cast<std::uint32_t>(groups_.size());
      groups_.push_back({child, 0, 0});
    }
    ++groups_[slots_[slot]].size;
    group_of_.push_back(slots_[slot]);
  }
  std::size_t i = 0;
  for (NodeId child : children) {
    Group& group = groups_[group_of_[i++]];
    index_[child] = group.size > 1 ? ++group.numbered : 0;
  }
}

}  // namespace tolvar
