#pragma once

#include <string>

namespace velmora::app {

enum class Outcome { Done, FellThrough, Refused, Failed };

/// How an action (or a typed input) ended.
struct ActionReport {
  std::string action;
  Outcome outcome = Outcome::Done;
  std::string message;  ///< the refusal or error text
};

}  // namespace velmora::app
