#include "cli/CommandSupport.h"

#include <iostream>

#include "cli/Interrupt.h"
#include "core/AtomicFile.h"
#include "project/TextFiles.h"

namespace orvane::cli {

bool LoadSurfaceFile(const std::string& file, TriangleMesh& mesh) {
  std::string reason;
  if (mesh.LoadFromBinary(file, &reason)) return true;
  // Open failures already name the file.
  if (reason.rfind(file, 0) == 0)
    std::cerr << reason << '\n';
  else
    std::cerr << file << ": cannot load surface: " << reason << '\n';
  return false;
}

bool SaveSegmentFile(const std::string& file, std::span<const PlanSegment> segments,
                     const std::function<bool()>& cancelled) {
  AtomicFileWriter out(file);
  if (out.ok()) WriteSegmentText(segments, out);
  bool committed = false;
  if (out.ok() && !cancelled()) {
    InterruptBlock block;
    committed = out.Commit();
  }
  if (!committed) {
    if (out.ok())
      std::cerr << file << ": cancelled, left as it was\n";
    else
      std::cerr << out.Error() << '\n';
  }
  return committed;
}

}  // namespace orvane::cli
