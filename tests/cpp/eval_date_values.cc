#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "eval/date_value.h"

namespace tolvar {
namespace {

struct ReadCase {
  const char* text;
  std::optional<DateKind> kind;  // nothing: the text stays text
  double days;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ReadDateTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadDateTest, ReadsOnlyStrictIsoTextAsADayCount) {
  std::optional<DatePoint> point = read_date(GetParam().text);
  ASSERT_EQ(point.has_value(), GetParam().kind.has_value());
  if (!point) return;
  EXPECT_EQ(point->kind, *GetParam().kind);
  EXPECT_DOUBLE_EQ(point->days, GetParam().days);
}

constexpr double kVisit = 19849;  // 2024-05-06

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadDateTest,
    ::testing::Values(
        ReadCase{"2024-05-06", DateKind::Day, kVisit},
        ReadCase{" 2024-05-06\n", DateKind::Day, kVisit},
        ReadCase{"1969-12-31", DateKind::Day, -1},
        ReadCase{"2000-02-29", DateKind::Day, 11016},
        ReadCase{"0000-03-01", DateKind::Day, -719468},
        ReadCase{"2023-02-29", std::nullopt, 0},
        ReadCase{"1900-02-29", std::nullopt, 0},
        ReadCase{"2024-04-31", std::nullopt, 0},
        ReadCase{"2024-5-6", std::nullopt, 0},
        ReadCase{"+2024-05-06", std::nullopt, 0},
        ReadCase{"2024-05-06 10:11", std::nullopt, 0},
        ReadCase{"2024-05-06T10:11", DateKind::LocalTime, kVisit + (10 * 60 + 11) / 1440.0},
        ReadCase{"2024-05-06T10:11:12.5+02:00", DateKind::ZonedTime,
                 kVisit + (8 * 3600 + 11 * 60 + 12.5) / 86400},
        ReadCase{"2024-05-06T10:11-0530", DateKind::ZonedTime,
                 kVisit + (15 * 60 + 41) / 1440.0},
        ReadCase{"2024-05-06T23:30:00Z", DateKind::ZonedTime, kVisit + 23.5 / 24},
        ReadCase{"2024-05-06T24:00", std::nullopt, 0},
        ReadCase{"2024-05-06T10:11:12.", std::nullopt, 0},
        ReadCase{"2024-05-06T10:11+15:00", std::nullopt, 0},
        ReadCase{"2024-05-06T10:11Zulu", std::nullopt, 0}));

struct DayTextCase {
  std::int64_t day;
  std::optional<std::string> text;
};

class DayTextTest : public ::testing::TestWithParam<DayTextCase> {};

TEST_P(DayTextTest, WritesFourDigitYearsOnly) {
  EXPECT_EQ(day_text(GetParam().day), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Days, DayTextTest,
    ::testing::Values(DayTextCase{0, "1970-01-01"}, DayTextCase{-1, "1969-12-31"},
                      DayTextCase{19877, "2024-06-03"}, DayTextCase{11016, "2000-02-29"},
                      DayTextCase{-719528, "0000-01-01"}, DayTextCase{2932896, "9999-12-31"},
                      DayTextCase{-719529, std::nullopt}, DayTextCase{2932897, std::nullopt}));

}  // namespace
}  // namespace tolvar
