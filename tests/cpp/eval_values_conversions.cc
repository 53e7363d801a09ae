#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "eval/value.h"
#include "eval_core_harness.h"
#include "tree_support.h"

namespace tolvar {
namespace {

using core_testing::run;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct NumberTextCase {
  double number;
  const char* text;
};

void PrintTo(const NumberTextCase& c, std::ostream* os) { *os << c.text; }

class NumberToStringTest : public ::testing::TestWithParam<NumberTextCase> {};

TEST_P(NumberToStringTest, WritesPlainPositionalNotation) {
  EXPECT_EQ(number_to_string(GetParam().number), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberToStringTest,
    ::testing::Values(NumberTextCase{0, "0"}, NumberTextCase{-0.0, "0"},
                      NumberTextCase{2.5, "2.5"}, NumberTextCase{-2.5, "-2.5"},
                      NumberTextCase{100, "100"}, NumberTextCase{-42, "-42"},
                      NumberTextCase{123456789012, "123456789012"},
                      NumberTextCase{1e20, "100000000000000000000"},
                      // Integers below 1e21 exactly, not their shortest digits.
                      NumberTextCase{123456789012345678901.0, "123456789012345683968"},
                      NumberTextCase{1e21, "1000000000000000000000"},
                      NumberTextCase{1.0 / 3, "0.3333333333333333"},
                      NumberTextCase{0.1 + 0.2, "0.30000000000000004"},
                      NumberTextCase{1e-7, "0.0000001"}, NumberTextCase{-1.5e-10, "-0.00000000015"},
                      NumberTextCase{123.456, "123.456"}, NumberTextCase{kNaN, "NaN"},
                      NumberTextCase{kInf, "Infinity"}, NumberTextCase{-kInf, "-Infinity"}));

TEST(NumberToStringExtremes, LargeNumbersGetZerosNotExponents) {
  EXPECT_EQ(number_to_string(1.5e300), "15" + std::string(299, '0'));
  EXPECT_EQ(number_to_string(5e-324), "0." + std::string(323, '0') + "5");
}

class TextToNumberTest : public ::testing::TestWithParam<NumberTextCase> {};

TEST_P(TextToNumberTest, ReadsTheWholeText) {
  const double got = text_to_number(GetParam().text);
  const double want = GetParam().number;
  if (std::isnan(want)) {
    EXPECT_TRUE(std::isnan(got)) << GetParam().text << " gave " << got;
  } else {
    EXPECT_EQ(got, want) << GetParam().text;
    EXPECT_EQ(std::signbit(got), std::signbit(want)) << GetParam().text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextToNumberTest,
    ::testing::Values(
        NumberTextCase{12, "12"}, NumberTextCase{5, "+5"}, NumberTextCase{5, "5."},
        NumberTextCase{0.5, ".5"}, NumberTextCase{-0.5, "-.5"}, NumberTextCase{-0.0, "-0"},
        NumberTextCase{5.25, "5.25"}, NumberTextCase{1000, "1e3"}, NumberTextCase{100, "1E2"},
        NumberTextCase{0.015, "1.5e-2"}, NumberTextCase{1500, "1.5E+3"},
        NumberTextCase{0.1, "0.1"}, NumberTextCase{kInf, "Infinity"},
        NumberTextCase{-kInf, "-inf"}, NumberTextCase{kInf, "+INF"},
        NumberTextCase{kInf, "iNfInItY"}, NumberTextCase{kNaN, "nan"},
        NumberTextCase{kNaN, "-NaN"},
        // Out of range: infinity above, zero below, keeping the sign.
        NumberTextCase{kInf, "1e400"}, NumberTextCase{-kInf, "-123456e99999999999999999999"},
        NumberTextCase{0, "1e-400"}, NumberTextCase{-0.0, "-0.0000001e-99999"},
        NumberTextCase{kInf, "0.000001e315"}, NumberTextCase{0, "100000e-330"},
        NumberTextCase{4.9406564584124654e-324, "5e-324"},
        NumberTextCase{0, "0e99999999999"},
        // Not numbers.
        NumberTextCase{kNaN, ""}, NumberTextCase{kNaN, "."}, NumberTextCase{kNaN, "-"},
        NumberTextCase{kNaN, "1,5"}, NumberTextCase{kNaN, "0x10"}, NumberTextCase{kNaN, "12abc"},
        NumberTextCase{kNaN, "7 kg"}, NumberTextCase{kNaN, " 7 "}, NumberTextCase{kNaN, "1e"},
        NumberTextCase{kNaN, "1e+"}, NumberTextCase{kNaN, "e5"}, NumberTextCase{kNaN, ".e1"},
        NumberTextCase{kNaN, "--1"}, NumberTextCase{kNaN, "+-1"}, NumberTextCase{kNaN, "infin"},
        NumberTextCase{kNaN, "1.2.3"}));

TEST(ValueConversions, BooleansNumbersStringsAndNodeSets) {
  const XmlDocument document = parse_document("<data><a> 7 </a><b/></data>");
  EXPECT_EQ(to_string(Value{true}, document), "true");
  EXPECT_EQ(to_string(Value{NodeSet{}}, document), "");
  EXPECT_FALSE(to_boolean(Value{kNaN}));
  EXPECT_FALSE(to_boolean(Value{-0.0}));
  EXPECT_TRUE(to_boolean(Value{std::string("false")}));
  EXPECT_TRUE(std::isnan(to_number(Value{NodeSet{}}, document)));
  const NodeId a = children_of(document, document.root)[0];
  EXPECT_EQ(to_number(Value{NodeSet{{a}, nullptr}}, document), 7);
  EXPECT_EQ(to_number(Value{std::string("\u00a0 3\u2003")}, document), 3);  // Unicode white space
  EXPECT_STREQ(type_name(Value{NodeSet{}}), "a node-set");
  EXPECT_STREQ(type_name(Value{1.0}), "a number");
}

TEST(ValueConversions, NodeSetsAreReadInTheirOwnDocument) {
  const XmlDocument evaluation = parse_document("<data>primary</data>");
  const XmlDocument secondary = parse_document("<root><item>42</item></root>");
  const Value nodes{NodeSet{{children_of(secondary, secondary.root)[0]}, &secondary}};
  EXPECT_EQ(to_string(nodes, evaluation), "42");
  EXPECT_EQ(to_number(nodes, evaluation), 42);
  EXPECT_TRUE(compare_equal(InfixOp::Eq, nodes, Value{42.0}, evaluation));
}

TEST(NodeSetNormalise, SortsByRankStablyWithUnrankedLastAndDropsRepeats) {
  XmlDocument document = parse_document("<r><a/><b/><c/></r>");
  const NodeId a = children_of(document, document.root)[0];
  const NodeId b = children_of(document, document.root)[1];
  const NodeId c = children_of(document, document.root)[2];
  const NodeId loose1 = document.new_element("x", "");
  const NodeId loose2 = document.new_element("y", "");
  NodeIds ids{loose2, c, a, c, loose1, b, a};
  normalise(ids, document);
  EXPECT_EQ(ids, (NodeIds{a, b, c, loose2, loose1}));
}

struct ExpressionCase {
  const char* expression;
  const char* expected;
};

void PrintTo(const ExpressionCase& c, std::ostream* os) { *os << c.expression; }

class ComparisonAndArithmeticTest : public ::testing::TestWithParam<ExpressionCase> {};

constexpr const char* kAges =
    "<data><age>5</age><age>20</age><name>x</name><blank/><e/><e/>"
    "<f>a</f><f>a</f><g>a</g><g>b</g><n> 2.0 </n></data>";

TEST_P(ComparisonAndArithmeticTest, FollowsTheConversionRules) {
  const TestHost host;
  const XmlDocument document = parse_document(kAges);
  EXPECT_EQ(run(GetParam().expression, document, host), GetParam().expected)
      << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComparisonAndArithmeticTest,
    ::testing::Values(
        ExpressionCase{"1 = '1.0'", "true"}, ExpressionCase{"'1' = '1.0'", "false"},
        ExpressionCase{"true() = 'false'", "true"}, ExpressionCase{"0 = false()", "true"},
        ExpressionCase{"'' != false()", "false"}, ExpressionCase{"number('x') = number('x')", "false"},
        ExpressionCase{"number('x') != number('x')", "true"},
        // Node-sets: existential comparisons; empty matches nothing.
        ExpressionCase{"/data/missing = 'x'", "false"}, ExpressionCase{"/data/missing != 'x'", "false"},
        ExpressionCase{"/data/missing = ''", "false"}, ExpressionCase{"/data/missing = /data/age", "false"},
        ExpressionCase{"/data/missing = false()", "true"}, ExpressionCase{"age = true()", "true"},
        ExpressionCase{"age = 20", "true"}, ExpressionCase{"age != 5", "true"},
        ExpressionCase{"age = '20'", "true"}, ExpressionCase{"n = 2", "true"},
        ExpressionCase{"n = '2'", "false"}, ExpressionCase{"blank != 1", "true"},
        ExpressionCase{"blank = ''", "true"}, ExpressionCase{"age = name", "false"},
        ExpressionCase{"f = g", "true"}, ExpressionCase{"f != f", "false"},
        ExpressionCase{"f != g", "true"}, ExpressionCase{"g != f", "true"},
        ExpressionCase{"e = blank", "true"}, ExpressionCase{"age = age", "true"},
        // Order comparisons read the first node only, and NaN is never ordered.
        ExpressionCase{"age > 10", "false"}, ExpressionCase{"age < 10", "true"},
        ExpressionCase{"'b' > 'a'", "false"}, ExpressionCase{"'10' > '9'", "true"},
        ExpressionCase{"/data/missing < 1", "false"}, ExpressionCase{"/data/missing >= 1", "false"},
        ExpressionCase{"true() > false()", "true"}, ExpressionCase{"1 <= 1", "true"},
        // Arithmetic.
        ExpressionCase{"/data/missing + 1", "NaN"}, ExpressionCase{"-(/data/missing)", "NaN"},
        ExpressionCase{"'' + 1", "NaN"}, ExpressionCase{"' 4 ' * 2", "8"},
        ExpressionCase{"5 mod 3", "2"}, ExpressionCase{"-5 mod 3", "-2"},
        ExpressionCase{"5 mod -3", "2"}, ExpressionCase{"5 mod 0", "NaN"},
        ExpressionCase{"5.5 mod 2", "1.5"}, ExpressionCase{"1 div 0", "Infinity"},
        ExpressionCase{"-1 div 0", "-Infinity"}, ExpressionCase{"0 div 0", "NaN"},
        ExpressionCase{"1 div -0", "-Infinity"}, ExpressionCase{"1 div (0 * -1)", "-Infinity"},
        ExpressionCase{"1 div -(0)", "-Infinity"}, ExpressionCase{"0.1 + 0.2", "0.30000000000000004"},
        ExpressionCase{"age + 1", "6"}, ExpressionCase{"true() + true()", "2"}));

}  // namespace
}  // namespace tolvar
