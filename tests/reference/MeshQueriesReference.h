#pragma once
// The mesh queries as plainly defined: scans in triangle order, the
// quadratic edge pairing and the border walk that searches the whole border
// list at every step. Slow; the tests compare the indexed and hashed
// TriangleMesh queries against them. Lists are 1-based: entry 0 is slot 0,
// as in TriangleMesh::Triangles() and Points().

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/storage/Records.h"

namespace orvane::reference {

// The classifier on (A, B, C) without A repeated: on a vertex, on an edge or
// inside count as inside; an unset answer reads as outside.
bool LiteralPointInsideTriangle(const TriangleRec& t, double X, double Y);

// First triangle in index order for which LiteralPointInsideTriangle holds.
int32_t LiteralTriangleAt(std::span<const TriangleRec> triangles, double X, double Y);

// First triangle in index order whose vertices each of the three query
// points coincides with (strictly within 0.001 in X, Y, and Z when checkZ).
int32_t LiteralFindTriangle(std::span<const TriangleRec> triangles, const PointRec& q1,
                            const PointRec& q2, const PointRec& q3, bool checkZ);

// Three edges per triangle, then every unpaired edge paired with the first
// unpaired edge of another triangle joining the same two points. Entry 0 is
// slot 0.
std::vector<EdgeRec> LiteralEdgeList(std::span<const TriangleRec> triangles);

// The border walk over an edge list (slot 0 first) and point list (slot 0
// first): the points of the border polyline, nullopt with fewer than two
// border edges. T of each returned point is its 1-based position.
std::optional<std::vector<PointRec>> LiteralConcaveHull(std::span<const EdgeRec> edges,
                                                        std::span<const PointRec> points);

}  // namespace orvane::reference
