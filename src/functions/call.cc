// Argument access: each argument is evaluated when a function asks for it.
#include <string>

#include "functions/library.h"

namespace tolvar {

Result<Value> Call::value(std::size_t i) const {
  if (i >= count()) {
    return fail(std::string(name()) + "() needs an argument in position " + std::to_string(i + 1));
  }
  return evaluate(arg(i), context_);
}

Result<std::string> Call::string(std::size_t i) const {
  Result<Value> v = value(i);
  if (!v.ok()) return v.failure();
  if (std::string* text = std::get_if<std::string>(&v.value())) return std::move(*text);
  return to_string(v.value());
}

Result<double> Call::number(std::size_t i) const {
  Result<Value> v = value(i);
  if (!v.ok()) return v.failure();
  return to_number(v.value());
}

Result<bool> Call::boolean(std::size_t i) const {
  Result<Value> v = value(i);
  if (!v.ok()) return v.failure();
  return to_boolean(v.value());
}

}  // namespace tolvar
