// Form loading: binds and their parsed rules, calculation order, secondary
// instances and translations.
#include "rules/form.h"

#include <algorithm>
#include <array>
#include <utility>

#include "base/unicode.h"
#include "parser/expr_walk.h"
#include "parser/plain_path.h"
#include "rules/form_reading.h"
#include "rules/model_document.h"
#include "rules/references.h"

namespace tolvar {
namespace {

// Every element of the form is asked for these names while it loads.
constexpr NameKey kBindName("bind");
constexpr NameKey kInstanceName("instance");
constexpr NameKey kTranslationName("translation");
constexpr NameKey kTextName("text");

constexpr std::array kControlNames = {NameKey("input"),   NameKey("range"),  NameKey("select"),
                                      NameKey("select1"), NameKey("upload"), NameKey("rank")};

bool is_control(const XmlNode& node) {
  return std::any_of(kControlNames.begin(), kControlNames.end(),
                     [&](const NameKey& name) { return node.has_name(name); });
}

// The elements loading reads, found in one walk: binds, instances and
// translations below the root, and body controls, the root included.
struct FormElements {
  std::vector<NodeId> binds;
  std::vector<NodeId> instances;
  std::vector<NodeId> translations;
  std::vector<NodeId> controls;
};

FormElements form_elements(const XmlDocument& document) {
  FormElements found;
  if (!document.has_root()) return found;
  for (NodeId at = document.root; at != kNoNode; at = document.next_in_preorder(at, document.root)) {
    const XmlNode& node = document[at];
    if (is_control(node)) found.controls.push_back(at);
    if (at == document.root) continue;
    if (node.has_name(kBindName)) {
      found.binds.push_back(at);
    } else if (node.has_name(kInstanceName)) {
      found.instances.push_back(at);
    } else if (node.has_name(kTranslationName)) {
      found.translations.push_back(at);
    }
  }
  return found;
}

std::optional<std::string> optional_text(std::optional<std::string_view> value) {
  if (!value.has_value()) return std::nullopt;
  return std::string(*value);
}

Result<Bind> read_bind(const XmlDocument& document, NodeId element) {
  std::optional<std::string_view> nodeset = bind_target(document, element);
  if (!nodeset) return fail("a <bind> has no nodeset");

  Bind bind;
  bind.nodeset = *nodeset;
  if (Result<Expr> target = parse_expression(bind.nodeset); target.ok()) {
    bind.target = std::move(target).value();
  }
  for (std::size_t index : kRuleLoadOrder) {
    const RuleAttribute& rule = kRuleAttributes[index];
    const std::optional<std::string_view> source = given_attribute(document, element, rule.name);
    if (!source) continue;
    Result<Expr> expr = parse_expression(*source);
    if (!expr.ok() && !expr.over_limit()) {
      return fail(std::string(rule.name) + " of " + bind.nodeset + ": " + expr.error() +
                  " — in expression " + std::string(*source));
    }
    bind.*rule.field = BindRule{std::move(expr), std::string(*source)};
  }
  bind.constraint_msg = optional_text(given_attribute(document, element, "constraintMsg"));
  bind.required_msg = optional_text(given_attribute(document, element, "requiredMsg"));
  bind.date_typed = is_date_type(given_attribute(document, element, "type"));
  return bind;
}

// Only calculations order one another: bind i depends on every other bind
// whose nodeset text is a path its calculation reads.
std::vector<std::vector<std::size_t>> calculation_dependencies(const Form& form) {
  std::vector<std::vector<std::size_t>> depends(form.binds.size());
  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    const Bind& bind = form.binds[i];
    // A calculation left unread reads nothing the order could depend on.
    if (!bind.calculate || !bind.calculate->expr.ok()) continue;
    for (const std::string& path : referenced_paths(bind.calculate->expr.value(), bind.nodeset)) {
      auto found = form.by_nodeset.find(path);
      if (found != form.by_nodeset.end() && found->second != i) {
        depends[i].push_back(found->second);
      }
    }
    std::sort(depends[i].begin(), depends[i].end());
    depends[i].erase(std::unique(depends[i].begin(), depends[i].end()), depends[i].end());
  }
  return depends;
}

XmlDocument copy_subtree(const XmlDocument& source, NodeId node) {
  XmlDocument copy;
  copy.root = copy.copy_from(source, node);
  copy.renumber();
  return copy;
}

void read_instances(const XmlDocument& document, const std::vector<NodeId>& instances,
                    Form& form) {
  for (NodeId element : instances) {
    if (!is_secondary_instance(document, element)) continue;
    const std::string id(*document.attribute(element, "id"));
    XmlDocument instance;
    instance.root = instance.share_from(document, element);  // the form keeps both
    instance.renumber();
    form.instances.insert_or_assign(id, std::move(instance));
  }
}

// Found once here: every jr:choice-name() asks for its question's control.
void index_controls(const XmlDocument& document, const std::vector<NodeId>& controls,
                    Form& form) {
  for (NodeId control : controls) {
    if (const std::optional<std::string_view> ref = document.attribute(control, "ref")) {
      form.controls.try_emplace(std::string(trim_white(*ref)), control);
    }
  }
}

// With several languages the last translation of a text id wins.
void read_translations(const XmlDocument& document, const std::vector<NodeId>& translations,
                       Form& form) {
  for (NodeId element : translations) {
    for (NodeId text : document.children(element)) {
      if (!document[text].has_name(kTextName)) continue;
      const std::optional<std::string_view> id = document.attribute(text, "id");
      NodeId value = document.child_named(text, "value");
      if (id.has_value() && value != kNoNode) {
        form.itext.insert_or_assign(std::string(*id), document.string_value(value));
      }
    }
  }
}

std::string cycle_message(const std::vector<Bind>& binds, const std::vector<std::size_t>& stack,
                          std::size_t repeated) {
  std::string chain;
  auto first = std::find(stack.begin(), stack.end(), repeated);
  for (auto it = first; it != stack.end(); ++it) {
    chain += binds[*it].nodeset;
    chain += " → ";
  }
  chain += binds[repeated].nodeset;
  return "these calculations depend on each other, so none of them has a defined value: " + chain;
}

// Judges run over a document rooted at the model element.
void index_plain_nodesets(Form& form) {
  form.plain_nodesets = NodesetTrie(kModelRoot);
  form.dated_nodesets = NodesetTrie(kModelRoot);
  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    const Bind& bind = form.binds[i];
    if (!bind.target) continue;
    form.plain_nodesets.add(i, *bind.target);
    if (bind.date_typed) form.dated_nodesets.add(i, *bind.target);
  }
}

