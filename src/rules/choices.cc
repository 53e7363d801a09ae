// The options a filtered question (one with an itemset) offers right now.
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "eval/context.h"
#include "eval/value.h"
#include "rules/judge.h"
#include "rules/session.h"
#include "tree/unicode.h"

namespace tolvar {
namespace {

constexpr std::string_view kDefaultValueName = "name";

// An attribute's text, or nothing when it is absent or blank.
std::optional<std::string_view> usable_attribute(const XmlDocument& document, NodeId element,
                                                 std::string_view name) {
  const std::string* text = document.attribute(element, name);
  if (text == nullptr || is_blank(*text)) return std::nullopt;
  return *text;
}

// The "ref" of the itemset's first child named `child`.
std::optional<std::string_view> child_ref(const XmlDocument& document, NodeId itemset,
                                          std::string_view child) {
  NodeId element = document.child_named(itemset, child);
  if (element == kNoNode) return std::nullopt;
  return usable_attribute(document, element, "ref");
}

}  // namespace

std::optional<std::vector<Choice>> list_choices(const FormSession& session,
                                                std::string_view path) {
  const Form& form = session.form;
  const XmlDocument& body = form.document;
  NodeId control = find_control(form, path);
  if (control == kNoNode) return std::nullopt;
  NodeId itemset = body.child_named(control, "itemset");
  if (itemset == kNoNode) return std::nullopt;
  std::optional<std::string_view> nodeset = usable_attribute(body, itemset, "nodeset");
  if (!nodeset) return std::nullopt;
  std::string_view value_name = child_ref(body, itemset, "value").value_or(kDefaultValueName);
  std::optional<std::string_view> label_name = child_ref(body, itemset, "label");
  Result<Expr> expr = parse_expression(*nodeset);
  if (!expr.ok()) return std::nullopt;

  // The itemset sees the session's answers, but not its clock.
  XmlDocument model = model_document(form, session.instance);
  FormHost host(form, model, std::string(), std::string());
  Result<Value> items = evaluate(expr.value(), EvalContext{model, model.root, 1, 1, host});
  std::vector<Choice> choices;
  const NodeSet* nodes = items.ok() ? std::get_if<NodeSet>(&items.value()) : nullptr;
  if (nodes == nullptr) return choices;
  const XmlDocument& items_document = nodes->document != nullptr ? *nodes->document : model;
  for (NodeId item : nodes->ids) {
    NodeId value_node = items_document.child_named(item, value_name);
    std::string value =
        value_node == kNoNode ? std::string() : items_document.string_value(value_node);
    if (is_blank(value)) continue;
    std::string label =
        label_name ? resolve_label(form, *label_name, items_document, item) : value;
    choices.push_back(Choice{std::move(value), std::move(label)});
  }
  return choices;
}

}  // namespace tolvar
