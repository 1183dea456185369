#pragma once

#include <atomic>
#include <cstdint>

namespace velmora::analysis {

/// A number no other part of the model has had in this process: what kept
/// results remember of the inputs they were computed from.
inline std::uint64_t next_model_id() {
  static std::atomic<std::uint64_t> counter{0};
  return ++counter;
}

}  // namespace velmora::analysis
