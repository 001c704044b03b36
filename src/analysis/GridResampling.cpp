#include "analysis/GridResampling.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "analysis/ElevationQueries.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Status.h"

namespace orvane {

namespace {

// A node keeps an explicit empty mark: a surface that really passes through
// x = 0, y = 0 must not lose the quads around that node.
struct Node {
  double x = 0, y = 0, z = 0;
  bool filled = false;
};

}  // namespace

Result<QuadMesh> GetSquareQuadMesh(TriangleMesh& mesh, int32_t side) {
  Feedback quiet;
  return GetSquareQuadMesh(mesh, side, quiet);
}

Result<QuadMesh> GetSquareQuadMesh(TriangleMesh& mesh, int32_t side, Feedback& feedback) {
  mesh.LastErrorCode = 0;
  const auto refuse = [&](std::string why) {
    mesh.LastErrorCode = kGridRefused;
    return Outcome::Failure(ErrorCode::Refused, std::move(why));
  };
  if (side <= 0) return refuse("the grid side must be positive");
  const ExtentsRec e = mesh.GetExtents();
  const double minX = e.Min.X, minY = e.Min.Y;
  double maxX = e.Max.X, maxY = e.Max.Y;
  const double dx = maxX - minX, dy = maxY - minY;
  if (dy <= dx)
    maxY += dx - dy;
  else
    maxX += dy - dx;
  const double step = static_cast<double>(side);
  const double across = std::floor((maxX - minX) / step) + 1;
  QuadMesh grid;
  // No extents (no points): the box is inverted and holds no node.
  if (!(across >= 1)) return grid;
  if (!(across * across <= std::numeric_limits<int32_t>::max()))
    return refuse("a grid of side " + std::to_string(side) + " m would have too many nodes");
  const int64_t n = static_cast<int64_t>(across);
  const int64_t total = n * n;
  std::vector<Node> nodes(static_cast<size_t>(total) + 1);  // 1-based

  // The nodes' positions are stepped out column by column as before and
  // answered a batch of columns at a time: as many nodes as triangles make
  // a batch that one pass over the triangles answers. Progress and the
  // cancel check stay once per column.
  const size_t batch = std::max<size_t>(4096, static_cast<size_t>(mesh.TriangleCount()));
  std::vector<XYRec> at;  // nodes first + 1, first + 2, ...
  int64_t first = 0;
  std::vector<int32_t> under;
  std::vector<double> z;
  const auto answer = [&] {
    under.resize(at.size());
    z.resize(at.size());
    LocateAndInterpolate(mesh, at, 0, under, z);
    for (size_t i = 0; i < at.size(); ++i)
      if (under[i] != 0) nodes[static_cast<size_t>(first) + 1 + i] = {at[i].X, at[i].Y, z[i], true};
    first += static_cast<int64_t>(at.size());
    at.clear();
  };
  int64_t node = 0, column = 0;
  for (double x = minX; x <= maxX; x += step) {
    ++column;
    feedback.Progress(PercentOf(column, n), true);
    if (feedback.Cancelled()) {
      mesh.LastErrorCode = kGridCancelled;
      return Outcome::Cancel();
    }
    // Once every node is numbered the later columns store nothing.
    if (node >= total) break;
    for (double y = maxY; y >= minY; y -= step) {
      if (++node > total) break;
      at.push_back({x, y});
    }
    if (at.size() >= batch) answer();
  }
  answer();
  feedback.Progress(100, false);

  for (int64_t k = 1; k <= total - n; ++k) {
    if (k % n == 0) continue;  // last node of its column
    const Node& p1 = nodes[static_cast<size_t>(k)];
    const Node& p2 = nodes[static_cast<size_t>(k + 1)];
    const Node& p3 = nodes[static_cast<size_t>(k + n + 1)];
    const Node& p4 = nodes[static_cast<size_t>(k + n)];
    if (!p1.filled || !p2.filled || !p3.filled || !p4.filled) continue;
    grid.AddQuad(p1.x, p1.y, p1.z, p2.x, p2.y, p2.z, p3.x, p3.y, p3.z, p4.x, p4.y, p4.z);
  }
  return grid;
}

}  // namespace orvane
