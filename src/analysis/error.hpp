#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/errors.hpp"

/// The analysis session: one analysis's model (sample, superimposition, X,
/// wireframe, results) and its typed operations, without the window.
namespace velmora::analysis {

/// Why an operation of the session did not give its report.
enum class ErrorKind {
  /// A check on the user's data or on the order of steps refused it (no
  /// sample loaded, X values that do not fit the test, too few specimens …).
  Refused,
  /// The numerical library could not compute with the data (coincident
  /// landmarks, a degenerate sample, a file that breaks its rules …).
  Numeric,
  /// The user stopped a long computation.
  Cancelled,
};

/// The one failure of every session operation.
///
/// Operations return their report or throw this; they never return a
/// half-done result.  When one throws, the session is as it was before the
/// call (the work is done on copies and committed last).  The text is a whole
/// sentence for the user; the presenter decides where it goes: a message box
/// in the window, a console line or an exit status in a batch run.  Every
/// kind is the user's data deciding, so a batch run treats each as a
/// refusal.  Only std::bad_alloc passes through untranslated, so that the
/// presenter can name the step that ran out of memory.
class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  ErrorKind kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

/// Throws Error{Refused, message}.
[[noreturn]] inline void refuse(const std::string& message) {
  throw Error(ErrorKind::Refused, message);
}

/// Runs `work`, turning the numerical library's NumericError (and the
/// readers' FileError) into Error{Numeric} with the same text.
template <typename Work>
decltype(auto) guarded(Work&& work) {
  try {
    return std::forward<Work>(work)();
  } catch (const NumericError& e) {
    throw Error(ErrorKind::Numeric, e.what());
  }
}

}  // namespace velmora::analysis
