// The plain nodesets of a form's binds as one tree of names, made once when
// the form loads, so that each evaluation document is searched for all of
// them in one walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/expr.h"
#include "tree/document.h"

namespace tolvar {

// What a walk of a trie found: by number, the nodes of each nodeset taken
// in, in document order, all kept in one list.
class TrieMatches {
 public:
  // Whether nodeset `number` was taken in: the others have no nodes here,
  // not even none.
  bool has(std::size_t number) const {
    return number < ranges_.size() && ranges_[number].first != kNotTaken;
  }
  std::span<const NodeId> operator[](std::size_t number) const {
    const auto [begin, end] = ranges_[number];
    return std::span<const NodeId>(nodes_).subspan(begin, end - begin);
  }

 private:
  friend class NodesetTrie;
  static constexpr std::uint32_t kNotTaken = std::numeric_limits<std::uint32_t>::max();

  std::vector<NodeId> nodes_;  // grouped by where the nodesets end in the trie
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges_;  // by number: begin, end
};

class NodesetTrie {
 public:
  NodesetTrie() = default;
  // A tree for documents whose root is named `root_name`.
  explicit NodesetTrie(std::string_view root_name);

  // Takes in nodeset number `number` (a bind's index, say) when it is a
  // plain path (a chain of named child steps); other nodesets are left to
  // the evaluator.
  void add(std::size_t number, const Expr& nodeset);

  std::string_view root_name() const { return root_name_; }

  // By number (`numbers` of them): the nodes of every nodeset taken in.
  // Only the document's structure decides these, never its texts.
  TrieMatches targets(const XmlDocument& model, std::size_t numbers) const;

 private:
  // A named child step out of an entry.
  struct Branch {
    std::uint16_t digest;  // NameKey::digest_of(name)
    std::string name;
    std::size_t entry;
  };
  struct Entry {
    std::vector<Branch> next;
    // Open-addressed by digest, at most half full: which of `next`, or kFree.
    std::vector<std::uint32_t> slots;
    bool ends_nodeset = false;  // some nodeset taken in ends here
  };
  static constexpr std::uint32_t kFree = std::numeric_limits<std::uint32_t>::max();

  // The entry a child named `name` of a node at `at` goes on to, or none.
  static std::optional<std::size_t> branch(const Entry& at, std::uint16_t digest,
                                           std::string_view name);
  static void place(Entry& at, std::uint32_t which);
  std::size_t add_branch(std::size_t at, std::string_view name);

  std::string root_name_;
  std::vector<Entry> entries_ = std::vector<Entry>(1);  // entry 0: the root
  std::vector<std::pair<std::size_t, std::size_t>> taken_;  // number, entry
};

}  // namespace tolvar
