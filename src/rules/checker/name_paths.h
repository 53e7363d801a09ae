// A set of name paths ("/data/group/q") kept as a tree of names.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// Each distinct path is one entry holding its parent path and its last name,
// so an instance nested thousands deep costs memory in proportion to its
// elements, not to the sum of its path lengths.
class NamePaths {
 public:
  // The empty path above every first name.
  static constexpr std::size_t kTop = 0;

  NamePaths();
  NamePaths(std::initializer_list<std::string_view> paths);

  // The path `name` below the path `parent` (kTop, or what add returned),
  // added unless it is held already.
  std::size_t add(std::size_t parent, std::string_view name);
  // Adds "/a/b/c" and the paths above it; a path with an empty name adds nothing.
  void insert(std::string_view path);

  bool empty() const { return entries_.size() == 1; }
  bool contains(std::string_view path) const;
  // The one path whose last name is `name`; nothing when none or several are.
  std::optional<std::string> only_path_named(std::string_view name) const;

 private:
  struct Key {
    std::size_t parent;
    std::string name;
  };
  struct KeyView {
    std::size_t parent;
    std::string_view name;
  };
  struct KeyOrder {
    using is_transparent = void;
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
      return a.parent != b.parent ? a.parent < b.parent
                                  : std::string_view(a.name) < std::string_view(b.name);
    }
  };

  // The entry of `path`, or nothing when a name of it is missing or empty.
  std::optional<std::size_t> find(std::string_view path) const;
  std::string text_of(std::size_t entry) const;

  std::map<Key, std::size_t, KeyOrder> children_;
  // By entry: its key in children_ (map nodes stay put); none for kTop.
  std::vector<const Key*> entries_;
};

}  // namespace tolvar
