// One element's children grouped by name.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "tree/document.h"

namespace tolvar {

// The children of one element, each name's chained in document order and
// found through a table open-addressed by name digest, so that most probes
// never read a name. Grouping costs one pass; the lists are kept for the
// next element grouped, so a reused object stops allocating.
class ChildrenByName {
 public:
  static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

  void group(const XmlDocument& document, NodeId parent);

  NodeId parent() const { return parent_; }
  // In document order; the indices below count into this.
  const std::vector<NodeId>& children() const { return children_; }
  // The first child named `key`, or kNone.
  std::uint32_t first_named(const XmlDocument& document, const NameKey& key) const;
  // The next child of the same name after child `i`, or kNone.
  std::uint32_t next_of_name(std::uint32_t i) const { return next_[i]; }

 private:
  NodeId parent_ = kNoNode;
  std::vector<NodeId> children_;
  std::vector<std::uint32_t> slots_;  // each name's first child, by name digest
  std::vector<std::uint32_t> next_;   // by child: the next of its name
  std::vector<std::uint32_t> last_;   // by slot: the last child of its name so far
};

}  // namespace tolvar
