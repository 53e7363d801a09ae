#include "rules/node_paths.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>

namespace tolvar {
namespace {

constexpr std::uint32_t kUnnumbered = std::numeric_limits<std::uint32_t>::max();

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

// Sorting the children by name (stably, so each name keeps document order)
// numbers every run of a repeated name in one pass, without a hash map per
// parent. Any order that groups equal names will do, so the names' digests
// settle most comparisons.
void NodePaths::number_children(NodeId parent) {
  std::vector<NodeId> by_name;
  for (NodeId child : document_.children(parent)) by_name.push_back(child);
  std::stable_sort(by_name.begin(), by_name.end(), [&](NodeId a, NodeId b) {
    const XmlNode& first = document_[a];
    const XmlNode& second = document_[b];
    if (first.name_digest() != second.name_digest()) {
      return first.name_digest() < second.name_digest();
    }
    return first.name() < second.name();
  });
  for (std::size_t start = 0; start < by_name.size();) {
    const std::string_view name = document_[by_name[start]].name();
    std::size_t end = start + 1;
    while (end < by_name.size() && document_[by_name[end]].name() == name) ++end;
    for (std::size_t i = start; i < end; ++i) index_[by_name[i]] = end - start > 1 ? static_cast<std::uint32_t>(i - start + 1) : 0;
    start = end;
  }
}

}  // namespace tolvar
