// today(), now(), date(), decimal-date-time(), format-date() and
// format-date-time(). The clock values are whatever the host was given,
// never the machine's clock; without them today() and now() refuse.
#include <array>
#include <cmath>
#include <string>

#include "eval/date_value.h"
#include "functions/iso_date.h"
#include "functions/library.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

// The functions whose result both engines read as a date.
constexpr std::array<std::string_view, 3> kDateResults = {"today", "now", "date"};

Result<Value> today(const Call& call) {
  std::optional<std::string_view> today = call.context().host.today();
  if (!today) {
    return fail(
        "today() has no clock to read — no date was given, and tolvar will not guess one: pass "
        "today, for example today='2024-05-06' (--today on the command line), or judge a "
        "submission that has a today or end element");
  }
  return Value{std::string(*today)};
}

Result<Value> now(const Call& call) {
  std::optional<std::string_view> now = call.context().host.now();
  if (!now) {
    return fail(
        "now() has no clock to read — no time was given, and tolvar will not guess one: pass "
        "now, for example now='2024-05-06T10:11:12.000+02:00' (--now on the command line), or "
        "judge a submission that has an end or start element");
  }
  return Value{std::string(*now)};
}

// A value's text: a node-set's first node, a string itself; nothing for a
// number or a boolean.
std::optional<std::string> text_of(const Call& call, const Value& value) {
  if (std::holds_alternative<bool>(value) || std::holds_alternative<double>(value)) {
    return std::nullopt;
  }
  return call.to_string(value);
}

std::string shown(double number) { return number_to_string(number); }
std::string shown(std::string_view text) { return quote_text(text); }

template <class Shown>
Failure needs_a_date(const Call& call, const Shown& given) {
  return fail(std::string(call.name()) + "() needs a date or a day number, and was given " +
              shown(given));
}

// A day number as its date; a fraction of a day is dropped.
Result<Value> date_of_day(const Call& call, double day) {
  if (!std::isfinite(day)) return needs_a_date(call, day);
  const double whole = std::floor(day);
  std::optional<std::string> text;
  if (std::fabs(whole) < 1e9) text = day_text(static_cast<std::int64_t>(whole));
  if (!text) {
    return fail(std::string(call.name()) + "(): day " + shown(day) +
                " falls outside the years 0000 to 9999");
  }
  return Value{std::move(*text)};
}

// date(): a date, the day of a date-time, or a day number, as "YYYY-MM-DD".
// An empty answer stays empty.
Result<Value> date(const Call& call) {
  Result<Value> value = call.value(0);
  if (!value.ok()) return value.failure();
  std::optional<std::string> text = text_of(call, value.value());
  if (!text) return date_of_day(call, call.to_number(value.value()));
  if (is_blank(*text)) return Value{std::string()};
  if (std::optional<DatePoint> point = read_date(*text)) {
    Result<std::int64_t> day = calendar_day(*point, *text);
    if (!day.ok()) return day.failure();
    return date_of_day(call, static_cast<double>(day.value()));
  }
  const double number = text_to_number(trim_white(*text));
  if (std::isnan(number)) return needs_a_date(call, *text);
  return date_of_day(call, number);
}

// decimal-date-time(): a date's day number, a date-time's days in UTC; any
// other value converts as a number does.
Result<Value> decimal_date_time(const Call& call) {
  Result<Value> value = call.value(0);
  if (!value.ok()) return value.failure();
  std::optional<std::string> text = text_of(call, value.value());
  std::optional<DatePoint> point = text ? read_date(*text) : std::nullopt;
  if (!point) return Value{call.to_number(value.value())};
  Result<double> number = date_number(*point, *text);
  if (!number.ok()) return number.failure();
  return Value{number.value()};
}

Result<Value> format_parsed(const Call& call, const IsoDateTime& date) {
  Result<std::string> format = call.string(1);
  if (!format.ok()) return format.failure();
  Result<std::string> text = format_date(date, format.value());
  if (!text.ok()) return text.failure();
  return Value{std::move(text).value()};
}

// A whole day number formats as its date. A fraction of a day is a moment,
// whose day and time depend on the time zone it is read in.
Result<Value> format_day_number(const Call& call, double number) {
  if (number != std::floor(number)) return fail(zone_message(shown(number)));
  Result<Value> day = date_of_day(call, number);
  if (!day.ok()) return day;
  return format_parsed(call, *parse_iso_date(std::get<std::string>(day.value())));
}

// format-date and format-date-time are one function: both read a date, a
// date-time or a day number, and both may print time fields (0 for a date).
Result<Value> format_date_time(const Call& call) {
  Result<Value> argument = call.value(0);
  if (!argument.ok()) return argument.failure();
  if (const double* number = std::get_if<double>(&argument.value())) {
    if (std::isfinite(*number)) return format_day_number(call, *number);
  }
  std::string value = call.to_string(argument.value());
  if (is_blank(value)) return Value{std::string()};
  std::optional<IsoDateTime> date = parse_iso_date(value);
  if (!date) {
    return fail(std::string(call.name()) + "(): " + quote_text(value) +
                " is not an ISO date or date-time");
  }
  return format_parsed(call, *date);
}

constexpr std::array kDateFunctions = {
    FunctionEntry{"today", exactly(0), today},
    FunctionEntry{"now", exactly(0), now},
    FunctionEntry{"date", exactly(1), date},
    FunctionEntry{"decimal-date-time", exactly(1), decimal_date_time},
    FunctionEntry{"format-date", exactly(2), format_date_time},
    FunctionEntry{"format-date-time", exactly(2), format_date_time},
};

}  // namespace

std::span<const FunctionEntry> date_functions() { return kDateFunctions; }

bool returns_date(std::string_view name) {
  for (std::string_view dated : kDateResults) {
    if (dated == name) return true;
  }
  return false;
}

}  // namespace tolvar
