#include "rules/form_reading.h"

#include "base/unicode.h"

namespace tolvar {

std::optional<std::string_view> given_attribute(const XmlDocument& document, NodeId element,
                                                std::string_view name) {
  const std::optional<std::string_view> value = document.attribute(element, name);
  if (value.has_value() && is_blank(*value)) return std::nullopt;
  return value;
}

std::optional<std::string_view> bind_target(const XmlDocument& document, NodeId bind) {
  std::optional<std::string_view> target = given_attribute(document, bind, "nodeset");
  if (!target) target = given_attribute(document, bind, "ref");
  return target;
}

bool is_secondary_instance(const XmlDocument& document, NodeId instance) {
  return document.attribute(instance, "id").has_value();
}

bool is_date_type(std::optional<std::string_view> type) {
  if (!type) return false;
  std::string_view name = trim_white(*type);
  name.remove_prefix(name.rfind(':') + 1);  // npos + 1 is 0: no prefix
  return equals_ignoring_ascii_case(name, "date") || equals_ignoring_ascii_case(name, "datetime");
}

}  // namespace tolvar
