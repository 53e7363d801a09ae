// A form being filled in: the loaded form, the instance and its templates.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "eval/stop_check.h"
#include "rules/declared_elements.h"
#include "rules/form.h"
#include "tree/document.h"
#include "rules/instance_edit.h"
#include "base/result.h"

namespace tolvar {

// The state of a form being filled in; Session (engine.h) owns one.
struct SessionState {
  // Read only, and shared by every session started from the same loaded form.
  std::shared_ptr<const Form> form;
  XmlDocument instance;
  Templates templates;
  DeclaredElements declared;
  // Nothing unless the caller gave them: today() and now() then refuse.
  std::optional<std::string> today;
  std::optional<std::string> now;
};

// Loads the form and builds the starting instance: the primary instance, or
// the saved one (parse failure: "saved instance: {message}"); templates out.
Result<SessionState> start_session(std::string_view form_text,
                                  std::optional<std::string_view> saved_instance);
// The same with a form already loaded; fails only on the instances.
Result<SessionState> start_session(std::shared_ptr<const Form> form,
                                  std::optional<std::string_view> saved_instance);

struct RecomputeResult {
  std::map<std::string, std::string> calculated;
  std::map<std::string, bool> relevant;
  std::vector<std::string> missing;
  std::vector<std::pair<std::string, std::string>> invalid;
  std::vector<std::pair<std::string, std::string>> failed;
  std::map<std::string, std::size_t> repeats;
};

// Applies the calculations in order, then judges the instance. Never fails;
// after a stop (stop->stopped()) the result and the instance are partial.
RecomputeResult recompute(SessionState& session, StopCheck* stop = nullptr);

}  // namespace tolvar
