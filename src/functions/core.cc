// The core functions: booleans, strings, node-sets and aggregates.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "eval/node_text.h"
#include "functions/library.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// ---- shared pieces -------------------------------------------------------

std::string context_text(const Call& call) {
  const EvalContext& context = call.context();
  if (context.node == kNoNode) return {};
  return context.document.string_value(context.node);
}

// Argument 0 when given, else the context node's string value.
Result<std::string> string_or_context(const Call& call) {
  if (call.count() == 0) return context_text(call);
  return call.string(0);
}

struct TwoStrings {
  std::string first;
  std::string second;
};

Result<TwoStrings> two_strings(const Call& call) {
  Result<std::string> first = call.string(0);
  if (!first.ok()) return first.failure();
  Result<std::string> second = call.string(1);
  if (!second.ok()) return second.failure();
  return TwoStrings{std::move(first.value()), std::move(second.value())};
}

Failure type_failure(const Call& call, const char* what, const Value& value) {
  return fail(std::string(call.name()) + "() " + what + type_name(value));
}

// The string values of all nodes, joined by `separator`.
std::string join_nodes(const NodeSet& nodes, std::string_view separator,
                       const XmlDocument& reader) {
  const XmlDocument& document = document_of(nodes, reader);
  std::string out;
  for (std::size_t i = 0; i < nodes.ids.size(); ++i) {
    if (i > 0) out += separator;
    document.append_string_value(nodes.ids[i], out);
  }
  return out;
}

// Byte offset of the character at index `chars`, counting from byte `from`
// (the text's size when the text is shorter).
std::size_t char_offset(std::string_view text, std::size_t chars, std::size_t from = 0) {
  std::size_t pos = from;
  for (; chars > 0 && pos < text.size(); --chars) decode_utf8(text, pos);
  return pos;
}

// Characters [begin, end) of the text, counted as Unicode scalar values.
std::string slice_chars(std::string_view text, std::size_t begin, std::size_t end) {
  const std::size_t first = char_offset(text, begin);
  const std::size_t last = char_offset(text, end - begin, first);
  return std::string(text.substr(first, last - first));
}

// ---- booleans --------------------------------------------------------------

// Only the branch taken is evaluated, so an error in the other is harmless.
Result<Value> fn_if(const Call& call) {
  Result<bool> condition = call.boolean(0);
  if (!condition.ok()) return condition.failure();
  return call.value(condition.value() ? 1 : 2);
}

Result<Value> fn_not(const Call& call) {
  Result<bool> value = call.boolean(0);
  if (!value.ok()) return value.failure();
  return Value{!value.value()};
}

Result<Value> fn_true(const Call&) { return Value{true}; }
Result<Value> fn_false(const Call&) { return Value{false}; }

Result<Value> fn_boolean(const Call& call) {
  Result<bool> value = call.boolean(0);
  if (!value.ok()) return value.failure();
  return Value{value.value()};
}

// Untrimmed: "1" or "true" in any ASCII case, nothing else.
Result<Value> fn_boolean_from_string(const Call& call) {
  Result<std::string> text = call.string(0);
  if (!text.ok()) return text.failure();
  return Value{text.value() == "1" || equals_ignoring_ascii_case(text.value(), "true")};
}

// ---- conversions -----------------------------------------------------------

Result<Value> fn_string(const Call& call) {
  Result<std::string> text = string_or_context(call);
  if (!text.ok()) return text.failure();
  return Value{std::move(text.value())};
}

Result<Value> fn_number(const Call& call) {
  if (call.count() == 0) return Value{text_to_number(trim_white(context_text(call)))};
  Result<double> number = call.number(0);
  if (!number.ok()) return number.failure();
  return Value{number.value()};
}

// ---- strings ---------------------------------------------------------------

// A lone node-set argument contributes every node; otherwise each argument
// contributes its string value (a node-set only its first node).
Result<Value> fn_concat(const Call& call) {
  if (call.count() == 1) {
    Result<Value> only = call.value(0);
    if (!only.ok()) return only;
    if (const NodeSet* nodes = std::get_if<NodeSet>(&only.value())) {
      return Value{join_nodes(*nodes, "", call.document())};
    }
    return Value{call.to_string(only.value())};
  }
  std::string out;
  for (std::size_t i = 0; i < call.count(); ++i) {
    Result<std::string> piece = call.string(i);
    if (!piece.ok()) return piece.failure();
    out += piece.value();
  }
  return Value{std::move(out)};
}

