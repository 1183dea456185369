#pragma once

#include <stdexcept>
#include <string>

/// How the numerical library reports what it cannot compute or read: by
/// throwing one of these.  The texts are whole sentences meant for the user;
/// a program that shows them needs nothing else.
namespace velmora {

/// A computation was refused: degenerate or mismatched input (coincident
/// landmarks, different landmark counts, values that are not finite, too
/// few specimens, …).  Nothing passed in has been changed when it is thrown.
class NumericError : public std::runtime_error {
 public:
  explicit NumericError(const std::string& what) : std::runtime_error(what) {}
};

namespace io {

/// A data file was refused: it cannot be read, or its content breaks the
/// file's rules.  The text names the file, and the line and column where
/// they apply.
class FileError : public NumericError {
 public:
  explicit FileError(const std::string& what) : NumericError(what) {}
};

}  // namespace io

}  // namespace velmora
