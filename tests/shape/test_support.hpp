#pragma once

#include <functional>
#include <string>

#include "core/errors.hpp"

namespace velmora::testing {

/// The text of the library's NumericError (or FileError) that `f` throws, or
/// "no error".
inline std::string error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const NumericError& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace velmora::testing
