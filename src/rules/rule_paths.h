// The absolute plain paths of a form's rules, found in one walk down the
// evaluation document for every judge instead of step by step each time a
// rule names one.
#pragma once

#include <cstddef>
#include <optional>
#include <unordered_map>
#include <vector>

#include "parser/expr.h"
#include "rules/nodeset_trie.h"
#include "tree/document.h"

namespace tolvar {

class RulePaths {
 public:
  RulePaths() = default;
  explicit RulePaths(std::string_view root_name) : trie_(root_name) {}
  // Paths are known by where they stand in the form's parsed rules, so a
  // copy of a form, whose rules stand elsewhere, starts without any.
  RulePaths(const RulePaths& other) : trie_(other.trie_.root_name()) {}
  RulePaths& operator=(const RulePaths& other) {
    if (this != &other) *this = RulePaths(other);
    return *this;
  }
  RulePaths(RulePaths&&) = default;
  RulePaths& operator=(RulePaths&&) = default;

  // Takes in `path` when it is an absolute plain path.
  void add(const Expr& path) {
    if (!path.absolute) return;
    auto [entry, added] = numbers_.try_emplace(&path, numbers_.size());
    if (added) trie_.add(entry->second, path);
  }

  // The nodes of every path taken in, by number; nothing when `model` has
  // another root than the paths were taken in for.
  TrieMatches find_all(const XmlDocument& model) const {
    if (numbers_.empty() || !model.has_root() || model[model.root].name() != trie_.root_name()) {
      return {};
    }
    return trie_.targets(model, numbers_.size());
  }

  // The number of `path` in what find_all gives, if it was taken in.
  std::optional<std::size_t> number_of(const Expr& path) const {
    auto found = numbers_.find(&path);
    if (found == numbers_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::unordered_map<const Expr*, std::size_t> numbers_;
  NodesetTrie trie_;
};

}  // namespace tolvar
