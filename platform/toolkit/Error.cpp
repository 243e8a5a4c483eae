#include "platform/toolkit/Error.h"

namespace tk {

static std::string StandardDescription(long number) {
  switch (number) {
    case kInvalidArgument:
      return "Invalid procedure call or argument";
    case kOverflow:
      return "Overflow";
    case kDivisionByZero:
      return "Division by zero";
    default:
      return "Application-defined or object-defined error";
  }
}

void Raise(long number, std::string source, std::string description) {
  if (description.empty()) description = StandardDescription(number);
  throw RuntimeError(number, std::move(source), std::move(description));
}

}  // namespace tk
