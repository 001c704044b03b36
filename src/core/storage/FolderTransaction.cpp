#include "core/storage/FolderTransaction.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>
#include <utility>

#include "core/storage/ChangeHistory.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

TransactionStepHook& StepHook() {
  static TransactionStepHook hook;
  return hook;
}

void Step(std::string_view step, const fs::path& file) {
  if (StepHook()) StepHook()(step, file);
}

void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Names in the journal are hexadecimal bytes: any file name survives the
// line layout, and a record read back cannot smuggle in a path.
std::string Hex(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

std::optional<std::string> Unhex(std::string_view hex) {
  if (hex.empty() || hex.size() % 2 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

// A plain name of an entry of the folder, nothing that reaches elsewhere.
bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

constexpr std::string_view kJournalHeader = "ORVANE-JOURNAL 1";

struct Journal {
  std::vector<std::pair<std::string, std::string>> renames;
  std::vector<std::string> removals;
};

std::string FormatJournal(const Journal& j) {
  std::string text(kJournalHeader);
  text += '\n';
  for (const auto& [from, to] : j.renames) text += "R " + Hex(from) + ' ' + Hex(to) + '\n';
  for (const std::string& name : j.removals) text += "D " + Hex(name) + '\n';
  text += "END\n";
  return text;
}

// nullopt for anything but a complete journal of plain names.
std::optional<Journal> ParseJournal(std::string_view text) {
  Journal j;
  bool header = false, end = false;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    if (nl == std::string_view::npos) return std::nullopt;  // a journal ends with a newline
    const std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl + 1);
    if (end) return std::nullopt;
    if (!header) {
      if (line != kJournalHeader) return std::nullopt;
      header = true;
    } else if (line == "END") {
      end = true;
    } else if (line.starts_with("R ")) {
      const std::string_view rest = line.substr(2);
      const size_t sp = rest.find(' ');
      if (sp == std::string_view::npos) return std::nullopt;
      auto from = Unhex(rest.substr(0, sp)), to = Unhex(rest.substr(sp + 1));
      if (!from || !to || !PlainName(*from) || !PlainName(*to)) return std::nullopt;
      j.renames.emplace_back(std::move(*from), std::move(*to));
    } else if (line.starts_with("D ")) {
      auto name = Unhex(line.substr(2));
      if (!name || !PlainName(*name)) return std::nullopt;
      j.removals.push_back(std::move(*name));
    } else {
      return std::nullopt;
    }
  }
  if (!end) return std::nullopt;
  return j;
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

// Carries the journal's steps out; every one may have been done before.
// With dropped given (a recovery), a rename that can never be done (a name
// past the file system's limit) is given up, its staged file removed and
// the reason added to dropped, rather than leaving a journal that every
// later command would stop at.
Outcome Apply(const fs::path& folder, const Journal& j, ReplacedFiles& replaced,
              std::vector<std::string>* dropped = nullptr) {
  for (const auto& [from, to] : j.renames) {
    const fs::path src = folder / from, dst = folder / to;
    if (!Exists(src)) continue;  // renamed before the stop
    Step("rename", dst);
    if (RenameOver(src, dst, replaced) != 0) {
      const int code = errno;
      const std::string why = dst.string() + ": cannot replace the file: " + std::strerror(code);
      if (dropped && code == ENAMETOOLONG) {
        ::unlink(src.c_str());
        dropped->push_back(why + "; that part of an earlier change was dropped");
        continue;
      }
      return Outcome::Failure(ErrorCode::CannotWrite, why, dst);
    }
  }
  for (const std::string& name : j.removals) {
    const fs::path file = folder / name;
    if (!Exists(file)) continue;
    Step("remove", file);
    if (::unlink(file.c_str()) != 0 && errno != ENOENT)
      return Outcome::Failure(ErrorCode::CannotWrite,
                              file.string() + ": cannot delete: " + std::strerror(errno), file);
  }
  SyncFolder(folder);
  return {};
}

// The process id in a temporary name of ours ("<name>.<tag>-<pid>-<n>-<8
// hex digits>"), or 0 for any other name.
pid_t TemporaryOwner(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return 0;
  const std::string_view rest = std::string_view(name).substr(dot + 1);
  const size_t a = rest.find('-');
  if (a == std::string_view::npos) return 0;
  const std::string_view tag = rest.substr(0, a);
  if (tag != "tmp" && tag != "building") return 0;
  const std::string_view tail = rest.substr(a + 1);
  const size_t b = tail.find('-');
  const size_t c = b == std::string_view::npos ? b : tail.find('-', b + 1);
  if (c == std::string_view::npos || tail.size() - c - 1 != 8) return 0;
  for (char ch : tail.substr(c + 1))
    if (!((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f'))) return 0;
  pid_t pid = 0;
  for (char ch : tail.substr(0, b)) {
    if (ch < '0' || ch > '9' || pid > 100000000) return 0;
    pid = pid * 10 + (ch - '0');
  }
  for (char ch : tail.substr(b + 1, c - b - 1))
    if (ch < '0' || ch > '9') return 0;
  return pid;
}

bool ProcessGone(pid_t pid) {
  return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Temporary files whose process no longer runs.
std::vector<fs::path> DeadTemporaries(const fs::path& folder) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (ProcessGone(TemporaryOwner(name))) out.push_back(it->path());
  }
  return out;
}

}  // namespace

bool IsTemporaryName(const std::string& name) {
  return TemporaryOwner(name) != 0;
}

void SetTransactionStepHook(TransactionStepHook hook) {
  StepHook() = std::move(hook);
}

FolderTransaction::FolderTransaction(fs::path folder) : folder_(std::move(folder)) {}

FolderTransaction::~FolderTransaction() {
  if (committed_) return;
  for (const Rename& r : renames_) ::unlink(r.From.c_str());
}

void FolderTransaction::Stage(const fs::path& staged, const fs::path& target) {
  renames_.push_back({staged, target});
}

Outcome FolderTransaction::Stage(AtomicFileWriter& writer) {
  const fs::path temp = writer.HandOver();
  if (temp.empty())
    return Outcome::Failure(ErrorCode::CannotWrite, writer.Error(), writer.Target());
  renames_.push_back({temp, writer.Target()});
  return {};
}

void FolderTransaction::Remove(const fs::path& file) {
  removals_.push_back(file);
}

Outcome FolderTransaction::Commit() {
  const FolderLock lock(folder_);
  Journal j;
  for (const Rename& r : renames_)
    j.renames.emplace_back(r.From.filename().string(), r.To.filename().string());
  for (const fs::path& f : removals_) j.removals.push_back(f.filename().string());
  const fs::path journal = folder_ / kJournalName;
  // A lone step needs no journal: the rename or the removal is atomic.
  const bool single = renames_.size() + removals_.size() <= 1;
  if (!single) {
    Step("journal", journal);
    const std::string text = FormatJournal(j);
    Outcome written = WriteFileAtomically(
        journal,
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    if (!written) return written;
  }
  for (const Rename& r : renames_) NoteReplacing(r.To);
  for (const fs::path& f : removals_) NoteReplacing(f);
  // From here on the change is decided: a failure below leaves the journal
  // for the next recovery, and the staged files must stay for it.
  committed_ = true;
  // The replaced files are let go once the folder is synced (see
  // ReplacedFiles).
  ReplacedFiles replaced;
  if (Outcome applied = Apply(folder_, j, replaced); !applied) {
    committed_ = !single;  // a lone step failed: nothing to recover, drop what was staged
    return applied;
  }
  if (!single) {
    Step("end", journal);
    ::unlink(journal.c_str());
    SyncFolder(folder_);
  }
  return {};
}

FolderRecovery RecoverFolder(const fs::path& folder) {
  FolderRecovery r;
  const fs::path journal = folder / kJournalName;
  const bool pending = Exists(journal);
  if (!pending && DeadTemporaries(folder).empty()) return r;
  // A journal is finished before anything else reads the folder; stale
  // temporaries can wait for a moment when nobody is at work there.
  const FolderLock lock(folder, FolderLock::Mode::Exclusive, pending);
  if (!lock.Held()) return r;
  if (Exists(journal)) {
    Result<std::vector<uint8_t>> bytes = ReadWholeFile(journal, uint64_t{16} << 20);
    std::optional<Journal> j;
    if (bytes)
      j = ParseJournal(
          std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (!j) {
      r.Warnings.push_back(journal.string() +
                           ": not a journal of this program; left as it is and not carried out");
      return r;
    }
    ReplacedFiles replaced;
    if (Outcome applied = Apply(folder, *j, replaced, &r.Warnings); !applied) {
      r.Warnings.push_back(applied.Text());
      return r;
    }
    ::unlink(journal.c_str());
    SyncFolder(folder);
    r.JournalCompleted = true;
  }
  for (const fs::path& temp : DeadTemporaries(folder)) {
    std::error_code ec;
    if (fs::remove(temp, ec)) ++r.RemovedTemporaries;
  }
  return r;
}

}  // namespace orvane
