#include "rules/checker/name_paths.h"

#include <algorithm>

namespace tolvar {
namespace {

// Calls `each` with every name of "/a/b/c" in order; false when the path does
// not start with "/" or `each` says stop.
template <class Each>
bool for_each_name(std::string_view path, Each&& each) {
  if (!path.starts_with('/')) return false;
  path.remove_prefix(1);
  while (true) {
    const std::size_t slash = path.find('/');
    if (!each(path.substr(0, slash))) return false;
    if (slash == std::string_view::npos) return true;
    path.remove_prefix(slash + 1);
  }
}

}  // namespace

NamePaths::NamePaths() : entries_{nullptr} {}

NamePaths::NamePaths(std::initializer_list<std::string_view> paths) : NamePaths() {
  for (std::string_view path : paths) insert(path);
}

std::size_t NamePaths::add(std::size_t parent, std::string_view name) {
  auto found = children_.find(KeyView{parent, name});
  if (found != children_.end()) return found->second;
  auto added = children_.emplace(Key{parent, std::string(name)}, entries_.size()).first;
  entries_.push_back(&added->first);
  return added->second;
}

void NamePaths::insert(std::string_view path) {
  std::size_t entry = kTop;
  for_each_name(path, [&](std::string_view name) {
    if (name.empty()) return false;
    entry = add(entry, name);
    return true;
  });
}

std::optional<std::size_t> NamePaths::find(std::string_view path) const {
  std::size_t entry = kTop;
  const bool found = for_each_name(path, [&](std::string_view name) {
    auto child = children_.find(KeyView{entry, name});
    if (child == children_.end()) return false;
    entry = child->second;
    return true;
  });
  if (!found) return std::nullopt;
  return entry;
}

bool NamePaths::contains(std::string_view path) const { return find(path).has_value(); }

std::optional<std::string> NamePaths::only_path_named(std::string_view name) const {
  std::optional<std::size_t> only;
  for (std::size_t entry = kTop + 1; entry < entries_.size(); ++entry) {
    if (entries_[entry]->name != name) continue;
    if (only) return std::nullopt;
    only = entry;
  }
  if (!only) return std::nullopt;
  return text_of(*only);
}

std::string NamePaths::text_of(std::size_t entry) const {
  std::vector<std::string_view> names;
  for (; entry != kTop; entry = entries_[entry]->parent) names.push_back(entries_[entry]->name);
  std::string text;
  std::for_each(names.rbegin(), names.rend(), [&](std::string_view name) {
    text += '/';
    text += name;
  });
  return text;
}

}  // namespace tolvar
