// The toolkit's camera paths: smooth flights through control points
// (uniform Catmull-Rom splines), sampled into keys evenly spaced along the
// flight and written as ".pth" text. The show reads a file vector (x, y, z)
// as the world vector (x, z, -y); the writer stores world vectors the other
// way round, so the show reads back exactly the points sampled here.
//
// The show places key i of n at the path parameter i / n and holds the last
// key from (n - 1) / n: with many keys the camera arrives just before the
// path's time is up.
#pragma once

#include "toolkit/math.h"

#include <string>
#include <vector>

class DataContext;

namespace toolkit {

// The curve through points at u = 0 .. points.size() - 1 (point k at u = k);
// the ends continue straight (mirrored phantom points). One point: constant.
Vec3 catmull_rom(const std::vector<Vec3>& points, float u);

struct CameraKey
{
    Vec3 position, target, up; // world axes, y up
};

struct CameraFlight
{
    std::vector<Vec3> eye;    // control points of the camera position
    std::vector<Vec3> target; // control points of the point looked at
    Vec3 up{0, 1, 0};
};

// The point at s (0..1) of the flight's eye curve, and the target at the
// same s. With even_speed the eye moves equal distances between keys (s is
// taken along the curve's length); otherwise equal parameter steps.
CameraKey flight_at(const CameraFlight& flight, float s, bool even_speed = true);
// count keys (at least 2): key i at s = i / (count - 1).
std::vector<CameraKey> sample_flight(const CameraFlight& flight, int count, bool even_speed = true);

// One key a line: "(x, y, z) (x, y, z) (x, y, z)" in the file's axes.
std::string path_text(const std::vector<CameraKey>& keys);
bool write_path(DataContext& data, const std::string& relative_path, const std::vector<CameraKey>& keys);

} // namespace toolkit
