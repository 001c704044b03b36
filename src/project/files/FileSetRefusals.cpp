#include "project/files/FileSetRefusals.h"

#include <array>

#include "project/settings/TextIds.h"
#include "project/settings/TextLookup.h"

namespace orvane {

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

// A text ending in ":" takes what it concerns after it.
bool LeadsIn(std::string_view words) {
  return !words.empty() && words.back() == ':';
}

}  // namespace

int32_t RefusalTextNumber(FileSetRefusal code) {
  return Entry(code).textNumber;
}

std::string RefusalMessage(FileSetRefusal code, std::span<const std::string> texts) {
  const RefusalText& t = Entry(code);
  return t.textNumber > 0 ? TextOrEnglish(texts, t.textNumber, t.english) : t.english;
}

Outcome Refuse(FileSetRefusal code, std::string_view detail, std::span<const std::string> texts) {
  std::string message = RefusalMessage(code, texts);
  // "The file could not be written: <reason>", "<name>: The name may not ...".
  if (!detail.empty())
    message = LeadsIn(message) ? message + " " + std::string(detail)
                               : std::string(detail) + ": " + message;
  const ErrorCode error = code == FileSetRefusal::LoadFailed    ? ErrorCode::Unreadable
                          : code == FileSetRefusal::WriteFailed ? ErrorCode::CannotWrite
                                                                : ErrorCode::Refused;
  return Outcome::Failure(error, std::move(message));
}

FileSetRefusal RefusalOf(const Outcome& failure, std::span<const std::string> texts) {
  if (failure.Ok()) return FileSetRefusal::None;
  if (failure.Code() == ErrorCode::Unreadable) return FileSetRefusal::LoadFailed;
  if (failure.Code() == ErrorCode::CannotWrite) return FileSetRefusal::WriteFailed;
  const std::string_view text = failure.Text();
  for (const RefusalText& t : kRefusalTexts) {
    const std::string words = RefusalMessage(t.code, texts);
    if (words.empty() || LeadsIn(words)) continue;
    if (text == words) return t.code;
    const std::string after = ": " + words;
    if (text.size() > after.size() && text.ends_with(after)) return t.code;
  }
  return FileSetRefusal::None;
}

}  // namespace orvane
