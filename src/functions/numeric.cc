// Arithmetic functions and the two geographic measures. None of them fails on
// a value: NaN and the infinities come out as values.
#include <array>
#include <cmath>

#include "functions/geo.h"
#include "functions/library.h"

namespace tolvar {
namespace {

using UnaryMath = double (*)(double);

// One-argument functions share this body; the operation is a template
// argument so each table entry stays a plain function pointer.
template <UnaryMath operation>
Result<Value> unary(const Call& call) {
  Result<double> x = call.number(0);
  if (!x.ok()) return x.failure();
  return Value{operation(x.value())};
}

double truncate(double x) { return std::trunc(x); }
double absolute(double x) { return std::fabs(x); }
double round_down(double x) { return std::floor(x); }
double round_up(double x) { return std::ceil(x); }
double square_root(double x) { return std::sqrt(x); }
double exponential(double x) { return std::exp(x); }
double natural_log(double x) { return std::log(x); }
double decimal_log(double x) { return std::log10(x); }

// Half away from zero (std::round), not XPath's half toward +infinity: -2.5
// gives -3. A digit count is truncated first, so 0.9 digits means 0.
Result<Value> round_half_away(const Call& call) {
  Result<double> x = call.number(0);
  if (!x.ok()) return x.failure();
  if (call.count() == 1) return Value{std::round(x.value())};
  Result<double> digits = call.number(1);
  if (!digits.ok()) return digits.failure();
  double scale = std::pow(10.0, std::trunc(digits.value()));
  return Value{std::round(x.value() * scale) / scale};
}

Result<Value> power(const Call& call) {
  Result<double> base = call.number(0);
  if (!base.ok()) return base.failure();
  Result<double> exponent = call.number(1);
  if (!exponent.ok()) return exponent.failure();
  return Value{std::pow(base.value(), exponent.value())};
}

template <double (*measure)(std::span<const GeoPoint>)>
Result<Value> geo_measure(const Call& call) {
  Result<std::string> text = call.string(0);
  if (!text.ok()) return text.failure();
  return Value{measure(parse_geo_points(text.value()))};
}

constexpr std::array kNumericFunctions = {
    FunctionEntry{"int", exactly(1), unary<truncate>},
    FunctionEntry{"abs", exactly(1), unary<absolute>},
    FunctionEntry{"round", either(1, 2), round_half_away},
    FunctionEntry{"floor", exactly(1), unary<round_down>},
    FunctionEntry{"ceiling", exactly(1), unary<round_up>},
    FunctionEntry{"sqrt", exactly(1), unary<square_root>},
    FunctionEntry{"pow", exactly(2), power},
    FunctionEntry{"exp", exactly(1), unary<exponential>},
    FunctionEntry{"log", exactly(1), unary<natural_log>},
    FunctionEntry{"log10", exactly(1), unary<decimal_log>},
    FunctionEntry{"distance", any_count(), geo_measure<path_length>},
    FunctionEntry{"area", any_count(), geo_measure<enclosed_area>},
};

}  // namespace

std::span<const FunctionEntry> numeric_functions() { return kNumericFunctions; }

}  // namespace tolvar
