#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/checker/checker.h"
#include "tree/document.h"

namespace tolvar {
namespace {

// One bind, written out whole, in a form whose instance holds /data/a, /data/b
// and the repeat /data/rep/c.
std::vector<std::string> constructs_of(const std::string& bind) {
  Result<XmlDocument> document = parse_xml(
      "<h:html xmlns:h=\"h\"><h:head><model><instance><data><a/><b/><rep><c/></rep></data>"
      "</instance>" + bind + "</model></h:head><h:body><repeat nodeset=\"/data/rep\"/></h:body></h:html>");
  EXPECT_TRUE(document.ok()) << document.error();
  std::vector<std::string> constructs;
  if (!document.ok()) return constructs;
  for (const Finding& f : check_form_document(document.value())) constructs.push_back(f.construct);
  return constructs;
}

struct BindCase {
  const char* bind;
  std::vector<std::string> constructs;
};

class ValueTypes : public testing::TestWithParam<BindCase> {};

TEST_P(ValueTypes, FlagValuesTheEnginesTypeApart) {
  EXPECT_EQ(constructs_of(GetParam().bind), GetParam().constructs) << GetParam().bind;
}

const std::string kBoolean = "a calculation that stores a boolean";

INSTANTIATE_TEST_SUITE_P(
    Table, ValueTypes,
    testing::Values(
        // A calculation whose whole result is a boolean, kept as text.
        BindCase{"<bind nodeset='/data/a' calculate='/data/b &gt; 17'/>", {kBoolean}},
        BindCase{"<bind nodeset='/data/a' type='xsd:string' calculate=\"selected(/data/b, 'x') or "
                 "not(/data/b)\"/>",
                 {kBoolean}},
        BindCase{"<bind nodeset='/data/rep/c' calculate='if(../c, true(), ../c = 2)'/>", {kBoolean}},
        BindCase{"<bind nodeset='/data/a' calculate='if(/data/b &gt; 17, 1, 0)'/>", {}},
        BindCase{"<bind nodeset='/data/a' calculate=\"if(/data/b, true(), 'no')\"/>", {}},
        BindCase{"<bind nodeset='/data/a' relevant='/data/b &gt; 17'/>", {}},
        BindCase{"<bind nodeset='/data/a' type='int' calculate='/data/b &gt; 17'/>", {}},
        BindCase{"<bind nodeset='/data/a/@create' calculate=\"/data/b = 'new'\"/>", {}},
        // A date written as text where it is ordered or counted with.
        BindCase{"<bind nodeset='/data/a' constraint=\". &gt;= '2020-01-01' and . &lt; today()\"/>",
                 {"the date written as text \"2020-01-01\""}},
        BindCase{"<bind nodeset='/data/a' calculate=\"'2020-01-31' - /data/b\"/>",
                 {"the date written as text \"2020-01-31\""}},
        BindCase{"<bind nodeset='/data/a' constraint=\". = '2020-01-01' or . &gt; date('2020-01-01') "
                 "or . &gt; '2020-1-1' or . &gt; '20200101'\"/>",
                 {}}));

TEST(FunctionJavaRosaLacks, StopsTheFormLoadingWhereItRunsWhateverTheData) {
  auto effects = [](const std::string& bind) {
    Result<XmlDocument> document = parse_xml(
        "<h:html xmlns:h=\"h\"><h:head><model><instance><data><a/><rep><c/></rep></data></instance>" +
        bind + "</model></h:head><h:body><repeat nodeset=\"/data/rep/\"/></h:body></h:html>");
    std::vector<std::string> out;
    for (const Finding& f : check_form_document(document.value())) out.push_back(f.effect);
    return out;
  };
  const std::string kOpens = "JavaRosa has no floor()";
  const std::string kDoesNotOpen = "JavaRosa has no floor(), so the form does not open";
  EXPECT_EQ(effects("<bind nodeset='/data/a' relevant='floor(1)' calculate='floor(1)' "
                    "constraint='floor(1)' readonly='floor(1)'/>"),
            (std::vector<std::string>{kDoesNotOpen, kDoesNotOpen, kOpens, kDoesNotOpen}));
  // Parts evaluated only for some data: an if() branch, the right of and/or, a predicate.
  EXPECT_EQ(effects("<bind nodeset='/data/a' relevant='if(floor(1), floor(1), 0) or "
                    "floor(1) or /data/rep[floor(1)]'/>"),
            (std::vector<std::string>{kDoesNotOpen, kOpens, kOpens, kOpens}));
  EXPECT_EQ(effects("<bind nodeset='/data/rep/c' calculate='last()'/>"),
            std::vector<std::string>{"JavaRosa has no last(), so the rule fails"});
  EXPECT_EQ(effects("<bind nodeset='/data/a' calculate='ceiling(last())'/>"),
            (std::vector<std::string>{"JavaRosa has no ceiling(), so the form does not open",
                                      "JavaRosa has no last(), so the form does not open"}));
}

}  // namespace
}  // namespace tolvar
