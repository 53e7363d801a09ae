// Calculations on date questions that give a number. Collect and Enketo
// store the day number as it is; ODK Web Forms stores nothing. Neither answer
// is the form's.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "eval/value.h"
#include "rules/form.h"

namespace tolvar {

// The refusal for `value` calculated on a node of `bind`, naming the
// disagreement, when the bind is typed as a date and the value is a day
// number; nothing otherwise.
std::optional<std::string> day_number_disagreement(const Bind& bind, const Value& value);

// Whether `stored` names day number `day`, as that number or as its date:
// then the engines' difference shows nowhere.
bool names_same_day(std::string_view stored, double day);

}  // namespace tolvar
