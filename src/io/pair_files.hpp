#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::io {

/// The landmark pairs of a bilateral structure as read: each pair's left
/// and right landmark (0-based) and the line of the file it came from.
/// Landmarks in no pair lie on the midline.
struct LandmarkPairs {
  std::vector<std::pair<std::size_t, std::size_t>> pairs;  ///< (left, right), 0-based
  std::vector<std::size_t> lines;                          ///< 1-based file line of each pair
};

/// Reads a landmark-pairs file for LoadLandmarkPairs: one pair a line, two
/// landmark numbers from 1, `left right`, apart by blanks or commas.  The
/// header, row-name, blank-line and '#' rules are those of parse_curve_file.
/// @param k the landmark count of the sample
/// @throws FileError naming the file, the line and the value: not a whole
///   landmark number from 1 to k, a line of other than two numbers, a
///   landmark paired with itself, a landmark already in a pair, no pair at
///   all
LandmarkPairs parse_landmark_pairs(std::string_view text, std::string_view label, std::size_t k);
LandmarkPairs load_landmark_pairs(const std::string& path, std::size_t k);

/// The relabelling that a mirror image needs: entry j is the landmark that
/// takes the place of landmark j after reflection, its partner for a paired
/// landmark and j itself on the midline (0-based, k entries).  Applying it
/// twice gives the identity.
/// @throws NumericError when a pair names a landmark from k on
std::vector<std::size_t> reflection_relabelling(const LandmarkPairs& pairs, std::size_t k);

}  // namespace velmora::io
