#pragma once
// Seeded random meshes for the differential tests of the mesh queries: a
// jittered grid (two triangles per cell, mixed windings), random overlapping
// triangles, near-duplicate vertices 0.0005 / 0.001 / 0.0015 apart and
// degenerate triangles; and query positions on vertices, on and beside
// edges, at the critical distances from vertices, on the triangle index's
// cell borders and far outside.

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "core/geometry/TriangleIndex.h"
#include "core/model/TriangleMesh.h"

namespace orvane::testing {

struct Case {
  double east, north;
  double spacing;  // metres between grid nodes
  int grid;        // cells per side
  unsigned seed;
  bool regular = false;  // no jitter: edges parallel to the axes
};

inline void Add(TriangleMesh& mesh, const PointRec& a, const PointRec& b, const PointRec& c) {
  mesh.AddTriangle(a.X, a.Y, a.Z, static_cast<int32_t>(a.T), b.X, b.Y, b.Z,
                   static_cast<int32_t>(b.T), c.X, c.Y, c.Z, static_cast<int32_t>(c.T));
}

inline PointRec NewPoint(TriangleMesh& mesh, double x, double y, double z) {
  mesh.AddPoint(x, y, z);
  return mesh.Point(mesh.PointCount());
}

inline TriangleMesh RandomMesh(const Case& c) {
  std::mt19937_64 rng(c.seed);
  std::uniform_real_distribution<double> unit(0, 1);
  TriangleMesh mesh;
  const int n = c.grid + 1;
  std::vector<PointRec> node;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const double jitter = c.regular ? 0 : 0.3 * c.spacing;
      node.push_back(NewPoint(mesh, c.east + i * c.spacing + jitter * (unit(rng) - 0.5),
                              c.north + j * c.spacing + jitter * (unit(rng) - 0.5),
                              100 + 5 * unit(rng)));
    }
  auto at = [&](int i, int j) { return node[static_cast<size_t>(j * n + i)]; };
  for (int j = 0; j < c.grid; ++j)
    for (int i = 0; i < c.grid; ++i) {
      PointRec p00 = at(i, j), p10 = at(i + 1, j), p11 = at(i + 1, j + 1), p01 = at(i, j + 1);
      if (unit(rng) < 0.5) {
        Add(mesh, p00, p10, p11);
        if (unit(rng) < 0.15)
          Add(mesh, p11, p01, p00);  // clockwise
        else
          Add(mesh, p00, p11, p01);
      } else {
        Add(mesh, p00, p10, p01);
        Add(mesh, p10, p11, p01);
      }
    }
  const double size = c.grid * c.spacing;
  std::uniform_int_distribution<size_t> pickNode(0, node.size() - 1);
  const double offsets[] = {0.0005, -0.0005, 0.001, -0.001, 0.0015, 0.00099, 0.00101};
  std::uniform_int_distribution<int> pickOffset(0, 6);
  // Random overlapping triangles of all sizes.
  for (int k = 0; k < 25; ++k) {
    const double reach = size * std::pow(unit(rng), 3);
    const double x = c.east + size * unit(rng), y = c.north + size * unit(rng);
    Add(mesh, NewPoint(mesh, x, y, 90),
        NewPoint(mesh, x + reach * unit(rng), y + reach * unit(rng), 91),
        NewPoint(mesh, x - reach * unit(rng), y + reach * unit(rng), 92));
  }
  // Near-duplicates of grid nodes as corners of small triangles.
  for (int k = 0; k < 40; ++k) {
    const PointRec p = node[pickNode(rng)];
    const PointRec q = NewPoint(mesh, p.X + offsets[pickOffset(rng)],
                                p.Y + offsets[pickOffset(rng)], p.Z + offsets[pickOffset(rng)]);
    const PointRec r = node[pickNode(rng)];
    Add(mesh, q, r, NewPoint(mesh, q.X + 0.002, q.Y - 0.0015, q.Z));
  }
  // Degenerate triangles: a repeated vertex, three collinear vertices.
  for (int k = 0; k < 10; ++k) {
    const PointRec p = node[pickNode(rng)], q = node[pickNode(rng)];
    Add(mesh, p, q, p);
    const PointRec m = NewPoint(mesh, (p.X + q.X) / 2, (p.Y + q.Y) / 2, p.Z);
    Add(mesh, p, m, q);
  }
  return mesh;
}

