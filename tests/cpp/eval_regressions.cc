// Inputs that once broke the evaluator or made it super-linear, kept with the
// results they must give.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "eval_core_harness.h"

namespace tolvar {
namespace {

using core_testing::run;

struct RegressionCase {
  const char* expression;
  const char* expected;
};

void PrintTo(const RegressionCase& c, std::ostream* os) { *os << c.expression; }

// Nested subtrees with attributes at every level, so that a descendant step
// from overlapping context nodes has something to skip and something not to.
constexpr const char* kNested =
    "<a x='1'><b y='2'><c/><d z='3'><e/></d></b><f><g/></f></a>";

class DescendantStepTest : public ::testing::TestWithParam<RegressionCase> {};

// A descendant step skips context nodes inside a subtree it has already
// expanded; the result must be what expanding every one of them gives.
TEST_P(DescendantStepTest, OverlappingContextsGiveEveryNodeOnce) {
  const TestHost host;
  const XmlDocument document = parse_document(kNested);
  EXPECT_EQ(run(GetParam().expression, document, host), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Regressions, DescendantStepTest,
    ::testing::Values(
        RegressionCase{"count(//*//*)", "4"},
        RegressionCase{"//*//*//*", "[/a/b/d/e]"},
        RegressionCase{"(//d | //b | //f)//*", "[/a/b/c, /a/b/d, /a/b/d/e, /a/f/g]"},
        RegressionCase{"//*/descendant-or-self::*[1]", "[/a/b, /a/b/c, /a/b/d, /a/b/d/e, /a/f, /a/f/g]"},
        RegressionCase{"//b/descendant-or-self::node()/@*", "[/a/b/y, /a/b/d/z]"},
        RegressionCase{"//@*/descendant-or-self::node()", "[/a/x, /a/b/y, /a/b/d/z]"},
        RegressionCase{"count(//*//e)", "1"},
        RegressionCase{"//*//*[1]", "[/a/b/c, /a/b/d/e, /a/f/g]"}));

}  // namespace
}  // namespace tolvar
