#include "project/files/SurfaceFiles.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <semaphore>
#include <system_error>

#include "core/storage/AtomicFile.h"
#include "core/storage/FolderTransaction.h"
#include "core/support/NumberText.h"
#include "core/support/Threads.h"
#include "formats/PointTexts.h"
#include "project/actions/ProjectState.h"
#include "project/files/NameCase.h"
#include "project/settings/TextIds.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

struct RefusalText {
  FileSetRefusal code;
  int32_t textNumber;  // entry of the language table; 0 keeps the English default
  const char* english;
};

// The one place that words the refusals: the language table's entry, or
// the English default while the table has none.
constexpr std::array<RefusalText, 10> kRefusalTexts{{
    {FileSetRefusal::None, 0, ""},
    {FileSetRefusal::EmptyName, text::kNameEmpty, "The name may not be empty."},
    {FileSetRefusal::SameName, text::kRenameSameName,
     "The new name is the same as the current name."},
    {FileSetRefusal::InvalidName, text::kNameInvalid,
     "The name may not contain a path separator or characters that are invalid in file names, "
     "nor be \".\" or \"..\"."},
    {FileSetRefusal::NameInUse, text::kNameInUse,
     "Another surface of the project already uses this name."},
    {FileSetRefusal::OwnFiles, text::kSaveOverOwnFiles,
     "A surface cannot be saved over its own files."},
    {FileSetRefusal::NoSurface, text::kNoSurfaceSelected, "No surface is selected."},
    {FileSetRefusal::LoadFailed, text::kCannotLoadSurface, "The surface file could not be loaded:"},
    {FileSetRefusal::WriteFailed, text::kCannotWriteFile, "The file could not be written:"},
    {FileSetRefusal::NameTooLong, 0,
     "The name is too long: with its extension a file name holds at most 255 bytes."},
}};

const RefusalText& Entry(FileSetRefusal code) {
  for (const RefusalText& t : kRefusalTexts)
    if (t.code == code) return t;
  return kRefusalTexts[0];
}

FileSetResult Refuse(FileSetRefusal code, std::string_view detail = {}) {
  FileSetResult r;
  r.Refusal = code;
  r.Message = RefusalMessage(code);
  // "The file could not be written: <reason>", "<name>: The name may not ...".
  if (!detail.empty())
    r.Message = !r.Message.empty() && r.Message.back() == ':'
                    ? r.Message + " " + std::string(detail)
                    : std::string(detail) + ": " + r.Message;
  return r;
}

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The folder part of a path typed with either separator ("" when none).
fs::path FolderOf(const fs::path& path) {
  const std::string s = path.string();
  size_t cut = s.size();
  while (cut > 0 && !IsSeparator(s[cut - 1])) --cut;
  if (cut == 0) return fs::path(".");
  return fs::path(s.substr(0, cut));
}

// True when a and b name the same file (both must exist) or the same path.
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

// Copies of a file set, all or nothing: each is written to a temporary file
// beside its target, and only when every one is complete are they renamed
// into place, so a failure (a full disk, a folder in the way) leaves every
// target as it was.
class StagedCopies {
 public:
  explicit StagedCopies(const fs::path& toFolder) : transaction_(toFolder) {}

  // Copies base + ext from one folder to another for every extension whose
  // source exists, each under a temporary name that becomes its own at
  // Commit. False, with the reason, at the first copy that fails.
  bool Stage(std::span<const std::string_view> exts, const fs::path& fromFolder,
             std::string_view fromName, const fs::path& toFolder, std::string_view toName,
             std::string* error) {
    for (std::string_view ext : exts) {
      const fs::path from = fromFolder / (std::string(fromName) + std::string(ext));
      const fs::path to = toFolder / (std::string(toName) + std::string(ext));
      if (!FileExists(from) || SameFile(from, to)) continue;
      Result<FileReader> in = FileReader::Open(from);
      if (!in) {
        if (error) *error = in.Error().Text();
        return false;
      }
      AtomicFileWriter out(to);
      std::vector<uint8_t> buf(size_t{1} << 20);
      uint64_t copied = 0;
      while (out.ok()) {
        const size_t n = in->Read(buf.data(), buf.size());
        if (n == 0) break;
        copied += n;
        out.Write(std::span<const uint8_t>(buf.data(), n));
      }
      if (!out.ok()) {
        if (error) *error = out.Error();
        return false;
      }
      if (copied < in->Size()) {
        if (error) *error = from.string() + ": read failed";
        return false;
      }
      if (Outcome staged = transaction_.Stage(out); !staged) {
        if (error) *error = staged.Text();
        return false;
      }
    }
    return true;
  }
  // A surface saved under its new name: written beside its target under a
  // name of its own, renamed with the rest.
  bool StageSurface(TriangleMesh& mesh, const fs::path& target, std::string* error) {
    const fs::path staged = UniqueSiblingPath(target, "building");
    const Outcome saved = mesh.SaveToBinary(staged);
    if (error && !saved) *error = saved.Text();
    if (mesh.LastErrorCode != 0) {
      std::error_code ec;
      fs::remove(staged, ec);
      // The staged name is ours, not the user's.
      if (error)
        if (const size_t at = error->find(staged.string()); at != std::string::npos)
          error->replace(at, staged.string().size(), target.string());
      return false;
    }
    transaction_.Stage(staged, target);
    return true;
  }
  void Remove(const fs::path& file) { transaction_.Remove(file); }