// What the rules' expressions let a form prepare at loading: the regex()
// patterns written as literals, the absolute plain paths, which every
// judge then finds in one walk down the document, and whether any calls
// instance(), whose elements every judge then finds in one walk too.
struct RulePreparer {
  Form& form;

  bool expr(const Expr& expr, Place, bool) {
    if (expr.kind == ExprKind::FunctionCall && expr.text == "instance") form.reads_instances = true;
    if (expr.kind == ExprKind::FunctionCall && expr.text == "regex" && expr.args.size() == 2 &&
        expr.args[1].kind == ExprKind::Literal) {
      form.patterns.add(expr.args[1].text);
    }
    if (expr.kind == ExprKind::Path && plain_child_names(expr)) form.rule_paths.add(expr);
    return true;
  }
  void step(const Step&, bool) {}
};

void prepare_rules(Form& form) {
  form.rule_paths = RulePaths(kModelRoot);
  RulePreparer preparer{form};
  for (const Bind& bind : form.binds) {
    for (const std::optional<BindRule>* rule :
         {&bind.relevant, &bind.calculate, &bind.constraint, &bind.required, &bind.readonly}) {
      if (*rule && (*rule)->expr.ok()) walk_expr((*rule)->expr.value(), true, preparer);
    }
  }
}

}  // namespace

bool is_unloaded_external(const XmlDocument& instance) {
  if (!instance.has_root() || instance[instance.root].has_children()) return false;
  const std::optional<std::string_view> src = instance.attribute(instance.root, "src");
  return src.has_value() && !is_blank(*src);
}

const XmlDocument* loaded_instance(const Form& form, std::string_view id) {
  auto found = form.instances.find(std::string(id));
  if (found == form.instances.end() || is_unloaded_external(found->second)) return nullptr;
  return &found->second;
}

