// today(), now(), format-date() and format-date-time(). Dates stay text: the
// clock values are whatever the host was given, never the machine's clock.
#include <array>
#include <string>

#include "functions/iso_date.h"
#include "functions/library.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

Result<Value> today(const Call& call) { return Value{std::string(call.context().host.today())}; }

Result<Value> now(const Call& call) { return Value{std::string(call.context().host.now())}; }

// format-date and format-date-time are one function: both read a date or a
// date-time and both may print time fields (0 for a bare date).
Result<Value> format_date_time(const Call& call) {
  Result<std::string> value = call.string(0);
  if (!value.ok()) return value.failure();
  if (is_blank(value.value())) return Value{std::string()};
  std::optional<IsoDateTime> date = parse_iso_date(value.value());
  if (!date) {
    return fail(std::string(call.name()) + "(): " + quote_text(value.value()) +
                " is not an ISO date or date-time");
  }
  Result<std::string> format = call.string(1);
  if (!format.ok()) return format.failure();
  Result<std::string> text = format_date(*date, format.value());
  if (!text.ok()) return text.failure();
  return Value{std::move(text).value()};
}

constexpr std::array kDateFunctions = {
    FunctionEntry{"today", exactly(0), today},
    FunctionEntry{"now", exactly(0), now},
    FunctionEntry{"format-date", exactly(2), format_date_time},
    FunctionEntry{"format-date-time", exactly(2), format_date_time},
};

}  // namespace

std::span<const FunctionEntry> date_functions() { return kDateFunctions; }

}  // namespace tolvar