Result<Value> fn_contains(const Call& call) {
  Result<TwoStrings> texts = two_strings(call);
  if (!texts.ok()) return texts.failure();
  return Value{texts.value().first.find(texts.value().second) != std::string::npos};
}

Result<Value> fn_starts_with(const Call& call) {
  Result<TwoStrings> texts = two_strings(call);
  if (!texts.ok()) return texts.failure();
  return Value{std::string_view(texts.value().first).starts_with(texts.value().second)};
}

Result<Value> fn_ends_with(const Call& call) {
  Result<TwoStrings> texts = two_strings(call);
  if (!texts.ok()) return texts.failure();
  return Value{std::string_view(texts.value().first).ends_with(texts.value().second)};
}

Result<Value> fn_substring_before(const Call& call) {
  Result<TwoStrings> texts = two_strings(call);
  if (!texts.ok()) return texts.failure();
  const std::string& text = texts.value().first;
  const std::size_t at = text.find(texts.value().second);
  if (at == std::string::npos) return Value{std::string()};
  return Value{text.substr(0, at)};
}

Result<Value> fn_substring_after(const Call& call) {
  Result<TwoStrings> texts = two_strings(call);
  if (!texts.ok()) return texts.failure();
  const std::string& text = texts.value().first;
  const std::size_t at = text.find(texts.value().second);
  if (at == std::string::npos) return Value{std::string()};
  return Value{text.substr(at + texts.value().second.size())};
}

// One-based start, rounded half away from zero; an infinite length (either
// sign) runs to the end; NaN bounds collapse to 0.
Result<Value> fn_substring(const Call& call) {
  Result<std::string> text = call.string(0);
  if (!text.ok()) return text.failure();
  Result<double> start_arg = call.number(1);
  if (!start_arg.ok()) return start_arg.failure();
  const double length = static_cast<double>(count_chars(text.value()));
  const double start = std::round(start_arg.value()) - 1;
  const double begin = start > 0 ? start : 0;
  double end = length;
  if (call.count() == 3) {
    Result<double> count = call.number(2);
    if (!count.ok()) return count.failure();
    if (!std::isinf(count.value())) {
      const double stop = start + std::round(count.value());
      end = stop > 0 ? std::min(stop, length) : 0;
    }
  }
  if (!(begin < end)) return Value{std::string()};
  return Value{slice_chars(text.value(), static_cast<std::size_t>(begin),
                           static_cast<std::size_t>(end))};
}

// A slice position: negative counts from the end, clamped to [0, length],
// the fraction dropped.
double slice_position(double position, double length) {
  if (std::isnan(position)) return 0;
  const double clamped = position >= 0 ? std::min(position, length)
                                       : std::max(length + position, 0.0);
  return std::trunc(clamped);
}

// Zero-based, end exclusive.
Result<Value> fn_substr(const Call& call) {
  Result<std::string> text = call.string(0);
  if (!text.ok()) return text.failure();
  Result<double> begin_arg = call.number(1);
  if (!begin_arg.ok()) return begin_arg.failure();
  const double length = static_cast<double>(count_chars(text.value()));
  const double begin = slice_position(begin_arg.value(), length);
  double end = length;
  if (call.count() == 3) {
    Result<double> end_arg = call.number(2);
    if (!end_arg.ok()) return end_arg.failure();
    end = slice_position(end_arg.value(), length);
  }
  if (!(begin < end)) return Value{std::string()};
  return Value{slice_chars(text.value(), static_cast<std::size_t>(begin),
                           static_cast<std::size_t>(end))};
}

Result<Value> fn_string_length(const Call& call) {
  Result<std::string> text = string_or_context(call);
  if (!text.ok()) return text.failure();
  return Value{static_cast<double>(count_chars(text.value()))};
}

