// Editing an instance by path: answers, repeat rows and templates.
//
// Nested templates: a template row inside another template row is taken out
// of the outer template, so a new outer row starts with no inner rows, just
// as a fresh instance starts with no rows at all. Its key is computed before
// anything is detached, with the row index of every enclosing repeat dropped
// (/data/outer/inner, never /data/outer[2]/inner), so one template serves the
// inner repeat of every outer row: add_row("/data/outer[2]/inner") uses it
// and hangs the row under the second outer row.
#include "rules/instance_edit.h"

#include <algorithm>
#include <charconv>
#include <span>
#include <utility>
#include <variant>

#include "parser/expr.h"
#include "rules/element_path.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr std::string_view kTemplateAttribute = "template";

std::string decimal(std::uint64_t number) {
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return std::string(digits, end);
}

std::string quoted_path(std::string_view path) {
  std::string out = "'";
  out.append(path);
  out.push_back('\'');
  return out;
}

bool is_template_row(const XmlDocument& document, NodeId element) {
  return document.attribute(element, kTemplateAttribute).has_value();
}

// The path with the row index removed from every step that names a repeat
// already in `templates`; the last step is kept as written.
std::string repeat_key(std::string_view path, const Templates& templates) {
  std::string key;
  key.reserve(path.size());
  std::size_t start = 0;
  for (std::size_t slash = path.find('/'); slash != std::string_view::npos;
       slash = path.find('/', start)) {
    std::string_view piece = path.substr(start, slash - start);
    std::size_t base = length_without_index(piece);
    key.append(piece.substr(0, base));
    if (base != piece.size() && !templates.contains(key)) key.append(piece.substr(base));
    key.push_back('/');
    start = slash + 1;
  }
  key.append(path.substr(start));
  return key;
}

// The key a template row is stored under: its path without its own index.
std::string template_key(const XmlDocument& instance, NodeId row, const Templates& templates) {
  std::string path = instance.node_path(row);
  if (path.ends_with(']')) path.resize(path.rfind('['));
  return repeat_key(path, templates);
}

// A standalone copy of the row without its "template" attribute and without
// the template rows of nested repeats.
XmlDocument template_copy(const XmlDocument& instance, NodeId row) {
  XmlDocument copy;
  copy.root = copy.copy_from(instance, row);
  std::vector<NodeId> marks;
  for (NodeId attribute : copy.attributes(copy.root)) {
    if (copy[attribute].name() == kTemplateAttribute) marks.push_back(attribute);
  }
  for (NodeId attribute : marks) copy.detach(attribute);
  for (NodeId element : copy.descendants(copy.root)) {
    if (is_template_row(copy, element)) copy.detach(element);
  }
  copy.renumber();
  return copy;
}

const XmlDocument* find_template(const Templates& templates, std::string_view path) {
  auto found = templates.find(std::string(path));
  if (found == templates.end()) found = templates.find(repeat_key(path, templates));
  return found == templates.end() ? nullptr : &found->second;
}

NodeId first_in_document_order(const XmlDocument& document, std::span<const NodeId> ids) {
  auto earliest = std::min_element(ids.begin(), ids.end(), [&](NodeId a, NodeId b) {
    return document.rank_of(a) < document.rank_of(b);
  });
  return earliest == ids.end() ? kNoNode : *earliest;
}

// Follows the group pieces (all but the last) down from the root while
// they exist; returns where that ends and the pieces still to create.
std::pair<NodeId, std::span<const std::string_view>> deepest_existing_group(
    const XmlDocument& instance, std::span<const std::string_view> names) {
  NodeId parent = instance.root;
  std::size_t depth = 0;
  for (; depth + 1 < names.size(); ++depth) {
    NodeId group = instance.child_named(parent, names[depth]);
    if (group == kNoNode) break;
    parent = group;
  }
  return {parent, names.subspan(depth)};
}

// Appends the groups under `parent`, one inside the other, and the leaf
// holding the value inside the last of them.
void create_chain(XmlDocument& instance, NodeId parent, std::span<const std::string_view> names,
                  std::string_view value) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    bool leaf = i + 1 == names.size();
    NodeId element =
        instance.new_element(std::string(names[i]), leaf ? std::string(value) : std::string());
    instance.append_child(parent, element);
    parent = element;
  }
  instance.renumber();
}

// The element rows of `path` hang under: the root for "/name", otherwise
// what the text before the last "/" names.
NodeId row_parent(const XmlDocument& instance, std::string_view path, const Host& host) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return kNoNode;
  if (slash == 0) return instance.root;
  return find_node(instance, path.substr(0, slash), host);
}

std::vector<NodeId> rows_under(const XmlDocument& instance, NodeId parent, std::string_view name) {
  std::vector<NodeId> rows;
  for (NodeId child : instance.children(parent)) {
    if (instance[child].name() == name) rows.push_back(child);
  }
  return rows;
}

