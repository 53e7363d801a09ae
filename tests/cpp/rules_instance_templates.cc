// Taking template rows out of an instance, and rows made from them.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "eval/context.h"
#include "tree/document.h"
#include "rules/instance_edit.h"
#include "rules_instance_support.h"

namespace tolvar {
namespace {

using testing::tree_of;
const Host& kHost = testing::kEditHost;

struct ExtractCase {
  std::string_view instance;
  std::string_view left;                        // the instance afterwards
  std::vector<std::string_view> keys_and_rows;  // key, template tree, key, ...
};

class ExtractTemplates : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractTemplates, TakesTemplateRowsOutUnderTheirRepeatPath) {
  XmlDocument instance = parse_document(GetParam().instance);
  Templates templates = extract_templates(instance);
  EXPECT_EQ(tree_of(instance), GetParam().left);
  std::vector<std::string_view> found;
  std::vector<std::string> trees;
  for (const auto& [key, row] : templates) trees.push_back(tree_of(row));
  std::size_t i = 0;
  for (const auto& [key, row] : templates) {
    found.push_back(key);
    found.push_back(trees[i++]);
  }
  EXPECT_EQ(found, GetParam().keys_and_rows);
}

INSTANTIATE_TEST_SUITE_P(
    Instances, ExtractTemplates,
    ::testing::Values(
        // Any prefix, any value, even empty; other attributes stay.
        ExtractCase{"<data><rep jr:template=\"\" id=\"r\"><v>d</v></rep><q/></data>",
                    "<data><q/></data>",
                    {"/data/rep", "<rep id=\"r\"><v>d</v></rep>"}},
        ExtractCase{"<data><rep odk:template=\"yes\"/><rep><v/></rep></data>",
                    "<data><rep><v/></rep></data>",
                    {"/data/rep", "<rep/>"}},
        // The key never carries the row's own index; a later row replaces.
        ExtractCase{"<data><rep template=\"\"><a/></rep><rep template=\"\"><b/></rep></data>",
                    "<data/>",
                    {"/data/rep", "<rep><b/></rep>"}},
        ExtractCase{"<data><g><rep template=\"\"/></g><g><other template=\"\"/></g></data>",
                    "<data><g/><g/></data>",
                    {"/data/g[1]/rep", "<rep/>", "/data/g[2]/other", "<other/>"}},
        // The root is never a template.
        ExtractCase{"<data template=\"\"><q/></data>", "<data template=\"\"><q/></data>", {}},
        // Nested repeats: the inner template leaves the outer one and its key
        // drops the index of the outer row.
        ExtractCase{"<data><g1 jr:template=\"\"><t1/><g2 jr:template=\"\"><t2/></g2></g1>"
                    "<g1><t1>x</t1><g2 jr:template=\"\"><t2>y</t2></g2></g1></data>",
                    "<data><g1><t1>x</t1></g1></data>",
                    {"/data/g1", "<g1><t1/></g1>", "/data/g1/g2", "<g2><t2>y</t2></g2>"}}));

// The corpus shape of three nested repeats, each with its template only.
constexpr std::string_view kNested =
    "<data id=\"nested-repeats\"><meta><instanceID/></meta>"
    "<g1 jr:template=\"\"><t1/><g2 jr:template=\"\"><t2/><g3 jr:template=\"\"><t3/></g3></g2></g1>"
    "</data>";

TEST(NestedRepeats, EveryOuterRowTakesInnerRowsFromTheSameTemplate) {
  XmlDocument instance = parse_document(kNested);
  Templates templates = extract_templates(instance);
  ASSERT_EQ(templates.size(), 3u);
  EXPECT_TRUE(templates.contains("/data/g1/g2/g3"));
  EXPECT_EQ(add_row(instance, templates, "/data/g1", kHost).value(), 1u);
  EXPECT_EQ(add_row(instance, templates, "/data/g1", kHost).value(), 2u);
  EXPECT_EQ(add_row(instance, templates, "/data/g1[2]/g2", kHost).value(), 1u);
  EXPECT_EQ(add_row(instance, templates, "/data/g1[2]/g2", kHost).value(), 2u);
  EXPECT_EQ(add_row(instance, templates, "/data/g1/g2", kHost).value(), 1u);
  EXPECT_EQ(add_row(instance, templates, "/data/g1[2]/g2[2]/g3", kHost).value(), 1u);
  EXPECT_EQ(tree_of(instance),
            "<data id=\"nested-repeats\"><meta><instanceID/></meta>"
            "<g1><t1/><g2><t2/></g2></g1>"
            "<g1><t1/><g2><t2/></g2><g2><t2/><g3><t3/></g3></g2></g1></data>");
  EXPECT_EQ(repeat_rows(instance, "/data/g1[2]/g2", kHost).size(), 2u);
  EXPECT_EQ(remove_row(instance, "/data/g1[2]/g2", 1, kHost).value(), 1u);
  // The index of the last step is still never accepted.
  EXPECT_EQ(add_row(instance, templates, "/data/g1[2]/g2[1]", kHost).error(),
            "'/data/g1[2]/g2[1]' is not a repeat in this form");
}

TEST(NestedRepeats, OnlyIndexesOfRepeatRowsAreDropped) {
  XmlDocument instance = parse_document("<data><grp><rep template=\"\"/></grp><grp/></data>");
  Templates templates = extract_templates(instance);
  EXPECT_EQ(add_row(instance, templates, "/data/grp[2]/rep", kHost).error(),
            "'/data/grp[2]/rep' is not a repeat in this form");
}

TEST(AddRow, NewRowsCarryTheTemplateDefaultsNotTheCurrentAnswers) {
  XmlDocument instance = parse_document("<data><rep jr:template=\"\"><v>d</v></rep></data>");
  Templates templates = extract_templates(instance);
  ASSERT_EQ(add_row(instance, templates, "/data/rep", kHost).value(), 1u);
  ASSERT_TRUE(set_answer(instance, "/data/rep/v", "changed", kHost).ok());
  ASSERT_EQ(add_row(instance, templates, "/data/rep", kHost).value(), 2u);
  EXPECT_EQ(get_answer(instance, "/data/rep[2]/v", kHost), "d");
  EXPECT_EQ(tree_of(templates.at("/data/rep")), "<rep><v>d</v></rep>");
}

}  // namespace
}  // namespace tolvar
