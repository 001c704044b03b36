#pragma once
// What a fallible call below the actions returns: success, or why it failed.
// One vocabulary for every layer, so that a caller never has to know which of
// several conventions a callee follows, and a front end can print or show any
// failure the same way.
//
// Text is the whole message as the user reads it (already in the project's
// language where it comes from the text table); File and Line say where, when
// the failure is about a place in a file, for callers that point at it.
// Nothing below the front ends shows a message: the Outcome travels up to the
// action, which turns it into its ActionResult.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace orvane {

enum class ErrorCode : int32_t {
  Ok = 0,
  Refused,      // the input or the request is not acceptable (nothing done)
  Cancelled,    // the caller's feedback asked to stop (nothing kept)
  NotFound,     // a file or surface that should exist does not
  Unreadable,   // a file could not be read, or is not what it should be
  CannotWrite,  // a file could not be written (the old one is kept)
  Changed,      // a file changed on disk since this program last read it
  OutOfMemory,  // the work does not fit in the memory available
};

class [[nodiscard]] Outcome {
 public:
  Outcome() = default;  // success

  static Outcome Failure(ErrorCode code, std::string text, std::filesystem::path file = {},
                         int64_t line = 0) {
    Outcome o;
    o.code_ = code == ErrorCode::Ok ? ErrorCode::Refused : code;
    o.text_ = std::move(text);
    o.file_ = std::move(file);
    o.line_ = line;
    return o;
  }
  static Outcome Cancel(std::string text = {}) {
    return Failure(ErrorCode::Cancelled, std::move(text));
  }

  bool Ok() const { return code_ == ErrorCode::Ok; }
  explicit operator bool() const { return Ok(); }
  bool IsCancelled() const { return code_ == ErrorCode::Cancelled; }

  ErrorCode Code() const { return code_; }
  const std::string& Text() const { return text_; }
  const std::filesystem::path& File() const { return file_; }
  int64_t Line() const { return line_; }  // 1-based; 0 when not about a line

 private:
  ErrorCode code_ = ErrorCode::Ok;
  std::string text_;
  std::filesystem::path file_;
  int64_t line_ = 0;
};

// A value, or the Outcome that says why there is none.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit by intent
  Result(Outcome failure) : error_(std::move(failure)) {
    if (error_.Ok()) error_ = Outcome::Failure(ErrorCode::Refused, {});
  }

  bool Ok() const { return value_.has_value(); }
  explicit operator bool() const { return Ok(); }

  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T&& operator*() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

  // Success when there is a value.
  const Outcome& Error() const { return error_; }

 private:
  std::optional<T> value_;
  Outcome error_;
};

}  // namespace orvane
