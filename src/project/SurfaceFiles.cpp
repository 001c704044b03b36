#include "project/SurfaceFiles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <system_error>

#include "core/AtomicFile.h"
#include "core/NumberText.h"
#include "project/ProjectState.h"
#include "project/TextIds.h"

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
constexpr std::array<RefusalText, 9> kRefusalTexts{{
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

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
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

// Copies through a temporary file beside the target.
bool CopyFileAtomically(const fs::path& from, const fs::path& to, std::string* error) {
  std::optional<FileReader> in = FileReader::Open(from, error);
  if (!in) return false;
  AtomicFileWriter out(to);
  std::vector<uint8_t> buf(size_t{1} << 20);
  uint64_t copied = 0;
  while (out.ok()) {
    const size_t n = in->Read(buf.data(), buf.size());
    if (n == 0) break;
    copied += n;
    out.Write(std::span<const uint8_t>(buf.data(), n));
  }
  if (out.ok() && copied < in->Size()) {
    if (error) *error = from.string() + ": read failed";
    return false;
  }
  if (!out.Commit()) {
    if (error) *error = out.Error();
    return false;
  }
  return true;
}

// Copies base + ext from one folder to another for every extension whose
// source exists; failures become warnings.
void CopySet(std::span<const std::string_view> exts, const fs::path& fromFolder,
             std::string_view fromName, const fs::path& toFolder, std::string_view toName,
             FileSetResult& r) {
  for (std::string_view ext : exts) {
    const fs::path from = fromFolder / (std::string(fromName) + std::string(ext));
    const fs::path to = toFolder / (std::string(toName) + std::string(ext));
    if (!FileExists(from) || SameFile(from, to)) continue;
    std::string error;
    if (CopyFileAtomically(from, to, &error))
      r.Written.push_back(to);
    else
      r.Warnings.push_back(error);
  }
}

void DeleteSet(std::span<const std::string_view> exts, std::string_view name, FileSetResult& r) {
  for (std::string_view ext : exts) {
    const fs::path file = SurfaceFile(name, ext);
    if (!FileExists(file)) continue;
    std::error_code ec;
    if (fs::remove(file, ec))
      r.Deleted.push_back(file);
    else
      r.Warnings.push_back(file.string() + ": " + ec.message());
  }
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

namespace {

// "x y z" of a vertex at out (room for kMaxXyzText); returns the end.
constexpr size_t kMaxXyzText = 3 * kMaxNumberText + 2;
char* WriteXyz(char* out, const PointRec& v) {
  out = WriteNumber(out, v.X);
  *out++ = ' ';
  out = WriteNumber(out, v.Y);
  *out++ = ' ';
  return WriteNumber(out, v.Z);
}

// "x y z" of every mesh point, formatted once: a point is a corner of about
// six triangles, and formatting numbers is most of the cost of a .tin file.
class PointTexts {
 public:
  explicit PointTexts(const TriangleMesh& mesh) : mesh_(mesh) {
    const int32_t n = mesh.PointCount();
    start_.reserve(static_cast<size_t>(n) + 2);
    start_.push_back(0);
    start_.push_back(0);  // point 0 (slot 0) is never used from the cache
    text_.resize(static_cast<size_t>(n) * 32 + kMaxXyzText);
    size_t used = 0;
    for (int32_t i = 1; i <= n; ++i) {
      if (text_.size() - used < kMaxXyzText) text_.resize(text_.size() * 3 / 2 + kMaxXyzText);
      used = static_cast<size_t>(WriteXyz(text_.data() + used, mesh.Point(i)) - text_.data());
      start_.push_back(used);
    }
    text_.resize(used + kShortText);  // every text can be read as a short one
  }
  // Writes "x y z" of vertex v at out (room for kMaxXyzText): from the cache
  // when v copies its point exactly, else formatted afresh (a vertex may keep
  // its own Z). Returns the end.
  char* Write(char* out, const PointRec& v) const {
    const double t = v.T;
    if (t >= 1 && t <= mesh_.PointCount() && t == static_cast<double>(static_cast<int32_t>(t))) {
      const auto i = static_cast<size_t>(t);
      const PointRec& p = mesh_.Point(static_cast<int32_t>(i));
      // Equal doubles print equally (0 and -0 both print "0").
      if (p.X == v.X && p.Y == v.Y && p.Z == v.Z) {
        const size_t n = start_[i + 1] - start_[i];
        // A fixed-size copy is a few moves; the bytes past n are overwritten.
        if (n <= kShortText)
          std::memcpy(out, text_.data() + start_[i], kShortText);
        else
          std::memcpy(out, text_.data() + start_[i], n);
        return out + n;
      }
    }
    return WriteXyz(out, v);
  }

 private:
  static constexpr size_t kShortText = 48;
  static_assert(kShortText <= kMaxXyzText);
  const TriangleMesh& mesh_;
  std::vector<char> text_;
  std::vector<size_t> start_;
};

}  // namespace

bool WriteTriangleFile(TriangleMesh& mesh, const fs::path& path, std::string* error) {
  AtomicFileWriter out(path);
  constexpr size_t kBatch = size_t{1} << 20;  // bytes handed to the writer at once
  constexpr size_t kMaxLine = 3 * kMaxXyzText + 16;
  std::vector<char> batch(kBatch + kMaxLine);
  const int32_t n = mesh.TriangleCount();
  for (int32_t i = 1; i <= n; ++i)
    if (mesh.GetTriangleOrientation(i) == 1) mesh.InvertTriangleOrientation(i);
  const PointTexts points(mesh);
  const auto put = [](char* p, std::string_view s) {
    std::memcpy(p, s.data(), s.size());
    return p + s.size();
  };
  char* p = batch.data();
  for (int32_t i = 1; i <= n && out.ok(); ++i) {
    const TriangleRec& t = mesh.Triangle(i);
    p = points.Write(put(p, "(("), t.A);
    p = points.Write(put(p, ")("), t.B);
    p = points.Write(put(p, ")("), t.C);
    p = put(p, "))\r\n");
    if (static_cast<size_t>(p - batch.data()) >= kBatch) {
      out.Write(std::string_view(batch.data(), static_cast<size_t>(p - batch.data())));
      p = batch.data();
    }
  }
  out.Write(std::string_view(batch.data(), static_cast<size_t>(p - batch.data())));
  if (!out.Commit()) {
    if (error) *error = out.Error();
    return false;
  }
  return true;
}

FileSetResult ScanProjectFolder(const fs::path& folder, std::string_view extension) {
  FileSetResult r;
  for (const std::string& file : ListFiles(folder, extension)) {
    auto mesh = std::make_shared<TriangleMesh>();
    std::string reason;
    if (!mesh->LoadFromBinary(folder / file, &reason)) r.Warnings.push_back(reason);
    if (SurfaceName(*mesh).empty()) mesh->Tag = BaseName(file);
    Project().Surfaces.push_back(mesh);
  }
  return r;
}

FileSetResult ImportSurfaceFile(const fs::path& path) {
  auto mesh = std::make_shared<TriangleMesh>();
  std::string reason;
  if (!mesh->LoadFromBinary(path, &reason))
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

  FileSetResult r;
  Project().Surfaces.push_back(mesh);
  r.Surface = mesh;
  CopySet(kImportCopies, sourceFolder, sourceName, Project().ProjectFolder, name, r);
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

  auto copy = std::make_shared<TriangleMesh>(surface->Clone());
  copy->Tag = newName;
  std::string reason;
  copy->SaveToBinary(targetPath, &reason);
  if (copy->LastErrorCode != 0) return Refuse(FileSetRefusal::WriteFailed, reason);
  FileSetResult r;
  r.Written.push_back(targetPath);
  CopySet(kSaveAsCopies, Project().ProjectFolder, oldName, targetFolder, newName, r);
  Project().Surfaces.push_back(copy);
  r.Surface = copy;
  return r;
}

FileSetResult RenameSurface(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed) {
  if (!surface) return Refuse(FileSetRefusal::NoSurface);
  const std::string newName = Upper(typed);
  const std::string oldName = SurfaceName(*surface);
  if (const FileSetRefusal bad = CheckSurfaceName(newName); bad != FileSetRefusal::None)
    return Refuse(bad, newName);
  if (newName == oldName) return Refuse(FileSetRefusal::SameName, newName);
  if (NameUsedByOther(newName, surface.get()) || FileExists(SurfaceFile(newName, ".dsp")))
    return Refuse(FileSetRefusal::NameInUse, newName);

  const Variant previousTag = surface->Tag;
  surface->Tag = newName;
  std::string reason;
  const fs::path dsp = SurfaceFile(newName, ".dsp");
  surface->SaveToBinary(dsp, &reason);
  if (surface->LastErrorCode != 0) {
    surface->Tag = previousTag;
    return Refuse(FileSetRefusal::WriteFailed, reason);
  }
  FileSetResult r;
  r.Written.push_back(dsp);
  CopySet(kRenameCopies, Project().ProjectFolder, oldName, Project().ProjectFolder, newName, r);
  // Old files go only when every copy was made; a failed copy keeps both
  // names' files rather than lose data.
  if (r.Warnings.empty()) {
    DeleteSet(kRenameDeletes, oldName, r);
  } else {
    r.Warnings.push_back("the files of " + oldName + " were kept");
  }
  return r;
}

FileSetResult DeleteSurfaceFiles(std::string_view name) {
  if (const FileSetRefusal bad = CheckSurfaceName(name); bad != FileSetRefusal::None)
    return Refuse(bad, name);
  FileSetResult r;
  DeleteSet(kDeleteList, name, r);
  auto& all = Project().Surfaces;
  all.erase(std::remove_if(all.begin(), all.end(),
                           [&](const auto& s) { return s && SurfaceName(*s) == name; }),
            all.end());
  if (Project().CurrentSurface && SurfaceName(*Project().CurrentSurface) == name)
    Project().CurrentSurface.reset();
  return r;
}

}  // namespace orvane
