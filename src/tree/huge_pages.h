// Huge pages for a large node arena.
#pragma once

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <cstdint>
#include <vector>

namespace tolvar {

// A large arena is touched page by page as nodes are added; on Linux, asking
// for huge pages for its reserved capacity spares most of those page faults,
// which otherwise cost more than filling the nodes in. Elsewhere (or when
// refused) this changes nothing.
template <class Node>
void advise_huge_pages(std::vector<Node>& nodes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(nodes.data());
  const std::uintptr_t end = begin + nodes.capacity() * sizeof(Node);
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = end & ~(kHugePage - 1);
  if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)nodes;
#endif
}

}  // namespace tolvar
