// The options a filtered question (one with an itemset) offers right now.
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "eval/context.h"
#include "eval/value.h"
#include "rules/itemset.h"
#include "rules/judge.h"
#include "rules/session.h"
#include "base/unicode.h"

namespace tolvar {

std::optional<std::vector<Choice>> list_choices(const SessionState& session,
                                                std::string_view path) {
  const Form& form = session.form;
  const XmlDocument& body = form.document;
  NodeId control = find_control(form, path);
  if (control == kNoNode) return std::nullopt;
  std::optional<Itemset> itemset = read_itemset(body, control);
  if (!itemset) return std::nullopt;
  Result<Expr> expr = parse_expression(itemset->nodeset);
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
    NodeId value_node = items_document.child_named(item, itemset->value_name);
    std::string value =
        value_node == kNoNode ? std::string() : items_document.string_value(value_node);
    if (is_blank(value)) continue;
    std::string label =
        itemset->label_ref ? resolve_label(form, *itemset->label_ref, items_document, item) : value;
    choices.push_back(Choice{std::move(value), std::move(label)});
  }
  return choices;
}

}  // namespace tolvar
