// ISO 8601 date and date-time texts, read leniently and formatted by codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace tolvar {

// A date with an optional time of day. Time fields are kept as written (an
// hour of 25 stays 25); any time-zone designator has been dropped.
struct IsoDateTime {
  std::int64_t year = 0;
  std::uint32_t month = 1;        // 1 to 12
  std::uint32_t day = 1;          // 1 to 31, not checked against the month
  std::uint32_t hour = 0;
  std::uint32_t minute = 0;
  std::uint32_t second = 0;
  std::uint32_t millisecond = 0;  // first three digits of the fraction
};

// Reads "YYYY-MM-DD" optionally followed by "T" or a space and a time.
// Nothing when the date part is unreadable or month/day are out of range;
// an unreadable time field reads as 0 and never fails the whole text.
std::optional<IsoDateTime> parse_iso_date(std::string_view text);

// Writes date by the format's %-codes (%Y %y %m %n %d %e %H %h %M %S %3 %%).
// Fails on %a and %b (names in a language), on an unknown code and on a
// format that ends in a bare %.
Result<std::string> format_date(const IsoDateTime& date, std::string_view format);

}  // namespace tolvar