std::string_view last_step(std::string_view path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

void release_unused_space(XmlDocument& instance) {
  if (!instance.has_root()) return;
  const bool mostly_detached = instance.size() > 2 * instance.ranked_nodes();
  const bool mostly_replaced = instance.replaced_text_bytes() > instance.string_bytes() / 2;
  if (!mostly_detached && !mostly_replaced) return;
  XmlDocument compact;
  compact.root = compact.copy_from(instance, instance.root);
  compact.renumber();
  instance = std::move(compact);
}

Templates extract_templates(XmlDocument& instance) {
  Templates templates;
  if (!instance.has_root()) return templates;
  std::vector<NodeId> rows;
  for (NodeId element : instance.descendants(instance.root)) {
    if (is_template_row(instance, element)) rows.push_back(element);
  }
  // Every key and copy is taken before anything is detached, so nested rows
  // still see the chain of their enclosing rows.
  for (NodeId row : rows) {
    std::string key = template_key(instance, row, templates);
    templates.insert_or_assign(std::move(key), template_copy(instance, row));
  }
  for (NodeId row : rows) instance.detach(row);
  instance.renumber();
  return templates;
}

NodeId find_node(const XmlDocument& instance, std::string_view path, const Host& host) {
  if (!instance.has_root()) return kNoNode;
  Result<Expr> expr = parse_expression(path);
  if (!expr.ok()) return kNoNode;
  Result<Value> value = evaluate(expr.value(), EvalContext{instance, instance.root, 1, 1, host});
  if (!value.ok()) return kNoNode;
  const NodeSet* nodes = std::get_if<NodeSet>(&value.value());
  // Nodes of another document (a secondary instance) are not answers.
  if (nodes == nullptr || (nodes->document != nullptr && nodes->document != &instance)) {
    return kNoNode;
  }
  return first_in_document_order(instance, nodes->ids);
}

std::string get_answer(const XmlDocument& instance, std::string_view path, const Host& host) {
  NodeId node = find_node(instance, path, host);
  return node == kNoNode ? std::string() : instance.string_value(node);
}

Status set_answer(XmlDocument& instance, std::string_view path, std::string_view value,
                  const Host& host) {
  // Checked first: "/" alone selects the root, but names no answer.
  if (path.find_first_not_of('/') == std::string_view::npos) {
    return fail(quoted_path(path) + " names nothing");
  }
  // An empty step would otherwise be read as a name: "/data/a/" writes a
  // second a, "/data/" a data inside data.
  if (has_empty_step(path)) {
    return fail(quoted_path(path) + " has an empty step (\"//\" or a trailing \"/\")");
  }
  NodeId found = find_node(instance, path, host);
  // A stopped search found nothing, which would otherwise create the path.
  if (host.stopped()) return fail(kStoppedMessage);
  if (found != kNoNode) {
    instance.set_text(found, value);
    return Done{};
  }
  std::vector<std::string_view> pieces = path_pieces(path);
  for (std::string_view piece : pieces) {
    if (piece.find('[') != std::string_view::npos) {
      return fail(quoted_path(path) + " points at " + std::string(piece) +
                  ", which does not exist — add the row first with add_row()");
    }
  }
  if (!instance.has_root()) return fail("the instance has no root");
  std::span<const std::string_view> names = below_root(pieces, instance[instance.root].name());

  // Every piece to be created is checked before anything changes.
  auto [parent, missing] = deepest_existing_group(instance, names);
  for (std::string_view name : missing) {
    if (!is_element_name(name)) {
      return fail(quoted_path(path) + " cannot be created — " + std::string(name) +
                  " is not an XML element name");
    }
  }
  create_chain(instance, parent, missing, value);
  return Done{};
}

std::vector<NodeId> repeat_rows(const XmlDocument& instance, std::string_view path,
                                const Host& host) {
  NodeId parent = row_parent(instance, path, host);
  if (parent == kNoNode) return {};
  return rows_under(instance, parent, last_step(path));
}

Result<std::size_t> add_row(XmlDocument& instance, const Templates& templates,
                            std::string_view path, const Host& host) {
  const XmlDocument* row_template = find_template(templates, path);
  if (row_template == nullptr) return fail(quoted_path(path) + " is not a repeat in this form");
  NodeId parent = row_parent(instance, path, host);
  if (host.stopped()) return fail(kStoppedMessage);
  if (parent == kNoNode) return fail(quoted_path(path) + " has nowhere to hang");
  std::vector<NodeId> rows = rows_under(instance, parent, last_step(path));
  NodeId row = instance.copy_from(*row_template, row_template->root);
  if (rows.empty()) {
    instance.append_child(parent, row);
  } else {
    instance.insert_child_after(parent, rows.back(), row);
  }
  instance.renumber_from(row);
  return rows.size() + 1;
}

Result<std::size_t> remove_row(XmlDocument& instance, std::string_view path,
                               std::uint64_t position, const Host& host) {
  std::vector<NodeId> rows = repeat_rows(instance, path, host);
  if (host.stopped()) return fail(kStoppedMessage);
  if (position == 0 || position > rows.size()) {
    return fail(quoted_path(path) + " has " + decimal(rows.size()) +
                " row(s); there is no row " + decimal(position));
  }
  instance.detach(rows[position - 1]);
  instance.renumber();
  release_unused_space(instance);
  return rows.size() - 1;
}

}  // namespace tolvar
