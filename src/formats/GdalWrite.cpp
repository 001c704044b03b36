#include "formats/GdalWrite.h"

#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>

#include <atomic>
#include <span>

#include "core/storage/AtomicFile.h"
#include "formats/GdalSupport.h"

namespace orvane::gdal {

namespace {

// GDAL's messages go to its error state for the result, not to stderr.
class QuietErrors {
 public:
  QuietErrors() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietErrors() { CPLPopErrorHandler(); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;
};

std::string MessageOr(std::string_view fallback) {
  const char* message = CPLGetLastErrorMsg();
  return message && *message ? std::string(message) : std::string(fallback);
}

}  // namespace

Outcome WriteVectorFile(const std::filesystem::path& target, const char* driver,
                        const std::function<bool(GDALDataset&)>& fill) {
  EnsureGdal();
  QuietErrors quiet;
  auto failed = [&](std::string reason) {
    return Outcome::Failure(ErrorCode::CannotWrite, target.string() + ": " + reason, target);
  };
  GDALDriver* drv = GetGDALDriverManager()->GetDriverByName(driver);
  if (!drv) return failed(std::string("GDAL has no ") + driver + " driver");
  // A name of its own in memory per write; the extension tells the CSV
  // driver to write one file rather than a folder of them.
  static std::atomic<unsigned> serial{0};
  const std::string folder = "/vsimem/orvane_" + std::to_string(serial++);
  const std::string memory = folder + "/out" + target.extension().string();
  VSIMkdir(folder.c_str(), 0700);
  struct Remove {
    const std::string& folder;
    ~Remove() { VSIRmdirRecursive(folder.c_str()); }
  } remove{folder};
  {
    Dataset ds(drv->Create(memory.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!ds) return failed(MessageOr("GDAL could not create the file"));
    if (!fill(*ds)) return failed(MessageOr("GDAL could not write the file"));
    if (!CloseWritten(ds, true)) return failed(MessageOr("GDAL could not finish the file"));
  }
  vsi_l_offset size = 0;
  GByte* bytes = VSIGetMemFileBuffer(memory.c_str(), &size, FALSE);
  if (!bytes) return failed(MessageOr("GDAL wrote nothing"));
  AtomicFileWriter out(target);
  if (!out.ok() || !out.Write(std::span<const uint8_t>(bytes, static_cast<size_t>(size))) ||
      !out.Commit())
    return Outcome::Failure(ErrorCode::CannotWrite, out.Error(), target);
  return {};
}

bool AddField(OGRLayer& layer, const char* name, OGRFieldType type) {
  OGRFieldDefn field(name, type);
  return layer.CreateField(&field) == OGRERR_NONE;
}

}  // namespace orvane::gdal
