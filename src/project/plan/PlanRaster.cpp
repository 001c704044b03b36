#include "project/plan/PlanRaster.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <thread>
#include <vector>

namespace orvane {

namespace {

// Where the scene's floats land in pixels: x = (fx + OffX) * Sx,
// y = (OffY - fy) * Sy.
struct PixelMap {
  double OffX, OffY, Sx, Sy;
  PixelMap(const PlanScene& scene, const PlanWindow& w, int width, int height)
      : OffX(scene.OriginX - w.MinX),
        OffY(w.MaxY - scene.OriginY),
        Sx(width / w.Width()),
        Sy(height / w.Height()) {}
};

// First and last whole i with i + 0.5 in [lo, hi], clipped to [0, n).
inline bool CentreRange(double lo, double hi, int n, int& first, int& last) {
  const double f = std::ceil(lo - 0.5), l = std::floor(hi - 0.5);
  if (!(f <= l) || l < 0 || f >= n) return false;
  first = f < 0 ? 0 : static_cast<int>(f);
  last = l >= n ? n - 1 : static_cast<int>(l);
  return true;
}

// Triangles [first, last) of the scene over the image: each pixel centre a
// triangle holds gets its number + 1 in owners, a later triangle over an
// earlier one. Each row of a triangle spans from its left to its right
// crossing of the row's centre line.
void FillOwners(const PlanScene& scene, const PixelMap& map, int width, int height, size_t first,
                size_t last, std::span<uint32_t> owners) {
  const float* c = scene.Corners.data() + 6 * first;
  for (size_t t = first; t < last; ++t, c += 6) {
    const double y0 = (map.OffY - c[1]) * map.Sy, y1 = (map.OffY - c[3]) * map.Sy;
    const double y2 = (map.OffY - c[5]) * map.Sy;
    int j0, j1, i0, i1;
    if (!CentreRange(std::min({y0, y1, y2}), std::max({y0, y1, y2}), height, j0, j1)) continue;
    const double x0 = (c[0] + map.OffX) * map.Sx, x1 = (c[2] + map.OffX) * map.Sx;
    const double x2 = (c[4] + map.OffX) * map.Sx;
    // Most triangles of a large surface seen whole hold no pixel centre.
    if (!CentreRange(std::min({x0, x1, x2}), std::max({x0, x1, x2}), width, i0, i1)) continue;
    const auto owner = static_cast<uint32_t>(t + 1);
    const double xs[3] = {x0, x1, x2}, ys[3] = {y0, y1, y2};
    for (int j = j0; j <= j1; ++j) {
      const double yc = j + 0.5;
      double left = INFINITY, right = -INFINITY;
      for (int e = 0; e < 3; ++e) {
        const int f = e == 2 ? 0 : e + 1;
        const double ya = ys[e], yb = ys[f];
        if ((yc < ya && yc < yb) || (yc > ya && yc > yb)) continue;
        if (ya == yb) {  // a level edge on the centre line: both its ends count
          left = std::min({left, xs[e], xs[f]});
          right = std::max({right, xs[e], xs[f]});
        } else {
          const double x = xs[e] + (yc - ya) * (xs[f] - xs[e]) / (yb - ya);
          left = std::min(left, x);
          right = std::max(right, x);
        }
      }
      int a, b;
      if (!CentreRange(left, right, width, a, b)) continue;
      uint32_t* row = owners.data() + static_cast<size_t>(j) * static_cast<size_t>(width);
      std::fill(row + a, row + b + 1, owner);
    }
  }
}

// Segment a-b clipped to the image (Liang-Barsky), then one pixel per step
// along its longer axis.
void DrawSegment(double ax, double ay, double bx, double by, uint32_t colour, int width, int height,
                 std::span<uint32_t> pixels) {
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {ax, width - ax, ay, height - ay};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return;
      continue;
    }
    const double r = q[k] / p[k];
    if (p[k] < 0)
      t0 = std::max(t0, r);
    else
      t1 = std::min(t1, r);
    if (t0 > t1) return;
  }
  const double sx = ax + t0 * dx, sy = ay + t0 * dy;
  const double ex = ax + t1 * dx, ey = ay + t1 * dy;
  const double length = std::max(std::abs(ex - sx), std::abs(ey - sy));
  const int steps = static_cast<int>(std::ceil(length));
  for (int k = 0; k <= steps; ++k) {
    const double f = steps == 0 ? 0 : static_cast<double>(k) / steps;
    const int i = static_cast<int>(std::floor(sx + f * (ex - sx)));
    const int j = static_cast<int>(std::floor(sy + f * (ey - sy)));
    if (i < 0 || j < 0 || i >= width || j >= height) continue;
    pixels[static_cast<size_t>(j) * static_cast<size_t>(width) + static_cast<size_t>(i)] = colour;
  }
}

}  // namespace

