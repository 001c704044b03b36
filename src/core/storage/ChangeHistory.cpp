#include "core/storage/ChangeHistory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "core/storage/AtomicFile.h"
#include "core/storage/FolderTransaction.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRecordHeader = "ORVANE-CHANGE 1";
constexpr std::string_view kStateHeader = "ORVANE-UNDO 1";
constexpr uint64_t kMaxBookkeepingBytes = 4 << 20;

// What tells one version of a file from another without reading it: the
// program replaces files, it never rewrites one in place.
struct Stamp {
  bool exists = false;
  int64_t size = 0, mtime = 0;  // bytes; nanoseconds since the epoch
  bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const fs::path& file) {
  struct stat st {};
  if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return {true, static_cast<int64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// A second name for the same bytes; a copy with the same modification time
// where the file system has no links.
bool Keep(const fs::path& from, const fs::path& to) {
  if (::link(from.c_str(), to.c_str()) == 0) return true;
  std::error_code ec;
  if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) return false;
  fs::last_write_time(to, fs::last_write_time(from, ec), ec);
  return !ec;
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::optional<std::string> Unhex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
    if (ec != std::errc() || end != hex.data() + i + 2) return std::nullopt;
    out += static_cast<char>(value);
  }
  return out;
}

bool PlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  while (!line.empty()) {
    const size_t sp = line.find(' ');
    words.push_back(line.substr(0, sp));
    if (sp == std::string_view::npos) break;
    line.remove_prefix(sp + 1);
  }
  return words;
}

std::optional<int64_t> Integer(std::string_view text) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The lines of a bookkeeping file after its header, up to "END"; nullopt
// for anything incomplete or foreign.
std::optional<std::vector<std::string_view>> Body(std::string_view text, std::string_view header) {
  std::vector<std::string_view> lines;
  bool first = true, end = false;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    if (nl == std::string_view::npos || end) return std::nullopt;
    const std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl + 1);
    if (first) {
      if (line != header) return std::nullopt;
      first = false;
    } else if (line == "END") {
      end = true;
    } else {
      lines.push_back(line);
    }
  }
  if (!end) return std::nullopt;
  return lines;
}

Result<std::string> ReadText(const fs::path& file) {
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(file, kMaxBookkeepingBytes);
  if (!bytes) return bytes.Error();
  return std::string(bytes->begin(), bytes->end());
}

