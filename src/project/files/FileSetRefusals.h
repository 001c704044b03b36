#pragma once
// Why a change of a surface's file set is refused or fails, and the words
// that say so. The changes return an Outcome whose text is the refusal's
// words joined to what it concerns; RefusalOf reads the refusal back, so
// that an action can name the text-table entry that words its message.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/support/Outcome.h"

namespace orvane {

enum class FileSetRefusal : int32_t {
  None = 0,
  EmptyName,    // the new name is empty
  SameName,     // rename: the new name is the current one
  InvalidName,  // separator, character invalid in file names, "." or ".."
  NameInUse,    // another surface of the project already has the name
  OwnFiles,     // save as: the target is the surface's own file set
  NoSurface,    // no surface given
  LoadFailed,   // import: the ".dsp" could not be read
  WriteFailed,  // a file could not be written, copied or deleted
  NameTooLong,  // a file of the name would pass the file system's 255 bytes
};

// The user's text for a refusal: the entry of texts (the text table, entry
// n at n - 1) assigned to the code when it is not empty, else the English
// default.
std::string RefusalMessage(FileSetRefusal code, std::span<const std::string> texts);
// The text-table entry (1-based) that words the refusal; 0 for none.
int32_t RefusalTextNumber(FileSetRefusal code);

// The failure for a refusal: RefusalMessage(code) with what it concerns,
// after a text that ends in ":" (the file and the system's reason), else
// before it ("X/Y: The name may not ..."). Its code is Unreadable for
// LoadFailed, CannotWrite for WriteFailed and Refused for the others.
Outcome Refuse(FileSetRefusal code, std::string_view detail, std::span<const std::string> texts);

// The refusal that failure (made by Refuse with the same texts) words; None
// for success or a failure worded otherwise.
FileSetRefusal RefusalOf(const Outcome& failure, std::span<const std::string> texts);

}  // namespace orvane
