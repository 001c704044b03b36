#pragma once
// The surface: a triangulated irregular network of numbered 3-D points and
// numbered triangles, with extents, free properties, labels and an optional
// edge list.
//
// Every triangle carries full copies of its three corners; each copy holds in
// T the 1-based index of the mesh point it copies. Geometry reads coordinates
// straight from the triangles; ChangePoint, Translate and Reindex keep the
// copies and the point list in step.
//
// Indices are 1-based everywhere. Every internal list keeps a slot 0 ahead of
// entry 1 that no operation uses; the binary file stores and restores it.
//
// Invariants:
//  - after Reindex, every vertex's T names a point whose coordinates equal the
//    vertex's within 0.001, and point i has T = i;
//  - the extents enclose every point added by AddPoint and every point after
//    Reindex or Translate; removals never shrink them.
//
// Getters with an index above the count return nullopt ("outputs unchanged");
// an index the caller should never pass (below 1, or above the count where no
// check is documented) throws std::out_of_range.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/model/Properties.h"
#include "core/model/Variant.h"
#include "core/storage/Records.h"
#include "core/support/Outcome.h"

namespace orvane {

class PointList;
class TriangleIndex;
class MeshCodec;

class TriangleMesh {
 public:
  TriangleMesh();

  // --- public fields ---------------------------------------------------------
  int32_t Model = 30;      // model code of the class
  int32_t GroupCount = 0;  // stored in files; no editing operation changes it
  Variant Tag;             // free value for the caller; stored in files
  int32_t EdgeColor = 0;   // display colour of edges; stored in files
  int32_t FillColor = 0;   // display fill colour; stored in files
  int32_t LastErrorCode = 0;

  int32_t PointCount() const { return static_cast<int32_t>(points_.size() - 1); }
  int32_t TriangleCount() const { return static_cast<int32_t>(triangles_.size() - 1); }
  int32_t EdgeCount() const { return static_cast<int32_t>(edges_.size() - 1); }
  int32_t LabelCount() const { return static_cast<int32_t>(labels_.size() - 1); }
  int32_t TriPropertyCount() const { return triProps_.Count(); }
  int32_t ClassPropertyCount() const { return classProps_.Count(); }

  // --- points and triangles --------------------------------------------------
  // Appends a point; T = t when t != 0, else the new index. Grows the extents.
  void AddPoint(double X, double Y, double z, double t = 0);
  std::optional<PointRec> GetPoint(int32_t idx) const;
  // Moves a point and every vertex that copies it (see TriangleMesh.cpp).
  void ChangePoint(int32_t Index, double X, double Y, double z);
  // Appends a triangle with the vertices in the given order; indices are not
  // checked and the extents are not touched.
  void AddTriangle(double x1, double y1, double z1, int32_t i1, double x2, double y2, double z2,
                   int32_t i2, double x3, double y3, double z3, int32_t i3);
  // The three vertices (coordinates and T) of triangle idx.
  std::optional<std::array<PointRec, 3>> GetTriangle(int32_t idx) const;
  // T of A, B, C rounded (half to even) to 32-bit integers.
  std::optional<std::array<int32_t, 3>> GetTriangleIndexes(int32_t Index) const;
  void RemoveTriangle(int32_t Index);
  // Erases the listed triangles (1-based, strictly ascending, each at most
  // TriangleCount()) in one pass; the later ones move down. Unlike
  // RemoveTriangle it neither reindexes nor marks property sets.
  void EraseTriangles(std::span<const int32_t> ascending);
  // Rebuilds the point list from the triangles through the unique-vertex grid.
  void Reindex();
  // Drops points that coincide (strictly, in X, Y and Z) with no vertex.
  void RemoveUnusedPoints();
  // Shifts every point by the offsets and re-copies vertices from points.
  // REQUIRES: the triangles are indexed.
  void Translate(double X, double Y, double z);
  // Deep copy of exactly what the binary file holds, reindexed; no progress
  // events. Selection, edge list and working fields are not copied.
  TriangleMesh Clone() const;
  // Clone().GetPointList() without the copy: the same points, numbered
  // alike, and empty where the copy is (a mesh the file cannot hold).
  PointList ClonedPointList() const;

  ExtentsRec GetExtents() const { return extents_; }
  std::optional<ExtentsRec> GetTriangleExtents(int32_t Index) const;

  // Per-triangle attributes. The index is not checked against the count.
  int32_t Group(int32_t TriangleIndex) const;
  void SetGroup(int32_t TriangleIndex, int32_t value);
  int32_t Color(int32_t Index) const;
  void SetColor(int32_t Index, int32_t value);
  bool Selected(int32_t Index) const;
  void SetSelected(int32_t Index, bool value);

  // --- properties (keys compare exactly) -------------------------------------
  Variant ClassProperty(std::string_view key) const;
  void SetClassProperty(std::string_view key, Variant value);
  // Key and value of class property Index; ("", empty) when out of range.
  std::pair<std::string, Variant> ClassProperties(int32_t Index) const;
  Variant TriProperty(int32_t Index, std::string_view key) const;
  // Extends the sets (new ones empty) so that the count becomes Index when
  // needed, then sets or appends the key.
  void SetTriProperty(int32_t Index, std::string_view key, Variant value);

  std::optional<LabelRec> GetLabel(int32_t Index) const;