Outcome WriteText(const fs::path& file, const std::string& text) {
  return WriteFileAtomically(
      file, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// A change as its record keeps it.
struct Record {
  std::string title;
  struct File {
    std::string name;
    Stamp before, after;
  };
  std::vector<File> files;
};

std::string FormatRecord(const Record& r) {
  std::string text(kRecordHeader);
  text += "\nT " + Hex(r.title) + '\n';
  for (const Record::File& f : r.files) {
    text += "F " + Hex(f.name);
    for (const Stamp& s : {f.before, f.after})
      text += ' ' + std::to_string(s.exists) + ' ' + std::to_string(s.size) + ' ' +
              std::to_string(s.mtime);
    text += '\n';
  }
  return text + "END\n";
}

std::optional<Record> ParseRecord(std::string_view text) {
  const auto lines = Body(text, kRecordHeader);
  if (!lines) return std::nullopt;
  Record r;
  for (std::string_view line : *lines) {
    const std::vector<std::string_view> w = Words(line);
    if (w.size() == 2 && w[0] == "T") {
      auto title = Unhex(w[1]);
      if (!title) return std::nullopt;
      r.title = std::move(*title);
      continue;
    }
    if (w.size() != 8 || w[0] != "F") return std::nullopt;
    auto name = Unhex(w[1]);
    if (!name || !PlainName(*name)) return std::nullopt;
    Record::File f{std::move(*name), {}, {}};
    for (int k = 0; k < 2; ++k) {
      const auto exists = Integer(w[2 + 3 * k]), size = Integer(w[3 + 3 * k]),
                 mtime = Integer(w[4 + 3 * k]);
      if (!exists || !size || !mtime || *exists < 0 || *exists > 1) return std::nullopt;
      (k == 0 ? f.before : f.after) = {*exists == 1, *size, *mtime};
    }
    r.files.push_back(std::move(f));
  }
  return r;
}

// The undo state: the changes done (oldest first) and undone (the most
// recently undone last), by the names of their history folders.
struct State {
  std::vector<std::string> done, undone;
};

std::string FormatState(const State& s) {
  std::string text(kStateHeader);
  text += '\n';
  for (const std::string& id : s.done) text += "D " + id + '\n';
  for (const std::string& id : s.undone) text += "U " + id + '\n';
  return text + "END\n";
}

bool ChangeId(std::string_view id) {
  return id.size() == 7 && id[0] == 'c' &&
         std::all_of(id.begin() + 1, id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

Result<State> ReadState(const fs::path& folder) {
  const fs::path file = folder / kUndoStateName;
  if (!StampOf(file).exists) return State{};
  Result<std::string> text = ReadText(file);
  if (!text) return text.Error();
  const auto lines = Body(*text, kStateHeader);
  State s;
  bool valid = lines.has_value();
  for (std::string_view line : lines ? *lines : std::vector<std::string_view>{}) {
    const std::vector<std::string_view> w = Words(line);
    if (w.size() != 2 || !ChangeId(w[1]) || (w[0] != "D" && w[0] != "U")) {
      valid = false;
      break;
    }
    (w[0] == "D" ? s.done : s.undone).emplace_back(w[1]);
  }
  if (!valid)
    return Outcome::Failure(ErrorCode::Unreadable,
                            file.string() + ": not an undo state of this program", file);
  return s;
}

fs::path HistoryOf(const fs::path& folder) {
  return folder / kHistoryFolderName;
}

Result<Record> ReadRecord(const fs::path& folder, const std::string& id) {
  const fs::path file = HistoryOf(folder) / id / "record";
  Result<std::string> text = ReadText(file);
  if (!text) return text.Error();
  std::optional<Record> r = ParseRecord(*text);
  if (!r)
    return Outcome::Failure(ErrorCode::Unreadable,
                            file.string() + ": not a change record of this program", file);
  return std::move(*r);
}

ChangeSummary Summary(const Record& r) {
  ChangeSummary s{r.title, {}};
  for (const Record::File& f : r.files)
    s.Files.push_back({f.name, f.before.exists, f.after.exists});
  return s;
}

// The next free change name after every one in the history folder.
std::string NextId(const fs::path& history) {
  int64_t highest = 0;
  std::error_code ec;
  for (fs::directory_iterator it(history, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (ChangeId(name)) highest = std::max(highest, *Integer(std::string_view(name).substr(1)));
  }
  std::string digits = std::to_string((highest + 1) % 1000000);
  return "c" + std::string(6 - digits.size(), '0') + digits;
}

// Bytes the kept versions of the named changes hold beyond the folder's
// current files (each file once, however many names it has).
uint64_t HistoryBytes(const fs::path& folder, const std::vector<std::string>& ids) {
  std::set<std::pair<dev_t, ino_t>> seen;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
      seen.insert({st.st_dev, st.st_ino});
  }
  uint64_t bytes = 0;
  for (const std::string& id : ids)
    for (const char* side : {"old", "new"}) {
      for (fs::directory_iterator it(HistoryOf(folder) / id / side, ec), end; !ec && it != end;
           it.increment(ec)) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && seen.insert({st.st_dev, st.st_ino}).second)
          bytes += static_cast<uint64_t>(st.st_size);
      }
      ec.clear();
    }
  return bytes;
}

// Removes what the state does not name: changes forgotten, and what a
// killed process left half made.
void CleanHistory(const fs::path& folder, const State& state) {
  std::unordered_set<std::string> named(state.done.begin(), state.done.end());
  named.insert(state.undone.begin(), state.undone.end());
  std::error_code ec;
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(HistoryOf(folder), ec), end; !ec && it != end; it.increment(ec))
    if (!named.contains(it->path().filename().string())) stale.push_back(it->path());
  for (const fs::path& p : stale) fs::remove_all(p, ec);
}

// The recording in progress: one per process, as changes of a project
// never run two at a time.
struct Active {
  std::mutex mutex;
  int depth = 0;
  fs::path folder, canonical, pending;
  std::string title;
  HistoryLimits limits;
  std::unique_ptr<FolderLock> lock;
  std::vector<Record::File> files;
  std::unordered_set<std::string> names;
  bool broken = false;  // a version could not be kept: the change is not undoable
};

Active& Recording() {
  static Active active;
  return active;
}

std::atomic<bool> recording{false};

fs::path Canonical(const fs::path& folder) {
  std::error_code ec;
  fs::path c = fs::weakly_canonical(folder.empty() ? fs::path(".") : folder, ec);
  return ec ? folder : c;
}

// The end of the outermost recording: the new versions and the record next
// to the old ones, the change named in the state, the limits applied.
void Finish(Active& a) {
  std::error_code ec;
  if (a.files.empty() || a.broken) {
    fs::remove_all(a.pending, ec);
    return;
  }
  Record record{a.title, std::move(a.files)};
  fs::create_directories(a.pending / "new", ec);
  for (Record::File& f : record.files) {
    const fs::path live = a.folder / f.name;
    f.after = StampOf(live);
    if (f.after.exists && !Keep(live, a.pending / "new" / f.name)) a.broken = true;
  }
  Result<State> state = ReadState(a.folder);
  if (a.broken || !state || !WriteText(a.pending / "record", FormatRecord(record))) {
    fs::remove_all(a.pending, ec);
    return;
  }
  const std::string id = NextId(HistoryOf(a.folder));
  fs::rename(a.pending, HistoryOf(a.folder) / id, ec);
  if (ec) {
    fs::remove_all(a.pending, ec);
    return;
  }
  State s = std::move(*state);
  s.undone.clear();
  s.done.push_back(id);
  const size_t most = static_cast<size_t>(std::max(a.limits.Changes, 0));
  if (s.done.size() > most) s.done.erase(s.done.begin(), s.done.end() - static_cast<long>(most));
  while (!s.done.empty() && HistoryBytes(a.folder, s.done) > a.limits.Bytes)
    s.done.erase(s.done.begin());
  if (WriteText(a.folder / kUndoStateName, FormatState(s))) CleanHistory(a.folder, s);
}

// The files of the change made as they were before it (back) or after it.
Result<ChangeSummary> Move(const fs::path& folder, bool back) {
  const FolderLock lock(folder);
  RecoverFolder(folder);
  Result<State> state = ReadState(folder);
  if (!state) return state.Error();
  State s = std::move(*state);
  std::vector<std::string>& from = back ? s.done : s.undone;
  std::vector<std::string>& to = back ? s.undone : s.done;
  if (from.empty())
    return Outcome::Failure(ErrorCode::Refused, back ? "nothing to undo" : "nothing to redo");
  const std::string id = from.back();
  Result<Record> record = ReadRecord(folder, id);
  if (!record) return record.Error();
  const char* restored = back ? "old" : "new";
  for (const Record::File& f : record->files)
    if (StampOf(folder / f.name) != (back ? f.after : f.before))
      return Outcome::Failure(ErrorCode::Changed,
                              (folder / f.name).string() + " changed since \"" + record->title +
                                  "\"; " + (back ? "undoing" : "redoing") +
                                  " it would lose that change, so nothing was changed",
                              folder / f.name);
  FolderTransaction change(folder);
  for (const Record::File& f : record->files) {
    const fs::path target = folder / f.name;
    if (!(back ? f.before : f.after).exists) {
      change.Remove(target);
      continue;
    }
    const fs::path staged = UniqueSiblingPath(target, "tmp");
    if (!Keep(HistoryOf(folder) / id / restored / f.name, staged))
      return Outcome::Failure(ErrorCode::CannotWrite,
                              target.string() + ": cannot restore the kept version", target);
    change.Stage(staged, target);
  }
  from.pop_back();
  to.push_back(id);
  AtomicFileWriter stateOut(folder / kUndoStateName);
  stateOut.Write(FormatState(s));
  if (Outcome staged = change.Stage(stateOut); !staged) return staged;
  if (Outcome committed = change.Commit(); !committed) return committed;
  CleanHistory(folder, s);
  return Summary(*record);
}

}  // namespace

