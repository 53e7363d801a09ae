#include "tree/string_store.h"

namespace tolvar {

void StringStore::reserve(std::size_t bytes) {
  if (bytes <= left_) return;
  chunks_.emplace_back(bytes);
  free_ = chunks_.back().data();
  left_ = bytes;
}

}  // namespace tolvar