  // Puts every staged file in place and removes the listed ones, all or
  // nothing as any later reader sees it (a kill half way is completed by the
  // next command that opens the folder); records each in r.
  bool Commit(FileSetResult& r, std::string* error) {
    if (Outcome committed = transaction_.Commit(); !committed) {
      if (error) *error = committed.Text();
      return false;
    }
    for (const auto& step : transaction_.Renames()) r.Written.push_back(step.To);
    for (const fs::path& f : transaction_.Removals()) r.Deleted.push_back(f);
    return true;
  }

 private:
  FolderTransaction transaction_;
};

// The first existing file of name's set in folder (any of the extensions
// the program ever keeps for a surface), or an empty path.
fs::path ExistingFileOfSet(const fs::path& folder, std::string_view name) {
  for (std::string_view ext : kDeleteList) {
    const fs::path file = folder / (std::string(name) + std::string(ext));
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec))) return file;
  }
  return {};
}

// Lists for removal the files of exts that exist for name in the project
// folder.
void StageDeletes(std::span<const std::string_view> exts, std::string_view name,
                  StagedCopies& change) {
  for (std::string_view ext : exts)
    if (const fs::path file = SurfaceFile(name, ext); FileExists(file)) change.Remove(file);
}

bool NameUsedByOther(std::string_view name, const TriangleMesh* except) {
  for (const auto& s : Project().Surfaces)
    if (s && s.get() != except && SurfaceName(*s) == name) return true;
  return false;
}

}  // namespace

int32_t RefusalTextNumber(FileSetRefusal code) {
  return Entry(code).textNumber;
}

std::string RefusalMessage(FileSetRefusal code) {
  const RefusalText& t = Entry(code);
  if (t.textNumber > 0) {
    const std::string& text = Project().Text(t.textNumber);
    if (!text.empty()) return text;
  }
  return t.english;
}

bool FileExists(const fs::path& path) {
  std::error_code ec;
  const fs::file_status s = fs::status(path, ec);
  return !ec && fs::exists(s) && !fs::is_directory(s);
}

std::string BaseName(std::string_view path) {
  size_t start = path.size();
  while (start > 0 && !IsSeparator(path[start - 1])) --start;
  std::string_view name = path.substr(start);
  return std::string(name.substr(0, name.find('.')));
}

std::vector<std::string> ListFiles(const fs::path& folder, std::string_view extension) {
  std::vector<std::string> names;
  std::string suffix(1, '.');
  suffix += Lower(extension);
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code sec;
    if (!it->is_regular_file(sec)) continue;
    const std::string name = it->path().filename().string();
    if (name.size() > suffix.size() &&
        Lower(std::string_view(name).substr(name.size() - suffix.size())) == suffix)
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string SurfaceName(const TriangleMesh& mesh) {
  return VariantToText(mesh.Tag);
}

fs::path SurfaceFile(std::string_view name, std::string_view ext) {
  return fs::path(Project().ProjectFolder) / (std::string(name) + std::string(ext));
}

FileSetRefusal CheckSurfaceName(std::string_view name) {
  if (name.empty()) return FileSetRefusal::EmptyName;
  if (name == "." || name == "..") return FileSetRefusal::InvalidName;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
      return FileSetRefusal::InvalidName;
  }
  if (name.back() == ' ' || name.back() == '.') return FileSetRefusal::InvalidName;
  if (name.size() > kMaxSurfaceName) return FileSetRefusal::NameTooLong;
  return FileSetRefusal::None;
}