Result<Value> fn_normalize_space(const Call& call) {
  Result<std::string> text = string_or_context(call);
  if (!text.ok()) return text.failure();
  std::string out;
  for (std::string_view piece : split_white(text.value())) {
    if (!out.empty()) out.push_back(' ');
    out += piece;
  }
  return Value{std::move(out)};
}

// What translate() makes of each character: ASCII looked up in a table,
// anything else in a hash map, so the common call allocates nothing for
// its map and both texts still cost linear time.
class CharReplacement {
 public:
  static constexpr char32_t kKept = 0xFFFFFFFE;     // no scalar value
  static constexpr char32_t kDropped = 0xFFFFFFFF;  // no scalar value

  // The first occurrence of a character in `from` decides.
  CharReplacement(std::string_view from, std::string_view to) {
    ascii_.fill(kKept);
    std::size_t to_pos = 0;
    for (std::size_t pos = 0; pos < from.size();) {
      const char32_t c = decode_utf8(from, pos);
      const char32_t replacement = to_pos < to.size() ? decode_utf8(to, to_pos) : kDropped;
      if (c < ascii_.size()) {
        if (ascii_[c] == kKept) ascii_[c] = replacement;
      } else {
        others_.try_emplace(c, replacement);
      }
    }
  }

  char32_t operator[](char32_t c) const {
    if (c < ascii_.size()) return ascii_[c];
    const auto found = others_.find(c);
    return found == others_.end() ? kKept : found->second;
  }

 private:
  std::array<char32_t, 128> ascii_;
  std::unordered_map<char32_t, char32_t> others_;
};

Result<Value> fn_translate(const Call& call) {
  Result<std::string> text = call.string(0);
  if (!text.ok()) return text.failure();
  Result<std::string> from = call.string(1);
  if (!from.ok()) return from.failure();
  Result<std::string> to = call.string(2);
  if (!to.ok()) return to.failure();
  const CharReplacement replacement(from.value(), to.value());
  const std::string_view source = text.value();
  std::string out;
  out.reserve(source.size());
  for (std::size_t pos = 0; pos < source.size();) {
    const char32_t c = decode_utf8(source, pos);
    const char32_t replaced = replacement[c];
    if (replaced == CharReplacement::kKept) {
      append_utf8(out, c);
    } else if (replaced != CharReplacement::kDropped) {
      append_utf8(out, replaced);
    }
  }
  return Value{std::move(out)};
}

// The second argument is evaluated only when the first is empty.
Result<Value> fn_coalesce(const Call& call) {
  Result<std::string> first = call.string(0);
  if (!first.ok()) return first.failure();
  if (!first.value().empty()) return Value{std::move(first.value())};
  Result<std::string> second = call.string(1);
  if (!second.ok()) return second.failure();
  return Value{std::move(second.value())};
}

Result<Value> fn_join(const Call& call) {
  Result<std::string> separator = call.string(0);
  if (!separator.ok()) return separator.failure();
  Result<Value> items = call.value(1);
  if (!items.ok()) return items;
  if (const NodeSet* nodes = std::get_if<NodeSet>(&items.value())) {
    return Value{join_nodes(*nodes, separator.value(), call.document())};
  }
  return Value{call.to_string(items.value())};
}

// Keeps what the node already holds; the argument is never evaluated.
Result<Value> fn_once(const Call& call) { return Value{context_text(call)}; }

// ---- node-sets and aggregates ----------------------------------------------

Result<Value> fn_count(const Call& call) {
  Result<Value> items = call.value(0);
  if (!items.ok()) return items;
  const NodeSet* nodes = std::get_if<NodeSet>(&items.value());
  if (nodes == nullptr) return type_failure(call, "counts nodes, and was given ", items.value());
  return Value{static_cast<double>(nodes->ids.size())};
}

// Starts from negative zero, so an empty node-set sums to zero; one node
// that is not a number makes the sum NaN.
Result<Value> fn_sum(const Call& call) {
  Result<Value> items = call.value(0);
  if (!items.ok()) return items;
  const NodeSet* nodes = std::get_if<NodeSet>(&items.value());
  if (nodes == nullptr) return type_failure(call, "adds up a node-set, and was given ", items.value());
  const XmlDocument& document = document_of(*nodes, call.document());
  std::string scratch;
  double total = -0.0;
  for (NodeId id : nodes->ids) total += node_number(document, id, scratch);
  return Value{total};
}

