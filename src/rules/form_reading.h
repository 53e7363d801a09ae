// How the engine reads a form's markup wherever more than one part of it
// reads the same thing: attributes, a bind's target and rules, instances.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "rules/form.h"
#include "tree/document.h"

namespace tolvar {

// An attribute by local name, the first one counting; a blank one is as good
// as absent.
std::optional<std::string_view> given_attribute(const XmlDocument& document, NodeId element,
                                                std::string_view name);

// A bind's target as written: its "nodeset", else its "ref".
std::optional<std::string_view> bind_target(const XmlDocument& document, NodeId bind);

// The attributes of a bind that hold rules, with the field each loads into,
// in the order findings report them.
struct RuleAttribute {
  std::string_view name;
  std::optional<BindRule> Bind::*field;
};
inline constexpr RuleAttribute kRuleAttributes[] = {
    {"relevant", &Bind::relevant}, {"calculate", &Bind::calculate},
    {"constraint", &Bind::constraint}, {"required", &Bind::required},
    {"readonly", &Bind::readonly},
};
// The order loading parses them in, indices into kRuleAttributes: readonly
// before required, so that of a bind with both broken, loading names
// readonly's failure while findings still list required first.
inline constexpr std::size_t kRuleLoadOrder[] = {0, 1, 2, 4, 3};

// Whether a bind's type attribute makes its nodes dates: "date" or
// "dateTime", with any prefix, in any case.
bool is_date_type(std::optional<std::string_view> type);

// An <instance> with an "id", blank or not, is a secondary instance, read
// through instance('id'); the primary instance is another matter (form.h).
bool is_secondary_instance(const XmlDocument& document, NodeId instance);

}  // namespace tolvar
