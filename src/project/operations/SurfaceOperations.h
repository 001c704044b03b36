#pragma once
// The text steps of the surface operations (actions::Shift, Scale, Merge and
// Split in Actions.h): the points file an operation rebuilds a surface from,
// and the elevation change of a surface's zone and breakline files.

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/storage/AtomicFile.h"
#include "core/storage/Records.h"

namespace orvane {

// The point list, numbered 1.. in T, that Reindex gives a mesh holding the
// triangles of meshes in order: for one mesh its own Reindex, for two the
// merge of the second into the first with DoReindex (the merge's points are
// replaced by the reindex, which reads only the triangles). No mesh is
// changed or copied. Progress goes to CurrentStatus(); cancelled, when given,
// is asked now and then, and a yes gives nullopt.
std::optional<std::vector<PointRec>> ReindexedPoints(std::span<const TriangleMesh* const> meshes,
                                                     const std::function<bool()>& cancelled = {});
// Those points gathered triangle by triangle, for triangles that are never
// held in a mesh: Add the triangles of the first mesh
// after StartMesh with its points (slot 0 unused; a corner whose T names one
// it copies exactly is known by that number), then those of the next, and
// Finish once.
class PointsInReindexOrder {
 public:
  explicit PointsInReindexOrder(size_t triangles);  // about how many will come
  ~PointsInReindexOrder();
  void StartMesh(std::span<const PointRec> points);
  void Add(const PointRec& a, const PointRec& b, const PointRec& c);
  std::vector<PointRec> Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The ".xyz" of a rebuild: one line per point in order, x, y and z each in
// the "0.0000000" pattern (seven decimals, "." whatever the locale, no
// grouping, "-" only before a non-zero digit) separated by one blank, lines
// ended by CR LF. False once a write failed.
bool WritePointText(std::span<const PointRec> points, AtomicFileWriter& out);
// One number in that pattern at out, which has room for kMaxFixedText
// characters; returns the end.
inline constexpr size_t kMaxFixedText = 330;
char* WriteFixed7(char* out, double value);

// The text of a ".bnd" or ".brk" file with every point's elevation z
// replaced by change(z) (general decimal form, "."): the third field of each
// line the readers take as a point is rewritten; every other byte (x and y as
// typed, separator lines, skipped lines, line ends) is kept. separator is
// the layout's ("ZONA_INC" or "BREAKLINE"). Lines are those of the readers
// (TextFiles.h). The new elevations, when lines would be skipped because of
// them, make it return false (*bad then names the line, 1-based).
bool ChangeElevationsInText(std::string_view text, std::string_view separator,
                            const std::function<double(double)>& change, std::string& out,
                            int64_t* bad = nullptr);

}  // namespace orvane
