#pragma once
// Plain records shared by the whole surface model. Coordinates are metres in a
// projected plane: X east, Y north, Z elevation.

#include <cstdint>

namespace orvane {

// Two points coincide when they differ by less than this in X and Y (and Z
// where Z is compared). The one tolerance of the geometry code, in metres.
inline constexpr double CoincidenceTolerance = 0.001;

// One point. In a mesh's point list T is the point's own 1-based index (unless
// the caller supplied another non-zero value); in a triangle vertex T is the
// index of the mesh point the vertex copies, 0 meaning "not indexed".
struct PointRec {
  double X = 0;
  double Y = 0;
  double Z = 0;
  double T = 0;
  friend bool operator==(const PointRec&, const PointRec&) = default;
};

// Bounding box. The empty box has Min = +1e30 and Max = -1e30 on every axis,
// so that the first point added becomes both corners. T stays 0.
struct ExtentsRec {
  PointRec Min{1e30, 1e30, 1e30, 0};
  PointRec Max{-1e30, -1e30, -1e30, 0};
  friend bool operator==(const ExtentsRec&, const ExtentsRec&) = default;
};

// One triangle: full copies of its three corner points (each carrying the
// index of the point it copies in T), in the order given when it was added.
// The mesh never normalises the winding.
struct TriangleRec {
  PointRec A;
  PointRec B;
  PointRec C;
  int32_t Color = 0;
  int32_t Group = 0;
  bool Selected = false;  // never stored in files
  friend bool operator==(const TriangleRec&, const TriangleRec&) = default;
};

// One entry of the edge list built by GenerateEdgeList. Vertex indices are
// 1-based point indices; TriB is 0 on the border.
struct EdgeRec {
  int32_t Vertex1 = 0;
  int32_t Vertex2 = 0;
  int32_t TriA = 0;
  bool Paired = false;
  int32_t TriB = 0;
  friend bool operator==(const EdgeRec&, const EdgeRec&) = default;
};

// A label is only carried through the binary file; Reserved is never
// interpreted.
struct LabelRec {
  double Elevation = 0;
  double X = 0;
  double Y = 0;
  uint8_t Reserved[16] = {};
  float Angle = 0;
  friend bool operator==(const LabelRec&, const LabelRec&) = default;
};

// Widens E to include P, axis by axis; T is never touched.
inline void GrowExtents(ExtentsRec& E, const PointRec& P) {
  if (P.X < E.Min.X) E.Min.X = P.X;
  if (P.X > E.Max.X) E.Max.X = P.X;
  if (P.Y < E.Min.Y) E.Min.Y = P.Y;
  if (P.Y > E.Max.Y) E.Max.Y = P.Y;
  if (P.Z < E.Min.Z) E.Min.Z = P.Z;
  if (P.Z > E.Max.Z) E.Max.Z = P.Z;
}

inline ExtentsRec ResetExtents() {
  return ExtentsRec{};
}

}  // namespace orvane

namespace orvane {

// A plane point of polygons, rings and constraint lists.
struct XYRec {
  double X = 0;
  double Y = 0;
  friend bool operator==(const XYRec&, const XYRec&) = default;
};

}  // namespace orvane