// The smallest (or largest) of every number the arguments contribute: one
// per node of a node-set, or the argument's number. NaN when there is none
// or any of them is NaN.
class Extreme {
 public:
  explicit Extreme(bool smallest) : smallest_(smallest), best_(smallest ? kInfinity : -kInfinity) {}

  void add(double number) {
    seen_ = true;
    if (std::isnan(number)) has_nan_ = true;
    best_ = smallest_ ? std::min(best_, number) : std::max(best_, number);
  }
  double result() const { return seen_ && !has_nan_ ? best_ : kNaN; }

 private:
  bool smallest_;
  double best_;
  bool seen_ = false;
  bool has_nan_ = false;
};

Result<Value> fold_extreme(const Call& call, bool smallest) {
  Extreme extreme(smallest);
  std::string scratch;
  for (std::size_t i = 0; i < call.count(); ++i) {
    Result<Value> item = call.value(i);
    if (!item.ok()) return item;
    const NodeSet* nodes = std::get_if<NodeSet>(&item.value());
    if (nodes == nullptr) {
      extreme.add(call.to_number(item.value()));
      continue;
    }
    const XmlDocument& document = document_of(*nodes, call.document());
    for (NodeId id : nodes->ids) extreme.add(node_number(document, id, scratch));
  }
  return Value{extreme.result()};
}

Result<Value> fn_min(const Call& call) { return fold_extreme(call, true); }
Result<Value> fn_max(const Call& call) { return fold_extreme(call, false); }

Result<Value> fn_position(const Call& call) {
  return Value{static_cast<double>(call.context().position)};
}

Result<Value> fn_last(const Call& call) { return Value{static_cast<double>(call.context().size)}; }

// Names are stored local, so name() and local-name() agree.
Result<Value> fn_name(const Call& call) {
  if (call.count() == 0) {
    const EvalContext& context = call.context();
    if (context.node == kNoNode) return Value{std::string()};
    return Value{std::string(context.document[context.node].name())};
  }
  Result<Value> items = call.value(0);
  if (!items.ok()) return items;
  const NodeSet* nodes = std::get_if<NodeSet>(&items.value());
  if (nodes == nullptr) return type_failure(call, "names a node, and was given ", items.value());
  if (nodes->ids.empty()) return Value{std::string()};
  return Value{std::string(document_of(*nodes, call.document())[nodes->ids.front()].name())};
}

constexpr FunctionEntry kCoreFunctions[] = {
    {"if", exactly(3), fn_if},
    {"not", exactly(1), fn_not},
    {"true", exactly(0), fn_true},
    {"false", exactly(0), fn_false},
    {"boolean", exactly(1), fn_boolean},
    {"boolean-from-string", exactly(1), fn_boolean_from_string},
    {"string", either(0, 1), fn_string},
    {"number", either(0, 1), fn_number},
    {"concat", any_count(), fn_concat},
    {"contains", exactly(2), fn_contains},
    {"starts-with", exactly(2), fn_starts_with},
    {"ends-with", exactly(2), fn_ends_with},
    {"substring", either(2, 3), fn_substring},
    {"substr", either(2, 3), fn_substr},
    {"substring-before", exactly(2), fn_substring_before},
    {"substring-after", exactly(2), fn_substring_after},
    {"string-length", either(0, 1), fn_string_length},
    {"normalize-space", either(0, 1), fn_normalize_space},
    {"translate", exactly(3), fn_translate},
    {"coalesce", exactly(2), fn_coalesce},
    {"join", exactly(2), fn_join},
    {"once", exactly(1), fn_once},
    {"count", exactly(1), fn_count},
    {"sum", exactly(1), fn_sum},
    {"min", any_count(), fn_min},
    {"max", any_count(), fn_max},
    {"position", exactly(0), fn_position},
    {"last", exactly(0), fn_last},
    {"name", either(0, 1), fn_name},
    {"local-name", either(0, 1), fn_name},
};

}  // namespace

std::span<const FunctionEntry> core_functions() { return kCoreFunctions; }

}  // namespace tolvar
