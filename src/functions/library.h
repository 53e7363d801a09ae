// The function library's shared pieces: argument access and the tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "eval/context.h"
#include "eval/value.h"
#include "parser/expr.h"
#include "base/result.h"

namespace tolvar {

// One function call being evaluated. Arguments are evaluated on demand, in
// the caller's context, each time an accessor is called.
class Call {
 public:
  Call(const Expr& expr, const EvalContext& context) : expr_(expr), context_(context) {}

  std::string_view name() const { return expr_.text; }
  std::size_t count() const { return expr_.args.size(); }
  const Expr& arg(std::size_t i) const { return expr_.args[i]; }
  const EvalContext& context() const { return context_; }
  const XmlDocument& document() const { return context_.document; }

  // Fail with "{name}() needs an argument in position {i+1}" when missing.
  Result<Value> value(std::size_t i) const;
  Result<std::string> string(std::size_t i) const;
  Result<double> number(std::size_t i) const;
  Result<bool> boolean(std::size_t i) const;

  // Converts a value read by this call (node-sets may carry their document).
  std::string to_string(const Value& v) const { return tolvar::to_string(v, document()); }
  double to_number(const Value& v) const { return tolvar::to_number(v, document()); }

 private:
  const Expr& expr_;
  const EvalContext& context_;
};

// Permitted argument counts; `any` means no count check.
struct Arity {
  bool any = false;
  std::uint8_t counts[3] = {0, 0, 0};
  std::uint8_t size = 0;
};
constexpr Arity any_count() { return Arity{true, {0, 0, 0}, 0}; }
constexpr Arity exactly(std::uint8_t n) { return Arity{false, {n, 0, 0}, 1}; }
constexpr Arity either(std::uint8_t a, std::uint8_t b) { return Arity{false, {a, b, 0}, 2}; }

using FunctionImpl = Result<Value> (*)(const Call&);

struct FunctionEntry {
  std::string_view name;
  Arity arity;
  FunctionImpl impl;
};

// The function groups, one table each (core.cc, dates.cc, text.cc, numeric.cc).
std::span<const FunctionEntry> core_functions();
std::span<const FunctionEntry> date_functions();
std::span<const FunctionEntry> text_functions();
std::span<const FunctionEntry> numeric_functions();

}  // namespace tolvar
