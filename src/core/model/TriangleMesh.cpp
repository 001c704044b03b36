#include "core/model/TriangleMesh.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "core/geometry/Kernels.h"
#include "core/model/PointList.h"
#include "core/model/VertexTable.h"
#include "core/storage/MeshCodec.h"
#include "core/storage/Platform.h"

namespace orvane {

namespace {

[[noreturn]] void Fault(const char* what, int32_t index) {
  throw std::out_of_range(std::string("TriangleMesh::") + what + ": index " +
                          std::to_string(index) + " out of range");
}

}  // namespace

TriangleMesh::TriangleMesh() : points_(1), triangles_(1), edges_(1), labels_(1) {}

void TriangleMesh::Reserve(size_t points, size_t triangles) {
  points_.reserve(points + 1);
  triangles_.reserve(triangles + 1);
}

std::span<std::byte> TriangleMesh::SpareTriangleRoom() {
  return SpareCapacity(triangles_);
}

const TriangleRec& TriangleMesh::Triangle(int32_t idx) const {
  if (idx < 0 || idx > TriangleCount()) Fault("Triangle", idx);
  return triangles_[static_cast<size_t>(idx)];
}

const PointRec& TriangleMesh::Point(int32_t idx) const {
  if (idx < 0 || idx > PointCount()) Fault("Point", idx);
  return points_[static_cast<size_t>(idx)];
}

TriangleRec& TriangleMesh::MutableTriangle(int32_t idx) {
  if (idx < 1 || idx > TriangleCount()) Fault("Triangle", idx);
  InvalidateIndex();
  return triangles_[static_cast<size_t>(idx)];
}

// --- points and triangles ---------------------------------------------------

void TriangleMesh::AddPoint(double X, double Y, double z, double t) {
  PointRec p{X, Y, z, t != 0 ? t : static_cast<double>(PointCount() + 1)};
  points_.push_back(p);
  GrowExtents(extents_, p);
}

std::optional<PointRec> TriangleMesh::GetPoint(int32_t idx) const {
  if (idx < 1 || idx > PointCount()) return std::nullopt;
  return points_[static_cast<size_t>(idx)];
}

void TriangleMesh::ChangePoint(int32_t Index, double X, double Y, double z) {
  if (TriangleCount() == 0) return;
  if (triangles_[1].A.T == 0) Reindex();
  if (Index > PointCount()) {
    LastErrorCode = 3;
    return;
  }
  if (Index < 1) Fault("ChangePoint", Index);
  const PointRec moved{X, Y, z, static_cast<double>(Index)};
  points_[static_cast<size_t>(Index)] = moved;
  const double key = Index;
  for (size_t t = 1; t < triangles_.size(); ++t) {
    TriangleRec& tri = triangles_[t];
    if (tri.A.T == key) tri.A = moved;
    if (tri.B.T == key) tri.B = moved;
    if (tri.C.T == key) tri.C = moved;
  }
  InvalidateIndex();
}

void TriangleMesh::AddTriangle(double x1, double y1, double z1, int32_t i1, double x2, double y2,
                               double z2, int32_t i2, double x3, double y3, double z3, int32_t i3) {
  TriangleRec t;
  t.A = {x1, y1, z1, static_cast<double>(i1)};
  t.B = {x2, y2, z2, static_cast<double>(i2)};
  t.C = {x3, y3, z3, static_cast<double>(i3)};
  triangles_.push_back(t);
  InvalidateIndex();
}

std::optional<std::array<PointRec, 3>> TriangleMesh::GetTriangle(int32_t idx) const {
  if (idx < 1) Fault("GetTriangle", idx);
  if (idx > TriangleCount()) return std::nullopt;
  const TriangleRec& t = triangles_[static_cast<size_t>(idx)];
  return std::array<PointRec, 3>{t.A, t.B, t.C};
}

std::optional<std::array<int32_t, 3>> TriangleMesh::GetTriangleIndexes(int32_t Index) const {
  if (Index < 1 || Index > TriangleCount()) return std::nullopt;
  const TriangleRec& t = triangles_[static_cast<size_t>(Index)];
  return std::array<int32_t, 3>{RoundToInt32(t.A.T), RoundToInt32(t.B.T), RoundToInt32(t.C.T)};
}

void TriangleMesh::RemoveTriangle(int32_t Index) {
  if (Index > TriangleCount()) return;
  if (Index < 1) Fault("RemoveTriangle", Index);
  if (Index <= TriPropertyCount()) triProps_.SetRemoved(static_cast<size_t>(Index), true);
  const TriangleRec gone = triangles_[static_cast<size_t>(Index)];
  triangles_.erase(triangles_.begin() + Index);
  InvalidateIndex();

  // Is each corner of the removed triangle still used by another triangle?
  // One pass over the remaining vertices answers all three at once.
  const double corners[3] = {gone.A.T, gone.B.T, gone.C.T};
  bool pending[3];
  int open = 0;
  for (int k = 0; k < 3; ++k) {
    pending[k] = corners[k] > 0;
    open += pending[k];
  }
  for (size_t t = 1; t < triangles_.size() && open > 0; ++t) {
    const TriangleRec& tri = triangles_[t];
    for (int k = 0; k < 3; ++k) {
      if (pending[k] && (tri.A.T == corners[k] || tri.B.T == corners[k] || tri.C.T == corners[k])) {
        pending[k] = false;
        --open;
      }
    }
  }
  if (open > 0) Reindex();
}

void TriangleMesh::EraseTriangles(std::span<const int32_t> ascending) {
  int32_t previous = 0;
  for (int32_t t : ascending) {
    if (t <= previous || t > TriangleCount()) Fault("EraseTriangles", t);
    previous = t;
  }
  if (ascending.empty()) return;
  size_t out = static_cast<size_t>(ascending.front());
  size_t next = 0;
  for (size_t t = out; t < triangles_.size(); ++t) {
    if (next < ascending.size() && static_cast<size_t>(ascending[next]) == t) {
      ++next;
      continue;
    }
    triangles_[out++] = triangles_[t];
  }
  triangles_.resize(out);
  InvalidateIndex();
}

void TriangleMesh::Reindex() {
  LastErrorCode = 0;
  // Property sets of removed triangles go; the following sets move down.
  triProps_.DropRemoved();

  VertexTable table;
  table.Build(std::span<TriangleRec>(triangles_).subspan(1));

  points_.resize(1);
  points_.reserve(table.UniquePoints().size() + 1);
  extents_ = ExtentsRec{};
  int32_t number = 0;
  for (PointRec p : table.UniquePoints()) {
    p.T = ++number;
    points_.push_back(p);
    GrowExtents(extents_, p);
  }
}

void TriangleMesh::RemoveUnusedPoints() {
  // A point stays when it coincides (strictly within 0.001 in X, Y and Z)
  // with some vertex. Vertices are sorted into 0.002 m buckets, so a
  // coinciding vertex lies in the point's bucket or one of its 8 neighbours.
  constexpr double kBucket = 0.002;
  constexpr double kLimit = 1.0e15;
  double ox = 0, oy = 0;
  bool first = true;
  for (size_t t = 1; t < triangles_.size(); ++t) {
    for (const PointRec* v : {&triangles_[t].A, &triangles_[t].B, &triangles_[t].C}) {
      if (!std::isfinite(v->X) || !std::isfinite(v->Y)) continue;
      if (first || v->X < ox) ox = v->X;
      if (first || v->Y < oy) oy = v->Y;
      first = false;
    }
  }
  auto bucket = [&](double x, double y) {
    const double bx = std::clamp(std::floor((x - ox) / kBucket), -kLimit, kLimit);
    const double by = std::clamp(std::floor((y - oy) / kBucket), -kLimit, kLimit);
    return std::pair<int64_t, int64_t>(static_cast<int64_t>(bx), static_cast<int64_t>(by));
  };
  struct Entry {
    int64_t bx, by;
    const PointRec* v;
  };
  std::vector<Entry> vertices;
  vertices.reserve(3 * (triangles_.size() - 1));
  for (size_t t = 1; t < triangles_.size(); ++t) {
    for (const PointRec* v : {&triangles_[t].A, &triangles_[t].B, &triangles_[t].C}) {
      if (!std::isfinite(v->X) || !std::isfinite(v->Y)) continue;
      auto [bx, by] = bucket(v->X, v->Y);
      vertices.push_back({bx, by, v});
    }
  }
  auto less = [](const Entry& a, const Entry& b) {
    return a.bx != b.bx ? a.bx < b.bx : a.by < b.by;
  };
  std::sort(vertices.begin(), vertices.end(), less);

  std::vector<PointRec> kept(1, points_[0]);
  for (size_t i = 1; i < points_.size(); ++i) {
    const PointRec& p = points_[i];
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) continue;
    auto [bx, by] = bucket(p.X, p.Y);
    bool used = false;
    for (int64_t dx = -1; dx <= 1 && !used; ++dx) {
      for (int64_t dy = -1; dy <= 1 && !used; ++dy) {
        const Entry probe{bx + dx, by + dy, nullptr};
        auto [lo, hi] = std::equal_range(vertices.begin(), vertices.end(), probe, less);
        for (auto it = lo; it != hi && !used; ++it) used = PointsCoincide(p, *it->v, true);
      }
    }
    if (used) kept.push_back(p);
  }
  points_ = std::move(kept);
}

