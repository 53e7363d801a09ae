// Reading and writing answers by path, and the rows of repeats.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "eval/context.h"
#include "tree/document.h"
#include "rules/instance_edit.h"
#include "rules_instance_support.h"

namespace tolvar {
namespace {

using testing::tree_of;
const Host& kHost = testing::kEditHost;

constexpr std::string_view kAnswers =
    "<data><q>5</q><g><r>x</r></g><rep><v>1</v></rep><rep><v>2</v></rep></data>";

struct GetCase {
  std::string_view path;
  std::string_view expected;
};

class GetAnswer : public ::testing::TestWithParam<GetCase> {};

TEST_P(GetAnswer, ReadsTheFirstNodeThePathSelects) {
  XmlDocument instance = parse_document(kAnswers);
  EXPECT_EQ(get_answer(instance, GetParam().path, kHost), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, GetAnswer,
    ::testing::Values(GetCase{"/data/q", "5"}, GetCase{"/q", "5"}, GetCase{"q", "5"},
                      GetCase{"/data/missing", ""}, GetCase{"/data/rep[2]/v", "2"},
                      GetCase{"/data/rep/v", "1"}, GetCase{"/data/g", "x"},
                      GetCase{"concat('a'", ""}, GetCase{"'a literal'", ""}));

TEST(FindNode, NamesNothingWithoutARoot) {
  EXPECT_EQ(find_node(XmlDocument{}, "/data/q", kHost), kNoNode);
}

struct SetCase {
  std::string_view instance;
  std::string_view path;
  std::string_view value;
  std::string_view expected;  // the tree afterwards, or the refusal
};

class SetAnswer : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetAnswer, WritesOrRefusesLeavingTheInstanceAsItWas) {
  const SetCase& c = GetParam();
  XmlDocument instance = parse_document(c.instance);
  std::string before = tree_of(instance);
  Status done = set_answer(instance, c.path, c.value, kHost);
  if (done.ok()) {
    EXPECT_EQ(tree_of(instance), c.expected);
  } else {
    EXPECT_EQ(done.error(), c.expected);
    EXPECT_EQ(tree_of(instance), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Writes, SetAnswer,
    ::testing::Values(
        SetCase{"<data><q>1</q></data>", "/data/q", "7", "<data><q>7</q></data>"},
        SetCase{"<data><q/></data>", "/data/new/leaf", "v",
                "<data><q/><new><leaf>v</leaf></new></data>"},
        SetCase{"<data><q/></data>", "/new/leaf", "v", "<data><q/><new><leaf>v</leaf></new></data>"},
        SetCase{"<data><g><a/></g></data>", "/data/g/b", "v", "<data><g><a/><b>v</b></g></data>"},
        // A group keeps its children; only its own text changes.
        SetCase{"<data><g><a>1</a></g></data>", "/data/g", "t", "<data><g><a>1</a></g></data>"},
        // Pieces that pass are created exactly as written.
        SetCase{"<data/>", "/data/jr:x", "1", "<data><jr:x>1</jr:x></data>"},
        SetCase{"<data/>", "/data/été_1", "1", "<data><été_1>1</été_1></data>"},
        SetCase{"<data/>", "/data/_a-b.c", "1", "<data><_a-b.c>1</_a-b.c></data>"},
        SetCase{"<data><r><a/></r></data>", "/data/r[count(//a) = 1]/a", "1",
                "<data><r><a>1</a></r></data>"}));

INSTANTIATE_TEST_SUITE_P(
    Refusals, SetAnswer,
    ::testing::Values(
        SetCase{"<data><rep/><rep/></data>", "/data/rep[3]/q", "1",
                "'/data/rep[3]/q' points at rep[3], which does not exist — add the row first "
                "with add_row()"},
        SetCase{"<data/>", "/", "1", "'/' names nothing"},
        SetCase{"<data/>", "", "1", "'' names nothing"},
        SetCase{"<data/>", "concat('a')", "1",
                "'concat('a')' cannot be created — concat('a') is not an XML element name"},
        // Nothing is created when a later piece is refused.
        SetCase{"<data/>", "/data/new/@id", "1",
                "'/data/new/@id' cannot be created — @id is not an XML element name"},
        SetCase{"<data/>", "/data/bad group/q", "1",
                "'/data/bad group/q' cannot be created — bad group is not an XML element name"},
        SetCase{"<data/>", "/data/../q", "1",
                "'/data/../q' cannot be created — .. is not an XML element name"},
        SetCase{"<data/>", "/data/a:b:c", "1",
                "'/data/a:b:c' cannot be created — a:b:c is not an XML element name"},
        SetCase{"<data/>", "/data/a:", "1",
                "'/data/a:' cannot be created — a: is not an XML element name"},
        SetCase{"<data><a/></data>", "/data/a/", "1",
                R"('/data/a/' has an empty step ("//" or a trailing "/"))"},
        SetCase{"<data/>", "/data/", "1", R"('/data/' has an empty step ("//" or a trailing "/"))"},
        SetCase{"<data><a/></data>", "/data//a", "1",
                R"('/data//a' has an empty step ("//" or a trailing "/"))"}));

TEST(SetAnswer, RefusesAnInstanceWithoutRootAfterThePieceChecks) {
  XmlDocument empty;
  EXPECT_EQ(set_answer(empty, "/data/q", "1", kHost).error(), "the instance has no root");
  EXPECT_EQ(set_answer(empty, "/data/rep[1]/q", "1", kHost).error(),
            "'/data/rep[1]/q' points at rep[1], which does not exist — add the row first with "
            "add_row()");
}

// A form-like instance: a template row, a real row and a sibling after them.
constexpr std::string_view kRepeat =
    "<data><rep jr:template=\"\"><v>d</v></rep><rep><v>1</v></rep><after/></data>";

TEST(SetAnswer, GrowingAnswersLeaveNoGrowingStore) {
  XmlDocument instance = parse_document("<data><q/><r>kept</r></data>");
  std::string value;
  for (int i = 0; i < 2000; ++i) {
    value += 'x';
    ASSERT_TRUE(set_answer(instance, "/data/q", value, kHost).ok());
    release_unused_space(instance);
  }
  EXPECT_EQ(get_answer(instance, "/data/q", kHost), value);
  EXPECT_EQ(get_answer(instance, "/data/r", kHost), "kept");
  EXPECT_LT(instance.string_bytes(), 4 * value.size());
}

TEST(AddRow, InsertsAfterTheLastRowAndCountsTheRows) {
  XmlDocument instance = parse_document(kRepeat);
  Templates templates = extract_templates(instance);
  Result<std::size_t> rows = add_row(instance, templates, "/data/rep", kHost);
  ASSERT_TRUE(rows.ok()) << rows.error();
  EXPECT_EQ(rows.value(), 2u);
  EXPECT_EQ(add_row(instance, templates, "/data/rep", kHost).value(), 3u);
  EXPECT_EQ(tree_of(instance),
            "<data><rep><v>1</v></rep><rep><v>d</v></rep><rep><v>d</v></rep><after/></data>");
  EXPECT_EQ(get_answer(instance, "/data/rep[3]/v", kHost), "d");
}

TEST(AddRow, WithoutRowsAppendsToTheParent) {
  XmlDocument instance = parse_document("<data><rep template=\"\"><v/></rep><after/></data>");
  Templates templates = extract_templates(instance);
  EXPECT_EQ(add_row(instance, templates, "/data/rep", kHost).value(), 1u);
  EXPECT_EQ(tree_of(instance), "<data><after/><rep><v/></rep></data>");
}

struct RowRefusal {
  std::string_view path;
  std::string_view message;
};

class AddRowRefusal : public ::testing::TestWithParam<RowRefusal> {};

TEST_P(AddRowRefusal, ChangesNothing) {
  XmlDocument form_instance =
      parse_document("<data><rep jr:template=\"\"><v/></rep><grp><inner jr:template=\"\"/></grp></data>");
  Templates templates = extract_templates(form_instance);
  XmlDocument instance = parse_document("<data><q/></data>");
  Result<std::size_t> rows = add_row(instance, templates, GetParam().path, kHost);
  ASSERT_FALSE(rows.ok());
  EXPECT_EQ(rows.error(), GetParam().message);
  EXPECT_EQ(tree_of(instance), "<data><q/></data>");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AddRowRefusal,
    ::testing::Values(RowRefusal{"/data/rep[1]", "'/data/rep[1]' is not a repeat in this form"},
                      RowRefusal{"/data/q", "'/data/q' is not a repeat in this form"},
                      RowRefusal{"rep", "'rep' is not a repeat in this form"},
                      RowRefusal{"/data/grp/inner", "'/data/grp/inner' has nowhere to hang"}));

struct RemoveCase {
  std::uint64_t position;
  std::string_view outcome;  // rows left, or the refusal
};

class RemoveRow : public ::testing::TestWithParam<RemoveCase> {};

TEST_P(RemoveRow, CountsFromOneAndRefusesOutsideTheRows) {
  XmlDocument instance = parse_document("<data><rep><v>1</v></rep><rep><v>2</v></rep></data>");
  Result<std::size_t> left = remove_row(instance, "/data/rep", GetParam().position, kHost);
  EXPECT_EQ(left.ok() ? std::to_string(left.value()) : left.error(), GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, RemoveRow,
    ::testing::Values(
        RemoveCase{0, "'/data/rep' has 2 row(s); there is no row 0"},
        RemoveCase{1, "1"}, RemoveCase{2, "1"},
        RemoveCase{3, "'/data/rep' has 2 row(s); there is no row 3"},
        RemoveCase{std::numeric_limits<std::uint64_t>::max(),
                   "'/data/rep' has 2 row(s); there is no row 18446744073709551615"}));

TEST(RemoveRow, TakesOutTheRowAtThePosition) {
  XmlDocument instance = parse_document("<data><rep><v>1</v></rep><rep><v>2</v></rep></data>");
  ASSERT_TRUE(remove_row(instance, "/data/rep", 1, kHost).ok());
  EXPECT_EQ(tree_of(instance), "<data><rep><v>2</v></rep></data>");
  EXPECT_EQ(get_answer(instance, "/data/rep/v", kHost), "2");
}

TEST(RepeatRows, ALastStepWithAPredicateHasNoRows) {
  XmlDocument instance = parse_document("<data><rep/><rep/></data>");
  EXPECT_EQ(repeat_rows(instance, "/data/rep", kHost).size(), 2u);
  EXPECT_EQ(repeat_rows(instance, "/rep", kHost).size(), 2u);
  EXPECT_TRUE(repeat_rows(instance, "/data/rep[1]", kHost).empty());
  EXPECT_TRUE(repeat_rows(instance, "rep", kHost).empty());
}

}  // namespace
}  // namespace tolvar
