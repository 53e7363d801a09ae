// An allocator that gives large arenas pages of their own.
#pragma once

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <cstddef>
#include <memory>
#include <new>

namespace tolvar {

// Blocks of a megabyte or more are mapped straight from the system and
// unmapped when freed, instead of coming from the heap: after another
// library in the process has freed millions of small objects, the heap
// would first merge all of them to serve one large block. On Linux such a
// block also asks for huge pages, which spares most of the page faults of
// filling it in. Smaller blocks, and every block elsewhere, use the heap.
template <class T>
struct PageAllocator {
  using value_type = T;

  PageAllocator() = default;
  template <class U>
  PageAllocator(const PageAllocator<U>&) {}

  T* allocate(std::size_t count) {
#if defined(__linux__)
    if (is_large(count)) {
      void* block = mmap(nullptr, count * sizeof(T), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (block == MAP_FAILED) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
      madvise(block, count * sizeof(T), MADV_HUGEPAGE);
#endif
      return static_cast<T*>(block);
    }
#endif
    return std::allocator<T>().allocate(count);
  }

  void deallocate(T* block, std::size_t count) {
#if defined(__linux__)
    if (is_large(count)) {
      munmap(block, count * sizeof(T));
      return;
    }
#endif
    std::allocator<T>().deallocate(block, count);
  }

  friend bool operator==(const PageAllocator&, const PageAllocator&) { return true; }

 private:
  static bool is_large(std::size_t count) { return count >= (std::size_t{1} << 20) / sizeof(T); }
};

}  // namespace tolvar
