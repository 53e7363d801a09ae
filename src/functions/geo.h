// Geo answers ("lat lon [alt acc];lat lon ...") and the two measures of them.
#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace tolvar {

struct GeoPoint {
  double latitude;   // degrees
  double longitude;  // degrees
};

// The points of a geo value, split at ";" (empty pieces skipped); only the
// first two numbers of each point are read. One piece with fewer than two
// numbers, or an unreadable one, empties the whole list.
std::vector<GeoPoint> parse_geo_points(std::string_view text);

// Metres along the points in order, path not closed, by the spherical law of
// cosines on a sphere of radius 6378100 m. 0 for fewer than two points.
double path_length(std::span<const GeoPoint> points);

// Square metres enclosed by the points, projected onto a plane about the
// first point. 0 for fewer than three points.
double enclosed_area(std::span<const GeoPoint> points);

}  // namespace tolvar