void TriangleMesh::Translate(double X, double Y, double z) {
  // Validate first so that a caller fault changes nothing.
  const double n = PointCount();
  for (size_t t = 1; t < triangles_.size(); ++t) {
    for (const PointRec* v : {&triangles_[t].A, &triangles_[t].B, &triangles_[t].C}) {
      const double r = RoundHalfEven(v->T);
      if (!(r >= 1 && r <= n))
        throw std::logic_error("TriangleMesh::Translate: triangle " + std::to_string(t) +
                               " is not indexed (run Reindex first)");
    }
  }
  for (size_t i = 1; i < points_.size(); ++i) {
    points_[i].X += X;
    points_[i].Y += Y;
    points_[i].Z += z;
  }
  auto recopy = [this](PointRec& v) {
    const double keep = v.T;
    v = points_[static_cast<size_t>(RoundHalfEven(v.T))];
    v.T = keep;
  };
  for (size_t t = 1; t < triangles_.size(); ++t) {
    recopy(triangles_[t].A);
    recopy(triangles_[t].B);
    recopy(triangles_[t].C);
  }
  extents_ = ExtentsRec{};
  for (size_t i = 1; i < points_.size(); ++i) GrowExtents(extents_, points_[i]);
  InvalidateIndex();
}

TriangleMesh TriangleMesh::Clone() const {
  // Exactly what the file holds, through the same encoder, in memory: no
  // scratch file that another running copy of the program could overwrite.
  TriangleMesh copy;
  if (auto bytes = MeshCodec::EncodeMesh(*this)) {
    if (auto decoded = MeshCodec::DecodeMesh(*bytes)) copy = std::move(*decoded);
  }
  copy.Reindex();
  return copy;
}

