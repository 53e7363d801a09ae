#include "tree/string_store.h"

#include <algorithm>
#include <cstring>

namespace tolvar {

void StringStore::reserve(std::size_t bytes) {
  if (bytes <= left_) return;
  // new char[] leaves the bytes untouched, so unfilled pages stay unmapped.
  chunks_.emplace_back(new char[bytes]);
  free_ = chunks_.back().get();
  left_ = bytes;
}

char* StringStore::allocate(std::size_t bytes) {
  if (bytes > left_) reserve(std::max(bytes, kChunkBytes));
  char* start = free_;
  free_ += bytes;
  left_ -= bytes;
  return start;
}

std::string_view StringStore::add(std::string_view text) {
  if (text.empty()) return {};
  char* start = allocate(text.size());
  std::memcpy(start, text.data(), text.size());
  stored_ += text.size();
  return {start, text.size()};
}

}  // namespace tolvar