void AppendTriangleLine(std::string& out, const PointRec& a, const PointRec& b, const PointRec& c) {
  out += "((";
  for (const PointRec* v : {&a, &b, &c}) {
    if (v != &a) out += ")(";
    AppendNumber(out, v->X);
    out += ' ';
    AppendNumber(out, v->Y);
    out += ' ';
    AppendNumber(out, v->Z);
  }
  out += "))\r\n";
}

bool WriteTriangleLines(const TriangleMesh& mesh, AtomicFileWriter& out, const PointTexts* texts) {
  // Batches of triangles, about 0.8 MB of text each: with two threads the
  // second formats every other batch while this one formats and writes the
  // rest, in order, so the file is the same either way.
  constexpr int32_t kBatch = 8192;
  constexpr size_t kMaxLine = 3 * kMaxXyzText + 16;
  const int32_t n = mesh.TriangleCount();
  std::optional<PointTexts> own;
  if (texts == nullptr) texts = &own.emplace(mesh);
  const PointTexts& points = *texts;
  const auto put = [](char* p, std::string_view s) {
    std::memcpy(p, s.data(), s.size());
    return p + s.size();
  };
  // Batch b (0-based) into text; returns its length.
  const auto format = [&](int32_t b, std::vector<char>& text) {
    text.resize(static_cast<size_t>(kBatch) * kMaxLine);
    char* p = text.data();
    const int32_t last = std::min(n, (b + 1) * kBatch);
    for (int32_t i = b * kBatch + 1; i <= last; ++i) {
      const TriangleRec& t = mesh.Triangle(i);
      // A counter-clockwise (or degenerate) triangle is written inverted.
      const bool invert = mesh.GetTriangleOrientation(i) == 1;
      p = points.Write(put(p, "(("), invert ? t.C : t.A);
      p = points.Write(put(p, ")("), t.B);
      p = points.Write(put(p, ")("), invert ? t.A : t.C);
      p = put(p, "))\r\n");
    }
    return static_cast<size_t>(p - text.data());
  };
  const int32_t batches = (n + kBatch - 1) / kBatch;
  std::vector<char> mine;
  if (batches < 2 || !TwoThreads()) {
    for (int32_t b = 0; b < batches && out.ok(); ++b)
      out.Write(std::string_view(mine.data(), format(b, mine)));
    return out.ok();
  }
  // The helper formats the odd batches into its own buffer, one at a time:
  // ready says a batch is in it, free that it has been written.
  std::vector<char> theirs;
  size_t theirsUsed = 0;
  std::counting_semaphore<> ready(0), free(1);
  std::atomic<bool> stop{false};
  RunBoth(
      [&] {
        for (int32_t b = 1; b < batches; b += 2) {
          free.acquire();
          if (stop.load()) return;
          theirsUsed = format(b, theirs);
          ready.release();
        }
      },
      [&] {
        // However this side ends, the helper is let go.
        struct Release {
          std::atomic<bool>& stop;
          std::counting_semaphore<>& free;
          ~Release() {
            stop.store(true);
            free.release();
          }
        } release{stop, free};
        for (int32_t b = 0; b < batches && out.ok(); b += 2) {
          out.Write(std::string_view(mine.data(), format(b, mine)));
          if (b + 1 >= batches) break;
          ready.acquire();
          if (out.ok()) out.Write(std::string_view(theirs.data(), theirsUsed));
          free.release();
        }
      });
  return out.ok();
}

void InvertToClockwise(TriangleMesh& mesh) {
  const int32_t n = mesh.TriangleCount();
  for (int32_t i = 1; i <= n; ++i)
    if (mesh.GetTriangleOrientation(i) == 1) mesh.InvertTriangleOrientation(i);
}

bool WriteTriangleText(TriangleMesh& mesh, AtomicFileWriter& out) {
  const bool ok = WriteTriangleLines(mesh, out);
  InvertToClockwise(mesh);
  return ok;
}

bool WriteTriangleFile(TriangleMesh& mesh, const fs::path& path, std::string* error) {
  AtomicFileWriter out(path);
  if (!WriteTriangleText(mesh, out) || !out.Commit()) {
    if (error) *error = out.Error();
    return false;
  }
  return true;
}

std::string SurfaceNameOfFile(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
}

