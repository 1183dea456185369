#pragma once

#include <functional>
#include <string>

namespace velmora {

/// Where a long computation says what it is about to do ("expect about
/// 12 seconds"); the caller decides where the line goes.  An empty
/// function drops the notes.
using Notify = std::function<void(const std::string& line)>;

}  // namespace velmora
