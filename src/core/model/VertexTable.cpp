#include "core/model/VertexTable.h"

#include <algorithm>
#include <cmath>

#include "core/geometry/HashMix.h"
#include "core/geometry/Kernels.h"
#include "core/storage/Platform.h"

namespace orvane {

namespace {
// Bucket width of the hash, metres. Matches are within 0.001 per axis, so a
// match lies in the vertex's own bucket or in the neighbour on the near side
// when the vertex is within kReach of that side (the margin absorbs rounding).
constexpr double kBucket = 0.004;
constexpr double kReach = 0.0015;
constexpr uint64_t kEmptyKey = ~uint64_t{0};

}  // namespace

void VertexTable::Reset(const ExtentsRec& box, size_t expectedPoints) {
  box_ = box;
  width_ = (box.Max.X - box.Min.X) / 100;
  height_ = (box.Max.Y - box.Min.Y) / 100;
  unique_.clear();
  cellOf_.clear();
  next_.clear();
  size_t cap = 64;
  while (cap < expectedPoints * 2) cap <<= 1;
  keys_.assign(cap, kEmptyKey);
  heads_.assign(cap, -1);
  used_ = 0;
}

bool VertexTable::CellOf(const PointRec& origin, const PointRec& P, Cell& cell) const {
  // A zero-sized box (all vertices on one X or one Y) would divide by zero:
  // every vertex then lies in cell 0 of that axis.
  const double fi = width_ > 0 ? RoundHalfEven((P.X - origin.X) / width_) : 0.0;
  const double fj = height_ > 0 ? RoundHalfEven((P.Y - origin.Y) / height_) : 0.0;
  if (!(fi >= 0 && fi <= 100 && fj >= 0 && fj <= 100)) return false;
  cell = {static_cast<int32_t>(fi), static_cast<int32_t>(fj)};
  return true;
}

uint64_t VertexTable::BucketKey(int64_t bx, int64_t by) const {
  return (static_cast<uint64_t>(bx) << 32) ^ static_cast<uint64_t>(static_cast<uint32_t>(by));
}

int32_t* VertexTable::Slot(uint64_t key, bool insert) {
  if (insert && (used_ + 1) * 2 > keys_.size()) Grow();
  const size_t mask = keys_.size() - 1;
  size_t h = HashMix(key) & mask;
  while (true) {
    if (keys_[h] == key) return &heads_[h];
    if (keys_[h] == kEmptyKey) {
      if (!insert) return nullptr;
      keys_[h] = key;
      ++used_;
      return &heads_[h];
    }
    h = (h + 1) & mask;
  }
}

void VertexTable::Grow() {
  std::vector<uint64_t> oldKeys(keys_.size() * 2, kEmptyKey);
  std::vector<int32_t> oldHeads(heads_.size() * 2, -1);
  oldKeys.swap(keys_);
  oldHeads.swap(heads_);
  const size_t mask = keys_.size() - 1;
  for (size_t k = 0; k < oldKeys.size(); ++k) {
    if (oldKeys[k] == kEmptyKey) continue;
    size_t h = HashMix(oldKeys[k]) & mask;
    while (keys_[h] != kEmptyKey) h = (h + 1) & mask;
    keys_[h] = oldKeys[k];
    heads_[h] = oldHeads[k];
  }
}

int32_t VertexTable::AddQuadVertex(const PointRec& origin, const PointRec& P) {
  Cell cell;
  if (!CellOf(origin, P, cell)) {
    ShowMessage(
        "Errore AddQuadVertex. Impossibile aggiungere il vertice fuori dai limiti specificati");
    return 0;
  }
  const double fx = (P.X - box_.Min.X) / kBucket;
  const double fy = (P.Y - box_.Min.Y) / kBucket;
  // Absurd extents (far beyond any survey) share clamped buckets: still exact,
  // only slower, and no overflow on the integer conversion.
  constexpr double kLimit = 4.0e15;
  const double bxf = std::clamp(std::floor(fx), -kLimit, kLimit);
  const double byf = std::clamp(std::floor(fy), -kLimit, kLimit);
  const int64_t bx = static_cast<int64_t>(bxf);
  const int64_t by = static_cast<int64_t>(byf);
  // Neighbour buckets worth searching on each axis (0 = none).
  const double rx = fx - bxf;
  const double ry = fy - byf;
  const double reach = kReach / kBucket;
  const int dxs[2] = {0, rx < reach ? -1 : (rx > 1 - reach ? 1 : 0)};
  const int dys[2] = {0, ry < reach ? -1 : (ry > 1 - reach ? 1 : 0)};

  int32_t best = -1;
  for (int a = 0; a < 2; ++a) {
    if (a == 1 && dxs[1] == 0) continue;
    for (int b = 0; b < 2; ++b) {
      if (b == 1 && dys[1] == 0) continue;
      const int32_t* head = Slot(BucketKey(bx + dxs[a], by + dys[b]), false);
      for (int32_t k = head ? *head : -1; k >= 0; k = next_[k]) {
        if ((best < 0 || k < best) && cellOf_[k].i == cell.i && cellOf_[k].j == cell.j &&
            PointsMatch3D(unique_[k], P))
          best = k;
      }
    }
  }
  if (best >= 0) return best + 1;

  const int32_t number = static_cast<int32_t>(unique_.size());
  unique_.push_back(P);
  cellOf_.push_back(cell);
  int32_t* head = Slot(BucketKey(bx, by), true);
  next_.push_back(*head);
  *head = number;
  return number + 1;
}

void VertexTable::Build(std::span<TriangleRec> triangles) {
  ExtentsRec box;
  for (const TriangleRec& t : triangles) {
    GrowExtents(box, t.A);
    GrowExtents(box, t.B);
    GrowExtents(box, t.C);
  }
  // Buckets are hashed from the box's minimum: a box left empty (no finite
  // vertex) has no meaningful origin, and every vertex then fails its cell.
  Reset(box, triangles.size() / 2 + 16);
  for (TriangleRec& t : triangles) {
    t.A.T = AddQuadVertex(box.Min, t.A);
    t.B.T = AddQuadVertex(box.Min, t.B);
    t.C.T = AddQuadVertex(box.Min, t.C);
  }
}

}  // namespace orvane
