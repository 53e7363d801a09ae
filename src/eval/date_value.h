// Dates as values: ISO 8601 texts read strictly into day counts since
// 1970-01-01, and whole day counts written back as dates.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace tolvar {

// How a text pins down its moment.
enum class DateKind {
  Day,        // "2024-05-06": a calendar day, wherever the reader is
  LocalTime,  // "2024-05-06T10:11": a wall-clock time in a zone nobody named
  ZonedTime,  // "2024-05-06T10:11:12.000+02:00": one instant
};

struct DatePoint {
  DateKind kind = DateKind::Day;
  // Days since 1970-01-01: whole for a Day, the wall-clock time for a
  // LocalTime, the time in UTC for a ZonedTime.
  double days = 0;
};

// Reads YYYY-MM-DD, optionally followed by "T", hh:mm, optional :ss and
// fraction, and an optional zone "Z" or ±hh:mm (also ±hhmm, ±hh); white
// space around it is ignored. Nothing for any other text and for a day its
// month does not have: such text stays text.
std::optional<DatePoint> read_date(std::string_view text);

// The earliest and latest offsets from UTC in use, in days: a wall-clock
// time read in an unnamed zone lies this far either side of the same
// reading in UTC.
inline constexpr double kWestmostOffset = -12.0 / 24;
inline constexpr double kEastmostOffset = 14.0 / 24;

// A point as a number: the day count of a Day or ZonedTime. A LocalTime
// fails: its number would depend on the reader's time zone.
Result<double> date_number(const DatePoint& point, std::string_view text);

// The calendar day `point` falls on: the day itself, or a wall-clock day as
// written. Fails, naming the text, for an instant: its day depends on the
// reader's time zone.
Result<std::int64_t> calendar_day(const DatePoint& point, std::string_view text);

// "YYYY-MM-DD" for a day count, or nothing beyond the years 0000 to 9999.
std::optional<std::string> day_text(std::int64_t day);

// The refusal for a text whose moment or day depends on an unnamed zone.
std::string zone_message(std::string_view text);

}  // namespace tolvar
