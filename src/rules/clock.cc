#include "rules/clock.h"

#include <algorithm>
#include <vector>

#include "base/unicode.h"

namespace tolvar {
namespace {

// The first descendant of the root named `name` in document order, or
// kNoNode. The walk stops there: these elements sit near the top of a
// submission, and listing every node first would cost as much as the read.
NodeId first_named(const XmlDocument& doc, std::string_view name) {
  std::vector<NodeId> pending;
  doc.push_children_reversed(doc.root, pending);
  while (!pending.empty()) {
    const NodeId id = pending.back();
    pending.pop_back();
    if (doc[id].name() == name) return id;
    doc.push_children_reversed(id, pending);
  }
  return kNoNode;
}

// The string value of the first descendant of the root named `name`, unless
// that element is blank: later elements of the same name are not consulted.
std::optional<std::string> first_value(const XmlDocument& doc, std::string_view name) {
  if (!doc.has_root()) return std::nullopt;
  const NodeId id = first_named(doc, name);
  if (id == kNoNode) return std::nullopt;
  std::string value = doc.string_value(id);
  if (is_blank(value)) return std::nullopt;
  return value;
}

std::optional<std::string> work_out_today(const XmlDocument& doc) {
  if (auto today = first_value(doc, "today")) return today;
  // The date part of a date-time: its first ten bytes, backing off to the
  // start of a character that the tenth byte would cut in two.
  if (auto end = first_value(doc, "end")) {
    std::size_t cut = std::min<std::size_t>(10, end->size());
    while (cut > 0 && cut < end->size() && (static_cast<unsigned char>((*end)[cut]) & 0xC0) == 0x80) --cut;
    return end->substr(0, cut);
  }
  return std::nullopt;
}

std::optional<std::string> work_out_now(const XmlDocument& doc) {
  if (auto end = first_value(doc, "end")) return end;
  return first_value(doc, "start");
}

}  // namespace

Clock clock_from_submission(const XmlDocument& submission, std::optional<std::string_view> today,
                            std::optional<std::string_view> now) {
  Clock clock;
  clock.today = today ? std::string(*today) : work_out_today(submission);
  clock.now = now ? std::string(*now) : work_out_now(submission);
  return clock;
}

ClockText SubmissionClockHost::today() const {
  if (given_today_) return given_today_;
  if (!today_) today_ = work_out_today(submission_);
  return *today_;
}

ClockText SubmissionClockHost::now() const {
  if (given_now_) return given_now_;
  if (!now_) now_ = work_out_now(submission_);
  return *now_;
}

}  // namespace tolvar
