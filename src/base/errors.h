#pragma once
// The program's errors: exceptions that carry the exact message text the operator sees.
#include <stdexcept>
#include <string>

namespace lumigrid {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// C++ gives an infinity where the program must stop with this message.
class DivisionByZeroError : public Error {
 public:
  DivisionByZeroError() : Error("Floating point division by zero") {}
};

// Raised when a file cannot be written; the text names the path.
class WriteError : public Error {
 public:
  using Error::Error;
};

// Divides in double precision, raising the division-by-zero error instead of an infinity.
inline double checked_divide(double numerator, double denominator) {
  if (denominator == 0.0) throw DivisionByZeroError();
  return numerator / denominator;
}

}  // namespace lumigrid
