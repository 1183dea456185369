#pragma once

#include <string>
#include <string_view>

namespace velmora::stats {

/// The one text for a test that has too few specimens, whether the window
/// checks it first or the test itself finds it:
/// "The permutation test needs at least four specimens; this sample has 3."
/// @param test      the test's name as a sentence starts it ("The permutation test")
/// @param specimens how many the sample has
inline std::string too_few_specimens_text(std::string_view test, long long specimens) {
  return std::string(test) + " needs at least four specimens; this sample has " +
         std::to_string(specimens) + ".";
}

}  // namespace velmora::stats