ChangeRecording::ChangeRecording(fs::path folder, std::string title, HistoryLimits limits) {
  Active& a = Recording();
  const std::lock_guard guard(a.mutex);
  if (a.depth++ > 0) return;
  outer_ = true;
  a.lock = std::make_unique<FolderLock>(folder);
  a.canonical = Canonical(folder);
  a.folder = std::move(folder);
  a.pending = UniqueSiblingPath(HistoryOf(a.folder) / "change", "building");
  a.title = std::move(title);
  a.limits = limits;
  a.files.clear();
  a.names.clear();
  a.broken = false;
  recording = true;
}

ChangeRecording::~ChangeRecording() {
  Active& a = Recording();
  const std::lock_guard guard(a.mutex);
  if (--a.depth > 0 || !outer_) return;
  recording = false;
  Finish(a);
  a.files.clear();
  a.names.clear();
  a.lock.reset();
}

void NoteReplacing(const fs::path& file) {
  if (!recording.load()) return;
  const std::string name = file.filename().string();
  if (name.starts_with(".orvane-") || IsTemporaryName(name)) return;
  Active& a = Recording();
  const std::lock_guard guard(a.mutex);
  if (a.depth == 0 || a.names.contains(name) || Canonical(file.parent_path()) != a.canonical)
    return;
  a.names.insert(name);
  const Stamp before = StampOf(file);
  a.files.push_back({name, before, {}});
  if (!before.exists) return;
  std::error_code ec;
  fs::create_directories(a.pending / "old", ec);
  if (!Keep(file, a.pending / "old" / name)) a.broken = true;
}

Result<ChangeList> ListChanges(const fs::path& folder) {
  Result<State> state = ReadState(folder);
  if (!state) return state.Error();
  ChangeList list;
  for (auto [ids, out] :
       {std::pair{&state->done, &list.Undoable}, std::pair{&state->undone, &list.Redoable}})
    for (auto id = ids->rbegin(); id != ids->rend(); ++id) {
      Result<Record> record = ReadRecord(folder, *id);
      if (!record) return record.Error();
      out->push_back(Summary(*record));
    }
  return list;
}

Result<ChangeSummary> UndoChange(const fs::path& folder) {
  return Move(folder, true);
}

Result<ChangeSummary> RedoChange(const fs::path& folder) {
  return Move(folder, false);
}

}  // namespace orvane