inline std::vector<XYRec> Queries(const TriangleMesh& mesh, const Case& c, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<XYRec> q;
  const auto tris = mesh.Triangles();
  std::uniform_int_distribution<size_t> pickTri(1, tris.size() - 1);
  const double near[] = {0, 0.0005, -0.0005, 0.001, -0.001, 0.0015, -0.0015, 0.00099, 0.00101};
  for (int k = 0; k < 700; ++k) {
    const TriangleRec& t = tris[pickTri(rng)];
    const PointRec& a = k % 3 == 0 ? t.A : (k % 3 == 1 ? t.B : t.C);
    const PointRec& b = k % 3 == 0 ? t.B : (k % 3 == 1 ? t.C : t.A);
    q.push_back({a.X + near[k % 9], a.Y + near[(k / 9) % 9]});
    // On the edge, and beside it by multiples of the 0.00025 x length band.
    const double s = k % 4 == 0 ? 0.5 : unit(rng);
    const double ex = b.X - a.X, ey = b.Y - a.Y, len = std::hypot(ex, ey);
    const double side = (static_cast<double>(k % 7) - 3) * 0.0001 * len;
    if (len > 0) q.push_back({a.X + s * ex - ey / len * side, a.Y + s * ey + ex / len * side});
    q.push_back({a.X + s * ex, a.Y + s * ey});
  }
  const double size = c.grid * c.spacing;
  for (int k = 0; k < 400; ++k)
    q.push_back({c.east - 0.1 * size + 1.2 * size * unit(rng),
                 c.north - 0.1 * size + 1.2 * size * unit(rng)});
  q.push_back({c.east - 1e6, c.north});
  q.push_back({c.east + 3 * size, c.north + 3 * size});
  // Cell borders of every level in use, and the doubles either side of them.
  const TriangleIndex index(tris);
  for (int level : index.Levels()) {
    const double cell = std::ldexp(index.BaseCellSize(), level);
    for (int k = 0; k < 30; ++k) {
      const double x = std::floor((c.east + size * unit(rng)) / cell) * cell;
      const double y = std::floor((c.north + size * unit(rng)) / cell) * cell;
      for (double dx : {-1.0, 0.0, 1.0})
        q.push_back({std::nextafter(x, x + dx), std::nextafter(y, y - dx)});
    }
  }
  return q;
}

// A random triangle of 1 mm to 100 m, at survey coordinates on odd rounds,
// every fifth one a sliver (its apex 1e-4 of the size off the base's middle).
inline std::array<PointRec, 3> RandomProbeTriangle(std::mt19937_64& rng, int round) {
  std::uniform_real_distribution<double> u(0, 1);
  const double east = round % 2 ? 500000.0005 : 0, north = round % 2 ? 4500000.0015 : 0;
  const double size = std::pow(10.0, static_cast<int>(rng() % 6) - 3);
  std::array<PointRec, 3> v;
  for (PointRec& p : v) p = {east + u(rng) * size, north + u(rng) * size, u(rng), 0};
  if (round % 5 == 0) v[2] = {(v[0].X + v[1].X) / 2 + size * 1e-4, (v[0].Y + v[1].Y) / 2, 0, 0};
  return v;
}

// Positions at a point-in-triangle classifier's limits: along each edge and
// beyond its ends, on it and beside it by fractions of its length (the
// on-edge lens is about 2.5e-4 of it wide), and diagonally off each vertex
// around the 0.001 m vertex box.
inline std::vector<XYRec> ProbesAround(const std::array<PointRec, 3>& v) {
  const double offsets[] = {0,      1e-9,   1e-7, 1e-6,   1e-5, 5e-5, 2.4e-4,
                            2.5e-4, 2.6e-4, 1e-3, 1.1e-3, 3e-3, 0.1,  1};
  std::vector<XYRec> q;
  for (int e = 0; e < 3; ++e) {
    const PointRec &a = v[e], &b = v[(e + 1) % 3];
    const double len = std::hypot(b.X - a.X, b.Y - a.Y);
    if (len == 0) continue;
    const double nx = -(b.Y - a.Y) / len, ny = (b.X - a.X) / len;
    for (double along : {-0.1, 0.0, 0.3, 0.5, 0.999, 1.0, 1.2})
      for (double off : offsets)
        for (double sign : {-1.0, 1.0})
          q.push_back({a.X + (b.X - a.X) * along + sign * nx * off * len,
                       a.Y + (b.Y - a.Y) * along + sign * ny * off * len});
    for (double d : {0.0009, 0.00099, 0.001, 0.0011, 0.002})
      for (double s : {-1.0, 1.0}) q.push_back({a.X + s * d, a.Y - s * d});
  }
  return q;
}

}  // namespace orvane::testing
