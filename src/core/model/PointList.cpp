#include "core/model/PointList.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "core/geometry/Kernels.h"

namespace orvane {

namespace {

[[noreturn]] void Fault(const char* what, int32_t index) {
  throw std::out_of_range(std::string("PointList::") + what + ": index " + std::to_string(index) +
                          " out of range");
}

}  // namespace

PointList::PointList() : points_(1) {}

bool PointList::IsClosedKind() const {
  return Model == PointListModel::ClosedPolygon || Model == PointListModel::Boundary ||
         Model == PointListModel::Hole;
}

void PointList::AddVertex(double X, double Y, double z, double t) {
  const double index = static_cast<double>(points_.size());
  points_.push_back(PointRec{X, Y, z, t != 0 ? t : index});
  GrowExtents(extents_, points_.back());
  index_.Append(count(), points_.back());
}

std::optional<PointRec> PointList::GetPoint(int32_t idx) const {
  if (idx < 0) Fault("GetPoint", idx);
  if (idx == 0 || idx > count()) return std::nullopt;
  return points_[static_cast<size_t>(idx)];
}

const PointRec& PointList::Point(int32_t idx) const {
  if (idx < 0 || idx > count()) Fault("Point", idx);
  return points_[static_cast<size_t>(idx)];
}

void PointList::ChangePoint(int32_t idx, double X, double Y, double z, double t) {
  if (idx > count()) return;
  if (idx < 1) Fault("ChangePoint", idx);
  const PointRec p{X, Y, z, t};
  points_[static_cast<size_t>(idx)] = p;
  // A closed polygon repeats point 1 as its last point; keep the pair equal.
  if (IsClosedKind()) {
    if (idx == 1) points_.back() = p;
    if (idx == count()) points_[1] = p;
  }
  index_.Clear();
}

void PointList::RemovePoint(int32_t Index) {
  if (Index > count()) return;
  if (Index < 1) Fault("RemovePoint", Index);
  points_.erase(points_.begin() + Index);
  if (Index <= PointPropertyCount()) pointProps_.Erase(static_cast<size_t>(Index));
  index_.Clear();
}

int32_t PointList::FindPoint(double X, double Y, double Tolerance, double z) const {
  return index_.FindFirst(points_, X, Y, Tolerance, z);
}

void PointList::UpdateBounds() {
  pointProps_.DropRemoved();
  extents_ = ResetExtents();
  for (size_t i = 1; i < points_.size(); ++i) GrowExtents(extents_, points_[i]);
}

void PointList::Translate(double X, double Y, double z) {
  for (size_t i = 1; i < points_.size(); ++i) {
    points_[i].X += X;
    points_[i].Y += Y;
    points_[i].Z += z;
  }
  index_.Clear();
  UpdateBounds();
}

void PointList::InvertArray() {
  std::reverse(points_.begin() + 1, points_.end());
  index_.Clear();
}

double PointList::Length() const {
  double sum = 0;
  for (size_t i = 1; i + 1 < points_.size(); ++i)
    sum += Distance2D(points_[i].X, points_[i].Y, points_[i + 1].X, points_[i + 1].Y);
  if ((Model == PointListModel::Boundary || Model == PointListModel::Hole) && count() > 0)
    sum += Distance2D(points_.back().X, points_.back().Y, points_[1].X, points_[1].Y);
  return sum;
}

double PointList::Length3D() const {
  const auto dist = [](const PointRec& a, const PointRec& b) {
    const double dx = a.X - b.X, dy = a.Y - b.Y, dz = a.Z - b.Z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
  };
  double sum = 0;
  for (size_t i = 1; i + 1 < points_.size(); ++i) sum += dist(points_[i], points_[i + 1]);
  if ((Model == PointListModel::Boundary || Model == PointListModel::Hole) && count() > 0)
    sum += dist(points_.back(), points_[1]);
  return sum;
}

bool PointList::IsPointInside(double X, double Y) const {
  if (count() == 0) return false;
  std::vector<PointRec> ring(points_.begin() + 1, points_.end());
  ring.push_back(points_[1]);
  const std::optional<PolygonLocation> where = PointInPolygon(ring, X, Y);
  // No answer (an open or self-crossing ring) reads as outside.
  return where == PolygonLocation::OnVertex || where == PolygonLocation::OnEdge ||
         where == PolygonLocation::Inside;
}

bool PointList::IsCCWPoly() const {
  // Orientation by majority of turns, each turn rounded to whole square
  // metres: turns smaller than about half a unit do not count.
  const int32_t n = count();
  int32_t ccw = 0, cw = 0;
  for (int32_t i = 1; i <= n - 1; ++i) {
    const PointRec& P = points_[static_cast<size_t>(i)];
    const PointRec& Q = points_[static_cast<size_t>(i + 1)];
    const PointRec& R = points_[static_cast<size_t>(i + 1 == n ? 1 : i + 2)];
    const double dx1 = RoundHalfEven(Q.X - P.X), dy1 = RoundHalfEven(Q.Y - P.Y);
    const double dx2 = R.X - P.X, dy2 = R.Y - P.Y;
    const double turn = RoundHalfEven(dx1 * dy2 - dy1 * dx2);
    if (turn > 0)
      ++ccw;
    else
      ++cw;
  }
  return ccw >= cw;
}

bool PointList::MergePointList(const PointList& Plist) {
  if (Plist.Model != Model) return false;
  // Copy first: Plist may be this list.
  const std::vector<PointRec> added(Plist.points_.begin() + 1, Plist.points_.end());
  points_.insert(points_.end(), added.begin(), added.end());
  index_.Clear();
  UpdateBounds();
  return true;
}

Variant PointList::PointProperty(int32_t Index, std::string_view key) const {
  if (Index > PointPropertyCount()) return EmptyValue{};
  if (Index < 0) Fault("PointProperty", Index);
  return pointProps_.Find(static_cast<size_t>(Index), key, KeyCompare::IgnoreCase);
}

void PointList::SetPointProperty(int32_t Index, std::string_view key, Variant value) {
  if (Index < 0) Fault("SetPointProperty", Index);
  if (Index > PointPropertyCount()) pointProps_.Resize(static_cast<size_t>(Index) + 1);
  pointProps_.Store(static_cast<size_t>(Index), key, value, KeyCompare::IgnoreCase);
}

Variant PointList::ClassProperty(std::string_view key) const {
  return classProps_.Find(key, KeyCompare::IgnoreCase);
}

void PointList::SetClassProperty(std::string_view key, Variant value) {
  classProps_.Store(key, value, KeyCompare::IgnoreCase);
}

}  // namespace orvane
