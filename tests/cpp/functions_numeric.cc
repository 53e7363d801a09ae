#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "functions_harness.h"
#include "functions/geo.h"

namespace tolvar {
namespace {


constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Worked out apart from the code: metres per degree of arc, 2 pi 6378100 / 360,
// and the 1-degree square at the equator on the sphere, R^2 (pi / 180) sin 1 deg
// = 1.23913e10 m^2, which the planar projection meets within 0.01%.
constexpr double kDegreeMetres = 111318.84502145034;
constexpr double kSquareDegreeArea = 1.23913e10;

struct NumberCase {
  const char* expression;
  double expected;
  double tolerance;
};

class NumericFunctionTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumericFunctionTest, GivesNumber) {
  TestHost host{std::string(function_testing::kToday), std::string(function_testing::kNow)};
  XmlDocument document =
      parse_document("<data><geo>0 0; 0 1</geo><geo>5 5</geo></data>");
  Result<Value> value = function_testing::run(GetParam().expression, host, document);
  ASSERT_TRUE(value.ok()) << GetParam().expression << ": " << value.error();
  const double* number = std::get_if<double>(&value.value());
  ASSERT_NE(number, nullptr) << GetParam().expression;
  double expected = GetParam().expected;
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(*number)) << GetParam().expression;
  } else if (GetParam().tolerance == 0) {
    EXPECT_EQ(*number, expected) << GetParam().expression;
  } else {
    EXPECT_NEAR(*number, expected, GetParam().tolerance) << GetParam().expression;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, NumericFunctionTest,
    ::testing::Values(
        NumberCase{"int(-2.7)", -2, 0}, NumberCase{"int('x')", kNaN, 0},
        NumberCase{"int(' 7.9 ')", 7, 0}, NumberCase{"abs(-3.5)", 3.5, 0},
        NumberCase{"floor(-2.5)", -3, 0}, NumberCase{"ceiling(-2.5)", -2, 0},
        NumberCase{"round(2.5)", 3, 0}, NumberCase{"round(-2.5)", -3, 0},
        NumberCase{"round(0.4)", 0, 0}, NumberCase{"round(3.14159, 2)", 3.14, 0},
        NumberCase{"round(-1.005, 1)", -1, 0}, NumberCase{"round(1234, -2)", 1200, 0},
        NumberCase{"round(1.5, 0.9)", 2, 0}, NumberCase{"round(1.5, 'x')", kNaN, 0},
        NumberCase{"sqrt(-1)", kNaN, 0}, NumberCase{"sqrt(16)", 4, 0},
        NumberCase{"log(0)", -kInfinity, 0}, NumberCase{"log(-1)", kNaN, 0},
        NumberCase{"log10(1000)", 3, 0}, NumberCase{"exp(0)", 1, 0},
        NumberCase{"pow(2, 0.5)", std::sqrt(2.0), 0}, NumberCase{"pow(0, 0)", 1, 0},
        NumberCase{"pow(-8, 1 div 3)", kNaN, 0}));

INSTANTIATE_TEST_SUITE_P(
    Geo, NumericFunctionTest,
    ::testing::Values(
        NumberCase{"distance('0 0;0 1')", kDegreeMetres, 0.1},
        NumberCase{"distance('0 0')", 0, 0}, NumberCase{"distance('')", 0, 0},
        NumberCase{"distance('0 0 5 3;0 1 5 3')", kDegreeMetres, 0.1},
        NumberCase{"distance('0 0;abc')", 0, 0}, NumberCase{"distance('0 0;1')", 0, 0},
        NumberCase{"distance('0 0;;0 1;')", kDegreeMetres, 0.1},
        NumberCase{"distance('0 0;0 1;0 0')", 2 * kDegreeMetres, 0.2},
        NumberCase{"distance('45.123 7.456;45.123 7.456')", 0, 0},
        NumberCase{"distance(/data/geo)", kDegreeMetres, 0.1},
        NumberCase{"area('0 0;0 1;1 1;1 0;0 0')", kSquareDegreeArea, 1.3e6},
        NumberCase{"area('0 0;0 1;1 1;1 0')", kSquareDegreeArea, 1.3e6},
        NumberCase{"area('1 0;0 0;0 1;1 1')", kSquareDegreeArea, 1e7},
        NumberCase{"area('0 0;0 1')", 0, 0}, NumberCase{"area('0 0;0 1;x y')", 0, 0}));

TEST(Geo, MissingArgumentIsNamed) {
  TestHost host{std::string(function_testing::kToday), std::string(function_testing::kNow)};
  XmlDocument document = parse_document("<data/>");
  EXPECT_EQ(function_testing::run_text("distance()", host, document),
            "error: distance() needs an argument in position 1");
}

TEST(Geo, TenThousandPointsAlongTheEquator) {
  std::string text;
  for (int k = 0; k < 10000; ++k) text += "0 " + std::to_string(k * 0.001) + " 0 5;";
  std::vector<GeoPoint> points = parse_geo_points(text);
  ASSERT_EQ(points.size(), 10000u);
  EXPECT_NEAR(path_length(points), 9.999 * kDegreeMetres, 1.0);
  EXPECT_EQ(enclosed_area(points), 0);
}

}  // namespace
}  // namespace tolvar
