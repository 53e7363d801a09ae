// instance(id): an element of the evaluation document, or a host's table.
#include "eval/instance_ref.h"

#include <string>
#include <string_view>

namespace tolvar {
namespace {

constexpr NameKey kInstanceName("instance");

bool is_instance_with_id(const XmlDocument& document, NodeId node, std::string_view id) {
  if (!document[node].has_name(kInstanceName)) return false;
  const std::optional<std::string_view> own_id = document.attribute(node, "id");
  return own_id.has_value() && *own_id == id;
}

Result<std::string> instance_id(const Expr& argument, const EvalContext& context) {
  if (argument.kind == ExprKind::Literal) return argument.text;
  Result<Value> value = evaluate(argument, context);
  if (!value.ok()) return value.failure();
  return to_string(value.value(), context.document);
}

}  // namespace

InstanceElements::InstanceElements(const XmlDocument& document) {
  if (!document.has_root()) return;
  for (NodeId at = document.root; at != kNoNode; at = document.next_in_preorder(at, document.root)) {
    if (document[at].has_name(kInstanceName) && document.attribute(at, "id")) {
      elements_.push_back(at);
    }
  }
}

NodeId InstanceElements::find(const XmlDocument& document, std::string_view id) const {
  for (NodeId element : elements_) {
    if (is_instance_with_id(document, element, id)) return element;
  }
  return kNoNode;
}

Result<NodeSet> resolve_instance(const Expr& call, const EvalContext& context) {
  if (call.args.empty()) return fail("instance() needs an id");
  Result<std::string> id = instance_id(call.args.front(), context);
  if (!id.ok()) return id.failure();
  // Without the host's list, the document's own is made for this call.
  const InstanceElements* known = context.host.instance_elements(context.document);
  const NodeId element = known != nullptr
                             ? known->find(context.document, id.value())
                             : InstanceElements(context.document).find(context.document, id.value());
  if (element != kNoNode) return NodeSet{{element}, nullptr};
  const XmlDocument* table = context.host.lookup_table(id.value());
  if (table == nullptr) {
    return fail("instance('" + id.value() +
                "') is not loaded — the form expects a secondary instance the evaluator was not given");
  }
  if (!table->has_root()) return NodeSet{{}, table};
  return NodeSet{{table->root}, table};
}

}  // namespace tolvar
