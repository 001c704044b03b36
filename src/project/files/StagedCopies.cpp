#include "project/files/StagedCopies.h"

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "core/storage/AtomicFile.h"
#include "project/files/FileSetChanges.h"
#include "project/files/FolderFiles.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

// The reason a step gave, as a failure (its text may be empty).
Outcome Failed(std::string reason) {
  return Outcome::Failure(ErrorCode::CannotWrite, std::move(reason));
}

}  // namespace

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    const bool same = fs::equivalent(a, b, ec);
    if (!ec) return same;
  }
  const fs::path ca = fs::weakly_canonical(a, ec);
  if (ec) return a.lexically_normal() == b.lexically_normal();
  const fs::path cb = fs::weakly_canonical(b, ec);
  if (ec) return a.lexically_normal() == b.lexically_normal();
  return ca == cb;
}

Outcome StagedCopies::Copy(const fs::path& from, const fs::path& to) {
  Result<FileReader> in = FileReader::Open(from);
  if (!in) return Failed(in.Error().Text());
  AtomicFileWriter out(to);
  std::vector<uint8_t> buf(size_t{1} << 20);
  uint64_t copied = 0;
  while (out.ok()) {
    const size_t n = in->Read(buf.data(), buf.size());
    if (n == 0) break;
    copied += n;
    out.Write(std::span<const uint8_t>(buf.data(), n));
  }
  if (!out.ok()) return Failed(out.Error());
  if (copied < in->Size()) return Failed(from.string() + ": read failed");
  if (Outcome staged = transaction_.Stage(out); !staged) return Failed(staged.Text());
  return {};
}

Outcome StagedCopies::Stage(std::span<const std::string_view> exts, const fs::path& fromFolder,
                            std::string_view fromName, const fs::path& toFolder,
                            std::string_view toName) {
  for (std::string_view ext : exts) {
    const fs::path from = fromFolder / (std::string(fromName) + std::string(ext));
    const fs::path to = toFolder / (std::string(toName) + std::string(ext));
    if (!FileExists(from) || SameFile(from, to)) continue;
    if (Outcome copied = Copy(from, to); !copied) return copied;
  }
  return {};
}

Outcome StagedCopies::StageSurface(TriangleMesh& mesh, const fs::path& target) {
  const fs::path staged = UniqueSiblingPath(target, "building");
  const Outcome saved = mesh.SaveToBinary(staged);
  if (mesh.LastErrorCode != 0) {
    std::string error = saved.Text();
    std::error_code ec;
    fs::remove(staged, ec);
    // The staged name is ours, not the user's.
    if (const size_t at = error.find(staged.string()); at != std::string::npos)
      error.replace(at, staged.string().size(), target.string());
    return Failed(std::move(error));
  }
  transaction_.Stage(staged, target);
  return {};
}

Outcome StagedCopies::Commit(FileSetChange& change) {
  if (Outcome committed = transaction_.Commit(); !committed) return Failed(committed.Text());
  for (const auto& step : transaction_.Renames()) change.Written.push_back(step.To);
  for (const fs::path& f : transaction_.Removals()) change.Deleted.push_back(f);
  return {};
}

}  // namespace orvane
