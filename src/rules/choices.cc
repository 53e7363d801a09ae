// Choices, itemsets and labels.
#include "rules/choices.h"

#include <utility>
#include <variant>

#include "base/unicode.h"
#include "eval/context.h"
#include "eval/value.h"
#include "rules/form_host.h"
#include "rules/form_reading.h"
#include "rules/model_document.h"

namespace tolvar {
namespace {

constexpr std::string_view kItextOpen = "jr:itext(";

// The host that label and itemset expressions run with: the form's secondary
// instances and the given clock texts, but no choice labels. It knows no bind
// types, so Collect is taken to read every node as text: where Enketo's
// reading of a date would answer otherwise, the expression is refused.
class LabelHost : public Host {
 public:
  LabelHost(const Form& form, ClockText today, ClockText now, StopCheck* stop)
      : Host(stop), form_(form), today_(today), now_(now) {}
  const XmlDocument* lookup_table(std::string_view id) const override {
    return loaded_instance(form_, id);
  }
  std::optional<std::string> choice_label(std::string_view, std::string_view) const override {
    return std::nullopt;
  }
  ClockText today() const override { return today_; }
  ClockText now() const override { return now_; }
  bool typed_as_date(const XmlDocument&, NodeId) const override { return false; }

 private:
  const Form& form_;
  ClockText today_;
  ClockText now_;
};

// The "ref" of the itemset's first child named `child`.
std::optional<std::string_view> child_ref(const XmlDocument& doc, NodeId itemset,
                                          std::string_view child) {
  NodeId element = doc.child_named(itemset, child);
  if (element == kNoNode) return std::nullopt;
  return given_attribute(doc, element, "ref");
}

// The nodes an itemset's nodeset selects from the model root, and the
// document they belong to. Nothing when the nodeset does not parse; no
// nodes when it fails or gives no node-set.
struct ItemNodes {
  const XmlDocument* document;
  NodeIds ids;
};
std::optional<ItemNodes> itemset_nodes(const Itemset& itemset, const XmlDocument& model,
                                       const Host& host) {
  Result<Expr> expr = parse_expression(itemset.nodeset);
  if (!expr.ok()) return std::nullopt;
  ItemNodes items{&model, {}};
  Result<Value> result = evaluate(expr.value(), EvalContext{model, model.root, 1, 1, host});
  NodeSet* nodes = result.ok() ? std::get_if<NodeSet>(&result.value()) : nullptr;
  if (nodes == nullptr) return items;
  if (nodes->document != nullptr) items.document = nodes->document;
  items.ids = std::move(nodes->ids);
  return items;
}

// The string value of the item's value child, or "".
std::string item_value(const XmlDocument& items, NodeId item, const Itemset& itemset) {
  NodeId child = items.child_named(item, itemset.value_name);
  return child == kNoNode ? std::string() : items.string_value(child);
}

// A fixed <item> list: the label of the first item whose value matches.
std::optional<std::string> item_label(const Form& form, NodeId control, std::string_view value,
                                      const XmlDocument& model, StopCheck* stop) {
  const XmlDocument& doc = form.document;
  for (NodeId item : doc.children(control)) {
    if (doc[item].name() != "item") continue;
    NodeId item_value = doc.child_named(item, "value");
    if (item_value == kNoNode || trim_white(doc.string_value(item_value)) != value) continue;
    NodeId label = doc.child_named(item, "label");
    if (label == kNoNode) return std::string();
    const std::optional<std::string_view> ref = doc.attribute(label, "ref");
    return ref.has_value() ? resolve_label(form, *ref, model, model.root, stop) : doc.string_value(label);
  }
  return std::nullopt;
}

// An <itemset>: the label of the first node of its nodeset whose value matches.
std::optional<std::string> itemset_label(const Form& form, NodeId control, std::string_view value,
                                         const XmlDocument& model, const Host& host) {
  std::optional<Itemset> itemset = read_itemset(form.document, control);
  if (!itemset) return std::nullopt;
  std::optional<ItemNodes> items = itemset_nodes(*itemset, model, host);
  if (!items) return std::nullopt;
  for (NodeId node : items->ids) {
    std::string node_value = item_value(*items->document, node, *itemset);
    if (trim_white(node_value) != value) continue;
    if (!itemset->label_ref) return node_value;
    return resolve_label(form, *itemset->label_ref, *items->document, node, host.stop_check());
  }
  return std::nullopt;
}

// The string value of `text` as an expression, or "" when it does not parse
// or evaluate. Clock texts are empty: a label has no business asking the time.
std::string evaluate_text(const Form& form, std::string_view text, const XmlDocument& document,
                          NodeId context, StopCheck* stop) {
  Result<Expr> expr = parse_expression(text);
  if (!expr.ok()) return "";
  LabelHost host(form, "", "", stop);
  Result<Value> value = evaluate(expr.value(), EvalContext{document, context, 1, 1, host});
  return value.ok() ? to_string(value.value(), document) : "";
}

// The text id of the argument of jr:itext(...): a quoted id as written,
// anything else evaluated.
std::string itext_id(const Form& form, std::string_view argument, const XmlDocument& document,
                     NodeId context, StopCheck* stop) {
  while (!argument.empty() && argument.back() == ')') argument.remove_suffix(1);
  argument = trim_white(argument);
  if (argument.size() >= 2 && argument.front() == '\'' && argument.back() == '\'') {
    return std::string(argument.substr(1, argument.size() - 2));
  }
  return evaluate_text(form, argument, document, context, stop);
}

}  // namespace

std::optional<Itemset> read_itemset(const XmlDocument& form_document, NodeId control) {
  NodeId element = form_document.child_named(control, "itemset");
  if (element == kNoNode) return std::nullopt;
  std::optional<std::string_view> nodeset = given_attribute(form_document, element, "nodeset");
  if (!nodeset) return std::nullopt;
  Itemset itemset;
  itemset.nodeset = *nodeset;
  if (auto value = child_ref(form_document, element, "value")) itemset.value_name = *value;
  itemset.label_ref = child_ref(form_document, element, "label");
  return itemset;
}

NodeId find_control(const Form& form, std::string_view path) {
  auto found = form.controls.find(trim_white(path));
  return found == form.controls.end() ? kNoNode : found->second;
}

bool is_itext_reference(std::string_view reference) {
  return reference.substr(skip_white(reference)).starts_with(kItextOpen);
}

std::string resolve_label(const Form& form, std::string_view reference, const XmlDocument& model,
                          NodeId context, StopCheck* stop) {
  std::string_view text = trim_white(reference);
  if (!text.starts_with(kItextOpen)) return evaluate_text(form, text, model, context, stop);
  std::string id = itext_id(form, text.substr(kItextOpen.size()), model, context, stop);
  auto found = form.itext.find(id);
  return found == form.itext.end() ? id : found->second;
}

std::optional<std::string> option_label(const Form& form, NodeId control, std::string_view value,
                                        const XmlDocument& model, ClockText today,
                                        ClockText now, StopCheck* stop) {
  std::string_view wanted = trim_white(value);
  std::optional<std::string> label = item_label(form, control, wanted, model, stop);
  if (label) return label;
  return itemset_label(form, control, wanted, model, LabelHost(form, today, now, stop));
}

std::optional<std::vector<Choice>> list_choices(const Form& form, const XmlDocument& instance,
                                                std::string_view path, StopCheck* stop) {
  NodeId control = find_control(form, path);
  if (control == kNoNode) return std::nullopt;
  std::optional<Itemset> itemset = read_itemset(form.document, control);
  if (!itemset) return std::nullopt;
  XmlDocument model = model_document(form, instance);
  FormHost host(form, model, "", "", stop);
  std::optional<ItemNodes> items = itemset_nodes(*itemset, model, host);
  if (!items) return std::nullopt;
  std::vector<Choice> choices;
  for (NodeId item : items->ids) {
    std::string value = item_value(*items->document, item, *itemset);
    if (is_blank(value)) continue;
    std::string label = itemset->label_ref
                            ? resolve_label(form, *itemset->label_ref, *items->document, item, stop)
                            : value;
    choices.push_back(Choice{std::move(value), std::move(label)});
  }
  return choices;
}

}  // namespace tolvar
