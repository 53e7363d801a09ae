#include "functions/geo.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>

#include "eval/value.h"
#include "functions/white_tokens.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr double kEarthRadius = 6378100;                  // metres
constexpr double kRadiansPerDegree = 0.017453292519943295;  // pi / 180
constexpr double kCircumference = 40074784.20772212;      // 2 pi kEarthRadius, metres

// A number that does not parse comes back from text_to_number as NaN.
std::optional<double> read_coordinate(std::optional<std::string_view> token) {
  if (!token) return std::nullopt;
  double number = text_to_number(*token);
  if (std::isnan(number)) return std::nullopt;
  return number;
}

std::optional<GeoPoint> read_point(std::string_view piece) {
  WhiteTokens tokens(piece);
  auto latitude = read_coordinate(tokens.next());
  auto longitude = read_coordinate(tokens.next());
  if (!latitude || !longitude) return std::nullopt;
  return GeoPoint{*latitude, *longitude};
}

double arc_metres(const GeoPoint& from, const GeoPoint& to) {
  double lat1 = from.latitude * kRadiansPerDegree;
  double lat2 = to.latitude * kRadiansPerDegree;
  double lon1 = from.longitude * kRadiansPerDegree;
  double lon2 = to.longitude * kRadiansPerDegree;
  double c = std::sin(lat1) * std::sin(lat2) + std::cos(lat1) * std::cos(lat2) * std::cos(lon2 - lon1);
  // Rounding can push c just past 1 for near-identical points; acos would give NaN.
  return std::acos(std::clamp(c, -1.0, 1.0)) * kEarthRadius;
}

struct PlanePoint {
  double x;
  double y;
};

// Metres east and north of origin; each point shrinks by its own latitude.
PlanePoint project(const GeoPoint& point, const GeoPoint& origin) {
  return PlanePoint{
      std::cos(point.latitude * kRadiansPerDegree) * (point.longitude - origin.longitude) *
          kCircumference / 360,
      (point.latitude - origin.latitude) * kCircumference / 360,
  };
}

}  // namespace

std::vector<GeoPoint> parse_geo_points(std::string_view text) {
  std::vector<GeoPoint> points;
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = std::min(text.find(';', begin), text.size());
    std::string_view piece = trim_white(text.substr(begin, end - begin));
    begin = end + 1;
    if (piece.empty()) continue;
    std::optional<GeoPoint> point = read_point(piece);
    if (!point) return {};
    points.push_back(*point);
  }
  return points;
}

double path_length(std::span<const GeoPoint> points) {
  double metres = 0;
  for (std::size_t k = 1; k < points.size(); ++k) metres += arc_metres(points[k - 1], points[k]);
  return metres;
}

// The shoelace sum without the closing edge: the first point projects to the
// origin, so that edge would add nothing.
double enclosed_area(std::span<const GeoPoint> points) {
  if (points.size() < 3) return 0;
  double sum = 0;
  PlanePoint previous = project(points[0], points[0]);
  for (std::size_t k = 1; k < points.size(); ++k) {
    PlanePoint current = project(points[k], points[0]);
    sum += (previous.y * current.x - previous.x * current.y) * 0.5;
    previous = current;
  }
  return std::fabs(sum);
}

}  // namespace tolvar
