// What the portability rules need to know about a form, gathered once.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tree/document.h"

namespace tolvar {

struct FormOutline {
  // The trimmed "nodeset" of every <repeat>, in document order.
  std::vector<std::string> repeat_paths;
  // The "id" of every <instance> that has one, as written.
  std::set<std::string, std::less<>> secondary_ids;
  // Name of the primary instance's data element, when it has one.
  std::optional<std::string> instance_root;
  // Name paths ("/data/group/q") of every element of the primary instance.
  std::set<std::string, std::less<>> instance_paths;
};

// Gathers the outline from `elements`: the form's root followed by its
// descendants, in document order.
FormOutline outline_form(const XmlDocument& document, const std::vector<NodeId>& elements);

}  // namespace tolvar
