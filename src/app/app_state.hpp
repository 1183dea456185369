#pragma once

#include <Eigen/Core>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/graphics/backend.hpp"
#include "platform/value/value.hpp"
#include "shape/types.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::app {

/// A landmark sample as loaded and superimposed.
struct Sample {
  std::string file_name;           ///< the chosen file's name, as the window shows it
  Eigen::MatrixXd rows;            ///< n×(3k+1) as read: x1 y1 z1 … xk yk zk, centroid size
  shape::Stack fitted;             ///< n superimposed specimens, in the reference's principal axes
  shape::Config reference;         ///< k×3 consensus, centred, unit centroid size, principal axes
  std::vector<std::string> names;  ///< one name a specimen, as the file gave them
  /// The thin-plate spline basis of `reference` and the scores of `fitted`
  /// on it, computed on first use (Sample::scores_now) and kept while both
  /// stay as they are: whatever changes `reference` or `fitted` calls
  /// forget_scores().
  std::shared_ptr<const tps::WarpBasis> basis;
  std::shared_ptr<const Eigen::MatrixXd> scores;

  Eigen::Index specimens() const { return rows.rows(); }
  Eigen::Index landmarks() const { return reference.rows(); }
  /// The last column of the file: each specimen's centroid size.
  Eigen::VectorXd centroid_sizes() const { return rows.col(rows.cols() - 1); }
  /// Drops the basis and scores after `reference` or `fitted` changed.
  void forget_scores() {
    basis.reset();
    scores.reset();
  }
};

/// The regression of every score column on X (or ln X).
struct Regression {
  Eigen::RowVectorXd slopes;  ///< one slope per score column
  Eigen::RowVectorXd delta;   ///< slopes times the regressor's observed range
};

/// What the display menus chose; LoadData resets it.
struct DisplaySettings {
  double plot_density = 20;
  double line_width = 1.5;  ///< points
  std::string line_format = "k-";
  std::string reference_symbol = "ko";
  std::string target_symbol = "ro";
  bool arrow_heads = true;
};

/// The codes of the deformation display types, in the order of the
/// DeFormat pop-up menu.
inline const std::vector<std::string>& deformation_codes() {
  static const std::vector<std::string> codes = {"a", "b", "c", "d"};
  return codes;
}

/// The running analysis: what is loaded, what was computed from it, and the
/// settings that decide how.  Starts empty; lives until the process ends.
struct AppState {
  std::optional<Sample> sample;
  std::optional<Eigen::VectorXd> x;  ///< the independent variable, one value a specimen
  /// n×m partial warp and uniform scores, as LoadXList or DoRegression left
  /// them (shared with the sample's cache while they describe it).
  std::shared_ptr<const Eigen::MatrixXd> scores;
  std::optional<Regression> regression;
  std::optional<Eigen::MatrixXd> wires;  ///< w×c wireframe (number, landmark, landmark, …)
  bool ln_scale = false;                 ///< regress on ln X instead of X
  bool optimal_superimposition = false;  ///< optimal rotation to convergence
  bool full_precision = false;           ///< result files in shortest round-trip form
  DisplaySettings display;
  std::optional<gfx::Handle> figure3d;     ///< the 3D display figure
  std::optional<gfx::Handle> main_window;  ///< the figure current when LoadData began

  /// Every part under the name the console and the tests know it by, as a
  /// value (empty when not set), in a fixed order.
  std::vector<std::pair<std::string_view, Value>> named() const;
};

/// The switchyard's state.
AppState& state();
/// Forgets everything (a fresh start; used by tests and batch runs).
void reset_state();

}  // namespace velmora::app
