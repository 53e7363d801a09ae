// The starting state of a form being filled in.
#include "rules/session.h"

#include <memory>
#include <utility>

namespace tolvar {

Result<SessionState> start_session(std::string_view form_text,
                                  std::optional<std::string_view> saved_instance) {
  Result<Form> form = load_form(form_text);
  if (!form.ok()) return form.failure();
  return start_session(std::make_shared<const Form>(std::move(form).value()), saved_instance);
}

Result<SessionState> start_session(std::shared_ptr<const Form> form,
                                  std::optional<std::string_view> saved_instance) {
  std::optional<XmlDocument> saved;
  if (saved_instance) {
    Result<XmlDocument> parsed = parse_xml(*saved_instance);
    if (!parsed.ok()) return fail("saved instance: " + parsed.error());
    saved = std::move(parsed).value();
  }
  Result<XmlDocument> primary = primary_instance(form->document);
  if (!primary.ok()) return primary.failure();

  SessionState session;
  session.form = std::move(form);
  session.instance = std::move(primary).value();
  session.declared = DeclaredElements(session.instance);
  session.templates = extract_templates(session.instance);
  if (saved) {
    // The form's own templates win: rows marked as templates in a saved
    // instance are only taken out so they are neither filled nor judged.
    session.instance = std::move(*saved);
    extract_templates(session.instance);
  }
  return session;
}

}  // namespace tolvar
