#include "eval/date_value.h"

#include <cmath>

#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr double kSecondsPerDay = 86400;

// Reads exactly `count` ASCII digits at `pos` and moves past them.
std::optional<int> read_fixed(std::string_view text, std::size_t& pos, std::size_t count) {
  if (text.size() - pos < count) return std::nullopt;
  int value = 0;
  for (std::size_t end = pos + count; pos < end; ++pos) {
    if (text[pos] < '0' || text[pos] > '9') return std::nullopt;
    value = value * 10 + (text[pos] - '0');
  }
  return value;
}

bool take(std::string_view text, std::size_t& pos, char wanted) {
  if (pos >= text.size() || text[pos] != wanted) return false;
  ++pos;
  return true;
}

bool is_leap(std::int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int days_in_month(std::int64_t year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date, counted in whole
// 400-year eras of 146097 days from a year that starts in March, so that
// the leap day comes last.
std::int64_t days_from_civil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

struct Civil {
  std::int64_t year;
  int month;
  int day;
};

// The inverse of days_from_civil.
Civil civil_from_days(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  const int month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  return Civil{year_of_era + era * 400 + (month <= 2), month, day};
}

std::optional<std::int64_t> read_day(std::string_view text, std::size_t& pos) {
  auto year = read_fixed(text, pos, 4);
  if (!year || !take(text, pos, '-')) return std::nullopt;
  auto month = read_fixed(text, pos, 2);
  if (!month || *month < 1 || *month > 12 || !take(text, pos, '-')) return std::nullopt;
  auto day = read_fixed(text, pos, 2);
  if (!day || *day < 1 || *day > days_in_month(*year, *month)) return std::nullopt;
  return days_from_civil(*year, *month, *day);
}

// hh:mm, then optionally :ss and a fraction of any length: seconds into the day.
std::optional<double> read_clock(std::string_view text, std::size_t& pos) {
  auto hour = read_fixed(text, pos, 2);
  if (!hour || *hour > 23 || !take(text, pos, ':')) return std::nullopt;
  auto minute = read_fixed(text, pos, 2);
  if (!minute || *minute > 59) return std::nullopt;
  double seconds = *hour * 3600.0 + *minute * 60.0;
  if (!take(text, pos, ':')) return seconds;
  auto second = read_fixed(text, pos, 2);
  if (!second || *second > 59) return std::nullopt;
  seconds += *second;
  if (!take(text, pos, '.')) return seconds;
  double scale = 0.1;
  const std::size_t first = pos;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, scale /= 10) {
    seconds += (text[pos] - '0') * scale;
  }
  if (pos == first) return std::nullopt;
  return seconds;
}

// "Z", or a sign, hh and optional [:]mm: seconds east of UTC.
std::optional<double> read_offset(std::string_view text, std::size_t& pos) {
  if (take(text, pos, 'Z')) return 0.0;
  const bool west = take(text, pos, '-');
  if (!west && !take(text, pos, '+')) return std::nullopt;
  auto hours = read_fixed(text, pos, 2);
  if (!hours || *hours > 14) return std::nullopt;
  int minutes = 0;
  if (pos < text.size()) {
    take(text, pos, ':');
    auto read = read_fixed(text, pos, 2);
    if (!read || *read > 59) return std::nullopt;
    minutes = *read;
  }
  const double east = *hours * 3600.0 + minutes * 60.0;
  return west ? -east : east;
}

}  // namespace

std::optional<DatePoint> read_date(std::string_view text) {
  text = trim_white(text);
  std::size_t pos = 0;
  std::optional<std::int64_t> day = read_day(text, pos);
  if (!day) return std::nullopt;
  if (pos == text.size()) return DatePoint{DateKind::Day, static_cast<double>(*day)};
  if (!take(text, pos, 'T')) return std::nullopt;
  std::optional<double> seconds = read_clock(text, pos);
  if (!seconds) return std::nullopt;
  if (pos == text.size()) {
    return DatePoint{DateKind::LocalTime, *day + *seconds / kSecondsPerDay};
  }
  std::optional<double> offset = read_offset(text, pos);
  if (!offset || pos != text.size()) return std::nullopt;
  return DatePoint{DateKind::ZonedTime, *day + (*seconds - *offset) / kSecondsPerDay};
}

Result<double> date_number(const DatePoint& point, std::string_view text) {
  if (point.kind == DateKind::LocalTime) return fail(zone_message(text));
  return point.days;
}

// Offsets in use span more than a day, so every instant falls on two
// different days somewhere.
Result<std::int64_t> calendar_day(const DatePoint& point, std::string_view text) {
  if (point.kind == DateKind::ZonedTime) return fail(zone_message(text));
  return static_cast<std::int64_t>(std::floor(point.days));
}

std::optional<std::string> day_text(std::int64_t day) {
  if (day < days_from_civil(0, 1, 1) || day > days_from_civil(9999, 12, 31)) return std::nullopt;
  const Civil civil = civil_from_days(day);
  std::string text(10, '-');
  auto put = [&](std::size_t at, std::int64_t value, std::size_t width) {
    for (std::size_t i = at + width; i > at; --i, value /= 10) text[i - 1] = char('0' + value % 10);
  };
  put(0, civil.year, 4);
  put(5, civil.month, 2);
  put(8, civil.day, 2);
  return text;
}

std::string zone_message(std::string_view text) {
  return quote_text(trim_white(text)) +
         " reads differently in different time zones, and none was given — tolvar will not "
         "guess one";
}

}  // namespace tolvar
