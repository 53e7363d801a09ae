// Inputs that once broke instance editing or made a session grow without
// end, kept with what they must give.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "rules_instance_support.h"
#include "rules/instance_edit.h"

namespace tolvar {
namespace {

using testing::kEditHost;
using testing::tree_of;

struct RowChurnCase {
  const char* instance;
  const char* repeat;
  const char* expected;  // the tree after every added row is removed again
};

void PrintTo(const RowChurnCase& c, std::ostream* os) { *os << c.repeat; }

class RowChurnTest : public ::testing::TestWithParam<RowChurnCase> {};

// Removed rows used to stay in the arena for as long as the session lived.
TEST_P(RowChurnTest, AddingAndRemovingRowsKeepsTheArenaBounded) {
  const RowChurnCase& c = GetParam();
  XmlDocument instance = parse_document(c.instance);
  const Templates templates = extract_templates(instance);
  std::size_t largest = 0;
  for (int round = 0; round < 1000; ++round) {
    Result<std::size_t> rows = add_row(instance, templates, c.repeat, kEditHost);
    ASSERT_TRUE(rows.ok()) << rows.error();
    Result<std::size_t> left = remove_row(instance, c.repeat, rows.value(), kEditHost);
    ASSERT_TRUE(left.ok()) << left.error();
    EXPECT_EQ(left.value() + 1, rows.value());
    largest = std::max(largest, instance.size());
  }
  EXPECT_EQ(tree_of(instance), c.expected);
  EXPECT_LT(largest, 64u);
  EXPECT_EQ(get_answer(instance, "/data/after", kEditHost), "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Regressions, RowChurnTest,
    ::testing::Values(
        RowChurnCase{"<data><r template=''><a>1</a><b x='y'/></r><after>kept</after></data>",
                     "/data/r", "<data><after>kept</after></data>"},
        RowChurnCase{"<data><g><r template=''><a/></r><r><a>2</a></r></g><after>kept</after></data>",
                     "/data/g/r", "<data><g><r><a>2</a></r></g><after>kept</after></data>"},
        RowChurnCase{"<data><o template=''><i template=''><v/></i></o><o><i><v>3</v></i></o>"
                     "<after>kept</after></data>",
                     "/data/o[1]/i", "<data><o><i><v>3</v></i></o><after>kept</after></data>"}));

}  // namespace
}  // namespace tolvar
