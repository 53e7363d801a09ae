// The today and now texts of a call, worked out from a submission.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tree/document.h"

namespace tolvar {

// Nothing where no clock was given: today() and now() then refuse rather
// than make up a date.
struct Clock {
  std::optional<std::string> today;
  std::optional<std::string> now;
};

// Given values are used unchanged; a missing today comes from the first
// "today" element, else the date part of the first "end"; a missing now from
// the first "end", else "start"; otherwise nothing. Only descendants of the
// root are searched, and a blank first match counts as nothing found.
Clock clock_from_submission(const XmlDocument& submission, std::optional<std::string_view> today,
                            std::optional<std::string_view> now);

}  // namespace tolvar
