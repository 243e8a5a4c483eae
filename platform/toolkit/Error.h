// Run-time errors: one exception type carrying a number, a source and a description.
#pragma once
#include <stdexcept>
#include <string>

namespace tk {

enum ErrorNumber : long {
  kInvalidArgument = 5,
  kOverflow = 6,
  kDivisionByZero = 11,
  kCancel = 32755,
};

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(long number, std::string source, std::string description)
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)) {}
  long Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }

 private:
  long number_;
  std::string source_;
  std::string description_;
};

// Raises with the toolkit's standard description when none is given.
[[noreturn]] void Raise(long number, std::string source = {}, std::string description = {});

// Runs f and swallows every error: for handlers that "end silently" and callbacks that skip a
// failing step.
template <class F>
void Guarded(F&& f) noexcept {
  try {
    f();
  } catch (...) {
  }
}

}  // namespace tk
