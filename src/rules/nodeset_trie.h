// The plain nodesets of a form's binds as one tree of names, made once when
// the form loads, so that each evaluation document is searched for all of
// them in one walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/expr.h"
#include "tree/document.h"

namespace tolvar {

class NodesetTrie {
 public:
  NodesetTrie() = default;
  // A tree for documents whose root is named `root_name`.
  explicit NodesetTrie(std::string_view root_name);

  // Takes in bind `bind`'s nodeset when it is a plain path (a chain of
  // named child steps); other nodesets are left to the evaluator.
  void add(std::size_t bind, const Expr& nodeset);

  std::string_view root_name() const { return root_name_; }

  // By bind index (`binds` entries): the nodes of every bind taken in, in
  // document order; nothing for the other binds. Only the document's
  // structure decides these, never its texts.
  std::vector<std::optional<std::vector<NodeId>>> targets(const XmlDocument& model,
                                                          std::size_t binds) const;

 private:
  // A named child step out of an entry.
  struct Branch {
    std::uint16_t digest;  // NameKey::digest_of(name)
    std::string name;
    std::size_t entry;
  };
  struct Entry {
    std::vector<Branch> next;  // by digest
    std::size_t binds_ending = 0;  // binds whose nodeset ends here
  };

  // The entry a child named `name` of a node at `at` goes on to, or none.
  static std::optional<std::size_t> branch(const Entry& at, std::uint16_t digest,
                                           std::string_view name);
  std::size_t add_branch(std::size_t at, std::string_view name);

  std::string root_name_;
  std::vector<Entry> entries_ = std::vector<Entry>(1);  // entry 0: the root
  std::vector<std::pair<std::size_t, std::size_t>> binds_;  // bind index, entry
};

}  // namespace tolvar
