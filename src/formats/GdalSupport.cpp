#include "formats/GdalSupport.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <fcntl.h>
#include <gdal.h>
#include <unistd.h>

#include <mutex>
#include <system_error>

#include "core/storage/AtomicFile.h"

namespace orvane::gdal {

namespace fs = std::filesystem;

namespace {

// Flushes a written file to disk before it replaces the user's.
bool SyncFile(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

}  // namespace

void EnsureGdal() {
  static std::once_flag once;
  std::call_once(once, [] {
    // No ".aux.xml" side files beside what we write: a file is complete alone.
    CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
    CPLSetErrorHandler(CPLQuietErrorHandler);
    GDALAllRegister();
  });
}

std::string LastError(std::string_view what) {
  const char* message = CPLGetLastErrorMsg();
  std::string text(what);
  if (message != nullptr && *message != '\0') text += std::string(": ") + message;
  return text;
}

StagedFiles::StagedFiles(fs::path target) : target_(std::move(target)) {
  folder_ = UniqueSiblingPath(target_, "part");
  std::error_code ec;
  if (!fs::create_directory(folder_, ec) || ec)
    status_ =
        Outcome::Failure(ErrorCode::CannotWrite,
                         target_.string() + ": cannot write beside it: " + ec.message(), target_);
}

StagedFiles::~StagedFiles() {
  std::error_code ec;
  if (status_.Ok()) fs::remove_all(folder_, ec);
}

Outcome StagedFiles::Commit() {
  if (!status_) return status_;
  std::error_code ec;
  std::vector<fs::path> written;
  for (const fs::directory_entry& e : fs::directory_iterator(folder_, ec))
    written.push_back(e.path());
  for (const fs::path& file : written)
    if (!SyncFile(file))
      return Outcome::Failure(ErrorCode::CannotWrite,
                              target_.string() + ": cannot write it to disk", target_);
  for (const fs::path& file : written) {
    fs::rename(file, target_.parent_path() / file.filename(), ec);
    if (ec)
      return Outcome::Failure(ErrorCode::CannotWrite,
                              target_.string() + ": cannot put it in place: " + ec.message(),
                              target_);
  }
  return {};
}

void DatasetCloser::operator()(GDALDataset* d) const {
  GDALClose(d);
}

bool CloseWritten(Dataset& ds, bool ok) {
  if (ok) CPLErrorReset();
  ds.reset();
  return ok && CPLGetLastErrorType() < CE_Failure;
}

}  // namespace orvane::gdal