PointList TriangleMesh::ClonedPointList() const {
  // What Reindex makes of the decoded triangles, whose corners are the
  // stored points (a corner's T is renumbered, never read).
  PointList list;
  std::vector<int32_t> corners;
  if (!MeshCodec::StoredCorners(*this, corners)) return list;
  static constexpr PointRec kNoSlot{};  // a moved-from mesh's, as the file holds it
  auto corner = [this](int32_t k) -> const PointRec& {
    return points_.empty() ? kNoSlot : points_[static_cast<size_t>(k)];
  };
  ExtentsRec box;
  for (const int32_t k : corners) GrowExtents(box, corner(k));
  VertexTable table;
  table.Reset(box, corners.size() / 3 / 2 + 16);
  for (const int32_t k : corners) table.AddQuadVertex(box.Min, corner(k));
  std::vector<int32_t>().swap(corners);
  list.Reserve(table.UniquePoints().size());
  int32_t number = 0;
  for (const PointRec& p : table.UniquePoints()) list.AddVertex(p.X, p.Y, p.Z, ++number);
  return list;
}

std::optional<ExtentsRec> TriangleMesh::GetTriangleExtents(int32_t Index) const {
  if (Index == 0 || Index > TriangleCount()) return std::nullopt;
  if (Index < 0) Fault("GetTriangleExtents", Index);
  const TriangleRec& t = triangles_[static_cast<size_t>(Index)];
  ExtentsRec box;
  GrowExtents(box, t.A);
  GrowExtents(box, t.B);
  GrowExtents(box, t.C);
  return box;
}

