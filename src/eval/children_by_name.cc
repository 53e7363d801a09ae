#include "eval/children_by_name.h"

namespace tolvar {

// Linear probing, the table at most half full.
void ChildrenByName::group(const XmlDocument& document, NodeId parent) {
  parent_ = parent;
  const SiblingRange children = document.children(parent);
  children_.assign(children.begin(), children.end());
  std::size_t mask = 1;
  while (mask < 2 * children_.size()) mask <<= 1;
  --mask;
  slots_.assign(mask + 1, kNone);
  last_.assign(mask + 1, kNone);
  next_.assign(children_.size(), kNone);
  for (std::uint32_t i = 0; i < children_.size(); ++i) {
    const XmlNode& named = document[children_[i]];
    std::size_t slot = named.name_digest() & mask;
    while (slots_[slot] != kNone && !named.same_name_as(document[children_[slots_[slot]]])) {
      slot = (slot + 1) & mask;
    }
    if (slots_[slot] == kNone) {
      slots_[slot] = i;
    } else {
      next_[last_[slot]] = i;
    }
    last_[slot] = i;
  }
}

std::uint32_t ChildrenByName::first_named(const XmlDocument& document,
                                          const NameKey& key) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = key.digest() & mask; slots_[slot] != kNone; slot = (slot + 1) & mask) {
    if (document[children_[slots_[slot]]].has_name(key)) return slots_[slot];
  }
  return kNone;
}

}  // namespace tolvar