Result<Value> evaluate_rule(const BindRule& rule, const EvalContext& context) {
  if (!rule.expr.ok()) return rule.expr.failure();
  return evaluate(rule.expr.value(), context);
}

namespace {

Result<Form> load_parsed_form(Result<XmlDocument> document) {
  if (!document.ok()) return fail("XForm XML: " + document.error());
  return load_form_document(std::move(document).value());
}

}  // namespace

Result<Form> load_form(std::string_view text) { return load_parsed_form(parse_xml(text)); }

Result<Form> load_form_in_place(std::string_view text) {
  return load_parsed_form(parse_xml_borrowing(text));
}

Result<Form> load_form_document(XmlDocument document) {
  Form form;
  form.document = std::move(document);
  const XmlDocument& doc = form.document;
  const FormElements elements = form_elements(doc);

  for (NodeId element : elements.binds) {
    Result<Bind> bind = read_bind(doc, element);
    if (!bind.ok()) return bind.failure();
    form.binds.push_back(std::move(bind).value());
  }
  if (form.binds.empty()) return fail("the XForm declares no binds, so it carries no rules");

  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    form.by_nodeset.insert_or_assign(form.binds[i].nodeset, i);
  }
  index_plain_nodesets(form);
  prepare_rules(form);
  Result<std::vector<std::size_t>> order =
      order_calculations(form.binds, calculation_dependencies(form));
  if (!order.ok()) return order.failure();
  form.calc_order = std::move(order).value();

  read_instances(doc, elements.instances, form);
  read_translations(doc, elements.translations, form);
  index_controls(doc, elements.controls, form);
  return form;
}

NodeId primary_instance_element(const XmlDocument& form_document) {
  if (!form_document.has_root()) return kNoNode;
  const NodeId top = form_document.root;
  for (NodeId at = form_document.next_in_preorder(top, top); at != kNoNode;
       at = form_document.next_in_preorder(at, top)) {
    if (form_document[at].has_name(kInstanceName)) return at;
  }
  return kNoNode;
}

Result<XmlDocument> primary_instance(const XmlDocument& form_document) {
  const NodeId element = primary_instance_element(form_document);
  if (element == kNoNode) return fail("the XForm has no primary instance");
  const NodeId top = form_document[element].first_child();
  if (top == kNoNode) return fail("the XForm's primary instance is empty");
  return copy_subtree(form_document, top);
}

// Depth-first post-order over the calculating binds, with an explicit stack
// so that a long chain of calculations cannot exhaust the call stack. The
// stack of binds in progress is the path a cycle is reported along.
Result<std::vector<std::size_t>> order_calculations(
    const std::vector<Bind>& binds, const std::vector<std::vector<std::size_t>>& depends) {
  enum class Mark : unsigned char { Unvisited, InProgress, Done };
  std::vector<Mark> marks(binds.size(), Mark::Unvisited);
  std::vector<std::size_t> order;
  std::vector<std::size_t> path;  // binds in progress, outermost first
  std::vector<std::size_t> next;  // per entry of `path`: its next dependency to visit
  auto dependency_count = [&](std::size_t i) {
    return i < depends.size() ? depends[i].size() : std::size_t{0};
  };

  for (std::size_t start = 0; start < binds.size(); ++start) {
    if (!binds[start].calculate || marks[start] == Mark::Done) continue;
    marks[start] = Mark::InProgress;
    path.assign(1, start);
    next.assign(1, 0);
    while (!path.empty()) {
      std::size_t current = path.back();
      if (next.back() == dependency_count(current)) {
        marks[current] = Mark::Done;
        order.push_back(current);
        path.pop_back();
        next.pop_back();
        continue;
      }
      std::size_t dep = depends[current][next.back()++];
      if (dep >= binds.size() || !binds[dep].calculate || marks[dep] == Mark::Done) continue;
      if (marks[dep] == Mark::InProgress) return fail(cycle_message(binds, path, dep));
      marks[dep] = Mark::InProgress;
      path.push_back(dep);
      next.push_back(0);
    }
  }
  return order;
}

}  // namespace tolvar
