#pragma once
// An ordered list of 3-D points: a polyline, a closed polygon (boundary,
// zone, hole), a breakline, a point set for the triangulator, a mesh border.
// Model tells the kinds apart (see PointListModel). Indices are 1-based;
// entry 0 of every internal list is the unused slot 0 kept by the file.
//
// Property keys of a point list compare without regard to letter case.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/geometry/PointGrid.h"
#include "core/model/Properties.h"
#include "core/model/Variant.h"
#include "core/storage/Records.h"
#include "core/support/Outcome.h"

namespace orvane {

// Model codes of a point list.
namespace PointListModel {
inline constexpr int32_t OpenPolyline = 1;   // also a plain point set
inline constexpr int32_t MeshBorder = 6;     // ends with its first point repeated
inline constexpr int32_t ClosedPolygon = 7;  // first point repeated as the last
inline constexpr int32_t Boundary = 1100;    // outer boundary / inclusion zone (closed)
inline constexpr int32_t Hole = 1200;        // hole area (closed)
inline constexpr int32_t Breakline = 1300;   // constraint segments
}  // namespace PointListModel

class PointListCodec;

class PointList {
 public:
  PointList();

  int32_t Model = PointListModel::OpenPolyline;
  double Elevation = 0;  // attached to the whole list; stored in files
  int32_t LastErrorCode = 0;
  bool Selected = false;  // not stored
  int32_t Color = 0;      // stored in files
  Variant Tag;            // stored in files

  int32_t count() const { return static_cast<int32_t>(points_.size() - 1); }
  int32_t PointPropertyCount() const { return pointProps_.Count(); }
  int32_t ClassPropertyCount() const { return classProps_.Count(); }

  // Appends a point; T = t when t != 0, else the new index. Grows the extents.
  void AddVertex(double X, double Y, double z, double t = 0);
  // Point idx (X, Y, Z, T); nullopt for 0 or above count.
  std::optional<PointRec> GetPoint(int32_t idx) const;
  // Replaces point idx (nothing above count). Closed kinds (7, 1100, 1200)
  // keep point 1 and the last point equal.
  void ChangePoint(int32_t idx, double X, double Y, double z, double t);
  void RemovePoint(int32_t Index);
  // First point within Tolerance in X and Y (inclusive), and in Z when
  // z != 0; 0 when none. Answers through a grid hash, same result as a scan.
  int32_t FindPoint(double X, double Y, double Tolerance = 0.001, double z = 0) const;
  ExtentsRec GetExtents() const { return extents_; }
  // Drops point property sets marked Removed and recomputes the extents.
  void UpdateBounds();
  void Translate(double X, double Y, double z);
  void InvertArray();
  double Length() const;
  double Length3D() const;
  bool IsPointInside(double X, double Y) const;
  bool IsCCWPoly() const;
  bool MergePointList(const PointList& Plist);
  PointList Clone() const;

  Variant PointProperty(int32_t Index, std::string_view key) const;
  void SetPointProperty(int32_t Index, std::string_view key, Variant value);
  Variant ClassProperty(std::string_view key) const;
  void SetClassProperty(std::string_view key, Variant value);

  // Polygon operations.
  struct DuplicateReport {
    int32_t Count = 0;
    std::string DupIndexes;  // "2|4|" (CheckAll only)
  };
  DuplicateReport CheckForDuplicates(double Radius, bool VerifyZ, bool CheckAll = false) const;
  // Thins near points (greedy, in index order); returns the number removed.
  int32_t Decimate(double Radius, bool VerifyZ, bool KeepsAverage = false);
  // Clockwise hull (Model 1100) starting and ending at the leftmost point;
  // nullopt for an empty list.
  std::optional<PointList> GetConvexHull() const;
  struct Intersection {
    bool Hit = false;
    double XI = 0, YI = 0;
    int32_t Idx1 = 0, Idx2 = 0;
  };
  Intersection GetIntersectingPoint(double x1, double y1, double x2, double y2,
                                    int32_t NumberOfIntersection, bool CheckOnly = false) const;

  // Binary files. LoadFromBinary / ReadProperties leave the list unchanged
  // on any failure; the save goes through a temporary file.
  Outcome SaveToBinary(const std::filesystem::path& file) const;
  Outcome LoadFromBinary(const std::filesystem::path& file);
  Outcome WriteProperties(const std::filesystem::path& file) const;
  Outcome ReadProperties(const std::filesystem::path& file);

  // Read-only view; entry 0 is slot 0.
  std::span<const PointRec> Points() const { return points_; }
  const PointRec& Point(int32_t idx) const;
  void Reserve(size_t n) { points_.reserve(n + 1); }

 private:
  friend class PointListCodec;
  friend class PropertyCodec;
  bool IsClosedKind() const;

  std::vector<PointRec> points_;  // [0] is slot 0
  ExtentsRec extents_;
  PropertySets pointProps_;  // [0] is slot 0
  PropertyList classProps_;  // [0] is slot 0
  // FindPoint's index: extended by AddVertex, dropped by every other edit of
  // points_ (code that writes points_ directly must call index_.Clear()).
  mutable PointIndexCache index_;
};

}  // namespace orvane
