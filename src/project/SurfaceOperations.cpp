#include "project/Actions.h"

namespace orvane::actions {

namespace {
ActionResult NotYet() {
  ActionResult r;
  r.Result = Outcome::Failed;
  r.Message = "this operation is not available yet";
  return r;
}
}  // namespace

ActionResult Shift(const std::shared_ptr<TriangleMesh>&, std::string_view, const StopRequest&) {
  return NotYet();
}
ActionResult Scale(const std::shared_ptr<TriangleMesh>&, std::string_view, const StopRequest&) {
  return NotYet();
}
ActionResult ExportGrid(const std::shared_ptr<TriangleMesh>&, std::string_view,
                        const StopRequest&) {
  return NotYet();
}
ActionResult Merge(const std::shared_ptr<TriangleMesh>&, const std::shared_ptr<TriangleMesh>&,
                   const StopRequest&) {
  return NotYet();
}
ActionResult Split(const std::shared_ptr<TriangleMesh>&, std::string_view, const StopRequest&) {
  return NotYet();
}
ActionResult Run(Operation, const std::shared_ptr<TriangleMesh>&,
                 const std::shared_ptr<TriangleMesh>&, std::string_view, const StopRequest&) {
  return NotYet();
}

}  // namespace orvane::actions
