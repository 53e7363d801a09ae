// Append-only storage for the names and texts of a document's nodes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "base/page_allocator.h"

namespace tolvar {

// Strings never move once stored: chunks are only ever added, so views into
// them stay valid for the store's life, across moves of the store itself.
class StringStore {
 public:
  // Makes the next `bytes` of adds fit in one chunk (memory is touched only
  // as it is filled).
  void reserve(std::size_t bytes);
  // Copies text into the store; the empty string takes no space.
  std::string_view add(std::string_view text) {
    if (text.empty()) return {};
    if (text.size() > left_) reserve(std::max(text.size(), kChunkBytes));
    char* start = free_;
    std::memcpy(start, text.data(), text.size());
    free_ += text.size();
    left_ -= text.size();
    stored_ += text.size();
    return {start, text.size()};
  }
  std::size_t stored_bytes() const { return stored_; }

 private:
  static constexpr std::size_t kChunkBytes = std::size_t{64} << 10;

  // A block of the store, never touched beyond what has been filled.
  class Chunk {
   public:
    explicit Chunk(std::size_t size) : data_(PageAllocator<char>().allocate(size)), size_(size) {}
    Chunk(Chunk&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(other.size_) {}
    Chunk& operator=(Chunk&&) = delete;
    ~Chunk() {
      if (data_ != nullptr) PageAllocator<char>().deallocate(data_, size_);
    }
    char* data() const { return data_; }

   private:
    char* data_;
    std::size_t size_;
  };

  std::vector<Chunk> chunks_;
  char* free_ = nullptr;
  std::size_t left_ = 0;
  std::size_t stored_ = 0;
};

}  // namespace tolvar