std::shared_ptr<TriangleMesh> LoadSurfaceFile(const fs::path& folder, const std::string& file,
                                              std::vector<std::string>& warnings) {
  auto mesh = std::make_shared<TriangleMesh>();
  std::string reason;
  bool loaded = false;
  try {
    const Outcome read = mesh->LoadFromBinary(folder / file);
    loaded = read.Ok();
    reason = read.Text();
  } catch (const std::bad_alloc&) {
    // One surface too large for this machine's memory does not close the
    // project: it is listed empty, as a file that does not load.
    mesh = std::make_shared<TriangleMesh>();
    reason = "not enough memory to load it";
  }
  const std::string path = (folder / file).string();
  if (!loaded) warnings.push_back(reason.rfind(path, 0) == 0 ? reason : path + ": " + reason);
  // The file names the surface: its companions, and every file written for
  // it, go by that name.
  const std::string name = SurfaceNameOfFile(file);
  // An older project's ISO-8859-1 name under a file named in UTF-8 is the
  // same name.
  const auto utf8 = [](std::string_view latin1) {
    std::string out;
    for (const unsigned char c : latin1) {
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  };
  if (const std::string stored = SurfaceName(*mesh);
      loaded && !stored.empty() && stored != name && utf8(stored) != name)
    warnings.push_back(path + ": holds the surface named \"" + stored + "\"; it is the surface " +
                       name + ", the name of its file");
  mesh->Tag = name;
  return mesh;
}

FileSetResult ScanProjectFolder(const fs::path& folder, std::string_view extension) {
  FileSetResult r;
  // A change a killed command left half done is finished first, so that the
  // scan sees the folder as that change left it or as it was before.
  FolderRecovery recovery = RecoverFolder(folder);
  for (std::string& w : recovery.Warnings) r.Warnings.push_back(std::move(w));
  const FolderLock lock(folder, FolderLock::Mode::Shared);
  for (const std::string& file : ListFiles(folder, extension)) {
    const FileStamp stamp = StampOf(folder / file);
    auto mesh = LoadSurfaceFile(folder, file, r.Warnings);
    Project().LoadedFiles[mesh] = stamp;
    Project().Surfaces.push_back(std::move(mesh));
  }
  return r;
}

FileSetResult ImportSurfaceFile(const fs::path& path) {
  const FolderLock lock(Project().ProjectFolder);
  auto mesh = std::make_shared<TriangleMesh>();
  const Outcome loaded = mesh->LoadFromBinary(path);
  const std::string& reason = loaded.Text();
  if (!loaded)
    return Refuse(FileSetRefusal::LoadFailed,
                  reason.rfind(path.string(), 0) == 0 ? reason : path.string() + ": " + reason);
  // The companions sit beside the chosen file and share its name without
  // the ".dsp", so "plan.rev.dsp" brings "plan.rev.bnd".
  const fs::path sourceFolder = FolderOf(path);
  std::string sourceName = path.filename().string();
  if (const size_t dot = sourceName.rfind('.'); dot != std::string::npos) sourceName.resize(dot);
  if (SurfaceName(*mesh).empty()) mesh->Tag = BaseName(path.string());
  const std::string name = SurfaceName(*mesh);
  if (const FileSetRefusal bad = CheckSurfaceName(name); bad != FileSetRefusal::None)
    return Refuse(bad, name);
  if (NameUsedByOther(name, nullptr)) return Refuse(FileSetRefusal::NameInUse, name);
  // Files of that name without a surface (left behind, or made by hand)
  // would be overwritten or, worse, taken as the imported surface's own;
  // unless they are the very files imported.
  const bool ownSet = SameFile(path, SurfaceFile(name, ".dsp"));
  if (const fs::path taken = ExistingFileOfSet(Project().ProjectFolder, name);
      !taken.empty() && !ownSet)
    return Refuse(FileSetRefusal::NameInUse, taken.string());

  StagedCopies copies(Project().ProjectFolder);
  FileSetResult r;
  std::string error;
  if (!copies.Stage(kImportCopies, sourceFolder, sourceName, Project().ProjectFolder, name,
                    &error) ||
      !copies.Commit(r, &error))
    return Refuse(FileSetRefusal::WriteFailed, error);
  r.Surface = mesh;
  return r;
}

FileSetResult SaveSurfaceAs(const std::shared_ptr<TriangleMesh>& surface,
                            const fs::path& targetPath) {
  if (!surface) return Refuse(FileSetRefusal::NoSurface);
  const std::string oldName = SurfaceName(*surface);
  const std::string newName = BaseName(targetPath.string());
  if (const FileSetRefusal bad = CheckSurfaceName(newName); bad != FileSetRefusal::None)
    return Refuse(bad, newName);
  const fs::path targetFolder = FolderOf(targetPath);
  // Writing onto the surface's own files would replace each file by itself
  // at best and truncate it at worst.
  if (SameFile(targetPath, SurfaceFile(oldName, ".dsp")) ||
      SameFile(targetFolder / (newName + ".dsp"), SurfaceFile(oldName, ".dsp")))
    return Refuse(FileSetRefusal::OwnFiles, targetPath.string());

  // The companions are found by the name before ".dsp": any other target
  // would make a surface that no scan finds.
  if (Lower(targetPath.extension().string()) != ".dsp" ||
      targetPath.filename().string() != newName + targetPath.extension().string())
    return Refuse(FileSetRefusal::WriteFailed,
                  targetPath.string() + ": a surface file is named NAME.dsp");
  // Another surface's files are never replaced (nor taken over: its zones
  // and breaklines would become the copy's).
  const FolderLock lock(targetFolder);
  if (const fs::path taken = ExistingFileOfSet(targetFolder, newName); !taken.empty())
    return Refuse(FileSetRefusal::NameInUse, taken.string());

  StagedCopies copies(targetFolder);
  std::string error;
  // The same points in the same order, unused ones included, only renamed:
  // a reindexed copy would number its points differently from the original.
  auto copy = std::make_shared<TriangleMesh>(*surface);
  copy->Tag = newName;
  if (!copies.StageSurface(*copy, targetFolder / (newName + ".dsp"), &error) ||
      !copies.Stage(kSaveAsCopies, Project().ProjectFolder, oldName, targetFolder, newName, &error))
    return Refuse(FileSetRefusal::WriteFailed, error);
  FileSetResult r;
  if (!copies.Commit(r, &error)) return Refuse(FileSetRefusal::WriteFailed, error);
  if (SameFile(targetFolder, Project().ProjectFolder)) r.Surface = copy;
  return r;
}

FileSetResult RenameSurface(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed) {
  if (!surface) return Refuse(FileSetRefusal::NoSurface);
  const FolderLock lock(Project().ProjectFolder);
  const std::string newName = UpperCaseName(typed);
  const std::string oldName = SurfaceName(*surface);
  if (const FileSetRefusal bad = CheckSurfaceName(newName); bad != FileSetRefusal::None)
    return Refuse(bad, newName);
  if (newName == oldName) return Refuse(FileSetRefusal::SameName, newName);
  if (NameUsedByOther(newName, surface.get())) return Refuse(FileSetRefusal::NameInUse, newName);
  if (const fs::path taken = ExistingFileOfSet(Project().ProjectFolder, newName); !taken.empty())
    return Refuse(FileSetRefusal::NameInUse, taken.string());

  // The new files are complete before any takes its name, and the old ones
  // go in the same change: a reader sees the surface under one name or the
  // other, never both or half of each.
  StagedCopies change(Project().ProjectFolder);
  std::string error;
  // The surface itself is not touched (the windows read it meanwhile): the
  // file is written from a copy under the new name.
  TriangleMesh renamed = *surface;
  renamed.Tag = newName;
  FileSetResult r;
  if (!change.StageSurface(renamed, SurfaceFile(newName, ".dsp"), &error) ||
      !change.Stage(kRenameCopies, Project().ProjectFolder, oldName, Project().ProjectFolder,
                    newName, &error) ||
      (StageDeletes(kRenameDeletes, oldName, change), !change.Commit(r, &error)))
    return Refuse(FileSetRefusal::WriteFailed, error);
  return r;
}

FileSetResult DeleteSurfaceFiles(std::string_view name) {
  if (const FileSetRefusal bad = CheckSurfaceName(name); bad != FileSetRefusal::None)
    return Refuse(bad, name);
  const FolderLock lock(Project().ProjectFolder);
  StagedCopies change(Project().ProjectFolder);
  StageDeletes(kDeleteList, name, change);
  FileSetResult r;
  std::string error;
  if (!change.Commit(r, &error)) return Refuse(FileSetRefusal::WriteFailed, error);
  return r;
}

}  // namespace orvane
