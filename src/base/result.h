// Value-or-message results: nothing below the Python layer throws.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tolvar {

// Why a call failed: its input is wrong, or the input goes beyond a limit
// tolvar keeps to stay safe (how deep an expression nests), which says
// nothing against the input itself.
enum class FailureCause { Invalid, OverLimit };

// One failure message, addressed to a form author.
struct Failure {
  std::string message;
  FailureCause cause = FailureCause::Invalid;
};

inline Failure fail(std::string message) { return Failure{std::move(message)}; }
inline Failure fail_over_limit(std::string message) {
  return Failure{std::move(message), FailureCause::OverLimit};
}

// Either a T or one Failure. Check ok() before value().
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : data_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : data_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return data_.index() == 0; }
  T& value() & { return std::get<0>(data_); }
  const T& value() const& { return std::get<0>(data_); }
  T&& value() && { return std::get<0>(std::move(data_)); }
  const std::string& error() const { return std::get<1>(data_).message; }
  Failure failure() const { return std::get<1>(data_); }
  bool over_limit() const { return !ok() && std::get<1>(data_).cause == FailureCause::OverLimit; }

 private:
  std::variant<T, Failure> data_;
};

// A result that carries no value.
struct Done {};
using Status = Result<Done>;

}  // namespace tolvar
