#pragma once
// The runtime's exception classes.

#include <exception>
#include <string>
#include <string_view>

namespace rtl {

// The runtime's plain exception: a message for the user.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

// The silent abort: the default exception handler drops it without a word.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  explicit EAbort(std::string message) : Exception(std::move(message)) {}
};

// A text that is no valid number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
  // "'%s' is not a valid integer value"
  static EConvertError InvalidInteger(std::string_view text) {
    return EConvertError("'" + std::string(text) + "' is not a valid integer value");
  }
};

}  // namespace rtl