PlanWindow FitPlanWindow(const ExtentsRec& box, int width, int height, int margin) {
  double cx = 0.5, cy = 0.5, w = 1, h = 1;
  if (box.Min.X <= box.Max.X && box.Min.Y <= box.Max.Y) {
    cx = (box.Min.X + box.Max.X) / 2, cy = (box.Min.Y + box.Max.Y) / 2;
    w = std::max(box.Max.X - box.Min.X, 1e-3), h = std::max(box.Max.Y - box.Min.Y, 1e-3);
  }
  const double freeW = std::max(1, width - 2 * margin), freeH = std::max(1, height - 2 * margin);
  const double metresPerPixel = std::max(w / freeW, h / freeH);
  const double halfW = metresPerPixel * std::max(width, 1) / 2;
  const double halfH = metresPerPixel * std::max(height, 1) / 2;
  return {cx - halfW, cy - halfH, cx + halfW, cy + halfH};
}

void RasterisePlan(const PlanScene& scene, const PlanWindow& window, int width, int height,
                   std::span<uint32_t> pixels, int threads, uint32_t background) {
  assert(pixels.size() == static_cast<size_t>(width) * static_cast<size_t>(height));
  std::fill(pixels.begin(), pixels.end(), background);
  if (width <= 0 || height <= 0 || !(window.Width() > 0) || !(window.Height() > 0)) return;
  const PixelMap map(scene, window, width, height);
  // The threads share the triangles, each a consecutive run of them into
  // an image of its own; a pixel is then the last run's that holds it: the
  // last triangle in scene order, whatever the number of threads.
  const size_t n = scene.TriangleCount();
  threads = static_cast<int>(
      std::clamp<size_t>(static_cast<size_t>(std::max(threads, 1)), 1, std::max<size_t>(n, 1)));
  const size_t area = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<std::vector<uint32_t>> owners(static_cast<size_t>(threads));
  auto run = [&](size_t k) {
    owners[k].assign(area, 0);
    FillOwners(scene, map, width, height, n * k / owners.size(), n * (k + 1) / owners.size(),
               owners[k]);
  };
  {
    std::vector<std::jthread> helpers;
    for (size_t k = 1; k < owners.size(); ++k) helpers.emplace_back(run, k);
    run(0);
  }
  for (size_t p = 0; p < area; ++p)
    for (size_t k = owners.size(); k-- > 0;)
      if (const uint32_t owner = owners[k][p]; owner != 0) {
        pixels[p] = scene.Colours[owner - 1];
        break;
      }
  const float* s = scene.Segments.data();
  for (size_t k = 0; k < scene.SegmentCount(); ++k, s += 4)
    DrawSegment((s[0] + map.OffX) * map.Sx, (map.OffY - s[1]) * map.Sy, (s[2] + map.OffX) * map.Sx,
                (map.OffY - s[3]) * map.Sy, scene.SegmentColours[k], width, height, pixels);
}

}  // namespace orvane
