// What the portability rules need to know about a form, gathered once.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "rules/checker/name_paths.h"
#include "tree/document.h"

namespace tolvar {

struct FormOutline {
  // The "nodeset" of every <repeat>, as add_repeat keeps it.
  std::set<std::string, std::less<>> repeat_paths;
  // The "id" of every <instance> that has one, as written.
  std::set<std::string, std::less<>> secondary_ids;
  // Name of the primary instance's data element, when it has one.
  std::optional<std::string> instance_root;
  // Name paths ("/data/group/q") of every element of the primary instance.
  NamePaths instance_paths;
  // Whether a <model> carries odk:xforms-version, which changes how Enketo
  // reads absolute paths inside repeats.
  bool declares_xforms_version = false;

  // Records a repeat's "nodeset", trimmed of white space and of any
  // trailing "/", so "/data/rep/" names the same repeat as "/data/rep".
  void add_repeat(std::string_view nodeset);
};

// Whether `path` is the repeat `repeat` or lies below it ("/data/rep/q"
// below "/data/rep"), by name alone.
bool is_under_repeat(std::string_view path, std::string_view repeat);

// The form's repeats that `path` is or lies below, outermost first. Costs one
// lookup per step of `path`, whatever the number of repeats.
std::vector<std::string_view> repeats_holding(std::string_view path, const FormOutline& outline);

// Whether `path` is under any of the form's repeats.
bool in_any_repeat(std::string_view path, const FormOutline& outline);

// Gathers the outline from `elements`: the form's root followed by its
// descendants, in document order.
FormOutline outline_form(const XmlDocument& document, const std::vector<NodeId>& elements);

}  // namespace tolvar
