#include "rules/clock.h"

#include <algorithm>

#include "base/unicode.h"

namespace tolvar {
namespace {

// The first descendants of the root named "today", "end" and "start" in
// document order, kNoNode for one that is missing.
struct ClockElements {
  NodeId today = kNoNode;
  NodeId end = kNoNode;
  NodeId start = kNoNode;
};

// One walk for all three, which stops once "today" and "end" are found:
// they sit near the top of a submission, and "start" only counts without
// "end".
ClockElements clock_elements(const XmlDocument& doc) {
  ClockElements found;
  if (!doc.has_root()) return found;
  for (NodeId id = doc.next_in_preorder(doc.root, doc.root); id != kNoNode;
       id = doc.next_in_preorder(id, doc.root)) {
    const std::string_view name = doc[id].name();
    NodeId* slot = name == "today" ? &found.today
                   : name == "end" ? &found.end
                   : name == "start" ? &found.start
                                     : nullptr;
    if (slot == nullptr || *slot != kNoNode) continue;
    *slot = id;
    if (found.today != kNoNode && found.end != kNoNode) break;
  }
  return found;
}

// The element's string value, unless it is missing or blank: later elements
// of the same name are not consulted.
std::optional<std::string> value_of(const XmlDocument& doc, NodeId id) {
  if (id == kNoNode) return std::nullopt;
  std::string value = doc.string_value(id);
  if (is_blank(value)) return std::nullopt;
  return value;
}

std::optional<std::string> work_out_today(const XmlDocument& doc, const ClockElements& found) {
  if (auto today = value_of(doc, found.today)) return today;
  // The date part of a date-time: its first ten bytes, backing off to the
  // start of a character that the tenth byte would cut in two.
  if (auto end = value_of(doc, found.end)) {
    std::size_t cut = std::min<std::size_t>(10, end->size());
    while (cut > 0 && cut < end->size() && (static_cast<unsigned char>((*end)[cut]) & 0xC0) == 0x80) --cut;
    return end->substr(0, cut);
  }
  return std::nullopt;
}

std::optional<std::string> work_out_now(const XmlDocument& doc, const ClockElements& found) {
  if (auto end = value_of(doc, found.end)) return end;
  return value_of(doc, found.start);
}

}  // namespace

Clock clock_from_submission(const XmlDocument& submission, std::optional<std::string_view> today,
                            std::optional<std::string_view> now) {
  Clock clock;
  if (today && now) {
    clock.today = std::string(*today);
    clock.now = std::string(*now);
    return clock;
  }
  const ClockElements found = clock_elements(submission);
  clock.today = today ? std::string(*today) : work_out_today(submission, found);
  clock.now = now ? std::string(*now) : work_out_now(submission, found);
  return clock;
}

ClockText SubmissionClockHost::today() const {
  if (given_today_) return given_today_;
  if (!today_) today_ = work_out_today(submission_, clock_elements(submission_));
  return *today_;
}

ClockText SubmissionClockHost::now() const {
  if (given_now_) return given_now_;
  if (!now_) now_ = work_out_now(submission_, clock_elements(submission_));
  return *now_;
}

}  // namespace tolvar
