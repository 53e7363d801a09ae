// The engine's calls: one function per public operation and the session
// class. The Python module and the fuzz harnesses take this road and no
// other, so what is tested is what users run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.h"
#include "rules/attachments.h"
#include "rules/checker/checker.h"
#include "rules/choices.h"
#include "rules/form.h"
#include "rules/instance_identity.h"
#include "rules/judge.h"
#include "rules/judge_batch.h"
#include "rules/session.h"
#include "rules/source.h"

namespace tolvar {

// The today and now texts a caller gave. A judge or an expression works a
// missing one out from the submission (clock.h); a session has only what
// was given. Without one, today() and now() refuse.
struct GivenClock {
  std::optional<std::string_view> today;
  std::optional<std::string_view> now;
};

// Every call that evaluates takes an optional StopCheck: when it asks to
// stop, the call fails with kStoppedMessage, or (recompute) gives a partial
// result, and a Session is left as it was.

// Every portability finding of a form, in bind, attribute and walk order.
// Fails with "XForm XML: {message}".
Result<std::vector<Finding>> check_form_text(std::string_view form_text,
                                             StopCheck* stop = nullptr);

// A form loaded once, to judge any number of submissions against and start
// any number of sessions from. Read only, so threads may share it.
struct LoadedForm {
  Form form;
  std::optional<InstanceIdentity> identity;  // of its primary instance
};
// The form with its attached files read in. Fails as load_form or
// attach_files does.
Result<LoadedForm> load_form_text(std::string_view form_text, const Attachments& attachments = {});

// What the form's own rules say about one submission. The submission is read
// in place: its names and texts are not copied out of its text. Fails with
// the XML reader's message, or check_submission_of's for a submission of
// another form.
Result<std::vector<SubmissionFinding>> judge(const LoadedForm& form, Source submission,
                                             const GivenClock& clock, StopCheck* stop = nullptr);
// judge over many submissions on worker threads: see JudgeBatch.

// load_form_text, then judge.
Result<std::vector<SubmissionFinding>> judge_submission_text(
    std::string_view form_text, Source submission, const GivenClock& clock,
    const Attachments& attachments = {}, StopCheck* stop = nullptr);

// The string value of `expression` at the submission's root, with the clock
// texts and nothing else: no secondary instances, no choice labels. Fails
// with the XML reader's, the parser's or the evaluator's message.
Result<std::string> evaluate_expression_text(std::string_view expression,
                                             std::string_view submission_text,
                                             const GivenClock& clock, StopCheck* stop = nullptr);

// A form being filled in. Owns its state, releases the instance's unused
// space after every edit that can leave some behind (so a long session does
// not grow without end), and leaves the instance as it was when a recompute
// does not finish.
class Session {
 public:
  // Fails as load_form_text or start_session does.
  static Result<Session> start(std::string_view form_text,
                               std::optional<std::string_view> saved_instance,
                               const GivenClock& clock, const Attachments& attachments = {});
  // The same from a loaded form, which the session shares rather than copies.
  // Fails only on the saved instance.
  static Result<Session> start(std::shared_ptr<const LoadedForm> form,
                               std::optional<std::string_view> saved_instance,
                               const GivenClock& clock);

  // Fails with set_answer's message.
  Status set(std::string_view path, std::string_view value, StopCheck* stop = nullptr);
  // The current answer, or "".
  std::string get(std::string_view path, StopCheck* stop = nullptr) const;
  // How many rows the repeat has now; fails with add_row's message.
  Result<std::size_t> add_row(std::string_view path, StopCheck* stop = nullptr);
  // How many rows are left; fails with remove_row's message.
  Result<std::size_t> remove_row(std::string_view path, std::uint64_t position,
                                 StopCheck* stop = nullptr);
  // Runs the form's logic and applies what it derives.
  RecomputeResult recompute(StopCheck* stop = nullptr);
  // The same, handing the result to `report`: when `report` gives back an
  // empty result (a null pointer, false) or anything throws, or the work was
  // stopped, the instance is left as it was before the call.
  template <class Report>
  auto recompute(Report&& report, StopCheck* stop = nullptr) {
    Snapshot snapshot(state_.instance);
    auto reported = report(recompute(stop));
    if (reported && !(stop != nullptr && stop->stopped())) snapshot.keep();
    return reported;
  }
  // Whether the path names an element the form declares (its primary
  // instance, templates included), whatever the instance holds now.
  bool declares(std::string_view path) const;
  // The options of a filtered question now; nothing when its list is fixed.
  std::optional<std::vector<Choice>> choices(std::string_view path,
                                             StopCheck* stop = nullptr) const;
  // The instance as it would be submitted.
  std::string instance_xml() const;

  const SessionState& state() const { return state_; }

 private:
  explicit Session(SessionState state) : state_(std::move(state)) {}
  static Result<Session> from_state(Result<SessionState> started, const GivenClock& clock);

  // A copy of the instance, put back on destruction unless kept.
  class Snapshot {
   public:
    explicit Snapshot(XmlDocument& instance) : instance_(instance), before_(instance) {}
    ~Snapshot() {
      if (!kept_) instance_ = std::move(before_);
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    void keep() { kept_ = true; }

   private:
    XmlDocument& instance_;
    XmlDocument before_;
    bool kept_ = false;
  };

  SessionState state_;
};

}  // namespace tolvar
