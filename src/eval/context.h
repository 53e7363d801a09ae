// What one evaluation sees: the document, the context node and the host.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "eval/stop_check.h"
#include "eval/value.h"
#include "parser/expr.h"
#include "tree/document.h"
#include "base/result.h"

namespace tolvar {

class CompiledPatterns;  // functions/regex.h
class InstanceElements;  // eval/instance_ref.h

// A clock text the caller gave, or nothing when no clock was given.
using ClockText = std::optional<std::string_view>;

// What the caller of the evaluator supplies besides the document.
class Host {
 public:
  // `stop`, when given, is asked at every step whether to give up.
  explicit Host(StopCheck* stop = nullptr) : stop_(stop) {}
  virtual ~Host() = default;
  // A secondary instance loaded under `id`, or nullptr.
  virtual const XmlDocument* lookup_table(std::string_view id) const = 0;
  // The label of choice `value` of question `question`, or nothing.
  virtual std::optional<std::string> choice_label(std::string_view value,
                                                  std::string_view question) const = 0;
  virtual ClockText today() const = 0;
  virtual ClockText now() const = 0;
  // Whether the form types `node` of `document` as a date or date-time, so
  // that Collect reads its text as a date. Without a form to say, a node
  // counts as a date field whenever its text is a date.
  virtual bool typed_as_date(const XmlDocument&, NodeId) const { return true; }
  // The regex() patterns built ahead of time, if any.
  virtual const CompiledPatterns* compiled_patterns() const { return nullptr; }
  // The nodes the absolute path `path` selects in `document`, when the host
  // has them found already; nothing sends the evaluator to find them.
  virtual std::optional<std::span<const NodeId>> found_path(const XmlDocument&,
                                                            const Expr&) const {
    return std::nullopt;
  }
  // Appends the element children of `parent` in `document` named `key`, in
  // order, when the host keeps them indexed; false sends the evaluator to
  // scan them.
  virtual bool append_children_named(const XmlDocument&, NodeId, const NameKey&,
                                     NodeIds&) const {
    return false;
  }
  // The "instance" elements of `document`, when the host has them found
  // already; nullptr sends instance() to search the document.
  virtual const InstanceElements* instance_elements(const XmlDocument&) const { return nullptr; }

  // Counts one step of the evaluation: true when the caller asked to stop,
  // and the evaluation then fails with kStoppedMessage.
  bool should_stop() const { return stop_ != nullptr && stop_->should_stop(); }
  // Whether a stop was asked for: checked before an edit built on what
  // the evaluation found.
  bool stopped() const { return stop_ != nullptr && stop_->stopped(); }
  StopCheck* stop_check() const { return stop_; }

 private:
  StopCheck* stop_;
};

// The host of a lone expression: the two clock texts and nothing else.
class BareHost : public Host {
 public:
  BareHost(std::optional<std::string> today, std::optional<std::string> now,
           StopCheck* stop = nullptr)
      : Host(stop), today_(std::move(today)), now_(std::move(now)) {}
  const XmlDocument* lookup_table(std::string_view) const override { return nullptr; }
  std::optional<std::string> choice_label(std::string_view, std::string_view) const override {
    return std::nullopt;
  }
  ClockText today() const override { return today_; }
  ClockText now() const override { return now_; }

 private:
  std::optional<std::string> today_;
  std::optional<std::string> now_;
};

struct EvalContext {
  const XmlDocument& document;
  NodeId node;
  std::size_t position;
  std::size_t size;
  const Host& host;

  EvalContext with_node(NodeId n, std::size_t pos, std::size_t sz) const {
    return EvalContext{document, n, pos, sz, host};
  }
};

// Evaluates expr in context. Fails with the evaluator's or the function
// library's message, never with a partial value.
Result<Value> evaluate(const Expr& expr, const EvalContext& context);

// Evaluates a function-call node (kind FunctionCall). The one call from the
// evaluator up into the function library, which defines it (functions/dispatch.cc)
// and evaluates arguments through evaluate() above: the two recurse into each other.
Result<Value> call_function(const Expr& call, const EvalContext& context);
// Whether the function named `name` gives a date, which both engines then
// read as one. Defined by the library.
bool returns_date(std::string_view name);

}  // namespace tolvar