  // --- binary files (MeshFile.cpp) -------------------------------------------
  // Writes the mesh file through a temporary file renamed into place. A mesh
  // that cannot be stored (its triangles carry no point indices, ...) is
  // Refused (LastErrorCode 3) and the existing file is left as it was. I/O
  // failure: CannotWrite (LastErrorCode 1003). The text explains a failure
  // in one line. LastErrorCode is left as it was on success.
  Outcome SaveToBinary(const std::filesystem::path& file);
  // Reads a mesh file. On failure sets LastErrorCode 1002 and leaves this
  // mesh unchanged; the Outcome says why.
  Outcome LoadFromBinary(const std::filesystem::path& file);
  Outcome WriteProperties(const std::filesystem::path& file) const;
  Outcome ReadProperties(const std::filesystem::path& file);

  // --- triangle geometry and queries (TriangleGeometry.cpp, MeshQueries.cpp) --
  // First triangle, in index order, whose vertices coincide with the three
  // query points in any order (0.001 in X, Y, and Z when CheckZ); 0 if none.
  int32_t FindTriangle(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                       double y3, double z3, bool CheckZ = true) const;
  // First triangle, in index order, for which PointInsideTriangle holds.
  int32_t TriangleAt(double X, double Y) const;
  bool PointInsideTriangle(int32_t idx, double X, double Y) const;
  std::optional<std::array<double, 3>> GetTriangleNormal(int32_t Index) const;
  // Slope between the highest and lowest vertex, percent. +infinity when
  // those two share a plan position.
  double GetTriangleSlope(int32_t Index) const;
  // Interior angles at A, B, C, degrees. Index is not checked.
  std::array<float, 3> GetTriDegrees(int32_t i) const;
  struct Circle {
    double xCenter = 0;
    double yCenter = 0;
    double Radius = 0;
  };
  std::optional<Circle> GetCircumCenter(int32_t IndexOfTriangle) const;
  struct Incircle {
    Circle circle;
    XYRec TangentAB, TangentBC, TangentCA;
  };
  std::optional<Incircle> GetBestFitInscribedCircle(int32_t IndexOfTriangle) const;
  // -1 clockwise, 1 counter-clockwise or degenerate, 0 out of range.
  int32_t GetTriangleOrientation(int32_t Index) const;
  // Exchanges the whole vertices A and C. Index is not checked.
  void InvertTriangleOrientation(int32_t Index);
  void GenerateEdgeList();
  std::optional<EdgeRec> GetEdge(int32_t Index) const;
  // Border polyline (Model 6) following the loop of the first border edge;
  // nullopt with fewer than two border edges.
  std::optional<PointList> GetConcaveHull(bool ForceRebuildEdgeList = false);
  void SwapEdge(double x1, double y1, double x2, double y2);
  struct TriangleFigures {
    double Surface = 0;    // plan area, m2
    double Perimeter = 0;  // plan perimeter, m
    double Volume = 0;     // prism volume above the base level, m3
  };
  // Adds triangle idx's figures to the accumulators (nothing for idx 0 or
  // above the count).
  void TriangleInfo(int32_t idx, TriangleFigures& acc, double BaseVolumeLevel = 0) const;
  PointList GetPointList() const;
  // Writes the vertices of triangle i to the diagnostic stream.
  void DebugTriangle(int32_t i) const;

  // --- read-only views for fast geometry code (entry 0 is slot 0) -----------
  const TriangleRec& Triangle(int32_t idx) const;
  const PointRec& Point(int32_t idx) const;
  std::span<const TriangleRec> Triangles() const { return triangles_; }
  std::span<const PointRec> Points() const { return points_; }

  // Builds a mesh in bulk: Reserve first, then Add*. Spare capacity is an
  // internal matter; counts behave exactly as one-by-one growth.
  void Reserve(size_t points, size_t triangles);
  // The reserved room past the last triangle, as bytes, for having it made
  // resident ahead (PrefaultForWriting), possibly on another thread while
  // triangles are added; the bytes themselves are the mesh's to write.
  std::span<std::byte> SpareTriangleRoom();

  // The spatial index over the triangles, built on first use and dropped by
  // every edit of the triangles (see TriangleIndex.h). TriangleAt and
  // FindTriangle query it, as do analysis's TriangleUnder and InterpolateZ.
  //
  // Threads: the first call builds the index and stores it without a lock,
  // so two threads that query a mesh whose index is not built yet race.
  // Once it is built it never changes: any number of threads may then query
  // the mesh at once, as long as none edits it (an edit frees the index a
  // query may be reading). Work that queries one mesh from several threads
  // calls Index() once before they start, or builds an index of its own
  // (analysis/ElevationQueries.h, IndexedSurface). Copies of a mesh share
  // the built index; an edit of one drops only its own.
  const TriangleIndex& Index() const;

 private:
  friend class MeshCodec;
  void InvalidateIndex() { index_.reset(); }
  TriangleRec& MutableTriangle(int32_t idx);

  std::vector<PointRec> points_;        // [0] is slot 0
  std::vector<TriangleRec> triangles_;  // [0] is slot 0
  ExtentsRec extents_;
  std::vector<EdgeRec> edges_;                          // [0] is slot 0
  PropertySets triProps_;                               // [0] is slot 0
  PropertyList classProps_;                             // [0] is slot 0
  std::vector<LabelRec> labels_;                        // [0] is slot 0
  mutable std::shared_ptr<const TriangleIndex> index_;  // lazily built, reset by edits
};

}  // namespace orvane
