#pragma once
// What the GDAL-written formats share (private to this library): GDAL's
// one-time set-up, its last error as text, and a place to write that only
// replaces the user's file once the file is whole.

#include <ogr_spatialref.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/Outcome.h"

class GDALDataset;

namespace orvane::gdal {

struct DatasetCloser {
  void operator()(GDALDataset* d) const;
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

// Closes a dataset that was written to; true when every step before it
// succeeded (ok) and the close did too. Closing writes what is still
// buffered, and GDAL reports a failure there only through its error state.
bool CloseWritten(Dataset& ds, bool ok);

// Registers the drivers once and keeps GDAL quiet on stderr: every failure
// comes back as an Outcome instead.
void EnsureGdal();

// The spatial reference of a coordinate-system setting (CoordinateSystem.h),
// x easting and y northing whatever the definition's axis order; nullopt for
// none.
Result<std::optional<OGRSpatialReference>> SpatialReferenceOf(std::string_view setting);

// "what: GDAL's last message" (or just what when GDAL said nothing).
std::string LastError(std::string_view what);

// A temporary folder beside target into which a driver writes its file (or,
// for formats made of several files, all of them under target's name);
// Commit syncs them and renames each over its counterpart beside target.
// Until then nothing of the user's changes; destroyed without Commit it
// removes what was written.
class StagedFiles {
 public:
  explicit StagedFiles(std::filesystem::path target);
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Why the folder could not be made, or success.
  const Outcome& Status() const { return status_; }
  // Where the driver is to write the main file.
  std::filesystem::path Path() const { return folder_ / target_.filename(); }
  Outcome Commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path folder_;
  Outcome status_;
};

}  // namespace orvane::gdal
