// Append-only storage for the names and texts of a document's nodes.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace tolvar {

// Strings never move once stored: chunks are only ever added, so views into
// them stay valid for the store's life, across moves of the store itself.
class StringStore {
 public:
  // Makes the next `bytes` of adds fit in one chunk (memory is touched only
  // as it is filled).
  void reserve(std::size_t bytes);
  // Copies text into the store; the empty string takes no space.
  std::string_view add(std::string_view text);
  std::size_t stored_bytes() const { return stored_; }

 private:
  static constexpr std::size_t kChunkBytes = std::size_t{64} << 10;

  char* allocate(std::size_t bytes);

  std::vector<std::unique_ptr<char[]>> chunks_;
  char* free_ = nullptr;
  std::size_t left_ = 0;
  std::size_t stored_ = 0;
};

}  // namespace tolvar