int32_t TriangleMesh::Group(int32_t TriangleIndex) const {
  return Triangle(TriangleIndex).Group;
}
void TriangleMesh::SetGroup(int32_t TriangleIndex, int32_t value) {
  if (TriangleIndex < 0 || TriangleIndex > TriangleCount()) Fault("SetGroup", TriangleIndex);
  triangles_[static_cast<size_t>(TriangleIndex)].Group = value;
}
int32_t TriangleMesh::Color(int32_t Index) const {
  return Triangle(Index).Color;
}
void TriangleMesh::SetColor(int32_t Index, int32_t value) {
  if (Index < 0 || Index > TriangleCount()) Fault("SetColor", Index);
  triangles_[static_cast<size_t>(Index)].Color = value;
}
bool TriangleMesh::Selected(int32_t Index) const {
  return Triangle(Index).Selected;
}
void TriangleMesh::SetSelected(int32_t Index, bool value) {
  if (Index < 0 || Index > TriangleCount()) Fault("SetSelected", Index);
  triangles_[static_cast<size_t>(Index)].Selected = value;
}

// --- properties -----------------------------------------------------------------

Variant TriangleMesh::ClassProperty(std::string_view key) const {
  return classProps_.Find(key, KeyCompare::Exact);
}

void TriangleMesh::SetClassProperty(std::string_view key, Variant value) {
  classProps_.Store(key, value, KeyCompare::Exact);
}

std::pair<std::string, Variant> TriangleMesh::ClassProperties(int32_t Index) const {
  if (Index > ClassPropertyCount()) return {std::string(), EmptyValue{}};
  if (Index < 0) Fault("ClassProperties", Index);
  PropertyEntry e = classProps_.At(static_cast<size_t>(Index));
  return {std::move(e.Key), std::move(e.Value)};
}

Variant TriangleMesh::TriProperty(int32_t Index, std::string_view key) const {
  if (Index > TriPropertyCount()) return EmptyValue{};
  if (Index < 0) Fault("TriProperty", Index);
  return triProps_.Find(static_cast<size_t>(Index), key, KeyCompare::Exact);
}

void TriangleMesh::SetTriProperty(int32_t Index, std::string_view key, Variant value) {
  if (Index < 0) Fault("SetTriProperty", Index);
  if (Index > TriPropertyCount()) triProps_.Resize(static_cast<size_t>(Index) + 1);
  triProps_.Store(static_cast<size_t>(Index), key, value, KeyCompare::Exact);
}

std::optional<LabelRec> TriangleMesh::GetLabel(int32_t Index) const {
  if (Index > LabelCount()) return std::nullopt;
  if (Index < 0) Fault("GetLabel", Index);
  return labels_[static_cast<size_t>(Index)];
}

}  // namespace orvane
