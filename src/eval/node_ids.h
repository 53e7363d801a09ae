// A list of node ids that keeps up to two in place.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <span>
#include <stdexcept>

#include "tree/document.h"

namespace tolvar {

// Nearly every path an evaluation follows ("../age") selects one node, so
// its list lives in the list itself and never allocates; a longer list moves
// to the heap. The subset of std::vector the evaluator uses, with the same
// meaning; iterators are pointers, invalidated as a vector's are.
class NodeIds {
 public:
  NodeIds() = default;
  NodeIds(std::initializer_list<NodeId> ids) : NodeIds(std::span(ids.begin(), ids.size())) {}
  explicit NodeIds(std::span<const NodeId> ids) {
    insert(end(), ids.data(), ids.data() + ids.size());
  }
  NodeIds(const NodeIds& other) : NodeIds(std::span(other.begin(), other.size())) {}
  NodeIds(NodeIds&& other) noexcept { take(other); }
  NodeIds& operator=(const NodeIds& other) {
    if (this != &other) {
      clear();
      insert(end(), other.begin(), other.end());
    }
    return *this;
  }
  NodeIds& operator=(NodeIds&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ~NodeIds() { release(); }

  NodeId* data() { return on_heap() ? storage_.heap : storage_.inline_ids; }
  const NodeId* data() const { return on_heap() ? storage_.heap : storage_.inline_ids; }
  NodeId* begin() { return data(); }
  NodeId* end() { return data() + size_; }
  const NodeId* begin() const { return data(); }
  const NodeId* end() const { return data() + size_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  NodeId& operator[](std::size_t i) { return data()[i]; }
  NodeId operator[](std::size_t i) const { return data()[i]; }
  NodeId& front() { return data()[0]; }
  NodeId front() const { return data()[0]; }
  NodeId& back() { return data()[size_ - 1]; }
  NodeId back() const { return data()[size_ - 1]; }

  void push_back(NodeId id) {
    if (size_ == capacity_) reserve(grown(size_ + 1));
    data()[size_++] = id;
  }
  // Keeps the storage, as vector's clear() does.
  void clear() { size_ = 0; }
  void reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    if (capacity > kMaxSize) throw std::length_error("NodeIds::reserve");
    NodeId* storage = new NodeId[capacity];
    std::copy(begin(), end(), storage);
    release();
    storage_.heap = storage;
    capacity_ = static_cast<std::uint32_t>(capacity);
  }
  // New ids are 0, as a vector's would be.
  void resize(std::size_t size) {
    reserve(size);
    if (size > size_) std::fill(end(), data() + size, NodeId{});
    size_ = static_cast<std::uint32_t>(size);
  }
  // [first, last) must not lie in this list, as for vector's insert.
  void insert(const NodeId* at, const NodeId* first, const NodeId* last) {
    const std::size_t offset = static_cast<std::size_t>(at - begin());
    const std::size_t count = static_cast<std::size_t>(last - first);
    if (size_ + count > capacity_) reserve(grown(size_ + count));
    std::move_backward(begin() + offset, end(), end() + count);
    std::copy(first, last, begin() + offset);
    size_ += static_cast<std::uint32_t>(count);
  }
  NodeId* erase(NodeId* first, NodeId* last) {
    const NodeId* kept_end = std::move(last, end(), first);
    size_ = static_cast<std::uint32_t>(kept_end - begin());
    return first;
  }

  friend bool operator==(const NodeIds& a, const NodeIds& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  static constexpr std::uint32_t kInline = 2;
  static constexpr std::size_t kMaxSize = std::numeric_limits<std::uint32_t>::max();

  bool on_heap() const { return capacity_ > kInline; }
  // At least `wanted`, and at least double the capacity, so that a run of
  // appends copies each id a constant number of times on average.
  std::size_t grown(std::size_t wanted) const {
    return std::max(wanted, std::min<std::size_t>(2 * std::size_t{capacity_}, kMaxSize));
  }
  void release() {
    if (on_heap()) delete[] storage_.heap;
    capacity_ = kInline;
  }
  // Takes the ids or the heap storage of `other`, leaving it empty. The
  // union is copied whole, whichever member it holds, without a branch.
  void take(NodeIds& other) {
    size_ = other.size_;
    capacity_ = other.capacity_;
    storage_ = other.storage_;
    other.size_ = 0;
    other.capacity_ = kInline;
  }

  // 32-bit counts leave room for two ids in the size of a vector.
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = kInline;
  union Storage {
    NodeId inline_ids[kInline];
    NodeId* heap;
  } storage_{};
};

}  // namespace tolvar
