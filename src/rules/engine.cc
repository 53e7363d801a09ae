#include "rules/engine.h"

#include "eval/context.h"
#include "rules/clock.h"
#include "rules/instance_edit.h"
#include "tree/document.h"

namespace tolvar {

Result<std::vector<Finding>> check_form_text(std::string_view form_text, StopCheck* stop) {
  // The document lives only for this call, inside the caller's text.
  Result<XmlDocument> document = parse_xml_borrowing(form_text);
  if (!document.ok()) return fail("XForm XML: " + document.error());
  std::vector<Finding> findings = check_form_document(document.value(), stop);
  if (stop != nullptr && stop->stopped()) return fail(kStoppedMessage);
  return findings;
}

namespace {

// The form with its attached files read in, and its instance's identity.
Result<LoadedForm> with_attachments(Result<Form> form, const Attachments& attachments) {
  if (!form.ok()) return form.failure();
  Status attached = attach_files(form.value(), attachments);
  if (!attached.ok()) return attached.failure();
  std::optional<InstanceIdentity> identity = form_identity(form.value().document);
  return LoadedForm{std::move(form).value(), std::move(identity)};
}

}  // namespace

Result<LoadedForm> load_form_text(std::string_view form_text, const Attachments& attachments) {
  return with_attachments(load_form(form_text), attachments);
}

Result<std::vector<SubmissionFinding>> judge(const LoadedForm& form, Source submission,
                                             const GivenClock& clock, StopCheck* stop) {
  // The submission's document lives only for this call, inside its text.
  Result<XmlDocument> instance = parse_xml_borrowing(submission.text());
  if (!instance.ok()) return instance.failure();
  if (form.identity) {
    Status belongs = check_submission_of(*form.identity, instance.value());
    if (!belongs.ok()) return belongs.failure();
  }
  Clock worked_out = clock_from_submission(instance.value(), clock.today, clock.now);
  std::vector<SubmissionFinding> findings = judge_submission(
      form.form, std::move(instance).value(), worked_out.today, worked_out.now, stop);
  if (stop != nullptr && stop->stopped()) return fail(kStoppedMessage);
  return findings;
}

Result<std::vector<SubmissionFinding>> judge_submission_text(
    std::string_view form_text, Source submission, const GivenClock& clock,
    const Attachments& attachments, StopCheck* stop) {
  // Loaded for this call only, so read in place.
  Result<LoadedForm> form = with_attachments(load_form_in_place(form_text), attachments);
  if (!form.ok()) return form.failure();
  return judge(form.value(), std::move(submission), clock, stop);
}

Result<std::string> evaluate_expression_text(std::string_view expression,
                                             std::string_view submission_text,
                                             const GivenClock& clock, StopCheck* stop) {
  // The document lives only for this call, inside the caller's text.
  Result<XmlDocument> instance = parse_xml_borrowing(submission_text);
  if (!instance.ok()) return instance.failure();
  Result<Expr> parsed = parse_expression(expression);
  if (!parsed.ok()) return parsed.failure();
  const XmlDocument& document = instance.value();
  SubmissionClockHost host(document, clock.today, clock.now, stop);
  Result<Value> value = evaluate(parsed.value(), EvalContext{document, document.root, 1, 1, host});
  if (!value.ok()) return value.failure();
  return to_string(value.value(), document);
}

Result<Session> Session::start(std::string_view form_text,
                               std::optional<std::string_view> saved_instance,
                               const GivenClock& clock, const Attachments& attachments) {
  Result<LoadedForm> form = load_form_text(form_text, attachments);
  if (!form.ok()) return form.failure();
  return start(std::make_shared<const LoadedForm>(std::move(form).value()), saved_instance,
               clock);
}

Result<Session> Session::start(std::shared_ptr<const LoadedForm> form,
                               std::optional<std::string_view> saved_instance,
                               const GivenClock& clock) {
  // Points into the loaded form and keeps all of it alive.
  std::shared_ptr<const Form> shared(form, &form->form);
  return from_state(start_session(std::move(shared), saved_instance), clock);
}

Result<Session> Session::from_state(Result<SessionState> started, const GivenClock& clock) {
  if (!started.ok()) return started.failure();
  SessionState& state = started.value();
  if (clock.today) state.today = *clock.today;
  if (clock.now) state.now = *clock.now;
  return Session(std::move(state));
}

Status Session::set(std::string_view path, std::string_view value, StopCheck* stop) {
  Status done = set_answer(state_.instance, path, value, BareHost(state_.today, state_.now, stop));
  if (done.ok()) release_unused_space(state_.instance);
  return done;
}

std::string Session::get(std::string_view path, StopCheck* stop) const {
  return get_answer(state_.instance, path, BareHost(state_.today, state_.now, stop));
}

Result<std::size_t> Session::add_row(std::string_view path, StopCheck* stop) {
  return tolvar::add_row(state_.instance, state_.templates, path,
                         BareHost(state_.today, state_.now, stop));
}

Result<std::size_t> Session::remove_row(std::string_view path, std::uint64_t position,
                                        StopCheck* stop) {
  // remove_row releases the space it frees itself.
  return tolvar::remove_row(state_.instance, path, position,
                            BareHost(state_.today, state_.now, stop));
}

RecomputeResult Session::recompute(StopCheck* stop) {
  RecomputeResult result = tolvar::recompute(state_, stop);
  release_unused_space(state_.instance);
  return result;
}

bool Session::declares(std::string_view path) const {
  return state_.declared.contains(path);
}

std::optional<std::vector<Choice>> Session::choices(std::string_view path,
                                                   StopCheck* stop) const {
  return list_choices(*state_.form, state_.instance, path, stop);
}

std::string Session::instance_xml() const { return write_xml(state_.instance); }

}  // namespace tolvar
