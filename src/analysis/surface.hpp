#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mesh/surface.hpp"
#include "shape/types.hpp"

// A surface scan of one specimen, carried by the thin-plate spline onto the
// consensus (the mean surface) and from there onto any shape the analysis
// draws.

namespace velmora::analysis {

/// A surface's size counts as far from its specimen's landmarks when the
/// root-mean-square distance of its vertices from their centre is more than
/// this many times that of the landmarks from theirs, or less than its
/// reciprocal (a file in other units, or of another specimen).
inline constexpr double kSurfaceSizeRatioWarning = 4;
/// ... and its position when its centre lies further from the landmarks'
/// centre than this many times the larger of the two radii.
inline constexpr double kSurfaceOffsetWarning = 1;

/// The largest factor a surface target takes, either way: a principal
/// component's score in SD, and a regression's X as far from the sample's
/// mean X as this many times the range of X.  Beyond it the drawn change is
/// far outside any window (as for the exaggeration), and its coordinates
/// may overflow the single-precision surface files.
inline constexpr double kLargestSurfaceFactor = 1e6;

/// A loaded surface: the file as read, whose specimen it belongs to, and its
/// warp onto the consensus of the superimposition current when it was made.
struct SpecimenSurface {
  mesh::Surface mesh;         ///< as read, in the specimen's units
  std::string file_name;      ///< the file, as messages name it
  Eigen::Index specimen = 0;  ///< 0-based, in the sample
  std::string specimen_name;  ///< the sample's name for it
  shape::Config landmarks;    ///< the specimen's raw landmarks, k×3
  double centroid_size = 0;   ///< of those landmarks
};

/// The mean surface: the specimen's surface carried by the spline from its
/// landmarks onto the consensus (unit centroid size, principal axes), for
/// one superimposition.
struct MeanSurface {
  std::uint64_t fit_id = 0;
  mesh::Points vertices;  ///< n×3, consensus units
};

struct LoadSurfaceParams {
  std::string path;                      ///< the file; read unless `surface` is given
  std::optional<mesh::Surface> surface;  ///< a surface already read (`path` names it)
  /// The specimen, 0-based; when absent the specimen whose name is the
  /// file's stem.
  std::optional<Eigen::Index> specimen;
};
struct LoadSurfaceReport {
  /// No specimen was given and none is named as the file's stem: nothing
  /// was loaded, and the caller asks which of `choices` (the sample's
  /// specimen names, in order) it belongs to, then loads again with it.
  bool needs_choice = false;
  std::vector<std::string> choices;
  /// With needs_choice: the file as read, to pass back as
  /// LoadSurfaceParams::surface so that it is not read twice.
  std::optional<mesh::Surface> read;
  std::shared_ptr<const SpecimenSurface> surface;
  /// Warnings with their numbers: the surface's size or position far from
  /// the specimen's landmarks.
  std::vector<std::string> notes;
  std::string log_line;  ///< what the results log records
};

/// What the mean surface is carried to.
enum class SurfaceTarget {
  Mean,        ///< the mean surface itself
  Regression,  ///< the regression's prediction at X = `x`
  Component,   ///< the mean moved along principal component `component` by `factor` SD
  Group,       ///< the mean shape of level `group` of the factor named `grouping`
};

struct SurfaceWarpParams {
  SurfaceTarget target = SurfaceTarget::Mean;
  double x = 0;             ///< Regression: X as given (not ln X)
  long long component = 1;  ///< Component: 1-based
  double factor = 2;        ///< Component: standard deviations
  /// Every target but Mean: factor on the change from the consensus.
  double exaggeration = 1;
  std::string grouping = {};  ///< Group: the factor's name
  std::string group = {};     ///< Group: the level
};
struct SurfaceWarpReport {
  std::shared_ptr<const SpecimenSurface> surface;
  mesh::Points mean;             ///< n×3, the mean surface in the specimen's units
  mesh::Points vertices;         ///< n×3, the target surface in the specimen's units
  Eigen::VectorXd displacement;  ///< n, |vertices − mean|, specimen units
  double largest_displacement = 0;
  shape::Config target_landmarks;  ///< k×3, the target shape in the specimen's units
  double x_low = 0, x_high = 0;    ///< Regression: the smallest and largest X observed
  std::string description;         ///< "the regression's prediction at age = 12" …
  /// Warnings with their numbers: X outside the sample's range.
  std::vector<std::string> notes;
  std::string log_line;  ///< what the results log records
};

/// `surface` in the specimen's units: consensus coordinates times the
/// specimen's centroid size (centred, principal axes).
mesh::Points in_specimen_units(const mesh::Points& consensus, double centroid_size);

/// The warnings for a surface far from its specimen's landmarks in size or
/// position (empty when it is near).
std::vector<std::string> surface_placement_notes(const mesh::Points& vertices,
                                                 const shape::Config& landmarks,
                                                 const std::string& file_name,
                                                 const std::string& specimen_name);

}  // namespace velmora::analysis
