// The today and now texts of a call, worked out from a submission.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "eval/context.h"
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

// The host of a lone expression over a submission: the clock as
// clock_from_submission gives it, worked out only when the expression first
// asks, since most never do and the search may cover the whole document.
// Belongs to one evaluation: it remembers what it found, so it is not shared
// between threads. The submission must outlive it.
class SubmissionClockHost : public Host {
 public:
  SubmissionClockHost(const XmlDocument& submission, std::optional<std::string_view> today,
                      std::optional<std::string_view> now, StopCheck* stop = nullptr)
      : Host(stop), submission_(submission), given_today_(today), given_now_(now) {}
  const XmlDocument* lookup_table(std::string_view) const override { return nullptr; }
  std::optional<std::string> choice_label(std::string_view, std::string_view) const override {
    return std::nullopt;
  }
  ClockText today() const override;
  ClockText now() const override;

 private:
  const XmlDocument& submission_;
  std::optional<std::string_view> given_today_;
  std::optional<std::string_view> given_now_;
  mutable std::optional<std::optional<std::string>> today_;  // outer: looked for yet
  mutable std::optional<std::optional<std::string>> now_;
};

}  // namespace tolvar
