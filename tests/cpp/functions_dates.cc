#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "functions_harness.h"
#include "functions/iso_date.h"

namespace tolvar {
namespace {

using function_testing::run_text;

struct DateCase {
  const char* expression;
  const char* expected;  // "error: " and the message for a failure
};

class DateFunctionTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateFunctionTest, GivesTextOrMessage) {
  TestHost host{std::string(function_testing::kToday), std::string(function_testing::kNow)};
  XmlDocument document = parse_document("<data/>");
  EXPECT_EQ(run_text(GetParam().expression, host, document), GetParam().expected)
      << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Dates, DateFunctionTest,
    ::testing::Values(
        DateCase{"format-date('2024-03-05', '%d/%m/%Y')", "05/03/2024"},
        DateCase{"format-date('2024-03-05', '%e.%n.%y')", "5.3.24"},
        DateCase{"format-date-time('2024-03-05T07:08:09.5Z', '%H:%M:%S.%3')", "07:08:09.500"},
        DateCase{"format-date('2024-03-05', '%H:%M')", "00:00"},
        DateCase{"format-date('2024-03-05 07:08', '%h')", "7"},
        DateCase{"format-date-time('2024-03-05T07:08:09-05:00', '%H:%M:%S')", "07:08:09"},
        DateCase{"format-date-time('2024-03-05T07:08:09+05:00', '%H:%M:%S')", "07:08:09"},
        DateCase{"format-date-time('2024-03-05T07:08z', '%H:%M')", "07:08"},
        DateCase{"format-date-time('2024-03-05T25:61:99', '%H:%M:%S')", "25:61:99"},
        DateCase{"format-date-time('2024-03-05Tab:cd', '%H:%M')", "00:00"},
        DateCase{"format-date-time('2024-03-05T1:2:3.123456', '%H %M %S %3')", "01 02 03 123"},
        DateCase{"format-date-time('2024-03-05T1:2:3.05', '%3')", "050"},
        DateCase{"format-date(' 2024-03-05\t', '%d')", "05"},
        DateCase{"format-date('+2024-+3-+5', '%Y %m %d')", "2024 03 05"},
        DateCase{"format-date('2024-03-05-junk', '%d')", "05"},
        DateCase{"format-date('2024-02-31', '%d')", "31"},
        DateCase{"format-date('0999-01-01', '%Y')", "0999"},
        DateCase{"format-date('9223372036854775807-01-01', '%Y %y')", "9223372036854775807 07"},
        DateCase{"format-date('2024-03-05', '%%d')", "%d"},
        DateCase{"format-date('2024-03-05', 'día %d — 年')", "día 05 — 年"},
        DateCase{"format-date('  ', '%Q')", ""},
        DateCase{"format-date('2024-13-01', '%d')",
                 "error: format-date(): \"2024-13-01\" is not an ISO date or date-time"},
        DateCase{"format-date-time('2024-03-00', '%d')",
                 "error: format-date-time(): \"2024-03-00\" is not an ISO date or date-time"},
        DateCase{"format-date('-2024-03-05', '%Y')",
                 "error: format-date(): \"-2024-03-05\" is not an ISO date or date-time"},
        DateCase{"format-date('2024-03', '%Y')",
                 "error: format-date(): \"2024-03\" is not an ISO date or date-time"},
        DateCase{"format-date('99999999999999999999-01-01', '%Y')",
                 "error: format-date(): \"99999999999999999999-01-01\" is not an ISO date or "
                 "date-time"},
        DateCase{"format-date('2024-03-05', '%Q')", "error: unknown date format code %Q"},
        DateCase{"format-date('2024-03-05', '%é')", "error: unknown date format code %é"},
        DateCase{"format-date('2024-03-05', '%a')",
                 "error: %a names a day or month in the form's language, and this evaluator has "
                 "none — it will not guess one"},
        DateCase{"format-date('2024-03-05', '%b %d')",
                 "error: %b names a day or month in the form's language, and this evaluator has "
                 "none — it will not guess one"},
        DateCase{"format-date('2024-03-05', '100%')", "error: a date format ends with a bare %"},
        DateCase{"today()", "not a date at all"},
        DateCase{"now()", "2024-03-05T07:08:09+01:00"}));

struct YearCase {
  std::int64_t year;
  const char* expected;
};

class FormatYearTest : public ::testing::TestWithParam<YearCase> {};

TEST_P(FormatYearTest, PrintsAnySignedYear) {
  IsoDateTime date;
  date.year = GetParam().year;
  Result<std::string> text = format_date(date, "%Y|%y");
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(text.value(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Years, FormatYearTest,
    ::testing::Values(YearCase{0, "0000|00"}, YearCase{-5, "-0005|95"},
                      YearCase{-2024, "-2024|76"}, YearCase{12345, "12345|45"},
                      YearCase{std::numeric_limits<std::int64_t>::min(),
                               "-9223372036854775808|92"}));

TEST(FormatDate, EnormousFormatIsCopiedWhole) {
  std::string format;
  for (int i = 0; i < 100000; ++i) format += "%Y-%m ";
  IsoDateTime date{2024, 3, 5};
  Result<std::string> text = format_date(date, format);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(text.value().size(), 100000u * 8);
}

}  // namespace
}  // namespace tolvar
