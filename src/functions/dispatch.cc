// call_function: finds the function by its exact name, checks the argument
// count, and runs it. The index of the library: every function group is
// listed in kGroups, each defined in its own file (core.cc, dates.cc,
// text.cc, numeric.cc), with the helpers they share in call.cc, geo.*,
// iso_date.*, regex.* and white_tokens.h.
#include <array>
#include <string>
#include <string_view>
#include <unordered_map>

#include "functions/library.h"

namespace tolvar {
namespace {

// Known, but refused rather than computed: no faithful value can be given.
constexpr std::array<std::string_view, 10> kNotImplemented = {
    "current",   "date-time", "decimal-time",       "uuid",           "digest",
    "randomize", "checklist", "weighted-checklist", "indexed-repeat", "position-in-repeat",
};

using FunctionGroup = std::span<const FunctionEntry> (*)();
constexpr std::array<FunctionGroup, 4> kGroups = {
    core_functions, date_functions, text_functions, numeric_functions,
};

bool is_not_implemented(std::string_view name) {
  for (std::string_view refused : kNotImplemented) {
    if (refused == name) return true;
  }
  return false;
}

// The library by name, made once and never changed: a call then finds its
// function in one lookup instead of comparing names along the tables.
const FunctionEntry* find_function(std::string_view name) {
  static const std::unordered_map<std::string_view, const FunctionEntry*> by_name = [] {
    std::unordered_map<std::string_view, const FunctionEntry*> table;
    for (FunctionGroup group : kGroups) {
      for (const FunctionEntry& entry : group()) table.emplace(entry.name, &entry);
    }
    return table;
  }();
  const auto found = by_name.find(name);
  return found == by_name.end() ? nullptr : found->second;
}

bool count_allowed(const Arity& arity, std::size_t given) {
  if (arity.any) return true;
  for (std::uint8_t i = 0; i < arity.size; ++i) {
    if (arity.counts[i] == given) return true;
  }
  return false;
}

// "substring() takes 2 or 3 argument(s), got 1"
Status check_arity(std::string_view name, std::size_t given, const Arity& arity) {
  if (count_allowed(arity, given)) return Done{};
  std::string allowed;
  for (std::uint8_t i = 0; i < arity.size; ++i) {
    if (i > 0) allowed += " or ";
    allowed += std::to_string(arity.counts[i]);
  }
  return fail(std::string(name) + "() takes " + allowed + " argument(s), got " +
              std::to_string(given));
}

}  // namespace

Result<Value> call_function(const Expr& call, const EvalContext& context) {
  const std::string_view name = call.text;
  const FunctionEntry* entry = find_function(name);  // no refused name is in the library
  if (entry == nullptr && is_not_implemented(name)) {
    return fail(std::string(name) +
                "() is not implemented yet — tolvar refuses to guess at a value the form will act on");
  }
  if (entry == nullptr) return fail("unknown function " + std::string(name) + "()");
  Status counted = check_arity(name, call.args.size(), entry->arity);
  if (!counted.ok()) return counted.failure();
  return entry->impl(Call(call, context));
}

}  // namespace tolvar
