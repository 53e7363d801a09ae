#include "rules/date_calculations.h"

#include <cmath>
#include <cstdint>

#include "eval/date_value.h"
#include "base/unicode.h"

namespace tolvar {

std::optional<std::string> day_number_disagreement(const Bind& bind, const Value& value) {
  const double* day = std::get_if<double>(&value);
  if (!bind.date_typed || day == nullptr || !std::isfinite(*day)) return std::nullopt;
  std::optional<std::string> date;
  if (std::fabs(*day) < 1e9) date = day_text(static_cast<std::int64_t>(std::floor(*day)));
  const std::string number = number_to_string(*day);
  return "the engines disagree: the calculation gives the day number " + number +
         " for a date question, which Collect and Enketo store as " + number +
         " and ODK Web Forms leaves empty — wrap it in date() to store " +
         (date ? "the date " + *date : std::string("a date")) + " on all of them";
}

bool names_same_day(std::string_view stored, double day) {
  if (text_to_number(trim_white(stored)) == day) return true;
  std::optional<DatePoint> point = read_date(stored);
  return point && point->kind == DateKind::Day && point->days == day;
}

}  // namespace tolvar
