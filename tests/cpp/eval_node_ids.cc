#include "eval/node_ids.h"

#include <gtest/gtest.h>

#include <ostream>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace tolvar {
namespace {

// One edit, written once and run on both a NodeIds and a std::vector.
struct Edit {
  const char* name;
  void (*on_ids)(NodeIds&);
  void (*on_vector)(std::vector<NodeId>&);
};
template <class F>
Edit edit(const char* name, F f) {
  return {name, f, f};
}
void PrintTo(const Edit& e, std::ostream* os) { *os << e.name; }

template <class Reference>
using List = std::remove_reference_t<Reference>;

constexpr NodeId kMore[] = {100, 101, 102};

const Edit kEdits[] = {
    edit("push_back", [](auto& l) { l.push_back(100); }),
    edit("insert at end", [](auto& l) { l.insert(l.end(), kMore, kMore + 3); }),
    edit("insert at front", [](auto& l) { l.insert(l.begin(), kMore, kMore + 3); }),
    edit("insert inside", [](auto& l) { l.insert(l.begin() + l.size() / 2, kMore, kMore + 1); }),
    edit("erase the first", [](auto& l) { l.erase(l.begin(), l.begin() + !l.empty()); }),
    edit("erase all but the first", [](auto& l) { l.erase(l.begin() + !l.empty(), l.end()); }),
    edit("resize to 4", [](auto& l) { l.resize(4); }),
    edit("clear, push_back", [](auto& l) { l.clear(); l.push_back(100); }),
    edit("assign itself", [](auto& l) { const auto& same = l; l = same; }),
    edit("assign a copy of 5", [](auto& l) { const List<decltype(l)> o{1, 2, 3, 4, 5}; l = o; }),
    edit("assign a copy of 1", [](auto& l) { const List<decltype(l)> o{1}; l = o; }),
    edit("move in 5", [](auto& l) { l = List<decltype(l)>{1, 2, 3, 4, 5}; }),
    edit("move in 1", [](auto& l) { l = List<decltype(l)>{1}; }),
    edit("change a copy", [](auto& l) { auto copy = l; copy.push_back(100); copy[0] = 101; }),
    // A moved-from list is empty and usable.
    edit("move out, append back", [](auto& l) {
      auto taken = std::move(l);
      l.push_back(100);
      l.insert(l.end(), taken.begin(), taken.end());
    }),
};

class NodeIdsTest : public ::testing::TestWithParam<std::tuple<std::size_t, Edit>> {};

// From either side of the two ids kept in place, every edit leaves what a
// vector's would.
TEST_P(NodeIdsTest, EditsMatchAVector) {
  const auto& [length, change] = GetParam();
  NodeIds ids;
  std::vector<NodeId> expected;
  for (NodeId id = 10; id < 10 + length; ++id) {
    ids.push_back(id);
    expected.push_back(id);
  }
  change.on_ids(ids);
  change.on_vector(expected);
  EXPECT_EQ(std::vector<NodeId>(ids.begin(), ids.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, NodeIdsTest,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3, 4, 7),
                                            ::testing::ValuesIn(kEdits)));

}  // namespace
}  // namespace tolvar
