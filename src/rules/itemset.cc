#include "rules/itemset.h"

#include "base/unicode.h"

namespace tolvar {
namespace {

std::optional<std::string_view> usable_attribute(const XmlDocument& doc, NodeId element,
                                                 std::string_view name) {
  const std::optional<std::string_view> text = doc.attribute(element, name);
  if (!text.has_value() || is_blank(*text)) return std::nullopt;
  return *text;
}

// The "ref" of the itemset's first child named `child`.
std::optional<std::string_view> child_ref(const XmlDocument& doc, NodeId itemset,
                                          std::string_view child) {
  NodeId element = doc.child_named(itemset, child);
  if (element == kNoNode) return std::nullopt;
  return usable_attribute(doc, element, "ref");
}

}  // namespace

std::optional<Itemset> read_itemset(const XmlDocument& form_document, NodeId control) {
  NodeId element = form_document.child_named(control, "itemset");
  if (element == kNoNode) return std::nullopt;
  std::optional<std::string_view> nodeset = usable_attribute(form_document, element, "nodeset");
  if (!nodeset) return std::nullopt;
  Itemset itemset;
  itemset.nodeset = *nodeset;
  if (auto value = child_ref(form_document, element, "value")) itemset.value_name = *value;
  itemset.label_ref = child_ref(form_document, element, "label");
  return itemset;
}

}  // namespace tolvar
