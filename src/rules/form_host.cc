// The host rules are judged with: secondary instances and choice labels
// from the loaded form.
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "rules/itemset.h"
#include "rules/judge.h"
#include "rules/label_host.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr std::array<std::string_view, 6> kControlNames = {"input",  "range",  "select",
                                                           "select1", "upload", "rank"};

bool is_control(std::string_view name) {
  for (std::string_view control : kControlNames) {
    if (name == control) return true;
  }
  return false;
}

// The string value of `node`'s first child named `name`, or "".
std::string child_value(const XmlDocument& document, NodeId node, std::string_view name) {
  NodeId child = document.child_named(node, name);
  return child == kNoNode ? "" : document.string_value(child);
}

// A fixed <item> list: the label of the first item whose value matches.
std::optional<std::string> item_label(const Form& form, NodeId control, std::string_view value,
                                      const XmlDocument& model) {
  const XmlDocument& doc = form.document;
  for (NodeId item : doc.children(control)) {
    if (doc[item].name() != "item") continue;
    NodeId item_value = doc.child_named(item, "value");
    if (item_value == kNoNode || trim_white(doc.string_value(item_value)) != value) continue;
    NodeId label = doc.child_named(item, "label");
    if (label == kNoNode) return std::string();
    const std::optional<std::string_view> ref = doc.attribute(label, "ref");
    return ref.has_value() ? resolve_label(form, *ref, model, model.root) : doc.string_value(label);
  }
  return std::nullopt;
}

// An <itemset>: the label of the first node of its nodeset whose value matches.
std::optional<std::string> itemset_label(const Form& form, NodeId control, std::string_view value,
                                         const XmlDocument& model, const Host& host) {
  std::optional<Itemset> itemset = read_itemset(form.document, control);
  if (!itemset) return std::nullopt;
  Result<Expr> expr = parse_expression(itemset->nodeset);
  if (!expr.ok()) return std::nullopt;
  Result<Value> result = evaluate(expr.value(), EvalContext{model, model.root, 1, 1, host});
  if (!result.ok() || !std::holds_alternative<NodeSet>(result.value())) return std::nullopt;

  const NodeSet& nodes = std::get<NodeSet>(result.value());
  const XmlDocument& items = nodes.document != nullptr ? *nodes.document : model;
  for (NodeId node : nodes.ids) {
    std::string node_value = child_value(items, node, itemset->value_name);
    if (trim_white(node_value) != value) continue;
    if (!itemset->label_ref) return node_value;
    return resolve_label(form, *itemset->label_ref, items, node);
  }
  return std::nullopt;
}

// An instance declared with "src" and nothing inside is a placeholder for an
// external file that nobody loaded: reading it as an empty table would turn
// every lookup into a confident "".
bool is_unloaded_external(const XmlDocument& table) {
  if (!table.has_root() || table[table.root].has_children()) return false;
  const std::optional<std::string_view> src = table.attribute(table.root, "src");
  return src.has_value() && !is_blank(*src);
}

}  // namespace

FormHost::FormHost(const Form& form, const XmlDocument& model, std::string today, std::string now)
    : form_(form), model_(model), today_(std::move(today)), now_(std::move(now)) {}

const XmlDocument* FormHost::lookup_table(std::string_view id) const {
  auto found = form_.instances.find(std::string(id));
  if (found == form_.instances.end() || is_unloaded_external(found->second)) return nullptr;
  return &found->second;
}

std::optional<std::string> FormHost::choice_label(std::string_view value,
                                                  std::string_view question) const {
  NodeId control = find_control(form_, question);
  if (control == kNoNode) return std::nullopt;
  std::string_view wanted = trim_white(value);
  std::optional<std::string> label = item_label(form_, control, wanted, model_);
  if (label) return label;
  return itemset_label(form_, control, wanted, model_, LabelHost(form_, today_, now_));
}

NodeId find_control(const Form& form, std::string_view path) {
  const XmlDocument& doc = form.document;
  if (!doc.has_root()) return kNoNode;
  std::string_view wanted = trim_white(path);
  auto matches = [&](NodeId node) {
    if (!is_control(doc[node].name())) return false;
    const std::optional<std::string_view> ref = doc.attribute(node, "ref");
    return ref.has_value() && trim_white(*ref) == wanted;
  };
  if (matches(doc.root)) return doc.root;
  for (NodeId node : doc.descendants(doc.root)) {
    if (matches(node)) return node;
  }
  return kNoNode;
}

}  // namespace tolvar
