#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/expr.h"
#include "rules/references.h"

namespace tolvar {
namespace {

struct ReferenceCase {
  const char* expression;
  const char* context;
  std::vector<std::string> paths;
};

class ReferencedPaths : public testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferencedPaths, ResolvesAgainstTheContextInWalkOrder) {
  const ReferenceCase& c = GetParam();
  Result<Expr> expr = parse_expression(c.expression);
  ASSERT_TRUE(expr.ok()) << expr.error();
  EXPECT_EQ(referenced_paths(expr.value(), c.context), c.paths) << c.expression;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReferencedPaths,
    testing::Values(
        // A predicate reads against the bind's context, not the step's node.
        ReferenceCase{"../b + /data/c * count(../r[x = /data/d])", "/data/a",
                      {"/data/b", "/data/c", "/data/r", "/data/a/x", "/data/d"}},
        ReferenceCase{"data/b", "/data/a", {"/data/a/data/b"}},
        ReferenceCase{".", "/data/a", {"/data/a"}},
        ReferenceCase{"./b/../c", "/data/a", {"/data/a/c"}},
        ReferenceCase{"../../..", "/data/a", {}},
        ReferenceCase{"x", "data", {"/x"}},
        ReferenceCase{"../x", "  /data/g/q", {"/data/g/x"}},
        ReferenceCase{"/", "/data/a", {"/"}},
        ReferenceCase{"/data/a + /data/a", "/data/q", {"/data/a", "/data/a"}},
        ReferenceCase{"-/data/a | /data/b", "/data/q", {"/data/a", "/data/b"}},
        ReferenceCase{"$v + 'x' + 1", "/data/q", {}},
        // Wildcards, "//" and other axes abandon the path but not its predicates.
        ReferenceCase{"//a[/data/b]", "/data/q", {"/data/b"}},
        ReferenceCase{"/data/*", "/data/q", {}},
        ReferenceCase{"@x", "/data/q", {}},
        ReferenceCase{"/data/a[1]/b", "/data/q", {"/data/a/b"}},
        // A filter gives its primary and predicates, never its own steps.
        ReferenceCase{"instance('c')/root/item[name = /data/x]", "/data/a",
                      {"/data/a/name", "/data/x"}},
        ReferenceCase{"(/data/a | ../b)[/data/c]/d[e]", "/data/q",
                      {"/data/a", "/data/b", "/data/c", "/data/q/e"}}));

}  // namespace
}  // namespace tolvar
